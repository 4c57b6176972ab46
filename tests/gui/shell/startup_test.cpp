// First start, shutdown and a second start on the same settings.
#include "gui_fixture.h"

#include <QtCore/QProcess>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeWidget>

using namespace vellicar;
using namespace vellicar::test;

namespace {
const QString NoStartupDb =
    QStringLiteral("We could not open any startup database ... Please use the File/Open facility "
                   "to locate your desired database.");
}

TEST_F(GuiTest, FirstStartWithoutDefaultDatabaseSaysSoAndShowsNoDatabasesFound) {
    prompter->expectMessage(NoStartupDb, Title, gui::PromptIcon::Information,
                            gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
    gui::frmMain& m = start();
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{QStringLiteral("No Databases Found")});
    EXPECT_EQ(captions(m.DBTabs), QStringList{QStringLiteral("No Databases Found")});
    EXPECT_EQ(m.windowTitle(), Title);
    EXPECT_TRUE(m.noteTree().isEmpty());
    EXPECT_EQ(m.lblPhrase->text(), QStringLiteral("\"Your Information Organizer\" ..."));
    EXPECT_EQ(m.Image1.at(0)->toolTip(),
              QStringLiteral("Find Notes With An Index Value of 'Not Configured'."));
    EXPECT_EQ(m.Image1.at(18)->toolTip(),
              QStringLiteral("Find Notes With A Due Date Within The Next 'Not Configured' Days."));
    // The designed size is the smallest the window may be; first start centres it.
    EXPECT_GE(m.centralWidget()->width(), m.pixels(shell::DesignedWidth));
    // Without a database only exit, new and open do anything: the tree toggle does not.
    m.dispatch(20);
    EXPECT_TRUE(m.layout.treeVisible);
}

TEST_F(GuiTest, FirstStartOpensTheIntroduction) {
    makeNotebook(introPath(), {{QStringLiteral("VLR1"),
                                QStringLiteral("Welcome"),
                                {{QStringLiteral("100.5"),
                                  QStringLiteral("Read me"),
                                  QStringLiteral("Hello there"),
                                  {},
                                  {}}},
                                QStringLiteral("K100.5")}});
    gui::frmMain& m = start();
    EXPECT_TRUE(prompter->done());
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{Marker + QStringLiteral("Introduction")});
    EXPECT_EQ(captions(m.DBTabs), QStringList{Marker + QStringLiteral("Welcome")});
    EXPECT_EQ(m.windowTitle(), Title + QStringLiteral(" - Introduction"));
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("100.5"));
    EXPECT_EQ(editorText(), QStringLiteral("Hello there"));
    EXPECT_FALSE(m.note.NoteChanged);
}

TEST_F(GuiTest, SecondStartRestoresTabsSectionGeometryAndHistory) {
    const QString a = dbPath("Alpha.isd");
    const QString b = dbPath("Beta.isd");
    makeNotebook(a, {{QStringLiteral("VLRA"), QStringLiteral("One"), {}, {}}});
    makeNotebook(
        b,
        {{QStringLiteral("VLRB1"), QStringLiteral("First"), {}, {}},
         {QStringLiteral("VLRB2"),
          QStringLiteral("Second"),
          {{QStringLiteral("7.25"), QStringLiteral("Kept"), QStringLiteral("kept body"), {}, {}}},
          {}}});
    setSetting(QStringLiteral("Main/DatabaseList"),
               shell_list(1, a, QStringLiteral("Alpha"), b, QStringLiteral("Beta")));
    setSetting(QStringLiteral("Main/RunOpenList"), QStringLiteral("05first06second"));
    gui::frmMain& m = start();
    ASSERT_EQ(captions(m.DatabaseTabs),
              QStringList({Marker + QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    clickTab(m.DatabaseTabs, 1);
    ASSERT_EQ(m.db.DatabasePath, b);
    clickTab(m.DBTabs, 1);
    clickNode(QStringLiteral("K7.25"));
    m.resize(m.width() + 120, m.height() + 60);
    const QSize size = m.size();
    m.cboRunOpen->insertItem(0, QStringLiteral("newest"));

    gui::frmMain& n = restart();
    EXPECT_EQ(setting(QStringLiteral("Main/DatabaseList")),
              shell_list(2, a, QStringLiteral("Alpha"), b, QStringLiteral("Beta")));
    EXPECT_EQ(setting(QStringLiteral("Main/DB Open Database")), b);
    EXPECT_EQ(captions(n.DatabaseTabs),
              QStringList({QStringLiteral("Alpha"), Marker + QStringLiteral("Beta")}));
    EXPECT_EQ(n.DBTabs->currentIndex(), 1);
    EXPECT_EQ(n.note.CurrentKey, QStringLiteral("7.25"));
    EXPECT_EQ(editorText(), QStringLiteral("kept body"));
    EXPECT_NEAR(n.size().width(), size.width(), 1);
    EXPECT_NEAR(n.size().height(), size.height(), 1);
    ASSERT_EQ(n.cboRunOpen->count(), 3);
    EXPECT_EQ(n.cboRunOpen->itemText(0), QStringLiteral("newest"));
    EXPECT_EQ(n.cboRunOpen->itemText(2), QStringLiteral("second"));
}

TEST_F(GuiTest, StartDropsVanishedDatabasesAndFallsBackToTheFirstTab) {
    const QString a = dbPath("Alpha.isd");
    makeNotebook(a, {{QStringLiteral("VLRA"), QStringLiteral("One"), {}, {}}});
    setSetting(
        QStringLiteral("Main/DatabaseList"),
        shell_list(2, dbPath("Gone.isd"), QStringLiteral("Gone"), a, QStringLiteral("Alpha")) +
            QStringLiteral("99cut short"));
    gui::frmMain& m = start();
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{Marker + QStringLiteral("Alpha")});
    EXPECT_EQ(m.db.DatabasePath, a);
    restart();
    EXPECT_EQ(setting(QStringLiteral("Main/DatabaseList")),
              shell_list(1, a, QStringLiteral("Alpha"), {}, {}));
}

TEST_F(GuiTest, HelpAboutGoesThroughThePrompter) {
    prompter->expectMessage(NoStartupDb, Title, gui::PromptIcon::Information,
                            gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
    gui::frmMain& m = start();
    prompter->expectAbout(Title);
    m.mHelpAbout->trigger();
    EXPECT_TRUE(prompter->done());
}

TEST_F(GuiTest, TheShippedIntroductionOpensOnAFirstStart) {
    QProcess restore;
    restore.setStandardInputFile(dataPath(QStringLiteral("intro/introduction.json")));
    restore.start(QStringLiteral(VELLICAR_DB_TOOL), {QStringLiteral("restore"), introPath()});
    ASSERT_TRUE(restore.waitForFinished(60000));
    ASSERT_EQ(restore.exitCode(), 0) << restore.readAllStandardError().toStdString();
    gui::frmMain& m = start();
    EXPECT_TRUE(prompter->done());
    EXPECT_EQ(captions(m.DatabaseTabs), QStringList{Marker + QStringLiteral("Introduction")});
    EXPECT_EQ(captions(m.DBTabs),
              QStringList({Marker + QStringLiteral("Welcome"), QStringLiteral("Planning"),
                           QStringLiteral("Your own notes")}));
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("47500.501"));
    EXPECT_TRUE(editorText().startsWith(QStringLiteral("The window")));
    // The tour shows links, an index value and a due date somewhere.
    clickNode(QStringLiteral("K47500.504"));
    EXPECT_EQ(m.lstLinkDesc->topLevelItemCount(), 3);
    EXPECT_EQ(m.buttonPicture(16), QStringLiteral("StatusBlue"));
    clickTab(m.DBTabs, 1);
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("47500.601"));
    EXPECT_EQ(m.buttonPicture(4), QStringLiteral("TodoBlue"));
}
