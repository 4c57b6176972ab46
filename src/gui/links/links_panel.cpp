// The links panel under the editor: the current note's links as nodes of
// lstLinkDesc, read from and written to the note's Link blob.
#include "core/links/link_blob.h"
#include "core/store/keys.h"
#include "gui/shell/frmMain.h"

#include <QtCore/QSet>
#include <QtGui/QIcon>
#include <QtWidgets/QFrame>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QTreeWidget>

namespace vellicar::gui {

namespace {
constexpr int ValueRole = Qt::UserRole + 1; // the node's Tag: the link's value
constexpr int KeyRole = Qt::UserRole + 2;
constexpr int ImageRole = Qt::UserRole + 3;
} // namespace

void frmMain::LoadLinks() {
    lstLinkDesc->clear();
    CurrentLinkNode = nullptr;
    if (!layout.linksVisible || fmeLinks->isHidden())
        ShowLinks();
    const links::LinkBlobRead read = links::readLinkBlob(LinkBlob);
    QSet<QString> keys;
    for (const links::Link& link : read.links) {
        const QString key = QStringLiteral("K") + store::newlinkkey(keys);
        keys.insert(key.mid(1));
        const int image = links::WhichIcon(link.value);
        auto* item = new QTreeWidgetItem(lstLinkDesc);
        item->setText(0, link.description);
        item->setData(0, ValueRole, link.value);
        item->setData(0, KeyRole, key);
        item->setData(0, ImageRole, image);
        item->setIcon(0, QIcon(QStringLiteral(":/icons/link_%1.svg").arg(image)));
    }
    ShowLinkValue();
}

QString frmMain::MakeLinkBlob(QString* error) {
    QList<links::Link> list;
    for (int i = 0; i < lstLinkDesc->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lstLinkDesc->topLevelItem(i);
        list.append({item->text(0), item->data(0, ValueRole).toString()});
    }
    const links::LinkBlobWrite w = links::writeLinkBlob(list);
    if (!w.ok()) {
        if (error)
            *error = w.error;
        return LinkBlob;
    }
    LinkBlob = w.blob;
    return LinkBlob;
}

void frmMain::ShowLinks() {
    if (program.StartingUp)
        return;
    if (!layout.linksVisible) {
        lstLinkDesc->clear();
        CurrentLinkNode = nullptr;
        layout.linksVisible = true;
        mLinksAction->setVisible(true);
        applyLayout();
    }
    URLList->viewport()->update();
}

void frmMain::HideLinks() {
    lstLinkDesc->clear();
    CurrentLinkNode = nullptr;
    mLinksAction->setVisible(false);
    if (!layout.linksVisible)
        return;
    layout.linksVisible = false;
    if (!program.StartingUp)
        applyLayout();
}

void frmMain::ShowLinkValue() {
    layout.linkValueSized = true;
    if (!program.StartingUp)
        applyLayout();
    update();
}

void frmMain::HideLinkValue() {
    ShowLinkValue();
}

} // namespace vellicar::gui
