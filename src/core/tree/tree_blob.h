#pragma once
// The Tree blob: the shape of a section's note tree as one string. Per node,
// in the branch order of BuildBranchList: 2-digit length + parent key ("Root"
// for the root), 2-digit length + key, 3-digit length + text, "00001" + state
// ("E" expanded, "C" collapsed), 2-digit picture, "1"/"0" sorted. Lengths
// count Unicode code points.
#include "core/tree/note_tree.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

namespace vellicar::tree {

inline constexpr int MaxKeyLength = 99;
inline constexpr int MaxTitleLength = 999;

// What the window shows when loading reports problems: the message is
// loadErrorMessage(errorText()), the title LoadErrorTitle, the critical icon.
inline constexpr char16_t LoadErrorTitle[] = u"LoadDatabaseBlob";
QString loadErrorMessage(const QString& description);

struct BlobWrite {
    QString blob;  // empty when refused
    QString error; // empty on success; names the node that does not fit
    bool ok() const { return error.isEmpty(); }
};

// The Tree blob of the nodes listed in KeyList, in that order. The state
// comes from Expanded, the picture from Image, the flag from Sorted; the
// parent key is "Root" for a top-level node. Refuses the whole blob
// (so nothing broken is ever stored) when a key or parent key is longer than
// 99 code points, a text longer than 999, or a listed key is not in the tree.
BlobWrite SaveDatabaseBlob(const NoteTree& tree, const QStringList& KeyList);

struct BlobLoad {
    int entries = 0;        // entries read
    QStringList problems;   // one line per entry not placed as stored
    bool truncated = false; // a malformed length ended the reading
    bool damaged() const { return !problems.isEmpty(); }
    // The description for the window (problems joined by new lines).
    QString errorText() const { return problems.join(QLatin1Char('\n')); }
};

// Replaces the tree's content with the tree of `blob`. The first entry
// becomes the top-level node; each later one the last child of its parent
// (at its sorted place under a sorted parent). Tag is set to the stored
// state, Image to 5, Sorted from the flag; stored pictures are ignored.
// Damage does not stop the loading: an entry whose parent is not in the tree
// goes under the root, an entry whose key is already present is skipped, and
// only a malformed length ends the reading. Every such case is reported.
// Afterwards UpdateImagesOnTree(tree, true) runs.
BlobLoad LoadDatabaseBlob(NoteTree& tree, const QString& blob);

// Gives every node, in Index order, picture 5 without children and 3 with
// children; the node at Index 1 gets 2. With `expand`, each node is expanded
// exactly when its Tag is "E".
void UpdateImagesOnTree(NoteTree& tree, bool expand);

} // namespace vellicar::tree
