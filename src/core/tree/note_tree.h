#pragma once
// The note tree of a section: nodes with the properties the note commands
// rely on (Key, Text, Tag, Image, Sorted, Expanded, Parent, Children, Index)
// and a QAbstractItemModel face so a QTreeView can show it. Everything here
// works without widgets; the view is only a window onto this model.
//
// Ownership: NoteTree owns every node. A TreeNode pointer stays valid until
// its node is removed (removeBranch, clear, LoadDatabaseBlob); after that it
// dangles, so callers keep keys, not pointers, across commands that remove.
#include <QtCore/QAbstractItemModel>
#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace vellicar::tree {

// Picture numbers of the tree's image list.
inline constexpr int ImageSearchHit = 1;
inline constexpr int ImageRoot = 2;
inline constexpr int ImageFolder = 3;
inline constexpr int ImageNote = 5;

// Where a new node goes relative to an existing one.
enum class Relation {
    LastChild, // last child of the relative (first place that fits when it is sorted)
    Next,      // right after the relative among its siblings
    Previous,  // right before the relative among its siblings
    First,     // first among the relative's siblings
};

// Alphabetical order without regard to case, used wherever nodes keep their
// children sorted and for the master list of index values: letters compare
// without case and accents first ("Äpfel" among the A's), then accents
// decide. The same in every locale. Returns <0, 0 or >0.
int compareNoCase(const QString& a, const QString& b);

class NoteTree;

class TreeNode {
public:
    const QString& Key() const { return key_; }
    const QString& Text() const { return text_; }
    const QString& Tag() const { return tag_; }
    int Image() const { return image_; }
    bool Sorted() const { return sorted_; }
    bool Expanded() const { return expanded_; }
    TreeNode* Parent() const { return parent_; }
    // Children in display order.
    const std::vector<TreeNode*>& Children() const { return children_; }
    int childCount() const { return int(children_.size()); }
    bool hasChildren() const { return !children_.empty(); }
    TreeNode* Child() const { return children_.empty() ? nullptr : children_.front(); }
    TreeNode* LastChild() const { return children_.empty() ? nullptr : children_.back(); }

    // Position among its siblings (top-level nodes count as siblings), from 0.
    // Cached: constant time.
    int row() const { return row_; }
    // Neighbours among the siblings; nullptr at the ends.
    TreeNode* Next() const;
    TreeNode* Previous() const;
    TreeNode* FirstSibling() const;
    TreeNode* LastSibling() const;

    // Position in the order the nodes were added, from 1; nodes after a
    // removed one move up.
    int Index() const;
    // The tree that owns the node.
    NoteTree* tree() const { return tree_; }

private:
    friend class NoteTree;
    TreeNode() = default;
    const std::vector<TreeNode*>& siblings() const;

    // What a walk of the whole tree reads comes first, to share a cache line.
    QString key_;
    std::vector<TreeNode*> children_;
    TreeNode* parent_ = nullptr;
    int row_ = 0;
    mutable int index_ = 0; // slot in NoteTree::order_ (0-based); see Index()
    NoteTree* tree_ = nullptr;
    QString text_;
    QString tag_;
    int image_ = ImageNote;
    bool sorted_ = false;
    bool expanded_ = false;
};

class NoteTree : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        KeyRole = Qt::UserRole + 1,
        TagRole,
        ImageRole,
        SortedRole,
        ExpandedRole,
        IndexRole,
    };
    // Turns a picture number into what the view draws (an icon, a pixmap).
    // Core code has no widgets, so the window installs one; without it the
    // model offers no decoration.
    using ImageProvider = std::function<QVariant(int image)>;

    explicit NoteTree(QObject* parent = nullptr);
    ~NoteTree() override;

    // --- The node collection ---------------------------------------------
    int count() const;
    bool isEmpty() const { return count() == 0; }
    // Constant-time lookup; nullptr when no node has the key.
    TreeNode* node(const QString& key) const;
    bool contains(const QString& key) const { return byKey_.contains(key); }
    // The node at a 1-based Index, or nullptr.
    TreeNode* nodeAt(int index) const;
    // The first top-level node (a section's root), or nullptr.
    TreeNode* root() const { return topLevel_.empty() ? nullptr : topLevel_.front(); }
    const std::vector<TreeNode*>& topLevel() const { return topLevel_; }

    // --- Changing the tree -----------------------------------------------
    // Adds a node. With relative == nullptr it becomes the last top-level
    // node. Under a sorted parent the node lands at its alphabetical place
    // (after nodes with equal text) whatever the relation. Returns nullptr,
    // and changes nothing, when the key is empty or already present or the
    // relative belongs to another tree.
    TreeNode* add(TreeNode* relative, Relation relation, const QString& key, const QString& text);
    TreeNode* addTop(const QString& key, const QString& text) {
        return add(nullptr, Relation::LastChild, key, text);
    }
    // Removes the node and everything below it.
    void removeBranch(TreeNode* node);
    void clear();
    // Room for `count` nodes, so loading a large tree does not regrow the index.
    void reserve(int count);

    // Under a sorted parent a new text moves the node to its place.
    void setText(TreeNode* node, const QString& text);
    void setTag(TreeNode* node, const QString& tag);
    void setImage(TreeNode* node, int image);
    // Setting the flag sorts the children at once; clearing it keeps their order.
    // Setting it on a node that is already sorted sorts again.
    void setSorted(TreeNode* node, bool sorted);
    // Emits expandedChanged so a view can follow.
    void setExpanded(TreeNode* node, bool expanded);

    // Bulk changes (loading a whole tree): per-node model signals and sorting
    // are held back, and the model is reset once when the outermost end is
    // reached; sorted parents are sorted then. Nested calls are counted.
    void beginBulk();
    void endBulk();
    bool inBulk() const { return bulkDepth_ > 0; }

    // --- The model face ----------------------------------------------------
    void setImageProvider(ImageProvider provider);
    QModelIndex indexOf(const TreeNode* node) const;
    TreeNode* nodeFrom(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    // The model's Expanded flag changed; a view calls setExpanded on itself.
    void expandedChanged(const QModelIndex& index, bool expanded);

private:
    friend class TreeNode;
    std::vector<TreeNode*>& siblingsOf(TreeNode* parent);
    int placeFor(TreeNode* parent, const QString& text, int wanted) const;
    void insertAt(TreeNode* parent, int row, TreeNode* node);
    void detach(TreeNode* node);
    void sortChildren(TreeNode* parent);
    void renumber() const;
    void nodeChanged(TreeNode* node, const QList<int>& roles);

    mutable std::vector<std::unique_ptr<TreeNode>> order_; // order of adding; null = removed
    mutable bool orderHoles_ = false;
    int live_ = 0;
    std::vector<TreeNode*> topLevel_;
    QHash<QString, TreeNode*> byKey_;
    ImageProvider imageProvider_;
    int bulkDepth_ = 0;
};

} // namespace vellicar::tree
