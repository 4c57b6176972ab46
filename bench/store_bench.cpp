// The record store against SQLite on the same workloads with the same
// durability, plus the raw-file floors a flush cannot beat. Runs in a
// temporary folder below VELLICAR_BENCH_DIR (default: the current folder),
// which must be on a real disk for the flush figures to mean anything.
//
//  (a) put of a 2 KiB record + flush, vs SQLite WAL synchronous=FULL, vs a
//      bare append + fdatasync, vs an overwrite of allocated space + fdatasync
//  (b) get by key among 100 000 records
//  (c) index-1 walk of 100 matches among 100 000 records
//  (d) open of a 100 000-record database + first get, with and without the
//      index file, vs SQLite, vs reading the data file once
//  (e) file size after compaction against the live data
//
// After the runs a summary prints the ratios.
#include "core/store/file_io.h"
#include "core/store/record_store.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <random>
#include <unistd.h>
#include <vector>

using namespace vellicar::store;

namespace {

constexpr int kRecords = 100000;
constexpr int kOwners = 1000; // 100 records each
constexpr int kValueBytes = 1024;
constexpr int kPutBytes = 2048;

QTemporaryDir& workDir() {
    static QTemporaryDir dir(qEnvironmentVariable("VELLICAR_BENCH_DIR", QDir::currentPath()) +
                             QStringLiteral("/store-bench-XXXXXX"));
    return dir;
}
QString workPath(const QString& name) {
    return workDir().filePath(name);
}

QByteArray keyOf(int i) {
    return QByteArray::number(45000.0 + i * 0.0001, 'f', 7);
}
QByteArray ownerOf(int i) {
    return "VLR" + QByteArray::number(i % kOwners, 16).toUpper();
}
QByteArray valueOf(int i, int size) {
    QByteArray v(size, 'x');
    for (int j = 0; j < size; j += 61)
        v[j] = char('a' + (i + j) % 26);
    return v;
}

std::map<std::string, double> figures; // name -> value, for the summary

struct Latencies {
    std::vector<double> us;
    void add(std::chrono::steady_clock::duration d) {
        us.push_back(std::chrono::duration<double, std::micro>(d).count());
    }
    double pct(double p) {
        std::sort(us.begin(), us.end());
        return us.empty() ? 0 : us[std::min(us.size() - 1, std::size_t(p * double(us.size())))];
    }
    void report(benchmark::State& state, const std::string& name) {
        const double p50 = pct(0.50), p99 = pct(0.99);
        state.counters["p50_us"] = p50;
        state.counters["p99_us"] = p99;
        figures[name + ".p50"] = p50;
        figures[name + ".p99"] = p99;
    }
};

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "store_bench: %s failed\n", what);
        std::exit(1);
    }
}

void sqliteExec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s: %s\n", sql, err ? err : "?");
        std::exit(1);
    }
}

sqlite3* openSqlite(const QString& path, bool create) {
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                          SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0),
                          nullptr) == SQLITE_OK,
          "sqlite open");
    sqliteExec(db, "PRAGMA journal_mode=WAL");
    sqliteExec(db, "PRAGMA synchronous=FULL");
    if (create) {
        sqliteExec(db, "CREATE TABLE IF NOT EXISTS rec(k BLOB PRIMARY KEY, owner BLOB, v BLOB) "
                       "WITHOUT ROWID");
        sqliteExec(db, "CREATE INDEX IF NOT EXISTS rec_owner ON rec(owner, k)");
    }
    return db;
}

// ---------------------------------------------------------------- (a)

void BM_PutFlush_Store(benchmark::State& state) {
    const QString path = workPath(QStringLiteral("a_store.isd"));
    QFile::remove(path);
    QFile::remove(RecordStore::indexPathFor(path));
    FaultInjectingFileIo counting(PosixFileIo::instance());
    check(RecordStore::create(path, counting) == StoreStatus::Ok, "create");
    StoreStatus st;
    QString text;
    auto store = RecordStore::open(path, RecordStore::Mode::ReadWrite, counting, st, text);
    check(store != nullptr, "open");
    // Warm up: the first flush also syncs the folder, and the first chunk is allocated.
    check(store->put("warm", "o", valueOf(0, kPutBytes)) == StoreStatus::Ok, "put");
    check(store->flush() == StoreStatus::Ok, "flush");
    counting.resetCounts();
    Latencies lat;
    int i = 0;
    for (auto _ : state) {
        const QByteArray key = keyOf(i), owner = ownerOf(i), value = valueOf(i, kPutBytes);
        const auto t0 = std::chrono::steady_clock::now();
        const StoreStatus a = store->put(key, owner, value);
        const StoreStatus b = store->flush();
        const auto t1 = std::chrono::steady_clock::now();
        check(a == StoreStatus::Ok && b == StoreStatus::Ok, "put+flush");
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        lat.add(t1 - t0);
        ++i;
    }
    const double syncs =
        double(counting.calls(FileOp::DataSync) + counting.calls(FileOp::FullSync) +
               counting.calls(FileOp::SyncDir)) /
        double(i);
    state.counters["syncs_per_flush"] = syncs;
    figures["a.store.syncs_per_flush"] = syncs;
    lat.report(state, "a.store");
}

void BM_PutFlush_Sqlite(benchmark::State& state) {
    const QString path = workPath(QStringLiteral("a_sqlite.db"));
    QFile::remove(path);
    sqlite3* db = openSqlite(path, true);
    sqlite3_stmt* put = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO rec(k, owner, v) VALUES(?, ?, ?)", -1, &put,
                       nullptr);
    Latencies lat;
    int i = 0;
    for (auto _ : state) {
        const QByteArray key = keyOf(i), owner = ownerOf(i), value = valueOf(i, kPutBytes);
        const auto t0 = std::chrono::steady_clock::now();
        sqlite3_bind_blob(put, 1, key.constData(), int(key.size()), SQLITE_STATIC);
        sqlite3_bind_blob(put, 2, owner.constData(), int(owner.size()), SQLITE_STATIC);
        sqlite3_bind_blob(put, 3, value.constData(), int(value.size()), SQLITE_STATIC);
        const int rc = sqlite3_step(put); // autocommit: one transaction each
        sqlite3_reset(put);
        const auto t1 = std::chrono::steady_clock::now();
        check(rc == SQLITE_DONE, "sqlite insert");
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        lat.add(t1 - t0);
        ++i;
    }
    sqlite3_finalize(put);
    sqlite3_close(db);
    lat.report(state, "a.sqlite");
}

// The same bytes the store writes for one put: frame header + key + owner + value.
std::size_t frameBytes() {
    return std::size_t(40 + ((keyOf(0).size() + ownerOf(0).size() + kPutBytes + 7) / 8 * 8));
}

void BM_PutFlush_BareAppend(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(workPath(QStringLiteral("a_append.bin")));
    ::unlink(path.constData());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    check(fd >= 0, "open append");
    const QByteArray bytes = valueOf(1, int(frameBytes()));
    off_t end = 0;
    Latencies lat;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok =
            ::pwrite(fd, bytes.constData(), std::size_t(bytes.size()), end) == bytes.size() &&
            ::fdatasync(fd) == 0;
        const auto t1 = std::chrono::steady_clock::now();
        check(ok, "append");
        end += bytes.size();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        lat.add(t1 - t0);
    }
    ::close(fd);
    lat.report(state, "a.append");
}

void BM_PutFlush_Overwrite(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(workPath(QStringLiteral("a_overwrite.bin")));
    ::unlink(path.constData());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    check(fd >= 0, "open overwrite");
    const QByteArray bytes = valueOf(2, int(frameBytes()));
    // Allocate and initialise more than the run needs, then sync, so every
    // timed write lands on written blocks.
    const off_t total = off_t(bytes.size()) * (state.max_iterations + 16);
    const QByteArray zeros(1 << 20, '\0');
    for (off_t pos = 0; pos < total; pos += zeros.size())
        check(::pwrite(fd, zeros.constData(), std::size_t(zeros.size()), pos) == zeros.size(),
              "zero");
    check(::fsync(fd) == 0, "fsync");
    off_t at = 0;
    Latencies lat;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok =
            ::pwrite(fd, bytes.constData(), std::size_t(bytes.size()), at) == bytes.size() &&
            ::fdatasync(fd) == 0;
        const auto t1 = std::chrono::steady_clock::now();
        check(ok, "overwrite");
        at += bytes.size();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        lat.add(t1 - t0);
    }
    ::close(fd);
    lat.report(state, "a.overwrite");
}

// ---------------------------------------------------------------- (b)-(e) fixtures

struct Big {
    QString storePath;
    QString sqlitePath;
    std::uint64_t liveBytes = 0;
};

// 100 000 records of 1 KiB over 1000 owners, in both stores, built once.
const Big& big() {
    static Big b = [] {
        Big out;
        out.storePath = workPath(QStringLiteral("big.isd"));
        out.sqlitePath = workPath(QStringLiteral("big.db"));
        PosixFileIo& io = PosixFileIo::instance();
        check(RecordStore::create(out.storePath, io) == StoreStatus::Ok, "create big");
        StoreStatus st;
        QString text;
        auto store = RecordStore::open(out.storePath, RecordStore::Mode::ReadWrite, io, st, text);
        check(store != nullptr, "open big");
        sqlite3* db = openSqlite(out.sqlitePath, true);
        sqliteExec(db, "BEGIN");
        sqlite3_stmt* put = nullptr;
        sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO rec(k, owner, v) VALUES(?, ?, ?)", -1, &put,
                           nullptr);
        for (int i = 0; i < kRecords; ++i) {
            const QByteArray key = keyOf(i), owner = ownerOf(i), value = valueOf(i, kValueBytes);
            check(store->put(key, owner, value) == StoreStatus::Ok, "put big");
            out.liveBytes += std::uint64_t(key.size() + owner.size() + value.size());
            sqlite3_bind_blob(put, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(put, 2, owner.constData(), int(owner.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(put, 3, value.constData(), int(value.size()), SQLITE_TRANSIENT);
            check(sqlite3_step(put) == SQLITE_DONE, "sqlite big");
            sqlite3_reset(put);
        }
        sqlite3_finalize(put);
        sqliteExec(db, "COMMIT");
        sqliteExec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
        sqlite3_close(db);
        check(store->compact() == StoreStatus::Ok, "compact big");
        check(store->close() == StoreStatus::Ok, "close big");
        return out;
    }();
    return b;
}

void BM_Get_Store(benchmark::State& state) {
    StoreStatus st;
    QString text;
    auto store = RecordStore::open(big().storePath, RecordStore::Mode::ReadOnly,
                                   PosixFileIo::instance(), st, text);
    check(store != nullptr, "open");
    std::mt19937 rng(1);
    QByteArray value;
    for (auto _ : state) {
        const QByteArray key = keyOf(int(rng() % kRecords));
        check(store->get(key, value) == StoreStatus::Ok, "get");
        benchmark::DoNotOptimize(value.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Get_Sqlite(benchmark::State& state) {
    sqlite3* db = openSqlite(big().sqlitePath, false);
    sqlite3_stmt* get = nullptr;
    sqlite3_prepare_v2(db, "SELECT v FROM rec WHERE k = ?", -1, &get, nullptr);
    std::mt19937 rng(1);
    QByteArray value;
    for (auto _ : state) {
        const QByteArray key = keyOf(int(rng() % kRecords));
        sqlite3_bind_blob(get, 1, key.constData(), int(key.size()), SQLITE_STATIC);
        check(sqlite3_step(get) == SQLITE_ROW, "sqlite get");
        value = QByteArray(static_cast<const char*>(sqlite3_column_blob(get, 0)),
                           sqlite3_column_bytes(get, 0));
        sqlite3_reset(get);
        benchmark::DoNotOptimize(value.data());
    }
    sqlite3_finalize(get);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}

void BM_OwnerWalk_Store(benchmark::State& state) {
    StoreStatus st;
    QString text;
    auto store = RecordStore::open(big().storePath, RecordStore::Mode::ReadOnly,
                                   PosixFileIo::instance(), st, text);
    check(store != nullptr, "open");
    std::mt19937 rng(2);
    QByteArray value;
    for (auto _ : state) {
        const QByteArray owner = ownerOf(int(rng() % kOwners));
        int n = 0;
        for (auto e = store->firstOfOwner(owner); e && e->owner == owner;
             e = store->entryAfter(*e)) {
            check(store->get(e->key, value) == StoreStatus::Ok, "walk get");
            ++n;
        }
        check(n == kRecords / kOwners, "walk count");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_OwnerWalk_Sqlite(benchmark::State& state) {
    sqlite3* db = openSqlite(big().sqlitePath, false);
    sqlite3_stmt* walk = nullptr;
    sqlite3_prepare_v2(db, "SELECT k, v FROM rec WHERE owner = ? ORDER BY k", -1, &walk, nullptr);
    std::mt19937 rng(2);
    QByteArray value;
    for (auto _ : state) {
        const QByteArray owner = ownerOf(int(rng() % kOwners));
        sqlite3_bind_blob(walk, 1, owner.constData(), int(owner.size()), SQLITE_STATIC);
        int n = 0;
        while (sqlite3_step(walk) == SQLITE_ROW) {
            value = QByteArray(static_cast<const char*>(sqlite3_column_blob(walk, 1)),
                               sqlite3_column_bytes(walk, 1));
            ++n;
        }
        sqlite3_reset(walk);
        check(n == kRecords / kOwners, "sqlite walk count");
    }
    sqlite3_finalize(walk);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}

void openAndGet(benchmark::State& state, bool withIndex) {
    const QString index = RecordStore::indexPathFor(big().storePath);
    const QString saved = index + QStringLiteral(".saved");
    QFile::remove(saved);
    check(QFile::copy(index, saved), "save index");
    if (!withIndex)
        QFile::remove(index);
    const QByteArray key = keyOf(4242);
    for (auto _ : state) {
        StoreStatus st;
        QString text;
        auto store = RecordStore::open(big().storePath, RecordStore::Mode::ReadOnly,
                                       PosixFileIo::instance(), st, text);
        check(store != nullptr, "open");
        check(store->stats().indexLoaded == withIndex, "index use");
        QByteArray value;
        check(store->get(key, value) == StoreStatus::Ok, "first get");
        benchmark::DoNotOptimize(value.data());
    }
    if (!withIndex)
        check(QFile::copy(saved, index), "restore index");
    QFile::remove(saved);
}
void BM_OpenGet_StoreWithIndex(benchmark::State& state) {
    openAndGet(state, true);
}
void BM_OpenGet_StoreWithoutIndex(benchmark::State& state) {
    openAndGet(state, false);
}

void BM_OpenGet_Sqlite(benchmark::State& state) {
    const QByteArray key = keyOf(4242);
    for (auto _ : state) {
        sqlite3* db = openSqlite(big().sqlitePath, false);
        sqlite3_stmt* get = nullptr;
        sqlite3_prepare_v2(db, "SELECT v FROM rec WHERE k = ?", -1, &get, nullptr);
        sqlite3_bind_blob(get, 1, key.constData(), int(key.size()), SQLITE_STATIC);
        check(sqlite3_step(get) == SQLITE_ROW, "sqlite first get");
        QByteArray value(static_cast<const char*>(sqlite3_column_blob(get, 0)),
                         sqlite3_column_bytes(get, 0));
        benchmark::DoNotOptimize(value.data());
        sqlite3_finalize(get);
        sqlite3_close(db);
    }
}

void BM_ReadDataFileOnce(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(big().storePath);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_RDONLY);
        check(fd >= 0, "open data");
        off_t pos = 0;
        ssize_t n;
        while ((n = ::pread(fd, buffer.data(), std::size_t(buffer.size()), pos)) > 0)
            pos += n;
        ::close(fd);
        benchmark::DoNotOptimize(pos);
    }
}

void BM_Space(benchmark::State& state) {
    const Big& b = big();
    for (auto _ : state)
        benchmark::DoNotOptimize(b.liveBytes);
    const double pair = double(QFileInfo(b.storePath).size() +
                               QFileInfo(RecordStore::indexPathFor(b.storePath)).size());
    sqlite3* db = openSqlite(b.sqlitePath, false);
    sqliteExec(db, "VACUUM");
    sqliteExec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
    sqlite3_close(db);
    const double lite = double(QFileInfo(b.sqlitePath).size() +
                               QFileInfo(b.sqlitePath + QStringLiteral("-wal")).size());
    state.counters["store_ratio"] = pair / double(b.liveBytes);
    state.counters["sqlite_ratio"] = lite / double(b.liveBytes);
    figures["e.store"] = pair / double(b.liveBytes);
    figures["e.sqlite"] = lite / double(b.liveBytes);
}

// Times per iteration from the runs, for the summary.
class Collect : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                figures["t." + r.benchmark_name()] =
                    r.GetAdjustedRealTime(); // in the run's time unit (ns by default)
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK(BM_PutFlush_Store)->Iterations(1500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PutFlush_Sqlite)->Iterations(1500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PutFlush_BareAppend)->Iterations(1500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PutFlush_Overwrite)->Iterations(1500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Get_Store);
BENCHMARK(BM_Get_Sqlite);
BENCHMARK(BM_OwnerWalk_Store);
BENCHMARK(BM_OwnerWalk_Sqlite);
BENCHMARK(BM_OpenGet_StoreWithIndex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenGet_StoreWithoutIndex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenGet_Sqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadDataFileOnce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Space)->Iterations(1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    check(workDir().isValid(), "temporary folder");
    Collect reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto f = [](const std::string& k) {
        const auto it = figures.find(k);
        return it == figures.end() ? 0.0 : it->second;
    };
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("\nSummary (ratios; aims in brackets)\n");
    std::printf("(a) store p50 / overwrite p50      %.2f  [<= 1.10]\n",
                ratio(f("a.store.p50"), f("a.overwrite.p50")));
    std::printf("(a) store p99 / bare append p99    %.2f  [<= 1.30]\n",
                ratio(f("a.store.p99"), f("a.append.p99")));
    std::printf("(a) store p50 / sqlite p50         %.2f\n",
                ratio(f("a.store.p50"), f("a.sqlite.p50")));
    std::printf("(a) syncs per flush                %.3f  [1]\n", f("a.store.syncs_per_flush"));
    std::printf("(b) get rate store / sqlite        %.2f  [>= 3]\n",
                ratio(f("t.BM_Get_Sqlite"), f("t.BM_Get_Store")));
    std::printf("(c) walk speed store / sqlite      %.2f  [>= 2]\n",
                ratio(f("t.BM_OwnerWalk_Sqlite"), f("t.BM_OwnerWalk_Store")));
    std::printf("(d) open+get with index / sqlite   %.2f  [< 1]\n",
                ratio(f("t.BM_OpenGet_StoreWithIndex"), f("t.BM_OpenGet_Sqlite")));
    std::printf("(d) without index / read file once %.2f  [<= 2]\n",
                ratio(f("t.BM_OpenGet_StoreWithoutIndex"), f("t.BM_ReadDataFileOnce")));
    std::printf("(e) pair size / live data          %.3f  [<= 1.25]; sqlite %.3f\n", f("e.store"),
                f("e.sqlite"));
    return 0;
}
