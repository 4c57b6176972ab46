// The current note: selection, saving, undo, failed saves; the links panel.
#include "gui_fixture.h"

#include <QtWidgets/QFrame>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeWidget>

using namespace vellicar;
using namespace vellicar::test;

class NoteTest : public GuiTest {
protected:
    QString path;
    gui::frmMain& startWithNotes() {
        path = introPath();
        makeNotebook(
            path,
            {{QStringLiteral("VLR1"),
              QStringLiteral("Home"),
              {{QStringLiteral("1.5"),
                QStringLiteral("Alpha"),
                QStringLiteral("alpha body"),
                QStringLiteral("004Plan013/tmp/Plan.doc006Search019https://example.org"),
                {}},
               {QStringLiteral("2.5"), QStringLiteral("Beta"), QStringLiteral("beta body"), {}, {}},
               {QStringLiteral("3.5"),
                QStringLiteral("Gamma"),
                QStringLiteral("gamma body"),
                QStringLiteral("000000"),
                {}}},
              {}}});
        return start();
    }
};

TEST_F(NoteTest, EditingAThenClickingBWritesAsOwnRecordFirst) {
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K1.5"));
    typeInEditor(QStringLiteral("more "));
    EXPECT_TRUE(m.note.NoteChanged);
    clickNode(QStringLiteral("K2.5"));
    EXPECT_FALSE(m.note.NoteChanged);
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("2.5"));
    EXPECT_EQ(editorText(), QStringLiteral("beta body"));
    store::NoteRecord a;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("1.5"), a));
    EXPECT_EQ(a.Title, QStringLiteral("Alpha"));
    EXPECT_EQ(plainOf(a.Body), QStringLiteral("more alpha body"));
    EXPECT_EQ(a.Links, QStringLiteral("004Plan013/tmp/Plan.doc006Search019https://example.org"));
    EXPECT_EQ(a.Owner, QStringLiteral("VLR1"));
    EXPECT_FALSE(a.Modified.isEmpty());
    EXPECT_NE(a.Modified, QStringLiteral("36599.5"));
    store::NoteRecord b;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("2.5"), b));
    EXPECT_EQ(b.Modified, QStringLiteral("36599.5")); // B was only looked at
}

TEST_F(NoteTest, FillingTheEditorWithoutFocusIsNotAnEdit) {
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K1.5"));
    m.txtSiteDesc->setPlainText(QStringLiteral("set by the program"));
    EXPECT_FALSE(m.note.NoteChanged);
}

TEST_F(NoteTest, UndoThrowsAwayTheEditAndShowsTheSavedNote) {
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K2.5"));
    typeInEditor(QStringLiteral("scratch "));
    ASSERT_EQ(editorText(), QStringLiteral("scratch beta body"));
    QTest::keyClick(m.txtSiteDesc, Qt::Key_E, Qt::ControlModifier);
    EXPECT_FALSE(m.note.NoteChanged);
    EXPECT_EQ(editorText(), QStringLiteral("beta body"));
    store::NoteRecord b;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("2.5"), b));
    EXPECT_EQ(plainOf(b.Body), QStringLiteral("beta body"));
}

TEST_F(NoteTest, SaveNowWritesAtOnceAndTabTypesATab) {
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K2.5"));
    typeInEditor(QStringLiteral("x"));
    QTest::keyClick(m.txtSiteDesc, Qt::Key_Tab);
    EXPECT_TRUE(m.txtSiteDesc->hasFocus());
    QTest::keyClick(m.txtSiteDesc, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(m.note.NoteChanged);
    store::NoteRecord b;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("2.5"), b));
    EXPECT_EQ(plainOf(b.Body), QStringLiteral("x\tbeta body"));
}

TEST_F(NoteTest, AFailedSaveKeepsTheEditAndStaysOnTheNote) {
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K2.5"));
    typeInEditor(QStringLiteral("precious "));
    // The store goes away under the window: every write now fails.
    m.db.vmx.VmxClose(m.db.DbHandle);
    prompter->expectMessageStartingWith(QStringLiteral("The note 'Beta' could not be saved.\n\n"),
                                        Title, gui::PromptIcon::Information, gui::PromptButtons::Ok,
                                        gui::PromptAnswer::Ok);
    clickNode(QStringLiteral("K3.5"));
    EXPECT_TRUE(prompter->done());
    EXPECT_TRUE(m.note.NoteChanged);
    EXPECT_EQ(m.note.CurrentKey, QStringLiteral("2.5"));
    EXPECT_EQ(editorText(), QStringLiteral("precious beta body"));
    EXPECT_EQ(m.URLList->currentIndex(),
              m.noteTree().indexOf(m.noteTree().node(QStringLiteral("K2.5"))));
    // Closing now asks before the edit is lost; answering No keeps the window.
    prompter->expectMessageStartingWith(QStringLiteral("The note 'Beta' could not be saved."),
                                        Title, gui::PromptIcon::Information, gui::PromptButtons::Ok,
                                        gui::PromptAnswer::Ok);
    prompter->expectMessage(QStringLiteral("The current note could not be saved.\n\nClose Vellicar "
                                           "Notes anyway and lose the changes?"),
                            Title, gui::PromptIcon::Question, gui::PromptButtons::YesNo,
                            gui::PromptAnswer::No);
    EXPECT_FALSE(m.close());
    EXPECT_FALSE(m.unloaded());
    EXPECT_EQ(editorText(), QStringLiteral("precious beta body"));
    // Let the fixture's shutdown go through.
    m.note.NoteChanged = false;
    m.db.DbHandle = 0;
}

TEST_F(NoteTest, LinksPanelFollowsTheNote) {
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K1.5"));
    EXPECT_TRUE(m.fmeLinks->isVisible());
    EXPECT_TRUE(m.mLinksAction->isVisible());
    ASSERT_EQ(m.lstLinkDesc->topLevelItemCount(), 2);
    EXPECT_EQ(m.lstLinkDesc->topLevelItem(0)->text(0), QStringLiteral("Plan"));
    EXPECT_EQ(m.lstLinkDesc->topLevelItem(0)->data(0, Qt::UserRole + 3).toInt(), 5);
    EXPECT_EQ(m.lstLinkDesc->topLevelItem(1)->data(0, Qt::UserRole + 3).toInt(), 6);
    const QString firstKey = m.lstLinkDesc->topLevelItem(0)->data(0, Qt::UserRole + 2).toString();
    EXPECT_TRUE(firstKey.startsWith(QLatin1Char('K')));
    const int treeHeightWithLinks = m.URLList->height();

    clickNode(QStringLiteral("K2.5"));
    EXPECT_FALSE(m.fmeLinks->isVisible());
    EXPECT_FALSE(m.mLinksAction->isVisible());
    EXPECT_EQ(m.lstLinkDesc->topLevelItemCount(), 0);
    EXPECT_EQ(m.URLList->height(), treeHeightWithLinks + m.pixels(1155));
    m.HideLinks(); // a second hide grows nothing
    EXPECT_EQ(m.URLList->height(), treeHeightWithLinks + m.pixels(1155));

    // Six zeros: one link with empty description and value.
    clickNode(QStringLiteral("K3.5"));
    EXPECT_TRUE(m.fmeLinks->isVisible());
    ASSERT_EQ(m.lstLinkDesc->topLevelItemCount(), 1);
    EXPECT_EQ(m.lstLinkDesc->topLevelItem(0)->text(0), QString());
    EXPECT_EQ(m.URLList->height(), treeHeightWithLinks);

    // Keys are made anew on every load.
    clickNode(QStringLiteral("K1.5"));
    EXPECT_NE(m.lstLinkDesc->topLevelItem(0)->data(0, Qt::UserRole + 2).toString(), firstKey);
    EXPECT_EQ(m.CurrentLinkNode, nullptr);
    QTest::mouseClick(m.lstLinkDesc->viewport(), Qt::LeftButton, {},
                      m.lstLinkDesc->visualItemRect(m.lstLinkDesc->topLevelItem(1)).center());
    EXPECT_EQ(m.CurrentLinkNode, m.lstLinkDesc->topLevelItem(1));
    EXPECT_EQ(m.MakeLinkBlob(),
              QStringLiteral("004Plan013/tmp/Plan.doc006Search019https://example.org"));
}

TEST_F(NoteTest, ToolbarShowsIndexValueDueDateAndSortStatus) {
    path = introPath();
    makeNotebook(path,
                 {{QStringLiteral("VLR1"),
                   QStringLiteral("Home"),
                   {{QStringLiteral("1.5"), QStringLiteral("Tagged"), QStringLiteral("t"), {}, {}}},
                   {}}});
    {
        QTemporaryDir scratch;
        QSettings s(scratch.path() + QStringLiteral("/s.ini"), QSettings::IniFormat);
        store::DbState db;
        ASSERT_TRUE(store::OpenDatabaseFile(db, s, path, scratch.path()).ok());
        store::NoteRecord r;
        ASSERT_TRUE(store::readRecord(db, QStringLiteral("1.5"), r));
        r.IndexValue = QStringLiteral("Urgent");
        r.DueDate = store::DateText(QDate(2000, 3, 14));
        ASSERT_TRUE(store::writeRecord(db, QStringLiteral("1.5"), r).ok());
        store::NoteRecord root; // the root's own record, so its state is shown
        root.Title = Marker + QStringLiteral("Home");
        ASSERT_TRUE(store::writeRecord(db, QStringLiteral("VLR1"), root).ok());
        store::CloseDatabase(db);
    }
    gui::frmMain& m = start();
    EXPECT_EQ(m.buttonPicture(25), QStringLiteral("imgSorted")); // the root is sorted
    EXPECT_EQ(m.Image1.at(25)->toolTip(),
              QStringLiteral("Change Sort Status ... Currently Sorted"));
    clickNode(QStringLiteral("K1.5"));
    EXPECT_EQ(m.buttonPicture(25), QStringLiteral("imgNotSorted"));
    EXPECT_EQ(m.Image1.at(25)->toolTip(),
              QStringLiteral("Change Sort Status ... Currently Unsorted"));
    EXPECT_EQ(m.buttonPicture(16), QStringLiteral("StatusBlue"));
    EXPECT_EQ(m.Image1.at(16)->toolTip(), QStringLiteral("Edit Current Index: Urgent"));
    EXPECT_EQ(m.buttonPicture(4), QStringLiteral("TodoBlue"));
    EXPECT_EQ(m.Image1.at(4)->toolTip(),
              QStringLiteral("Edit Current Due Date: ") + store::DateText(QDate(2000, 3, 14)));
    EXPECT_EQ(m.mEditorHideLinks->text(), QStringLiteral("&Temporarily Hide Links Panel"));
    EXPECT_EQ(m.Image1.at(31)->toolTip(), QStringLiteral("Specify A New Search Criteria"));
    EXPECT_EQ(m.buttonPicture(31), QStringLiteral("imgTS"));
}

TEST_F(NoteTest, FocusingAnEmptyEditorAppliesTheDefaultFont) {
    setSetting(QStringLiteral("Main/FontName"), QStringLiteral("Courier"));
    setSetting(QStringLiteral("Main/FontSize"), QStringLiteral("10.5"));
    setSetting(QStringLiteral("Main/FontBold"), QStringLiteral("True"));
    setSetting(QStringLiteral("Main/FontColor"), QStringLiteral("00000255"));
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K2.5"));
    m.txtSiteDesc->clear();
    typeInEditor(QStringLiteral("z"));
    const QTextCharFormat f = m.txtSiteDesc->currentCharFormat();
    EXPECT_EQ(f.fontFamilies().toStringList().value(0), QStringLiteral("Courier"));
    EXPECT_DOUBLE_EQ(f.fontPointSize(), 10.5);
    EXPECT_EQ(f.fontWeight(), QFont::Bold);
    EXPECT_EQ(f.foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(m.note.NoteChanged); // the typing, not the font
}

TEST_F(NoteTest, AnyButtonSavesAnUnsavedNoteFirst) {
    gui::frmMain& m = startWithNotes();
    clickNode(QStringLiteral("K2.5"));
    typeInEditor(QStringLiteral("y"));
    int ran = 0;
    m.setCommand(10, [&] {
        EXPECT_FALSE(m.note.NoteChanged); // saved before the command runs
        ++ran;
    });
    m.Image1.at(10)->click();
    EXPECT_EQ(ran, 1);
    store::NoteRecord b;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("2.5"), b));
    EXPECT_EQ(plainOf(b.Body), QStringLiteral("ybeta body"));
    // With no tree only exit, new and open go on.
    m.mFileClose->trigger();
    m.Image1.at(10)->click();
    EXPECT_EQ(ran, 1);
}
