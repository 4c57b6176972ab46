#include "core/store/engine_crc32c.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

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

__attribute__((target("sse4.2"))) std::uint64_t crcRun(const unsigned char* p, std::size_t words,
                                                       std::uint64_t c) {
    for (std::size_t i = 0; i < words; ++i) {
        std::uint64_t word;
        std::memcpy(&word, p + 8 * i, 8);
        c = __builtin_ia32_crc32di(c, word);
    }
    return c;
}

// a * b modulo the polynomial, both in the reflected bit order of the CRC.
std::uint32_t mulModP(std::uint32_t a, std::uint32_t b) {
    std::uint32_t m = 1u << 31, p = 0;
    for (;;) {
        if (a & m) {
            p ^= b;
            if ((a & (m - 1)) == 0)
                break;
        }
        m >>= 1;
        b = (b & 1) ? (b >> 1) ^ kPoly : b >> 1;
    }
    return p;
}

// x^n modulo the polynomial (reflected), by squaring.
std::uint32_t xPowModP(std::uint64_t n) {
    std::uint32_t result = 1u << 31; // x^0
    std::uint32_t square = 1u << 30; // x^1
    while (n) {
        if (n & 1)
            result = mulModP(result, square);
        square = mulModP(square, square);
        n >>= 1;
    }
    return result;
}

// Three independent streams hide the instruction's latency. A stream of
// 64*m bytes is shifted over the next one by a carry-less multiply with
// x^(512m - 33), reduced by the CRC instruction itself.
constexpr std::size_t kBlock = 64;
constexpr std::size_t kMaxBlocks = 256;

struct ShiftTable {
    std::uint64_t k[kMaxBlocks + 1];
    ShiftTable() {
        k[0] = 0;
        const std::uint32_t step = xPowModP(8 * kBlock);
        std::uint32_t v = xPowModP(8 * kBlock - 33);
        for (std::size_t m = 1; m <= kMaxBlocks; ++m) {
            k[m] = v;
            v = mulModP(v, step);
        }
    }
};

const ShiftTable& shiftTable() {
    static const ShiftTable table;
    return table;
}

__attribute__((target("sse4.2,pclmul"))) std::uint64_t shift(std::uint64_t crc, std::uint64_t k) {
    const __m128i product = _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(crc)),
                                                 _mm_cvtsi64_si128(static_cast<long long>(k)), 0);
    return __builtin_ia32_crc32di(0, static_cast<std::uint64_t>(_mm_cvtsi128_si64(product)));
}

__attribute__((target("sse4.2,pclmul"))) std::uint64_t
crcThreeWay(const unsigned char*& p, std::size_t& n, std::uint64_t c) {
    const ShiftTable& table = shiftTable();
    while (n >= 3 * kBlock) {
        const std::size_t blocks = std::min(n / (3 * kBlock), kMaxBlocks);
        const std::size_t len = blocks * kBlock;
        const std::size_t words = len / 8;
        std::uint64_t a = c, b = 0, d = 0;
        const unsigned char* pa = p;
        const unsigned char* pb = p + len;
        const unsigned char* pd = p + 2 * len;
        for (std::size_t i = 0; i < words; ++i) {
            std::uint64_t wa, wb, wd;
            std::memcpy(&wa, pa + 8 * i, 8);
            std::memcpy(&wb, pb + 8 * i, 8);
            std::memcpy(&wd, pd + 8 * i, 8);
            a = __builtin_ia32_crc32di(a, wa);
            b = __builtin_ia32_crc32di(b, wb);
            d = __builtin_ia32_crc32di(d, wd);
        }
        c = shift(shift(a, table.k[blocks]) ^ b, table.k[blocks]) ^ d;
        p += 3 * len;
        n -= 3 * len;
    }
    return c;
}

__attribute__((target("sse4.2"))) std::uint32_t crcHardware(const unsigned char* p, std::size_t n,
                                                            std::uint32_t crc, bool threeWay) {
    std::uint64_t c = crc;
    if (threeWay && n >= 3 * kBlock)
        c = crcThreeWay(p, n, c);
    c = crcRun(p, n / 8, c);
    p += n & ~std::size_t(7);
    n &= 7;
    auto c32 = static_cast<std::uint32_t>(c);
    while (n--)
        c32 = __builtin_ia32_crc32qi(c32, *p++);
    return c32;
}

bool haveHardware() {
    static const bool have = __builtin_cpu_supports("sse4.2");
    return have;
}

bool haveClmul() {
    static const bool have = __builtin_cpu_supports("pclmul");
    return have;
}
#endif

} // namespace

std::uint32_t crc32c(const void* data, std::size_t size, std::uint32_t crc) {
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
#ifdef VELLICAR_HAVE_SSE42_CRC
    if (haveHardware())
        return ~crcHardware(p, size, crc, haveClmul());
#endif
    return ~crcPortable(p, size, crc);
}

} // namespace vellicar::store
