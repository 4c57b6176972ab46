#include "core/tree/branch_walk.h"

namespace vellicar::tree {

void branchNodes(const TreeNode* node, std::vector<const TreeNode*>& out) {
    out.clear();
    if (!node)
        return;
    // Pre-order with an explicit stack: children are pushed last to first so
    // that the first child comes off first and its whole branch is written
    // before its next sibling.
    std::vector<const TreeNode*> stack{node};
    while (!stack.empty()) {
        const TreeNode* n = stack.back();
        stack.pop_back();
        out.push_back(n);
        const auto& children = n->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
}

void BuildBranchList(const TreeNode* node, QStringList& KeyList) {
    KeyList.clear();
    if (!node)
        return;
    if (!node->Parent())
        KeyList.reserve(node->tree()->count()); // the whole tree, as when saving it
    std::vector<const TreeNode*> stack{node};
    while (!stack.empty()) {
        const TreeNode* n = stack.back();
        stack.pop_back();
        KeyList.append(n->Key());
        const auto& children = n->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
}

} // namespace vellicar::tree
