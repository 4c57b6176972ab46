#include "core/richtext/rtf.h"
#include "core/richtext/rtf_internal.h"

#include <QtCore/QStringDecoder>

namespace vellicar::richtext {

namespace {

// Where "{\rtf" starts after an optional byte order mark and white space, or -1.
template <class Char> qsizetype rtfStart(const Char* p, qsizetype n) {
    qsizetype i = 0;
    // UTF-8 byte order mark, or U+FEFF in a QString.
    if (n >= 3 && static_cast<unsigned>(p[0]) == 0xEF && static_cast<unsigned>(p[1]) == 0xBB &&
        static_cast<unsigned>(p[2]) == 0xBF)
        i = 3;
    else if (n >= 1 && static_cast<unsigned>(p[0]) == 0xFEFF)
        i = 1;
    while (i < n && (p[i] == ' ' || p[i] == '\t' || p[i] == '\r' || p[i] == '\n'))
        ++i;
    static const char tag[] = "{\\rtf";
    for (int k = 0; k < 5; ++k)
        if (i + k >= n || p[i + k] != tag[k])
            return -1;
    return i;
}

} // namespace

bool looksLikeRtf(const QByteArray& data) {
    return detail::rtfOffset(data) >= 0;
}

bool looksLikeRtf(const QString& body) {
    return rtfStart(reinterpret_cast<const char16_t*>(body.constData()), body.size()) >= 0;
}

namespace detail {

qsizetype rtfOffset(const QByteArray& data) {
    return rtfStart(reinterpret_cast<const unsigned char*>(data.constData()), data.size());
}

QString decodePlainBytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder latin("windows-1252");
    if (latin.isValid())
        return latin.decode(bytes);
    return QString::fromLatin1(bytes);
}

QString plainTextOfPlainText(QString text) {
    // QTextCursor::insertText turns CR LF, CR, LF and the frame and paragraph
    // marks into block breaks; toPlainText() shows breaks, line separators as
    // '\n' and no-break spaces as ' '.
    QString out;
    out.reserve(text.size());
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        switch (c) {
        case u'\r':
            if (i + 1 < n && p[i + 1] == u'\n')
                ++i;
            out.append(u'\n');
            break;
        case 0x2028:
        case 0x2029:
        case 0xFDD0:
        case 0xFDD1:
            out.append(u'\n');
            break;
        case 0x00A0:
            out.append(u' ');
            break;
        default:
            out.append(p[i]);
            break;
        }
    }
    return out;
}

QByteArray rtfBytesOf(const QString& body) {
    QByteArray out;
    out.reserve(body.size());
    auto escape = [&out](char16_t c) {
        out.append("\\u");
        out.append(QByteArray::number(c > 32767 ? int(c) - 65536 : int(c)));
    };
    const qsizetype n = body.size();
    // A byte order mark before "{\rtf" is not part of the document.
    for (qsizetype i = body.startsWith(QChar(0xFEFF)) ? 1 : 0; i < n; ++i) {
        const char16_t c = body.at(i).unicode();
        if (c < 0x100) {
            out.append(static_cast<char>(c));
            continue;
        }
        // In a group of its own, so \uc0 (no fallback follows) ends with it.
        out.append("{\\uc0");
        escape(c);
        if (QChar::isHighSurrogate(c) && i + 1 < n && body.at(i + 1).isLowSurrogate())
            escape(body.at(++i).unicode());
        out.append('}');
    }
    return out;
}

} // namespace detail

} // namespace vellicar::richtext
