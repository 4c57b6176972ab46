#include "core/tree/tree_blob.h"

#include "core/tree/fixed_width.h"

namespace vellicar::tree {

namespace fw = vellicar::fixedwidth;

QString loadErrorMessage(const QString& description) {
    return QStringLiteral("Error Loading Note ... ") + description;
}

namespace {
const QString kRootParent = QStringLiteral("Root");
}

BlobWrite SaveDatabaseBlob(const NoteTree& tree, const QStringList& KeyList) {
    BlobWrite w;
    QString blob;
    for (const QString& key : KeyList) {
        const TreeNode* n = tree.node(key);
        if (!n) {
            w.error = QStringLiteral("The note %1 is not in the tree.").arg(key);
            return w;
        }
        // Only a top-level node is written with "Root": a section's root pasted
        // into another tree keeps its "R" key but has a real parent, and
        // writing "Root" for it would move its branch on the next load.
        const QString& parentKey = n->Parent() ? n->Parent()->Key() : kRootParent;
        if (!fw::appendField(blob, parentKey, 2) || !fw::appendField(blob, key, 2)) {
            w.error = QStringLiteral("The key of the note \"%1\" is longer than %2 characters.")
                          .arg(n->Text().left(60))
                          .arg(MaxKeyLength);
            return w;
        }
        if (!fw::appendField(blob, n->Text(), 3)) {
            w.error =
                QStringLiteral("The title of the note \"%1...\" is longer than %2 characters.")
                    .arg(n->Text().left(60))
                    .arg(MaxTitleLength);
            return w;
        }
        blob += QStringLiteral("00001");
        blob += n->Expanded() ? QLatin1Char('E') : QLatin1Char('C');
        const int image = n->Image();
        fw::appendNumber(blob, (image >= 0 && image <= 99) ? image : ImageNote, 2);
        blob += n->Sorted() ? QLatin1Char('1') : QLatin1Char('0');
    }
    w.blob = std::move(blob);
    return w;
}

namespace {

struct Entry {
    QString parentKey, key, text, state, picture, sorted;
};

// Reads one entry; false on a malformed length or a blob that ends early.
bool readEntry(fw::Reader& r, Entry& e) {
    return r.field(2, e.parentKey) && r.field(2, e.key) && r.field(3, e.text) &&
           r.field(5, e.state) && r.take(2, e.picture) && r.take(1, e.sorted);
}

} // namespace

BlobLoad LoadDatabaseBlob(NoteTree& tree, const QString& blob) {
    BlobLoad result;
    // Read every entry first: the tree can then be sized once, and a damaged
    // tail is known before any node is made.
    std::vector<Entry> entries;
    fw::Reader r(blob);
    while (!r.atEnd()) {
        const qsizetype at = r.position();
        Entry e;
        if (!readEntry(r, e)) {
            result.truncated = true;
            result.problems.append(
                QStringLiteral("The tree is damaged at character %1; the notes after it "
                               "could not be read.")
                    .arg(at + 1));
            break;
        }
        entries.push_back(std::move(e));
    }
    result.entries = int(entries.size());

    tree.beginBulk();
    tree.clear();
    tree.reserve(int(entries.size()));
    QStringList problems;
    for (const Entry& e : entries) {
        if (e.key.isEmpty() || tree.contains(e.key)) {
            problems.append(
                QStringLiteral("The note \"%1\" (%2) appears twice or has no key; it was skipped.")
                    .arg(e.text, e.key));
            continue;
        }
        TreeNode* parent = nullptr;
        if (tree.root()) {
            parent = tree.node(e.parentKey);
            if (!parent) {
                parent = tree.root();
                problems.append(QStringLiteral("The note \"%1\" (%2) names the parent %3, "
                                               "which is not in the tree; it was put "
                                               "under the root.")
                                    .arg(e.text, e.key, e.parentKey));
            }
        }
        TreeNode* n = tree.add(parent, Relation::LastChild, e.key, e.text);
        tree.setTag(n, e.state);
        tree.setImage(n, ImageNote);
        tree.setSorted(n, e.sorted == QLatin1String("1"));
    }
    // Problems in the order of the blob: placement first, a damaged tail last.
    problems += result.problems;
    result.problems = problems;
    UpdateImagesOnTree(tree, true);
    tree.endBulk();
    return result;
}

void UpdateImagesOnTree(NoteTree& tree, bool expand) {
    const int count = tree.count();
    for (int i = 1; i <= count; ++i) {
        TreeNode* n = tree.nodeAt(i);
        tree.setImage(n, i == 1 ? ImageRoot : (n->hasChildren() ? ImageFolder : ImageNote));
        if (expand)
            tree.setExpanded(n, n->Tag() == QLatin1String("E"));
    }
}

} // namespace vellicar::tree
