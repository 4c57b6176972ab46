// Rich-text throughput: the plain-text extractor that search runs over every
// body, against building a QTextDocument for each body and asking it for its
// text; and a full import and export of one large note.
//
// VELLICAR_BENCH_BODIES sets the corpus size (default 10000 bodies of
// 1-50 KiB, generated with a fixed seed).
#include "core/richtext/rtf.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QTextDocument>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <random>
#include <vector>

using namespace vellicar::richtext;

namespace {

const char* const kWords[] = {"note",    "meeting",  "budget", "Vellicar", "project", "draft",
                              "summary", "the",      "of",     "and",      "review",  "customer",
                              "invoice", "schedule", "call",   "follow-up"};

// A body of about `target` bytes in the style rich-edit controls and word
// processors write: font and colour tables, formatted runs, accents,
// Unicode escapes, now and then a table or a small picture.
QByteArray makeBody(std::mt19937& rng, int target) {
    QByteArray b =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 "
        "Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}}\r\n{\\colortbl ;\\red255\\green0"
        "\\blue0;\\red0\\green0\\blue255;}\r\n\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    std::uniform_int_distribution<int> word(0, std::size(kWords) - 1);
    std::uniform_int_distribution<int> permille(0, 999);
    while (b.size() < target) {
        const int r = permille(rng) / 10;
        if (permille(rng) < 2) {
            b += "\\par\r\n\\trowd\\cellx3000\\cellx6000\\pard\\intbl ";
            b += kWords[word(rng)];
            b += "\\cell ";
            b += kWords[word(rng)];
            b += "\\cell\\row\\pard ";
        } else if (permille(rng) < 2) {
            b += "{\\pict\\pngblip\\picw1\\pich1 "
                 "89504e470d0a1a0a0000000d4948445200000001000000010802"
                 "000000907753de0000000c4944415478da63f8cfc0000003010100c9fe92ef0000000049454e44ae"
                 "426082}";
        } else if (r < 12) {
            b += "\\par\r\n";
        } else if (r < 18) {
            b += "{\\b ";
            b += kWords[word(rng)];
            b += "} ";
        } else if (r < 22) {
            b += "\\cf1\\i ";
            b += kWords[word(rng)];
            b += "\\cf0\\i0  ";
        } else if (r < 25) {
            b += "caf\\'e9 na\\'efve ";
        } else if (r < 27) {
            b += "\\u8364?\\u8220?x\\u8221? ";
        } else if (r < 29) {
            b += "\\tab ";
        } else {
            b += kWords[word(rng)];
            b += ' ';
        }
    }
    b += "\\par\r\n}\r\n";
    return b;
}

const std::vector<QByteArray>& corpus() {
    static const std::vector<QByteArray> bodies = [] {
        int count = 10000;
        if (const char* env = std::getenv("VELLICAR_BENCH_BODIES"))
            count = std::max(1, std::atoi(env));
        std::mt19937 rng(20240611);
        std::uniform_int_distribution<int> size(1024, 50 * 1024);
        std::vector<QByteArray> out;
        out.reserve(count);
        for (int i = 0; i < count; ++i)
            out.push_back(makeBody(rng, size(rng)));
        return out;
    }();
    return bodies;
}

int64_t corpusBytes() {
    int64_t n = 0;
    for (const QByteArray& b : corpus())
        n += b.size();
    return n;
}

void BM_ExtractorCorpus(benchmark::State& state) {
    const auto& bodies = corpus();
    for (auto _ : state) {
        qsizetype chars = 0;
        for (const QByteArray& b : bodies)
            chars += rtfPlainText(b).size();
        benchmark::DoNotOptimize(chars);
    }
    state.SetBytesProcessed(state.iterations() * corpusBytes());
    state.counters["bodies"] = static_cast<double>(bodies.size());
}
BENCHMARK(BM_ExtractorCorpus)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DocumentCorpus(benchmark::State& state) {
    const auto& bodies = corpus();
    for (auto _ : state) {
        qsizetype chars = 0;
        for (const QByteArray& b : bodies) {
            QTextDocument doc;
            rtfToDocument(b, doc);
            chars += doc.toPlainText().size();
        }
        benchmark::DoNotOptimize(chars);
    }
    state.SetBytesProcessed(state.iterations() * corpusBytes());
    state.counters["bodies"] = static_cast<double>(bodies.size());
}
BENCHMARK(BM_DocumentCorpus)->Unit(benchmark::kMillisecond)->Iterations(1);

QByteArray note50k() {
    std::mt19937 rng(7);
    return makeBody(rng, 50 * 1024);
}

void BM_Import50KiB(benchmark::State& state) {
    const QByteArray rtf = note50k();
    for (auto _ : state) {
        QTextDocument doc;
        rtfToDocument(rtf, doc);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_Import50KiB)->Unit(benchmark::kMicrosecond);

void BM_Export50KiB(benchmark::State& state) {
    QTextDocument doc;
    rtfToDocument(note50k(), doc);
    for (auto _ : state)
        benchmark::DoNotOptimize(documentToRtf(doc).size());
}
BENCHMARK(BM_Export50KiB)->Unit(benchmark::kMicrosecond);

void BM_ImportExport50KiB(benchmark::State& state) {
    const QByteArray rtf = note50k();
    for (auto _ : state) {
        QTextDocument doc;
        rtfToDocument(rtf, doc);
        benchmark::DoNotOptimize(documentToRtf(doc).size());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_ImportExport50KiB)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
