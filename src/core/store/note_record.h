#pragma once
// The Note record: every record of a notebook database, special records
// included, has these eleven text fields in this order.
#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <array>

namespace vellicar::store {

struct NoteRecord {
    QString Owner;      // section key of a note; index 1 runs over this field
    QString Title;      // the note's title (the text of its tree node)
    QString Body;       // rich text as RTF
    QString Links;      // Link blob, empty when the note has no links
    QString IndexValue; // keyword from the master list, empty when none
    QString Created;    // date number
    QString Modified;   // date number
    QString DueDate;    // date text, empty when none
    QString Reserved1;
    QString Reserved2;
    QString Reserved3;

    static constexpr int FieldCount = 11;
    static const std::array<const char*, FieldCount>& fieldNames();
    QString& field(int i);
    const QString& field(int i) const;
    void clear() { *this = NoteRecord{}; }
    bool operator==(const NoteRecord&) const = default;
};

// Stored form: for each field in order, its UTF-8 byte length as a 32-bit
// little-endian number followed by the bytes. No user text can break it.
QByteArray encodeRecord(const NoteRecord& record);

// Reads a stored record. Returns false (and leaves `out` untouched) when the
// bytes are not exactly eleven well-formed fields.
bool decodeRecord(const QByteArray& bytes, NoteRecord& out);

} // namespace vellicar::store
