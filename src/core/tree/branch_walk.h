#pragma once
// Branch walking: the keys of a node's branch in pre-order. Deleting, saving,
// cutting, copying, sorting, counting and printing a branch all read it.
#include "core/tree/note_tree.h"

#include <QtCore/QStringList>
#include <vector>

namespace vellicar::tree {

// Empties KeyList (owned by the caller) and fills it with the keys of the
// branch of `node`: entry 0 is the node's own key; every node of the branch is
// listed once, before its descendants; the children of a node follow in their
// display order, each directly followed by its own descendants. Each group of
// siblings is listed once. Linear in the size of the branch, and iterative,
// so a chain of any depth does not exhaust the stack. A null node gives an
// empty list.
void BuildBranchList(const TreeNode* node, QStringList& KeyList);

// The same walk giving the nodes themselves.
void branchNodes(const TreeNode* node, std::vector<const TreeNode*>& out);

} // namespace vellicar::tree
