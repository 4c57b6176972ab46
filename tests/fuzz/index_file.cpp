// Any bytes as the index file beside an intact data file: the store must
// open, and never hand out a wrong record: each key gives its own value or an
// error. An index whose checksum was forged may hide records (so may one that
// simply leaves an entry out); the data file alone still gives every record,
// which the end of each run checks. Runs on the in-memory file system.
//
// Input: a flags byte, then the index file. Flag bit 0 writes the data
// file's identity and a correct checksum into the bytes, so the fuzzer gets
// past those checks and into the entries.
#include "core/store/engine_crc32c.h"
#include "core/store/engine_format.h"
#include "core/store/record_store.h"

#include <QtCore/QtEndian>

#include <cstdint>
#include <cstdlib>
#include <map>

using namespace vellicar::store;

namespace {

constexpr std::uint64_t kFileId = 0x5eed;

void check(bool ok) {
    if (!ok)
        std::abort();
}

struct Sample {
    QByteArray data;
    std::map<QByteArray, std::pair<QByteArray, QByteArray>> records;
    Sample() {
        data = engine::encodeDataHeader(kFileId);
        const std::tuple<const char*, const char*, QByteArray> puts[] = {
            {"a", "o1", "alpha"},
            {"b", "o2", "beta"},
            {"c", "o1", QByteArray(300, 'c')},
            {"a", "o3", "alpha2"},
            {"d", "o2", "delta"}};
        std::uint64_t seq = 1;
        for (const auto& [k, o, v] : puts) {
            engine::FrameHeader fh;
            data += engine::encodeFrame(seq++, engine::kFramePut, k, o, v, fh);
            records[k] = {o, v};
        }
        engine::FrameHeader fh;
        data += engine::encodeFrame(seq++, engine::kFrameDelete, "b", {}, {}, fh);
        records.erase("b");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static const Sample sample;
    const QString path = QStringLiteral("/fuzz/notes.isd");
    QByteArray index(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if ((data[0] & 1) && index.size() >= 68) {
        qToLittleEndian<std::uint64_t>(kFileId, index.data() + 16);
        qToLittleEndian(crc32c(index.constData(), static_cast<std::size_t>(index.size() - 4)),
                        index.data() + index.size() - 4);
    }
    MemoryFileIo io;
    io.setFile(path, sample.data);
    io.setFile(RecordStore::indexPathFor(path), index);
    StoreStatus status = StoreStatus::Ok;
    QString text;
    auto store = RecordStore::open(path, RecordStore::Mode::ReadWrite, io, status, text);
    check(store != nullptr);
    for (const QByteArray& key : store->keys()) {
        QByteArray value;
        const StoreStatus s = store->get(key, value);
        const auto it = sample.records.find(key);
        if (s == StoreStatus::Ok)
            check(it != sample.records.end() && it->second.second == value &&
                  store->ownerOf(key) == it->second.first);
        else // a forged checksum can make the index hide a record, never swap one
            check(s == StoreStatus::IoError || s == StoreStatus::NotFound);
    }
    // Without the index the data file alone gives exactly the records.
    store.reset();
    io.remove(RecordStore::indexPathFor(path));
    store = RecordStore::open(path, RecordStore::Mode::ReadOnly, io, status, text);
    check(store && store->size() == sample.records.size());
    return 0;
}
