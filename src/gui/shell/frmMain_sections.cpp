// The section tabs: building them from the "Sections" record, writing them
// back, and showing a section's tree when its tab is clicked.
#include "core/store/keys.h"
#include "core/store/record_keys.h"
#include "core/store/section_list.h"
#include "core/tree/note_tree.h"
#include "core/tree/tree_blob.h"
#include "core/tree/tree_store.h"
#include "gui/shell/frmMain.h"

#include <QtWidgets/QGroupBox>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeView>

namespace vellicar::gui {

void frmMain::GetScreenReady() {
    if (!search.InSearchResults) {
        Image1.at(31)->setToolTip(QStringLiteral("Specify A New Search Criteria"));
        search.SearchText.clear();
    }
    tree_->clear();
    if (!search.InSearchResults)
        setButtonPicture(31, QStringLiteral("imgTS"),
                         QStringLiteral("Specify A New Search Criteria"));
    mPage->setEnabled(true);
    note.EditorHasFocus = false;
    GetSections();
    UnderScoreTabs();
}

void frmMain::GetSections() {
    note.CurrentKey = QStringLiteral("Sections");
    store::NoteRecord record;
    const bool found = store::readRecord(db, QString::fromUtf16(store::SectionsKey), record);
    // Rebuilding the row must not run section clicks.
    rebuildingSections_ = true;
    DBTabs->blockSignals(true);
    while (DBTabs->count() > 0)
        DBTabs->removeTab(0);
    QList<store::SectionEntry> entries;
    if (found)
        entries = store::readSectionList(record.Body).entries;
    if (entries.isEmpty()) {
        // A new database (or one whose list cannot be read): one fresh section.
        QString error;
        const QString key = store::MakeSectionKey(db, {}, store::privateTempFolder(), &error);
        const QString caption = program.CurrentTabMarker + QStringLiteral("Section 1");
        const int i = DBTabs->addTab(caption);
        DBTabs->setTabData(i, key);
        if (!key.isEmpty()) {
            tree::TreeNode* root = tree_->addTop(QStringLiteral("R") + key, caption);
            if (root) {
                tree_->setSorted(root, true);
                tree_->setImage(root, tree::ImageRoot);
            }
        } else {
            message(error);
        }
        txtSiteDesc->blockSignals(true);
        txtSiteDesc->clear();
        txtSiteDesc->blockSignals(false);
    } else {
        for (const store::SectionEntry& e : entries) {
            const int i = DBTabs->addTab(e.caption);
            DBTabs->setTabData(i, e.key);
        }
    }
    DBTabs->blockSignals(false);
    rebuildingSections_ = false;
}

bool frmMain::SavePages() {
    if (!db.isOpen())
        return true;
    QList<store::SectionEntry> entries;
    for (int i = 0; i < DBTabs->count(); ++i)
        entries.append({tabKey(DBTabs, i), DBTabs->tabText(i)});
    const store::SectionListWrite w = store::writeSectionList(entries);
    if (!w.ok()) {
        reportWriteFailure(QStringLiteral("The list of sections"), w.error);
        return false;
    }
    store::NoteRecord r;
    r.Owner = QString::fromUtf16(store::SectionsOwner);
    r.Body = w.text;
    const store::WriteResult result =
        store::writeRecord(db, QString::fromUtf16(store::SectionsKey), r);
    if (!result.ok()) {
        reportWriteFailure(QStringLiteral("The list of sections"), result.message);
        return false;
    }
    return true;
}

bool frmMain::SaveSectionTree(const QString& sectionKey) {
    if (!db.isOpen())
        return true;
    const tree::TreeSave r = tree::SaveSectionTree(db, *tree_, sectionKey, note.CurrentNodeKey);
    if (!r.ok()) {
        reportWriteFailure(QStringLiteral("The note tree of this section"), r.error);
        return false;
    }
    return true;
}

void frmMain::GetTree(const QString& sectionKey) {
    const tree::TreeLoad load =
        tree::GetTree(db, *tree_, sectionKey, DBTabs->tabText(DBTabs->currentIndex()), env_.clock,
                      SavedSelectionKey);
    if (load.damaged())
        prompter().message(tree::loadErrorMessage(load.blob.errorText()),
                           QString::fromUtf16(tree::LoadErrorTitle), PromptIcon::Critical,
                           PromptButtons::Ok);
    if (!load.errors.isEmpty())
        reportWriteFailure(QStringLiteral("The converted section"),
                           load.errors.join(QLatin1Char('\n')));
}

void frmMain::DBTabsClick(int index) {
    if (rebuildingSections_ || index < 0 || index >= DBTabs->count())
        return;
    const QString caption = DBTabs->tabText(index);
    if (caption == QLatin1String("No Databases Found") ||
        caption == QLatin1String("Database Closed"))
        return;
    if (note.NoteChanged && !SaveRecord()) {
        // Stay on the unsaved note: the tab row goes back to the shown section.
        for (int i = 0; i < DBTabs->count(); ++i)
            if (tabKey(DBTabs, i) == CurrentSectionKey)
                DBTabs->setCurrentIndex(i);
        return;
    }
    inSectionClick_ = true;
    fmSiteList->setTitle(QString());
    if (!CurrentSectionKey.isEmpty() && !SaveSectionTree(CurrentSectionKey)) {
        for (int i = 0; i < DBTabs->count(); ++i)
            if (tabKey(DBTabs, i) == CurrentSectionKey)
                DBTabs->setCurrentIndex(i);
        inSectionClick_ = false;
        return;
    }
    CurrentSectionKey = tabKey(DBTabs, index);
    if (!CurrentSectionKey.isEmpty()) {
        // A section without a tree record of its own still shows its root.
        const QString rootKey = QStringLiteral("R") + CurrentSectionKey;
        const bool keepNewRoot =
            tree_->count() == 1 && tree_->root() && tree_->root()->Key() == rootKey;
        if (!keepNewRoot || store::recordExists(db, store::treeKey(CurrentSectionKey)))
            GetTree(CurrentSectionKey);
        if (tree_->isEmpty()) {
            QString title = stripMarker(caption);
            tree::TreeNode* root = tree_->addTop(rootKey, program.CurrentTabMarker + title);
            if (root) {
                tree_->setSorted(root, true);
                tree_->setImage(root, tree::ImageRoot);
            }
        }
    }
    for (int i = 0; i < DBTabs->count(); ++i) {
        const QString c = stripMarker(DBTabs->tabText(i));
        DBTabs->setTabText(i, tabKey(DBTabs, i) == CurrentSectionKey ? program.CurrentTabMarker + c
                                                                     : c);
    }
    note.EditorHasFocus = false;

    if (tree::TreeNode* first = tree_->root()) {
        tree_->setExpanded(first, true);
        URLList->setFocus();
        NodeClick(first);
    }
    if (!SavedSelectionKey.isEmpty()) {
        if (tree::TreeNode* saved = tree_->node(SavedSelectionKey)) {
            if (saved != tree_->root())
                NodeClick(saved);
        }
    }
    if (search.FirstHit > 0) {
        if (tree::TreeNode* hit = tree_->nodeAt(search.FirstHit))
            NodeClick(hit);
    } else if (search.InSearchResults && tree_->root()) {
        NodeClick(tree_->root());
    }
    note.NoteChanged = false;
    note.EditorHasFocus = false;
    UnderScoreTabs();
    inSectionClick_ = false;
}

} // namespace vellicar::gui
