#pragma once
// The two list-valued settings kept as one string each: the database tabs of
// the last run ("DatabaseList") and the Run/Open history ("RunOpenList").
// Both use two-digit length prefixes with no separators. The readers take a
// damaged value apart as far as it is sound and never loop or read past it;
// the writers leave out entries that do not fit their length fields.
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace vellicar::shell {

struct DatabaseListEntry {
    QString path;
    QString caption;
    bool operator==(const DatabaseListEntry&) const = default;
};

struct DatabaseList {
    int position = 0; // wanted tab, counted from 1; 0 when none or unreadable
    QList<DatabaseListEntry> entries;
    bool damaged = false; // the value ended early or held non-digits in a length
};

DatabaseList decodeDatabaseList(const QString& value);
// `position` is written as two digits; an empty list (after leaving out
// entries too long for their fields) gives the empty string.
QString encodeDatabaseList(int position, const QList<DatabaseListEntry>& entries);

struct RunOpenList {
    QStringList entries; // in stored order, empty entries skipped
    bool damaged = false;
};

inline constexpr int RunOpenListMax = 25;
RunOpenList decodeRunOpenList(const QString& value);
// Writes the first RunOpenListMax entries; entries longer than 99 characters
// are left out (they would break the two-digit length).
QString encodeRunOpenList(const QStringList& entries);

// A whole number in the "######" form: no leading zeros, and 0 as the empty text.
QString formatWhole(int value);
// Reads a whole number the way the settings are read back: surrounding blanks
// are allowed; anything else yields `fallback`.
int readWhole(const QString& text, int fallback);

} // namespace vellicar::shell
