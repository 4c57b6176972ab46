#include "rtf_test_util.h"

#include <gtest/gtest.h>

using namespace vellicar::test;
using vellicar::richtext::looksLikeRtf;
using vellicar::richtext::rtfPlainText;

namespace {

QString viaDocument(const QByteArray& rtf) {
    return readRtf(rtf)->toPlainText();
}

} // namespace

// Search reads every body with the extractor; it must see exactly what the
// editor shows.
TEST(RtfPlainText, FixturesMatchTheDocument) {
    for (const char* name :
         {"richedit_list.rtf", "wordproc_table.rtf", "web_unicode.rtf", "picture.rtf"}) {
        const QByteArray rtf = rtfFixture(name);
        ASSERT_FALSE(rtf.isEmpty()) << name;
        EXPECT_EQ(rtfPlainText(rtf), viaDocument(rtf)) << name;
    }
    EXPECT_EQ(rtfPlainText(rtfFixture("wordproc_table.rtf")),
              QString::fromUtf8("Quarterly figures\nThe table below lists three regions.\n"
                                "Region\nQ1\nQ2\nNorth\n120\n130\nsecond line\n"
                                "\u201cTotals\u201d follow \u2013 see above.\n"));
}

class RtfPlainTextCases : public ::testing::TestWithParam<const char*> {};

TEST_P(RtfPlainTextCases, MatchesTheDocument) {
    const QByteArray rtf(GetParam());
    EXPECT_EQ(rtfPlainText(rtf), viaDocument(rtf));
}

INSTANTIATE_TEST_SUITE_P(
    Tricky, RtfPlainTextCases,
    ::testing::Values(
        // tables in every position
        R"({\rtf1\intbl a\cell\row})",
        R"({\rtf1 x\par\intbl a\cell\row\pard\par\intbl b\cell\row})",
        R"({\rtf1 x\par\intbl a\cell\row\pard\par\par\intbl b\cell\row\pard y\par})",
        R"({\rtf1\intbl a\cell\row\pard\intbl b\cell c\cell\row\pard\trowd\intbl d\cell\row})",
        R"({\rtf1\intbl a\line b\~c\par\cell\row\pard\par})",
        R"({\rtf1\intbl a\cell\row\pard\qc\par\par})", R"({\rtf1 a\par\par\intbl\cell})",
        // line breaks, no-break spaces, pictures
        R"({\rtf1 a\line\line b\~\~c{\pict\wmetafile8 0102}{\pict}})",
        // structure characters arriving as Unicode
        R"({\rtf1 a\u8233?b\u8232?c\u-560?d\u-559?e\u13?f\u160?g})",
        // damage
        "{\\rtf1 a{\\b b", "{\\rtf1 a}}x{\\i y", "{\\rtf1\\intbl a\\cell b", "{\\rtf1 a\\u-10179?",
        "{\\rtf1\\ansicpg932{\\fonttbl{\\f0\\fcharset128 M;}}\\f0 \\'83",
        // not RTF at all
        "plain\r\ntext\rwith\nbreaks\xc2\xa0nbsp\xe2\x80\xa8ls\xef\xb7\x90x", "", "caf\xe9 latin",
        "   {\\rtf1 leading space}"));

TEST(RtfPlainText, StringOverloadsTreatTheBodyAsBytes) {
    const QString body = QString::fromLatin1("{\\rtf1\\ansicpg1252 caf\xe9 \\'e9}");
    EXPECT_EQ(rtfPlainText(body), QString::fromUtf8("caf\u00e9 \u00e9"));
    EXPECT_EQ(rtfPlainText(QString::fromUtf8("{\\rtf1 \u4e2d\U0001F600}")),
              QString::fromUtf8("\u4e2d\U0001F600"));
    EXPECT_EQ(rtfPlainText(QString::fromUtf8("\ufeff{\\rtf1 bom}")), "bom");
    EXPECT_EQ(rtfPlainText(QString::fromUtf8("no rtf \u4e2d\r\nx")),
              QString::fromUtf8("no rtf \u4e2d\nx"));
}

TEST(RtfPlainText, RecognisesRtf) {
    EXPECT_TRUE(looksLikeRtf(QByteArray("{\\rtf1}")));
    EXPECT_TRUE(looksLikeRtf(QByteArray("\xef\xbb\xbf \r\n{\\rtf1}")));
    EXPECT_TRUE(looksLikeRtf(QString::fromUtf8("\ufeff{\\rtf")));
    EXPECT_FALSE(looksLikeRtf(QByteArray("{\\rt")));
    EXPECT_FALSE(looksLikeRtf(QByteArray("x{\\rtf1}")));
    EXPECT_FALSE(looksLikeRtf(QString()));
    // The mark and white space before the document are not text.
    EXPECT_EQ(rtfPlainText(QByteArray("\xef\xbb\xbf\r\n{\\rtf1 x}")), "x");
    EXPECT_EQ(readRtf("\xef\xbb\xbf {\\rtf1 x}")->toPlainText(), "x");
}
