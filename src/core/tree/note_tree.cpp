#include "core/tree/note_tree.h"

#include <algorithm>

namespace vellicar::tree {

namespace {
bool isAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Letters without their accents and case, so "Äpfel" sorts among the A's
// whatever the user's locale; the same in every locale, so a sorted branch
// looks the same on every machine.
QString primaryKey(const QString& s) {
    const QString decomposed = s.normalized(QString::NormalizationForm_KD);
    QString key;
    key.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            key += c;
    return key.toCaseFolded();
}
} // namespace

int compareNoCase(const QString& a, const QString& b) {
    if (isAscii(a) && isAscii(b))
        return QString::compare(a, b, Qt::CaseInsensitive);
    const int primary = QString::compare(primaryKey(a), primaryKey(b), Qt::CaseSensitive);
    if (primary != 0)
        return primary;
    // Same letters: accents decide, case still does not.
    return QString::compare(a, b, Qt::CaseInsensitive);
}

// --- TreeNode ----------------------------------------------------------------

const std::vector<TreeNode*>& TreeNode::siblings() const {
    return parent_ ? parent_->children_ : tree_->topLevel_;
}

TreeNode* TreeNode::Next() const {
    const auto& s = siblings();
    return row_ + 1 < int(s.size()) ? s[row_ + 1] : nullptr;
}

TreeNode* TreeNode::Previous() const {
    return row_ > 0 ? siblings()[row_ - 1] : nullptr;
}

TreeNode* TreeNode::FirstSibling() const {
    return siblings().front();
}

TreeNode* TreeNode::LastSibling() const {
    return siblings().back();
}

int TreeNode::Index() const {
    if (tree_->orderHoles_)
        tree_->renumber();
    return index_ + 1;
}

// --- NoteTree: collection ------------------------------------------------------

NoteTree::NoteTree(QObject* parent) : QAbstractItemModel(parent) {}

NoteTree::~NoteTree() = default;

int NoteTree::count() const {
    return live_;
}

TreeNode* NoteTree::node(const QString& key) const {
    return byKey_.value(key, nullptr);
}

TreeNode* NoteTree::nodeAt(int index) const {
    if (orderHoles_)
        renumber();
    if (index < 1 || index > int(order_.size()))
        return nullptr;
    return order_[index - 1].get();
}

// Removal leaves empty slots so that deleting a branch node by node stays
// linear; the slots are closed, and Index renumbered, when next asked for.
void NoteTree::renumber() const {
    std::erase_if(order_, [](const std::unique_ptr<TreeNode>& n) { return !n; });
    for (size_t i = 0; i < order_.size(); ++i)
        order_[i]->index_ = int(i);
    orderHoles_ = false;
}

std::vector<TreeNode*>& NoteTree::siblingsOf(TreeNode* parent) {
    return parent ? parent->children_ : topLevel_;
}

// Row where a node with `text` goes among the children of `parent`. A sorted
// parent decides the place itself (after equal texts, so equal titles keep
// the order in which they came); otherwise the caller's wish holds.
int NoteTree::placeFor(TreeNode* parent, const QString& text, int wanted) const {
    if (!parent || !parent->sorted_ || bulkDepth_ > 0)
        return wanted;
    const auto& s = parent->children_;
    auto it = std::upper_bound(s.begin(), s.end(), text, [](const QString& t, const TreeNode* n) {
        return compareNoCase(t, n->text_) < 0;
    });
    return int(it - s.begin());
}

void NoteTree::insertAt(TreeNode* parent, int row, TreeNode* node) {
    auto& s = siblingsOf(parent);
    node->parent_ = parent;
    s.insert(s.begin() + row, node);
    for (int i = row; i < int(s.size()); ++i)
        s[i]->row_ = i;
}

void NoteTree::detach(TreeNode* node) {
    auto& s = siblingsOf(node->parent_);
    s.erase(s.begin() + node->row_);
    for (int i = node->row_; i < int(s.size()); ++i)
        s[i]->row_ = i;
}

TreeNode* NoteTree::add(TreeNode* relative, Relation relation, const QString& key,
                        const QString& text) {
    if (key.isEmpty() || byKey_.contains(key))
        return nullptr;
    if (relative && relative->tree_ != this)
        return nullptr;

    TreeNode* parent = nullptr;
    int wanted = 0;
    if (!relative) {
        wanted = int(topLevel_.size());
    } else if (relation == Relation::LastChild) {
        parent = relative;
        wanted = int(relative->children_.size());
    } else {
        parent = relative->parent_;
        switch (relation) {
        case Relation::Next:
            wanted = relative->row_ + 1;
            break;
        case Relation::Previous:
            wanted = relative->row_;
            break;
        default:
            wanted = 0;
            break;
        }
    }
    const int row = placeFor(parent, text, wanted);

    auto owned = std::unique_ptr<TreeNode>(new TreeNode);
    TreeNode* n = owned.get();
    n->tree_ = this;
    n->key_ = key;
    n->text_ = text;

    const bool signal = bulkDepth_ == 0;
    if (signal)
        beginInsertRows(indexOf(parent), row, row);
    n->index_ = int(order_.size());
    order_.push_back(std::move(owned));
    byKey_.insert(key, n);
    ++live_;
    insertAt(parent, row, n);
    if (signal)
        endInsertRows();
    return n;
}

void NoteTree::removeBranch(TreeNode* node) {
    if (!node || node->tree_ != this)
        return;
    const bool signal = bulkDepth_ == 0;
    if (signal)
        beginRemoveRows(indexOf(node->parent_), node->row_, node->row_);
    detach(node);
    std::vector<TreeNode*> stack{node};
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        stack.insert(stack.end(), n->children_.begin(), n->children_.end());
        byKey_.remove(n->key_);
        --live_;
        order_[n->index_].reset();
    }
    orderHoles_ = true;
    if (signal)
        endRemoveRows();
}

void NoteTree::clear() {
    const bool signal = bulkDepth_ == 0;
    if (signal)
        beginResetModel();
    topLevel_.clear();
    byKey_.clear();
    order_.clear();
    orderHoles_ = false;
    live_ = 0;
    if (signal)
        endResetModel();
}

void NoteTree::reserve(int count) {
    if (count <= 0)
        return;
    order_.reserve(size_t(count));
    byKey_.reserve(count);
}

// --- NoteTree: node properties -------------------------------------------------

void NoteTree::nodeChanged(TreeNode* node, const QList<int>& roles) {
    if (bulkDepth_ > 0)
        return;
    const QModelIndex i = indexOf(node);
    Q_EMIT dataChanged(i, i, roles);
}

void NoteTree::setText(TreeNode* node, const QString& text) {
    if (!node || node->tree_ != this)
        return;
    node->text_ = text;
    TreeNode* parent = node->parent_;
    if (parent && parent->sorted_ && bulkDepth_ == 0) {
        // Place among the siblings without the node itself: binary search
        // over the list with the node's slot skipped.
        const auto& s = parent->children_;
        const int old = node->row_;
        int lo = 0, hi = int(s.size()) - 1;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            const TreeNode* m = s[mid < old ? mid : mid + 1];
            if (compareNoCase(text, m->text_) < 0)
                hi = mid;
            else
                lo = mid + 1;
        }
        const int target = lo; // row after removal
        if (target != old) {
            const QModelIndex p = indexOf(parent);
            beginMoveRows(p, old, old, p, target > old ? target + 1 : target);
            detach(node);
            insertAt(parent, target, node);
            endMoveRows();
        }
    }
    nodeChanged(node, {Qt::DisplayRole, Qt::EditRole});
}

void NoteTree::setTag(TreeNode* node, const QString& tag) {
    if (!node || node->tree_ != this)
        return;
    node->tag_ = tag;
    nodeChanged(node, {TagRole});
}

void NoteTree::setImage(TreeNode* node, int image) {
    if (!node || node->tree_ != this || node->image_ == image)
        return;
    node->image_ = image;
    nodeChanged(node, {Qt::DecorationRole, ImageRole});
}

void NoteTree::setSorted(TreeNode* node, bool sorted) {
    if (!node || node->tree_ != this)
        return;
    const bool changed = node->sorted_ != sorted;
    node->sorted_ = sorted;
    if (sorted && bulkDepth_ == 0)
        sortChildren(node);
    if (changed)
        nodeChanged(node, {SortedRole});
}

void NoteTree::sortChildren(TreeNode* parent) {
    auto& s = parent->children_;
    const auto less = [](const TreeNode* a, const TreeNode* b) {
        return compareNoCase(a->text_, b->text_) < 0;
    };
    if (std::is_sorted(s.begin(), s.end(), less))
        return;
    const bool signal = bulkDepth_ == 0;
    const QModelIndex p = signal ? indexOf(parent) : QModelIndex();
    if (signal)
        Q_EMIT layoutAboutToBeChanged({QPersistentModelIndex(p)},
                                      QAbstractItemModel::VerticalSortHint);
    std::stable_sort(s.begin(), s.end(), less);
    for (int i = 0; i < int(s.size()); ++i)
        s[i]->row_ = i;
    if (signal) {
        const QModelIndexList persistent = persistentIndexList();
        for (const QModelIndex& old : persistent) {
            if (old.parent() == p) {
                auto* n = static_cast<TreeNode*>(old.internalPointer());
                changePersistentIndex(old, createIndex(n->row_, old.column(), n));
            }
        }
        Q_EMIT layoutChanged({QPersistentModelIndex(p)}, QAbstractItemModel::VerticalSortHint);
    }
}

void NoteTree::setExpanded(TreeNode* node, bool expanded) {
    if (!node || node->tree_ != this || node->expanded_ == expanded)
        return;
    node->expanded_ = expanded;
    if (bulkDepth_ > 0)
        return;
    nodeChanged(node, {ExpandedRole});
    Q_EMIT expandedChanged(indexOf(node), expanded);
}

void NoteTree::beginBulk() {
    if (bulkDepth_++ == 0)
        beginResetModel();
}

void NoteTree::endBulk() {
    if (bulkDepth_ == 0)
        return;
    if (bulkDepth_ > 1) {
        --bulkDepth_;
        return;
    }
    // Sorting was held back while the nodes came in; one stable sort per
    // sorted parent gives the same order as sorting at every insert. The
    // reset below tells the view, so the sorts themselves stay silent.
    if (orderHoles_)
        renumber();
    for (const auto& n : order_)
        if (n->sorted_)
            sortChildren(n.get());
    bulkDepth_ = 0;
    endResetModel();
}

// --- NoteTree: model face ------------------------------------------------------

void NoteTree::setImageProvider(ImageProvider provider) {
    imageProvider_ = std::move(provider);
    if (!topLevel_.empty() && bulkDepth_ == 0) {
        // Every picture may look different now.
        beginResetModel();
        endResetModel();
    }
}

QModelIndex NoteTree::indexOf(const TreeNode* node) const {
    if (!node || node->tree_ != this)
        return {};
    return createIndex(node->row_, 0, const_cast<TreeNode*>(node));
}

TreeNode* NoteTree::nodeFrom(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<TreeNode*>(index.internalPointer());
}

QModelIndex NoteTree::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (parent.isValid() && parent.column() != 0)
        return {};
    const TreeNode* p = nodeFrom(parent);
    const auto& s = p ? p->children_ : topLevel_;
    if (row >= int(s.size()))
        return {};
    return createIndex(row, 0, s[row]);
}

QModelIndex NoteTree::parent(const QModelIndex& child) const {
    const TreeNode* n = nodeFrom(child);
    if (!n || !n->parent_)
        return {};
    return createIndex(n->parent_->row_, 0, n->parent_);
}

int NoteTree::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const TreeNode* p = nodeFrom(parent);
    return int(p ? p->children_.size() : topLevel_.size());
}

int NoteTree::columnCount(const QModelIndex&) const {
    return 1;
}

bool NoteTree::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant NoteTree::data(const QModelIndex& index, int role) const {
    const TreeNode* n = nodeFrom(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n->text_;
    case Qt::DecorationRole:
        return imageProvider_ ? imageProvider_(n->image_) : QVariant();
    case KeyRole:
        return n->key_;
    case TagRole:
        return n->tag_;
    case ImageRole:
        return n->image_;
    case SortedRole:
        return n->sorted_;
    case ExpandedRole:
        return n->expanded_;
    case IndexRole:
        return n->Index();
    default:
        return {};
    }
}

Qt::ItemFlags NoteTree::flags(const QModelIndex& index) const {
    if (!nodeFrom(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QHash<int, QByteArray> NoteTree::roleNames() const {
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(KeyRole, "key");
    names.insert(TagRole, "tag");
    names.insert(ImageRole, "image");
    names.insert(SortedRole, "sorted");
    names.insert(ExpandedRole, "expanded");
    names.insert(IndexRole, "nodeIndex");
    return names;
}

} // namespace vellicar::tree
