#include "core/richtext/rtf_codepage.h"

#include <QtCore/QMutex>
#include <array>
#include <map>

namespace vellicar::richtext::detail {

namespace {

using Table = std::array<char16_t, 256>;

// The upper half of windows-1252, the code page of almost every note body;
// built in so the common case never touches the converter machinery.
constexpr char16_t k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

Table make1252() {
    Table t{};
    for (int b = 0; b < 256; ++b)
        t[b] = static_cast<char16_t>(b);
    for (int b = 0x80; b < 0xA0; ++b)
        t[b] = k1252High[b - 0x80];
    return t;
}

Table makeSymbol() {
    // Symbol fonts draw their own glyphs; the bytes that lists use as
    // bullets read best as a bullet, the rest as Latin-1.
    Table t{};
    for (int b = 0; b < 256; ++b)
        t[b] = static_cast<char16_t>(b);
    t[0xB7] = 0x2022;
    return t;
}

const char* codePageName(int cp) {
    switch (cp) {
    case 437:
        return "cp437";
    case 850:
        return "cp850";
    case 874:
        return "windows-874";
    case 932:
        return "windows-932";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "windows-950";
    case 1250:
    case 1251:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
        return nullptr; // built from "windows-N" below
    case 10000:
        return "macintosh";
    case 65001:
        return "UTF-8";
    default:
        return nullptr;
    }
}

bool isMultiByte(int cp) {
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 65001;
}

QByteArray decoderName(int cp) {
    if (const char* n = codePageName(cp))
        return QByteArray(n);
    if (cp >= 1250 && cp <= 1258)
        return "windows-" + QByteArray::number(cp);
    return {};
}

std::unique_ptr<Table> makeTable(int cp) {
    auto t = std::make_unique<Table>(make1252());
    const QByteArray name = decoderName(cp);
    if (name.isEmpty())
        return t;
    QStringDecoder dec(name.constData());
    if (!dec.isValid())
        return t;
    for (int b = 0x80; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const QString s = dec.decode(QByteArrayView(&byte, 1));
        dec.resetState();
        (*t)[b] = s.size() == 1 ? s.at(0).unicode() : char16_t(0xFFFD);
    }
    return t;
}

} // namespace

int codePageForCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 2:
        return kSymbolCodePage;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

const char16_t* singleByteTable(int codePage) {
    static const Table t1252 = make1252();
    static const Table tSymbol = makeSymbol();
    if (codePage == 1252 || codePage == 0)
        return t1252.data();
    if (codePage == kSymbolCodePage)
        return tSymbol.data();
    if (isMultiByte(codePage))
        return nullptr;
    static QMutex mutex;
    static std::map<int, std::unique_ptr<Table>> tables;
    QMutexLocker lock(&mutex);
    auto it = tables.find(codePage);
    if (it == tables.end())
        it = tables.emplace(codePage, makeTable(codePage)).first;
    return it->second->data();
}

bool isLeadByte(int codePage, uint8_t b) {
    switch (codePage) {
    case 932:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

std::unique_ptr<QStringDecoder> makeDecoder(int codePage) {
    const QByteArray name = decoderName(codePage);
    auto dec = std::make_unique<QStringDecoder>(name.isEmpty() ? "windows-1252" : name.constData());
    if (!dec->isValid())
        dec = std::make_unique<QStringDecoder>("windows-1252");
    return dec;
}

} // namespace vellicar::richtext::detail
