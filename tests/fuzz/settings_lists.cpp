// Feeds arbitrary text to the readers of "DatabaseList" and "RunOpenList":
// they must end, never read past the text, and what they read must survive
// being written and read again.
#include "core/shell/settings_lists.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    using namespace vellicar::shell;
    const DatabaseList dbs = decodeDatabaseList(text);
    const DatabaseList again = decodeDatabaseList(encodeDatabaseList(dbs.position, dbs.entries));
    if (!dbs.entries.isEmpty() && again.entries != dbs.entries)
        std::abort();
    const RunOpenList runs = decodeRunOpenList(text);
    QStringList first = runs.entries.mid(0, RunOpenListMax);
    if (decodeRunOpenList(encodeRunOpenList(first)).entries != first)
        std::abort();
    return 0;
}
