// Any bytes through the record decoder: no crash, and a record that decodes
// encodes back to exactly the same bytes.
#include "core/store/note_record.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar::store;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    NoteRecord record;
    if (decodeRecord(bytes, record) && encodeRecord(record) != bytes)
        std::abort();
    return 0;
}
