#pragma once
// Reading and writing the fixed-width decimal length prefixes that the stored
// encodings (Tree blob, Link blob, master list) are made of. Lengths count
// Unicode code points, so a title with emoji or CJK text keeps its length
// whatever the in-memory form; a lone surrogate counts as one.
#include <QtCore/QString>
#include <QtCore/QStringView>

namespace vellicar::fixedwidth {

int codePoints(QStringView s);

// The largest length a field of `width` digits can announce (99, 999, ...).
int maxFor(int width);

// Appends `value` as exactly `width` digits with leading zeros. The caller
// has checked 0 <= value <= maxFor(width).
void appendNumber(QString& out, int value, int width);

// Appends the length of `text` as `width` digits and the text itself.
// Returns false, appending nothing, when the text does not fit the field.
bool appendField(QString& out, QStringView text, int width);

// A cursor over an encoded text. Every read either succeeds and moves on, or
// fails and leaves the position where it was; nothing reads past the end.
class Reader {
public:
    explicit Reader(QStringView text) : text_(text) {}
    bool atEnd() const { return pos_ >= text_.size(); }
    qsizetype position() const { return pos_; }

    // Exactly `width` ASCII digits.
    bool number(int width, int& value);
    // `width` characters read the forgiving way: the leading digits give the
    // value, anything else counts as 0. Fails only when fewer remain.
    bool lenientNumber(int width, int& value);
    // The next `count` code points.
    bool take(int count, QString& out);
    // A length of `width` digits (strict or forgiving) and the text it announces.
    bool field(int width, QString& out, bool lenient = false);

private:
    QStringView text_;
    qsizetype pos_ = 0;
};

} // namespace vellicar::fixedwidth
