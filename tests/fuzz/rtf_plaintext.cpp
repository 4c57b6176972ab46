// Any bytes: the streaming extractor gives exactly the text of the document
// the reader builds, for bytes and for the same body held in a QString.
#include "core/richtext/rtf.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QTextDocument>
#include <cstdint>
#include <cstdlib>

namespace {

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_rtf_plaintext";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar::richtext;
    ensureApplication();
    if (size > 64 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument doc;
    rtfToDocument(bytes, doc);
    const QString fast = rtfPlainText(bytes);
    if (fast != doc.toPlainText())
        std::abort();
    if (looksLikeRtf(bytes) && rtfPlainText(QString::fromLatin1(bytes)) != fast)
        std::abort();
    return 0;
}
