// Cost of the whole-tree operations that run at every section switch and
// save: walking the branch list, building the Tree blob, and loading a blob
// into the model. Each should grow linearly with the number of nodes.
#include "core/tree/branch_walk.h"
#include "core/tree/note_tree.h"
#include "core/tree/tree_blob.h"

#include <QtCore/QRandomGenerator>
#include <benchmark/benchmark.h>

using namespace vellicar::tree;

namespace {

// A section of `count` notes: every node gets up to eight children, titles
// in random order, every branch sorted and expanded, as a well-used notebook.
void fill(NoteTree& t, int count) {
    QRandomGenerator random(42);
    t.beginBulk();
    TreeNode* root = t.addTop(QStringLiteral("RVLR1A2F"), QStringLiteral("Home"));
    t.setSorted(root, true);
    std::vector<TreeNode*> nodes{root};
    nodes.reserve(size_t(count));
    for (int i = 1; i < count; ++i) {
        TreeNode* parent = nodes[size_t(i - 1) / 8];
        TreeNode* n =
            t.add(parent, Relation::LastChild, QStringLiteral("K%1.%2").arg(45000 + i).arg(i),
                  QStringLiteral("Note %1 about things").arg(random.bounded(1000000)));
        t.setSorted(n, true);
        t.setExpanded(n, (i % 3) == 0);
        nodes.push_back(n);
    }
    t.endBulk();
    UpdateImagesOnTree(t, false);
}

// The tree as the program holds it: loaded from its Tree blob.
void load(NoteTree& t, int count) {
    NoteTree built;
    fill(built, count);
    QStringList KeyList;
    BuildBranchList(built.root(), KeyList);
    LoadDatabaseBlob(t, SaveDatabaseBlob(built, KeyList).blob);
}

void BM_BuildBranchList(benchmark::State& state) {
    NoteTree t;
    load(t, int(state.range(0)));
    QStringList KeyList;
    for (auto _ : state) {
        BuildBranchList(t.root(), KeyList);
        benchmark::DoNotOptimize(KeyList.size());
    }
    state.SetComplexityN(state.range(0));
}

// The same walk without copying keys: what the walk costs apart from the
// key list it fills.
void BM_BranchNodes(benchmark::State& state) {
    NoteTree t;
    load(t, int(state.range(0)));
    std::vector<const TreeNode*> nodes;
    for (auto _ : state) {
        branchNodes(t.root(), nodes);
        benchmark::DoNotOptimize(nodes.size());
    }
    state.SetComplexityN(state.range(0));
}

// The blob-building part of SaveSectionTree: the walk and the encoding.
void BM_SaveSectionTreeBlob(benchmark::State& state) {
    NoteTree t;
    load(t, int(state.range(0)));
    QStringList KeyList;
    for (auto _ : state) {
        BuildBranchList(t.root(), KeyList);
        BlobWrite w = SaveDatabaseBlob(t, KeyList);
        benchmark::DoNotOptimize(w.blob.size());
    }
    state.SetComplexityN(state.range(0));
}

// GetTree once the record is read: the blob loaded into the model, sorted
// branches sorted, pictures and expansion given.
void BM_GetTreeLoad(benchmark::State& state) {
    NoteTree source;
    fill(source, int(state.range(0)));
    QStringList KeyList;
    BuildBranchList(source.root(), KeyList);
    const QString blob = SaveDatabaseBlob(source, KeyList).blob;
    NoteTree t;
    for (auto _ : state) {
        BlobLoad load = LoadDatabaseBlob(t, blob);
        benchmark::DoNotOptimize(load.entries);
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_BuildBranchList)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_BranchNodes)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_SaveSectionTreeBlob)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_GetTreeLoad)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

BENCHMARK_MAIN();
