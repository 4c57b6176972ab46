#include "core/shell/layout.h"

#include <gtest/gtest.h>

using namespace vellicar::shell;

TEST(Layout, DesignedSizeMatchesTheDesignedTable) {
    const LayoutRects r = computeLayout({});
    EXPECT_EQ(r.fmCategories, QRect(30, 0, 9600, 1275));
    EXPECT_EQ(r.URLList, QRect(120, 630, 3545, 3075));
    EXPECT_EQ(r.txtSiteDesc, QRect(3750, 600, 5800, 3105));
    EXPECT_EQ(r.fmeLinks, QRect(60, 3750, 9495, 1155));
    EXPECT_EQ(r.cmdAddLink, QRect(8715, 30, 735, 255));
    EXPECT_EQ(r.fmeRun, QRect(30, 6270, 9585, 525));
    EXPECT_EQ(r.cboRunOpen.width(), 6915);
    EXPECT_EQ(r.cmdRunOpen.topLeft(), QPoint(8760, 180));
    // The splitter stands directly left of the editor, as tall as it.
    EXPECT_EQ(r.Splitter.right() + 1, r.txtSiteDesc.left());
    EXPECT_EQ(r.Splitter.height(), r.txtSiteDesc.height());
}

TEST(Layout, EnlargingHandsWidthToTheEditorAndHeightToTreeAndEditor) {
    const LayoutRects a = computeLayout({});
    LayoutInput big;
    big.width = DesignedWidth + 600;
    big.height = DesignedHeight + 300;
    const LayoutRects b = computeLayout(big);
    auto wider = [](const QRect& x, const QRect& y) { return y.width() - x.width(); };
    auto right = [](const QRect& x, const QRect& y) { return y.left() - x.left(); };
    for (auto m : {&LayoutRects::fmCategories, &LayoutRects::DatabaseTabs, &LayoutRects::ToolBar0,
                   &LayoutRects::DBTabs, &LayoutRects::fmSiteList, &LayoutRects::ToolBar1,
                   &LayoutRects::txtSiteDesc, &LayoutRects::lstLinkDesc, &LayoutRects::fmeLinks,
                   &LayoutRects::fmeRun, &LayoutRects::cboRunOpen})
        EXPECT_EQ(wider(a.*m, b.*m), 600);
    for (auto m : {&LayoutRects::cmdExit, &LayoutRects::lblPhrase, &LayoutRects::cmdAddLink,
                   &LayoutRects::cmdLinkEdit, &LayoutRects::cmdActivateLink,
                   &LayoutRects::cmdBrowse, &LayoutRects::cmdRunOpen})
        EXPECT_EQ(right(a.*m, b.*m), 600);
    EXPECT_EQ(b.URLList.width(), a.URLList.width());
    EXPECT_EQ(b.URLList.height() - a.URLList.height(), 300);
    EXPECT_EQ(b.txtSiteDesc.height() - a.txtSiteDesc.height(), 300);
    EXPECT_EQ(b.fmeLinks.top() - a.fmeLinks.top(), 300);
    EXPECT_EQ(b.fmeRun.top() - a.fmeRun.top(), 300);
    EXPECT_EQ(b.txtSiteDesc.left(), a.txtSiteDesc.left());
}

TEST(Layout, SmallerThanDesignedIsLaidOutAtTheDesignedSize) {
    LayoutInput small;
    small.width = 5000;
    small.height = 3000;
    EXPECT_EQ(computeLayout(small).txtSiteDesc, computeLayout({}).txtSiteDesc);
}

TEST(Layout, SplitterStopsWithEitherPaneAt200) {
    EXPECT_EQ(clampTreeWidth(DesignedWidth, 10), MinPaneWidth);
    LayoutInput in;
    in.treeWidth = 100000;
    const LayoutRects r = computeLayout(in);
    EXPECT_EQ(r.txtSiteDesc.width(), MinPaneWidth);
    EXPECT_EQ(r.URLList.width(), maxTreeWidth(DesignedWidth));
    in.treeWidth = 0;
    EXPECT_EQ(computeLayout(in).URLList.width(), MinPaneWidth);
}

TEST(Layout, HiddenTreeGivesTheEditorTheFullWidthFromTheTreesLeftEdge) {
    LayoutInput in;
    in.treeVisible = false;
    const LayoutRects r = computeLayout(in);
    const LayoutRects d = computeLayout({});
    EXPECT_EQ(r.txtSiteDesc.left(), TreeLeft);
    EXPECT_EQ(r.txtSiteDesc.right(), d.txtSiteDesc.right());
}

TEST(Layout, HiddenLinksPanelGrowsTreeAndEditorByItsHeight) {
    LayoutInput in;
    in.linksVisible = false;
    const LayoutRects r = computeLayout(in);
    const LayoutRects d = computeLayout({});
    EXPECT_EQ(r.URLList.height() - d.URLList.height(), LinksPanelHeight);
    EXPECT_EQ(r.txtSiteDesc.height() - d.txtSiteDesc.height(), LinksPanelHeight);
    EXPECT_EQ(r.Splitter.height(), r.txtSiteDesc.height());
}

TEST(Layout, LinkValueSizingPutsTheListEnd350BeforeTheAddButton) {
    LayoutInput in;
    in.linkValueSized = true;
    const LayoutRects r = computeLayout(in);
    EXPECT_EQ(r.lstLinkDesc.width(), r.cmdAddLink.left() - 350);
}

TEST(Layout, TabLineEndsWithTheLastTab) {
    EXPECT_EQ(tabLineRight(120, 900 + 1200 + 1000), 3210);
}

TEST(Layout, TwipsAndPixels) {
    EXPECT_EQ(twipsToPixels(1440, 96), 96);
    EXPECT_EQ(pixelsToTwips(96, 96), 1440);
    EXPECT_EQ(twipsToPixels(15, 96), 1);
    // Edges are converted, so panels that touch in twips touch in pixels.
    const QRect a = twipsToPixels(QRect(3675, 600, 75, 3105), 96);
    const QRect b = twipsToPixels(QRect(3750, 600, 5800, 3105), 96);
    EXPECT_EQ(a.right() + 1, b.left());
}
