// Any bytes as a data file: opening must not crash or hang, every record it
// hands out must pass its checksum, index 1 must match the records, and the
// store must take a new record and keep it. Runs on the in-memory file
// system, so no input waits for a disk.
//
// Input: a flags byte, then the file. Flag bit 0 puts a valid header in
// front, so the fuzzer spends its time on frames rather than on the header.
#include "core/store/engine_format.h"
#include "core/store/record_store.h"

#include <cstdint>
#include <cstdlib>

using namespace vellicar::store;

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

void readEverything(const RecordStore& store) {
    std::size_t walked = 0;
    for (auto e = store.firstEntry(); e; e = store.entryAfter(*e)) {
        check(store.ownerOf(e->key) == e->owner);
        ++walked;
    }
    check(walked == store.size());
    for (const QByteArray& key : store.keys()) {
        QByteArray value;
        const StoreStatus s = store.get(key, value);
        check(s == StoreStatus::Ok || s == StoreStatus::IoError);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QString path = QStringLiteral("/fuzz/notes.isd");
    QByteArray file;
    if (data[0] & 1)
        file = engine::encodeDataHeader(0x5eed);
    file.append(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    MemoryFileIo io;
    io.setFile(path, file);
    StoreStatus status = StoreStatus::Ok;
    QString text;
    if (auto ro = RecordStore::open(path, RecordStore::Mode::ReadOnly, io, status, text)) {
        readEverything(*ro);
        check(io.fileContents(path) == file); // read-only never writes
    }
    auto rw = RecordStore::open(path, RecordStore::Mode::ReadWrite, io, status, text);
    if (!rw) {
        check(status == StoreStatus::NotADatabase);
        return 0;
    }
    rw->setPreallocationChunk(4096);
    readEverything(*rw);
    check(rw->put("fuzz-key", "fuzz-owner", "fuzz-value") == StoreStatus::Ok);
    check(rw->flush() == StoreStatus::Ok);
    rw.reset();
    io.remove(RecordStore::indexPathFor(path));
    auto again = RecordStore::open(path, RecordStore::Mode::ReadWrite, io, status, text);
    check(again != nullptr);
    QByteArray value;
    check(again->get("fuzz-key", value) == StoreStatus::Ok && value == "fuzz-value");
    readEverything(*again);
    return 0;
}
