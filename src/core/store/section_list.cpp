#include "core/store/section_list.h"

namespace vellicar::store {

namespace {

// Advances `pos` over `n` code points of `s`. Returns false (pos unchanged)
// when fewer than `n` remain.
bool skipCodePoints(const QString& s, qsizetype& pos, int n) {
    qsizetype p = pos;
    for (int i = 0; i < n; ++i) {
        if (p >= s.size())
            return false;
        if (s.at(p).isHighSurrogate() && p + 1 < s.size() && s.at(p + 1).isLowSurrogate())
            p += 2;
        else
            p += 1;
    }
    pos = p;
    return true;
}

// Reads a two-digit length at `pos`; -1 when there are not two ASCII digits.
int readLength(const QString& s, qsizetype& pos) {
    if (s.size() - pos < 2)
        return -1;
    const QChar a = s.at(pos), b = s.at(pos + 1);
    if (a < QLatin1Char('0') || a > QLatin1Char('9') || b < QLatin1Char('0') ||
        b > QLatin1Char('9'))
        return -1;
    pos += 2;
    return (a.unicode() - '0') * 10 + (b.unicode() - '0');
}

// Reads one length-prefixed text; on failure `what` describes the damage.
bool readField(const QString& s, qsizetype& pos, QString& out, const char* name, QString& what) {
    const qsizetype start = pos;
    const int n = readLength(s, pos);
    if (n < 0) {
        what = QStringLiteral("no two-digit %1 length at character %2")
                   .arg(QLatin1String(name))
                   .arg(start + 1);
        return false;
    }
    const qsizetype textStart = pos;
    if (!skipCodePoints(s, pos, n)) {
        pos = start;
        what = QStringLiteral("%1 of length %2 at character %3 runs past the end")
                   .arg(QLatin1String(name))
                   .arg(n)
                   .arg(start + 1);
        return false;
    }
    out = s.mid(textStart, pos - textStart);
    return true;
}

} // namespace

int codePointCount(const QString& s) {
    int count = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

SectionListRead readSectionList(const QString& text) {
    SectionListRead result;
    qsizetype pos = 0;
    // Every pass consumes at least four characters, so the loop ends.
    while (pos < text.size()) {
        SectionEntry entry;
        QString what;
        if (!readField(text, pos, entry.key, "key", what) ||
            !readField(text, pos, entry.caption, "caption", what)) {
            result.damage.append(QStringLiteral("Section list entry %1: %2")
                                     .arg(result.entries.size() + 1)
                                     .arg(what));
            break;
        }
        if (entry.key.isEmpty()) {
            // A tab without a key has no tree to show; skip it but go on.
            result.damage.append(QStringLiteral("Section list entry %1 has an empty key; skipped")
                                     .arg(result.entries.size() + 1));
            continue;
        }
        result.entries.append(entry);
    }
    return result;
}

SectionListWrite writeSectionList(const QList<SectionEntry>& entries) {
    SectionListWrite result;
    QString text;
    for (const SectionEntry& e : entries) {
        QString caption = e.caption;
        if (!caption.isEmpty() && caption.at(0) == QChar(CurrentTabMarkerChar))
            caption.remove(0, 2);
        if (e.key.isEmpty()) {
            result.error = QStringLiteral("The section \"%1\" cannot be saved: it has no key.")
                               .arg(caption.left(40));
            return result;
        }
        const int keyLength = codePointCount(e.key);
        const int captionLength = codePointCount(caption);
        if (keyLength > 99 || captionLength > 99) {
            result.error =
                QStringLiteral("The section \"%1\" cannot be saved: its %2 is longer than 99 "
                               "characters.")
                    .arg(keyLength > 99 ? e.key.left(40) : caption.left(40),
                         keyLength > 99 ? QStringLiteral("key") : QStringLiteral("title"));
            return result;
        }
        text += QStringLiteral("%1").arg(keyLength, 2, 10, QLatin1Char('0'));
        text += e.key;
        text += QStringLiteral("%1").arg(captionLength, 2, 10, QLatin1Char('0'));
        text += caption;
    }
    result.text = text;
    return result;
}

} // namespace vellicar::store
