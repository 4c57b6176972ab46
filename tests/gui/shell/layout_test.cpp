// The window layout on real widgets: resizing, the splitter, the two toggles.
#include "gui_fixture.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QFrame>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeWidget>

using namespace vellicar;
using namespace vellicar::test;

class LayoutTest : public GuiTest {
protected:
    gui::frmMain& startWithNotes() {
        makeNotebook(introPath(), {{QStringLiteral("VLR1"),
                                    QStringLiteral("Home"),
                                    {{QStringLiteral("1.5"),
                                      QStringLiteral("Linked"),
                                      QStringLiteral("b"),
                                      QStringLiteral("001a001b"),
                                      {}}},
                                    QStringLiteral("K1.5")}});
        return start();
    }
    void dragSplitterTo(int xInSiteList) {
        gui::frmMain& m = *w;
        const QPoint start = m.Splitter->rect().center();
        QTest::mousePress(m.Splitter, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove,
                         QPointF(m.Splitter->mapFromParent(QPoint(xInSiteList, 10))),
                         m.Splitter->mapToGlobal(QPointF(0, 0)), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(m.Splitter, &move);
        QTest::mouseRelease(m.Splitter, Qt::LeftButton, {},
                            m.Splitter->mapFromParent(QPoint(xInSiteList, 10)));
    }
};

TEST_F(LayoutTest, EnlargingMovesAndWidensTheRightPanels) {
    gui::frmMain& m = startWithNotes();
    ASSERT_TRUE(m.fmeLinks->isVisible());
    const QRect editor = m.txtSiteDesc->geometry();
    const QRect tree = m.URLList->geometry();
    const QRect links = m.fmeLinks->geometry();
    const QRect run = m.fmeRun->geometry();
    const QRect add = m.cmdAddLink->geometry();
    const QRect ok = m.cmdRunOpen->geometry();
    const QRect exit = m.Image1.at(1)->geometry();
    const int combo = m.cboRunOpen->width();
    const int dw = m.pixels(600), dh = m.pixels(300);
    m.resize(m.width() + dw, m.height() + dh);
    QApplication::processEvents();
    EXPECT_NEAR(m.txtSiteDesc->width() - editor.width(), dw, 1);
    EXPECT_EQ(m.txtSiteDesc->x(), editor.x());
    EXPECT_EQ(m.URLList->width(), tree.width());
    EXPECT_NEAR(m.URLList->height() - tree.height(), dh, 1);
    EXPECT_NEAR(m.txtSiteDesc->height() - editor.height(), dh, 1);
    EXPECT_NEAR(m.fmeLinks->y() - links.y(), dh, 1);
    EXPECT_NEAR(m.fmeRun->y() - run.y(), dh, 1);
    EXPECT_NEAR(m.cmdAddLink->x() - add.x(), dw, 1);
    EXPECT_NEAR(m.cmdRunOpen->x() - ok.x(), dw, 1);
    EXPECT_NEAR(m.Image1.at(1)->x() - exit.x(), dw, 1);
    EXPECT_NEAR(m.cboRunOpen->width() - combo, dw, 1);
    // The window cannot become smaller than designed.
    m.resize(100, 100);
    QApplication::processEvents();
    EXPECT_GE(m.centralWidget()->width(), m.pixels(shell::DesignedWidth) - 1);
    EXPECT_GE(m.centralWidget()->height(), m.pixels(shell::DesignedHeight) - 1);
}

TEST_F(LayoutTest, SplitterStopsWithEitherSideAt200Twips) {
    gui::frmMain& m = startWithNotes();
    dragSplitterTo(0);
    EXPECT_NEAR(m.URLList->width(), m.pixels(200), 1);
    EXPECT_EQ(m.Splitter->geometry().right() + 1, m.txtSiteDesc->x());
    dragSplitterTo(m.fmSiteList->width() + 500);
    EXPECT_NEAR(m.txtSiteDesc->width(), m.pixels(200), 1);
    dragSplitterTo(m.pixels(2000));
    EXPECT_NEAR(m.URLList->width(), m.pixels(2000 - shell::TreeLeft), 1);
    EXPECT_FALSE(m.layout.SplitterDragging);
}

TEST_F(LayoutTest, TreeToggleGivesTheEditorTheWidthAndRestoresTheDraggedSplitter) {
    gui::frmMain& m = startWithNotes();
    dragSplitterTo(m.pixels(2500));
    const int treeWidth = m.URLList->width();
    const QRect editor = m.txtSiteDesc->geometry();
    m.Image1.at(20)->click();
    EXPECT_FALSE(m.URLList->isVisible());
    EXPECT_FALSE(m.Splitter->isVisible());
    EXPECT_EQ(m.txtSiteDesc->x(), m.pixels(shell::TreeLeft));
    EXPECT_EQ(m.txtSiteDesc->geometry().right(), editor.right());
    EXPECT_EQ(setting(QStringLiteral("Main/TreeWidth")), QString::number(m.layout.treeWidth));
    m.mEditorHideTree->trigger();
    EXPECT_TRUE(m.URLList->isVisible());
    EXPECT_EQ(m.URLList->width(), treeWidth);
    EXPECT_EQ(m.txtSiteDesc->geometry(), editor);
}

TEST_F(LayoutTest, LinksToggleHidesThePanelAndGrowsTreeAndEditor) {
    gui::frmMain& m = startWithNotes();
    const int tree = m.URLList->height();
    const int editor = m.txtSiteDesc->height();
    m.Image1.at(15)->click();
    EXPECT_FALSE(m.fmeLinks->isVisible());
    EXPECT_FALSE(m.mLinksAction->isVisible());
    EXPECT_NEAR(m.URLList->height() - tree, m.pixels(shell::LinksPanelHeight), 1);
    EXPECT_NEAR(m.txtSiteDesc->height() - editor, m.pixels(shell::LinksPanelHeight), 1);
    EXPECT_EQ(m.Splitter->height(), m.txtSiteDesc->height());
    EXPECT_EQ(m.lstLinkDesc->topLevelItemCount(), 1); // the links are kept while hidden
    m.mEditorHideLinks->trigger();
    EXPECT_TRUE(m.fmeLinks->isVisible());
    EXPECT_EQ(m.URLList->height(), tree);
}

TEST_F(LayoutTest, TabLineEndsWithTheLastTab) {
    gui::frmMain& m = startWithNotes();
    int sum = 0;
    for (int i = 0; i < m.DBTabs->count(); ++i)
        sum += m.DBTabs->tabRect(i).width();
    const int left = m.TabLine->geometry().left();
    EXPECT_NEAR(m.TabLine->geometry().right(),
                m.pixels(shell::tabLineRight(m.twips(left), m.twips(sum))), 1);
}
