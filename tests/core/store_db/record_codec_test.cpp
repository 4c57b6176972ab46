// The stored form of a Note record: every text survives, damaged bytes are refused.
#include "core/store/note_record.h"

#include <QtCore/QtEndian>
#include <gtest/gtest.h>

using vellicar::store::decodeRecord;
using vellicar::store::encodeRecord;
using vellicar::store::NoteRecord;

namespace {

NoteRecord sampleRecord() {
    NoteRecord r;
    r.Owner = QStringLiteral("VLR1A2F");
    r.Title = QStringLiteral("Groceries");
    r.Body = QStringLiteral("{\\rtf1\\ansi {\\b milk} \\u233?}");
    r.Links = QStringLiteral("0305Files");
    r.IndexValue = QStringLiteral("Home");
    r.Created = QStringLiteral("36599.5");
    r.Modified = QStringLiteral("36600.25");
    r.DueDate = QStringLiteral("March 14, 2000");
    return r;
}

QByteArray lengthBytes(quint32 n) {
    char b[4];
    qToLittleEndian(n, b);
    return QByteArray(b, 4);
}

} // namespace

TEST(RecordCodec, FieldNamesFollowTheRecordOrder) {
    NoteRecord r;
    const auto& names = NoteRecord::fieldNames();
    ASSERT_EQ(names.size(), 11u);
    EXPECT_STREQ(names[0], "Owner");
    EXPECT_STREQ(names[4], "IndexValue");
    EXPECT_STREQ(names[7], "DueDate");
    EXPECT_STREQ(names[10], "Reserved3");
    for (int i = 0; i < NoteRecord::FieldCount; ++i)
        r.field(i) = QString::fromLatin1(names[i]);
    EXPECT_EQ(r.Owner, QStringLiteral("Owner"));
    EXPECT_EQ(r.Created, QStringLiteral("Created"));
    EXPECT_EQ(r.Reserved1, QStringLiteral("Reserved1"));
    EXPECT_EQ(r.Reserved3, QStringLiteral("Reserved3"));
}

TEST(RecordCodec, StoredFormIsLengthPrefixedUtf8) {
    NoteRecord r;
    r.Owner = QStringLiteral("ab");
    r.Title = QString::fromUtf8("\xC3\xA9"); // é: one character, two bytes
    QByteArray expected = lengthBytes(2) + "ab" + lengthBytes(2) + "\xC3\xA9";
    for (int i = 2; i < NoteRecord::FieldCount; ++i)
        expected += lengthBytes(0);
    EXPECT_EQ(encodeRecord(r), expected);
}

TEST(RecordCodec, EveryTextRoundTrips) {
    struct Case {
        const char* name;
        QString text;
    };
    const Case cases[] = {
        {"empty", QString()},
        {"accents and CJK", QString::fromUtf8("Caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 na\xC3\xAFve")},
        {"emoji", QString::fromUtf8("\xF0\x9F\x92\xA1 idea \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD")},
        {"NUL and control characters", QString::fromUtf16(u"a\u0000b\u0001\r\n\tc", 8)},
        {"text that looks like a length prefix", QString::fromLatin1("\x05\x00\x00\x00xyz", 8)},
        {"leading U+FEFF", QString::fromUtf16(u"\uFEFFtitle")},
        {"long", QString(70000, QLatin1Char('x'))},
    };
    for (const Case& c : cases) {
        for (int field = 0; field < NoteRecord::FieldCount; ++field) {
            NoteRecord in = sampleRecord();
            in.field(field) = c.text;
            NoteRecord out;
            ASSERT_TRUE(decodeRecord(encodeRecord(in), out)) << c.name << " field " << field;
            EXPECT_EQ(out, in) << c.name << " field " << field;
        }
    }
}

TEST(RecordCodec, EveryTruncationIsRefusedAndLeavesTheTargetAlone) {
    const QByteArray full = encodeRecord(sampleRecord());
    NoteRecord target;
    target.Title = QStringLiteral("untouched");
    for (qsizetype n = 0; n < full.size(); ++n) {
        NoteRecord out = target;
        EXPECT_FALSE(decodeRecord(full.left(n), out)) << "prefix of " << n << " bytes";
        EXPECT_EQ(out, target);
    }
}

TEST(RecordCodec, DamagedBytesAreRefused) {
    const QByteArray good = encodeRecord(sampleRecord());
    QByteArray hugeLength = good;
    hugeLength.replace(0, 4, lengthBytes(0xFFFFFFFFu));
    QByteArray lengthPastEnd = good;
    lengthPastEnd.replace(0, 4, lengthBytes(static_cast<quint32>(good.size())));
    QByteArray badUtf8 = good;
    badUtf8[4] = '\xFF'; // first byte of the Owner text
    QByteArray tenFields;
    for (int i = 0; i < 10; ++i)
        tenFields += lengthBytes(0);
    QByteArray twelveFields = tenFields + lengthBytes(0) + lengthBytes(0);
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"trailing byte", good + 'x'},      {"length 0xFFFFFFFF", hugeLength},
        {"length past end", lengthPastEnd}, {"invalid UTF-8", badUtf8},
        {"ten fields", tenFields},          {"twelve fields", twelveFields},
    };
    for (const Case& c : cases) {
        NoteRecord out = sampleRecord();
        EXPECT_FALSE(decodeRecord(c.bytes, out)) << c.name;
        EXPECT_EQ(out, sampleRecord()) << c.name;
    }
}
