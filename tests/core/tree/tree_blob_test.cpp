#include "core/tree/branch_walk.h"
#include "core/tree/tree_blob.h"
#include "tree_test_util.h"

#include <gtest/gtest.h>

using namespace vellicar::tree;
using vellicar::test::childTexts;
using vellicar::test::shape;

namespace {

const QString kPilcrow = QString(QChar(0x00B6));

QString blobOf(const NoteTree& t) {
    QStringList KeyList;
    BuildBranchList(t.root(), KeyList);
    BlobWrite w = SaveDatabaseBlob(t, KeyList);
    EXPECT_TRUE(w.ok()) << w.error.toStdString();
    return w.blob;
}

// One entry written by hand, independent of the writer.
QString entry(const QString& parent, const QString& key, const QString& text, char state = 'C',
              const char* picture = "05", char sorted = '0') {
    auto n = [](qsizetype v, int w) { return QString::number(v).rightJustified(w, '0'); };
    return n(parent.size(), 2) + parent + n(key.size(), 2) + key + n(text.size(), 3) + text +
           "00001" + QChar(state) + picture + QChar(sorted);
}

} // namespace

TEST(TreeBlob, WritesTheDocumentedEntryLayout) {
    NoteTree t;
    TreeNode* root = t.addTop("RVLR1A2F", kPilcrow + " Home");
    t.setSorted(root, true);
    t.setExpanded(root, true);
    t.setImage(root, ImageRoot);
    t.add(root, Relation::LastChild, "K36890.6752893518", "Shopping");
    EXPECT_EQ(blobOf(t), "04Root08RVLR1A2F006" + kPilcrow +
                             " Home00001E02108RVLR1A2F17K36890.6752893518008Shopping00001C050");
}

TEST(TreeBlob, RoundTripsLimitsNonAsciiShapeAndFlags) {
    const QString longTitle(999, QChar('t'));
    const QString longKey = "K" + QString(98, QChar('9'));
    // Emoji take two UTF-16 units each but count as one character.
    const QString emojiTitle = QString::fromUtf8("Caf\u00e9 \U0001F600 \u65e5\u672c");
    const QString emojiLimit = QString::fromUtf8("\U0001F680").repeated(999);

    NoteTree t;
    TreeNode* root = t.addTop("RVLR1", kPilcrow + " Work");
    t.setSorted(root, true);
    t.setExpanded(root, true);
    TreeNode* a = t.add(root, Relation::LastChild, longKey, longTitle);
    TreeNode* b = t.add(root, Relation::LastChild, "K2", emojiTitle);
    t.add(a, Relation::LastChild, "K3", emojiLimit);
    t.add(a, Relation::LastChild, "K4", "");
    t.setExpanded(a, true);
    t.setSorted(b, true);
    t.add(b, Relation::LastChild, "K5", "z");
    t.add(b, Relation::LastChild, "K6", "Y");
    t.setImage(b, ImageSearchHit); // a search hit is written, and forgotten on loading

    const QString blob = blobOf(t);
    EXPECT_TRUE(blob.contains("999" + longTitle));
    EXPECT_TRUE(blob.contains("99" + longKey));
    EXPECT_TRUE(blob.contains("999" + emojiLimit));
    EXPECT_TRUE(blob.contains(QString::number(emojiTitle.toUcs4().size()).rightJustified(3, '0') +
                              emojiTitle));

    NoteTree back;
    const BlobLoad load = LoadDatabaseBlob(back, blob);
    EXPECT_FALSE(load.damaged()) << load.errorText().toStdString();
    EXPECT_EQ(load.entries, 7);
    EXPECT_EQ(shape(back), shape(t));
    for (const QString& key : {QString("RVLR1"), longKey, QString("K2"), QString("K3"),
                               QString("K4"), QString("K5"), QString("K6")}) {
        const TreeNode* o = t.node(key);
        const TreeNode* n = back.node(key);
        ASSERT_NE(n, nullptr) << key.toStdString();
        EXPECT_EQ(n->Text(), o->Text());
        EXPECT_EQ(n->Sorted(), o->Sorted());
        EXPECT_EQ(n->Expanded(), o->Expanded());
        EXPECT_EQ(n->Tag(), o->Expanded() ? "E" : "C");
    }
    EXPECT_EQ(back.node("RVLR1")->Image(), ImageRoot);
    EXPECT_EQ(back.node("K2")->Image(), ImageFolder);
    EXPECT_EQ(back.node("K4")->Image(), ImageNote);
    EXPECT_EQ(blobOf(back).size(), blob.size());
}

TEST(TreeBlob, RefusesWhatDoesNotFitItsLengthField) {
    struct Case {
        QString key, text;
    };
    const Case cases[] = {
        {"K1", QString(1000, QChar('x'))},
        {"K1", QString::fromUtf8("\U0001F600").repeated(1000)},
        {"K" + QString(99, QChar('1')), "title"},
    };
    for (const Case& c : cases) {
        NoteTree t;
        TreeNode* root = t.addTop("R1", "root");
        t.add(root, Relation::LastChild, c.key, c.text);
        QStringList KeyList;
        BuildBranchList(root, KeyList);
        const BlobWrite w = SaveDatabaseBlob(t, KeyList);
        EXPECT_FALSE(w.ok());
        EXPECT_TRUE(w.blob.isEmpty());
    }
    NoteTree t;
    t.addTop("R1", "root");
    EXPECT_FALSE(SaveDatabaseBlob(t, {"R1", "Kmissing"}).ok());
}

TEST(TreeBlob, SortedParentShowsChildrenInOrderWhateverTheBlobOrder) {
    const QString blob = entry("Root", "R1", "root", 'E', "02", '1') + entry("R1", "K1", "pear") +
                         entry("R1", "K2", "Apple") + entry("R1", "K3", "banana") +
                         entry("R1", "K4", "apple");
    NoteTree t;
    EXPECT_FALSE(LoadDatabaseBlob(t, blob).damaged());
    EXPECT_EQ(childTexts(t.root()), QStringList({"Apple", "apple", "banana", "pear"}));
    EXPECT_TRUE(t.root()->Expanded());
    EXPECT_EQ(t.root()->Image(), ImageRoot);

    NoteTree empty;
    empty.addTop("Rold", "left over from another section");
    const BlobLoad none = LoadDatabaseBlob(empty, "");
    EXPECT_FALSE(none.damaged());
    EXPECT_TRUE(empty.isEmpty());
}

TEST(TreeBlob, DamageDoesNotLoseTheNotesAfterIt) {
    // Second entry names "Root" as parent, a later one a parent that is not
    // there, another repeats a key; the notes after each must still load.
    const QString blob = entry("Root", "R1", "root", 'E', "02", '0') +
                         entry("Root", "K1", "stray root child") + entry("R1", "K2", "two") +
                         entry("K99", "K3", "orphan") + entry("K3", "K4", "orphan's child") +
                         entry("R1", "K2", "duplicate of two") + entry("K2", "K5", "five");
    NoteTree t;
    const BlobLoad load = LoadDatabaseBlob(t, blob);
    EXPECT_TRUE(load.damaged());
    EXPECT_FALSE(load.truncated);
    EXPECT_EQ(load.problems.size(), 3);
    EXPECT_EQ(shape(t), "R1(K1 K2(K5) K3(K4))");
    EXPECT_EQ(t.node("K2")->Text(), "two");
    EXPECT_EQ(loadErrorMessage(load.errorText()).left(23), "Error Loading Note ... ");
    EXPECT_EQ(QString::fromUtf16(LoadErrorTitle), "LoadDatabaseBlob");
}

TEST(TreeBlob, MalformedLengthEndsReadingAndKeepsWhatCameBefore) {
    const QString good = entry("Root", "R1", "root", 'E', "02", '0') + entry("R1", "K1", "one");
    const QString cases[] = {
        good + "0xR1",                            // non-digit key length
        good + entry("R1", "K2", "two").left(20), // cut in the middle of an entry
        good + "04R",                             // announced length runs past the end
        good + "0",                               // a lone digit
    };
    for (const QString& blob : cases) {
        NoteTree t;
        const BlobLoad load = LoadDatabaseBlob(t, blob);
        EXPECT_TRUE(load.truncated) << blob.toStdString();
        EXPECT_EQ(load.entries, 2);
        EXPECT_EQ(shape(t), "R1(K1)");
        EXPECT_EQ(t.root()->Image(), ImageRoot); // pictures still given
    }
}

TEST(TreeBlob, ANoteKeyedLikeARootKeepsItsPlaceUnderItsParent) {
    // A section's root pasted into another section keeps its "R" key.
    NoteTree t;
    TreeNode* root = t.addTop("RVLR1", "root");
    TreeNode* a = t.add(root, Relation::LastChild, "Ka", "a");
    TreeNode* pasted = t.add(a, Relation::LastChild, "RVLR2", "pasted section");
    t.add(pasted, Relation::LastChild, "Kp", "its note");
    NoteTree back;
    const BlobLoad load = LoadDatabaseBlob(back, blobOf(t));
    EXPECT_FALSE(load.damaged()) << load.errorText().toStdString();
    EXPECT_EQ(shape(back), "RVLR1(Ka(RVLR2(Kp)))");
}
