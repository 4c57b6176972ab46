// Any text loaded as a Tree blob: no crash, no endless loop, every node
// reachable from the top, and a tree loaded without damage survives being
// written and read again unchanged.
#include "core/tree/tree_blob.h"
#include "core/tree/branch_walk.h"

#include <cstdint>
#include <cstdlib>

namespace {
using namespace vellicar::tree;

void check(bool ok) {
    if (!ok)
        std::abort();
}

QString shape(const TreeNode* n) {
    QString s = n->Key() + QLatin1Char('=') + n->Text() + (n->Sorted() ? "+" : "-") +
                (n->Expanded() ? "E" : "C") + QString::number(n->Image());
    for (const TreeNode* c : n->Children())
        s += QLatin1Char('(') + shape(c) + QLatin1Char(')');
    return s;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    NoteTree tree;
    const BlobLoad load = LoadDatabaseBlob(tree, text);
    check(tree.count() <= load.entries);
    check(tree.topLevel().size() <= 1);
    if (tree.isEmpty())
        return 0;

    QStringList KeyList;
    BuildBranchList(tree.root(), KeyList);
    check(KeyList.size() == tree.count()); // nothing hangs outside the root's branch
    for (int i = 1; i <= tree.count(); ++i)
        check(tree.nodeAt(i)->Index() == i && tree.node(tree.nodeAt(i)->Key()) == tree.nodeAt(i));

    const BlobWrite written = SaveDatabaseBlob(tree, KeyList);
    check(written.ok()); // whatever was read fits its fields
    NoteTree again;
    const BlobLoad reload = LoadDatabaseBlob(again, written.blob);
    check(!reload.damaged());
    check(shape(again.root()) == shape(tree.root()));
    QStringList keys2;
    BuildBranchList(again.root(), keys2);
    check(SaveDatabaseBlob(again, keys2).blob == written.blob);
    return 0;
}
