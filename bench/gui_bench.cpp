// The main window on big notebooks: showing a section of 10 000 notes (tree
// loaded, model filled, first note shown) and starting the program on a
// database of 100 000 records. Runs on the offscreen platform.
#include "core/richtext/rtf.h"
#include "core/store/database.h"
#include "core/store/section_list.h"
#include "core/tree/note_tree.h"
#include "core/tree/tree_store.h"
#include "gui/shell/frmMain.h"

#include <QtCore/QTemporaryDir>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTabBar>
#include <benchmark/benchmark.h>
#include <memory>

using namespace vellicar;

namespace {

// Answers every prompt with its first choice; the bench expects none.
class QuietPrompter : public gui::Prompter {
public:
    gui::PromptAnswer message(const QString&, const QString&, gui::PromptIcon,
                              gui::PromptButtons) override {
        return gui::PromptAnswer::Ok;
    }
    QString openFile(const gui::FileRequest&) override { return {}; }
    void about(const QString&) override {}
};

const QString Marker = QString(QChar(0x00B6)) + QLatin1Char(' ');

// A notebook whose first section holds `notes` notes (folders of 100) and
// whose other records, up to `records` in all, are notes of a second section.
void makeNotebook(const QString& path, int notes, int records) {
    QTemporaryDir scratch;
    QSettings s(scratch.path() + QStringLiteral("/s.ini"), QSettings::IniFormat);
    store::DbState db;
    store::OpenDatabaseFile(db, s, path, scratch.path());
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("A note body with a few words, enough to be a real note."));
    const QString body = richtext::documentToRtfString(doc);
    tree::NoteTree t;
    tree::TreeNode* root = t.addTop(QStringLiteral("RVLR1"), Marker + QStringLiteral("Big"));
    t.setExpanded(root, true);
    tree::TreeNode* folder = nullptr;
    int written = 0;
    t.beginBulk();
    for (int i = 0; i < notes; ++i) {
        const QString key = QStringLiteral("%1.5").arg(40000 + i);
        tree::TreeNode* parent = root;
        if (i % 100 == 0) {
            folder = t.add(root, tree::Relation::LastChild, QStringLiteral("K") + key,
                           QStringLiteral("Folder %1").arg(i / 100));
            parent = nullptr;
        } else {
            parent = folder;
        }
        if (parent)
            t.add(parent, tree::Relation::LastChild, QStringLiteral("K") + key,
                  QStringLiteral("Note %1").arg(i));
        store::NoteRecord r;
        r.Owner = QStringLiteral("VLR1");
        r.Title = QStringLiteral("Note %1").arg(i);
        r.Body = body;
        r.Created = r.Modified = key;
        db.vmx.VmxPut(db.DbHandle, key, r, 0);
        ++written;
    }
    t.endBulk();
    for (int i = written; i < records - 4; ++i) {
        store::NoteRecord r;
        r.Owner = QStringLiteral("VLR2");
        r.Title = QStringLiteral("Other %1").arg(i);
        r.Body = body;
        db.vmx.VmxPut(db.DbHandle, QStringLiteral("%1.25").arg(90000 + i), r, 0);
    }
    db.vmx.VmxFlush(db.DbHandle);
    (void)tree::SaveSectionTree(db, t, QStringLiteral("VLR1"), QStringLiteral("RVLR1"));
    tree::NoteTree empty;
    empty.addTop(QStringLiteral("RVLR2"), Marker + QStringLiteral("Small"));
    (void)tree::SaveSectionTree(db, empty, QStringLiteral("VLR2"), QStringLiteral("RVLR2"));
    store::NoteRecord list;
    list.Owner = QStringLiteral("Desc");
    list.Body = store::writeSectionList({{QStringLiteral("VLR1"), QStringLiteral("Big")},
                                         {QStringLiteral("VLR2"), QStringLiteral("Small")}})
                    .text;
    (void)store::writeRecord(db, QStringLiteral("Sections"), list);
    store::CloseDatabase(db);
}

struct Fixture {
    QTemporaryDir dir;
    QuietPrompter prompter;
    QString program = dir.path() + QStringLiteral("/program");
    Fixture(int notes, int records) {
        QDir().mkpath(program + QStringLiteral("/databases"));
        makeNotebook(program + QStringLiteral("/databases/Introduction.isd"), notes, records);
    }
    std::unique_ptr<gui::frmMain> start() {
        gui::Environment env;
        env.prompter = &prompter;
        env.settingsFile = dir.path() + QStringLiteral("/settings.ini");
        env.programFolder = program;
        auto w = std::make_unique<gui::frmMain>(env);
        w->Load();
        return w;
    }
};

void BM_ShowSectionOf10000Notes(benchmark::State& state) {
    static Fixture fixture(10000, 10010);
    auto w = fixture.start();
    for (auto _ : state) {
        state.PauseTiming();
        w->DBTabs->setCurrentIndex(1);
        w->DBTabsClick(1);
        state.ResumeTiming();
        w->DBTabs->setCurrentIndex(0);
        w->DBTabsClick(0);
        QApplication::processEvents();
        benchmark::DoNotOptimize(w->noteTree().count());
    }
    state.counters["nodes"] = double(w->noteTree().count());
    w->close();
}
BENCHMARK(BM_ShowSectionOf10000Notes)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_StartOnDatabaseOf100000Records(benchmark::State& state) {
    static Fixture fixture(1000, 100000);
    for (auto _ : state) {
        auto w = fixture.start();
        QApplication::processEvents();
        benchmark::DoNotOptimize(w->noteTree().count());
        state.PauseTiming();
        w->close();
        w.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartOnDatabaseOf100000Records)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
