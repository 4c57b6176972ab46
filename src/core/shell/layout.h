#pragma once
// Where every panel of the main window sits, in twips, for a given client
// size. The window is designed at one size; a larger window hands its extra
// width to the editor and the full-width rows (things at the right edge move
// with it) and its extra height to the tree and the editor (the links panel
// and the Run/Open bar stay at the bottom). The tree's width only changes by
// the splitter, and neither tree nor editor gets narrower than MinPaneWidth.
#include <QtCore/QRect>

namespace vellicar::shell {

inline constexpr int DesignedWidth = 9660;
inline constexpr int DesignedHeight = 6825;
inline constexpr int DesignedTreeWidth = 3545;
inline constexpr int MinPaneWidth = 200;
inline constexpr int TreeLeft = 120;
inline constexpr int SplitterWidth = 75;
inline constexpr int LinksPanelHeight = 1155;

struct LayoutInput {
    int width = DesignedWidth; // client area; smaller values count as designed
    int height = DesignedHeight;
    int treeWidth = DesignedTreeWidth;
    bool treeVisible = true;
    bool linksVisible = true;
    bool linkValueSized = false; // ShowLinkValue/HideLinkValue have sized the list
};

// Rectangles are relative to their containing frame, as in the designed table:
// the first group to the client area, the toolbars' and tab rows' content to
// fmCategories, the tree group and fmeLinks to fmSiteList, and so on.
struct LayoutRects {
    QRect fmCategories, DatabaseTabs, ToolBar0, cmdExit, lblPhrase, DBTabs;
    QRect fmSiteList, ToolBar1, URLList, Splitter, txtSiteDesc;
    QRect fmeLinks, lblLinksCaption, lstLinkDesc, cmdAddLink, cmdLinkEdit, cmdActivateLink;
    QRect fmeRun, lblRunOpen, cboRunOpen, cmdBrowse, cmdRunOpen;
    int databaseTabLineLeft = 120, databaseTabLineTop = 435;
    int tabLineLeft = 120, tabLineTop = 1200;
};

LayoutRects computeLayout(const LayoutInput& in);

// Largest tree width that still leaves the editor MinPaneWidth at this client width.
int maxTreeWidth(int clientWidth);
// A tree width limited to what the splitter may reach at this client width.
int clampTreeWidth(int clientWidth, int treeWidth);

// Right end of a line under a row of tabs: its left end plus the tabs' widths, minus 10.
int tabLineRight(int lineLeft, int sumOfTabWidths);

// Twips and pixels at a logical DPI (1440 twips per inch).
int twipsToPixels(int twips, double dpi);
int pixelsToTwips(int pixels, double dpi);
QRect twipsToPixels(const QRect& twips, double dpi);

} // namespace vellicar::shell
