#pragma once
// A whole notebook as JSON, for `vellicar-db export` and `restore`: the
// sections in tab order, each with its tree of nested nodes and the notes'
// fields (links decoded), the master list of index values, the section shown
// last, and every record that no tree reaches, so nothing is hidden.
//
// Layout:
// { "format": "Vellicar Notes notebook", "version": 1,
//   "sections": [ { "key", "title", "selectedKey", "tree": NODE or null,
//                   ["damage": [...], "treeBlob": stored blob when damaged] } ],
//   ["sectionListRaw": stored text when damaged],
//   "sectionShownLast": "03" or null,
//   "indexValues": [...], ["indexValuesRaw": stored text when damaged],
//   "unreached": [ { "key", "Owner", "Title", ... every field } ] }
// NODE: { "key", "text", "expanded", "sorted", ["note": NOTE], ["children": [NODE...]] }
// NOTE: { "Owner", "Title", "Body", "IndexValue", "Created", "Modified", "DueDate",
//         "Reserved1".."Reserved3", "links": [{"description","value"}],
//         ["linksRaw": stored blob when damaged], ["plainText": body as text] }
// Where stored text is damaged, its raw form travels along and restore writes
// it back unchanged, so a restore never loses what the export saw.
#include "core/store/note_record.h"

#include <QtCore/QByteArray>
#include <QtCore/QJsonObject>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <functional>
#include <utility>
#include <vector>

namespace vellicar::tree {

// Where the export reads records from.
struct RecordSource {
    QStringList keys; // every key of the database
    // Reads one record; false when it cannot be read.
    std::function<bool(const QString& key, store::NoteRecord& out)> read;
};

struct NotebookExport {
    QJsonObject json;
    QStringList warnings; // damage found, records that could not be read
};

// With `withText`, each note also carries the plain text of its body.
NotebookExport exportNotebook(const RecordSource& source, bool withText);

// The records a restore writes, in order.
struct RestorePlan {
    std::vector<std::pair<QString, store::NoteRecord>> records;
};

// Checks the JSON and turns it into records without touching any database.
// On failure returns false with `error` naming the place (nothing of the
// plan is to be used then). Never crashes on any input.
bool planRestore(const QByteArray& json, RestorePlan& plan, QString& error);

} // namespace vellicar::tree
