#include "core/tree/fixed_width.h"

namespace vellicar::fixedwidth {

namespace {
// Code units taken by the code point that starts at `i`.
qsizetype unitsAt(QStringView s, qsizetype i) {
    if (i + 1 < s.size() && QChar::isHighSurrogate(s[i].unicode()) &&
        QChar::isLowSurrogate(s[i + 1].unicode()))
        return 2;
    return 1;
}
} // namespace

int codePoints(QStringView s) {
    int n = 0;
    for (qsizetype i = 0; i < s.size(); i += unitsAt(s, i))
        ++n;
    return n;
}

int maxFor(int width) {
    int m = 1;
    for (int i = 0; i < width; ++i)
        m *= 10;
    return m - 1;
}

void appendNumber(QString& out, int value, int width) {
    out += QString::number(value).rightJustified(width, QLatin1Char('0'));
}

bool appendField(QString& out, QStringView text, int width) {
    const int n = codePoints(text);
    if (n > maxFor(width))
        return false;
    appendNumber(out, n, width);
    out += text;
    return true;
}

bool Reader::number(int width, int& value) {
    if (text_.size() - pos_ < width)
        return false;
    int v = 0;
    for (int i = 0; i < width; ++i) {
        const char16_t c = text_[pos_ + i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    value = v;
    pos_ += width;
    return true;
}

bool Reader::lenientNumber(int width, int& value) {
    if (text_.size() - pos_ < width)
        return false;
    int v = 0;
    for (int i = 0; i < width; ++i) {
        const char16_t c = text_[pos_ + i].unicode();
        if (c < u'0' || c > u'9')
            break;
        v = v * 10 + (c - u'0');
    }
    value = v;
    pos_ += width;
    return true;
}

bool Reader::take(int count, QString& out) {
    qsizetype end = pos_;
    for (int i = 0; i < count; ++i) {
        if (end >= text_.size())
            return false;
        end += unitsAt(text_, end);
    }
    out = text_.mid(pos_, end - pos_).toString();
    pos_ = end;
    return true;
}

bool Reader::field(int width, QString& out, bool lenient) {
    const qsizetype start = pos_;
    int n = 0;
    if (!(lenient ? lenientNumber(width, n) : number(width, n)))
        return false;
    if (!take(n, out)) {
        pos_ = start;
        return false;
    }
    return true;
}

} // namespace vellicar::fixedwidth
