// The current note: selecting a node loads its record into the editor, the
// links panel and three toolbar buttons; SaveRecord writes it back.
#include "core/richtext/rtf.h"
#include "core/store/dates.h"
#include "core/tree/note_tree.h"
#include "gui/shell/frmMain.h"
#include "gui/shell/widgets.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeView>

namespace vellicar::gui {

tree::TreeNode* frmMain::CurrentNode() const {
    return note.CurrentNodeKey.isEmpty() ? nullptr : tree_->node(note.CurrentNodeKey);
}

void frmMain::ClearRecordInMemory() {
    note.CurrentRecord.clear();
}

void frmMain::selectNodeInView(tree::TreeNode* node) {
    const QModelIndex index = tree_->indexOf(node);
    if (!index.isValid())
        return;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        URLList->expand(p);
    URLList->setCurrentIndex(index);
    URLList->scrollTo(index);
}

bool frmMain::NodeClick(tree::TreeNode* node) {
    if (!node)
        return false;
    layout.SplitterDragging = false;
    if (note.NoteChanged && !SaveRecord()) {
        // The edit is still only in the editor: stay on its note.
        if (tree::TreeNode* current = CurrentNode())
            selectNodeInView(current);
        return false;
    }
    note.CurrentNodeKey = node->Key();
    CurrentLinkNode = nullptr;
    txtSiteDesc->blockSignals(true);
    txtSiteDesc->clear();
    txtSiteDesc->blockSignals(false);
    note.CurrentKey = node->Key().mid(1);
    note.CurrentTitle = node->Text();
    if (!note.CurrentKey.isEmpty()) {
        ClearRecordInMemory();
        if (!store::readRecord(db, note.CurrentKey, note.CurrentRecord)) {
            HideLinks();
        } else {
            showRecord();
        }
    }
    if (note.FocusEditorAfterLoad) {
        note.FocusEditorAfterLoad = false;
        QApplication::processEvents();
        txtSiteDesc->setFocus();
    }
    if (!search.SearchText.isEmpty() && startOccurrences)
        startOccurrences();
    selectNodeInView(node);
    if (!note.FocusEditorAfterLoad && !txtSiteDesc->hasFocus())
        URLList->setFocus();
    return true;
}

void frmMain::showRecord() {
    const store::NoteRecord& r = note.CurrentRecord;
    tree::TreeNode* node = CurrentNode();
    if (node && node->Sorted())
        setButtonPicture(25, QStringLiteral("imgSorted"),
                         QStringLiteral("Change Sort Status ... Currently Sorted"));
    else
        setButtonPicture(25, QStringLiteral("imgNotSorted"),
                         QStringLiteral("Change Sort Status ... Currently Unsorted"));
    note.CurrentIndexValue = r.IndexValue;
    if (r.IndexValue.isEmpty())
        setButtonPicture(16, QStringLiteral("StatusWhite"),
                         QStringLiteral("Set An Index Value For Selected Note"));
    else
        setButtonPicture(16, QStringLiteral("StatusBlue"),
                         QStringLiteral("Edit Current Index: ") + r.IndexValue);
    // Due dates are stored as date texts; show them in the user's form.
    note.CurrentDueDate.clear();
    if (!r.DueDate.isEmpty()) {
        const std::optional<QDate> due = store::readDate(r.DueDate);
        note.CurrentDueDate = due ? store::DateText(*due) : store::StripWeekday(r.DueDate);
    }
    if (note.CurrentDueDate.isEmpty())
        setButtonPicture(4, QStringLiteral("TodoWhite"),
                         QStringLiteral("Set A Due Date For Selected Note"));
    else
        setButtonPicture(4, QStringLiteral("TodoBlue"),
                         QStringLiteral("Edit Current Due Date: ") + note.CurrentDueDate);
    txtSiteDesc->blockSignals(true);
    richtext::rtfToDocument(r.Body, *txtSiteDesc->document());
    txtSiteDesc->blockSignals(false);
    mEditorHideLinks->setText(QStringLiteral("&Temporarily Hide Links Panel"));
    LinkBlob = r.Links;
    if (LinkBlob.isEmpty())
        HideLinks();
    else
        LoadLinks();
}

bool frmMain::SaveRecord() {
    if (note.CurrentKey == QLatin1String("Sections"))
        return true;
    note.NoteChanged = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    store::NoteRecord record = note.CurrentRecord;
    if (tree::TreeNode* node = CurrentNode())
        record.Title = node->Text();
    record.Body = richtext::documentToRtfString(*txtSiteDesc->document());
    QString linkError;
    record.Links = MakeLinkBlob(&linkError);
    record.Modified = store::DateNumber(env_.clock.now());
    QString failure;
    if (!db.isOpen()) {
        failure = QStringLiteral("No database is open.");
    } else if (!linkError.isEmpty()) {
        failure = linkError;
    } else {
        const store::WriteResult w = store::writeRecord(db, note.CurrentKey, record);
        if (!w.ok())
            failure = w.message;
    }
    QApplication::restoreOverrideCursor();
    if (!failure.isEmpty()) {
        note.NoteChanged = true;
        const QString title = record.Title.isEmpty() ? note.CurrentKey : stripMarker(record.Title);
        reportWriteFailure(QStringLiteral("The note '%1'").arg(title), failure);
        return false;
    }
    note.CurrentRecord = record;
    return true;
}

void frmMain::mEditorUnDoClick() {
    if (!treeHasNodes())
        return;
    note.NoteChanged = false;
    if (tree::TreeNode* node = CurrentNode())
        NodeClick(node);
}

void frmMain::SaveNow() {
    if (note.NoteChanged)
        SaveRecord();
}

} // namespace vellicar::gui
