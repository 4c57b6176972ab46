// Any bytes through the RTF reader: no crash or hang, and what the writer
// makes of the document reads back to the same text and writes the same bytes.
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
    static char name[] = "fuzz_rtf_reader";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar::richtext;
    ensureApplication();
    // Note bodies are small; larger inputs only slow the search down.
    if (size > 64 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument doc;
    rtfToDocument(bytes, doc);
    const QByteArray rtf = documentToRtf(doc);
    for (char ch : rtf)
        if (static_cast<unsigned char>(ch) >= 0x80)
            std::abort();
    QTextDocument back;
    if (!rtfToDocument(rtf, back))
        std::abort();
    // Control characters (only plain-text bodies have them) have no RTF form.
    QString shown = doc.toPlainText();
    shown.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t' && c != u'\n'; });
    if (back.toPlainText() != shown)
        std::abort();
    if (documentToRtf(back) != rtf)
        std::abort();
    return 0;
}
