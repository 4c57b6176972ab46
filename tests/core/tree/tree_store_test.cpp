#include "core/store/dates.h"
#include "core/store/record_keys.h"
#include "core/tree/tree_store.h"
#include "tree_test_util.h"

#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

using namespace vellicar;
using namespace vellicar::tree;
using store::NoteRecord;
using vellicar::test::childTexts;
using vellicar::test::shape;

namespace {

struct Notebook {
    QTemporaryDir dir;
    store::DbState db;
    platform::Clock clock;
    Notebook() {
        const QString path = dir.filePath("notes.isd");
        db.vmx.VmxCreate(path, 125, 8192, 0, 1);
        db.openResult = db.vmx.VmxOpen(path, 0, store::VmxModeReadWrite, db.DbHandle);
        db.DatabasePath = path;
        clock.now = [] { return QDateTime(QDate(2024, 5, 6), QTime(12, 0)); };
    }
    void put(const QString& key, const QString& owner, const QString& title,
             const QString& body = {}) {
        NoteRecord r;
        r.Owner = owner;
        r.Title = title;
        r.Body = body;
        ASSERT_TRUE(store::writeRecord(db, key, r).ok());
    }
    NoteRecord get(const QString& key) {
        NoteRecord r;
        EXPECT_TRUE(store::readRecord(db, key, r)) << key.toStdString();
        return r;
    }
};

QString entry(const QString& parent, const QString& key, const QString& text) {
    auto n = [](qsizetype v, int w) { return QString::number(v).rightJustified(w, '0'); };
    return n(parent.size(), 2) + parent + n(key.size(), 2) + key + n(text.size(), 3) + text +
           "00001C050";
}

} // namespace

TEST(TreeStore, SavedTreeComesBackWithItsSelection) {
    Notebook nb;
    ASSERT_TRUE(nb.db.isOpen());
    NoteTree t;
    TreeNode* root = t.addTop("RVLR1", QString(QChar(0x00B6)) + " Home");
    t.setSorted(root, true);
    t.setExpanded(root, true);
    t.add(root, Relation::LastChild, "K2", "zeta");
    t.add(root, Relation::LastChild, "K1", "Alpha");
    const TreeSave saved = SaveSectionTree(nb.db, t, "VLR1", "K2");
    ASSERT_TRUE(saved.ok()) << saved.error.toStdString();
    EXPECT_TRUE(saved.written);
    EXPECT_EQ(nb.get("VLR1Tree").Owner, "SectionTree");

    NoteTree back;
    QString SavedSelectionKey = "old";
    const TreeLoad load = GetTree(nb.db, back, "VLR1", "Home", nb.clock, SavedSelectionKey);
    EXPECT_EQ(load.from, TreeLoad::From::TreeRecord);
    EXPECT_FALSE(load.damaged());
    EXPECT_EQ(SavedSelectionKey, "K2");
    EXPECT_EQ(shape(back), "RVLR1(K1 K2)");
    EXPECT_TRUE(back.root()->Expanded());

    // A section with neither record shows nothing, and keeps the selection key.
    const TreeLoad none = GetTree(nb.db, back, "VLR9", "New", nb.clock, SavedSelectionKey);
    EXPECT_EQ(none.from, TreeLoad::From::Nothing);
    EXPECT_TRUE(back.isEmpty());
    EXPECT_EQ(SavedSelectionKey, "K2");
}

TEST(TreeStore, RefusedTreeLeavesTheRecordAndAnEmptyTreeWritesNothing) {
    Notebook nb;
    nb.put("VLR1Tree", "SectionTree", "K1", entry("Root", "RVLR1", "root"));
    NoteTree t;
    TreeNode* root = t.addTop("RVLR1", "root");
    t.add(root, Relation::LastChild, "K1", QString(1000, QChar('x')));
    EXPECT_FALSE(SaveSectionTree(nb.db, t, "VLR1", "K1").ok());
    NoteTree empty;
    const TreeSave nothing = SaveSectionTree(nb.db, empty, "VLR1", "");
    EXPECT_TRUE(nothing.ok());
    EXPECT_FALSE(nothing.written);
    EXPECT_EQ(nb.get("VLR1Tree").Body, entry("Root", "RVLR1", "root"));
}

TEST(TreeStore, DamagedTreeIsKeptBeforeItCanBeSavedOver) {
    Notebook nb;
    // The third entry names a parent that is not there; the fifth is cut short.
    const QString damaged = entry("Root", "RVLR1", "root") + entry("RVLR1", "K1", "one") +
                            entry("Kgone", "K2", "two") + entry("K2", "K3", "three") + "07Kbro";
    nb.put("VLR1Tree", "SectionTree", "K3", damaged);

    NoteTree t;
    QString SavedSelectionKey;
    const TreeLoad load = GetTree(nb.db, t, "VLR1", "Home", nb.clock, SavedSelectionKey);
    EXPECT_TRUE(load.damaged());
    EXPECT_TRUE(load.blob.truncated);
    EXPECT_EQ(shape(t), "RVLR1(K1 K2(K3))"); // everything after the damage is there
    ASSERT_FALSE(load.keptAs.isEmpty());
    EXPECT_TRUE(load.keptAs.startsWith(damagedTreeKeyPrefix("VLR1")));
    EXPECT_TRUE(load.keptAs.contains('!'));
    EXPECT_EQ(nb.get(load.keptAs).Body, damaged);

    // Loading the same damage again keeps no second copy.
    NoteTree again;
    EXPECT_EQ(GetTree(nb.db, again, "VLR1", "Home", nb.clock, SavedSelectionKey).keptAs,
              load.keptAs);
    NoteRecord none;
    EXPECT_FALSE(store::readRecord(nb.db, damagedTreeKeyPrefix("VLR1") + "2", none));

    // Saving now writes the healthy tree; the copy stays.
    ASSERT_TRUE(SaveSectionTree(nb.db, t, "VLR1", "K3").ok());
    NoteTree healed;
    EXPECT_FALSE(GetTree(nb.db, healed, "VLR1", "Home", nb.clock, SavedSelectionKey).damaged());
    EXPECT_EQ(shape(healed), "RVLR1(K1 K2(K3))");
    EXPECT_EQ(nb.get(load.keptAs).Body, damaged);
}

TEST(TreeStore, OldCategoryListIsConvertedIntoATree) {
    Notebook nb;
    // Nine names, the fourth empty, the last one with non-ASCII text.
    QString names;
    const QStringList nine{"Work",  "Home",   "Ideas",
                           "",      "Travel", "Books",
                           "Music", "Misc",   QString::fromUtf8("K\u00fcche")};
    for (const QString& n : nine)
        names += QString::number(n.size()).rightJustified(2, '0') + n;
    nb.put("VLR7Categories", "", "", names);
    nb.put("36000.5", "VLR71", "zebra note");
    nb.put("36001.5", "VLR71", "Apple note");
    nb.put("36002.5", "VLR79", "cooking");
    nb.put("36003.5", "VLR8", "another section's note");

    NoteTree t;
    QString SavedSelectionKey = "keep";
    const TreeLoad load = GetTree(nb.db, t, "VLR7", "Old Stuff", nb.clock, SavedSelectionKey);
    EXPECT_EQ(load.from, TreeLoad::From::Categories);
    EXPECT_TRUE(load.errors.isEmpty()) << load.errors.join('\n').toStdString();
    EXPECT_EQ(SavedSelectionKey, "keep");
    const TreeNode* root = t.node("RVLR7");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Text(), QString(QChar(0x00B6)) + " Old Stuff");
    EXPECT_TRUE(root->Sorted());
    ASSERT_EQ(root->childCount(), 9);
    QStringList sortedNames = nine;
    std::stable_sort(sortedNames.begin(), sortedNames.end(),
                     [](auto& a, auto& b) { return compareNoCase(a, b) < 0; });
    EXPECT_EQ(childTexts(root), sortedNames);
    EXPECT_EQ(childTexts(t.node("KVLR701")), QStringList({"Apple note", "zebra note"}));
    EXPECT_EQ(childTexts(t.node("KVLR709")), QStringList({"cooking"}));
    EXPECT_FALSE(t.node("KVLR704")->hasChildren());
    EXPECT_EQ(t.node("K36003.5"), nullptr);
    EXPECT_EQ(root->Image(), ImageRoot);
    EXPECT_EQ(t.node("KVLR701")->Image(), ImageFolder);
    EXPECT_EQ(t.node("KVLR704")->Image(), ImageNote);

    const QString now = store::DateNumber(nb.clock.now());
    const NoteRecord rootRec = nb.get("VLR7");
    EXPECT_EQ(rootRec.Owner, "RVLR7");
    EXPECT_EQ(rootRec.Title, root->Text());
    EXPECT_EQ(rootRec.Created, now);
    const NoteRecord cat = nb.get("VLR709");
    EXPECT_EQ(cat.Owner, "VLR709");
    EXPECT_EQ(cat.Title, nine[8]);
    EXPECT_EQ(cat.Modified, now);
    EXPECT_EQ(nb.get("36000.5").Title, "zebra note"); // old records are not rewritten
    NoteRecord none;
    EXPECT_FALSE(store::readRecord(nb.db, "VLR7Tree", none)); // written by the next save
}
