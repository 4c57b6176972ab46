// The RTF tokenizer and state machine shared by the document reader and the
// plain-text extractor. Both see the same events from the same parser, so the
// extractor's text cannot drift from what the reader puts in a document.
//
// A Sink receives:
//   text(const QString&, const CharProps&)   a run of characters
//   setParagraph(const ParaProps&)           format of the current paragraph
//   breakParagraph(const CharProps&)         start a new paragraph
//   picture(const Picture&, const CharProps&)
//   dropEmptyParagraph()                     the empty paragraph just started
//                                            gives way to a table
//   enterCell(int row, int column)           move into a table cell (a table
//                                            starts at the first call)
//   endTable()                               continue after the table
// and declares
//   kDirectText        true: text goes straight into textTarget(), mapped by
//                      shownAs(), and text() is never called
//   kWantsPictureData  false: picture bytes are skipped unread
#pragma once

#include "core/richtext/rtf_codepage.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QStringDecoder>
#include <QtCore/QStringList>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace vellicar::richtext::detail {

// Limits that keep hostile input cheap: deeper groups share their parent's
// state, wider rows continue in the last column, longer tables split.
inline constexpr int kMaxDepth = 512;
inline constexpr int kMaxColumns = 64;
inline constexpr int kMaxRows = 1000;
inline constexpr char16_t kObjectChar = 0xFFFC;
inline constexpr char16_t kLineSeparator = 0x2028;

// Bytes that are text as they stand: printable ASCII but for \ { }.
inline constexpr auto kPlainByte = [] {
    std::array<bool, 256> t{};
    for (int b = 0x20; b < 0x80; ++b)
        t[b] = b != '\\' && b != '{' && b != '}';
    return t;
}();

// Whether 8 bytes are all plain, a word at a time (exact "has a byte less
// than n" and "has a zero byte" tests on 64-bit words).
inline bool allPlain8(const char* p) {
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t high = 0x8080808080808080ULL;
    uint64_t w;
    std::memcpy(&w, p, 8);
    if (w & high)
        return false;
    auto hasZero = [](uint64_t x) { return (x - ones) & ~x & high; };
    return !(((w - 0x20 * ones) & ~w & high) | hasZero(w ^ ('\\' * ones)) |
             hasZero(w ^ ('{' * ones)) | hasZero(w ^ ('}' * ones)));
}

enum class Underline : uint8_t { None, Single, Dotted, Dash, DashDot, DashDotDot, Wave };
enum class VAlign : uint8_t { Normal, Super, Sub };
enum class Align : uint8_t { Left, Center, Right, Justify };

struct CharProps {
    int font = -1; // font number; -1 is the document's default font
    int halfPoints = 24;
    int fg = 0; // colour table index
    int bg = 0;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool hidden = false;
    Underline underline = Underline::None;
    VAlign valign = VAlign::Normal;
    int link = -1; // index in Tables::links
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    Align align = Align::Left;
    int li = 0; // twips
    int ri = 0;
    int fi = 0;
    int sb = 0;
    int sa = 0;
    bool intbl = false;
    bool operator==(const ParaProps&) const = default;
};

struct FontInfo {
    QString name;
    int codePage = 0; // 0: the document's code page
};

struct Color {
    int r = 0, g = 0, b = 0;
    bool automatic = true;
};

struct Tables {
    QHash<int, FontInfo> fonts;
    std::vector<Color> colors;
    QStringList links;
    int deff = 0;
    int ansiCodePage = 1252;

    const FontInfo* font(int number) const {
        auto it = fonts.constFind(number < 0 ? deff : number);
        return it == fonts.constEnd() ? nullptr : &it.value();
    }
    int codePageOf(int fontNumber) const {
        const FontInfo* f = font(fontNumber);
        return f && f->codePage ? f->codePage : ansiCodePage;
    }
    const Color* color(int index) const {
        if (index < 0 || index >= static_cast<int>(colors.size()) || colors[index].automatic)
            return nullptr;
        return &colors[index];
    }
};

struct Picture {
    enum class Kind : uint8_t { Unknown, Png, Jpeg, Emf, Wmf, Dib, Bitmap, Mac };
    Kind kind = Kind::Unknown;
    int kindParam = 0;
    int picw = 0, pich = 0;   // natural size (pixels, or 0.01 mm for metafiles)
    int goalw = 0, goalh = 0; // shown size in twips
    int scalex = 100, scaley = 100;
    QByteArray data;
};

enum class Kw : uint8_t {
    Unknown,
    // header
    rtf,
    ansi,
    mac,
    pc,
    pca,
    ansicpg,
    deff,
    uc,
    u,
    // destinations
    fonttbl,
    colortbl,
    pict,
    shppict,
    nonshppict,
    skip,
    listtext,
    pntext,
    fldinst,
    // font and colour tables
    f,
    fcharset,
    cpg,
    red,
    green,
    blue,
    // character
    plain,
    b,
    i,
    ul,
    uld,
    uldash,
    uldashd,
    uldashdd,
    ulwave,
    ulnone,
    strike,
    cf,
    cb,
    fs,
    super,
    sub,
    nosupersub,
    v,
    // paragraph
    pard,
    ql,
    qc,
    qr,
    qj,
    li,
    ri,
    fi,
    sb,
    sa,
    intbl,
    itap,
    // structure
    par,
    line,
    tab,
    cell,
    nestcell,
    row,
    nestrow,
    // special characters
    emdash,
    endash,
    bullet,
    lquote,
    rquote,
    ldblquote,
    rdblquote,
    emspace,
    enspace,
    qmspace,
    zwj,
    zwnj,
    ltrmark,
    rtlmark,
    // pictures
    bin,
    pngblip,
    jpegblip,
    emfblip,
    wmetafile,
    dibitmap,
    wbitmap,
    macpict,
    picw,
    pich,
    picwgoal,
    pichgoal,
    picscalex,
    picscaley,
};

// FNV-1a; the parser hashes a control word while it scans it.
inline constexpr uint32_t kHashSeed = 2166136261u;
constexpr uint32_t hashStep(uint32_t h, char c) {
    return (h ^ static_cast<uint8_t>(c)) * 16777619u;
}
constexpr uint32_t hashName(std::string_view s) {
    uint32_t h = kHashSeed;
    for (char c : s)
        h = hashStep(h, c);
    return h;
}

Kw lookupKeyword(std::string_view name);
Kw lookupKeyword(std::string_view name, uint32_t hash);

// \uN is a signed 16-bit number; anything outside that range is damage.
inline char16_t unicodeParam(int n) {
    if (n < -32768 || n > 65535)
        return 0xFFFD;
    return static_cast<char16_t>(n < 0 ? n + 65536 : n);
}

template <class Sink> class Parser {
public:
    Parser(const char* data, qsizetype size, Tables& tables, Sink& sink)
        : p_(data), end_(data + size), tables_(tables), sink_(sink) {
        stack_.reserve(32);
        stack_.push_back(Group{});
    }

    // Parses everything; false when the input was damaged (the sink still got
    // all the text that could be read).
    bool run();
    const QString& error() const { return error_; }

private:
    enum class Dest : uint8_t { Text, Skip, FontTable, ColorTable, Pict, FieldInstruction };
    struct Group {
        CharProps chr;
        ParaProps para;
        Dest dest = Dest::Text;
        uint8_t uc = 1;
        bool listText = false; // paragraph words inside list labels are not the paragraph's
    };

    Group& cur() { return stack_.back(); }

    void openGroup();
    void closeGroup();
    void controlSymbol();
    void controlWord();
    void handleWord(Kw kw, bool hasParam, int param);
    void textWord(Kw kw, bool hasParam, int param);
    void plainBytes();
    void pictBytes();
    void skipBytes();
    void skipBinary(int count);

    void byteChar(uint8_t b);
    void flushBytes() {
        if (!mbBytes_.isEmpty())
            decodeBytes();
    }
    void decodeBytes();
    void emitChar(char16_t c);
    void textChar(char16_t c);
    void appendPending(char16_t c) {
        prepareContent();
        if constexpr (Sink::kDirectText)
            c = Sink::shownAs(c);
        out().append(QChar(c));
        blockFromPar_ = false;
    }
    void flushText();
    void prepareContent() {
        if (cur().para.intbl != inTable_ || (inTable_ && !cellOpen_))
            placeContent();
    }
    void placeContent();
    void paragraphBreak();
    void endCell();
    void endRow();
    void finishPicture();
    void commitFont();
    void commitColor();
    void finishFieldInstruction();
    int currentCodePage() const;
    void damage(const char* why) {
        if (error_.isEmpty())
            error_ = QString::fromLatin1(why);
    }
    bool restIsBlank() const {
        for (const char* q = p_; q < end_; ++q)
            if (*q != ' ' && *q != '\r' && *q != '\n' && *q != '\t' && *q != '\0')
                return false;
        return true;
    }

    const char* p_;
    const char* end_;
    Tables& tables_;
    Sink& sink_;
    std::vector<Group> stack_;
    int overflow_ = 0;
    bool star_ = false;
    int skipChars_ = 0;
    bool done_ = false;
    QString error_;

    QString pending_;

    // Sinks that only collect text take it straight into their own string
    // instead of in runs.
    QString& out() {
        if constexpr (Sink::kDirectText)
            return sink_.textTarget();
        else
            return pending_;
    }
    char16_t high_ = 0;
    QByteArray mbBytes_;
    int mbCodePage_ = 0;
    bool mbNeedTrail_ = false;
    std::unique_ptr<QStringDecoder> decoder_;
    int decoderCp_ = 0;

    bool inTable_ = false;
    bool cellOpen_ = false;
    bool rowHasCells_ = false;
    int row_ = 0;
    int col_ = 0;
    bool blockFromPar_ = false;
    ParaProps endPara_;

    bool fontPending_ = false;
    int fontNum_ = 0;
    int fontCharset_ = -1;
    int fontCpg_ = 0;
    QString fontName_;
    Color color_;
    QString fieldInst_;

    Picture pict_;
    int pictDepth_ = -1;
    int nibble_ = -1;
};

// ---------------------------------------------------------------------------

template <class Sink> bool Parser<Sink>::run() {
    while (p_ < end_ && !done_) {
        const char ch = *p_;
        if (ch == '{') {
            ++p_;
            openGroup();
        } else if (ch == '}') {
            ++p_;
            closeGroup();
        } else if (ch == '\\') {
            ++p_;
            if (p_ >= end_)
                break;
            const char n = *p_;
            if ((n >= 'a' && n <= 'z') || (n >= 'A' && n <= 'Z'))
                controlWord();
            else
                controlSymbol();
        } else {
            switch (cur().dest) {
            case Dest::Skip:
                skipBytes();
                break;
            case Dest::Pict:
                pictBytes();
                break;
            default:
                plainBytes();
                break;
            }
        }
    }
    flushBytes();
    if (high_) {
        out().append(QChar(0xFFFD));
        high_ = 0;
    }
    flushText();
    if (stack_.size() > 1 || overflow_ > 0) {
        damage("The text ends before all its groups are closed.");
        if (pictDepth_ >= 1 && pictDepth_ < static_cast<int>(stack_.size())) {
            // A picture cut short: keep the place it held.
            stack_.resize(pictDepth_);
            finishPicture();
            flushText();
        }
        if (stack_.size() > 1)
            endPara_ = stack_.back().para;
    }
    if (inTable_) {
        sink_.endTable();
        inTable_ = false;
    }
    sink_.setParagraph(endPara_);
    return error_.isEmpty();
}

template <class Sink> void Parser<Sink>::openGroup() {
    flushBytes();
    skipChars_ = 0;
    star_ = false;
    if (static_cast<int>(stack_.size()) >= kMaxDepth) {
        ++overflow_;
        damage("The groups are nested too deeply.");
        return;
    }
    stack_.push_back(stack_.back());
    stack_.back().listText = false;
    if (stack_[stack_.size() - 2].listText)
        stack_.back().listText = true;
}

template <class Sink> void Parser<Sink>::closeGroup() {
    flushBytes();
    skipChars_ = 0;
    star_ = false;
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (stack_.size() <= 1) {
        damage("A group is closed that was never opened.");
        return;
    }
    if (high_) {
        out().append(QChar(0xFFFD));
        high_ = 0;
    }
    flushText();
    const Dest d = cur().dest;
    if (d == Dest::FontTable)
        commitFont();
    if (d == Dest::Text)
        endPara_ = cur().para;
    const bool pictEnds = d == Dest::Pict && static_cast<int>(stack_.size()) - 1 == pictDepth_;
    const bool instructionEnds =
        d == Dest::FieldInstruction && stack_[stack_.size() - 2].dest != Dest::FieldInstruction;
    stack_.pop_back();
    if (pictEnds)
        finishPicture();
    if (instructionEnds)
        finishFieldInstruction();
    if (stack_.size() == 1) {
        if (restIsBlank())
            done_ = true;
        else
            damage("Text follows the end of the document.");
    }
}

template <class Sink> void Parser<Sink>::controlSymbol() {
    const char c = *p_++;
    if (c == '\'') {
        auto hex = [](char h) -> int {
            if (h >= '0' && h <= '9')
                return h - '0';
            if (h >= 'a' && h <= 'f')
                return h - 'a' + 10;
            if (h >= 'A' && h <= 'F')
                return h - 'A' + 10;
            return -1;
        };
        int v = -1;
        const int hi = p_ < end_ ? hex(p_[0]) : -1;
        if (hi >= 0) {
            ++p_;
            const int lo = p_ < end_ ? hex(p_[0]) : -1;
            if (lo >= 0) {
                v = hi * 16 + lo;
                ++p_;
            }
        }
        star_ = false;
        if (v < 0)
            return;
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        const Dest d = cur().dest;
        if (d == Dest::Text || d == Dest::FontTable || d == Dest::FieldInstruction)
            byteChar(static_cast<uint8_t>(v));
        return;
    }
    if (c == '*') {
        star_ = true;
        return;
    }
    star_ = false;
    if (skipChars_ > 0) {
        --skipChars_;
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        flushBytes();
        emitChar(static_cast<char16_t>(c));
        break;
    case '~':
        flushBytes();
        emitChar(0x00A0);
        break;
    case '-':
        flushBytes();
        emitChar(0x00AD);
        break;
    case '_':
        flushBytes();
        emitChar(0x2011);
        break;
    case '\r':
    case '\n':
        flushBytes();
        paragraphBreak();
        break;
    default:
        break;
    }
}

template <class Sink> void Parser<Sink>::controlWord() {
    const char* start = p_;
    uint32_t hash = kHashSeed;
    while (p_ < end_ && ((*p_ >= 'a' && *p_ <= 'z') || (*p_ >= 'A' && *p_ <= 'Z')))
        hash = hashStep(hash, *p_++);
    const std::string_view name(start, static_cast<size_t>(p_ - start));
    bool hasParam = false;
    bool negative = false;
    long long value = 0;
    if (p_ < end_ && *p_ == '-' && p_ + 1 < end_ && p_[1] >= '0' && p_[1] <= '9') {
        negative = true;
        ++p_;
    }
    while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
        hasParam = true;
        if (value < 100000000000LL)
            value = value * 10 + (*p_ - '0');
        ++p_;
    }
    if (p_ < end_ && *p_ == ' ')
        ++p_;
    if (negative)
        value = -value;
    value = std::clamp<long long>(value, -2147483647LL - 1, 2147483647LL);
    const Kw kw = name.size() <= 32 ? lookupKeyword(name, hash) : Kw::Unknown;
    handleWord(kw, hasParam, static_cast<int>(value));
}

template <class Sink> void Parser<Sink>::handleWord(Kw kw, bool hasParam, int param) {
    const bool star = star_;
    star_ = false;
    Group& g = cur();
    if (g.dest == Dest::Skip) {
        if (kw == Kw::bin)
            skipBinary(param);
        return;
    }
    if (skipChars_ > 0 && kw != Kw::bin) {
        --skipChars_;
        return;
    }
    if (kw != Kw::u)
        flushBytes();
    if (star && kw != Kw::shppict && kw != Kw::fldinst) {
        flushText();
        g.dest = Dest::Skip;
        return;
    }
    switch (g.dest) {
    case Dest::FontTable:
        switch (kw) {
        case Kw::f:
            commitFont();
            fontPending_ = true;
            fontNum_ = param;
            fontCharset_ = -1;
            fontCpg_ = 0;
            fontName_.clear();
            break;
        case Kw::fcharset:
            fontCharset_ = param;
            break;
        case Kw::cpg:
            fontCpg_ = param;
            break;
        case Kw::u:
            emitChar(unicodeParam(param));
            skipChars_ = g.uc;
            break;
        case Kw::bin:
            skipBinary(param);
            break;
        case Kw::pict:
        case Kw::skip:
        case Kw::nonshppict:
        case Kw::fonttbl:
        case Kw::colortbl:
            g.dest = Dest::Skip;
            break;
        default:
            break;
        }
        return;
    case Dest::ColorTable:
        switch (kw) {
        case Kw::red:
            color_.r = std::clamp(param, 0, 255);
            color_.automatic = false;
            break;
        case Kw::green:
            color_.g = std::clamp(param, 0, 255);
            color_.automatic = false;
            break;
        case Kw::blue:
            color_.b = std::clamp(param, 0, 255);
            color_.automatic = false;
            break;
        case Kw::bin:
            skipBinary(param);
            break;
        case Kw::pict:
        case Kw::skip:
        case Kw::nonshppict:
        case Kw::fonttbl:
        case Kw::colortbl:
            g.dest = Dest::Skip;
            break;
        default:
            break;
        }
        return;
    case Dest::Pict: {
        using K = Picture::Kind;
        auto kind = [&](K k) {
            pict_.kind = k;
            pict_.kindParam = hasParam ? param : 0;
        };
        switch (kw) {
        case Kw::pngblip:
            kind(K::Png);
            break;
        case Kw::jpegblip:
            kind(K::Jpeg);
            break;
        case Kw::emfblip:
            kind(K::Emf);
            break;
        case Kw::wmetafile:
            kind(K::Wmf);
            break;
        case Kw::dibitmap:
            kind(K::Dib);
            break;
        case Kw::wbitmap:
            kind(K::Bitmap);
            break;
        case Kw::macpict:
            kind(K::Mac);
            break;
        case Kw::picw:
            pict_.picw = std::clamp(param, 0, 1000000);
            break;
        case Kw::pich:
            pict_.pich = std::clamp(param, 0, 1000000);
            break;
        case Kw::picwgoal:
            pict_.goalw = std::clamp(param, 0, 1000000);
            break;
        case Kw::pichgoal:
            pict_.goalh = std::clamp(param, 0, 1000000);
            break;
        case Kw::picscalex:
            pict_.scalex = std::clamp(param, 1, 1000);
            break;
        case Kw::picscaley:
            pict_.scaley = std::clamp(param, 1, 1000);
            break;
        case Kw::bin:
            skipBinary(param);
            break;
        default:
            break;
        }
        return;
    }
    case Dest::Text:
        textWord(kw, hasParam, param);
        return;
    case Dest::FieldInstruction:
        if (kw == Kw::bin)
            skipBinary(param);
        else if (kw == Kw::u) {
            emitChar(unicodeParam(param));
            skipChars_ = g.uc;
        }
        return;
    case Dest::Skip:
        return;
    }
}

template <class Sink> void Parser<Sink>::textWord(Kw kw, bool hasParam, int param) {
    Group& g = cur();
    const bool on = !hasParam || param != 0;
    CharProps& c = g.chr;
    ParaProps& pp = g.para;
    const bool paraWords = !g.listText;
    auto twips = [&](int v) { return std::clamp(v, -31680, 31680); };
    // Character formatting changes split the pending run.
    switch (kw) {
    case Kw::u:
    case Kw::tab:
    case Kw::line:
    case Kw::emdash:
    case Kw::endash:
    case Kw::bullet:
    case Kw::lquote:
    case Kw::rquote:
    case Kw::ldblquote:
    case Kw::rdblquote:
    case Kw::emspace:
    case Kw::enspace:
    case Kw::qmspace:
    case Kw::zwj:
    case Kw::zwnj:
    case Kw::ltrmark:
    case Kw::rtlmark:
    case Kw::Unknown:
        break;
    default:
        flushText();
        break;
    }
    switch (kw) {
    case Kw::rtf:
    case Kw::ansi:
        tables_.ansiCodePage = 1252;
        break;
    case Kw::mac:
        tables_.ansiCodePage = 10000;
        break;
    case Kw::pc:
        tables_.ansiCodePage = 437;
        break;
    case Kw::pca:
        tables_.ansiCodePage = 850;
        break;
    case Kw::ansicpg:
        if (param > 0)
            tables_.ansiCodePage = param;
        break;
    case Kw::deff:
        tables_.deff = param;
        break;
    case Kw::uc:
        g.uc = static_cast<uint8_t>(std::clamp(param, 0, 16));
        break;
    case Kw::u:
        flushBytes();
        textChar(unicodeParam(param));
        skipChars_ = g.uc;
        break;
    case Kw::fonttbl:
        g.dest = Dest::FontTable;
        fontPending_ = false;
        break;
    case Kw::colortbl:
        g.dest = Dest::ColorTable;
        tables_.colors.clear();
        color_ = Color{};
        break;
    case Kw::pict:
        g.dest = Dest::Pict;
        pict_ = Picture{};
        pictDepth_ = static_cast<int>(stack_.size()) - 1;
        nibble_ = -1;
        break;
    case Kw::nonshppict:
    case Kw::skip:
        g.dest = Dest::Skip;
        break;
    case Kw::fldinst:
        g.dest = Dest::FieldInstruction;
        fieldInst_.clear();
        break;
    case Kw::listtext:
    case Kw::pntext:
        g.listText = true;
        break;
    case Kw::plain:
        c = CharProps{};
        break;
    case Kw::f:
        c.font = param;
        break;
    case Kw::b:
        c.bold = on;
        break;
    case Kw::i:
        c.italic = on;
        break;
    case Kw::strike:
        c.strike = on;
        break;
    case Kw::v:
        c.hidden = on;
        break;
    case Kw::ul:
        c.underline = on ? Underline::Single : Underline::None;
        break;
    case Kw::uld:
        c.underline = on ? Underline::Dotted : Underline::None;
        break;
    case Kw::uldash:
        c.underline = on ? Underline::Dash : Underline::None;
        break;
    case Kw::uldashd:
        c.underline = on ? Underline::DashDot : Underline::None;
        break;
    case Kw::uldashdd:
        c.underline = on ? Underline::DashDotDot : Underline::None;
        break;
    case Kw::ulwave:
        c.underline = on ? Underline::Wave : Underline::None;
        break;
    case Kw::ulnone:
        c.underline = Underline::None;
        break;
    case Kw::cf:
        c.fg = std::max(param, 0);
        break;
    case Kw::cb:
        c.bg = std::max(param, 0);
        break;
    case Kw::fs:
        c.halfPoints = hasParam ? std::clamp(param, 2, 3276) : 24;
        break;
    case Kw::super:
        c.valign = on ? VAlign::Super : VAlign::Normal;
        break;
    case Kw::sub:
        c.valign = on ? VAlign::Sub : VAlign::Normal;
        break;
    case Kw::nosupersub:
        c.valign = VAlign::Normal;
        break;
    case Kw::pard:
        if (paraWords)
            pp = ParaProps{};
        break;
    case Kw::ql:
        if (paraWords)
            pp.align = Align::Left;
        break;
    case Kw::qc:
        if (paraWords)
            pp.align = Align::Center;
        break;
    case Kw::qr:
        if (paraWords)
            pp.align = Align::Right;
        break;
    case Kw::qj:
        if (paraWords)
            pp.align = Align::Justify;
        break;
    case Kw::li:
        if (paraWords)
            pp.li = twips(param);
        break;
    case Kw::ri:
        if (paraWords)
            pp.ri = twips(param);
        break;
    case Kw::fi:
        if (paraWords)
            pp.fi = twips(param);
        break;
    case Kw::sb:
        if (paraWords)
            pp.sb = std::clamp(param, 0, 31680);
        break;
    case Kw::sa:
        if (paraWords)
            pp.sa = std::clamp(param, 0, 31680);
        break;
    case Kw::intbl:
        if (paraWords)
            pp.intbl = on;
        break;
    case Kw::itap:
        if (paraWords)
            pp.intbl = param > 0;
        break;
    case Kw::par:
        paragraphBreak();
        break;
    case Kw::line:
        textChar(kLineSeparator);
        break;
    case Kw::tab:
    case Kw::nestcell:
        textChar(u'\t');
        break;
    case Kw::nestrow:
        paragraphBreak();
        break;
    case Kw::cell:
        endCell();
        break;
    case Kw::row:
        endRow();
        break;
    case Kw::emdash:
        textChar(0x2014);
        break;
    case Kw::endash:
        textChar(0x2013);
        break;
    case Kw::bullet:
        textChar(0x2022);
        break;
    case Kw::lquote:
        textChar(0x2018);
        break;
    case Kw::rquote:
        textChar(0x2019);
        break;
    case Kw::ldblquote:
        textChar(0x201C);
        break;
    case Kw::rdblquote:
        textChar(0x201D);
        break;
    case Kw::emspace:
        textChar(0x2003);
        break;
    case Kw::enspace:
        textChar(0x2002);
        break;
    case Kw::qmspace:
        textChar(0x2005);
        break;
    case Kw::zwj:
        textChar(0x200D);
        break;
    case Kw::zwnj:
        textChar(0x200C);
        break;
    case Kw::ltrmark:
        textChar(0x200E);
        break;
    case Kw::rtlmark:
        textChar(0x200F);
        break;
    case Kw::bin:
        skipBinary(param);
        break;
    default:
        break;
    }
}

template <class Sink> void Parser<Sink>::plainBytes() {
    Group& g = cur();
    if (g.dest == Dest::ColorTable) {
        for (; p_ < end_; ++p_) {
            const char ch = *p_;
            if (ch == '\\' || ch == '{' || ch == '}')
                return;
            if (ch == ';')
                commitColor();
        }
        return;
    }
    const bool fast = g.dest == Dest::Text && !g.chr.hidden;
    while (p_ < end_) {
        const auto ch = static_cast<uint8_t>(*p_);
        if (ch == '\\' || ch == '{' || ch == '}')
            return;
        if (ch == '\r' || ch == '\n' || ch == 0) {
            ++p_;
            continue;
        }
        if (skipChars_ > 0) {
            --skipChars_;
            ++p_;
            continue;
        }
        if (ch >= 0x80 || mbNeedTrail_) {
            if (ch < 0x80 && !mbNeedTrail_)
                flushBytes();
            byteChar(ch);
            ++p_;
            continue;
        }
        flushBytes();
        if (fast && ch >= 0x20 && !high_) {
            const char* q = p_;
            while (end_ - q >= 8 && allPlain8(q))
                q += 8;
            while (q < end_ && kPlainByte[static_cast<uint8_t>(*q)])
                ++q;
            prepareContent();
            out().append(QLatin1StringView(p_, q - p_));
            blockFromPar_ = false;
            p_ = q;
            continue;
        }
        ++p_;
        if (g.dest == Dest::FontTable && ch == ';') {
            commitFont();
            continue;
        }
        emitChar(ch == '\t' ? u'\t' : static_cast<char16_t>(ch));
    }
}

template <class Sink> void Parser<Sink>::pictBytes() {
    if constexpr (!Sink::kWantsPictureData) {
        skipBytes();
        return;
    }
    while (p_ < end_) {
        const char ch = *p_;
        int v;
        if (ch >= '0' && ch <= '9')
            v = ch - '0';
        else if (ch >= 'a' && ch <= 'f')
            v = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F')
            v = ch - 'A' + 10;
        else if (ch == '\\' || ch == '{' || ch == '}')
            return;
        else {
            ++p_;
            continue;
        }
        ++p_;
        if (nibble_ < 0) {
            nibble_ = v;
        } else {
            pict_.data.append(static_cast<char>(nibble_ * 16 + v));
            nibble_ = -1;
        }
    }
}

template <class Sink> void Parser<Sink>::skipBytes() {
    while (p_ < end_ && *p_ != '\\' && *p_ != '{' && *p_ != '}')
        ++p_;
}

template <class Sink> void Parser<Sink>::skipBinary(int count) {
    const qsizetype n = std::clamp<qsizetype>(count, 0, end_ - p_);
    if (Sink::kWantsPictureData && cur().dest == Dest::Pict)
        pict_.data.append(p_, n);
    p_ += n;
}

template <class Sink> int Parser<Sink>::currentCodePage() const {
    const Group& g = stack_.back();
    if (g.dest == Dest::FontTable) {
        if (fontCpg_ > 0)
            return fontCpg_;
        const int cp = codePageForCharset(fontCharset_);
        return cp ? cp : tables_.ansiCodePage;
    }
    return tables_.codePageOf(g.chr.font);
}

template <class Sink> void Parser<Sink>::byteChar(uint8_t b) {
    const int cp = currentCodePage();
    if (const char16_t* table = singleByteTable(cp)) {
        flushBytes();
        emitChar(table[b]);
        return;
    }
    if (!mbBytes_.isEmpty() && mbCodePage_ != cp)
        flushBytes();
    mbCodePage_ = cp;
    mbBytes_.append(static_cast<char>(b));
    mbNeedTrail_ = mbNeedTrail_ ? false : isLeadByte(cp, b);
}

template <class Sink> void Parser<Sink>::decodeBytes() {
    if (!decoder_ || decoderCp_ != mbCodePage_) {
        decoder_ = makeDecoder(mbCodePage_);
        decoderCp_ = mbCodePage_;
    }
    const QString s = decoder_->decode(mbBytes_);
    decoder_->resetState();
    mbBytes_.resize(0);
    mbNeedTrail_ = false;
    for (QChar ch : s)
        emitChar(ch.unicode());
}

template <class Sink> void Parser<Sink>::emitChar(char16_t c) {
    switch (cur().dest) {
    case Dest::Text:
        textChar(c);
        break;
    case Dest::FontTable:
        if (fontName_.size() < 256)
            fontName_.append(QChar(c));
        break;
    case Dest::FieldInstruction:
        if (fieldInst_.size() < 2048)
            fieldInst_.append(QChar(c));
        break;
    default:
        break;
    }
}

template <class Sink> void Parser<Sink>::textChar(char16_t c) {
    if (cur().dest != Dest::Text || cur().chr.hidden)
        return;
    // Characters that QTextDocument treats as structure never reach it as text.
    if ((c < 0x20 && c != u'\t') || c == 0xFDD0 || c == 0xFDD1)
        return;
    if (c == 0x2029) {
        paragraphBreak();
        return;
    }
    if (QChar::isHighSurrogate(c)) {
        if (high_)
            appendPending(0xFFFD);
        prepareContent();
        high_ = c;
        return;
    }
    if (QChar::isLowSurrogate(c)) {
        if (high_) {
            appendPending(high_);
            high_ = 0;
            appendPending(c);
        } else {
            appendPending(0xFFFD);
        }
        return;
    }
    if (high_) {
        high_ = 0;
        appendPending(0xFFFD);
    }
    appendPending(c);
}

template <class Sink> void Parser<Sink>::flushText() {
    if (high_) {
        out().append(QChar(0xFFFD));
        high_ = 0;
    }
    if constexpr (Sink::kDirectText)
        return;
    if (pending_.isEmpty())
        return;
    sink_.text(pending_, cur().chr);
    pending_.resize(0); // keeps the buffer
}

template <class Sink> void Parser<Sink>::placeContent() {
    if (cur().para.intbl) {
        if (!inTable_) {
            flushText();
            if (blockFromPar_)
                sink_.dropEmptyParagraph();
            blockFromPar_ = false;
            inTable_ = true;
            row_ = col_ = 0;
            cellOpen_ = rowHasCells_ = false;
        }
        if (!cellOpen_) {
            flushText();
            sink_.enterCell(row_, col_);
            cellOpen_ = rowHasCells_ = true;
        }
    } else if (inTable_) {
        flushText();
        sink_.endTable();
        inTable_ = cellOpen_ = false;
        blockFromPar_ = false;
    }
}

template <class Sink> void Parser<Sink>::paragraphBreak() {
    if (cur().dest != Dest::Text)
        return;
    prepareContent();
    flushText();
    sink_.setParagraph(cur().para);
    sink_.breakParagraph(cur().chr);
    blockFromPar_ = !inTable_;
}

template <class Sink> void Parser<Sink>::endCell() {
    if (!cur().para.intbl) {
        textChar(u'\t');
        return;
    }
    prepareContent();
    flushText();
    sink_.setParagraph(cur().para);
    if (col_ < kMaxColumns - 1) {
        ++col_;
        cellOpen_ = false;
    } else {
        textChar(u'\t');
    }
}

template <class Sink> void Parser<Sink>::endRow() {
    if (!inTable_)
        return;
    flushText();
    if (rowHasCells_) {
        ++row_;
        rowHasCells_ = false;
    }
    col_ = 0;
    cellOpen_ = false;
    if (row_ >= kMaxRows) {
        sink_.endTable();
        inTable_ = false;
    }
}

template <class Sink> void Parser<Sink>::finishPicture() {
    pictDepth_ = -1;
    Group& g = cur();
    if (g.dest != Dest::Text || g.chr.hidden) {
        pict_ = Picture{};
        return;
    }
    prepareContent();
    flushText();
    sink_.picture(pict_, g.chr);
    blockFromPar_ = false;
    pict_ = Picture{};
}

template <class Sink> void Parser<Sink>::commitFont() {
    if (!fontPending_)
        return;
    fontPending_ = false;
    FontInfo info;
    fontName_.removeIf([](QChar c) { return c.unicode() < 0x20; });
    info.name = fontName_.trimmed();
    if (fontCpg_ > 0)
        info.codePage = fontCpg_;
    else if (fontCharset_ >= 0)
        info.codePage = codePageForCharset(fontCharset_);
    tables_.fonts.insert(fontNum_, info);
    fontName_.clear();
}

// A HYPERLINK field makes the field's result a link: the field group (the
// parent of the instruction) carries it to the result group.
template <class Sink> void Parser<Sink>::finishFieldInstruction() {
    const QString inst = fieldInst_.trimmed();
    fieldInst_.clear();
    if (!inst.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive) ||
        cur().dest != Dest::Text || tables_.links.size() >= 4096)
        return;
    QString url;
    QString anchor;
    bool local = false;
    qsizetype i = 9;
    const qsizetype n = inst.size();
    while (i < n) {
        const QChar ch = inst.at(i);
        if (ch.isSpace()) {
            ++i;
        } else if (ch == u'\\' && i + 1 < n) {
            local = inst.at(i + 1) == u'l';
            i += 2;
        } else {
            QString arg;
            if (ch == u'"') {
                for (++i; i < n && inst.at(i) != u'"'; ++i) {
                    if (inst.at(i) == u'\\' && i + 1 < n)
                        ++i;
                    arg.append(inst.at(i));
                }
                ++i;
            } else {
                for (; i < n && !inst.at(i).isSpace(); ++i)
                    arg.append(inst.at(i));
            }
            if (local)
                anchor = arg;
            else if (url.isEmpty())
                url = arg;
            local = false;
        }
    }
    if (!anchor.isEmpty())
        url += QLatin1Char('#') + anchor;
    if (url.isEmpty())
        return;
    flushText();
    tables_.links.append(url);
    cur().chr.link = static_cast<int>(tables_.links.size() - 1);
}

template <class Sink> void Parser<Sink>::commitColor() {
    if (tables_.colors.size() < 4096)
        tables_.colors.push_back(color_);
    color_ = Color{};
}

} // namespace vellicar::richtext::detail
