#pragma once
// The section list, the Body of the "Sections" record: for every section tab
// in order, two-digit length + key, two-digit length + caption, with no
// separator, count or terminator. Lengths count Unicode code points.
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace vellicar::store {

// First character of the current-tab marker (pilcrow + space) in front of a
// shown caption; it is never stored.
inline constexpr char16_t CurrentTabMarkerChar = 0x00B6;

struct SectionEntry {
    QString key;
    QString caption;
    bool operator==(const SectionEntry&) const = default;
};

struct SectionListRead {
    QList<SectionEntry> entries; // every entry read before any damage
    QStringList damage;          // empty when the text was well formed
    bool damaged() const { return !damage.isEmpty(); }
};

// Reads a section list. Never loops, crashes or reads past the end: on
// malformed text it keeps the entries read so far and reports the damage.
// The empty text has no entries and is not damage.
SectionListRead readSectionList(const QString& text);

struct SectionListWrite {
    QString text;  // the section list; empty when refused
    QString error; // empty on success; names the entry that does not fit
    bool ok() const { return error.isEmpty(); }
};

// Writes a section list. A caption starting with the pilcrow loses its first
// two characters (the marker). A key or caption longer than 99 code points
// does not fit its length field: the whole list is refused rather than
// written broken.
SectionListWrite writeSectionList(const QList<SectionEntry>& entries);

// Unicode code points in `s` (a lone surrogate counts as one).
int codePointCount(const QString& s);

} // namespace vellicar::store
