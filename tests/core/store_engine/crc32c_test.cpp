// The checksum against a plain bit-by-bit CRC-32C, over the lengths where the
// fast path switches between three interleaved streams and one, at odd
// alignments, and continued from an earlier value.
#include "core/store/engine_crc32c.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using vellicar::store::crc32c;

namespace {
std::uint32_t bitwise(const unsigned char* p, std::size_t n, std::uint32_t crc = 0) {
    crc = ~crc;
    while (n--) {
        crc ^= *p++;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ ((crc & 1u) ? 0x82F63B78u : 0u);
    }
    return ~crc;
}
} // namespace

TEST(Crc32c, AgreesWithTheBitwiseDefinitionAtEveryPathBoundary) {
    EXPECT_EQ(crc32c("123456789", 9), 0xE3069283u); // the published check value
    std::mt19937 rng(5);
    std::vector<unsigned char> bytes(200000);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(rng());
    for (const std::size_t n : {0, 1, 7, 8, 9, 63, 191, 192, 193, 199, 200, 1000, 1040, 49151,
                                49152, 49153, 49152 * 2 + 17, 199990}) {
        for (const std::size_t offset : {0, 1, 5}) {
            SCOPED_TRACE(testing::Message() << "n=" << n << " offset=" << offset);
            EXPECT_EQ(crc32c(bytes.data() + offset, n), bitwise(bytes.data() + offset, n));
        }
    }
    const std::uint32_t first = crc32c(bytes.data(), 777);
    EXPECT_EQ(crc32c(bytes.data() + 777, 50000, first), bitwise(bytes.data(), 50777));
}
