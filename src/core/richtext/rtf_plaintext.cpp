// RTF -> the text a rich-text control shows, without a QTextDocument. The
// sink mirrors what QTextDocument::toPlainText() gives for the document the
// reader would build: '\n' between paragraphs, before every table cell and
// after every table, line separators as '\n', no-break spaces as ' ', U+FFFC
// for each picture.
#include "core/richtext/rtf.h"
#include "core/richtext/rtf_internal.h"
#include "core/richtext/rtf_parser.h"

#include <vector>

namespace vellicar::richtext {

namespace {

using namespace detail;

class TextSink {
public:
    static constexpr bool kDirectText = true;
    static constexpr bool kWantsPictureData = false;
    QString& textTarget() { return *target_; }
    // toPlainText() shows line separators as line breaks and no-break
    // spaces as spaces.
    static char16_t shownAs(char16_t c) {
        return c == kLineSeparator ? u'\n' : c == 0x00A0 ? u' ' : c;
    }
    void text(const QString&, const CharProps&) {}
    void setParagraph(const ParaProps&) {}
    void breakParagraph(const CharProps&) { target_->append(u'\n'); }
    void picture(const Picture&, const CharProps&) { target_->append(QChar(kObjectChar)); }
    void dropEmptyParagraph() {
        if (out_.endsWith(u'\n'))
            out_.chop(1);
    }

    void enterCell(int row, int col) {
        if (static_cast<int>(grid_.size()) <= row)
            grid_.resize(row + 1);
        auto& cells = grid_[row];
        if (static_cast<int>(cells.size()) <= col)
            cells.resize(col + 1);
        columns_ = std::max(columns_, col + 1);
        target_ = &cells[col];
    }

    void endTable() {
        if (grid_.empty())
            return;
        for (const auto& cells : grid_) {
            for (int c = 0; c < columns_; ++c) {
                out_.append(u'\n');
                if (c < static_cast<int>(cells.size()))
                    out_.append(cells[c]);
            }
        }
        out_.append(u'\n');
        grid_.clear();
        columns_ = 0;
        target_ = &out_;
    }

    QString take() { return std::move(out_); }

    void reserve(qsizetype n) { out_.reserve(n); }

private:
    QString out_;
    QString* target_ = &out_;
    std::vector<std::vector<QString>> grid_;
    int columns_ = 0;
};

QString extract(const QByteArray& rtf, qsizetype start) {
    Tables tables;
    TextSink sink;
    sink.reserve(rtf.size() / 2);
    Parser<TextSink> parser(rtf.constData() + start, rtf.size() - start, tables, sink);
    parser.run();
    return sink.take();
}

} // namespace

QString rtfPlainText(const QByteArray& rtf) {
    const qsizetype start = detail::rtfOffset(rtf);
    if (start < 0)
        return detail::plainTextOfPlainText(detail::decodePlainBytes(rtf));
    return extract(rtf, start);
}

QString rtfPlainText(const QString& body) {
    if (!looksLikeRtf(body))
        return detail::plainTextOfPlainText(body);
    const QByteArray bytes = detail::rtfBytesOf(body);
    return extract(bytes, std::max<qsizetype>(detail::rtfOffset(bytes), 0));
}

} // namespace vellicar::richtext
