// Any text read as a section list: no crash, no endless loop, and what the
// writer makes of the entries read comes back the same.
#include "core/store/section_list.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar::store;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SectionListRead read = readSectionList(text);
    for (const SectionEntry& e : read.entries) {
        // The writer drops a leading marker on purpose; such lists do not round-trip.
        if (e.caption.startsWith(QChar(CurrentTabMarkerChar)))
            return 0;
    }
    const SectionListWrite written = writeSectionList(read.entries);
    if (!written.ok())
        std::abort(); // everything read fits, since lengths are two digits
    if (!read.damaged() && written.text.isEmpty() != read.entries.isEmpty())
        std::abort();
    const SectionListRead again = readSectionList(written.text);
    if (again.damaged() || again.entries != read.entries)
        std::abort();
    return 0;
}
