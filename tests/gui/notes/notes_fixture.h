#pragma once
// Helpers for the note and section command tests: answering the title
// dialogs on the real widgets, reading back what the store holds, and
// checking that a stored tree and the note records agree.
#include "core/store/keys.h"
#include "core/store/record_keys.h"
#include "core/tree/branch_walk.h"
#include "core/tree/tree_blob.h"
#include "gui/notes/frmSiteTitle.h"
#include "gui/shell/frmPageDesc.h"
#include "gui/shell/gui_fixture.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>

namespace vellicar::test {

inline const QString K = QStringLiteral("K");

// One node as "parent key > key : text [sorted]" in pre-order, the root first.
inline QStringList shapeOf(const tree::NoteTree& t) {
    QStringList out;
    if (!t.root())
        return out;
    std::vector<const tree::TreeNode*> nodes;
    tree::branchNodes(t.root(), nodes);
    for (const tree::TreeNode* n : nodes)
        out.append(QStringLiteral("%1 > %2 : %3%4")
                       .arg(n->Parent() ? n->Parent()->Key() : QStringLiteral("-"), n->Key(),
                            n->Text(), n->Sorted() ? QStringLiteral(" [s]") : QString()));
    return out;
}

// Children texts of a node, in display order.
inline QStringList childTexts(const tree::TreeNode* n) {
    QStringList out;
    for (const tree::TreeNode* c : n->Children())
        out.append(c->Text());
    return out;
}

class NotesTest : public GuiTest {
protected:
    // Starts the window on `notebook` (written first) with `clock`.
    gui::frmMain& startOn(const QList<SectionSpec>& sections, int which = 0,
                          platform::Clock clock = {}) {
        makeNotebook(introPath(), sections, which);
        return startWith(clock);
    }
    gui::frmMain& startWith(platform::Clock clock = {}) {
        gui::Environment env;
        env.prompter = prompter.get();
        env.settingsFile = settingsFile;
        env.programFolder = programFolder;
        env.clock = clock;
        w = std::make_unique<gui::frmMain>(env);
        w->Load();
        return *w;
    }
    gui::frmMain& restartWith(platform::Clock clock = {}) {
        w->close();
        w.reset();
        return startWith(clock);
    }

    // A section "Home" (VLR1) with Beta and Delta under the sorted root, and
    // under Delta a branch Delta > Echo > Fox (unsorted).
    QList<SectionSpec> homeBook() const {
        return {{QStringLiteral("VLR1"),
                 QStringLiteral("Home"),
                 {{QStringLiteral("2.5"), QStringLiteral("Delta"), QStringLiteral("d"), {}, {}},
                  {QStringLiteral("1.5"), QStringLiteral("Beta"), QStringLiteral("b"), {}, {}},
                  {QStringLiteral("3.5"),
                   QStringLiteral("Echo"),
                   QStringLiteral("e"),
                   {},
                   QStringLiteral("2.5")},
                  {QStringLiteral("4.5"),
                   QStringLiteral("Fox"),
                   QStringLiteral("f"),
                   {},
                   QStringLiteral("3.5")}},
                 {}}};
    }

    // The title dialog is expected with `caption`; `text` is typed and OK clicked.
    void answerTitle(const QString& caption, const QString& text) {
        prompter->expectDialog(QStringLiteral("frmSiteTitle"), [caption, text](QDialog& d) {
            auto& dlg = static_cast<gui::frmSiteTitle&>(d);
            EXPECT_EQ(dlg.windowTitle().toStdString(), caption.toStdString());
            dlg.txtSiteTitle->selectAll();
            QTest::keyClicks(dlg.txtSiteTitle, text);
            QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
        });
    }
    void cancelTitle(const QString& caption) {
        prompter->expectDialog(QStringLiteral("frmSiteTitle"), [caption](QDialog& d) {
            auto& dlg = static_cast<gui::frmSiteTitle&>(d);
            EXPECT_EQ(dlg.windowTitle().toStdString(), caption.toStdString());
            QTest::keyClicks(dlg.txtSiteTitle, QStringLiteral("not wanted"));
            QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
        });
    }
    void expectInfo(const QString& text) {
        prompter->expectMessage(text, Title, gui::PromptIcon::Information, gui::PromptButtons::Ok,
                                gui::PromptAnswer::Ok);
    }
    void expectQuestion(const QString& text, gui::PromptAnswer answer) {
        prompter->expectMessage(text, Title, gui::PromptIcon::Question, gui::PromptButtons::YesNo,
                                answer);
    }

    // Makes `nodeKey` the current note as a click would.
    void select(const QString& nodeKey) {
        clickNode(nodeKey);
        ASSERT_EQ(w->note.CurrentNodeKey, nodeKey);
    }

    // The tree record of `section` in the open database, loaded into `out`.
    bool storedTree(const QString& section, tree::NoteTree& out, QString* title = nullptr) {
        store::NoteRecord r;
        if (!store::readRecord(w->db, store::treeKey(section), r))
            return false;
        if (title)
            *title = r.Title;
        return !tree::LoadDatabaseBlob(out, r.Body).damaged();
    }
    bool hasRecord(const QString& key) { return store::recordExists(w->db, key); }
};

// Every note node of the stored trees of `sections` has its record in the
// database at `path` (opened anew, as after a crash). Returns the problems.
inline QStringList storedTreesAgree(const QString& path, const QStringList& sections) {
    QStringList problems;
    QTemporaryDir scratch;
    QSettings s(scratch.path() + QStringLiteral("/s.ini"), QSettings::IniFormat);
    store::DbState db;
    const store::OpenOutcome open = store::OpenDatabaseFile(db, s, path, scratch.path());
    if (!open.ok())
        return {QStringLiteral("cannot open: ") + open.message};
    for (const QString& section : sections) {
        store::NoteRecord r;
        if (!store::readRecord(db, store::treeKey(section), r)) {
            problems.append(QStringLiteral("no tree record for ") + section);
            continue;
        }
        tree::NoteTree t;
        if (tree::LoadDatabaseBlob(t, r.Body).damaged())
            problems.append(QStringLiteral("damaged tree of ") + section);
        std::vector<const tree::TreeNode*> nodes;
        tree::branchNodes(t.root(), nodes);
        for (const tree::TreeNode* n : nodes)
            if (n->Key().startsWith(QLatin1Char('K')) && !store::recordExists(db, n->Key().mid(1)))
                problems.append(QStringLiteral("node without record: ") + n->Key());
        if (!r.Title.isEmpty() && !t.contains(r.Title))
            problems.append(QStringLiteral("selected node not in tree: ") + r.Title);
    }
    store::CloseDatabase(db);
    return problems;
}

// Copies the data and index files of an open database, as a crash right now
// would leave them.
inline bool snapshotDatabase(const QString& path, const QString& copy) {
    const QString index = path.chopped(4) + QStringLiteral(".ISM");
    const QString copyIndex = copy.chopped(4) + QStringLiteral(".ISM");
    QFile::remove(copy);
    QFile::remove(copyIndex);
    if (!QFile::copy(path, copy))
        return false;
    if (QFile::exists(index))
        QFile::copy(index, copyIndex);
    return true;
}

} // namespace vellicar::test
