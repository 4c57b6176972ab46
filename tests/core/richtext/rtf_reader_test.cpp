#include "rtf_test_util.h"

#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QTextBlock>
#include <QtGui/QTextFrame>
#include <QtGui/QTextTable>
#include <gtest/gtest.h>

using namespace vellicar::test;
using vellicar::richtext::rtfToDocument;

namespace {

QTextTable* firstTable(const QTextDocument& doc) {
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f))
            return t;
    return nullptr;
}

QString cellText(QTextTable* t, int r, int c) {
    QTextCursor cur = t->cellAt(r, c).firstCursorPosition();
    cur.setPosition(t->cellAt(r, c).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cur.selectedText();
}

} // namespace

// What a Windows rich-edit control writes: bullets as \pntext labels, a
// heading, colours from the colour table, \'hh accents in windows-1252.
TEST(RtfReader, RichEditListKeepsLabelsAndFormatting) {
    bool ok = false;
    auto doc = readRtf(rtfFixture("richedit_list.rtf"), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(doc->toPlainText(),
              QString::fromUtf8("Shopping list\n\u2022\tApples\n\u2022\tPears\n"
                                "Caf\u00e9 and na\u00efve r\u00e9sum\u00e9\tx\ny\n"));

    const QTextCharFormat heading = formatOf(*doc, "Shopping");
    EXPECT_EQ(familyOf(heading), "Arial");
    EXPECT_DOUBLE_EQ(heading.fontPointSize(), 14.0);
    EXPECT_EQ(heading.fontWeight(), QFont::Bold);
    EXPECT_EQ(blockFormatOf(*doc, "Shopping").alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);

    const QTextBlockFormat item = blockFormatOf(*doc, "Apples");
    EXPECT_DOUBLE_EQ(item.leftMargin(), 720 / 15.0);
    EXPECT_DOUBLE_EQ(item.textIndent(), -360 / 15.0);
    EXPECT_DOUBLE_EQ(item.bottomMargin(), 200 / 15.0);

    const QTextCharFormat cafe = formatOf(*doc, QString::fromUtf8("Caf\u00e9"));
    EXPECT_EQ(cafe.foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(cafe.fontItalic());
    EXPECT_DOUBLE_EQ(cafe.fontPointSize(), 10.0);
    EXPECT_EQ(formatOf(*doc, "na").underlineStyle(), QTextCharFormat::SingleUnderline);
    EXPECT_FALSE(formatOf(*doc, "and").fontUnderline());
    const QTextCharFormat resume = formatOf(*doc, QString::fromUtf8("r\u00e9sum"));
    EXPECT_TRUE(resume.fontStrikeOut());
    EXPECT_EQ(resume.foreground().color(), QColor(0, 0, 255));
    EXPECT_FALSE(formatOf(*doc, "x").fontStrikeOut());
}

// What a word processor writes: style sheet, document info, header, footnote,
// bookmarks, theme data (none of it shown), a hyperlink field and a table.
TEST(RtfReader, WordProcessorDocumentShowsBodyAndEveryCell) {
    bool ok = false;
    auto doc = readRtf(rtfFixture("wordproc_table.rtf"), &ok);
    EXPECT_TRUE(ok);
    const QString text = doc->toPlainText();
    for (const char* hidden : {"Normal", "heading 1", "A. Writer", "Running header", "footnote",
                               "HYPERLINK", "_Ref1", "504b03", "wordml"})
        EXPECT_FALSE(text.contains(QLatin1String(hidden))) << hidden;
    EXPECT_TRUE(text.startsWith("Quarterly figures\nThe table below lists three regions.\n"));
    EXPECT_TRUE(text.endsWith(QString::fromUtf8("\u201cTotals\u201d follow \u2013 see above.\n")));

    QTextTable* table = firstTable(*doc);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 3);
    EXPECT_EQ(cellText(table, 0, 0), "Region");
    EXPECT_EQ(cellText(table, 0, 2), "Q2");
    EXPECT_EQ(cellText(table, 1, 1), "120");
    EXPECT_EQ(cellText(table, 1, 2), QString("130") + QChar(0x2029) + "second line");
    EXPECT_EQ(formatOf(*doc, "Region").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(*doc, "20").foreground().color(), QColor(192, 0, 0));
    EXPECT_EQ(blockFormatOf(*doc, "130").alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    const QTextCharFormat title = formatOf(*doc, "Quarterly");
    EXPECT_EQ(familyOf(title), "Arial");
    EXPECT_DOUBLE_EQ(title.fontPointSize(), 16.0);
    EXPECT_EQ(familyOf(formatOf(*doc, "table below")), "Calibri");
    const QTextCharFormat link = formatOf(*doc, "three regions");
    EXPECT_EQ(link.foreground().color(), QColor(0, 0, 255));
    EXPECT_TRUE(link.fontUnderline());
    EXPECT_EQ(link.anchorHref(), "https://example.org/q");
    EXPECT_FALSE(formatOf(*doc, "lists").isAnchor());
    EXPECT_DOUBLE_EQ(blockFormatOf(*doc, "Totals").leftMargin(), 48.0);
    // The paragraph mark before the table does not leave an empty line.
    EXPECT_EQ(doc->findBlockByNumber(1).text(), "The table below lists three regions.");
}

// Text pasted from a web page: \uN with fallbacks, surrogate pairs, and
// \'hh in Cyrillic, Japanese and Chinese fonts.
TEST(RtfReader, PastedUnicodeDecodesEveryEscape) {
    auto doc = readRtf(rtfFixture("web_unicode.rtf"));
    EXPECT_EQ(doc->toRawText(),
              QString::fromUtf8("Greek \u03b1\u03b2\u03b3 and \u20ac "
                                "\u041f\u0440\u0438\u0432\u0435\u0442\u2029"
                                "\u65e5\u672c\u8a9e \u4e2d\u6587 emoji \U0001F600 ok\u00a0marked"
                                "\u2029\u4f60\u597d\u2014\u04d2\u2022\u201cq\u201d\u2018s\u2019"
                                "\u2029"));
    EXPECT_EQ(formatOf(*doc, "marked").background().color(), QColor(255, 255, 0));
    EXPECT_EQ(formatOf(*doc, "Greek").foreground().color(), QColor(51, 51, 51));
    EXPECT_DOUBLE_EQ(formatOf(*doc, "Greek").fontPointSize(), 10.5);
}

// A picture as a word processor writes it: PNG in \shppict, with a metafile
// alternative in \nonshppict, and a lone metafile.
TEST(RtfReader, PicturesBecomeImagesAndUnknownKindsPlaceholders) {
    auto doc = readRtf(rtfFixture("picture.rtf"));
    EXPECT_EQ(doc->toPlainText(), QString("Before the picture\n") + QChar(0xFFFC) +
                                      " after it\nA metafile: " + QChar(0xFFFC) + " end.\n");
    QList<QTextImageFormat> images;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                images.append(it.fragment().charFormat().toImageFormat());
    ASSERT_EQ(images.size(), 2);

    EXPECT_DOUBLE_EQ(images[0].width(), 40.0);
    EXPECT_DOUBLE_EQ(images[0].height(), 30.0);
    const QVariant png = doc->resource(QTextDocument::ImageResource, QUrl(images[0].name()));
    const QImage decoded = QImage::fromData(png.toByteArray());
    EXPECT_EQ(decoded.size(), QSize(4, 3));
    EXPECT_EQ(decoded.pixelColor(1, 1), QColor(255, 0, 0));

    EXPECT_DOUBLE_EQ(images[1].width(), 1134 / 15.0);
    const QVariant box = doc->resource(QTextDocument::ImageResource, QUrl(images[1].name()));
    EXPECT_FALSE(box.value<QImage>().isNull());
}

struct EscapeCase {
    const char* name;
    const char* rtf;
    const char* expected; // UTF-8, as toRawText() gives it
};

class RtfEscapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(RtfEscapes, DecodeToText) {
    const EscapeCase& c = GetParam();
    auto doc = readRtf(QByteArray(c.rtf));
    EXPECT_EQ(doc->toRawText(), QString::fromUtf8(c.expected)) << c.rtf;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfEscapes,
    ::testing::Values(
        EscapeCase{"Ansi1252", R"({\rtf1\ansi\ansicpg1252 na\'efve \'80\'93})",
                   "na\u00efve \u20ac\u201c"},
        EscapeCase{"Ansi1251", R"({\rtf1\ansi\ansicpg1251 \'cc\'e8\'f0})", "\u041c\u0438\u0440"},
        EscapeCase{"FontCharsetWins",
                   R"({\rtf1\ansicpg1252{\fonttbl{\f0 A;}{\f1\fcharset161 G;}}\f1 \'e1\f0 \'e1})",
                   "\u03b1\u00e1"},
        EscapeCase{"ShiftJisWithLiteralTrail",
                   R"({\rtf1\ansicpg932{\fonttbl{\f0\fcharset128 M;}}\f0 \'83e\'83X\'83g})",
                   "\u30c6\u30b9\u30c8"},
        EscapeCase{"Big5", R"({\rtf1{\fonttbl{\f0\fcharset136 M;}}\f0 \'a4\'a4\'a4\'e5})",
                   "\u4e2d\u6587"},
        EscapeCase{"EucKr", R"({\rtf1{\fonttbl{\f0\fcharset129 M;}}\f0 \'c7\'d1})", "\ud55c"},
        EscapeCase{"UnicodeSkipsFallback", R"({\rtf1\uc1\u8364?\uc2\u8364\'80\'80 x})",
                   "\u20ac\u20ac x"},
        EscapeCase{"UcZero", R"({\rtf1\uc0\u8364 x})", "\u20acx"},
        EscapeCase{"NegativeUnicode", R"({\rtf1\u-4?\u-28672?})", "\ufffc\u9000"},
        EscapeCase{"SurrogatePair", R"({\rtf1\u-10179?\u-8704?})", "\U0001F600"},
        EscapeCase{"LoneSurrogate", R"({\rtf1 a\u-10179?b})", "a\ufffdb"},
        EscapeCase{"FallbackStopsAtGroup", R"({\rtf1\uc3{\u8364}abc})", "\u20acabc"},
        EscapeCase{"Symbols", R"({\rtf1 a\~b\-c\_d\{\}\\})", "a\u00a0b\u00adc\u2011d{}\\"},
        EscapeCase{"NamedCharacters",
                   R"({\rtf1\emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote})",
                   "\u2014\u2013\u2022\u2018\u2019\u201c\u201d"},
        EscapeCase{"LineTabAndPar", R"({\rtf1 a\line b\tab c\par d})", "a\u2028b\tc\u2029d"},
        EscapeCase{"IgnorableDropped", R"({\rtf1 a{\*\foo hidden {nested}}b})", "ab"},
        EscapeCase{"UnknownWordKeepsText", R"({\rtf1 a{\foo shown}b})", "ashownb"},
        EscapeCase{"HiddenText", R"({\rtf1 a\v secret\v0 b})", "ab"},
        EscapeCase{"BinarySkipped", "{\\rtf1 a\\bin4 \\}{xb}", "ab"},
        EscapeCase{"RawLineBreaksIgnored", "{\\rtf1 a\r\nb\\\r\nc}", "ab\u2029c"},
        EscapeCase{"RawHighBytesUseCodePage", "{\\rtf1\\ansicpg1252 caf\xe9}", "caf\u00e9"},
        EscapeCase{"ControlCharactersDropped", R"({\rtf1 a\u10?\u0?\u65000?b})", "a\ufde8b"}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

struct DamageCase {
    const char* name;
    QByteArray rtf;
    const char* text; // toPlainText()
    bool ok;
};

class RtfDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(RtfDamage, KeepsReadableText) {
    const DamageCase& c = GetParam();
    bool ok = true;
    QString error;
    auto doc = readRtf(c.rtf, &ok, &error);
    EXPECT_EQ(doc->toPlainText(), QString::fromUtf8(c.text));
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(error.isEmpty(), c.ok) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfDamage,
    ::testing::Values(
        DamageCase{"MissingBraces", "{\\rtf1 abc{\\b def", "abcdef", false},
        DamageCase{"ExtraBraces", "{\\rtf1 a}}} b}", "a b", false},
        DamageCase{"TruncatedEscape", "{\\rtf1 abc\\'4", "abc", false},
        DamageCase{"TruncatedWord", "{\\rtf1 abc\\pa", "abc", false},
        DamageCase{"BackslashAtEnd", "{\\rtf1 abc\\", "abc", false},
        DamageCase{"HugeNumbers",
                   "{\\rtf1\\fs99999999999999999999 x\\li-99999999999999 y\\u99999999999?z}",
                   "xy\xef\xbf\xbdz", true},
        DamageCase{"DeepNesting",
                   "{\\rtf1 " + QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "}",
                   "deep", false},
        DamageCase{"BinaryPastEnd", "{\\rtf1 a\\bin500 xyz", "a", false},
        DamageCase{"NulBytes", QByteArray("{\\rtf1 a\0b}", 11), "ab", true},
        DamageCase{"TruncatedPicture", "{\\rtf1 a{\\pict\\pngblip 89504e", "a\xef\xbf\xbc", false},
        DamageCase{"PictureAfterTheEnd", "{\\rtf1 a}\\pict{00", "a", false},
        DamageCase{"TrailingWhitespaceIsFine", "{\\rtf1 a}\r\n \0", "a", true}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST(RtfReader, HugeFontSizeIsLimited) {
    auto doc = readRtf("{\\rtf1\\fs99999999 x}");
    EXPECT_DOUBLE_EQ(formatOf(*doc, "x").fontPointSize(), 1638.0);
}

TEST(RtfReader, NotRtfIsShownAsPlainText) {
    QTextDocument doc;
    EXPECT_TRUE(rtfToDocument(QByteArray("line one\r\nline {two}\\"), doc));
    EXPECT_EQ(doc.toPlainText(), "line one\nline {two}\\");
    // Bytes that are not UTF-8 are read as windows-1252.
    EXPECT_TRUE(rtfToDocument(QByteArray("caf\xe9 \x80"), doc));
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("caf\u00e9 \u20ac"));
    EXPECT_TRUE(rtfToDocument(QString::fromUtf8("\u4e2d {\\rtf1 x}"), doc));
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("\u4e2d {\\rtf1 x}"));
}

TEST(RtfReader, RtfInAStringMayHoldUnicodeDirectly) {
    QTextDocument doc;
    EXPECT_TRUE(
        rtfToDocument(QString::fromUtf8("{\\rtf1 caf\u00e9 \u4e2d\U0001F600\\u8364?}"), doc));
    EXPECT_EQ(doc.toPlainText(), QString::fromUtf8("caf\u00e9 \u4e2d\U0001F600\u20ac"));
}

TEST(RtfReader, ReplacesPreviousContent) {
    QTextDocument doc;
    doc.setPlainText("old text");
    EXPECT_TRUE(rtfToDocument(QByteArray("{\\rtf1 new}"), doc));
    EXPECT_EQ(doc.toPlainText(), "new");
}

struct TableCase {
    const char* name;
    const char* rtf;
    int rows, columns;
    const char* plain;
};

class RtfTables : public ::testing::TestWithParam<TableCase> {};

TEST_P(RtfTables, KeepEveryCellInOrder) {
    const TableCase& c = GetParam();
    auto doc = readRtf(QByteArray(c.rtf));
    QTextTable* table = firstTable(*doc);
    if (c.rows == 0) {
        EXPECT_EQ(table, nullptr);
    } else {
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->rows(), c.rows);
        EXPECT_EQ(table->columns(), c.columns);
    }
    EXPECT_EQ(doc->toPlainText(), QString::fromUtf8(c.plain));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfTables,
    ::testing::Values(
        TableCase{"Simple",
                  R"({\rtf1 top\par\trowd\cellx1\cellx2\intbl a\cell b\cell\row\pard end})", 1, 2,
                  "top\na\nb\nend"},
        TableCase{"AtStart", R"({\rtf1\trowd\intbl a\cell\row})", 1, 1, "\na\n"},
        TableCase{"RaggedRowsGrowColumns",
                  R"({\rtf1\intbl a\cell\row\intbl b\cell c\cell d\cell\row\pard z})", 2, 3,
                  "\na\n\n\nb\nc\nd\nz"},
        TableCase{"EmptyRowsBetweenAreDropped",
                  R"({\rtf1\intbl a\cell\row\row\row\intbl b\cell\row})", 2, 1, "\na\nb\n"},
        TableCase{"EmptyCellsKept", R"({\rtf1\intbl\cell\cell x\cell\row})", 1, 3, "\n\n\nx\n"},
        TableCase{"CellWithoutTableIsTab", R"({\rtf1 a\cell b})", 0, 0, "a\tb"},
        TableCase{"ParagraphsAndPictureInCell",
                  R"({\rtf1\intbl a\par b{\pict\pngblip 00}\cell\row\pard\par c})", 1, 1,
                  "\na\nb\xef\xbf\xbc\n\nc"}),
    [](const ::testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

TEST(RtfReader, OverlyWideRowsKeepTheirText) {
    QByteArray rtf = "{\\rtf1\\intbl ";
    for (int i = 0; i < 100; ++i)
        rtf += "c" + QByteArray::number(i) + "\\cell ";
    rtf += "\\row}";
    auto doc = readRtf(rtf);
    QTextTable* table = firstTable(*doc);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->columns(), 64);
    const QString text = doc->toPlainText();
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(text.contains("c" + QString::number(i))) << i;
    EXPECT_TRUE(text.contains("c63\tc64\tc65"));
}
