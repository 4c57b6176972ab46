#include "rtf_test_util.h"

#include <QtCore/QBuffer>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QTextBlock>
#include <QtGui/QTextFrame>
#include <QtGui/QTextTable>
#include <gtest/gtest.h>

using namespace vellicar::test;
using vellicar::richtext::documentToRtf;
using vellicar::richtext::documentToRtfString;
using vellicar::richtext::rtfToDocument;

namespace {

QByteArray pngBytes(QSize size, QColor color) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

struct Run {
    QString text;
    QTextCharFormat format;
};

// A document with one paragraph per entry of blocks, each made of runs.
std::unique_ptr<QTextDocument> buildDoc(const QList<QPair<QTextBlockFormat, QList<Run>>>& blocks) {
    auto doc = std::make_unique<QTextDocument>();
    QTextCursor c(doc.get());
    bool first = true;
    for (const auto& [bf, runs] : blocks) {
        if (!first)
            c.insertBlock();
        first = false;
        c.setBlockFormat(bf);
        for (const Run& r : runs)
            c.insertText(r.text, r.format);
    }
    return doc;
}

QList<QTextFragment> fragments(const QTextDocument& doc) {
    QList<QTextFragment> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            out.append(it.fragment());
    return out;
}

} // namespace

TEST(RtfWriter, OutputIsAsciiStableAndIdempotent) {
    auto doc = readRtf(rtfFixture("wordproc_table.rtf"));
    const QByteArray rtf = documentToRtf(*doc);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    for (char ch : rtf)
        ASSERT_EQ(static_cast<unsigned char>(ch) & 0x80, 0);
    EXPECT_EQ(documentToRtf(*doc), rtf);
    // Reading what we wrote and writing it again gives the same bytes.
    auto again = readRtf(rtf);
    EXPECT_EQ(documentToRtf(*again), rtf);
    EXPECT_EQ(again->toPlainText(), doc->toPlainText());
    EXPECT_EQ(documentToRtfString(*doc), QString::fromLatin1(rtf));
}

TEST(RtfWriter, EscapesUnicodeAsSignedSixteenBitWithFallback) {
    QTextDocument doc;
    const QString text = QString::fromUtf8("caf\u00e9 \u20ac \uffe5 \U0001F600 {\\}\t\u00a0x");
    QTextCursor(&doc).insertText(text);
    QTextCursor(&doc).movePosition(QTextCursor::End);
    const QByteArray rtf = documentToRtf(doc);
    EXPECT_TRUE(rtf.contains("caf\\u233?"));
    EXPECT_TRUE(rtf.contains("\\u8364?"));
    EXPECT_TRUE(rtf.contains("\\u-27?")); // U+FFE5 is above 32767
    EXPECT_TRUE(rtf.contains("\\u-10179?\\u-8704?"));
    EXPECT_TRUE(rtf.contains("\\{\\\\\\}\\tab \\~x"));
    auto back = readRtf(rtf);
    EXPECT_EQ(back->toRawText(), text);
}

TEST(RtfWriter, LineBreaksAndParagraphsRoundTrip) {
    QTextDocument doc;
    doc.setPlainText(QString("one") + QChar(0x2028) + "two\n\nthree\n");
    auto back = readRtf(documentToRtf(doc));
    EXPECT_EQ(back->toRawText(), doc.toRawText());
    EXPECT_EQ(back->blockCount(), doc.blockCount());
}

TEST(RtfWriter, RoundTripKeepsCharacterAndParagraphFormats) {
    QTextCharFormat plain;
    plain.setFontFamilies({"Liberation Serif"});
    plain.setFontPointSize(11);
    QTextCharFormat fancy;
    fancy.setFontFamilies({"DejaVu Sans"});
    fancy.setFontPointSize(15.5);
    fancy.setFontWeight(QFont::Bold);
    fancy.setFontItalic(true);
    fancy.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    fancy.setFontStrikeOut(true);
    fancy.setForeground(QColor(10, 20, 30));
    fancy.setBackground(QColor(250, 240, 0));
    QTextCharFormat sup = plain;
    sup.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    sup.setUnderlineStyle(QTextCharFormat::DashUnderline);
    QTextCharFormat sub = plain;
    sub.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    sub.setForeground(QColor(10, 20, 30));

    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    QTextBlockFormat indented;
    indented.setAlignment(Qt::AlignJustify);
    indented.setLeftMargin(40);
    indented.setRightMargin(20);
    indented.setTextIndent(-12);
    indented.setTopMargin(6);
    indented.setBottomMargin(8);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);

    auto doc = buildDoc({{centred, {{"Plain ", plain}, {"fancy", fancy}}},
                         {indented, {{"x", plain}, {"2", sup}, {"y", plain}, {"i", sub}}},
                         {right, {{"end", fancy}}}});
    auto back = readRtf(documentToRtf(*doc));
    ASSERT_EQ(back->toPlainText(), doc->toPlainText());

    const QList<QTextFragment> want = fragments(*doc);
    const QList<QTextFragment> got = fragments(*back);
    ASSERT_EQ(got.size(), want.size());
    for (qsizetype i = 0; i < want.size(); ++i) {
        const QTextCharFormat a = want[i].charFormat(), b = got[i].charFormat();
        SCOPED_TRACE(want[i].text().toStdString());
        EXPECT_EQ(got[i].text(), want[i].text());
        EXPECT_EQ(familyOf(b), familyOf(a));
        EXPECT_DOUBLE_EQ(b.fontPointSize(), a.fontPointSize());
        EXPECT_EQ(b.fontWeight(), a.fontWeight());
        EXPECT_EQ(b.fontItalic(), a.fontItalic());
        EXPECT_EQ(b.underlineStyle(), a.underlineStyle());
        EXPECT_EQ(b.fontStrikeOut(), a.fontStrikeOut());
        EXPECT_EQ(b.foreground(), a.foreground());
        EXPECT_EQ(b.background(), a.background());
        EXPECT_EQ(b.verticalAlignment(), a.verticalAlignment());
    }
    for (int n = 0; n < doc->blockCount(); ++n) {
        const QTextBlockFormat a = doc->findBlockByNumber(n).blockFormat();
        const QTextBlockFormat b = back->findBlockByNumber(n).blockFormat();
        SCOPED_TRACE(n);
        EXPECT_EQ(b.alignment() & Qt::AlignHorizontal_Mask,
                  a.alignment() & Qt::AlignHorizontal_Mask);
        EXPECT_DOUBLE_EQ(b.leftMargin(), a.leftMargin());
        EXPECT_DOUBLE_EQ(b.rightMargin(), a.rightMargin());
        EXPECT_DOUBLE_EQ(b.textIndent(), a.textIndent());
        EXPECT_DOUBLE_EQ(b.topMargin(), a.topMargin());
        EXPECT_DOUBLE_EQ(b.bottomMargin(), a.bottomMargin());
    }
}

TEST(RtfWriter, UnformattedTextTakesTheDocumentFont) {
    QTextDocument doc;
    doc.setDefaultFont(QFont("Liberation Mono", 9));
    doc.setPlainText("hello");
    const QByteArray rtf = documentToRtf(doc);
    EXPECT_TRUE(rtf.contains("{\\f0\\fnil\\fcharset0 Liberation Mono;}"));
    auto back = readRtf(rtf);
    EXPECT_EQ(familyOf(formatOf(*back, "hello")), "Liberation Mono");
    EXPECT_DOUBLE_EQ(formatOf(*back, "hello").fontPointSize(), 9.0);
}

TEST(RtfWriter, FontNamesWithSpecialCharactersSurvive) {
    QTextCharFormat f;
    f.setFontFamilies({QString::fromUtf8("Odd;{Name}\\ \u5b8b")});
    auto doc = buildDoc({{QTextBlockFormat(), {{"x", f}}}});
    auto back = readRtf(documentToRtf(*doc));
    EXPECT_EQ(familyOf(formatOf(*back, "x")), QString::fromUtf8("Odd;{Name}\\ \u5b8b"));
}

TEST(RtfWriter, ImagesRoundTripWithTheirSize) {
    QTextDocument doc;
    const QByteArray png = pngBytes(QSize(5, 7), Qt::blue);
    doc.addResource(QTextDocument::ImageResource, QUrl("mem:a"), png);
    QImage green(3, 2, QImage::Format_RGB32);
    green.fill(Qt::green);
    doc.addResource(QTextDocument::ImageResource, QUrl("mem:b"), green);
    QTextCursor c(&doc);
    c.insertText("a ");
    QTextImageFormat sized;
    sized.setName("mem:a");
    sized.setWidth(50);
    sized.setHeight(70);
    c.insertImage(sized);
    c.insertText(" b ");
    QTextImageFormat natural;
    natural.setName("mem:b");
    c.insertImage(natural);

    const QByteArray rtf = documentToRtf(doc);
    EXPECT_TRUE(rtf.contains("\\pngblip\\picw5\\pich7\\picwgoal750\\pichgoal1050"));
    auto back = readRtf(rtf);
    EXPECT_EQ(back->toPlainText(), doc.toPlainText());
    QList<QTextImageFormat> images;
    for (const QTextFragment& f : fragments(*back))
        if (f.charFormat().isImageFormat())
            images.append(f.charFormat().toImageFormat());
    ASSERT_EQ(images.size(), 2);
    EXPECT_DOUBLE_EQ(images[0].width(), 50.0);
    EXPECT_DOUBLE_EQ(images[0].height(), 70.0);
    EXPECT_EQ(back->resource(QTextDocument::ImageResource, QUrl(images[0].name())).toByteArray(),
              png);
    const QImage b = QImage::fromData(
        back->resource(QTextDocument::ImageResource, QUrl(images[1].name())).toByteArray());
    EXPECT_EQ(b.size(), QSize(3, 2));
    EXPECT_EQ(b.pixelColor(0, 0), QColor(Qt::green));
}

TEST(RtfWriter, PicturesWeCannotShowAreWrittenBackUnchanged) {
    auto doc = readRtf(rtfFixture("picture.rtf"));
    const QByteArray rtf = documentToRtf(*doc);
    EXPECT_TRUE(rtf.contains("{\\pict\\wmetafile8\\picw2000\\pich1000\\picwgoal1134\\pichgoal567"
                             "\r\n010009000003500000000000270000000000\r\n}"));
    EXPECT_FALSE(rtf.contains("nonshppict"));
}

TEST(RtfWriter, TablesRoundTripCellByCell) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText("before");
    QTextTable* t = c.insertTable(2, 3);
    for (int r = 0; r < 2; ++r)
        for (int col = 0; col < 3; ++col)
            if (r != 1 || col != 1)
                t->cellAt(r, col).firstCursorPosition().insertText(
                    QString("r%1c%2").arg(r).arg(col));
    t->cellAt(1, 2).lastCursorPosition().insertBlock();
    t->cellAt(1, 2).lastCursorPosition().insertText("second");
    c.movePosition(QTextCursor::End);
    c.insertText("after");
    const QByteArray rtf = documentToRtf(doc);
    auto back = readRtf(rtf);
    EXPECT_EQ(back->toPlainText(), doc.toPlainText());
    EXPECT_EQ(back->toRawText(), doc.toRawText());
    EXPECT_EQ(documentToRtf(*back), rtf);
}

TEST(RtfWriter, LinksBecomeHyperlinkFieldsAndComeBack) {
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref("https://example.org/a?b=\"c\"");
    link.setForeground(QColor(0, 0, 255));
    QTextCharFormat bold = link;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat local;
    local.setAnchor(true);
    local.setAnchorHref(QString::fromUtf8("#sect\u00e9"));
    QTextCharFormat file;
    file.setAnchor(true);
    file.setAnchorHref("C:\\notes\\a b.txt");
    auto doc = buildDoc({{QTextBlockFormat(),
                          {{"see ", {}},
                           {"the ", link},
                           {"site", bold},
                           {" or ", {}},
                           {"here", local},
                           {" and ", {}},
                           {"file", file}}}});
    const QByteArray rtf = documentToRtf(*doc);
    EXPECT_TRUE(rtf.contains("{\\field{\\*\\fldinst HYPERLINK \"https://example.org/a?b=%22c%22\"}"
                             "{\\fldrslt "));
    EXPECT_TRUE(rtf.contains("HYPERLINK \\\\l \"sect\\u233?\""));
    EXPECT_TRUE(rtf.contains("HYPERLINK \"C:\\\\\\\\notes\\\\\\\\a b.txt\""));
    auto back = readRtf(rtf);
    EXPECT_EQ(back->toPlainText(), "see the site or here and file");
    EXPECT_EQ(formatOf(*back, "the").anchorHref(), "https://example.org/a?b=%22c%22");
    EXPECT_EQ(formatOf(*back, "site").anchorHref(), "https://example.org/a?b=%22c%22");
    EXPECT_EQ(formatOf(*back, "site").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(*back, "here").anchorHref(), QString::fromUtf8("#sect\u00e9"));
    EXPECT_EQ(formatOf(*back, "file").anchorHref(), "C:\\notes\\a b.txt");
    EXPECT_FALSE(formatOf(*back, "or").isAnchor());
}

// Lists made in the editor go out as the labels a rich-text control shows.
TEST(RtfWriter, ListItemsKeepTheirVisibleLabels) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText("Intro");
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    c.insertList(bullets);
    c.insertText("first");
    c.insertBlock();
    c.insertText("second");
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListDecimal);
    c.insertList(numbers);
    c.insertText("one");
    const QByteArray rtf = documentToRtf(doc);
    EXPECT_TRUE(rtf.contains("{\\pntext \\bullet\\tab}"));
    EXPECT_TRUE(rtf.contains("{\\pntext 1.\\tab}"));
    EXPECT_EQ(readRtf(rtf)->toPlainText(),
              QString::fromUtf8("Intro\n\u2022\tfirst\n\u2022\tsecond\n1.\tone"));
}
