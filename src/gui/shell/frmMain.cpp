// Construction of the main window: widgets, menus, toolbars, and the small
// helpers every part of the window shares.
#include "gui/shell/frmMain.h"

#include "core/shell/layout.h"
#include "core/tree/note_tree.h"
#include "gui/shell/widgets.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QIcon>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFrame>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QTreeWidget>

// The pictures are compiled into this static library; nothing refers to them
// by symbol, so they are registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(vellicar);
}

namespace vellicar::gui {

namespace {

struct ButtonDef {
    int index;
    int row; // 0: database and search row, 1: note and editing row
    const char* picture;
    const char* tooltip;
};

// Picture buttons in the order they stand on their rows.
constexpr ButtonDef Buttons[] = {
    {26, 0, "new_db", "Create a new Vellicar Notes Database"},
    {30, 0, "open_db", "Open an existing Vellicar Notes Database"},
    {31, 0, "imgTS", "Specify A New Search Criteria"},
    {0, 0, "find_index", ""},
    {18, 0, "find_due", ""},
    {1, 0, "exit", "Exit from Program"},
    {3, 1, "new_note", "Define a New Note"},
    {5, 1, "delete_note", "Delete The Selected Note"},
    {19, 1, "expand", "Expand Note Tablet"},
    {27, 1, "collapse", "Collapse Note Tablet"},
    {25, 1, "imgNotSorted", "Change Sort Status"},
    {16, 1, "StatusWhite", "Set Index For Selected Note"},
    {4, 1, "TodoWhite", "Set A Due Date For Selected Note"},
    {6, 1, "copy", "Copy Selected Text"},
    {8, 1, "cut", "Cut Selected Text"},
    {7, 1, "paste", "Paste From Clipboard"},
    {36, 1, "copy_all", "Copy Entire Note Contents To Clipboard"},
    {9, 1, "font", "Specify Font Properties"},
    {10, 1, "bold", "Toggle Bold"},
    {11, 1, "italic", "Toggle Italic"},
    {12, 1, "underline", "Toggle Underline"},
    {44, 1, "color", "Choose Font Color"},
    {13, 1, "default_font", "Return To Default Font Properties"},
    {17, 1, "stamp", "Date & Time Stamp "},
    {14, 1, "link", "Link A Resource to The Selected Note"},
    {15, 1, "links_panel", "Toggle Links Panel Visibility"},
    {20, 1, "tree_panel", "Toggle Tree Panel Visibility"},
    {29, 1, "save", "Save Note Information Immediately"},
    {2, 1, "print", "Print The Selected Note"},
    {33, 1, "spell", "Spellcheck Using MS Word"},
};

// Buttons after which a small gap separates groups on the note row.
bool gapAfter(int index) {
    return index == 27 || index == 4 || index == 36 || index == 17 || index == 20;
}

QIcon picture(const QString& name) {
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

} // namespace

frmMain::frmMain(Environment env, QWidget* parent)
    : QMainWindow(parent), env_(std::move(env)),
      settings_(std::make_unique<QSettings>(env_.settingsFile, QSettings::IniFormat)) {
    initResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(picture(QStringLiteral("vellicar")));
    tree_ = new tree::NoteTree(this);
    tree_->setImageProvider(
        [](int image) -> QVariant { return picture(QStringLiteral("tree_%1").arg(image)); });
    buildWidgets();
    buildToolbars();
    buildMenus();
    buildNoteCommands();
    buildSectionCommands();
    startOccurrences = [this] {
        // Select the first occurrence of the search text in the body.
        QTextDocument* doc = txtSiteDesc->document();
        const int pos = doc->toPlainText().indexOf(search.SearchText, 0, Qt::CaseInsensitive);
        if (pos < 0)
            return;
        QTextCursor c(doc);
        c.setPosition(pos);
        c.setPosition(pos + int(search.SearchText.size()), QTextCursor::KeepAnchor);
        txtSiteDesc->setTextCursor(c);
        search.OccurrencePositions = {pos};
        search.OccurrenceCount = 1;
        search.OccurrenceIndex = 1;
    };
}

frmMain::~frmMain() {
    // A window destroyed without being closed still writes its state back.
    if (program.StartingUp == false && !unloaded_ && settings_)
        Unload();
}

void frmMain::buildWidgets() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    setCentralWidget(central);

    fmCategories = new QWidget(central);
    fmCategories->setObjectName(QStringLiteral("fmCategories"));
    DatabaseTabs = new QTabBar(fmCategories);
    DatabaseTabs->setObjectName(QStringLiteral("DatabaseTabs"));
    DatabaseTabs->setToolTip(
        QStringLiteral("Database Tabs ... Click to open the desired database"));
    DatabaseTabs->setDrawBase(false);
    DatabaseTabs->setExpanding(false);
    DatabaseTabs->setContextMenuPolicy(Qt::CustomContextMenu);
    DatabaseTabLine = new QFrame(fmCategories);
    DatabaseTabLine->setObjectName(QStringLiteral("DatabaseTabLine"));
    DatabaseTabLine->setFrameShape(QFrame::HLine);
    DatabaseTabLine->setFrameShadow(QFrame::Plain);
    ToolBar[0] = new QWidget(fmCategories);
    ToolBar[0]->setObjectName(QStringLiteral("ToolBar0"));
    ToolBar[0]->setProperty("Index", 0);
    lblPhrase = new QLabel(program.Phrase, ToolBar[0]);
    lblPhrase->setObjectName(QStringLiteral("lblPhrase"));
    lblPhrase->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont italic = lblPhrase->font();
    italic.setItalic(true);
    lblPhrase->setFont(italic);
    DBTabs = new QTabBar(fmCategories);
    DBTabs->setObjectName(QStringLiteral("DBTabs"));
    DBTabs->setToolTip(
        QStringLiteral("Section Tabs ... Click to open the desired database section"));
    DBTabs->setDrawBase(false);
    DBTabs->setExpanding(false);
    DBTabs->setContextMenuPolicy(Qt::CustomContextMenu);
    TabLine = new QFrame(fmCategories);
    TabLine->setObjectName(QStringLiteral("TabLine"));
    TabLine->setFrameShape(QFrame::HLine);
    TabLine->setFrameShadow(QFrame::Plain);

    fmSiteList = new QGroupBox(central);
    fmSiteList->setObjectName(QStringLiteral("fmSiteList"));
    ToolBar[1] = new QWidget(fmSiteList);
    ToolBar[1]->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar[1]->setProperty("Index", 1);
    URLList = new QTreeView(fmSiteList);
    URLList->setObjectName(QStringLiteral("URLList"));
    URLList->setModel(tree_);
    URLList->setHeaderHidden(true);
    URLList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    URLList->setSelectionMode(QAbstractItemView::SingleSelection);
    Splitter = new SplitterBar(fmSiteList);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    txtSiteDesc = new NoteEditor(fmSiteList);
    txtSiteDesc->setObjectName(QStringLiteral("txtSiteDesc"));

    fmeLinks = new QFrame(fmSiteList);
    fmeLinks->setObjectName(QStringLiteral("fmeLinks"));
    lblLinksCaption = new QLabel(QStringLiteral("L\nI\nN\nK\nS"), fmeLinks);
    lblLinksCaption->setObjectName(QStringLiteral("lblLinksCaption"));
    lblLinksCaption->setAlignment(Qt::AlignCenter);
    lstLinkDesc = new QTreeWidget(fmeLinks);
    lstLinkDesc->setObjectName(QStringLiteral("lstLinkDesc"));
    lstLinkDesc->setHeaderHidden(true);
    lstLinkDesc->setRootIsDecorated(false);
    lstLinkDesc->setContextMenuPolicy(Qt::CustomContextMenu);
    lstLinkDesc->installEventFilter(this);
    cmdAddLink = new QPushButton(QStringLiteral("Add"), fmeLinks);
    cmdAddLink->setObjectName(QStringLiteral("cmdAddLink"));
    cmdLinkEdit = new QPushButton(QStringLiteral("Edit"), fmeLinks);
    cmdLinkEdit->setObjectName(QStringLiteral("cmdLinkEdit"));
    cmdActivateLink = new QPushButton(QStringLiteral("Activate"), fmeLinks);
    cmdActivateLink->setObjectName(QStringLiteral("cmdActivateLink"));

    fmeRun = new QFrame(central);
    fmeRun->setObjectName(QStringLiteral("fmeRun"));
    fmeRun->setFrameShape(QFrame::StyledPanel);
    lblRunOpen = new QLabel(QStringLiteral("Run/Open:"), fmeRun);
    lblRunOpen->setObjectName(QStringLiteral("lblRunOpen"));
    cboRunOpen = new QComboBox(fmeRun);
    cboRunOpen->setObjectName(QStringLiteral("cboRunOpen"));
    cboRunOpen->setEditable(true);
    cboRunOpen->setInsertPolicy(QComboBox::NoInsert);
    cmdBrowse = new QPushButton(QStringLiteral("Browse"), fmeRun);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdRunOpen = new QPushButton(QStringLiteral("OK"), fmeRun);
    cmdRunOpen->setObjectName(QStringLiteral("cmdRunOpen"));

    // Events.
    connect(DatabaseTabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0)
            return;
        DatabaseTabs->setCurrentIndex(index);
        DatabaseTabsClick(index);
    });
    connect(DatabaseTabs, &QTabBar::customContextMenuRequested, this, [this](const QPoint& p) {
        mFile->setDefaultAction(mFileNew);
        mFile->popup(DatabaseTabs->mapToGlobal(p));
    });
    connect(DBTabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0)
            return;
        DBTabs->setCurrentIndex(index);
        DBTabsClick(index);
    });
    connect(DBTabs, &QTabBar::customContextMenuRequested, this,
            [this](const QPoint& p) { mPage->popup(DBTabs->mapToGlobal(p)); });
    connect(URLList, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        if (tree::TreeNode* node = tree_->nodeFrom(index))
            NodeClick(node);
    });
    connect(URLList, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (tree::TreeNode* node = tree_->nodeFrom(index); node && !node->Expanded())
            tree_->setExpanded(node, true);
    });
    connect(URLList, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (tree::TreeNode* node = tree_->nodeFrom(index); node && node->Expanded())
            tree_->setExpanded(node, false);
    });
    connect(tree_, &tree::NoteTree::expandedChanged, this,
            [this](const QModelIndex& index, bool expanded) {
                if (URLList->isExpanded(index) != expanded)
                    URLList->setExpanded(index, expanded);
            });
    // A model reset (a whole tree loaded) forgets the view's expansion.
    connect(tree_, &QAbstractItemModel::modelReset, this, [this] {
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < tree_->rowCount(parent); ++r) {
                const QModelIndex i = tree_->index(r, 0, parent);
                if (tree::TreeNode* n = tree_->nodeFrom(i); n && n->Expanded()) {
                    URLList->setExpanded(i, true);
                    walk(i);
                }
            }
        };
        walk({});
    });
    Splitter->onDragging = [this](bool on) { layout.SplitterDragging = on; };
    Splitter->onDragTo = [this](int x) { splitterDragTo(x); };
    txtSiteDesc->onFocusIn = [this] { editorGotFocus(); };
    txtSiteDesc->onFocusOut = [this] { editorLostFocus(); };
    txtSiteDesc->onContextMenu = [this](const QPoint& p) { mEditor->popup(p); };
    connect(txtSiteDesc, &QTextEdit::textChanged, this, [this] { editorChanged(); });
    connect(lstLinkDesc, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { CurrentLinkNode = item; });
    connect(lstLinkDesc, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { mLinks->popup(lstLinkDesc->viewport()->mapToGlobal(p)); });
    connect(lstLinkDesc, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem*) { runHook(linkActivate); });
    connect(cmdAddLink, &QPushButton::clicked, this, [this] { runHook(linkAdd); });
    connect(cmdLinkEdit, &QPushButton::clicked, this, [this] { runHook(linkEdit); });
    connect(cmdActivateLink, &QPushButton::clicked, this, [this] { runHook(linkActivate); });

    const int minW = pixels(shell::DesignedWidth);
    const int minH = pixels(shell::DesignedHeight);
    central->setMinimumSize(minW, minH);
    central->installEventFilter(this);
}

QToolButton* frmMain::addButton(int n, int row, const QString& pictureName,
                                const QString& tooltip) {
    auto* b = new QToolButton(ToolBar[row]);
    b->setObjectName(QStringLiteral("Image1_%1").arg(n));
    b->setProperty("Index", n);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(18, 18));
    Image1[n] = b;
    buttonOrder_.push_back(b);
    b->setProperty("gap", gapAfter(n));
    setButtonPicture(n, pictureName, tooltip);
    connect(b, &QToolButton::clicked, this, [this, n] { dispatch(n); });
    return b;
}

void frmMain::buildToolbars() {
    for (const ButtonDef& button : Buttons)
        addButton(button.index, button.row, QString::fromLatin1(button.picture),
                  QString::fromLatin1(button.tooltip));
    setCommand(1, [this] { mFileExitClick(); });
    setCommand(26, [this] { mFileNewClick(); });
    setCommand(30, [this] { mFileOpenClick(); });
    setCommand(29, [this] { SaveNow(); });
    setCommand(15, [this] { mEditorHideLinksClick(); });
    setCommand(20, [this] { mEditorHideTreeClick(); });
}

void frmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    mFile = bar->addMenu(QStringLiteral("&File"));
    mFile->setObjectName(QStringLiteral("mFile"));
    auto action = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mFileNew = action(mFile, "mFileNew", QStringLiteral("Create a &New Database"));
    mFileOpen = action(mFile, "mFileOpen", QStringLiteral("&Open An Existing Database"));
    mFileClose = action(mFile, "mFileClose", QStringLiteral("C&lose The Current Databae"));
    mFileCloseRemove = action(mFile, "mFileCloseRemove",
                              QStringLiteral("Close The Current Database and &Remove Its Tab"));
    mFileProperties = action(mFile, "mFileProperties", QStringLiteral("P&roperties"));
    mFile->addSeparator();
    mFileIndex = action(mFile, "mFileIndex", QString());
    mfilendays = action(mFile, "mfilendays", QString());
    mFile->addSeparator();
    mFileExit = action(mFile, "mFileExit", QStringLiteral("E&xit"));
    connect(mFileNew, &QAction::triggered, this, [this] { dispatch(26); });
    connect(mFileOpen, &QAction::triggered, this, [this] { dispatch(30); });
    connect(mFileClose, &QAction::triggered, this, [this] { mFileCloseClick(); });
    connect(mFileCloseRemove, &QAction::triggered, this, [this] { mFileCloseRemoveClick(); });
    connect(mFileProperties, &QAction::triggered, this, [this] { mFilePropertiesClick(); });
    connect(mFileIndex, &QAction::triggered, this, [this] { dispatch(0); });
    connect(mfilendays, &QAction::triggered, this, [this] { dispatch(18); });
    connect(mFileExit, &QAction::triggered, this, [this] { mFileExitClick(); });

    mPage = bar->addMenu(QStringLiteral("&Section"));
    mPage->setObjectName(QStringLiteral("mPage"));
    mSubject = bar->addMenu(QStringLiteral("&Note"));
    mSubject->setObjectName(QStringLiteral("mSubject"));
    mLinks = new QMenu(QStringLiteral("&Links"), this);
    mLinks->setObjectName(QStringLiteral("mLinks"));
    mLinksAction = bar->addMenu(mLinks);

    mEditor = bar->addMenu(QStringLiteral("&Editor"));
    mEditor->setObjectName(QStringLiteral("mEditor"));
    auto run = [this](QAction* a, int n) {
        connect(a, &QAction::triggered, this, [this, n] { dispatch(n); });
    };
    run(action(mEditor, "mEditorCut", QStringLiteral("Cu&t")), 8);
    run(action(mEditor, "mEditorCopy", QStringLiteral("&Copy")), 6);
    run(action(mEditor, "mEditorPaste", QStringLiteral("&Paste")), 7);
    mEditorSpecial = mEditor->addMenu(QStringLiteral("&Special Facilities"));
    mEditorSpecial->setObjectName(QStringLiteral("mEditorSpecial"));
    run(action(mEditorSpecial, "mEditorColor", QStringLiteral("Set C&olor for Selection")), 44);
    run(action(mEditorSpecial, "mEditorFont",
               QStringLiteral("Set All Font &Properties for Selection")),
        9);
    run(action(mEditorSpecial, "mEditorDefaultFont",
               QStringLiteral("&Return To Default Font Properties")),
        13);
    mEditorSaveNow = action(mEditorSpecial, "mEditorSaveNow",
                            QStringLiteral("Save Your Information &Immediately"));
    mEditorSaveNow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    run(mEditorSaveNow, 29);
    mEditorUnDo =
        action(mEditorSpecial, "mEditorUnDo", QStringLiteral("&Eliminate Changes Since Last Save"));
    mEditorUnDo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(mEditorUnDo, &QAction::triggered, this, [this] { mEditorUnDoClick(); });
    mEditorHideLinks = action(mEditorSpecial, "mEditorHideLinks",
                              QStringLiteral("Toggle &Links Panel Visibility"));
    connect(mEditorHideLinks, &QAction::triggered, this, [this] { mEditorHideLinksClick(); });
    mEditorHideTree =
        action(mEditorSpecial, "mEditorHideTree", QStringLiteral("Toggle &Tree Panel Visibility"));
    connect(mEditorHideTree, &QAction::triggered, this, [this] { mEditorHideTreeClick(); });
    // Shortcuts work wherever the focus is in the window.
    addAction(mEditorSaveNow);
    addAction(mEditorUnDo);

    mHelp = bar->addMenu(QStringLiteral("&Help"));
    mHelp->setObjectName(QStringLiteral("mHelp"));
    mHelpAbout = action(mHelp, "mHelpAbout", QStringLiteral("&About"));
    connect(mHelpAbout, &QAction::triggered, this,
            [this] { prompter().about(program.ProgramTitle); });
}

// --- Shared helpers ---------------------------------------------------------

QString frmMain::tabKey(const QTabBar* bar, int index) {
    if (index < 0 || index >= bar->count())
        return {};
    return bar->tabData(index).toString();
}

QString frmMain::stripMarker(const QString& caption) const {
    if (caption.startsWith(QChar(0x00B6)))
        return caption.mid(2);
    return caption;
}

bool frmMain::treeHasNodes() const {
    return !tree_->isEmpty();
}

QString frmMain::baseName(const QString& path) const {
    // The part after the last separator without its extension of four characters.
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (slash < 0)
        return {};
    const QString name = path.mid(slash + 1);
    return name.left(std::max<qsizetype>(0, name.size() - 4));
}

void frmMain::message(const QString& text, PromptIcon icon) {
    prompter().message(text, program.ProgramTitle, icon, PromptButtons::Ok);
}

void frmMain::reportWriteFailure(const QString& what, const QString& reason) {
    message(QStringLiteral("%1 could not be saved.\n\n%2\n\nYour changes are kept in the window; "
                           "they are not stored yet.")
                .arg(what, reason));
}

double frmMain::dpi() const {
    const QScreen* s = screen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

int frmMain::twips(int px) const {
    return shell::pixelsToTwips(px, dpi());
}
int frmMain::pixels(int tw) const {
    return shell::twipsToPixels(tw, dpi());
}

void frmMain::setCommand(int n, std::function<void()> command) {
    commands_[n] = std::move(command);
}

void frmMain::setButtonPicture(int n, const QString& pictureName, const QString& tooltip) {
    auto it = Image1.find(n);
    if (it == Image1.end())
        return;
    pictures_[n] = pictureName;
    it->second->setIcon(picture(pictureName));
    it->second->setProperty("picture", pictureName);
    it->second->setToolTip(tooltip);
}

QString frmMain::buttonPicture(int n) const {
    auto it = pictures_.find(n);
    return it == pictures_.end() ? QString() : it->second;
}

void frmMain::resetNoteButtons() {
    setButtonPicture(16, QStringLiteral("StatusWhite"),
                     QStringLiteral("Set An Index Value For Selected Note"));
    setButtonPicture(4, QStringLiteral("TodoWhite"),
                     QStringLiteral("Set A Due Date For Selected Note"));
    setButtonPicture(25, QStringLiteral("imgNotSorted"), QStringLiteral("Change Sort Status"));
}

// The dispatcher: with an empty tree only exit, new and open run; otherwise
// an unsaved note is saved before any command.
void frmMain::dispatch(int n) {
    if (!treeHasNodes() && n != 1 && n != 26 && n != 30)
        return;
    if (treeHasNodes() && note.NoteChanged && !SaveRecord())
        return;
    auto it = commands_.find(n);
    if (it != commands_.end() && it->second)
        it->second();
}

} // namespace vellicar::gui
