// QTextDocument -> RTF. Plain ASCII, every other character as \uN with a '?'
// for readers without Unicode, each text run in a group of its own with its
// full formatting, so the output reads the same in any RTF reader and the
// same document always gives the same bytes.
#include "core/richtext/rtf.h"
#include "core/richtext/rtf_internal.h"
#include "core/richtext/rtf_parser.h"

#include <QtCore/QBuffer>
#include <QtCore/QUrl>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QImageReader>
#include <QtGui/QImageWriter>
#include <QtGui/QTextBlock>
#include <QtGui/QTextDocument>
#include <QtGui/QTextFrame>
#include <QtGui/QTextList>
#include <QtGui/QTextTable>
#include <cmath>
#include <variant>
#include <vector>

namespace vellicar::richtext {

namespace {

using detail::kTwipsPerPixel;

int toTwips(double px) {
    return static_cast<int>(std::lround(std::clamp(px, -2112.0, 2112.0) * kTwipsPerPixel));
}

class Writer {
public:
    explicit Writer(const QTextDocument& doc) : doc_(doc) {
        const QFont def = doc.defaultFont();
        defaultFamily_ = def.family();
        defaultPoints_ = def.pointSizeF() > 0 ? def.pointSizeF() : 12.0;
        fontIndex(defaultFamily_);
    }

    QByteArray run() {
        writeFrame(doc_.rootFrame());
        QByteArray out;
        out.reserve(body_.size() + 512);
        out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n{\\fonttbl";
        for (qsizetype i = 0; i < fonts_.size(); ++i) {
            out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
            out += escapeFontName(fonts_.at(i));
            out += ";}";
        }
        out += "}\r\n";
        if (!colors_.empty()) {
            out += "{\\colortbl ;";
            for (QRgb c : colors_)
                out += "\\red" + QByteArray::number(qRed(c)) + "\\green" +
                       QByteArray::number(qGreen(c)) + "\\blue" + QByteArray::number(qBlue(c)) +
                       ';';
            out += "}\r\n";
        }
        out += body_;
        out += "}\r\n";
        return out;
    }

private:
    using Item = std::variant<QTextBlock, QTextTable*>;

    // The blocks and tables of a frame in order; frames that are not tables
    // only group blocks, so their blocks count as the frame's own.
    static void collect(QTextFrame* frame, std::vector<Item>& items) {
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                if (auto* table = qobject_cast<QTextTable*>(child))
                    items.emplace_back(table);
                else
                    collect(child, items);
            } else if (it.currentBlock().isValid()) {
                items.emplace_back(it.currentBlock());
            }
        }
    }

    void writeFrame(QTextFrame* frame) {
        std::vector<Item> items;
        collect(frame, items);
        for (size_t i = 0; i < items.size(); ++i) {
            if (auto* table = std::get_if<QTextTable*>(&items[i])) {
                writeTable(*table);
                continue;
            }
            writeBlock(std::get<QTextBlock>(items[i]), false);
            // The paragraph mark before a table is what other readers expect;
            // ours folds it into the table's position.
            if (i + 1 < items.size())
                body_ += "\\par\r\n";
        }
    }

    void writeTable(QTextTable* table) {
        const int rows = table->rows();
        const int cols = table->columns();
        const int width = 9360 / std::max(cols, 1);
        for (int r = 0; r < rows; ++r) {
            body_ += "\\trowd\\trgaph108\\trleft0";
            for (int c = 0; c < cols; ++c)
                body_ += "\\clbrdrt\\brdrs\\clbrdrl\\brdrs\\clbrdrb\\brdrs\\clbrdrr\\brdrs\\cellx" +
                         QByteArray::number(width * (c + 1));
            body_ += "\r\n";
            for (int c = 0; c < cols; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (!cell.isValid() || cell.row() != r || cell.column() != c) {
                    // Covered by a merged cell: an empty cell keeps the grid.
                    body_ += "\\pard\\intbl\\cell\r\n";
                    continue;
                }
                std::vector<QTextBlock> blocks;
                for (auto it = cell.begin(); !it.atEnd(); ++it) {
                    if (QTextFrame* nested = it.currentFrame()) {
                        // Tables in cells are written as their cells' paragraphs.
                        for (QTextBlock b = doc_.findBlock(nested->firstPosition());
                             b.isValid() && b.position() < nested->lastPosition(); b = b.next())
                            blocks.push_back(b);
                    } else if (it.currentBlock().isValid()) {
                        blocks.push_back(it.currentBlock());
                    }
                }
                for (size_t k = 0; k < blocks.size(); ++k) {
                    writeBlock(blocks[k], true);
                    body_ += k + 1 < blocks.size() ? "\\par\r\n" : "\\cell\r\n";
                }
                if (blocks.empty())
                    body_ += "\\pard\\intbl\\cell\r\n";
            }
            body_ += "\\row\r\n";
        }
    }

    void writeBlock(const QTextBlock& block, bool inTable) {
        const QTextBlockFormat bf = block.blockFormat();
        body_ += "\\pard";
        if (inTable)
            body_ += "\\intbl";
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        if (a & Qt::AlignHCenter)
            body_ += "\\qc";
        else if (a & (Qt::AlignRight | Qt::AlignTrailing))
            body_ += "\\qr";
        else if (a & Qt::AlignJustify)
            body_ += "\\qj";
        const double left = bf.leftMargin() + bf.indent() * doc_.indentWidth();
        auto dim = [this](const char* word, double px) {
            const int tw = toTwips(px);
            if (tw != 0)
                body_ += QByteArray(word) + QByteArray::number(tw);
        };
        dim("\\li", left);
        dim("\\ri", bf.rightMargin());
        dim("\\fi", bf.textIndent());
        dim("\\sb", std::max(0.0, bf.topMargin()));
        dim("\\sa", std::max(0.0, bf.bottomMargin()));
        body_ += ' ';
        if (QTextList* list = block.textList())
            writeListLabel(list, block);
        QString href; // the link field we are inside, if any
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            const QTextCharFormat cf = frag.charFormat();
            const QString fragHref = cf.isAnchor() ? cf.anchorHref() : QString();
            if (fragHref != href) {
                if (!href.isEmpty())
                    body_ += "}}";
                href = fragHref;
                if (!href.isEmpty())
                    openLink(href);
            }
            if (cf.isImageFormat()) {
                for (int k = 0; k < frag.length(); ++k)
                    writeImage(cf.toImageFormat());
                continue;
            }
            // A run of nothing but control characters writes nothing at all,
            // so reading and writing again gives the same bytes.
            const qsizetype mark = body_.size();
            writeText(frag.text());
            if (body_.size() == mark)
                continue;
            const QByteArray text = body_.mid(mark);
            body_.truncate(mark);
            body_ += '{';
            body_ += charProps(cf);
            body_ += ' ';
            body_ += text;
            body_ += '}';
        }
        if (!href.isEmpty())
            body_ += "}}";
    }

    // Links are HYPERLINK fields, which word processors and rich-edit
    // controls show as links; "#name" targets go out as bookmarks (\l).
    void openLink(const QString& href) {
        body_ += "{\\field{\\*\\fldinst HYPERLINK ";
        QString target = href;
        if (href.startsWith(QLatin1Char('#'))) {
            body_ += "\\\\l ";
            target = href.mid(1);
        }
        body_ += '"';
        for (QChar ch : target) {
            const char16_t c = ch.unicode();
            if (c == u'"')
                body_ += "%22";
            else if (c == u'\\')
                body_ += "\\\\\\\\"; // escaped for the field, then for RTF
            else if (c == u'{' || c == u'}')
                body_ += '\\', body_ += static_cast<char>(c);
            else if (c >= 0x20 && c < 0x80)
                body_ += static_cast<char>(c);
            else if (c >= 0x80)
                writeUnicode(c);
        }
        body_ += "\"}{\\fldrslt ";
    }

    void writeListLabel(QTextList* list, const QTextBlock& block) {
        // Lists become their visible labels, as rich-text controls read them.
        const QTextListFormat::Style style = list->format().style();
        const bool bullet = style == QTextListFormat::ListDisc ||
                            style == QTextListFormat::ListCircle ||
                            style == QTextListFormat::ListSquare;
        const QString label = bullet ? QString() : list->itemText(block);
        body_ += "{\\pntext ";
        if (label.isEmpty())
            body_ += "\\bullet";
        else
            writeText(label);
        body_ += "\\tab}";
    }

    QByteArray charProps(const QTextCharFormat& cf) {
        QByteArray p;
        QString family;
        const QVariant fams = cf.property(QTextFormat::FontFamilies);
        if (fams.isValid() && !fams.toStringList().isEmpty())
            family = fams.toStringList().constFirst();
        else if (cf.hasProperty(QTextFormat::FontFamily))
            family = cf.property(QTextFormat::FontFamily).toString();
        if (family.isEmpty())
            family = defaultFamily_;
        p += "\\f" + QByteArray::number(fontIndex(family));
        double pts = cf.hasProperty(QTextFormat::FontPointSize) ? cf.fontPointSize() : 0;
        if (pts <= 0)
            pts = defaultPoints_;
        p += "\\fs" +
             QByteArray::number(std::clamp(static_cast<int>(std::lround(pts * 2)), 2, 3276));
        if (cf.fontWeight() >= QFont::DemiBold)
            p += "\\b";
        if (cf.fontItalic())
            p += "\\i";
        switch (cf.underlineStyle()) {
        case QTextCharFormat::NoUnderline:
            if (cf.fontUnderline())
                p += "\\ul";
            break;
        case QTextCharFormat::DotLine:
            p += "\\uld";
            break;
        case QTextCharFormat::DashUnderline:
            p += "\\uldash";
            break;
        case QTextCharFormat::DashDotLine:
            p += "\\uldashd";
            break;
        case QTextCharFormat::DashDotDotLine:
            p += "\\uldashdd";
            break;
        case QTextCharFormat::WaveUnderline:
            p += "\\ulwave";
            break;
        default:
            p += "\\ul";
            break;
        }
        if (cf.fontStrikeOut())
            p += "\\strike";
        if (cf.hasProperty(QTextFormat::ForegroundBrush) && cf.foreground().style() != Qt::NoBrush)
            p += "\\cf" + QByteArray::number(colorIndex(cf.foreground().color()));
        if (cf.hasProperty(QTextFormat::BackgroundBrush) && cf.background().style() != Qt::NoBrush)
            p += "\\highlight" + QByteArray::number(colorIndex(cf.background().color()));
        if (cf.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            p += "\\super";
        else if (cf.verticalAlignment() == QTextCharFormat::AlignSubScript)
            p += "\\sub";
        return p;
    }

    void writeText(const QString& text) {
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = text.at(i).unicode();
            switch (c) {
            case u'\\':
            case u'{':
            case u'}':
                body_ += '\\';
                body_ += static_cast<char>(c);
                continue;
            case u'\t':
                body_ += "\\tab ";
                continue;
            case detail::kLineSeparator:
                body_ += "\\line ";
                continue;
            case 0x00A0:
                body_ += "\\~";
                continue;
            case 0x00AD:
                body_ += "\\-";
                continue;
            case 0x2011:
                body_ += "\\_";
                continue;
            case 0x2029:
            case 0xFDD0:
            case 0xFDD1:
                continue;
            default:
                break;
            }
            if (c < 0x20)
                continue;
            if (c < 0x80) {
                body_ += static_cast<char>(c);
                continue;
            }
            writeUnicode(c);
        }
    }

    void writeUnicode(char16_t c) {
        body_ += "\\u";
        body_ += QByteArray::number(c > 32767 ? int(c) - 65536 : int(c));
        body_ += '?';
    }

    void writeImage(const QTextImageFormat& f) {
        if (f.hasProperty(detail::kPictDataProperty)) {
            writeOriginalPicture(f);
            return;
        }
        const QVariant res = doc_.resource(QTextDocument::ImageResource, QUrl(f.name()));
        QByteArray bytes;
        bool jpeg = false;
        QImage image;
        if (res.typeId() == QMetaType::QByteArray) {
            bytes = res.toByteArray();
            if (bytes.startsWith("\x89PNG\r\n\x1a\n")) {
            } else if (bytes.startsWith("\xFF\xD8\xFF")) {
                jpeg = true;
            } else {
                image = QImage::fromData(bytes);
                // Bytes no decoder knows came in as a picture of ours: they
                // go back out as they came rather than being lost.
                if (!image.isNull())
                    bytes.clear();
            }
        } else if (res.canConvert<QImage>()) {
            image = res.value<QImage>();
        }
        if (bytes.isEmpty()) {
            if (image.isNull())
                return; // nothing we can write
            QBuffer buf(&bytes);
            buf.open(QIODevice::WriteOnly);
            QImageWriter w(&buf, "png");
            w.write(image);
        }
        QBuffer buf;
        buf.setData(bytes);
        const QSize natural = QImageReader(&buf).size();
        const double w = f.width() > 0 ? f.width() : natural.width();
        const double h = f.height() > 0 ? f.height() : natural.height();
        body_ += jpeg ? "{\\pict\\jpegblip" : "{\\pict\\pngblip";
        body_ += "\\picw" + QByteArray::number(std::max(natural.width(), 0));
        body_ += "\\pich" + QByteArray::number(std::max(natural.height(), 0));
        body_ += "\\picwgoal" + QByteArray::number(std::max(toTwips(w), 0));
        body_ += "\\pichgoal" + QByteArray::number(std::max(toTwips(h), 0));
        writeHex(bytes);
        body_ += '}';
    }

    void writeOriginalPicture(const QTextImageFormat& f) {
        using K = detail::Picture::Kind;
        const auto kind = static_cast<K>(f.property(detail::kPictKindProperty).toInt());
        const int param = f.property(detail::kPictParamProperty).toInt();
        const QSize natural = f.property(detail::kPictSizeProperty).toSize();
        body_ += "{\\pict";
        switch (kind) {
        case K::Emf:
            body_ += "\\emfblip";
            break;
        case K::Wmf:
            body_ += "\\wmetafile" + QByteArray::number(param);
            break;
        case K::Dib:
            body_ += "\\dibitmap" + QByteArray::number(param);
            break;
        case K::Bitmap:
            body_ += "\\wbitmap" + QByteArray::number(param);
            break;
        case K::Mac:
            body_ += "\\macpict";
            break;
        case K::Png:
            body_ += "\\pngblip";
            break;
        case K::Jpeg:
            body_ += "\\jpegblip";
            break;
        case K::Unknown:
            break;
        }
        body_ += "\\picw" + QByteArray::number(std::max(natural.width(), 0));
        body_ += "\\pich" + QByteArray::number(std::max(natural.height(), 0));
        body_ += "\\picwgoal" + QByteArray::number(std::max(toTwips(f.width()), 0));
        body_ += "\\pichgoal" + QByteArray::number(std::max(toTwips(f.height()), 0));
        writeHex(f.property(detail::kPictDataProperty).toByteArray());
        body_ += '}';
    }

    void writeHex(const QByteArray& bytes) {
        static const char digits[] = "0123456789abcdef";
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (i % 64 == 0)
                body_ += "\r\n";
            const auto b = static_cast<uint8_t>(bytes.at(i));
            body_ += digits[b >> 4];
            body_ += digits[b & 15];
        }
        body_ += "\r\n";
    }

    QByteArray escapeFontName(const QString& name) {
        QByteArray out;
        for (QChar ch : name) {
            const char16_t c = ch.unicode();
            if (c == u';')
                out += "\\'3b";
            else if (c == u'\\' || c == u'{' || c == u'}')
                out += '\\', out += static_cast<char>(c);
            else if (c >= 0x20 && c < 0x80)
                out += static_cast<char>(c);
            else if (c >= 0x80)
                out += "\\u" + QByteArray::number(c > 32767 ? int(c) - 65536 : int(c)) + '?';
        }
        return out;
    }

    int fontIndex(const QString& family) {
        const qsizetype i = fonts_.indexOf(family);
        if (i >= 0)
            return static_cast<int>(i);
        fonts_.append(family);
        return static_cast<int>(fonts_.size() - 1);
    }

    int colorIndex(const QColor& c) {
        const QRgb rgb = qRgb(c.red(), c.green(), c.blue());
        for (size_t i = 0; i < colors_.size(); ++i)
            if (colors_[i] == rgb)
                return static_cast<int>(i) + 1;
        colors_.push_back(rgb);
        return static_cast<int>(colors_.size());
    }

    const QTextDocument& doc_;
    QString defaultFamily_;
    double defaultPoints_ = 12.0;
    QStringList fonts_;
    std::vector<QRgb> colors_;
    QByteArray body_;
};

} // namespace

QByteArray documentToRtf(const QTextDocument& doc) {
    return Writer(doc).run();
}

QString documentToRtfString(const QTextDocument& doc) {
    return QString::fromLatin1(documentToRtf(doc));
}

} // namespace vellicar::richtext
