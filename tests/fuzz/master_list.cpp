// Any text read as the master list of index values: no crash, no endless
// loop; the entries come in list order, and what was read is written and read
// back the same.
#include "core/attributes/master_list.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar::attributes;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const MasterListRead read = readMasterList(text);
    QStringList sorted = read.entries;
    sortMasterList(sorted);
    if (sorted != read.entries)
        std::abort();
    const MasterListWrite written = writeMasterList(read.entries);
    if (!written.ok())
        std::abort();
    const MasterListRead again = readMasterList(written.text);
    if (again.damaged())
        std::abort();
    // A lone empty entry is stored as the empty list, on purpose.
    if (!(read.entries == QStringList{QString()}) && again.entries != read.entries)
        std::abort();
    return 0;
}
