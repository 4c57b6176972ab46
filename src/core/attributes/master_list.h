#pragma once
// The master list of index values, the Title of the "StatusValues" record:
// per entry, 3-digit length + text, with no count or terminator. Lengths
// count Unicode code points. The list is kept in the order of a sorted list
// control: alphabetical without regard to case (tree::compareNoCase), equal
// texts in the order they came.
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace vellicar::attributes {

inline constexpr int MaxIndexValueLength = 999;

struct MasterListRead {
    QStringList entries; // in list order
    QString damage;      // empty when the text was well formed
    bool damaged() const { return !damage.isEmpty(); }
};

// Decodes the stored list and puts the entries in list order. A length that
// is not three digits ends the reading; a length that runs past the end
// keeps what remains as the last entry. Both are reported; nothing loops or
// reads past the end. The empty text is the empty list.
MasterListRead readMasterList(const QString& stored);

struct MasterListWrite {
    QString text;  // the stored form; empty for an empty list or when refused
    QString error; // empty on success; names the entry that does not fit
    bool ok() const { return error.isEmpty(); }
};

// Encodes the entries in the order given (the list control's order). A list
// of one empty entry is stored as the empty text. An entry longer than 999
// code points is refused and nothing is encoded.
MasterListWrite writeMasterList(const QStringList& entries);

// Puts `entries` in list order (stable).
void sortMasterList(QStringList& entries);

// Adds `value` at its place in a list kept in list order, unless an entry
// equal to it (with case) is there already or it is empty. Returns whether
// it was added.
bool addIndexValue(QStringList& entries, const QString& value);

} // namespace vellicar::attributes
