#include "core/shell/layout.h"

#include <algorithm>
#include <cmath>

namespace vellicar::shell {

namespace {
// The editor's right edge and the splitter's offsets at the designed size.
constexpr int EditorRight = 9550;
constexpr int EditorGap = 85; // tree's right edge to editor's left edge
constexpr int TreeTop = 630;
constexpr int TreeHeight = 3075;
constexpr int EditorTop = 600;
constexpr int EditorExtra = 30; // the editor starts 30 above the tree and ends with it
} // namespace

int maxTreeWidth(int clientWidth) {
    const int dW = std::max(0, clientWidth - DesignedWidth);
    return EditorRight + dW - MinPaneWidth - EditorGap - TreeLeft;
}

int clampTreeWidth(int clientWidth, int treeWidth) {
    return std::clamp(treeWidth, MinPaneWidth, maxTreeWidth(clientWidth));
}

LayoutRects computeLayout(const LayoutInput& in) {
    const int dW = std::max(0, in.width - DesignedWidth);
    const int dH = std::max(0, in.height - DesignedHeight);
    LayoutRects r;

    r.fmCategories = QRect(30, 0, 9600 + dW, 1275);
    r.DatabaseTabs = QRect(90, 150, 9465 + dW, 270);
    r.ToolBar0 = QRect(90, 480, 9400 + dW, 390);
    // Inside ToolBar0: the Exit button at the right end, the phrase left of it.
    r.cmdExit = QRect(9400 + dW - 375, 15, 360, 360);
    r.lblPhrase = QRect(9400 + dW - 375 - 3960, 60, 3900, 270);
    r.DBTabs = QRect(90, 915, 9465 + dW, 270);

    r.fmSiteList = QRect(30, 1320, 9600 + dW, 4935 + dH);
    r.ToolBar1 = QRect(120, 210, 9400 + dW, 390);
    const int treeHeight = TreeHeight + dH + (in.linksVisible ? 0 : LinksPanelHeight);
    const int editorRight = EditorRight + dW;
    if (in.treeVisible) {
        const int tw = clampTreeWidth(in.width, in.treeWidth);
        r.URLList = QRect(TreeLeft, TreeTop, tw, treeHeight);
        const int editorLeft = TreeLeft + tw + EditorGap;
        r.txtSiteDesc =
            QRect(editorLeft, EditorTop, editorRight - editorLeft, treeHeight + EditorExtra);
        r.Splitter =
            QRect(editorLeft - SplitterWidth, EditorTop, SplitterWidth, treeHeight + EditorExtra);
    } else {
        r.URLList = QRect(TreeLeft, TreeTop, 0, treeHeight);
        r.txtSiteDesc =
            QRect(TreeLeft, EditorTop, editorRight - TreeLeft, treeHeight + EditorExtra);
        r.Splitter =
            QRect(TreeLeft - SplitterWidth, EditorTop, SplitterWidth, treeHeight + EditorExtra);
    }

    r.fmeLinks = QRect(60, 3750 + dH, 9495 + dW, LinksPanelHeight);
    r.lblLinksCaption = QRect(0, 30, 240, 1065);
    r.cmdAddLink = QRect(8715 + dW, 30, 735, 255);
    r.cmdLinkEdit = QRect(8715 + dW, 450, 735, 255);
    r.cmdActivateLink = QRect(8715 + dW, 840, 735, 255);
    const int listWidth = in.linkValueSized ? r.cmdAddLink.left() - 350 : 8205 + dW;
    r.lstLinkDesc = QRect(240, 30, listWidth, 1065);

    r.fmeRun = QRect(30, 6270 + dH, 9585 + dW, 525);
    r.lblRunOpen = QRect(45, 150, 930, 315);
    r.cboRunOpen = QRect(990, 150, 6915 + dW, 315);
    r.cmdBrowse = QRect(7980 + dW, 180, 735, 255);
    r.cmdRunOpen = QRect(8760 + dW, 180, 735, 255);
    return r;
}

int tabLineRight(int lineLeft, int sumOfTabWidths) {
    return lineLeft + sumOfTabWidths - 10;
}

int twipsToPixels(int twips, double dpi) {
    return int(std::lround(twips * dpi / 1440.0));
}
int pixelsToTwips(int pixels, double dpi) {
    return int(std::lround(pixels * 1440.0 / dpi));
}

QRect twipsToPixels(const QRect& t, double dpi) {
    // Convert the edges, not the sizes, so neighbouring panels stay flush.
    const int l = twipsToPixels(t.left(), dpi);
    const int top = twipsToPixels(t.top(), dpi);
    const int r = twipsToPixels(t.left() + t.width(), dpi);
    const int b = twipsToPixels(t.top() + t.height(), dpi);
    return QRect(l, top, r - l, b - top);
}

} // namespace vellicar::shell
