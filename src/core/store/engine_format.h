#pragma once
// The bytes of the data file and the index file, shared by the engine, its
// tests and the fuzz targets. docs/storage-format.md describes the same
// layout in prose; change both together. All numbers are little-endian.
#include <QtCore/QByteArray>
#include <QtCore/QByteArrayView>
#include <QtCore/QString>

#include "core/store/engine_index.h"

#include <cstdint>
#include <vector>

namespace vellicar::store::engine {

constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kDataHeaderSize = 64;
constexpr std::size_t kFrameHeaderSize = 40;
constexpr std::uint32_t kIndexFormatVersion = 2;
constexpr std::size_t kIndexHeaderSize = 80;
constexpr std::uint32_t kFrameMagic = 0x31524656u; // "VFR1"
constexpr std::uint8_t kFramePut = 1;
constexpr std::uint8_t kFrameDelete = 2;

inline std::uint64_t align8(std::uint64_t n) {
    return (n + 7u) & ~std::uint64_t(7);
}
std::uint32_t readU32(const char* p);
std::uint64_t readU64(const char* p);

struct FrameHeader {
    std::uint32_t headerCrc = 0;
    std::uint64_t seq = 0;
    std::uint32_t keyLength = 0;
    std::uint32_t ownerLength = 0;
    std::uint32_t valueLength = 0;
    std::uint8_t type = 0;
    std::uint32_t payloadCrc = 0;
    std::uint64_t size = 0; // header + payload + padding

    std::size_t payloadSize() const { return std::size_t(keyLength) + ownerLength + valueLength; }
};

// Checks magic, header checksum, type, reserved bytes and length limits.
// `h` must hold kFrameHeaderSize bytes. Does not look at the payload.
bool parseFrameHeader(const char* h, FrameHeader& out);

QByteArray encodeFrame(std::uint64_t seq, std::uint8_t type, QByteArrayView key,
                       QByteArrayView owner, QByteArrayView value, FrameHeader& header);

enum class HeaderCheck { Ok, Foreign, Newer, Damaged };
QByteArray encodeDataHeader(std::uint64_t fileId);
// `size` is how many bytes of the header could be read.
HeaderCheck parseDataHeader(const char* h, std::size_t size, std::uint64_t& fileId);

struct IndexCheckpoint {
    std::uint64_t dataEnd = kDataHeaderSize;
    std::uint64_t nextSeq = 1;
    std::uint64_t lastFramePos = 0;
    std::uint32_t lastFrameCrc = 0;
};
QByteArray encodeIndexFile(std::uint64_t fileId, const IndexCheckpoint& cp, const KeyIndex& index);
// Accepts only a whole, checksummed index of the data file `fileId` whose
// entries lie inside its checkpoint and come in strict (owner, key) order.
bool decodeIndex(const QByteArray& bytes, std::uint64_t fileId, std::uint64_t dataFileSize,
                 IndexCheckpoint& out, KeyIndex& index, QString& why);

} // namespace vellicar::store::engine
