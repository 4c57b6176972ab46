// Creating, renaming and deleting notes through the menu, the toolbar, the
// tree's keys and mouse; the title dialog; the order of the writes.
#include "notes_fixture.h"

#include <QtTest/QSignalSpy>
#include <QtWidgets/QToolButton>

using namespace vellicar;
using namespace vellicar::test;

namespace {
const QString Root = QStringLiteral("RVLR1");
const QString RootRefusal =
    QStringLiteral("You cannot perform this operation on the 'Root' of the tree!");

platform::Clock fixedClock(const QDateTime& when) {
    platform::Clock c;
    c.now = [when] { return when; };
    return c;
}
} // namespace

class NoteCommands : public NotesTest {
protected:
    gui::frmMain& startHome(platform::Clock clock = {}) {
        gui::frmMain& m = startOn(homeBook(), 0, clock);
        QApplication::setActiveWindow(&m);
        return m;
    }
    tree::NoteTree& t() { return w->noteTree(); }
    tree::TreeNode* n(const QString& key) { return t().node(key); }
};

// --- Creating ---------------------------------------------------------------

TEST_F(NoteCommands, ChildAndSiblingTakeTheirAlphabeticalPlaceUnderTheSortedRoot) {
    gui::frmMain& m = startHome();
    select(Root);
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Charlie"));
    m.mFileNewSubject->trigger();
    EXPECT_EQ(
        childTexts(t().root()),
        (QStringList{QStringLiteral("Beta"), QStringLiteral("Charlie"), QStringLiteral("Delta")}));
    tree::TreeNode* charlie = m.CurrentNode();
    ASSERT_NE(charlie, nullptr);
    EXPECT_EQ(charlie->Text(), QStringLiteral("Charlie"));
    EXPECT_TRUE(charlie->Sorted());
    EXPECT_EQ(charlie->Image(), tree::ImageNote);
    EXPECT_EQ(charlie->Tag(), QString());
    EXPECT_EQ(t().root()->Image(), tree::ImageRoot);
    EXPECT_TRUE(m.note.CurrentKey == charlie->Key().mid(1));

    store::NoteRecord r;
    ASSERT_TRUE(store::readRecord(m.db, charlie->Key().mid(1), r));
    EXPECT_EQ(r.Owner, QStringLiteral("VLR1"));
    EXPECT_EQ(r.Title, QStringLiteral("Charlie"));
    EXPECT_FALSE(r.Created.isEmpty());
    EXPECT_EQ(r.Created, r.Modified);
    EXPECT_TRUE(r.Body.isEmpty());
    EXPECT_TRUE(r.Links.isEmpty() && r.IndexValue.isEmpty() && r.DueDate.isEmpty());

    select(QStringLiteral("K1.5"));
    answerTitle(QStringLiteral("New Sibling Note"), QStringLiteral("Able"));
    m.mNoteSibbling->trigger();
    EXPECT_EQ(childTexts(t().root()),
              (QStringList{QStringLiteral("Able"), QStringLiteral("Beta"),
                           QStringLiteral("Charlie"), QStringLiteral("Delta")}));
    EXPECT_EQ(m.CurrentNode()->Text(), QStringLiteral("Able"));

    // The tree was stored at once, with the new note as the selected one.
    tree::NoteTree stored;
    QString selected;
    ASSERT_TRUE(storedTree(QStringLiteral("VLR1"), stored, &selected));
    EXPECT_EQ(shapeOf(stored), shapeOf(t()));
    EXPECT_EQ(selected, m.CurrentNode()->Key());
    EXPECT_TRUE(prompter->done());
}

TEST_F(NoteCommands, UnsortedParentsKeepTheOrderOfCreationSortedOnesTheAlphabet) {
    gui::frmMain& m = startHome();
    tree::TreeNode* delta = n(K + QStringLiteral("2.5"));
    select(delta->Key());
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Aardvark"));
    m.mFileNewSubject->trigger();
    EXPECT_EQ(childTexts(delta), (QStringList{QStringLiteral("Echo"), QStringLiteral("Aardvark")}));
    EXPECT_FALSE(m.CurrentNode()->Sorted());

    select(K + QStringLiteral("3.5")); // Echo
    answerTitle(QStringLiteral("New Sibling Note"), QStringLiteral("Mango"));
    m.mNoteSibbling->trigger();
    EXPECT_EQ(childTexts(delta), (QStringList{QStringLiteral("Echo"), QStringLiteral("Mango"),
                                              QStringLiteral("Aardvark")}));

    // A note without children becomes a folder as soon as it gets one.
    tree::TreeNode* fox = n(K + QStringLiteral("4.5"));
    ASSERT_EQ(fox->Image(), tree::ImageNote);
    select(fox->Key());
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Kid"));
    m.mFileNewSubject->trigger();
    EXPECT_EQ(fox->Image(), tree::ImageFolder);
    EXPECT_TRUE(fox->Expanded());

    // Under a sorted parent (not the root) the new one is sorted and in place.
    t().setSorted(delta, true);
    select(delta->Key());
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Bravo"));
    m.mFileNewSubject->trigger();
    EXPECT_EQ(childTexts(delta), (QStringList{QStringLiteral("Aardvark"), QStringLiteral("Bravo"),
                                              QStringLiteral("Echo"), QStringLiteral("Mango")}));
    EXPECT_TRUE(m.CurrentNode()->Sorted());
    tree::NoteTree stored;
    ASSERT_TRUE(storedTree(QStringLiteral("VLR1"), stored));
    EXPECT_EQ(shapeOf(stored), shapeOf(t()));
}

TEST_F(NoteCommands, CancelEscAndEmptyTitleCreateNothing) {
    gui::frmMain& m = startHome();
    select(Root);
    const int before = t().count();
    cancelTitle(QStringLiteral("New Child Note"));
    m.mFileNewSubject->trigger();
    prompter->expectDialog(QStringLiteral("frmSiteTitle"), [](QDialog& d) {
        auto& dlg = static_cast<gui::frmSiteTitle&>(d);
        QTest::keyClicks(dlg.txtSiteTitle, QStringLiteral("typed"));
        QTest::keyClick(dlg.txtSiteTitle, Qt::Key_Escape);
    });
    m.mFileNewSubject->trigger();
    EXPECT_EQ(t().count(), before);
    EXPECT_EQ(m.note.CurrentNodeKey, Root);

    // OK on an empty box keeps the dialog open until a title is there.
    prompter->expectDialog(QStringLiteral("frmSiteTitle"), [this](QDialog& d) {
        auto& dlg = static_cast<gui::frmSiteTitle&>(d);
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(prompter->done());
        QTest::keyClicks(dlg.txtSiteTitle, QStringLiteral("Zebra"));
        QTest::keyClick(dlg.txtSiteTitle, Qt::Key_Return);
    });
    expectInfo(QStringLiteral("Title must be supplied."));
    m.mFileNewSubject->trigger();
    EXPECT_EQ(t().count(), before + 1);
    EXPECT_EQ(m.CurrentNode()->Text(), QStringLiteral("Zebra"));
}

TEST_F(NoteCommands, NotesCreatedInTheSameInstantGetDistinctKeys) {
    const QDateTime instant(QDate(2024, 5, 6), QTime(10, 11, 12));
    gui::frmMain& m = startHome(fixedClock(instant));
    QSet<QString> keys;
    for (const char* title : {"One", "Two", "Three"}) {
        select(Root);
        answerTitle(QStringLiteral("New Child Note"), QString::fromLatin1(title));
        m.mFileNewSubject->trigger();
        keys.insert(m.note.CurrentKey);
        store::NoteRecord r;
        ASSERT_TRUE(store::readRecord(m.db, m.note.CurrentKey, r));
        EXPECT_EQ(r.Title, QString::fromLatin1(title));
        EXPECT_EQ(r.Created, store::DateNumber(instant));
    }
    EXPECT_EQ(keys.size(), 3);
    EXPECT_TRUE(keys.contains(store::clockKeyText(instant)));

    // And with the real clock, as fast as the commands run.
    restartWith();
    QApplication::setActiveWindow(w.get());
    keys.clear();
    for (int i = 0; i < 6; ++i) {
        select(Root);
        answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Quick %1").arg(i));
        w->mFileNewSubject->trigger();
        keys.insert(w->note.CurrentKey);
    }
    EXPECT_EQ(keys.size(), 6);
    for (const QString& k : keys)
        EXPECT_TRUE(hasRecord(k)) << k.toStdString();
}

// --- The title dialog on its own ---------------------------------------------

TEST_F(NoteCommands, TitleDialogCaptionCaretAndLimits) {
    struct Case {
        const char* mode;
        const char* caption;
        int caret; // for the text "abc"
        int limit;
    };
    const Case cases[] = {{"New0", "New Child Note", 0, 999},
                          {"New1", "New Sibling Note", 0, 999},
                          {"Edit", "Edit Note Title", 3, 999},
                          {"New Section", "Section Title", 3, 99},
                          {"Other", "New Note Title", 0, 999}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        QString entered = QStringLiteral("before");
        gui::frmSiteTitle dlg(*prompter, Title, entered);
        dlg.setMode(QString::fromLatin1(c.mode));
        dlg.setText(QStringLiteral("abc"));
        dlg.show();
        QApplication::processEvents();
        EXPECT_EQ(dlg.windowTitle(), QString::fromLatin1(c.caption));
        EXPECT_EQ(dlg.txtSiteTitle->cursorPosition(), c.caret);
        EXPECT_EQ(dlg.lblTitle->text(), QStringLiteral("Title ..."));
        EXPECT_TRUE(dlg.cmdOK->isDefault());

        // One character more than the encoding holds is refused with a word.
        dlg.txtSiteTitle->setText(QString(c.limit + 1, QLatin1Char('x')));
        expectInfo(QStringLiteral("This title has %1 characters; at most %2 can be stored. "
                                  "Please shorten it.")
                       .arg(c.limit + 1)
                       .arg(c.limit));
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(entered, QStringLiteral("before"));
        // Characters outside the BMP count once, as the encodings count them.
        QString full;
        for (int i = 0; i < c.limit; ++i)
            full += QString::fromUcs4(U"\U0001F600", 1);
        dlg.txtSiteTitle->setText(full);
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(entered, full);
    }
}

TEST_F(NoteCommands, ALongestTitleIsStoredAndComesBack) {
    gui::frmMain& m = startHome();
    select(Root);
    const QString longest(999, QChar(0x00E9));
    prompter->expectDialog(QStringLiteral("frmSiteTitle"), [&](QDialog& d) {
        auto& dlg = static_cast<gui::frmSiteTitle&>(d);
        dlg.txtSiteTitle->setText(longest); // as pasted
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    });
    m.mFileNewSubject->trigger();
    const QString key = m.note.CurrentNodeKey;
    restartWith();
    tree::TreeNode* node = w->noteTree().node(key);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Text(), longest);
}

// --- Renaming ---------------------------------------------------------------------

TEST_F(NoteCommands, RenameWithOkStoresTheTitleAndCancelKeepsIt) {
    gui::frmMain& m = startHome();
    select(K + QStringLiteral("1.5"));
    prompter->expectDialog(QStringLiteral("frmSiteTitle"), [](QDialog& d) {
        auto& dlg = static_cast<gui::frmSiteTitle&>(d);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Edit Note Title"));
        EXPECT_EQ(dlg.txtSiteTitle->text(), QStringLiteral("Beta"));
        EXPECT_EQ(dlg.txtSiteTitle->cursorPosition(), 4);
        QTest::keyClicks(dlg.txtSiteTitle, QStringLiteral("-Zulu"));
        QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
    });
    QTest::keyClick(m.URLList, Qt::Key_F2);
    tree::TreeNode* beta = n(K + QStringLiteral("1.5"));
    EXPECT_EQ(beta->Text(), QStringLiteral("Beta-Zulu"));
    // The sorted root moved it to its new place.
    EXPECT_EQ(childTexts(t().root()),
              (QStringList{QStringLiteral("Beta-Zulu"), QStringLiteral("Delta")}));
    EXPECT_EQ(m.note.CurrentTitle, QStringLiteral("Beta-Zulu"));
    store::NoteRecord r;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("1.5"), r));
    EXPECT_EQ(r.Title, QStringLiteral("Beta-Zulu"));
    EXPECT_EQ(plainOf(r.Body), QStringLiteral("b"));
    tree::NoteTree stored;
    ASSERT_TRUE(storedTree(QStringLiteral("VLR1"), stored));
    EXPECT_EQ(stored.node(K + QStringLiteral("1.5"))->Text(), QStringLiteral("Beta-Zulu"));

    cancelTitle(QStringLiteral("Edit Note Title"));
    m.mFileEditTitle->trigger();
    EXPECT_EQ(beta->Text(), QStringLiteral("Beta-Zulu"));
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("1.5"), r));
    EXPECT_EQ(r.Title, QStringLiteral("Beta-Zulu"));
}

// --- Deleting -----------------------------------------------------------------------

TEST_F(NoteCommands, DeletingANoteAsksOnceAndRemovesNodeAndRecord) {
    gui::frmMain& m = startHome();
    select(K + QStringLiteral("1.5"));
    expectQuestion(QStringLiteral("Delete 'Beta' ... Are You Sure?"), gui::PromptAnswer::No);
    m.mSubjectDelete->trigger();
    EXPECT_NE(n(K + QStringLiteral("1.5")), nullptr);
    EXPECT_TRUE(hasRecord(QStringLiteral("1.5")));

    expectQuestion(QStringLiteral("Delete 'Beta' ... Are You Sure?"), gui::PromptAnswer::Yes);
    m.Image1.at(5)->click();
    EXPECT_EQ(n(K + QStringLiteral("1.5")), nullptr);
    EXPECT_FALSE(hasRecord(QStringLiteral("1.5")));
    EXPECT_EQ(m.note.CurrentNodeKey, Root);
    tree::NoteTree stored;
    QString selected;
    ASSERT_TRUE(storedTree(QStringLiteral("VLR1"), stored, &selected));
    EXPECT_EQ(shapeOf(stored), shapeOf(t()));
    EXPECT_EQ(selected, Root);

    // The last child gone, its parent is a plain note again.
    tree::TreeNode* echo = n(K + QStringLiteral("3.5"));
    ASSERT_EQ(echo->Image(), tree::ImageFolder);
    select(K + QStringLiteral("4.5"));
    expectQuestion(QStringLiteral("Delete 'Fox' ... Are You Sure?"), gui::PromptAnswer::Yes);
    m.mSubjectDelete->trigger();
    EXPECT_EQ(echo->Image(), tree::ImageNote);
    EXPECT_EQ(m.note.CurrentNodeKey, echo->Key());
}

TEST_F(NoteCommands, DeletingABranchAsksTwiceAndNoToTheSecondKeepsAll) {
    gui::frmMain& m = startHome();
    const QStringList branch{QStringLiteral("2.5"), QStringLiteral("3.5"), QStringLiteral("4.5")};
    select(K + QStringLiteral("2.5"));
    const QString tablet = QStringLiteral("This Note Tablet has Notes stored within it ... Do you "
                                          "want to delete the entire Note Tablet?");
    expectQuestion(QStringLiteral("Delete 'Delta' ... Are You Sure?"), gui::PromptAnswer::Yes);
    expectQuestion(tablet, gui::PromptAnswer::No);
    m.mSubjectDelete->trigger();
    for (const QString& k : branch) {
        EXPECT_NE(n(K + k), nullptr) << k.toStdString();
        EXPECT_TRUE(hasRecord(k)) << k.toStdString();
    }

    // Yes to both: the whole branch goes, records first checked under a busy pointer.
    int busySteps = 0;
    m.beforeNoteWrite = [&](const QString& step) {
        if (step.startsWith(QStringLiteral("delete ")) && QApplication::overrideCursor() &&
            QApplication::overrideCursor()->shape() == Qt::WaitCursor)
            ++busySteps;
        return true;
    };
    expectQuestion(QStringLiteral("Delete 'Delta' ... Are You Sure?"), gui::PromptAnswer::Yes);
    expectQuestion(tablet, gui::PromptAnswer::Yes);
    m.mSubjectDelete->trigger();
    EXPECT_EQ(busySteps, 3);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    for (const QString& k : branch) {
        EXPECT_EQ(n(K + k), nullptr) << k.toStdString();
        EXPECT_FALSE(hasRecord(k)) << k.toStdString();
    }
    EXPECT_EQ(t().count(), 2);
    EXPECT_EQ(m.note.CurrentNodeKey, Root);
    EXPECT_TRUE(hasRecord(QStringLiteral("1.5")));
}

// --- Write order ----------------------------------------------------------------------

// A crash before any write of a command leaves the store with tree and
// records agreeing; the writes come in the order that guarantees it.
TEST_F(NoteCommands, ACrashBetweenAnyTwoWritesLeavesTreeAndRecordsAgreeing) {
    gui::frmMain& m = startHome();
    const QString path = introPath();
    const QString copy = tmp.path() + QStringLiteral("/crash.isd");
    QStringList steps;
    QStringList problems;
    m.beforeNoteWrite = [&](const QString& step) {
        steps.append(step);
        EXPECT_TRUE(snapshotDatabase(path, copy));
        for (const QString& p : storedTreesAgree(copy, {QStringLiteral("VLR1")}))
            problems.append(step + QStringLiteral(": ") + p);
        return true;
    };

    select(K + QStringLiteral("3.5"));
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("New"));
    m.mFileNewSubject->trigger();
    const QString created = m.note.CurrentKey;
    EXPECT_EQ(steps,
              (QStringList{QStringLiteral("record ") + created, QStringLiteral("tree VLR1")}));

    steps.clear();
    select(K + QStringLiteral("2.5"));
    expectQuestion(QStringLiteral("Delete 'Delta' ... Are You Sure?"), gui::PromptAnswer::Yes);
    expectQuestion(QStringLiteral("This Note Tablet has Notes stored within it ... Do you want "
                                  "to delete the entire Note Tablet?"),
                   gui::PromptAnswer::Yes);
    m.mSubjectDelete->trigger();
    // Echo's children are Fox and the new note, in that order.
    EXPECT_EQ(steps, (QStringList{QStringLiteral("tree VLR1"), QStringLiteral("delete ") + created,
                                  QStringLiteral("delete 4.5"), QStringLiteral("delete 3.5"),
                                  QStringLiteral("delete 2.5")}));
    // And after the last write.
    ASSERT_TRUE(snapshotDatabase(path, copy));
    problems.append(storedTreesAgree(copy, {QStringLiteral("VLR1")}));
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

// A write that fails at step k is reported, and what the store holds still
// agrees: a node is never left without its record.
TEST_F(NoteCommands, AFailedWriteAtAnyStepIsReportedAndLeavesNoNodeWithoutRecord) {
    struct Case {
        const char* name;
        bool create;    // create a child of Echo, else delete Delta's branch
        const char* at; // the step that fails (prefix)
        const char* message;
        int nodesAfter;
        QStringList recordsAfter; // of the branch 2.5, 3.5, 4.5
    };
    const QStringList all{QStringLiteral("2.5"), QStringLiteral("3.5"), QStringLiteral("4.5")};
    const Case cases[] = {
        {"create, record", true, "record ", "The new note 'New' could not be saved.", 5, all},
        {"create, tree", true, "tree ", "The note tree of this section could not be saved.", 6,
         all},
        {"delete, tree", false, "tree ", "'Delta' could not be deleted: the note tree", 5, all},
        {"delete, a record",
         false,
         "delete 3.5",
         "The notes are gone from the tree, but the records of 1 of them could not be deleted",
         2,
         {QStringLiteral("3.5")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        prompter = std::make_unique<ScriptedPrompter>();
        gui::frmMain& m = startHome();
        m.beforeNoteWrite = [&c](const QString& step) {
            return !step.startsWith(QString::fromLatin1(c.at));
        };
        if (c.create) {
            select(K + QStringLiteral("3.5"));
            answerTitle(QStringLiteral("New Child Note"), QStringLiteral("New"));
            prompter->expectMessageStartingWith(QString::fromLatin1(c.message), Title,
                                                gui::PromptIcon::Information,
                                                gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
            m.mFileNewSubject->trigger();
        } else {
            select(K + QStringLiteral("2.5"));
            expectQuestion(QStringLiteral("Delete 'Delta' ... Are You Sure?"),
                           gui::PromptAnswer::Yes);
            expectQuestion(QStringLiteral("This Note Tablet has Notes stored within it ... Do you "
                                          "want to delete the entire Note Tablet?"),
                           gui::PromptAnswer::Yes);
            prompter->expectMessageStartingWith(QString::fromLatin1(c.message), Title,
                                                gui::PromptIcon::Information,
                                                gui::PromptButtons::Ok, gui::PromptAnswer::Ok);
            m.mSubjectDelete->trigger();
        }
        EXPECT_TRUE(prompter->done());
        EXPECT_EQ(t().count(), c.nodesAfter);
        for (const QString& k : all)
            EXPECT_EQ(hasRecord(k), c.recordsAfter.contains(k)) << k.toStdString();
        const QString copy = tmp.path() + QStringLiteral("/after.isd");
        ASSERT_TRUE(snapshotDatabase(introPath(), copy));
        const QStringList problems = storedTreesAgree(copy, {QStringLiteral("VLR1")});
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
        m.beforeNoteWrite = nullptr;
    }
}

// --- Refusals on the root -------------------------------------------------------------

TEST_F(NoteCommands, TheRootRefusesSiblingsDeletionAndTheTreeKeys) {
    struct Case {
        const char* name;
        std::function<void(gui::frmMain&)> act;
        QString message;
    };
    const QList<Case> cases{
        {"sibling from the menu", [](gui::frmMain& m) { m.mNoteSibbling->trigger(); },
         QStringLiteral("You can only add 'Child Notes' to the Root of the Tree!")},
        {"sibling by F12", [](gui::frmMain& m) { QTest::keyClick(m.URLList, Qt::Key_F12); },
         QStringLiteral("You can only add 'Child Notes' to the Root of the Tree!")},
        {"delete from the menu", [](gui::frmMain& m) { m.mSubjectDelete->trigger(); },
         QStringLiteral("You cannot delete the Root of the Tree!")},
        {"delete button", [](gui::frmMain& m) { m.Image1.at(5)->click(); },
         QStringLiteral("You cannot delete the Root of the Tree!")},
        {"Delete key", [](gui::frmMain& m) { QTest::keyClick(m.URLList, Qt::Key_Delete); },
         RootRefusal},
        {"= key", [](gui::frmMain& m) { QTest::keyClick(m.URLList, Qt::Key_Equal); }, RootRefusal},
    };
    gui::frmMain& m = startHome();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        select(Root);
        expectInfo(c.message);
        c.act(m);
        EXPECT_TRUE(prompter->done());
        EXPECT_EQ(t().count(), 5);
        EXPECT_TRUE(hasRecord(QStringLiteral("2.5")));
    }
}

// --- Keys, mouse, toolbar --------------------------------------------------------------

TEST_F(NoteCommands, TreeKeysLeadToTheCommands) {
    gui::frmMain& m = startHome();
    // Ctrl+P: the parent becomes current; nothing on the root.
    select(K + QStringLiteral("4.5"));
    QTest::keyClick(m.URLList, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(m.note.CurrentNodeKey, K + QStringLiteral("3.5"));
    EXPECT_EQ(t().nodeFrom(m.URLList->currentIndex())->Key(), K + QStringLiteral("3.5"));
    select(Root);
    QTest::keyClick(m.URLList, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(m.note.CurrentNodeKey, Root);

    // "=" on a note: a sibling; Shift+".": a child.
    select(K + QStringLiteral("3.5"));
    answerTitle(QStringLiteral("New Sibling Note"), QStringLiteral("Sib"));
    QTest::keyClick(m.URLList, Qt::Key_Equal);
    EXPECT_EQ(m.CurrentNode()->Parent()->Key(), K + QStringLiteral("2.5"));
    EXPECT_EQ(m.PasteMode, 0);
    select(K + QStringLiteral("3.5"));
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Kid"));
    QTest::keyClick(m.URLList, Qt::Key_Greater, Qt::ShiftModifier);
    EXPECT_EQ(m.CurrentNode()->Parent()->Key(), K + QStringLiteral("3.5"));

    // "+" (Shift with "="), "." without Shift and Return do nothing, and the
    // swallowed keys never reach the tree.
    select(K + QStringLiteral("1.5"));
    const int count = t().count();
    QSignalSpy activated(m.URLList, &QAbstractItemView::activated);
    QTest::keyClick(m.URLList, Qt::Key_Plus, Qt::ShiftModifier);
    QTest::keyClick(m.URLList, Qt::Key_Period);
    QTest::keyClick(m.URLList, Qt::Key_Return);
    EXPECT_EQ(activated.count(), 0);
    EXPECT_EQ(t().count(), count);
    EXPECT_EQ(m.note.CurrentNodeKey, K + QStringLiteral("1.5"));

    // The modifiers held are remembered until the key goes up.
    QTest::keyPress(m.URLList, Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(m.PasteMode, 3);
    QTest::keyRelease(m.URLList, Qt::Key_A);
    EXPECT_EQ(m.PasteMode, 0);

    // F11 anywhere in the window: a child.
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("By F11"));
    QApplication::setActiveWindow(&m);
    QTest::keyClick(m.URLList, Qt::Key_F11);
    EXPECT_EQ(m.CurrentNode()->Text(), QStringLiteral("By F11"));
    EXPECT_EQ(m.CurrentNode()->Parent()->Key(), K + QStringLiteral("1.5"));
    // Delete on a note: the delete command.
    expectQuestion(QStringLiteral("Delete 'By F11' ... Are You Sure?"), gui::PromptAnswer::Yes);
    QTest::keyClick(m.URLList, Qt::Key_Delete);
    EXPECT_EQ(m.note.CurrentNodeKey, K + QStringLiteral("1.5"));
    EXPECT_EQ(n(K + QStringLiteral("1.5"))->Image(), tree::ImageNote);
}

TEST_F(NoteCommands, RightButtonSelectsTheNoteAndPopsUpTheNoteMenu) {
    gui::frmMain& m = startHome();
    select(K + QStringLiteral("1.5"));
    typeInEditor(QStringLiteral("unsaved "));
    const QModelIndex i = t().indexOf(n(K + QStringLiteral("2.5")));
    QTest::mouseClick(m.URLList->viewport(), Qt::RightButton, {},
                      m.URLList->visualRect(i).center());
    EXPECT_EQ(m.note.CurrentNodeKey, K + QStringLiteral("2.5"));
    EXPECT_EQ(m.DownNodeKey, K + QStringLiteral("2.5"));
    EXPECT_TRUE(m.mSubject->isVisible());
    m.mSubject->close();
    store::NoteRecord beta;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("1.5"), beta));
    EXPECT_EQ(plainOf(beta.Body), QStringLiteral("unsaved b"));
    // The menu holds the commands of this subsystem.
    QStringList names;
    for (QAction* a : m.mSubject->actions())
        names.append(a->objectName());
    for (const char* name : {"mFileEditTitle", "mSubjectDelete"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    EXPECT_EQ(m.mFileNewSubject->shortcut(), QKeySequence(Qt::Key_F11));
    EXPECT_EQ(m.mNoteSibbling->shortcut(), QKeySequence(Qt::Key_F12));
    EXPECT_EQ(m.mFileEditTitle->shortcut(), QKeySequence(Qt::Key_F2));
}

TEST_F(NoteCommands, NewNoteButtonSavesTheEditedNoteFirst) {
    gui::frmMain& m = startHome();
    select(K + QStringLiteral("1.5"));
    typeInEditor(QStringLiteral("edited "));
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Child"));
    m.Image1.at(3)->click();
    store::NoteRecord beta;
    ASSERT_TRUE(store::readRecord(m.db, QStringLiteral("1.5"), beta));
    EXPECT_EQ(plainOf(beta.Body), QStringLiteral("edited b"));
    EXPECT_EQ(m.CurrentNode()->Parent()->Key(), K + QStringLiteral("1.5"));
    EXPECT_TRUE(editorText().isEmpty());
}

TEST_F(NoteCommands, CollapsingByTheUserSelectsTheNoteOtherCollapsesDoNot) {
    gui::frmMain& m = startHome();
    select(K + QStringLiteral("4.5"));
    const QModelIndex delta = t().indexOf(n(K + QStringLiteral("2.5")));
    ASSERT_TRUE(m.URLList->isExpanded(delta));

    // While the whole branch is being collapsed nothing is selected.
    m.CollapsingAll = true;
    m.URLList->collapse(t().indexOf(n(K + QStringLiteral("3.5"))));
    m.CollapsingAll = false;
    EXPECT_EQ(m.note.CurrentNodeKey, K + QStringLiteral("4.5"));
    // Nor when the program collapses a node through the model.
    m.URLList->expand(t().indexOf(n(K + QStringLiteral("3.5"))));
    t().setExpanded(n(K + QStringLiteral("3.5")), false);
    EXPECT_FALSE(m.URLList->isExpanded(t().indexOf(n(K + QStringLiteral("3.5")))));
    EXPECT_EQ(m.note.CurrentNodeKey, K + QStringLiteral("4.5"));

    // The user closes Delta from the keyboard: Delta becomes the current note.
    m.URLList->setCurrentIndex(delta);
    QTest::keyClick(m.URLList, Qt::Key_Left);
    EXPECT_FALSE(m.URLList->isExpanded(delta));
    EXPECT_FALSE(n(K + QStringLiteral("2.5"))->Expanded());
    EXPECT_EQ(m.note.CurrentNodeKey, K + QStringLiteral("2.5"));
    EXPECT_EQ(editorText(), QStringLiteral("d"));
}

// --- After a restart ------------------------------------------------------------------------

TEST_F(NoteCommands, EverythingDoneIsThereAfterARestart) {
    gui::frmMain& m = startHome();
    select(Root);
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Garden"));
    m.mFileNewSubject->trigger();
    const QString garden = m.note.CurrentNodeKey;
    answerTitle(QStringLiteral("New Child Note"), QStringLiteral("Roses"));
    m.mFileNewSubject->trigger();
    const QString roses = m.note.CurrentNodeKey;
    typeInEditor(QStringLiteral("Prune in March"));
    select(K + QStringLiteral("1.5"));
    answerTitle(QStringLiteral("Edit Note Title"), QStringLiteral("Books"));
    m.mFileEditTitle->trigger();
    select(K + QStringLiteral("4.5"));
    expectQuestion(QStringLiteral("Delete 'Fox' ... Are You Sure?"), gui::PromptAnswer::Yes);
    m.mSubjectDelete->trigger();
    const QStringList shape = shapeOf(t());

    restartWith();
    EXPECT_EQ(shapeOf(w->noteTree()), shape);
    EXPECT_EQ(w->noteTree().node(roses)->Parent()->Key(), garden);
    EXPECT_EQ(w->noteTree().node(K + QStringLiteral("1.5"))->Text(), QStringLiteral("Books"));
    EXPECT_EQ(w->noteTree().node(K + QStringLiteral("4.5")), nullptr);
    EXPECT_FALSE(hasRecord(QStringLiteral("4.5")));
    store::NoteRecord r;
    ASSERT_TRUE(store::readRecord(w->db, roses.mid(1), r));
    EXPECT_EQ(plainOf(r.Body), QStringLiteral("Prune in March"));
    EXPECT_EQ(r.Title, QStringLiteral("Roses"));
}
