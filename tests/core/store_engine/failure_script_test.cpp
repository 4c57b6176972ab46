// One short script of puts, deletes, flushes, a compaction and a reopen, run
// again and again: with the power cut after every write it makes, and with
// every file operation it makes failing once or for good. After each run the
// store must hold what the successful flushes promised, never a record that
// was not written, and index 1 must match the records.
#include "engine_test_util.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace vellicar::store;
using namespace vellicar::store::testing;

namespace {

const QString kPath = QStringLiteral("/db/notes.isd");
const QString kIndex = QStringLiteral("/db/notes.ISM");

using Version = std::optional<std::pair<QByteArray, QByteArray>>; // nullopt: absent

// What the store may hold: the state at the last successful flush, and every
// change tried since (any of which a crash may or may not have kept).
struct Tracker {
    Model current; // the effects of the operations that reported success
    Model durable; // `current` at the last successful flush
    std::map<QByteArray, std::set<Version>> tried;

    void put(const QByteArray& k, const QByteArray& o, const QByteArray& v, StoreStatus s) {
        tried[k].insert(std::make_pair(o, v));
        if (s == StoreStatus::Ok)
            current[k] = {o, v};
    }
    void remove(const QByteArray& k, StoreStatus s) {
        tried[k].insert(std::nullopt);
        if (s == StoreStatus::Ok)
            current.erase(k);
    }
    void flushed(StoreStatus s) {
        if (s != StoreStatus::Ok)
            return;
        durable = current;
        tried.clear();
    }

    ::testing::AssertionResult allows(const RecordStore& store) const {
        std::set<QByteArray> keys;
        for (const auto& [k, ov] : durable)
            keys.insert(k);
        for (const auto& [k, vs] : tried)
            keys.insert(k);
        for (const QByteArray& k : store.keys())
            if (!keys.count(k))
                return ::testing::AssertionFailure() << "record never written: " << k.constData();
        for (const QByteArray& k : keys) {
            Version have;
            if (store.contains(k)) {
                QByteArray value;
                const StoreStatus s = store.get(k, value);
                if (s != StoreStatus::Ok)
                    return ::testing::AssertionFailure()
                           << "get " << k.constData() << ": " << storeStatusName(s);
                have = std::make_pair(*store.ownerOf(k), value);
            }
            const auto d = durable.find(k);
            const Version flushed = d == durable.end() ? Version() : Version(d->second);
            const auto t = tried.find(k);
            const bool ok = have == flushed || (t != tried.end() && t->second.count(have));
            if (!ok)
                return ::testing::AssertionFailure()
                       << "record " << k.constData() << " holds "
                       << (have ? have->second.constData() : "nothing")
                       << ", which no flush or later write explains";
        }
        return ownerIndexMatchesRecords(store);
    }
};

enum class Step { Put, Remove, Flush, Compact, Reopen };
struct Op {
    Step step;
    const char* key = "";
    const char* owner = "";
    QByteArray value;
};

std::vector<Op> script() {
    return {
        {Step::Put, "a", "o1", "a1"},
        {Step::Flush, "", "", {}},
        {Step::Put, "b", "o2", "b1"},
        {Step::Put, "c", "o1", "c1"},
        {Step::Flush, "", "", {}},
        {Step::Remove, "a", "", {}},
        {Step::Put, "b", "o2", "b2"},
        {Step::Flush, "", "", {}},
        {Step::Put, "d", "o3", QByteArray(9000, 'd')},
        {Step::Put, "c", "o3", "c2"},
        {Step::Flush, "", "", {}},
        {Step::Compact, "", "", {}},
        {Step::Put, "e", "o1", "e1"},
        {Step::Remove, "c", "", {}},
        {Step::Flush, "", "", {}},
        {Step::Reopen, "", "", {}},
        {Step::Put, "a", "o2", "a2"},
        {Step::Put, "b", "o1", "b3"},
        {Step::Flush, "", "", {}},
        {Step::Remove, "d", "", {}},
        {Step::Put, "f", "o1", "f1"},
    };
}

std::unique_ptr<RecordStore> openForScript(FileIo& io) {
    auto store = openStore(io, kPath);
    if (store) {
        store->setPreallocationChunk(16 << 10);
        store->setAutoCompact(false);
    }
    return store;
}

struct ScriptRun {
    Tracker tracker;
    bool created = false;
    std::unique_ptr<RecordStore> store;
    // Steps whose work a failure hit, with what they reported.
    std::vector<std::pair<Step, StoreStatus>> hit;
};

// Runs the script; `stop` is asked before each step (power gone: stop).
void runScript(FileIo& io, ScriptRun& run, const std::function<bool()>& stop,
               const std::function<std::uint64_t()>& failures = {}) {
    run.created = RecordStore::create(kPath, io) == StoreStatus::Ok;
    if (!run.created)
        return;
    run.store = openForScript(io);
    for (const Op& op : script()) {
        if (stop())
            return;
        if (!run.store)
            run.store = openForScript(io);
        if (!run.store)
            continue;
        const std::uint64_t before = failures ? failures() : 0;
        StoreStatus s = StoreStatus::Ok;
        switch (op.step) {
        case Step::Put:
            s = run.store->put(op.key, op.owner, op.value);
            run.tracker.put(op.key, op.owner, op.value, s);
            break;
        case Step::Remove:
            s = run.store->remove(op.key);
            run.tracker.remove(op.key, s);
            break;
        case Step::Flush:
            s = run.store->flush();
            run.tracker.flushed(s);
            break;
        case Step::Compact:
            s = run.store->compact();
            if (s == StoreStatus::Ok) {
                EXPECT_EQ(run.store->stats().deadBytes, 0u);
                // Compaction flushes first.
                run.tracker.flushed(s);
            }
            break;
        case Step::Reopen:
            s = run.store->close();
            run.tracker.flushed(s);
            run.store.reset();
            run.store = openForScript(io);
            break;
        }
        if (failures && failures() != before)
            run.hit.emplace_back(op.step, s);
    }
    if (run.store && !stop()) {
        const StoreStatus s = run.store->close();
        run.tracker.flushed(s);
        run.store.reset();
    }
}

// The checks after a crash or after the faults stop: the store opens, holds
// only what the tracker allows, takes new writes, and keeps them.
void checkReopened(FileIo& io, const ScriptRun& run) {
    StoreStatus status = StoreStatus::Ok;
    auto store = openStore(io, kPath, RecordStore::Mode::ReadWrite, &status);
    if (!run.created && status == StoreStatus::NoSuchDatabase) {
        // The database never came to be; making it now must work and clear
        // what the first attempt left.
        ASSERT_EQ(RecordStore::create(kPath, io), StoreStatus::Ok);
        store = openStore(io, kPath, RecordStore::Mode::ReadWrite, &status);
    }
    ASSERT_TRUE(store) << storeStatusName(status);
    EXPECT_TRUE(run.tracker.allows(*store));
    ASSERT_EQ(store->put("after", "o9", "written-after-reopen"), StoreStatus::Ok);
    ASSERT_EQ(store->flush(), StoreStatus::Ok);
    Model expect;
    for (const QByteArray& k : store->keys()) {
        QByteArray v;
        ASSERT_EQ(store->get(k, v), StoreStatus::Ok);
        expect[k] = {*store->ownerOf(k), v};
    }
    store.reset();
    for (const bool withIndex : {true, false}) {
        if (!withIndex)
            io.remove(kIndex);
        auto again = openStore(io, kPath);
        ASSERT_TRUE(again);
        EXPECT_TRUE(storeEquals(*again, expect));
    }
}

std::uint64_t scriptWrites() {
    MemoryFileIo io;
    ScriptRun run;
    runScript(io, run, [] { return false; });
    run.store.reset();
    return io.writeCalls();
}

} // namespace

TEST(PowerLoss, AtEveryWriteOfTheScriptTheReopenedStoreKeepsEveryFlushedChange) {
    const std::uint64_t writes = scriptWrites();
    ASSERT_GT(writes, 20u);
    const std::vector<std::pair<MemoryFileIo::Cut, std::uint32_t>> cuts = {
        {MemoryFileIo::Cut::KeepNothing, 0}, {MemoryFileIo::Cut::KeepAll, 0},
        {MemoryFileIo::Cut::TearLast, 1},    {MemoryFileIo::Cut::TearLast, 2},
        {MemoryFileIo::Cut::Scramble, 3},    {MemoryFileIo::Cut::Scramble, 4},
        {MemoryFileIo::Cut::Scramble, 5}};
    for (std::uint64_t k = 1; k <= writes; ++k) {
        MemoryFileIo io;
        io.cutPowerAfter(k);
        ScriptRun run;
        runScript(io, run, [&] { return io.powerIsOut(); });
        ASSERT_TRUE(io.powerIsOut()) << k;
        for (const auto& [how, seed] : cuts) {
            SCOPED_TRACE(::testing::Message() << "power cut after write " << k << ", mode "
                                              << int(how) << ", seed " << seed);
            auto after = io.afterPowerCut(how, seed + std::uint32_t(k) * 7919u);
            checkReopened(*after, run);
            // One pair and nothing else: leftovers of a cut compaction are gone.
            for (const QString& f : after->files())
                EXPECT_TRUE(f == kPath || f == kIndex) << f.toStdString();
        }
        run.store.reset(); // its close fails quietly: the power is out
    }
}

TEST(FaultInjection, FailingEachFileOperationOnceOrForGoodIsReportedAndLosesNothingFlushed) {
    std::set<FileOp> counted;
    for (int i = 0; i < int(FileOp::Count); ++i)
        if (FileOp(i) != FileOp::Close)
            counted.insert(FileOp(i));
    std::uint64_t total = 0;
    {
        MemoryFileIo mem;
        FaultInjectingFileIo io(mem);
        io.countOnly(counted);
        ScriptRun run;
        runScript(io, run, [] { return false; });
        run.store.reset();
        total = io.counted();
    }
    ASSERT_GT(total, 50u);
    for (const bool persistent : {false, true}) {
        for (std::uint64_t k = 1; k <= total; ++k) {
            SCOPED_TRACE(::testing::Message()
                         << "operation " << k << (persistent ? " and on" : " once"));
            MemoryFileIo mem;
            FaultInjectingFileIo io(mem);
            io.countOnly(counted);
            io.arm(k, persistent);
            ScriptRun run;
            runScript(
                io, run, [] { return false; }, [&] { return io.failures(); });
            // A put, delete or flush that a failure hit never says it worked.
            for (const auto& [step, status] : run.hit) {
                if (step == Step::Put || step == Step::Remove || step == Step::Flush) {
                    EXPECT_NE(status, StoreStatus::Ok) << "step " << int(step);
                }
            }
            io.arm(0, false);
            if (!run.created)
                continue;
            if (run.store) {
                // Once the disk works again the same store catches up and
                // holds exactly what was reported stored.
                ASSERT_EQ(run.store->flush(), StoreStatus::Ok)
                    << run.store->errorText().toStdString();
                run.tracker.flushed(StoreStatus::Ok);
                EXPECT_TRUE(storeEquals(*run.store, run.tracker.current));
                run.store.reset();
            }
            // What the disk holds: at least everything a flush confirmed.
            auto disk = mem.afterPowerCut(MemoryFileIo::Cut::KeepNothing, 0);
            checkReopened(*disk, run);
            for (const QString& f : disk->files())
                EXPECT_TRUE(f == kPath || f == kIndex) << f.toStdString();
        }
    }
}
