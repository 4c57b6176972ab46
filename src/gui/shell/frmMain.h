#pragma once
// The main window: database tabs, section tabs, the note tree, the editor,
// the links panel and the Run/Open bar. Widgets and procedures keep the
// names the rest of the program knows them by. The window's code is split
// by subsystem: shell/ (construction, layout, start-up, databases, sections,
// dispatcher), notes/ (current note), links/ (links panel), editor/ (editor
// events).
#include "core/store/database.h"
#include "gui/shell/program_state.h"
#include "gui/shell/prompter.h"
#include "gui/shell/widgets.h"

#include <QtCore/QSettings>
#include <QtWidgets/QMainWindow>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabBar;
class QTextEdit;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace vellicar::tree {
class NoteTree;
class TreeNode;
} // namespace vellicar::tree

namespace vellicar::gui {

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(Environment env, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: the Load event and the first activation. Shows the window and
    // closes `splash` (when given) before it returns.
    void Load(Intro* splash = nullptr);

    // --- Program-wide values (owned here, handed out by reference) ---------
    ProgramValues program;
    CurrentNoteState note;
    store::DbState db;
    SearchState search;
    LayoutState layout;
    QSettings& settings() { return *settings_; }
    Prompter& prompter() { return *env_.prompter; }
    const Environment& environment() const { return env_; }
    tree::NoteTree& noteTree() { return *tree_; }

    // --- Widgets ----------------------------------------------------------
    QWidget* fmCategories = nullptr;
    QTabBar* DatabaseTabs = nullptr;
    QFrame* DatabaseTabLine = nullptr;
    QWidget* ToolBar[2] = {nullptr, nullptr};
    QLabel* lblPhrase = nullptr;
    QTabBar* DBTabs = nullptr;
    QFrame* TabLine = nullptr;
    QGroupBox* fmSiteList = nullptr;
    QTreeView* URLList = nullptr;
    SplitterBar* Splitter = nullptr;
    NoteEditor* txtSiteDesc = nullptr;
    QFrame* fmeLinks = nullptr;
    QLabel* lblLinksCaption = nullptr;
    QTreeWidget* lstLinkDesc = nullptr;
    QPushButton* cmdAddLink = nullptr;
    QPushButton* cmdLinkEdit = nullptr;
    QPushButton* cmdActivateLink = nullptr;
    QFrame* fmeRun = nullptr;
    QLabel* lblRunOpen = nullptr;
    QComboBox* cboRunOpen = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdRunOpen = nullptr;
    // The picture buttons of both toolbars, by index.
    std::map<int, QToolButton*> Image1;

    // --- Menus -----------------------------------------------------------
    QMenu* mFile = nullptr;
    QMenu* mPage = nullptr;
    QMenu* mSubject = nullptr;
    QMenu* mLinks = nullptr;
    QMenu* mEditor = nullptr;
    QMenu* mEditorSpecial = nullptr;
    QMenu* mHelp = nullptr;
    QAction* mLinksAction = nullptr; // the "&Links" entry of the menu bar
    QAction* mFileNew = nullptr;
    QAction* mFileOpen = nullptr;
    QAction* mFileClose = nullptr;
    QAction* mFileCloseRemove = nullptr;
    QAction* mFileProperties = nullptr;
    QAction* mFileIndex = nullptr;
    QAction* mfilendays = nullptr;
    QAction* mFileExit = nullptr;
    QAction* mEditorSaveNow = nullptr;
    QAction* mEditorUnDo = nullptr;
    QAction* mEditorHideLinks = nullptr;
    QAction* mEditorHideTree = nullptr;
    QAction* mHelpAbout = nullptr;

    // --- Databases --------------------------------------------------------
    void OpenDesiredDB(const QString& path);
    void DatabaseTabsClick(int index);
    void mFileNewClick();
    void mFileOpenClick();
    void mFileCloseClick();
    void mFileCloseRemoveClick();
    void mFilePropertiesClick();
    void mFileExitClick();
    // The steps every command runs before it leaves the open database.
    // False when a write failed (the user has been told).
    bool LeaveDatabase();
    QString defaultDatabasePath() const;

    // --- Sections -----------------------------------------------------------
    void GetScreenReady();
    void GetSections();
    bool SavePages();
    void DBTabsClick(int index);
    bool SaveSectionTree(const QString& sectionKey);
    void GetTree(const QString& sectionKey);
    QString SavedSelectionKey;
    QString CurrentSectionKey;

    // --- The current note ---------------------------------------------------
    // Runs the note selection on `node`. False when the current note could not
    // be saved first; the window then stays on it.
    bool NodeClick(tree::TreeNode* node);
    tree::TreeNode* CurrentNode() const;
    // Writes the current note. False when the write failed: the user has been
    // told, NoteChanged is set again and the edit stays in the editor.
    bool SaveRecord();
    void ClearRecordInMemory();
    void mEditorUnDoClick();
    void SaveNow();
    // Called by the note selection when a search text is in force (the
    // occurrence list starts here); search code may replace it.
    std::function<void()> startOccurrences;

    // --- Links panel ---------------------------------------------------------
    QString LinkBlob; // the in-memory Link blob of the current note
    QTreeWidgetItem* CurrentLinkNode = nullptr;
    void LoadLinks();
    // Rebuilds LinkBlob from the panel. A link too long for the blob leaves
    // LinkBlob as it was and is named in `error`.
    QString MakeLinkBlob(QString* error = nullptr);
    void ShowLinks();
    void HideLinks();
    void ShowLinkValue();
    void HideLinkValue();
    // The panel's commands (add, edit, activate, delete) belong to the link
    // subsystem, which installs them here.
    std::function<void()> linkAdd, linkEdit, linkActivate, linkDelete;
    static void runHook(const std::function<void()>& hook) {
        if (hook)
            hook();
    }

    // --- Editor -----------------------------------------------------------------
    void ApplyDefaultFont();
    void editorChanged();
    void editorGotFocus();
    void editorLostFocus();

    // --- Creating, renaming and deleting notes (notes/note_commands.cpp) ----------
    QString EnteredTitle; // what the title dialog returns; empty after Cancel on a new title
    bool CollapsingAll = false;
    int PasteMode = 0;   // modifier keys held in the tree: Shift 1, Ctrl 2, Alt 4
    QString DownNodeKey; // node under the pointer when a button went down, or empty
    QMenu* mNewNote = nullptr;
    QAction* mFileNewSubject = nullptr;
    QAction* mNoteSibbling = nullptr;
    QAction* mFileEditTitle = nullptr;
    QAction* mSubjectDelete = nullptr;
    void NewSiteTitle(int place); // 0: last child of the current note, 1: the sibling after it
    void EditSiteTitle();
    void DeleteIt();
    void mFileNewSubjectClick();
    void mNoteSibblingClick();
    void mFileEditTitleClick();
    void mSubjectDeleteClick();
    // Called before every store write of the note commands with what is about
    // to be written ("record <key>", "tree <section>", "delete <key>"); false
    // makes that write fail. Lets tests stop a command between its writes.
    std::function<bool(const QString& step)> beforeNoteWrite;

    // --- Section editing (shell/section_commands.cpp) -------------------------------
    QString Tag; // the window's Tag: frmPageDesc answers through it
    QAction* mPageNew = nullptr;
    QAction* mPageEdit = nullptr;
    QAction* mPageDelete = nullptr;
    void NewPage();
    void EditPage();
    void DeletePage();
    void mPageNewClick();
    void mPageEditClick();
    void mPageDeleteClick();

    // --- Layout ----------------------------------------------------------------
    void applyLayout();
    void UnderScoreTabs();
    void UnderScoreDBTabs();
    void mEditorHideTreeClick();
    void mEditorHideLinksClick();
    // Splitter drag: x is the pointer position in fmSiteList coordinates (pixels).
    void splitterDragTo(int x);
    double dpi() const;
    int twips(int pixels) const;
    int pixels(int twips) const;

    // --- Toolbar dispatcher ----------------------------------------------------------
    // Runs button n through the guard and the save step. Commands of other
    // subsystems are installed with setCommand.
    void dispatch(int n);
    void setCommand(int n, std::function<void()> command);
    void setButtonPicture(int n, const QString& picture, const QString& tooltip);
    QString buttonPicture(int n) const;
    void resetNoteButtons();

    // Tab helpers: keys live in the tab data.
    static QString tabKey(const QTabBar* bar, int index);
    QString stripMarker(const QString& caption) const;
    bool treeHasNodes() const;
    QString baseName(const QString& path) const;

    // Shutdown (Unload); runs once, whatever closes the window.
    void Unload();
    bool unloaded() const { return unloaded_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWidgets();
    void buildMenus();
    void buildToolbars();
    void buildNoteCommands();    // notes/note_commands.cpp
    void buildSectionCommands(); // shell/section_commands.cpp
    QToolButton* addButton(int n, int row, const QString& picture, const QString& tooltip);
    void FirstActivate();
    void everyActivation();
    void readPanelSettings();
    void writePanelSettings();
    void writeWindowSettings();
    void setNoDatabasesFound();
    void emptyNoteArea();
    void writeWhichSection();
    void reportWriteFailure(const QString& what, const QString& reason);
    void showRecord();
    void message(const QString& text, PromptIcon icon = PromptIcon::Information);
    void setDatabaseTabMarker(const QString& key, bool exact);
    void selectNodeInView(tree::TreeNode* node);

    Environment env_;
    std::unique_ptr<QSettings> settings_;
    tree::NoteTree* tree_ = nullptr;
    std::map<int, std::function<void()>> commands_;
    std::map<int, QString> pictures_;
    std::vector<QToolButton*> buttonOrder_;
    bool unloaded_ = false;
    bool inSectionClick_ = false;
    bool rebuildingSections_ = false;
};

} // namespace vellicar::gui
