#include "core/tree/branch_walk.h"

#include <gtest/gtest.h>

using namespace vellicar::tree;

namespace {
// A (B (D (F), E), C)
struct SampleTree {
    NoteTree t;
    SampleTree() {
        TreeNode* a = t.addTop("KA", "A");
        TreeNode* b = t.add(a, Relation::LastChild, "KB", "B");
        t.add(a, Relation::LastChild, "KC", "C");
        TreeNode* d = t.add(b, Relation::LastChild, "KD", "D");
        t.add(b, Relation::LastChild, "KE", "E");
        t.add(d, Relation::LastChild, "KF", "F");
    }
};
} // namespace

TEST(BuildBranchList, ListsEachNodeOnceBeforeItsDescendantsInChildOrder) {
    SampleTree s;
    QStringList KeyList{"stale"};
    BuildBranchList(s.t.node("KA"), KeyList);
    EXPECT_EQ(KeyList, QStringList({"KA", "KB", "KD", "KF", "KE", "KC"}));
    BuildBranchList(s.t.node("KB"), KeyList); // rebuilt, not appended
    EXPECT_EQ(KeyList, QStringList({"KB", "KD", "KF", "KE"}));
    BuildBranchList(s.t.node("KB"), KeyList);
    EXPECT_EQ(KeyList, QStringList({"KB", "KD", "KF", "KE"}));
    BuildBranchList(s.t.node("KF"), KeyList);
    EXPECT_EQ(KeyList, QStringList({"KF"}));
    BuildBranchList(nullptr, KeyList);
    EXPECT_TRUE(KeyList.isEmpty());
}

TEST(BuildBranchList, FollowsDisplayOrderOfSortedChildrenNotOrderOfAdding) {
    NoteTree t;
    TreeNode* root = t.addTop("R", "root");
    t.setSorted(root, true);
    TreeNode* z = t.add(root, Relation::LastChild, "Kz", "zebra");
    t.add(z, Relation::LastChild, "Kz1", "stripe");
    t.add(root, Relation::LastChild, "Ka", "Ant");
    QStringList KeyList;
    BuildBranchList(root, KeyList);
    EXPECT_EQ(KeyList, QStringList({"R", "Ka", "Kz", "Kz1"}));
}

TEST(BuildBranchList, WalksAChainOfFirstChildrenOfAnyDepth) {
    // Deep enough that a recursive walk would exhaust the stack.
    NoteTree t;
    const int depth = 200000;
    TreeNode* n = t.addTop("R", "root");
    for (int i = 1; i < depth; ++i)
        n = t.add(n, Relation::LastChild, "K" + QString::number(i), "n");
    t.add(t.node("K1"), Relation::Next, "Klast", "sibling of the chain's top");
    QStringList KeyList;
    BuildBranchList(t.root(), KeyList);
    ASSERT_EQ(KeyList.size(), depth + 1);
    EXPECT_EQ(KeyList[0], "R");
    EXPECT_EQ(KeyList[1], "K1");
    EXPECT_EQ(KeyList[depth - 1], "K" + QString::number(depth - 1));
    EXPECT_EQ(KeyList[depth], "Klast");
}
