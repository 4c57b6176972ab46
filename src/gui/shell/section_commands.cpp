// Section editing: adding a section, changing the selected section's title
// and removing it (the "&Section" menu, also the popup of the section tabs).
#include "core/store/keys.h"
#include "core/tree/note_tree.h"
#include "gui/notes/frmSiteTitle.h"
#include "gui/shell/frmMain.h"
#include "gui/shell/frmPageDesc.h"

#include <QtWidgets/QMenu>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeView>

namespace vellicar::gui {

void frmMain::buildSectionCommands() {
    auto action = [this](const char* name, const QString& caption) {
        QAction* a = mPage->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mPageNew = action("mPageNew", QStringLiteral("&New Section"));
    mPageEdit = action("mPageEdit", QStringLiteral("&Edit Selected Section's Title"));
    mPageDelete = action("mPageDelete", QStringLiteral("&Delete Selected Section"));
    connect(mPageNew, &QAction::triggered, this, [this] { mPageNewClick(); });
    connect(mPageEdit, &QAction::triggered, this, [this] { mPageEditClick(); });
    connect(mPageDelete, &QAction::triggered, this, [this] { mPageDeleteClick(); });
}

void frmMain::mPageNewClick() {
    if (!treeHasNodes() || (note.NoteChanged && !SaveRecord()))
        return;
    // The shown tree is kept before another one takes its place.
    if (!CurrentSectionKey.isEmpty() && !SaveSectionTree(CurrentSectionKey))
        return;
    NewPage();
}

void frmMain::NewPage() {
    EnteredTitle.clear();
    {
        frmSiteTitle dialog(prompter(), program.ProgramTitle, EnteredTitle, this);
        dialog.setMode(QStringLiteral("New Section"));
        dialog.setText(QString());
        prompter().runDialog(dialog);
    }
    if (EnteredTitle.isEmpty())
        return;
    QStringList keys;
    for (int i = 0; i < DBTabs->count(); ++i)
        keys.append(tabKey(DBTabs, i));
    QString error;
    const QString key = store::MakeSectionKey(db, keys, store::privateTempFolder(), &error);
    if (key.isEmpty()) {
        message(error.isEmpty() ? QStringLiteral("No new section key could be made.") : error);
        return;
    }
    const QString title = EnteredTitle;
    const int index = DBTabs->addTab(title);
    DBTabs->setTabData(index, key);

    // The click makes the new section current and marks its tab.
    DBTabs->setCurrentIndex(index);
    DBTabsClick(index);
    if (CurrentSectionKey != key)
        return; // the click stayed on the shown section (its save failed)

    txtSiteDesc->blockSignals(true);
    txtSiteDesc->clear();
    txtSiteDesc->blockSignals(false);
    tree_->clear();
    const QString rootText =
        title.startsWith(QChar(0x00B6)) ? title : program.CurrentTabMarker + title;
    if (tree::TreeNode* root = tree_->addTop(QStringLiteral("R") + key, rootText)) {
        tree_->setSorted(root, true);
        tree_->setImage(root, tree::ImageRoot);
        // The new root is the current note, so note commands act on this section.
        URLList->setCurrentIndex(tree_->indexOf(root));
        NodeClick(root);
    }
    note.NoteChanged = false;
    if (search.HitCount == 0)
        SavePages();
    UnderScoreTabs();
}

void frmMain::mPageEditClick() {
    if (!treeHasNodes() || (note.NoteChanged && !SaveRecord()))
        return;
    EditPage();
}

void frmMain::EditPage() {
    const int index = DBTabs->currentIndex();
    if (index < 0)
        return;
    const QString old = stripMarker(DBTabs->tabText(index));
    bool accepted = false;
    {
        frmPageDesc dialog(Tag, this);
        dialog.setDescription(old);
        accepted = prompter().runDialog(dialog) == QDialog::Accepted;
    }
    // The dialog's own answer tells OK from Cancel, so a section may be
    // called "Canceled" like anything else.
    if (!accepted)
        return;
    const QString caption = program.CurrentTabMarker + Tag;
    DBTabs->setTabText(index, caption);
    repaint();
    if (tree::TreeNode* root = tree_->root()) {
        tree_->setText(root, caption);
        if (CurrentNode() == root)
            note.CurrentTitle = caption;
        SaveSectionTree(CurrentSectionKey);
    }
    if (search.HitCount == 0)
        SavePages();
    UnderScoreTabs();
}

void frmMain::mPageDeleteClick() {
    if (!treeHasNodes() || (note.NoteChanged && !SaveRecord()))
        return;
    if (tree_->count() > 1) {
        message(QStringLiteral("Sorry, there are still notes stored for this Section ... They must "
                               "be deleted before the Section can be removed."));
        return;
    }
    if (DBTabs->count() == 1) {
        message(QStringLiteral(
            "Sorry, there is only one Section left ... You cannot remove all Sections."));
        return;
    }
    DeletePage();
}

void frmMain::DeletePage() {
    const int index = DBTabs->currentIndex();
    if (index < 0)
        return;
    const QString caption = stripMarker(DBTabs->tabText(index));
    const PromptAnswer answer = prompter().message(
        QStringLiteral("Delete '") + caption + QStringLiteral("' ... Are You Sure?"),
        program.ProgramTitle, PromptIcon::Question, PromptButtons::YesNo);
    if (answer == PromptAnswer::Yes)
        DBTabs->removeTab(index);
    if (search.HitCount == 0)
        SavePages();
    UnderScoreTabs();
    note.EditorHasFocus = false;
    DBTabsClick(DBTabs->currentIndex());
}

} // namespace vellicar::gui
