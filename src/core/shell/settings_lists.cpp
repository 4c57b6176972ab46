#include "core/shell/settings_lists.h"

#include <algorithm>

namespace vellicar::shell {

namespace {

// Reads `width` digits at `pos`. Returns -1 when the text ends early or a
// character is not an ASCII digit.
int readLength(const QString& s, qsizetype pos, int width) {
    if (pos + width > s.size())
        return -1;
    int n = 0;
    for (int i = 0; i < width; ++i) {
        const QChar c = s.at(pos + i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

// Lengths count code points, so a character outside the basic plane is one.
int codePoints(const QString& s) {
    int n = 0;
    for (qsizetype i = 0; i < s.size(); ++i, ++n) {
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
    }
    return n;
}

// Position `count` code points on from `pos`, or -1 when the text ends first.
qsizetype skipCodePoints(const QString& s, qsizetype pos, int count) {
    for (int k = 0; k < count; ++k) {
        if (pos >= s.size())
            return -1;
        if (s.at(pos).isHighSurrogate() && pos + 1 < s.size() && s.at(pos + 1).isLowSurrogate())
            ++pos;
        ++pos;
    }
    return pos;
}

// Reads one length-prefixed field. Advances `pos` only on success.
bool readField(const QString& s, qsizetype& pos, QString& out) {
    const int n = readLength(s, pos, 2);
    if (n < 0)
        return false;
    const qsizetype end = skipCodePoints(s, pos + 2, n);
    if (end < 0)
        return false;
    out = s.mid(pos + 2, end - pos - 2);
    pos = end;
    return true;
}

QString prefixed(const QString& text) {
    return QStringLiteral("%1").arg(codePoints(text), 2, 10, QLatin1Char('0')) + text;
}

bool fits(const QString& text) {
    return codePoints(text) <= 99;
}

} // namespace

DatabaseList decodeDatabaseList(const QString& value) {
    DatabaseList list;
    if (value.isEmpty())
        return list;
    const int position = readLength(value, 0, 2);
    if (position < 0) {
        list.damaged = true;
        return list;
    }
    list.position = position;
    qsizetype pos = 2;
    while (pos < value.size()) {
        DatabaseListEntry entry;
        if (!readField(value, pos, entry.path) || !readField(value, pos, entry.caption)) {
            list.damaged = true;
            break;
        }
        list.entries.append(entry);
    }
    return list;
}

QString encodeDatabaseList(int position, const QList<DatabaseListEntry>& entries) {
    QString body;
    for (const DatabaseListEntry& e : entries) {
        if (!fits(e.path) || !fits(e.caption))
            continue;
        body += prefixed(e.path) + prefixed(e.caption);
    }
    if (body.isEmpty())
        return {};
    position = std::clamp(position, 0, 99);
    return QStringLiteral("%1").arg(position, 2, 10, QLatin1Char('0')) + body;
}

RunOpenList decodeRunOpenList(const QString& value) {
    RunOpenList list;
    qsizetype pos = 0;
    while (pos < value.size()) {
        QString entry;
        if (!readField(value, pos, entry)) {
            list.damaged = true;
            break;
        }
        if (!entry.isEmpty())
            list.entries.append(entry);
    }
    return list;
}

QString encodeRunOpenList(const QStringList& entries) {
    QString out;
    int written = 0;
    for (const QString& e : entries) {
        if (written == RunOpenListMax)
            break;
        ++written;
        if (fits(e))
            out += prefixed(e);
    }
    return out;
}

QString formatWhole(int value) {
    return value == 0 ? QString() : QString::number(value);
}

int readWhole(const QString& text, int fallback) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : fallback;
}

} // namespace vellicar::shell
