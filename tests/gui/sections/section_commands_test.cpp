// Adding, retitling and removing sections through the "&Section" menu.
#include "gui/notes/notes_fixture.h"

#include <QtWidgets/QTabBar>

using namespace vellicar;
using namespace vellicar::test;

namespace {
const QString Home = QStringLiteral("VLR1");
const QString Work = QStringLiteral("VLR2");
} // namespace

class SectionCommands : public NotesTest {
protected:
    // Home (VLR1) with notes, Work (VLR2) with only its root; Home shown.
    gui::frmMain& startTwo() {
        QList<SectionSpec> book = homeBook();
        book.append({Work, QStringLiteral("Work"), {}, {}});
        gui::frmMain& m = startOn(book, 1);
        QApplication::setActiveWindow(&m);
        return m;
    }
    QList<store::SectionEntry> storedSections() {
        store::NoteRecord r;
        if (!store::readRecord(w->db, QStringLiteral("Sections"), r))
            return {};
        return store::readSectionList(r.Body).entries;
    }
    QStringList storedCaptions() {
        QStringList out;
        for (const store::SectionEntry& e : storedSections())
            out.append(e.caption);
        return out;
    }
    void answerPageDesc(std::function<void(gui::frmPageDesc&)> act) {
        prompter->expectDialog(QStringLiteral("frmPageDesc"),
                               [act](QDialog& d) { act(static_cast<gui::frmPageDesc&>(d)); });
    }
};

TEST_F(SectionCommands, ANewSectionIsTheLastTabWithTheMarkerAndARootOfItsTitle) {
    gui::frmMain& m = startTwo();
    ASSERT_EQ(captions(m.DBTabs),
              (QStringList{Marker + QStringLiteral("Home"), QStringLiteral("Work")}));
    select(K + QStringLiteral("1.5"));
    typeInEditor(QStringLiteral("kept "));
    answerTitle(QStringLiteral("Section Title"), QStringLiteral("Garden"));
    m.mPageNew->trigger();

    EXPECT_EQ(captions(m.DBTabs), (QStringList{QStringLiteral("Home"), QStringLiteral("Work"),
                                               Marker + QStringLiteral("Garden")}));
    EXPECT_EQ(m.DBTabs->currentIndex(), 2);
    const QString key = gui::frmMain::tabKey(m.DBTabs, 2);
    EXPECT_TRUE(key.startsWith(QStringLiteral("VLR")));
    EXPECT_NE(key, Home);
    EXPECT_NE(key, Work);
    EXPECT_EQ(m.CurrentSectionKey, key);
    ASSERT_EQ(m.noteTree().count(), 1);
    tree::TreeNode* root = m.noteTree().root();
    EXPECT_EQ(root->Key(), QStringLiteral("R") + key);
    EXPECT_EQ(root->Text(), Marker + QStringLiteral("Garden"));
    EXPECT_TRUE(root->Sorted());
    EXPECT_EQ(m.note.CurrentNodeKey, root->Key());
    EXPECT_TRUE(editorText().isEmpty());
    EXPECT_EQ(storedCaptions(), (QStringList{QStringLiteral("Home"), QStringLiteral("Work"),
                                             QStringLiteral("Garden")}));
    // What Home showed was saved on the way out.
    store::NoteRecord beta;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("1.5"), beta));
    EXPECT_EQ(plainOf(beta.Body), QStringLiteral("kept b"));

    // A title that starts with the pilcrow gets no second marker on its root.
    const QString own = QString(QChar(0x00B6)) + QStringLiteral(" Own");
    answerTitle(QStringLiteral("Section Title"), own);
    m.mPageNew->trigger();
    EXPECT_EQ(m.noteTree().root()->Text(), own);
    EXPECT_EQ(m.DBTabs->count(), 4);
}

TEST_F(SectionCommands, ANewSectionTitleIsLimitedToWhatTheSectionListHolds) {
    gui::frmMain& m = startTwo();
    cancelTitle(QStringLiteral("Section Title"));
    m.mPageNew->trigger();
    EXPECT_EQ(m.DBTabs->count(), 2);
    EXPECT_EQ(m.CurrentSectionKey, Home);

    const QString longest(99, QLatin1Char('s'));
    prompter->expectDialog(QStringLiteral("frmSiteTitle"), [&](QDialog& d) {
        auto& dlg = static_cast<gui::frmSiteTitle&>(d);
        dlg.txtSiteTitle->setText(longest + QLatin1Char('!')); // pasted
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        EXPECT_TRUE(dlg.isVisible());
        dlg.txtSiteTitle->setText(longest);
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    });
    expectInfo(QStringLiteral("This title has 100 characters; at most 99 can be stored. "
                              "Please shorten it."));
    m.mPageNew->trigger();
    EXPECT_EQ(storedCaptions().value(2), longest);

    restartWith();
    EXPECT_EQ(captions(w->DBTabs).value(2), Marker + longest);
    EXPECT_EQ(w->noteTree().root()->Text(), Marker + longest);
}

TEST_F(SectionCommands, RetitleShowsTheOldTitleSelectedAndTakesAtMostThirtyCharacters) {
    gui::frmMain& m = startTwo();
    answerPageDesc([](gui::frmPageDesc& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Edit Section Title"));
        EXPECT_EQ(d.lblTitle->text(), QStringLiteral("Title ..."));
        EXPECT_EQ(d.txtDescription->text(), QStringLiteral("Home"));
        EXPECT_EQ(d.txtDescription->selectedText(), QStringLiteral("Home"));
        EXPECT_TRUE(d.cmdOK->isDefault());
        QTest::keyClicks(d.txtDescription, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"));
        EXPECT_EQ(d.txtDescription->text(), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    m.mPageEdit->trigger();
    const QString title = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");
    EXPECT_EQ(m.Tag, title);
    EXPECT_EQ(m.DBTabs->tabText(0), Marker + title);
    EXPECT_EQ(m.noteTree().root()->Text(), Marker + title);
    EXPECT_EQ(storedCaptions(), (QStringList{title, QStringLiteral("Work")}));
    tree::NoteTree stored;
    ASSERT_TRUE(storedTree(Home, stored));
    EXPECT_EQ(stored.root()->Text(), Marker + title);
    EXPECT_EQ(stored.count(), 5);
}

TEST_F(SectionCommands, RetitleCancelEscEmptyAndTheWordCanceled) {
    struct Case {
        const char* name;
        std::function<void(gui::frmPageDesc&)> act;
        QString caption; // of the first tab afterwards
    };
    const QList<Case> cases{
        {"Cancel",
         [](gui::frmPageDesc& d) {
             QTest::keyClicks(d.txtDescription, QStringLiteral("Other"));
             QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
         },
         Marker + QStringLiteral("Home")},
        {"Esc",
         [](gui::frmPageDesc& d) {
             QTest::keyClicks(d.txtDescription, QStringLiteral("Other"));
             QTest::keyClick(d.txtDescription, Qt::Key_Escape);
         },
         Marker + QStringLiteral("Home")},
        {"empty",
         [](gui::frmPageDesc& d) {
             d.txtDescription->clear();
             QTest::mouseClick(d.cmdOK, Qt::LeftButton);
         },
         Marker},
        // A section may be called "Canceled": OK is told apart from Cancel by
        // the dialog's answer, not by the text.
        {"Canceled",
         [](gui::frmPageDesc& d) {
             QTest::keyClicks(d.txtDescription, QStringLiteral("Canceled"));
             QTest::keyClick(d.txtDescription, Qt::Key_Return);
         },
         Marker + QStringLiteral("Canceled")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        prompter = std::make_unique<ScriptedPrompter>();
        gui::frmMain& m = startTwo();
        answerPageDesc(c.act);
        m.mPageEdit->trigger();
        EXPECT_TRUE(prompter->done());
        EXPECT_EQ(m.DBTabs->tabText(0), c.caption);
        EXPECT_EQ(m.noteTree().root()->Text(), c.caption);
        EXPECT_EQ(storedCaptions().value(0), m.stripMarker(c.caption));
        if (QLatin1String(c.name) == QLatin1String("Cancel")) {
            EXPECT_EQ(m.Tag, QStringLiteral("Canceled"));
        }
    }
}

TEST_F(SectionCommands, RemovalIsRefusedWhileNotesRemainOrForTheLastSection) {
    gui::frmMain& m = startTwo();
    expectInfo(QStringLiteral("Sorry, there are still notes stored for this Section ... They must "
                              "be deleted before the Section can be removed."));
    m.mPageDelete->trigger();
    EXPECT_EQ(m.DBTabs->count(), 2);

    TearDown();
    prompter = std::make_unique<ScriptedPrompter>();
    startOn({{Work, QStringLiteral("Work"), {}, {}}}, 1);
    expectInfo(QStringLiteral(
        "Sorry, there is only one Section left ... You cannot remove all Sections."));
    w->mPageDelete->trigger();
    EXPECT_EQ(w->DBTabs->count(), 1);
    EXPECT_TRUE(prompter->done());
}

TEST_F(SectionCommands, RemovalAsksAndYesForgetsTheSectionNoKeepsIt) {
    gui::frmMain& m = startTwo();
    clickTab(m.DBTabs, 1);
    ASSERT_EQ(m.CurrentSectionKey, Work);

    expectQuestion(QStringLiteral("Delete 'Work' ... Are You Sure?"), gui::PromptAnswer::No);
    m.mPageDelete->trigger();
    EXPECT_EQ(captions(m.DBTabs),
              (QStringList{QStringLiteral("Home"), Marker + QStringLiteral("Work")}));
    EXPECT_EQ(m.CurrentSectionKey, Work);
    EXPECT_EQ(storedCaptions(), (QStringList{QStringLiteral("Home"), QStringLiteral("Work")}));

    expectQuestion(QStringLiteral("Delete 'Work' ... Are You Sure?"), gui::PromptAnswer::Yes);
    m.mPageDelete->trigger();
    EXPECT_EQ(captions(m.DBTabs), (QStringList{Marker + QStringLiteral("Home")}));
    EXPECT_EQ(m.CurrentSectionKey, Home);
    EXPECT_EQ(m.noteTree().count(), 5);
    EXPECT_EQ(storedCaptions(), (QStringList{QStringLiteral("Home")}));
    // Only the list forgets it: no record is deleted.
    EXPECT_TRUE(hasRecord(store::treeKey(Work)));
    EXPECT_TRUE(prompter->done());
}

TEST_F(SectionCommands, WhileSearchResultsAreShownTheListIsNotWritten) {
    gui::frmMain& m = startTwo();
    store::NoteRecord before;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("Sections"), before));
    m.search.HitCount = 2;
    answerTitle(QStringLiteral("Section Title"), QStringLiteral("Extra"));
    m.mPageNew->trigger();
    answerPageDesc([](gui::frmPageDesc& d) {
        QTest::keyClicks(d.txtDescription, QStringLiteral("Renamed"));
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    m.mPageEdit->trigger();
    expectQuestion(QStringLiteral("Delete 'Renamed' ... Are You Sure?"), gui::PromptAnswer::No);
    m.mPageDelete->trigger();
    EXPECT_EQ(m.DBTabs->count(), 3);
    EXPECT_EQ(m.DBTabs->tabText(2), Marker + QStringLiteral("Renamed"));
    store::NoteRecord after;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("Sections"), after));
    EXPECT_EQ(after.Body, before.Body);
}

TEST_F(SectionCommands, TheMenuAndTheTabPopupOfferTheCommands) {
    gui::frmMain& m = startTwo();
    EXPECT_EQ(m.mPage->title(), QStringLiteral("&Section"));
    QStringList captionsOfMenu;
    for (QAction* a : m.mPage->actions())
        captionsOfMenu.append(a->text());
    EXPECT_EQ(captionsOfMenu, (QStringList{QStringLiteral("&New Section"),
                                           QStringLiteral("&Edit Selected Section's Title"),
                                           QStringLiteral("&Delete Selected Section")}));
    Q_EMIT m.DBTabs->customContextMenuRequested(m.DBTabs->tabRect(1).center());
    EXPECT_TRUE(m.mPage->isVisible());
    m.mPage->close();
}

TEST_F(SectionCommands, ANotebookBuiltAndPrunedIsThereAfterARestart) {
    gui::frmMain& m = startTwo();
    answerTitle(QStringLiteral("Section Title"), QStringLiteral("Garden"));
    m.mPageNew->trigger();
    const QString garden = m.CurrentSectionKey;
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Roses"));
    m.mFileNewSubject->trigger();
    typeInEditor(QStringLiteral("Prune in March"));
    answerTitle(QStringLiteral("New Sibling Note"), QStringLiteral("Apples"));
    m.mNoteSibbling->trigger();
    clickTab(m.DBTabs, 1); // Work, then remove it
    expectQuestion(QStringLiteral("Delete 'Work' ... Are You Sure?"), gui::PromptAnswer::Yes);
    m.mPageDelete->trigger();
    answerPageDesc([](gui::frmPageDesc& d) {
        QTest::keyClicks(d.txtDescription, QStringLiteral("Yard"));
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    clickTab(m.DBTabs, 1); // Garden
    ASSERT_EQ(m.CurrentSectionKey, garden);
    m.mPageEdit->trigger();
    const QStringList shape = shapeOf(m.noteTree());

    restartWith();
    EXPECT_EQ(captions(w->DBTabs),
              (QStringList{QStringLiteral("Home"), Marker + QStringLiteral("Yard")}));
    EXPECT_EQ(w->CurrentSectionKey, garden);
    EXPECT_EQ(shapeOf(w->noteTree()), shape);
    EXPECT_EQ(childTexts(w->noteTree().root()),
              (QStringList{QStringLiteral("Apples"), QStringLiteral("Roses")}));
    const QString roses = w->noteTree().root()->Children().back()->Key();
    store::NoteRecord r;
    ASSERT_TRUE(store::readRecord(w->db, roses.mid(1), r));
    EXPECT_EQ(plainOf(r.Body), QStringLiteral("Prune in March"));
    EXPECT_EQ(r.Owner, garden);
    clickTab(w->DBTabs, 0);
    EXPECT_EQ(w->noteTree().count(), 5);
}
