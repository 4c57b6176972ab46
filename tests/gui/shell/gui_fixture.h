#pragma once
// A fresh settings file, program folder and scripted prompter for every test,
// and a helper that writes small notebooks through the store.
#include "core/richtext/rtf.h"
#include "core/store/database.h"
#include "core/store/dates.h"
#include "core/store/record_keys.h"
#include "core/store/section_list.h"
#include "core/tree/note_tree.h"
#include "core/tree/tree_store.h"
#include "gui/shell/frmMain.h"
#include "support/scripted_prompter.h"
#include "support/test_support.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtGui/QTextDocument>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeView>
#include <gtest/gtest.h>
#include <memory>

namespace vellicar::test {

inline const QString Marker = QString(QChar(0x00B6)) + QLatin1Char(' ');
inline const QString Title = QStringLiteral("Vellicar Notes v1.0");

struct NoteSpec {
    QString key; // record key (the node key is "K" + key)
    QString title;
    QString body; // plain text; stored as RTF
    QString links;
    QString parentKey; // record key of the parent; empty = under the root
};

struct SectionSpec {
    QString key;
    QString caption;
    QList<NoteSpec> notes;
    QString selectedNodeKey; // node key remembered in the tree record
};

inline QString rtfOf(const QString& text) {
    QTextDocument doc;
    doc.setPlainText(text);
    return richtext::documentToRtfString(doc);
}

inline QString plainOf(const QString& rtf) {
    return richtext::rtfPlainText(rtf);
}

// Writes a notebook with these sections; `which` is the remembered tab (1-based, 0 = none).
inline void makeNotebook(const QString& path, const QList<SectionSpec>& sections, int which = 0) {
    QTemporaryDir scratch;
    QSettings s(scratch.path() + QStringLiteral("/s.ini"), QSettings::IniFormat);
    store::DbState db;
    ASSERT_TRUE(store::OpenDatabaseFile(db, s, path, scratch.path()).ok());
    QList<store::SectionEntry> entries;
    for (const SectionSpec& sec : sections) {
        entries.append({sec.key, sec.caption});
        tree::NoteTree t;
        tree::TreeNode* root = t.addTop(QStringLiteral("R") + sec.key, Marker + sec.caption);
        t.setSorted(root, true);
        t.setExpanded(root, true);
        for (const NoteSpec& n : sec.notes) {
            tree::TreeNode* parent =
                n.parentKey.isEmpty() ? root : t.node(QStringLiteral("K") + n.parentKey);
            t.add(parent, tree::Relation::LastChild, QStringLiteral("K") + n.key, n.title);
            if (parent != root)
                t.setExpanded(parent, true);
            store::NoteRecord r;
            r.Owner = sec.key;
            r.Title = n.title;
            r.Body = rtfOf(n.body);
            r.Links = n.links;
            r.Created = r.Modified = QStringLiteral("36599.5");
            ASSERT_TRUE(store::writeRecord(db, n.key, r).ok());
        }
        ASSERT_TRUE(tree::SaveSectionTree(db, t, sec.key, sec.selectedNodeKey).ok());
    }
    store::NoteRecord list;
    list.Owner = QStringLiteral("Desc");
    list.Body = store::writeSectionList(entries).text;
    ASSERT_TRUE(store::writeRecord(db, QStringLiteral("Sections"), list).ok());
    if (which > 0) {
        store::NoteRecord w;
        w.Owner = QStringLiteral("WhichSection");
        w.Title = QStringLiteral("%1").arg(which, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(store::writeRecord(db, QStringLiteral("WhichSection"), w).ok());
    }
    store::CloseDatabase(db);
}

// Reads one record of a closed notebook.
inline bool readNotebookRecord(const QString& path, const QString& key, store::NoteRecord& out) {
    QTemporaryDir scratch;
    QSettings s(scratch.path() + QStringLiteral("/s.ini"), QSettings::IniFormat);
    store::DbState db;
    if (!store::OpenDatabaseFile(db, s, path, scratch.path()).ok())
        return false;
    const bool found = store::readRecord(db, key, out);
    store::CloseDatabase(db);
    return found;
}

// The "DatabaseList" value of one or two tabs.
inline QString shell_list(int position, const QString& p1, const QString& c1, const QString& p2,
                          const QString& c2) {
    auto f = [](const QString& t) {
        return QStringLiteral("%1").arg(t.size(), 2, 10, QLatin1Char('0')) + t;
    };
    QString v = QStringLiteral("%1").arg(position, 2, 10, QLatin1Char('0')) + f(p1) + f(c1);
    if (!p2.isEmpty())
        v += f(p2) + f(c2);
    return v;
}

class GuiTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString settingsFile = tmp.path() + QStringLiteral("/settings/Vellicar Notes.ini");
    QString programFolder = tmp.path() + QStringLiteral("/program");
    std::unique_ptr<ScriptedPrompter> prompter = std::make_unique<ScriptedPrompter>();
    std::unique_ptr<gui::frmMain> w;

    void SetUp() override { QDir().mkpath(programFolder + QStringLiteral("/databases")); }
    void TearDown() override {
        if (w && !w->unloaded())
            w->close();
        w.reset();
    }

    QString dbPath(const QString& name) const { return tmp.path() + QLatin1Char('/') + name; }
    QString introPath() const {
        return programFolder + QStringLiteral("/databases/Introduction.isd");
    }

    gui::frmMain& start() {
        gui::Environment env;
        env.prompter = prompter.get();
        env.settingsFile = settingsFile;
        env.programFolder = programFolder;
        w = std::make_unique<gui::frmMain>(env);
        w->Load();
        return *w;
    }
    // Shuts the window down (Unload) and starts a new one on the same settings.
    gui::frmMain& restart() {
        w->close();
        w.reset();
        return start();
    }
    void setSetting(const QString& key, const QString& value) {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.setValue(key, value);
    }
    QString setting(const QString& key) {
        QSettings s(settingsFile, QSettings::IniFormat);
        return s.value(key).toString();
    }

    QStringList captions(const QTabBar* bar) const {
        QStringList out;
        for (int i = 0; i < bar->count(); ++i)
            out.append(bar->tabText(i));
        return out;
    }
    // Clicks a node of the tree as the user would.
    void clickNode(const QString& nodeKey) {
        tree::TreeNode* n = w->noteTree().node(nodeKey);
        ASSERT_NE(n, nullptr) << nodeKey.toStdString();
        const QModelIndex i = w->noteTree().indexOf(n);
        w->URLList->scrollTo(i);
        const QRect r = w->URLList->visualRect(i);
        QTest::mouseClick(w->URLList->viewport(), Qt::LeftButton, {}, r.center());
    }
    void clickTab(QTabBar* bar, int index) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    // Types into the editor the way a user does: focus first.
    void typeInEditor(const QString& text) {
        QApplication::setActiveWindow(w.get());
        w->txtSiteDesc->setFocus();
        QApplication::processEvents();
        if (!w->txtSiteDesc->document()->isEmpty())
            w->txtSiteDesc->moveCursor(QTextCursor::Start);
        QTest::keyClicks(w->txtSiteDesc, text);
    }
    QString editorText() const { return w->txtSiteDesc->toPlainText(); }
};

} // namespace vellicar::test
