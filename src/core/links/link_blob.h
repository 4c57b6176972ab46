#pragma once
// The Link blob, the Links field of a note: per link, 3-digit length +
// description, 3-digit length + value, with no separators. Lengths count
// Unicode code points, so any text (tabs, "|", ";", the pilcrow, leading
// digits, emoji) survives. The links panel turns its nodes into a list of
// Link and back through these two functions.
#include <QtCore/QList>
#include <QtCore/QString>

namespace vellicar::links {

inline constexpr int MaxLinkFieldLength = 999;

struct Link {
    QString description;
    QString value;
    bool operator==(const Link&) const = default;
};

struct LinkBlobWrite {
    QString blob;  // empty when refused, or when there are no links
    QString error; // empty on success; names the link that does not fit
    bool ok() const { return error.isEmpty(); }
};

// Encodes the links in order. A description or value longer than 999 code
// points does not fit its length field: the whole blob is refused.
LinkBlobWrite writeLinkBlob(const QList<Link>& links);

struct LinkBlobRead {
    QList<Link> links;
    QString damage; // empty when the blob was well formed
    bool damaged() const { return !damage.isEmpty(); }
};

// Decodes a blob. A length that is not a number counts as 0. Where the text
// ends before a length field or an announced text, reading stops there: the
// partial link is kept with what remains (nothing the user stored is
// hidden) and the damage is reported. Never loops or reads past the end.
LinkBlobRead readLinkBlob(const QString& blob);

// Image index (of the links panel's image list) for a link value: the first
// of these containment tests, ignoring case, decides: pilcrow 14, "mailto:"
// 24, "://" 6, "explorer.exe" 23, ".xls" 30, ".mdb" 33, ".gif" ".bmp" ".ico"
// ".wmf" 29, ".htm" 28, ".txt" 27, ".DOC" ".wri" 5, ".EXE" 25, otherwise 26.
int WhichIcon(const QString& value);

} // namespace vellicar::links
