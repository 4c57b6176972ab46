#include "core/tree/note_tree.h"
#include "tree_test_util.h"

#include <QtCore/QLoggingCategory>
#include <QtTest/QAbstractItemModelTester>
#include <QtTest/QSignalSpy>
#include <gtest/gtest.h>

using namespace vellicar::tree;
using vellicar::test::childTexts;
using vellicar::test::shape;

namespace {

// Collects what QAbstractItemModelTester complains about, so a broken model
// fails the test instead of scrolling past in the log.
QStringList g_modelWarnings;
QtMessageHandler g_previousHandler = nullptr;
void collectModelWarnings(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
    if (ctx.category && QByteArray(ctx.category).startsWith("qt.modeltest") && type != QtDebugMsg &&
        type != QtInfoMsg)
        g_modelWarnings.append(msg);
    else if (g_previousHandler)
        g_previousHandler(type, ctx, msg);
}

struct ModelWarningsGuard {
    ModelWarningsGuard() {
        g_modelWarnings.clear();
        g_previousHandler = qInstallMessageHandler(collectModelWarnings);
    }
    ~ModelWarningsGuard() { qInstallMessageHandler(g_previousHandler); }
};

} // namespace

TEST(NoteTreeModel, PassesModelTesterThroughEveryKindOfChange) {
    ModelWarningsGuard guard;
    NoteTree t;
    QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::Warning);

    TreeNode* root = t.addTop("RVLR1", "Home");
    TreeNode* a = t.add(root, Relation::LastChild, "Ka", "apple");
    TreeNode* c = t.add(a, Relation::Next, "Kc", "cherry");
    t.add(c, Relation::Previous, "Kb", "banana");
    t.add(a, Relation::First, "K0", "zero");
    t.add(a, Relation::LastChild, "Ka1", "seed");
    t.add(a, Relation::LastChild, "Ka2", "core");
    ASSERT_EQ(shape(t), "RVLR1(K0 Ka(Ka1 Ka2) Kb Kc)");

    t.setSorted(root, true); // sorts at once
    EXPECT_EQ(shape(t), "RVLR1(Ka(Ka1 Ka2) Kb Kc K0)");
    t.setText(t.node("K0"), "Aardvark"); // moves to its place under the sorted root
    EXPECT_EQ(shape(t), "RVLR1(K0 Ka(Ka1 Ka2) Kb Kc)");
    t.setText(t.node("K0"), "Durian");
    EXPECT_EQ(shape(t), "RVLR1(Ka(Ka1 Ka2) Kb Kc K0)");
    t.setSorted(a, true);
    EXPECT_EQ(shape(t), "RVLR1(Ka(Ka2 Ka1) Kb Kc K0)");
    t.setExpanded(a, true);
    t.setImage(a, ImageFolder);
    t.setTag(a, "E");
    t.removeBranch(a);
    EXPECT_EQ(shape(t), "RVLR1(Kb Kc K0)");

    t.beginBulk();
    t.clear();
    TreeNode* r2 = t.addTop("R2", "Other");
    t.setSorted(r2, true);
    t.add(r2, Relation::LastChild, "Kz", "Zed");
    t.add(r2, Relation::LastChild, "Ky", "yak");
    t.endBulk();
    EXPECT_EQ(shape(t), "R2(Ky Kz)");
    t.clear();
    EXPECT_TRUE(t.isEmpty());

    EXPECT_TRUE(g_modelWarnings.isEmpty()) << g_modelWarnings.join('\n').toStdString();
}

struct RelationCase {
    Relation relation;
    const char* relativeKey;
    const char* expected;
};

class NoteTreeRelations : public ::testing::TestWithParam<RelationCase> {};

TEST_P(NoteTreeRelations, NewNodeLandsWhereTheRelationSays) {
    NoteTree t;
    TreeNode* p = t.addTop("RP", "P");
    for (const char* k : {"KA", "KB", "KC"})
        t.add(p, Relation::LastChild, k, QString::fromLatin1(k + 1));
    const RelationCase& c = GetParam();
    TreeNode* x = t.add(t.node(c.relativeKey), c.relation, "KX", "X");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(shape(t), c.expected);
    // Cached rows and the sibling links agree with the children's order.
    for (const TreeNode* n : t.node(c.relativeKey)->Parent() ? p->Children() : t.topLevel()) {
        EXPECT_EQ(n->Parent() ? n->Parent()->Children()[n->row()] : t.topLevel()[n->row()], n);
        if (n->Next()) {
            EXPECT_EQ(n->Next()->Previous(), n);
        }
    }
    EXPECT_EQ(x->FirstSibling()->Previous(), nullptr);
    EXPECT_EQ(x->LastSibling()->Next(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    AllRelations, NoteTreeRelations,
    ::testing::Values(RelationCase{Relation::LastChild, "KB", "RP(KA KB(KX) KC)"},
                      RelationCase{Relation::LastChild, "RP", "RP(KA KB KC KX)"},
                      RelationCase{Relation::Next, "KB", "RP(KA KB KX KC)"},
                      RelationCase{Relation::Next, "KC", "RP(KA KB KC KX)"},
                      RelationCase{Relation::Previous, "KB", "RP(KA KX KB KC)"},
                      RelationCase{Relation::Previous, "KA", "RP(KX KA KB KC)"},
                      RelationCase{Relation::First, "KC", "RP(KX KA KB KC)"},
                      RelationCase{Relation::Next, "RP", "RP(KA KB KC) KX"}));

TEST(NoteTreeSorted, ChildrenStayInCaseInsensitiveOrderWhateverTheRelation) {
    NoteTree t;
    TreeNode* root = t.addTop("R", "root");
    t.setSorted(root, true);
    t.add(root, Relation::LastChild, "K1", "delta");
    TreeNode* b = t.add(root, Relation::LastChild, "K2", "Bravo");
    t.add(b, Relation::Next, "K3", "alpha");         // a sibling asked for after Bravo
    t.add(b, Relation::Previous, "K4", "Charlie");   // and one before it
    t.add(root, Relation::LastChild, "K5", "bravo"); // equal text: after the first one
    t.add(root, Relation::LastChild, "K7", QString::fromUtf8("\u00c4pfel")); // among the A's
    const QString apfel = QString::fromUtf8("\u00c4pfel");
    EXPECT_EQ(childTexts(root),
              QStringList({"alpha", apfel, "Bravo", "bravo", "Charlie", "delta"}));

    // Clearing the flag keeps the order; new nodes then go where asked.
    t.setSorted(root, false);
    t.add(root->Child(), Relation::First, "K6", "zulu");
    EXPECT_EQ(childTexts(root),
              QStringList({"zulu", "alpha", apfel, "Bravo", "bravo", "Charlie", "delta"}));
    // Setting it again sorts at once.
    t.setSorted(root, true);
    EXPECT_EQ(childTexts(root),
              QStringList({"alpha", apfel, "Bravo", "bravo", "Charlie", "delta", "zulu"}));
    EXPECT_LT(compareNoCase("Apfel", apfel), 0); // same letters: the accent decides
    EXPECT_EQ(compareNoCase(apfel, QString::fromUtf8("\u00e4PFEL")), 0);
    for (const TreeNode* n : root->Children())
        EXPECT_EQ(root->Children()[n->row()], n);
}

TEST(NoteTreeCollection, IndexFollowsAddingAndIsRenumberedAfterRemoval) {
    NoteTree t;
    TreeNode* root = t.addTop("R", "root");
    TreeNode* a = t.add(root, Relation::LastChild, "Ka", "a");
    t.add(a, Relation::LastChild, "Ka1", "a1");
    t.add(root, Relation::First, "Kb", "b"); // displayed first, added fourth
    t.add(a, Relation::LastChild, "Ka2", "a2");
    t.add(root, Relation::LastChild, "Kc", "c");

    auto indexes = [&] {
        QStringList keys;
        for (int i = 1; i <= t.count(); ++i)
            keys.append(t.nodeAt(i)->Key() + "=" + QString::number(t.nodeAt(i)->Index()));
        return keys.join(' ');
    };
    EXPECT_EQ(indexes(), "R=1 Ka=2 Ka1=3 Kb=4 Ka2=5 Kc=6");
    t.removeBranch(a);
    EXPECT_EQ(t.count(), 3);
    EXPECT_EQ(indexes(), "R=1 Kb=2 Kc=3");
    EXPECT_EQ(t.nodeAt(4), nullptr);
    EXPECT_EQ(t.nodeAt(0), nullptr);
    for (const char* gone : {"Ka", "Ka1", "Ka2"})
        EXPECT_EQ(t.node(gone), nullptr) << gone;
}

TEST(NoteTreeCollection, AKeyIsPresentOnceOnly) {
    NoteTree t;
    TreeNode* root = t.addTop("R", "root");
    TreeNode* a = t.add(root, Relation::LastChild, "Ka", "first");
    EXPECT_EQ(t.add(root, Relation::LastChild, "Ka", "second"), nullptr);
    EXPECT_EQ(t.addTop("Ka", "again"), nullptr);
    EXPECT_EQ(t.add(root, Relation::LastChild, "", "no key"), nullptr);
    EXPECT_EQ(t.count(), 2);
    EXPECT_EQ(t.node("Ka"), a);
    EXPECT_EQ(a->Text(), "first");

    // A relative from another tree is refused rather than corrupting either.
    NoteTree other;
    TreeNode* foreign = other.addTop("RX", "x");
    EXPECT_EQ(t.add(foreign, Relation::LastChild, "Kn", "n"), nullptr);
    EXPECT_EQ(other.count(), 1);

    // Once removed, the key is free again.
    t.removeBranch(a);
    TreeNode* again = t.add(root, Relation::LastChild, "Ka", "back");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Index(), 2);
}

TEST(NoteTreeModel, ServesRolesPicturesAndExpansionToTheView) {
    NoteTree t;
    TreeNode* root = t.addTop("R", "root");
    TreeNode* a = t.add(root, Relation::LastChild, "Ka", "apple");
    t.setImage(a, ImageFolder);
    t.setTag(a, "E");
    const QModelIndex ia = t.indexOf(a);
    EXPECT_EQ(t.nodeFrom(ia), a);
    EXPECT_EQ(ia.parent(), t.indexOf(root));
    EXPECT_EQ(ia.data().toString(), "apple");
    EXPECT_EQ(ia.data(NoteTree::KeyRole).toString(), "Ka");
    EXPECT_EQ(ia.data(NoteTree::TagRole).toString(), "E");
    EXPECT_EQ(ia.data(NoteTree::ImageRole).toInt(), ImageFolder);
    EXPECT_EQ(ia.data(NoteTree::IndexRole).toInt(), 2);
    EXPECT_FALSE(ia.data(Qt::DecorationRole).isValid()); // no provider installed

    t.setImageProvider([](int image) { return QVariant(QStringLiteral("pic%1").arg(image)); });
    EXPECT_EQ(ia.data(Qt::DecorationRole).toString(), "pic3");

    QSignalSpy spy(&t, &NoteTree::expandedChanged);
    t.setExpanded(a, true);
    t.setExpanded(a, true); // no change, no signal
    t.setExpanded(a, false);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).value<QModelIndex>(), ia);
    EXPECT_TRUE(spy.at(0).at(1).toBool());
    EXPECT_FALSE(spy.at(1).at(1).toBool());
    EXPECT_FALSE(a->Expanded());
}
