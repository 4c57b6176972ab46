#include "core/store/note_record.h"

#include <QtCore/QStringDecoder>
#include <QtCore/QtEndian>

namespace vellicar::store {

const std::array<const char*, NoteRecord::FieldCount>& NoteRecord::fieldNames() {
    static const std::array<const char*, FieldCount> names = {
        "Owner",    "Title",   "Body",      "Links",     "IndexValue", "Created",
        "Modified", "DueDate", "Reserved1", "Reserved2", "Reserved3"};
    return names;
}

namespace {
template <typename Rec, typename Field> Field& fieldOf(Rec& r, int i) {
    switch (i) {
    case 0:
        return r.Owner;
    case 1:
        return r.Title;
    case 2:
        return r.Body;
    case 3:
        return r.Links;
    case 4:
        return r.IndexValue;
    case 5:
        return r.Created;
    case 6:
        return r.Modified;
    case 7:
        return r.DueDate;
    case 8:
        return r.Reserved1;
    case 9:
        return r.Reserved2;
    default:
        // Out-of-range indexes land on the last field rather than outside the record.
        return r.Reserved3;
    }
}
} // namespace

QString& NoteRecord::field(int i) {
    return fieldOf<NoteRecord, QString>(*this, i);
}
const QString& NoteRecord::field(int i) const {
    return fieldOf<const NoteRecord, const QString>(*this, i);
}

QByteArray encodeRecord(const NoteRecord& record) {
    QByteArray out;
    for (int i = 0; i < NoteRecord::FieldCount; ++i) {
        const QByteArray utf8 = record.field(i).toUtf8();
        const quint32 length = static_cast<quint32>(utf8.size());
        char prefix[4];
        qToLittleEndian(length, prefix);
        out.append(prefix, 4);
        out.append(utf8);
    }
    return out;
}

bool decodeRecord(const QByteArray& bytes, NoteRecord& out) {
    NoteRecord decoded;
    qsizetype pos = 0;
    const qsizetype size = bytes.size();
    for (int i = 0; i < NoteRecord::FieldCount; ++i) {
        if (size - pos < 4)
            return false;
        const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + pos);
        pos += 4;
        if (static_cast<quint64>(length) > static_cast<quint64>(size - pos))
            return false;
        // Invalid UTF-8 means the bytes are damaged: refuse rather than keep
        // replacement characters that a later save would make permanent.
        // A leading U+FEFF is user text here, not a byte order mark to drop.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        QString text = decoder.decode(QByteArrayView(bytes.constData() + pos, length));
        if (decoder.hasError())
            return false;
        decoded.field(i) = std::move(text);
        pos += length;
    }
    if (pos != size)
        return false;
    out = std::move(decoded);
    return true;
}

} // namespace vellicar::store
