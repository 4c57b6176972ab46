// The window layout: panels placed from the twip arithmetic of
// core/shell/layout, the splitter, the two panel toggles and the lines under
// the tab rows.
#include "core/shell/layout.h"
#include "core/shell/settings_lists.h"
#include "core/tree/note_tree.h"
#include "gui/shell/frmMain.h"
#include "gui/shell/widgets.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFrame>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QTreeWidget>

namespace vellicar::gui {

void frmMain::applyLayout() {
    QWidget* client = centralWidget();
    const double d = dpi();
    shell::LayoutInput in;
    in.width = twips(client->width());
    in.height = twips(client->height());
    in.treeWidth = layout.treeWidth;
    in.treeVisible = layout.treeVisible;
    in.linksVisible = layout.linksVisible;
    in.linkValueSized = layout.linkValueSized;
    const shell::LayoutRects r = shell::computeLayout(in);
    // The tree's width never passes the splitter's limits at this size.
    if (layout.treeVisible)
        layout.treeWidth = r.URLList.width();
    auto place = [d](QWidget* w, const QRect& t) { w->setGeometry(shell::twipsToPixels(t, d)); };
    place(fmCategories, r.fmCategories);
    place(DatabaseTabs, r.DatabaseTabs);
    place(ToolBar[0], r.ToolBar0);
    place(DBTabs, r.DBTabs);
    place(fmSiteList, r.fmSiteList);
    place(ToolBar[1], r.ToolBar1);
    place(URLList, r.URLList);
    place(Splitter, r.Splitter);
    place(txtSiteDesc, r.txtSiteDesc);
    place(fmeLinks, r.fmeLinks);
    place(lblLinksCaption, r.lblLinksCaption);
    place(lstLinkDesc, r.lstLinkDesc);
    place(cmdAddLink, r.cmdAddLink);
    place(cmdLinkEdit, r.cmdLinkEdit);
    place(cmdActivateLink, r.cmdActivateLink);
    place(fmeRun, r.fmeRun);
    place(lblRunOpen, r.lblRunOpen);
    place(cboRunOpen, r.cboRunOpen);
    place(cmdBrowse, r.cmdBrowse);
    place(cmdRunOpen, r.cmdRunOpen);
    place(Image1.at(1), r.cmdExit);
    // The designed rows are low for today's fonts: the tabs fill their row
    // exactly rather than spill over the toolbar below.
    const QString tabStyle = QStringLiteral("QTabBar::tab { height: %1px; padding: 0px 8px; }")
                                 .arg(std::max(12, DatabaseTabs->height() - 1));
    if (DatabaseTabs->styleSheet() != tabStyle) {
        DatabaseTabs->setStyleSheet(tabStyle);
        DBTabs->setStyleSheet(tabStyle);
    }
    place(lblPhrase, r.lblPhrase);

    // Picture buttons stand in a row from the left edge of their toolbar.
    const int step = pixels(360);
    int x[2] = {pixels(15), pixels(15)};
    auto lay = [&](QToolButton* b) {
        const int row = b->parentWidget() == ToolBar[0] ? 0 : 1;
        b->setGeometry(x[row], pixels(15), step, step);
        x[row] += step;
        if (row == 1 && (b->property("gap").toBool()))
            x[row] += pixels(120);
    };
    for (QToolButton* b : buttonOrder_)
        if (b != Image1.at(1))
            lay(b);

    URLList->setVisible(layout.treeVisible);
    Splitter->setVisible(layout.treeVisible);
    fmeLinks->setVisible(layout.linksVisible);
    DatabaseTabLine->setGeometry(
        shell::twipsToPixels(QRect(r.databaseTabLineLeft, r.databaseTabLineTop, 10, 15), d));
    TabLine->setGeometry(shell::twipsToPixels(QRect(r.tabLineLeft, r.tabLineTop, 10, 15), d));
    UnderScoreTabs();
    UnderScoreDBTabs();
}

namespace {
int tabWidths(const QTabBar* bar) {
    int sum = 0;
    for (int i = 0; i < bar->count(); ++i)
        sum += bar->tabRect(i).width();
    return sum;
}
void setLineRight(QFrame* line, int rightPx) {
    QRect g = line->geometry();
    g.setRight(std::max(g.left(), rightPx));
    line->setGeometry(g);
}
} // namespace

// The line under a row of tabs ends with the row's last tab.
void frmMain::UnderScoreTabs() {
    const int left = TabLine->geometry().left();
    setLineRight(TabLine, pixels(shell::tabLineRight(twips(left), twips(tabWidths(DBTabs)))));
}

void frmMain::UnderScoreDBTabs() {
    const int left = DatabaseTabLine->geometry().left();
    setLineRight(DatabaseTabLine,
                 pixels(shell::tabLineRight(twips(left), twips(tabWidths(DatabaseTabs)))));
}

void frmMain::writePanelSettings() {
    QSettings& s = settings();
    s.beginGroup(QStringLiteral("Main"));
    const int editorLeft = twips(txtSiteDesc->geometry().left());
    s.setValue(QStringLiteral("EditorWidth"), shell::formatWhole(twips(txtSiteDesc->width())));
    s.setValue(QStringLiteral("EditorLeft"), shell::formatWhole(editorLeft));
    s.setValue(QStringLiteral("TreeWidth"), shell::formatWhole(layout.treeWidth));
    s.setValue(QStringLiteral("TreeLeft"), shell::formatWhole(shell::TreeLeft));
    s.setValue(QStringLiteral("SplitterLeft"),
               shell::formatWhole(editorLeft - shell::SplitterWidth));
    s.endGroup();
}

// The editor always fills what the tree leaves, so of the five stored values
// the tree's width decides; it is held to the splitter's limits.
void frmMain::readPanelSettings() {
    QSettings& s = settings();
    s.beginGroup(QStringLiteral("Main"));
    const QString editorWidth = s.value(QStringLiteral("EditorWidth")).toString();
    const QString treeWidth = s.value(QStringLiteral("TreeWidth")).toString();
    s.endGroup();
    if (editorWidth.isEmpty())
        return;
    const int tw = shell::readWhole(treeWidth, layout.treeWidth);
    layout.treeWidth = shell::clampTreeWidth(twips(centralWidget()->width()), tw);
}

void frmMain::mEditorHideTreeClick() {
    if (!treeHasNodes())
        return;
    if (layout.treeVisible) {
        writePanelSettings();
        layout.treeVisible = false;
    } else {
        readPanelSettings();
        layout.treeVisible = true;
    }
    applyLayout();
}

void frmMain::mEditorHideLinksClick() {
    if (!treeHasNodes())
        return;
    layout.linksVisible = !layout.linksVisible;
    mLinksAction->setVisible(layout.linksVisible);
    applyLayout();
}

void frmMain::splitterDragTo(int x) {
    if (!layout.SplitterDragging || !layout.treeVisible)
        return;
    // x is in fmSiteList coordinates; the tree starts at TreeLeft.
    const int wanted = twips(x) - shell::TreeLeft;
    const int clientWidth = twips(centralWidget()->width());
    if (wanted < shell::MinPaneWidth || wanted > shell::maxTreeWidth(clientWidth))
        layout.treeWidth = shell::clampTreeWidth(clientWidth, wanted);
    else
        layout.treeWidth = wanted;
    applyLayout();
}

bool frmMain::eventFilter(QObject* watched, QEvent* e) {
    if (watched == centralWidget() && e->type() == QEvent::Resize) {
        if (!program.StartingUp)
            applyLayout();
        return false;
    }
    if (watched == lstLinkDesc && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Delete) {
            runHook(linkDelete);
            return true;
        }
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            runHook(linkActivate);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

} // namespace vellicar::gui
