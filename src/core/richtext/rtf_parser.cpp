#include "core/richtext/rtf_parser.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vellicar::richtext::detail {

namespace {

struct Entry {
    std::string_view name;
    Kw kw;
};

// Sorted by name for a binary search. Destinations that never hold visible
// text map to Kw::skip, so they are dropped even without \*.
constexpr std::array<Entry, 178> kWords{{
    Entry{"aftncn", Kw::skip},
    Entry{"aftnsep", Kw::skip},
    Entry{"aftnsepc", Kw::skip},
    Entry{"annotation", Kw::skip},
    Entry{"ansi", Kw::ansi},
    Entry{"ansicpg", Kw::ansicpg},
    Entry{"atnauthor", Kw::skip},
    Entry{"atndate", Kw::skip},
    Entry{"atnid", Kw::skip},
    Entry{"atnref", Kw::skip},
    Entry{"atrfend", Kw::skip},
    Entry{"atrfstart", Kw::skip},
    Entry{"author", Kw::skip},
    Entry{"b", Kw::b},
    Entry{"bin", Kw::bin},
    Entry{"bkmkend", Kw::skip},
    Entry{"bkmkstart", Kw::skip},
    Entry{"blue", Kw::blue},
    Entry{"bullet", Kw::bullet},
    Entry{"buptim", Kw::skip},
    Entry{"category", Kw::skip},
    Entry{"cb", Kw::cb},
    Entry{"cell", Kw::cell},
    Entry{"cf", Kw::cf},
    Entry{"chcbpat", Kw::cb},
    Entry{"colorschememapping", Kw::skip},
    Entry{"colortbl", Kw::colortbl},
    Entry{"comment", Kw::skip},
    Entry{"company", Kw::skip},
    Entry{"cpg", Kw::cpg},
    Entry{"creatim", Kw::skip},
    Entry{"datastore", Kw::skip},
    Entry{"deff", Kw::deff},
    Entry{"dibitmap", Kw::dibitmap},
    Entry{"doccomm", Kw::skip},
    Entry{"docvar", Kw::skip},
    Entry{"emdash", Kw::emdash},
    Entry{"emfblip", Kw::emfblip},
    Entry{"emspace", Kw::emspace},
    Entry{"endash", Kw::endash},
    Entry{"enspace", Kw::enspace},
    Entry{"f", Kw::f},
    Entry{"fchars", Kw::skip},
    Entry{"fcharset", Kw::fcharset},
    Entry{"fi", Kw::fi},
    Entry{"filetbl", Kw::skip},
    Entry{"fldinst", Kw::fldinst},
    Entry{"fonttbl", Kw::fonttbl},
    Entry{"footer", Kw::skip},
    Entry{"footerf", Kw::skip},
    Entry{"footerl", Kw::skip},
    Entry{"footerr", Kw::skip},
    Entry{"footnote", Kw::skip},
    Entry{"fs", Kw::fs},
    Entry{"ftncn", Kw::skip},
    Entry{"ftnsep", Kw::skip},
    Entry{"ftnsepc", Kw::skip},
    Entry{"generator", Kw::skip},
    Entry{"green", Kw::green},
    Entry{"header", Kw::skip},
    Entry{"headerf", Kw::skip},
    Entry{"headerl", Kw::skip},
    Entry{"headerr", Kw::skip},
    Entry{"highlight", Kw::cb},
    Entry{"hlinkbase", Kw::skip},
    Entry{"i", Kw::i},
    Entry{"info", Kw::skip},
    Entry{"intbl", Kw::intbl},
    Entry{"itap", Kw::itap},
    Entry{"jpegblip", Kw::jpegblip},
    Entry{"keywords", Kw::skip},
    Entry{"latentstyles", Kw::skip},
    Entry{"lchars", Kw::skip},
    Entry{"ldblquote", Kw::ldblquote},
    Entry{"li", Kw::li},
    Entry{"line", Kw::line},
    Entry{"listoverridetable", Kw::skip},
    Entry{"listpicture", Kw::skip},
    Entry{"listtable", Kw::skip},
    Entry{"listtext", Kw::listtext},
    Entry{"lquote", Kw::lquote},
    Entry{"ltrmark", Kw::ltrmark},
    Entry{"mac", Kw::mac},
    Entry{"macpict", Kw::macpict},
    Entry{"manager", Kw::skip},
    Entry{"mmathPr", Kw::skip},
    Entry{"nestcell", Kw::nestcell},
    Entry{"nestrow", Kw::nestrow},
    Entry{"nonshppict", Kw::nonshppict},
    Entry{"nosupersub", Kw::nosupersub},
    Entry{"objclass", Kw::skip},
    Entry{"objdata", Kw::skip},
    Entry{"objname", Kw::skip},
    Entry{"operator", Kw::skip},
    Entry{"page", Kw::par},
    Entry{"par", Kw::par},
    Entry{"pard", Kw::pard},
    Entry{"passwordhash", Kw::skip},
    Entry{"pc", Kw::pc},
    Entry{"pca", Kw::pca},
    Entry{"pgdsctbl", Kw::skip},
    Entry{"pich", Kw::pich},
    Entry{"pichgoal", Kw::pichgoal},
    Entry{"picscalex", Kw::picscalex},
    Entry{"picscaley", Kw::picscaley},
    Entry{"pict", Kw::pict},
    Entry{"picw", Kw::picw},
    Entry{"picwgoal", Kw::picwgoal},
    Entry{"plain", Kw::plain},
    Entry{"pn", Kw::skip},
    Entry{"pngblip", Kw::pngblip},
    Entry{"pnseclvl", Kw::skip},
    Entry{"pntext", Kw::pntext},
    Entry{"printim", Kw::skip},
    Entry{"private", Kw::skip},
    Entry{"qc", Kw::qc},
    Entry{"qd", Kw::qj},
    Entry{"qj", Kw::qj},
    Entry{"ql", Kw::ql},
    Entry{"qmspace", Kw::qmspace},
    Entry{"qr", Kw::qr},
    Entry{"rdblquote", Kw::rdblquote},
    Entry{"red", Kw::red},
    Entry{"revtbl", Kw::skip},
    Entry{"revtim", Kw::skip},
    Entry{"ri", Kw::ri},
    Entry{"row", Kw::row},
    Entry{"rquote", Kw::rquote},
    Entry{"rsidtbl", Kw::skip},
    Entry{"rtf", Kw::rtf},
    Entry{"rtlmark", Kw::rtlmark},
    Entry{"rxe", Kw::skip},
    Entry{"sa", Kw::sa},
    Entry{"sb", Kw::sb},
    Entry{"sect", Kw::par},
    Entry{"shppict", Kw::shppict},
    Entry{"strike", Kw::strike},
    Entry{"striked", Kw::strike},
    Entry{"stylesheet", Kw::skip},
    Entry{"sub", Kw::sub},
    Entry{"subject", Kw::skip},
    Entry{"super", Kw::super},
    Entry{"tab", Kw::tab},
    Entry{"tc", Kw::skip},
    Entry{"template", Kw::skip},
    Entry{"themedata", Kw::skip},
    Entry{"title", Kw::skip},
    Entry{"txe", Kw::skip},
    Entry{"u", Kw::u},
    Entry{"uc", Kw::uc},
    Entry{"ul", Kw::ul},
    Entry{"uld", Kw::uld},
    Entry{"uldash", Kw::uldash},
    Entry{"uldashd", Kw::uldashd},
    Entry{"uldashdd", Kw::uldashdd},
    Entry{"uldb", Kw::ul},
    Entry{"ulhair", Kw::ul},
    Entry{"ulhwave", Kw::ulwave},
    Entry{"ulldash", Kw::uldash},
    Entry{"ulnone", Kw::ulnone},
    Entry{"ulth", Kw::ul},
    Entry{"ulthd", Kw::uld},
    Entry{"ulthdash", Kw::uldash},
    Entry{"ulthdashd", Kw::uldashd},
    Entry{"ulthdashdd", Kw::uldashdd},
    Entry{"ulthldash", Kw::uldash},
    Entry{"ululdbwave", Kw::ulwave},
    Entry{"ulw", Kw::ul},
    Entry{"ulwave", Kw::ulwave},
    Entry{"userprops", Kw::skip},
    Entry{"v", Kw::v},
    Entry{"wbitmap", Kw::wbitmap},
    Entry{"wgrffmtfilter", Kw::skip},
    Entry{"wmetafile", Kw::wmetafile},
    Entry{"xe", Kw::skip},
    Entry{"xmlnstbl", Kw::skip},
    Entry{"zwj", Kw::zwj},
    Entry{"zwnj", Kw::zwnj},
}};

static_assert(std::is_sorted(kWords.begin(), kWords.end(),
                             [](const Entry& a, const Entry& b) { return a.name < b.name; }));

// Control words are looked up once per word of every body the search reads:
// an open-addressing table built at compile time keeps that to one hash and
// usually one comparison.
constexpr size_t kSlots = 1024;
static_assert(kWords.size() * 3 < kSlots);

constexpr std::array<Entry, kSlots> kTable = [] {
    std::array<Entry, kSlots> t{};
    for (const Entry& e : kWords) {
        size_t i = hashName(e.name) & (kSlots - 1);
        while (!t[i].name.empty())
            i = (i + 1) & (kSlots - 1);
        t[i] = e;
    }
    return t;
}();

} // namespace

Kw lookupKeyword(std::string_view name, uint32_t hash) {
    size_t i = hash & (kSlots - 1);
    while (!kTable[i].name.empty()) {
        const std::string_view candidate = kTable[i].name;
        if (candidate.size() == name.size()) {
            size_t k = 0;
            while (k < name.size() && candidate[k] == name[k])
                ++k;
            if (k == name.size())
                return kTable[i].kw;
        }
        i = (i + 1) & (kSlots - 1);
    }
    return Kw::Unknown;
}

Kw lookupKeyword(std::string_view name) {
    return lookupKeyword(name, hashName(name));
}

} // namespace vellicar::richtext::detail
