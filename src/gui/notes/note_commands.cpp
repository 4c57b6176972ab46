// Creating, renaming and deleting notes, the Note menu entries that lead to
// them, and the note tree's own keys, right-button menu and collapse handling.
//
// The tree record and the note records are written in an order that a crash
// cannot turn into a node without its record: a new note's record goes in
// before the tree that shows it, and a deleted branch leaves the stored tree
// before its records are deleted. At worst a record is left that no tree
// shows, which `vellicar-db export` still lists.
#include "core/store/dates.h"
#include "core/store/keys.h"
#include "core/store/record_keys.h"
#include "core/tree/branch_walk.h"
#include "core/tree/note_tree.h"
#include "core/tree/tree_blob.h"
#include "gui/notes/frmSiteTitle.h"
#include "gui/shell/frmMain.h"

#include <QtCore/QSet>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeView>

namespace vellicar::gui {

namespace {

const QString RootRefusal =
    QStringLiteral("You cannot perform this operation on the 'Root' of the tree!");

// Same wording as the window's other failed writes.
void reportFailure(frmMain& m, const QString& what, const QString& reason) {
    m.prompter().message(QStringLiteral("%1 could not be saved.\n\n%2\n\nYour changes are kept in "
                                        "the window; they are not stored yet.")
                             .arg(what, reason),
                         m.program.ProgramTitle, PromptIcon::Information, PromptButtons::Ok);
}

// Asks the test hook, if any, whether the next write may go ahead.
bool mayWrite(frmMain& m, const QString& step, QString& reason) {
    if (m.beforeNoteWrite && !m.beforeNoteWrite(step)) {
        reason = QStringLiteral("The write was stopped (%1).").arg(step);
        return false;
    }
    return true;
}

// Writes the shown section's tree (the window reports a failed write itself).
bool saveShownTree(frmMain& m) {
    if (m.CurrentSectionKey.isEmpty())
        return true;
    QString reason;
    if (!mayWrite(m, QStringLiteral("tree ") + m.CurrentSectionKey, reason)) {
        reportFailure(m, QStringLiteral("The note tree of this section"), reason);
        return false;
    }
    return m.SaveSectionTree(m.CurrentSectionKey);
}

bool askTitle(frmMain& m, const QString& mode, const QString& text) {
    frmSiteTitle dialog(m.prompter(), m.program.ProgramTitle, m.EnteredTitle, &m);
    dialog.setMode(mode);
    dialog.setText(text);
    return m.prompter().runDialog(dialog) == QDialog::Accepted;
}

void selectInView(frmMain& m, tree::TreeNode* node) {
    const QModelIndex index = m.noteTree().indexOf(node);
    if (index.isValid())
        m.URLList->setCurrentIndex(index);
}

// The tree's keys and mouse buttons, and the memory of collapses the program
// made itself (only the user's collapses select the collapsed note).
class TreeInput : public QObject {
public:
    // The filter is a child of the tree, and compares against the widgets it
    // was given: while the window is being torn down the tree still sends
    // events, and the half-destroyed frmMain must not be touched then.
    explicit TreeInput(frmMain& m)
        : QObject(m.URLList), m_(m), tree_(m.URLList), viewport_(m.URLList->viewport()) {}
    QString programCollapseKey;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == tree_) {
            if (event->type() == QEvent::KeyPress)
                return keyDown(static_cast<QKeyEvent*>(event));
            if (event->type() == QEvent::KeyRelease) {
                m_.PasteMode = 0;
                m_.layout.SplitterDragging = false;
            }
        } else if (watched == viewport_ && event->type() == QEvent::MouseButtonPress) {
            return mouseDown(static_cast<QMouseEvent*>(event));
        }
        return false;
    }

private:
    bool keyDown(QKeyEvent* k) {
        if (m_.note.NoteChanged && !m_.SaveRecord())
            return true;
        m_.layout.SplitterDragging = false;
        const Qt::KeyboardModifiers mods =
            k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        m_.PasteMode = (mods & Qt::ShiftModifier ? 1 : 0) + (mods & Qt::ControlModifier ? 2 : 0) +
                       (mods & Qt::AltModifier ? 4 : 0);
        tree::NoteTree& t = m_.noteTree();
        tree::TreeNode* current = m_.CurrentNode();
        const bool onRoot = current && current == t.root();
        const bool keypad = k->modifiers() & Qt::KeypadModifier;

        if (k->key() == Qt::Key_Delete) {
            if (onRoot)
                m_.prompter().message(RootRefusal, m_.program.ProgramTitle, PromptIcon::Information,
                                      PromptButtons::Ok);
            else if (current)
                m_.mSubjectDeleteClick();
            return true;
        }
        if (k->key() == Qt::Key_P && mods == Qt::ControlModifier) {
            if (current && !onRoot && current->Parent()) {
                tree::TreeNode* parent = current->Parent();
                selectInView(m_, parent);
                m_.URLList->setFocus();
                m_.NodeClick(parent);
            }
            return true;
        }
        // The "=" / "+" key of the main keyboard, without Shift: a new sibling.
        if (k->key() == Qt::Key_Equal && mods == Qt::NoModifier && !keypad) {
            if (onRoot)
                m_.prompter().message(RootRefusal, m_.program.ProgramTitle, PromptIcon::Information,
                                      PromptButtons::Ok);
            else if (current)
                m_.NewSiteTitle(1);
            return true;
        }
        // The "." / ">" key with Shift alone: a new child.
        if ((k->key() == Qt::Key_Greater || k->key() == Qt::Key_Period) &&
            mods == Qt::ShiftModifier && !keypad) {
            if (current)
                m_.NewSiteTitle(0);
            return true;
        }
        // These must neither search the tree by first letters nor beep.
        const QString text = k->text();
        if (text == QLatin1String("=") || text == QLatin1String(">") ||
            text == QLatin1String("\r") || k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)
            return true;
        return false;
    }

    bool mouseDown(QMouseEvent* e) {
        m_.layout.SplitterDragging = false;
        tree::NoteTree& t = m_.noteTree();
        tree::TreeNode* node = t.nodeFrom(m_.URLList->indexAt(e->position().toPoint()));
        m_.DownNodeKey = node ? node->Key() : QString();
        if (!node)
            return false;
        if (m_.note.NoteChanged && !m_.SaveRecord())
            return true;
        if (e->button() == Qt::RightButton) {
            selectInView(m_, node);
            m_.NodeClick(node);
            m_.mSubject->popup(e->globalPosition().toPoint());
            return true;
        }
        return false;
    }

    frmMain& m_;
    QObject* tree_;
    QObject* viewport_;
};

} // namespace

void frmMain::buildNoteCommands() {
    mNewNote = mSubject->addMenu(QStringLiteral("&New Note"));
    mNewNote->setObjectName(QStringLiteral("mNewNote"));
    auto action = [this](QMenu* menu, const char* name, const QString& caption,
                         const QKeySequence& key) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) {
            a->setShortcut(key);
            addAction(a); // the shortcut works wherever the focus is in the window
        }
        return a;
    };
    mFileNewSubject = action(mNewNote, "mFileNewSubject", QStringLiteral("&Child Note"),
                             QKeySequence(Qt::Key_F11));
    mNoteSibbling = action(mNewNote, "mNoteSibbling", QStringLiteral("&Sibling Note"),
                           QKeySequence(Qt::Key_F12));
    mFileEditTitle =
        action(mSubject, "mFileEditTitle", QStringLiteral("&Edit Selected Note's Title"),
               QKeySequence(Qt::Key_F2));
    mSubjectDelete =
        action(mSubject, "mSubjectDelete", QStringLiteral("&Delete Selected Note"), QKeySequence());
    connect(mFileNewSubject, &QAction::triggered, this, [this] { mFileNewSubjectClick(); });
    connect(mNoteSibbling, &QAction::triggered, this, [this] { mNoteSibblingClick(); });
    connect(mFileEditTitle, &QAction::triggered, this, [this] { mFileEditTitleClick(); });
    connect(mSubjectDelete, &QAction::triggered, this, [this] { mSubjectDeleteClick(); });
    setCommand(3, [this] { mFileNewSubjectClick(); });
    setCommand(5, [this] { mSubjectDeleteClick(); });

    auto* input = new TreeInput(*this);
    URLList->installEventFilter(input);
    URLList->viewport()->installEventFilter(input);

    // A collapse the program makes starts in the model while the view is
    // still open; a collapse by the user starts in the view.
    connect(tree_, &QAbstractItemModel::dataChanged, input,
            [this, input](const QModelIndex& topLeft, const QModelIndex&, const QList<int>& roles) {
                if (!roles.contains(tree::NoteTree::ExpandedRole))
                    return;
                tree::TreeNode* n = tree_->nodeFrom(topLeft);
                if (n && !n->Expanded() && URLList->isExpanded(topLeft))
                    input->programCollapseKey = n->Key();
            });
    connect(tree_, &tree::NoteTree::expandedChanged, input,
            [input](const QModelIndex&, bool) { input->programCollapseKey.clear(); });
    connect(URLList, &QTreeView::collapsed, input, [this, input](const QModelIndex& index) {
        tree::TreeNode* n = tree_->nodeFrom(index);
        if (!n)
            return;
        if (input->programCollapseKey == n->Key()) {
            input->programCollapseKey.clear();
            return;
        }
        layout.SplitterDragging = false;
        if (CollapsingAll)
            return;
        if (note.NoteChanged && !SaveRecord())
            return;
        selectInView(*this, n);
        NodeClick(n);
    });
}

// --- Menu commands --------------------------------------------------------------

void frmMain::mFileNewSubjectClick() {
    if (!treeHasNodes() || (note.NoteChanged && !SaveRecord()))
        return;
    NewSiteTitle(0);
}

void frmMain::mNoteSibblingClick() {
    if (!treeHasNodes() || (note.NoteChanged && !SaveRecord()))
        return;
    if (CurrentNode() && CurrentNode() == tree_->root()) {
        message(QStringLiteral("You can only add 'Child Notes' to the Root of the Tree!"));
        return;
    }
    NewSiteTitle(1);
}

void frmMain::mFileEditTitleClick() {
    if (!treeHasNodes() || (note.NoteChanged && !SaveRecord()))
        return;
    EditSiteTitle();
}

void frmMain::mSubjectDeleteClick() {
    if (!treeHasNodes() || (note.NoteChanged && !SaveRecord()))
        return;
    DeleteIt();
    tree::UpdateImagesOnTree(*tree_, false);
}

// --- The commands ----------------------------------------------------------------

void frmMain::NewSiteTitle(int place) {
    tree::TreeNode* relative = CurrentNode();
    // Without a current note there is nothing to place the new one by; a
    // sibling of the root would be a second root.
    if (!relative || (place == 1 && !relative->Parent()))
        return;
    const QString relativeKey = relative->Key();
    EnteredTitle.clear();
    askTitle(*this, QStringLiteral("New%1").arg(place), QString());
    if (EnteredTitle.isEmpty())
        return;
    relative = tree_->node(relativeKey);
    if (!relative)
        return;

    // A clock key, stepped on when the same instant is already taken, also by
    // a node whose record is missing.
    QSet<QString> taken;
    QString key = store::NewNoteKey(db, env_.clock, taken);
    while (!key.isEmpty() && tree_->contains(QStringLiteral("K") + key) && taken.size() < 100000) {
        taken.insert(key);
        key = store::NewNoteKey(db, env_.clock, taken);
    }
    const QString stamp = store::DateNumber(env_.clock.now());
    store::NoteRecord record;
    record.Owner = CurrentSectionKey;
    record.Title = EnteredTitle;
    record.Created = stamp;
    record.Modified = stamp;
    QString reason;
    if (key.isEmpty())
        reason = QStringLiteral("No database is open.");
    else if (mayWrite(*this, QStringLiteral("record ") + key, reason)) {
        const store::WriteResult w = store::writeRecord(db, key, record);
        if (!w.ok())
            reason = w.message;
    }
    if (!reason.isEmpty()) {
        reportFailure(*this, QStringLiteral("The new note '%1'").arg(EnteredTitle), reason);
        return;
    }
    note.CurrentRecord = record;
    note.FocusEditorAfterLoad = true;

    tree::TreeNode* node =
        tree_->add(relative, place == 0 ? tree::Relation::LastChild : tree::Relation::Next,
                   QStringLiteral("K") + key, EnteredTitle);
    if (!node)
        return;
    tree::TreeNode* parent = node->Parent();
    tree_->setImage(node, tree::ImageNote);
    if (parent && parent != tree_->root())
        tree_->setImage(parent, tree::ImageFolder);
    if (parent && parent->Sorted()) {
        tree_->setSorted(parent, true);
        tree_->setSorted(node, true);
    }
    txtSiteDesc->blockSignals(true);
    txtSiteDesc->clear();
    txtSiteDesc->blockSignals(false);
    note.CurrentNodeKey = node->Key();
    if (parent)
        tree_->setExpanded(parent, true);
    selectInView(*this, node);
    NodeClick(node);
    PasteMode = 0;
    saveShownTree(*this);
}

void frmMain::EditSiteTitle() {
    tree::TreeNode* node = CurrentNode();
    if (!node)
        return;
    const QString nodeKey = node->Key();
    EnteredTitle = note.CurrentTitle;
    askTitle(*this, QStringLiteral("Edit"), note.CurrentTitle);
    node = tree_->node(nodeKey);
    if (!node || note.CurrentKey.isEmpty())
        return;
    // After Cancel EnteredTitle still holds the old title, written back unchanged.
    store::NoteRecord record = note.CurrentRecord;
    record.Title = EnteredTitle;
    QString reason;
    if (mayWrite(*this, QStringLiteral("record ") + note.CurrentKey, reason)) {
        const store::WriteResult w = store::writeRecord(db, note.CurrentKey, record);
        if (!w.ok())
            reason = w.message;
    }
    if (!reason.isEmpty()) {
        // The node keeps the title its record has.
        reportFailure(*this, QStringLiteral("The title '%1'").arg(EnteredTitle), reason);
        return;
    }
    note.CurrentRecord = record;
    tree_->setText(node, EnteredTitle);
    selectInView(*this, node);
    NodeClick(node);
    saveShownTree(*this);
}

void frmMain::DeleteIt() {
    tree::TreeNode* node = CurrentNode();
    if (!node || tree_->isEmpty())
        return;
    if (note.NoteChanged && !SaveRecord())
        return;
    if (node == tree_->root() || !node->Parent()) {
        message(QStringLiteral("You cannot delete the Root of the Tree!"));
        return;
    }
    // Anything but a plain Yes keeps the notes.
    if (prompter().message(QStringLiteral("Delete '") + note.CurrentTitle +
                               QStringLiteral("' ... Are You Sure?"),
                           program.ProgramTitle, PromptIcon::Question,
                           PromptButtons::YesNo) != PromptAnswer::Yes) {
        URLList->setFocus();
        return;
    }
    const QString parentKey = node->Parent()->Key();
    if (node->hasChildren() &&
        prompter().message(QStringLiteral("This Note Tablet has Notes stored within it ... "
                                          "Do you want to delete the entire Note Tablet?"),
                           program.ProgramTitle, PromptIcon::Question,
                           PromptButtons::YesNo) != PromptAnswer::Yes) {
        URLList->setFocus();
        return;
    }
    QStringList KeyList;
    tree::BuildBranchList(node, KeyList);
    QApplication::setOverrideCursor(Qt::WaitCursor);

    // First the stored tree forgets the branch; only then do its records go.
    QString reason;
    if (!CurrentSectionKey.isEmpty()) {
        const QSet<QString> gone(KeyList.begin(), KeyList.end());
        QStringList all;
        tree::BuildBranchList(tree_->root(), all);
        QStringList keep;
        keep.reserve(all.size() - KeyList.size());
        for (const QString& k : all)
            if (!gone.contains(k))
                keep.append(k);
        const tree::BlobWrite blob = tree::SaveDatabaseBlob(*tree_, keep);
        if (!blob.ok())
            reason = blob.error;
        else if (mayWrite(*this, QStringLiteral("tree ") + CurrentSectionKey, reason)) {
            store::NoteRecord treeRecord;
            treeRecord.Owner = QString::fromUtf16(store::SectionTreeOwner);
            treeRecord.Title = parentKey;
            treeRecord.Body = blob.blob;
            const store::WriteResult w =
                store::writeRecord(db, store::treeKey(CurrentSectionKey), treeRecord);
            if (!w.ok())
                reason = w.message;
        }
    }
    if (!reason.isEmpty()) {
        QApplication::restoreOverrideCursor();
        message(QStringLiteral("'%1' could not be deleted: the note tree of this section could "
                               "not be saved.\n\n%2\n\nNothing has been deleted.")
                    .arg(note.CurrentTitle, reason));
        return;
    }

    // Backwards through the pre-order list: every note goes before its parent.
    QStringList failed;
    for (qsizetype i = KeyList.size() - 1; i >= 0; --i) {
        const QString& nodeKey = KeyList.at(i);
        if (tree::TreeNode* n = tree_->node(nodeKey))
            tree_->removeBranch(n);
        const QString recordKey = nodeKey.mid(1);
        if (recordKey.isEmpty())
            continue;
        QString why;
        if (mayWrite(*this, QStringLiteral("delete ") + recordKey, why)) {
            // One flush for the whole branch: the tree no longer shows these
            // notes, so a delete lost to a crash leaves only an orphan record.
            const int result = db.vmx.VmxDelete(db.DbHandle, recordKey);
            if (result != store::VmxOk && result != store::VmxNotFound)
                why = db.vmx.errorText(db.DbHandle, result);
        }
        if (!why.isEmpty())
            failed.append(why);
    }
    if (const int result = db.vmx.VmxFlush(db.DbHandle); result != store::VmxOk)
        failed.append(db.vmx.errorText(db.DbHandle, result));
    QApplication::restoreOverrideCursor();
    if (!failed.isEmpty())
        message(QStringLiteral("The notes are gone from the tree, but the records of %1 of them "
                               "could not be deleted and stay in the database (vellicar-db "
                               "export lists them).\n\n%2")
                    .arg(failed.size())
                    .arg(failed.constFirst()));

    note.CurrentNodeKey = parentKey;
    if (tree::TreeNode* parent = tree_->node(parentKey)) {
        selectInView(*this, parent);
        NodeClick(parent);
    }
}

} // namespace vellicar::gui
