#pragma once
// A section's tree in the database: the tree record (section key + "Tree",
// Owner "SectionTree", Title the current node's key, Body the Tree blob) and
// the one-time conversion of a section that only has an old category list.
#include "core/platform/clock.h"
#include "core/store/database.h"
#include "core/tree/tree_blob.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

namespace vellicar::tree {

struct TreeSave {
    bool written = false; // false for an empty tree: there is nothing to keep
    QString error;        // empty on success; the record is left untouched otherwise
    bool ok() const { return error.isEmpty(); }
};

// Writes the tree record of `sectionKey` from the whole tree (walked from its
// root) with `currentNodeKey` as Title, then flushes. A tree that cannot be
// encoded (an over-long key or title) is refused and nothing is written. An
// empty tree writes nothing, so a tree that failed to load never wipes its
// record.
TreeSave SaveSectionTree(store::DbState& db, const NoteTree& tree, const QString& sectionKey,
                         const QString& currentNodeKey);

struct TreeLoad {
    enum class From { Nothing, TreeRecord, Categories };
    From from = From::Nothing;
    BlobLoad blob;      // problems met while reading the Tree blob
    QString keptAs;     // key under which a damaged tree record was kept, or empty
    QStringList errors; // writes that failed (conversion records, the kept copy)
    bool damaged() const { return blob.damaged(); }
};

// Key prefix of the copies of damaged tree records. The "!" is produced by no
// key maker, so no note, section or special record can ever take these keys.
QString damagedTreeKeyPrefix(const QString& sectionKey);

// Fills `tree` with the section's tree.
// - With a tree record: loads its Body (LoadDatabaseBlob) and sets
//   SavedSelectionKey to its Title. When the blob is damaged, the record as
//   it was is first kept under damagedTreeKeyPrefix(sectionKey) + a number
//   (once per distinct damaged blob), so the next SaveSectionTree cannot lose
//   what the loader could not place.
// - Else with an old "Categories" record: converts it (root, nine category
//   notes, the old notes of each category under it) and writes the root and
//   category records; the tree record comes with the next SaveSectionTree.
//   `tabCaption` is the caption of the selected section tab.
// - Else: the tree is emptied (it must not go on showing another section)
//   and SavedSelectionKey keeps its value.
TreeLoad GetTree(store::DbState& db, NoteTree& tree, const QString& sectionKey,
                 const QString& tabCaption, const platform::Clock& clock,
                 QString& SavedSelectionKey);

// The nine names of an old "Categories" Body: 2-digit length + name, nine
// times. Missing or unreadable names are empty; there are always nine.
QStringList readCategoryNames(const QString& body);

} // namespace vellicar::tree
