#pragma once
// CRC-32C (Castagnoli), the checksum of every frame and of the index file. It
// uses the SSE4.2 instruction when the processor has it: opening a database
// without its index file checksums the whole data file.
#include <cstddef>
#include <cstdint>

namespace vellicar::store {

std::uint32_t crc32c(const void* data, std::size_t size, std::uint32_t crc = 0);

} // namespace vellicar::store
