#include "core/store/engine_format.h"

#include "core/store/engine_crc32c.h"
#include "core/store/record_store.h"

#include <QtCore/QtEndian>

#include <cstring>

namespace vellicar::store::engine {

namespace {
constexpr char kDataMagic[8] = {'V', 'L', 'C', 'R', 'D', 'A', 'T', 'A'};
constexpr char kIndexMagic[8] = {'V', 'L', 'C', 'R', 'I', 'N', 'D', 'X'};

void putU32(char* p, std::uint32_t v) {
    qToLittleEndian(v, p);
}
void putU64(char* p, std::uint64_t v) {
    qToLittleEndian(v, p);
}
void appendU32(QByteArray& out, std::uint32_t v) {
    char b[4];
    putU32(b, v);
    out.append(b, 4);
}
void appendU64(QByteArray& out, std::uint64_t v) {
    char b[8];
    putU64(b, v);
    out.append(b, 8);
}
} // namespace

std::uint32_t readU32(const char* p) {
    return qFromLittleEndian<std::uint32_t>(p);
}
std::uint64_t readU64(const char* p) {
    return qFromLittleEndian<std::uint64_t>(p);
}

bool parseFrameHeader(const char* h, FrameHeader& out) {
    if (readU32(h) != kFrameMagic)
        return false;
    const std::uint32_t crc = readU32(h + 4);
    if (crc32c(h + 8, kFrameHeaderSize - 8) != crc)
        return false;
    FrameHeader f;
    f.headerCrc = crc;
    f.seq = readU64(h + 8);
    f.keyLength = readU32(h + 16);
    f.ownerLength = readU32(h + 20);
    f.valueLength = readU32(h + 24);
    f.type = static_cast<std::uint8_t>(h[28]);
    f.payloadCrc = readU32(h + 32);
    if (h[29] || h[30] || h[31] || readU32(h + 36) != 0)
        return false;
    if (f.type != kFramePut && f.type != kFrameDelete)
        return false;
    if (f.keyLength > RecordStore::MaxKeyBytes || f.ownerLength > RecordStore::MaxKeyBytes ||
        f.valueLength > RecordStore::MaxValueBytes)
        return false;
    if (f.type == kFrameDelete && (f.ownerLength != 0 || f.valueLength != 0))
        return false;
    f.size = kFrameHeaderSize + align8(f.payloadSize());
    out = f;
    return true;
}

QByteArray encodeFrame(std::uint64_t seq, std::uint8_t type, QByteArrayView key,
                       QByteArrayView owner, QByteArrayView value, FrameHeader& header) {
    const std::size_t payload = static_cast<std::size_t>(key.size() + owner.size() + value.size());
    const std::size_t size = kFrameHeaderSize + static_cast<std::size_t>(align8(payload));
    QByteArray frame(static_cast<qsizetype>(size), '\0');
    char* h = frame.data();
    char* p = h + kFrameHeaderSize;
    // An empty view may carry a null pointer, which memcpy must never see.
    auto append = [&p](QByteArrayView part) {
        if (!part.isEmpty())
            std::memcpy(p, part.data(), static_cast<std::size_t>(part.size()));
        p += part.size();
    };
    append(key);
    append(owner);
    append(value);
    p = h + kFrameHeaderSize;

    header = FrameHeader{};
    header.seq = seq;
    header.keyLength = static_cast<std::uint32_t>(key.size());
    header.ownerLength = static_cast<std::uint32_t>(owner.size());
    header.valueLength = static_cast<std::uint32_t>(value.size());
    header.type = type;
    header.payloadCrc = crc32c(p, payload);
    header.size = size;

    putU32(h, kFrameMagic);
    putU64(h + 8, seq);
    putU32(h + 16, header.keyLength);
    putU32(h + 20, header.ownerLength);
    putU32(h + 24, header.valueLength);
    h[28] = static_cast<char>(type);
    putU32(h + 32, header.payloadCrc);
    header.headerCrc = crc32c(h + 8, kFrameHeaderSize - 8);
    putU32(h + 4, header.headerCrc);
    return frame;
}

QByteArray encodeDataHeader(std::uint64_t fileId) {
    QByteArray h(kDataHeaderSize, '\0');
    std::memcpy(h.data(), kDataMagic, 8);
    putU32(h.data() + 8, kFormatVersion);
    putU32(h.data() + 12, kDataHeaderSize);
    putU64(h.data() + 16, fileId);
    putU32(h.data() + 60, crc32c(h.constData(), 60));
    return h;
}

HeaderCheck parseDataHeader(const char* h, std::size_t size, std::uint64_t& fileId) {
    if (size < kDataHeaderSize || std::memcmp(h, kDataMagic, 8) != 0)
        return HeaderCheck::Foreign;
    if (crc32c(h, 60) != readU32(h + 60))
        return HeaderCheck::Damaged;
    if (readU32(h + 8) > kFormatVersion)
        return HeaderCheck::Newer;
    if (readU32(h + 8) == 0 || readU32(h + 12) != kDataHeaderSize)
        return HeaderCheck::Damaged;
    fileId = readU64(h + 16);
    return HeaderCheck::Ok;
}

QByteArray encodeIndexFile(std::uint64_t fileId, const IndexCheckpoint& cp, const KeyIndex& index) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(kIndexHeaderSize + 4 + 40 * index.size()));
    out.append(kIndexMagic, 8);
    appendU32(out, kIndexFormatVersion);
    appendU32(out, 0);
    appendU64(out, fileId);
    appendU64(out, cp.dataEnd);
    appendU64(out, cp.nextSeq);
    appendU64(out, cp.lastFramePos);
    appendU32(out, cp.lastFrameCrc);
    appendU32(out, 0);
    out.resize(kIndexHeaderSize); // counts filled in below
    std::uint64_t count = 0, arenaBytes = 0, tableSize = 0;
    index.appendTables(out, count, arenaBytes, tableSize);
    putU64(out.data() + 56, count);
    putU64(out.data() + 64, tableSize);
    putU64(out.data() + 72, arenaBytes);
    appendU32(out, crc32c(out.constData(), static_cast<std::size_t>(out.size())));
    return out;
}

bool decodeIndex(const QByteArray& bytes, std::uint64_t fileId, std::uint64_t dataFileSize,
                 IndexCheckpoint& out, KeyIndex& index, QString& why) {
    const auto size = static_cast<std::size_t>(bytes.size());
    const char* b = bytes.constData();
    if (size < kIndexHeaderSize + 4 || std::memcmp(b, kIndexMagic, 8) != 0) {
        why = QStringLiteral("it is not an index file");
        return false;
    }
    if (readU32(b + 8) != kIndexFormatVersion) {
        why = QStringLiteral("it has an unknown version");
        return false;
    }
    if (crc32c(b, size - 4) != readU32(b + size - 4)) {
        why = QStringLiteral("its checksum is wrong");
        return false;
    }
    if (readU64(b + 16) != fileId || fileId == 0) {
        why = QStringLiteral("it belongs to another data file");
        return false;
    }
    IndexCheckpoint cp;
    cp.dataEnd = readU64(b + 24);
    cp.nextSeq = readU64(b + 32);
    cp.lastFramePos = readU64(b + 40);
    cp.lastFrameCrc = readU32(b + 48);
    if (cp.dataEnd < kDataHeaderSize || cp.dataEnd > dataFileSize || cp.dataEnd % 8 != 0) {
        why = QStringLiteral("it does not match the data file");
        return false;
    }
    if (!index.adoptTables(b + kIndexHeaderSize, size - 4 - kIndexHeaderSize, readU64(b + 56),
                           readU64(b + 72), readU64(b + 64), cp.dataEnd, why))
        return false;
    out = cp;
    return true;
}

} // namespace vellicar::store::engine
