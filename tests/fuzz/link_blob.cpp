// Any text read as a Link blob: no crash, no endless loop; what was read can
// be written, and writing then reading gives the same links.
#include "core/links/link_blob.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar::links;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const LinkBlobRead read = readLinkBlob(text);
    const LinkBlobWrite written = writeLinkBlob(read.links);
    if (!written.ok())
        std::abort();
    const LinkBlobRead again = readLinkBlob(written.blob);
    if (again.damaged() || again.links != read.links)
        std::abort();
    return 0;
}
