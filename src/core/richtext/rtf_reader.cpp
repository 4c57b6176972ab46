// RTF -> QTextDocument.
#include "core/richtext/rtf.h"
#include "core/richtext/rtf_internal.h"
#include "core/richtext/rtf_parser.h"

#include <QtCore/QBuffer>
#include <QtCore/QCryptographicHash>
#include <QtCore/QUrl>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QImageReader>
#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtGui/QTextFrame>
#include <QtGui/QTextTable>

namespace vellicar::richtext {

namespace {

using namespace detail;

class DocSink {
public:
    static constexpr bool kDirectText = false;
    static constexpr bool kWantsPictureData = true;
    QString& textTarget();

    DocSink(QTextDocument& doc, const Tables& tables) : doc_(doc), cursor_(&doc), tables_(tables) {
        // One edit block for the whole import: the cursor then never lays
        // out the document between insertions.
        cursor_.beginEditBlock();
    }
    ~DocSink() { cursor_.endEditBlock(); }
    DocSink(const DocSink&) = delete;
    DocSink& operator=(const DocSink&) = delete;

    void text(const QString& s, const CharProps& c) { cursor_.insertText(s, format(c)); }

    void setParagraph(const ParaProps& p) { cursor_.setBlockFormat(blockFormat(p)); }

    void breakParagraph(const CharProps& c) { cursor_.insertBlock(QTextBlockFormat(), format(c)); }

    void dropEmptyParagraph() {
        // The paragraph mark before a table only separates it from the text
        // above; QTextDocument puts a table between blocks by itself.
        const QTextBlock prev = cursor_.block().previous();
        if (!prev.isValid() || cursor_.block().length() != 1)
            return;
        const QTextBlockFormat keep = prev.blockFormat();
        cursor_.deletePreviousChar();
        cursor_.setBlockFormat(keep);
    }

    void enterCell(int row, int col) {
        if (!table_) {
            QTextTableFormat tf;
            tf.setBorder(1);
            tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            tf.setBorderCollapse(true);
            tf.setCellPadding(4);
            tf.setCellSpacing(0);
            table_ = cursor_.insertTable(row + 1, col + 1, tf);
        } else {
            if (table_->rows() < row + 1)
                table_->appendRows(row + 1 - table_->rows());
            if (table_->columns() < col + 1)
                table_->appendColumns(col + 1 - table_->columns());
        }
        cursor_ = table_->cellAt(row, col).lastCursorPosition();
    }

    void endTable() {
        if (!table_)
            return;
        // Everything is appended, so after the table is the document's end.
        cursor_ = doc_.rootFrame()->lastCursorPosition();
        table_ = nullptr;
    }

    void picture(const Picture& pic, const CharProps& c) {
        QTextImageFormat f;
        f.merge(format(c));
        const bool shown = (pic.kind == Picture::Kind::Png || pic.kind == Picture::Kind::Jpeg) &&
                           !pic.data.isEmpty();
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(QByteArray::number(static_cast<int>(pic.kind)));
        hash.addData(pic.data);
        const QString digest = QString::fromLatin1(hash.result().toHex().left(24));
        QSizeF size;
        if (pic.goalw > 0 && pic.goalh > 0)
            size = QSizeF(pic.goalw * pic.scalex / 100.0 / kTwipsPerPixel,
                          pic.goalh * pic.scaley / 100.0 / kTwipsPerPixel);
        if (shown) {
            const QString name = QStringLiteral("rtfimage:") + digest;
            doc_.addResource(QTextDocument::ImageResource, QUrl(name), pic.data);
            f.setName(name);
            if (size.isValid()) {
                f.setWidth(size.width());
                f.setHeight(size.height());
            } else if (pic.scalex != 100 || pic.scaley != 100) {
                QBuffer buf;
                buf.setData(pic.data);
                const QSize natural = QImageReader(&buf).size();
                if (natural.isValid()) {
                    f.setWidth(natural.width() * pic.scalex / 100.0);
                    f.setHeight(natural.height() * pic.scaley / 100.0);
                }
            }
        } else {
            // A kind we cannot draw: a grey box of the picture's size stands
            // in for it, and the original goes back out when the note is saved.
            if (!size.isValid())
                size = QSizeF(64, 48);
            const QSize box(std::clamp(qRound(size.width()), 8, 1024),
                            std::clamp(qRound(size.height()), 8, 1024));
            const QString name = QStringLiteral("rtfpicture:") + digest + QLatin1Char('/') +
                                 QString::number(box.width()) + QLatin1Char('x') +
                                 QString::number(box.height());
            const QUrl url(name);
            if (!doc_.resource(QTextDocument::ImageResource, url).isValid())
                doc_.addResource(QTextDocument::ImageResource, url, placeholder(box));
            f.setName(name);
            f.setWidth(size.width());
            f.setHeight(size.height());
            f.setProperty(kPictKindProperty, static_cast<int>(pic.kind));
            f.setProperty(kPictParamProperty, pic.kindParam);
            f.setProperty(kPictDataProperty, pic.data);
            f.setProperty(kPictSizeProperty, QSize(pic.picw, pic.pich));
        }
        cursor_.insertImage(f);
    }

private:
    static QImage placeholder(QSize box) {
        QImage img(box, QImage::Format_RGB32);
        img.fill(QColor(0xE0, 0xE0, 0xE0));
        const QRgb edge = qRgb(0x90, 0x90, 0x90);
        for (int x = 0; x < box.width(); ++x) {
            img.setPixel(x, 0, edge);
            img.setPixel(x, box.height() - 1, edge);
        }
        for (int y = 0; y < box.height(); ++y) {
            img.setPixel(0, y, edge);
            img.setPixel(box.width() - 1, y, edge);
        }
        return img;
    }

    const QTextCharFormat& format(const CharProps& c) {
        if (haveFormat_ && c == lastProps_)
            return lastFormat_;
        QTextCharFormat f;
        if (const FontInfo* fi = tables_.font(c.font); fi && !fi->name.isEmpty())
            f.setFontFamilies(QStringList{fi->name});
        f.setFontPointSize(c.halfPoints / 2.0);
        if (c.bold)
            f.setFontWeight(QFont::Bold);
        if (c.italic)
            f.setFontItalic(true);
        if (c.strike)
            f.setFontStrikeOut(true);
        switch (c.underline) {
        case Underline::None:
            break;
        case Underline::Single:
            f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            break;
        case Underline::Dotted:
            f.setUnderlineStyle(QTextCharFormat::DotLine);
            break;
        case Underline::Dash:
            f.setUnderlineStyle(QTextCharFormat::DashUnderline);
            break;
        case Underline::DashDot:
            f.setUnderlineStyle(QTextCharFormat::DashDotLine);
            break;
        case Underline::DashDotDot:
            f.setUnderlineStyle(QTextCharFormat::DashDotDotLine);
            break;
        case Underline::Wave:
            f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            break;
        }
        if (const Color* col = tables_.color(c.fg))
            f.setForeground(QColor(col->r, col->g, col->b));
        if (const Color* col = tables_.color(c.bg))
            f.setBackground(QColor(col->r, col->g, col->b));
        if (c.link >= 0 && c.link < tables_.links.size()) {
            f.setAnchor(true);
            f.setAnchorHref(tables_.links.at(c.link));
        }
        if (c.valign == VAlign::Super)
            f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        else if (c.valign == VAlign::Sub)
            f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        lastProps_ = c;
        lastFormat_ = f;
        haveFormat_ = true;
        return lastFormat_;
    }

    static QTextBlockFormat blockFormat(const ParaProps& p) {
        QTextBlockFormat f;
        switch (p.align) {
        case Align::Left:
            break;
        case Align::Center:
            f.setAlignment(Qt::AlignHCenter);
            break;
        case Align::Right:
            f.setAlignment(Qt::AlignRight);
            break;
        case Align::Justify:
            f.setAlignment(Qt::AlignJustify);
            break;
        }
        if (p.li)
            f.setLeftMargin(p.li / kTwipsPerPixel);
        if (p.ri)
            f.setRightMargin(p.ri / kTwipsPerPixel);
        if (p.fi)
            f.setTextIndent(p.fi / kTwipsPerPixel);
        if (p.sb)
            f.setTopMargin(p.sb / kTwipsPerPixel);
        if (p.sa)
            f.setBottomMargin(p.sa / kTwipsPerPixel);
        return f;
    }

    QTextDocument& doc_;
    QTextCursor cursor_;
    const Tables& tables_;
    QTextTable* table_ = nullptr;
    CharProps lastProps_;
    QTextCharFormat lastFormat_;
    bool haveFormat_ = false;
};

} // namespace

bool rtfToDocument(const QByteArray& rtf, QTextDocument& doc, QString* error) {
    if (error)
        error->clear();
    const qsizetype start = detail::rtfOffset(rtf);
    if (start < 0) {
        doc.setPlainText(detail::decodePlainBytes(rtf));
        return true;
    }
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    detail::Tables tables;
    DocSink sink(doc, tables);
    detail::Parser<DocSink> parser(rtf.constData() + start, rtf.size() - start, tables, sink);
    const bool ok = parser.run();
    doc.setUndoRedoEnabled(undo);
    if (!ok && error)
        *error = parser.error();
    return ok;
}

bool rtfToDocument(const QString& body, QTextDocument& doc, QString* error) {
    if (!looksLikeRtf(body)) {
        if (error)
            error->clear();
        doc.setPlainText(body);
        return true;
    }
    return rtfToDocument(detail::rtfBytesOf(body), doc, error);
}

} // namespace vellicar::richtext
