#include "core/store/engine_crc32c.h"

#include <array>
#include <bit>
#include <cstring>

namespace vellicar::store {

namespace {

constexpr std::uint32_t kPoly = 0x82F63B78u; // reflected Castagnoli polynomial

struct Tables {
    std::uint32_t t[8][256];
    Tables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ ((c & 1u) ? kPoly : 0u);
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s)
                t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFFu];
    }
};

const Tables& tables() {
    static const Tables tabs;
    return tabs;
}

std::uint32_t crcPortable(const unsigned char* p, std::size_t n, std::uint32_t crc) {
    const Tables& tb = tables();
    // The eight-byte step reads words little-endian.
    while (std::endian::native == std::endian::little && n >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        word ^= crc;
        crc = tb.t[7][word & 0xFF] ^ tb.t[6][(word >> 8) & 0xFF] ^ tb.t[5][(word >> 16) & 0xFF] ^
              tb.t[4][(word >> 24) & 0xFF] ^ tb.t[3][(word >> 32) & 0xFF] ^
              tb.t[2][(word >> 40) & 0xFF] ^ tb.t[1][(word >> 48) & 0xFF] ^
              tb.t[0][(word >> 56) & 0xFF];
        p += 8;
        n -= 8;
    }
    while (n--)
        crc = (crc >> 8) ^ tb.t[0][(crc ^ *p++) & 0xFFu];
    return crc;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELLICAR_HAVE_SSE42_CRC 1
__attribute__((target("sse4.2"))) std::uint32_t crcHardware(const unsigned char* p, std::size_t n,
                                                            std::uint32_t crc) {
    std::uint64_t c = crc;
    while (n >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        c = __builtin_ia32_crc32di(c, word);
        p += 8;
        n -= 8;
    }
    auto c32 = static_cast<std::uint32_t>(c);
    while (n--)
        c32 = __builtin_ia32_crc32qi(c32, *p++);
    return c32;
}

bool haveHardware() {
    static const bool have = __builtin_cpu_supports("sse4.2");
    return have;
}
#endif

} // namespace

std::uint32_t crc32c(const void* data, std::size_t size, std::uint32_t crc) {
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
#ifdef VELLICAR_HAVE_SSE42_CRC
    if (haveHardware())
        return ~crcHardware(p, size, crc);
#endif
    return ~crcPortable(p, size, crc);
}

} // namespace vellicar::store
