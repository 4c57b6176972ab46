// Database tabs and the File menu's database commands; sections.
#include "gui_fixture.h"

#include <QtCore/QFile>
#include <QtWidgets/QToolButton>

using namespace vellicar;
using namespace vellicar::test;

namespace {
const QString NoStartupDb =
    QStringLiteral("We could not open any startup database ... Please use the File/Open facility "
                   "to locate your desired database.");
const QString NewTitle = QStringLiteral("Specify a name for your new Vellicar Database.");
const QString OpenTitle = QStringLiteral("Select an existing file.");
} // namespace

class DatabaseTest : public GuiTest {
protected:
    gui::frmMain& startEmpty() {
        prompter->expectMessage(NoStartupDb, Title, gui::PromptIcon::Information,
                                gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
        return start();
    }
};

TEST_F(DatabaseTest, NewDatabaseShowsOneFreshSectionAndWritesNothingYet) {
    gui::frmMain& m = startEmpty();
    const QString path = dbPath("Fresh.isd");
    prompter->expectOpenFile(NewTitle, path);
    m.Image1.at(26)->click();
    ASSERT_TRUE(prompter->done());
    EXPECT_EQ(prompter->fileRequests.back().startFolder,
              programFolder + QStringLiteral("/databases"));
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{Marker + QStringLiteral("Fresh")});
    EXPECT_EQ(captions(m.DBTabs), QStringList{Marker + QStringLiteral("Section 1")});
    ASSERT_EQ(m.noteTree().count(), 1);
    EXPECT_EQ(m.noteTree().root()->Text(), Marker + QStringLiteral("Section 1"));
    EXPECT_TRUE(m.noteTree().root()->Sorted());
    EXPECT_EQ(m.noteTree().root()->Image(), tree::ImageRoot);
    EXPECT_EQ(m.windowTitle(), Title + QStringLiteral(" - Fresh"));
    const QString rootKey = m.noteTree().root()->Key().mid(1);
    EXPECT_FALSE(store::recordExists(m.db, QStringLiteral("Sections")));
    EXPECT_FALSE(store::recordExists(m.db, rootKey));

    // Leaving it writes the section list and the tree.
    m.mFileCloseClick();
    store::NoteRecord sections;
    ASSERT_TRUE(readNotebookRecord(path, QStringLiteral("Sections"), sections));
    EXPECT_EQ(sections.Body,
              QStringLiteral("%1%2").arg(rootKey.size(), 2, 10, QLatin1Char('0')).arg(rootKey) +
                  QStringLiteral("09Section 1"));
    store::NoteRecord treeRecord;
    EXPECT_TRUE(readNotebookRecord(path, rootKey + QStringLiteral("Tree"), treeRecord));
}

TEST_F(DatabaseTest, CancellingTheNewDialogChangesNothing) {
    gui::frmMain& m = startEmpty();
    prompter->expectOpenFile(NewTitle, QString());
    m.mFileNew->trigger();
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{QStringLiteral("No Databases Found")});
    EXPECT_FALSE(m.db.isOpen());
}

TEST_F(DatabaseTest, OpenSwitchCloseAndRemove) {
    const QString a = dbPath("Alpha.isd");
    const QString b = dbPath("Beta.isd");
    makeNotebook(a, {{QStringLiteral("VLRA1"), QStringLiteral("A one"), {}, {}},
                     {QStringLiteral("VLRA2"), QStringLiteral("A two"), {}, {}},
                     {QStringLiteral("VLRA3"), QStringLiteral("A three"), {}, {}}});
    makeNotebook(b, {{QStringLiteral("VLRB"), QStringLiteral("B one"), {}, {}}});
    gui::frmMain& m = startEmpty();

    prompter->expectOpenFile(OpenTitle, a);
    m.Image1.at(30)->click();
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{Marker + QStringLiteral("Alpha")});
    EXPECT_EQ(captions(m.DBTabs).size(), 3);
    EXPECT_EQ(setting(QStringLiteral("Main/DB Open File")), tmp.path() + QLatin1Char('/'));

    // A path differing only in letter case reuses the tab.
    prompter->expectOpenFile(OpenTitle, b);
    m.mFileOpen->trigger();
    EXPECT_EQ(prompter->fileRequests.back().startFolder, tmp.path() + QLatin1Char('/'));
    EXPECT_EQ(captions(m.DatabaseTabs),
              QStringList({QStringLiteral("Alpha"), Marker + QStringLiteral("Beta")}));
    EXPECT_EQ(captions(m.DBTabs), QStringList{Marker + QStringLiteral("B one")});

    clickTab(m.DatabaseTabs, 0);
    EXPECT_EQ(m.db.DatabasePath, a);
    EXPECT_EQ(captions(m.DatabaseTabs),
              QStringList({Marker + QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    EXPECT_EQ(m.windowTitle(), Title + QStringLiteral(" - Alpha"));

    m.mFileClose->trigger();
    EXPECT_FALSE(m.db.isOpen());
    EXPECT_EQ(captions(m.DBTabs), QStringList{QStringLiteral("Database Closed")});
    EXPECT_TRUE(m.noteTree().isEmpty());
    EXPECT_EQ(m.buttonPicture(25), QStringLiteral("imgNotSorted"));
    EXPECT_EQ(m.Image1.at(16)->toolTip(), QStringLiteral("Set An Index Value For Selected Note"));
    clickTab(m.DBTabs, 0); // nothing to show
    EXPECT_TRUE(m.noteTree().isEmpty());
    clickTab(m.DatabaseTabs, 0); // the marked tab opens it again
    EXPECT_TRUE(m.db.isOpen());
    EXPECT_EQ(m.noteTree().count(), 1);

    m.mFileCloseRemove->trigger();
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{Marker + QStringLiteral("Beta")});
    EXPECT_EQ(m.db.DatabasePath, b);
    m.mFileCloseRemove->trigger();
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{QStringLiteral("No Databases Found")});
    EXPECT_EQ(captions(m.DBTabs), QStringList{QStringLiteral("No Databases Found")});
    prompter->expectMessage(NoStartupDb, Title, gui::PromptIcon::Information,
                            gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
    restart();
    EXPECT_EQ(setting(QStringLiteral("Main/DatabaseList")), QString());
}

TEST_F(DatabaseTest, PropertiesNamesTheFilePair) {
    const QString a = dbPath("Home.isd");
    makeNotebook(a, {{QStringLiteral("VLRH"), QStringLiteral("Home"), {}, {}}});
    gui::frmMain& m = startEmpty();
    prompter->expectOpenFile(OpenTitle, a);
    m.mFileOpen->trigger();
    prompter->expectMessage(
        QStringLiteral("Current 'Vellicar Database' is stored within two files "
                       "named ... \n\n") +
            dbPath("Home") + QStringLiteral("\n\n... with the extensions .ISD and .ISM"),
        Title, gui::PromptIcon::Information, gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
    m.mFileProperties->trigger();
    EXPECT_TRUE(prompter->done());
}

TEST_F(DatabaseTest, AFileThatIsNotADatabaseIsReportedAndLeavesTheWindowClosed) {
    const QString bad = dbPath("Garbage.isd");
    ASSERT_TRUE(writeAll(bad, QByteArray("this is not a notebook at all, just some text\n")));
    gui::frmMain& m = startEmpty();
    prompter->expectOpenFile(OpenTitle, bad);
    prompter->expectMessageStartingWith(
        QStringLiteral("The notebook \"") + bad + QStringLiteral("\" could not be opened: "), Title,
        gui::PromptIcon::Information, gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
    m.mFileOpen->trigger();
    EXPECT_TRUE(prompter->done());
    EXPECT_FALSE(m.db.isOpen());
    EXPECT_TRUE(m.noteTree().isEmpty());
    EXPECT_EQ(captions(m.DBTabs), QStringList{QStringLiteral("Database Closed")});
    EXPECT_EQ(m.windowTitle(), Title);
    // The file itself is left as it was.
    EXPECT_EQ(readAll(bad), QByteArray("this is not a notebook at all, just some text\n"));
}

TEST_F(DatabaseTest, SectionSwitchingRemembersTheSelectedNote) {
    const QString a = dbPath("Alpha.isd");
    makeNotebook(
        a, {{QStringLiteral("VLR1"),
             QStringLiteral("Home"),
             {{QStringLiteral("1.5"), QStringLiteral("Groceries"), QStringLiteral("milk"), {}, {}},
              {QStringLiteral("2.5"), QStringLiteral("Repairs"), QStringLiteral("roof"), {}, {}}},
             {}},
            {QStringLiteral("VLR2"),
             QStringLiteral("Work"),
             {{QStringLiteral("3.5"), QStringLiteral("Plans"), QStringLiteral("q3"), {}, {}}},
             {}}});
    gui::frmMain& m = startEmpty();
    prompter->expectOpenFile(OpenTitle, a);
    m.mFileOpen->trigger();
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("VLR1")); // the root of the first section
    clickNode(QStringLiteral("K2.5"));
    EXPECT_EQ(editorText(), QStringLiteral("roof"));
    clickTab(m.DBTabs, 1);
    EXPECT_EQ(captions(m.DBTabs),
              QStringList({QStringLiteral("Home"), Marker + QStringLiteral("Work")}));
    EXPECT_EQ(m.CurrentSectionKey, QStringLiteral("VLR2"));
    clickNode(QStringLiteral("K3.5"));
    clickTab(m.DBTabs, 0);
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("2.5"));
    EXPECT_EQ(editorText(), QStringLiteral("roof"));
    EXPECT_EQ(m.URLList->currentIndex(),
              m.noteTree().indexOf(m.noteTree().node(QStringLiteral("K2.5"))));
    // Closing and opening again shows the section shown last.
    clickTab(m.DBTabs, 1);
    m.mFileClose->trigger();
    clickTab(m.DatabaseTabs, 0);
    EXPECT_EQ(m.CurrentSectionKey, QStringLiteral("VLR2"));
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("3.5"));
}

TEST_F(DatabaseTest, SkippedDamagedRecordsAreReportedOnce) {
    const QString a = dbPath("Worn.isd");
    QList<NoteSpec> notes;
    for (int i = 1; i <= 40; ++i)
        notes.append({QStringLiteral("%1.5").arg(i),
                      QStringLiteral("Note %1").arg(i),
                      QStringLiteral("body of note %1 with some words in it").arg(i),
                      {},
                      {}});
    makeNotebook(a, {{QStringLiteral("VLR1"), QStringLiteral("Home"), notes, {}}});
    // Damage one byte in the middle of the data file and drop the index, so
    // opening has to read every frame again.
    QByteArray bytes = readAll(a);
    ASSERT_GT(bytes.size(), 1000);
    bytes[bytes.size() / 3] = char(bytes[bytes.size() / 3] ^ 0x5A);
    ASSERT_TRUE(writeAll(a, bytes));
    QFile::remove(dbPath("Worn.ISM"));
    gui::frmMain& m = startEmpty();
    prompter->expectOpenFile(OpenTitle, a);
    prompter->expectMessageStartingWith(QStringLiteral("The database ") + a +
                                            QStringLiteral(" was opened, but 1 damaged record(s)"),
                                        Title, gui::PromptIcon::Information, gui::PromptButtons::Ok,
                                        gui::PromptAnswer::Ok);
    m.mFileOpen->trigger();
    EXPECT_TRUE(prompter->done());
    EXPECT_TRUE(m.db.isOpen());
    EXPECT_TRUE(prompter->messages.back().endsWith(
        QStringLiteral("\"vellicar-db check\" tells more about the damage.")));
    // Switching sections and back does not say it again.
    clickTab(m.DBTabs, 0);
    EXPECT_EQ(prompter->messages.size(), 2);
}
