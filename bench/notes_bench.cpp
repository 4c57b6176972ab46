// Note commands on a big section: creating a note in a section of 10 000
// notes (record, node, selection and the tree record written at once), and
// deleting a branch of 1 000 notes (tree first, then every record). Runs on
// the offscreen platform against real files.
#include "core/store/database.h"
#include "core/store/section_list.h"
#include "core/tree/note_tree.h"
#include "core/tree/tree_store.h"
#include "gui/notes/frmSiteTitle.h"
#include "gui/shell/frmMain.h"

#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <benchmark/benchmark.h>
#include <memory>

using namespace vellicar;

namespace {

// Says Yes to every question and types "Bench note" into the title dialog.
class BenchPrompter : public gui::Prompter {
public:
    gui::PromptAnswer message(const QString&, const QString&, gui::PromptIcon,
                              gui::PromptButtons buttons) override {
        return buttons == gui::PromptButtons::YesNo ? gui::PromptAnswer::Yes
                                                    : gui::PromptAnswer::Ok;
    }
    QString openFile(const gui::FileRequest&) override { return {}; }
    void about(const QString&) override {}
    int runDialog(QDialog& dialog) override {
        if (auto* t = qobject_cast<gui::frmSiteTitle*>(&dialog)) {
            t->txtSiteTitle->setText(QStringLiteral("Bench note"));
            t->cmdOK->click();
        }
        return dialog.result();
    }
};

const QString Marker = QString(QChar(0x00B6)) + QLatin1Char(' ');

// Section VLR1: `folders` folders under the root with `perFolder` notes each.
void makeNotebook(const QString& path, int folders, int perFolder) {
    QTemporaryDir scratch;
    QSettings s(scratch.path() + QStringLiteral("/s.ini"), QSettings::IniFormat);
    store::DbState db;
    store::OpenDatabaseFile(db, s, path, scratch.path());
    tree::NoteTree t;
    tree::TreeNode* root = t.addTop(QStringLiteral("RVLR1"), Marker + QStringLiteral("Big"));
    t.setSorted(root, true);
    t.setExpanded(root, true);
    int n = 0;
    auto put = [&](const QString& key, const QString& title) {
        store::NoteRecord r;
        r.Owner = QStringLiteral("VLR1");
        r.Title = title;
        r.Created = r.Modified = key;
        db.vmx.VmxPut(db.DbHandle, key, r, 0);
    };
    t.beginBulk();
    for (int f = 0; f < folders; ++f) {
        const QString fk = QStringLiteral("%1.5").arg(30000 + n++);
        tree::TreeNode* folder = t.add(root, tree::Relation::LastChild, QStringLiteral("K") + fk,
                                       QStringLiteral("Folder %1").arg(f, 3, 10, QLatin1Char('0')));
        put(fk, folder->Text());
        for (int i = 0; i < perFolder; ++i) {
            const QString k = QStringLiteral("%1.5").arg(30000 + n++);
            t.add(folder, tree::Relation::LastChild, QStringLiteral("K") + k,
                  QStringLiteral("Note %1").arg(i));
            put(k, QStringLiteral("Note %1").arg(i));
        }
    }
    t.endBulk();
    db.vmx.VmxFlush(db.DbHandle);
    (void)tree::SaveSectionTree(db, t, QStringLiteral("VLR1"), QStringLiteral("RVLR1"));
    store::NoteRecord list;
    list.Owner = QStringLiteral("Desc");
    list.Body = store::writeSectionList({{QStringLiteral("VLR1"), QStringLiteral("Big")}}).text;
    (void)store::writeRecord(db, QStringLiteral("Sections"), list);
    store::CloseDatabase(db);
}

struct Fixture {
    QTemporaryDir dir;
    BenchPrompter prompter;
    QString program = dir.path() + QStringLiteral("/program");
    Fixture(int folders, int perFolder) {
        QDir().mkpath(program + QStringLiteral("/databases"));
        makeNotebook(program + QStringLiteral("/databases/Introduction.isd"), folders, perFolder);
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

void BM_CreateNoteInSectionOf10000(benchmark::State& state) {
    Fixture fixture(100, 99);
    auto w = fixture.start();
    for (auto _ : state) {
        state.PauseTiming();
        w->NodeClick(w->noteTree().root());
        state.ResumeTiming();
        w->mFileNewSubjectClick();
        benchmark::DoNotOptimize(w->noteTree().count());
    }
    state.counters["nodes"] = double(w->noteTree().count());
    w->close();
}
BENCHMARK(BM_CreateNoteInSectionOf10000)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DeleteBranchOf1000(benchmark::State& state) {
    Fixture fixture(10, 999);
    auto w = fixture.start();
    for (auto _ : state) {
        state.PauseTiming();
        tree::TreeNode* folder = w->noteTree().root()->Child();
        w->NodeClick(folder);
        state.ResumeTiming();
        w->mSubjectDeleteClick();
        benchmark::DoNotOptimize(w->noteTree().count());
    }
    state.counters["nodes left"] = double(w->noteTree().count());
    w->close();
}
BENCHMARK(BM_DeleteBranchOf1000)->Unit(benchmark::kMillisecond)->Iterations(5);

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
