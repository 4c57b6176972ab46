// Compaction: the live records move to a fresh file pair that replaces the
// old one in a single rename; whatever fails or wherever the power goes out,
// one complete pair with every record is left.
#include "engine_test_util.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

using namespace vellicar::store;
using namespace vellicar::store::testing;

namespace {

const QString kPath = QStringLiteral("/db/notes.isd");
const QString kIndex = QStringLiteral("/db/notes.ISM");

// Writes records, replaces most of them twice and deletes some, so dead
// frames outweigh live ones. Returns what the store holds.
Model churn(RecordStore& store, int records) {
    Model model;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < records; ++i) {
            if (round > 0 && i % 4 == 0)
                continue;
            const QByteArray key = "key" + QByteArray::number(i);
            const QByteArray owner = "sec" + QByteArray::number((i + round) % 5);
            const QByteArray value = "round " + QByteArray::number(round) + " of " + key +
                                     QByteArray(100 + i % 300, char('A' + round));
            EXPECT_EQ(store.put(key, owner, value), StoreStatus::Ok);
            model[key] = {owner, value};
        }
    }
    for (int i = 1; i < records; i += 9) {
        const QByteArray key = "key" + QByteArray::number(i);
        EXPECT_EQ(store.remove(key), StoreStatus::Ok);
        model.erase(key);
    }
    EXPECT_EQ(store.flush(), StoreStatus::Ok);
    return model;
}

void expectOnePair(const QStringList& files) {
    for (const QString& f : files)
        EXPECT_TRUE(f == kPath || f == kIndex) << f.toStdString();
    EXPECT_TRUE(files.contains(kPath));
}

} // namespace

TEST(Compaction, ReplacesThePairWithOnlyTheLiveRecords) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.isd"));
    auto& io = PosixFileIo::instance();
    ASSERT_EQ(RecordStore::create(path, io), StoreStatus::Ok);
    Model model;
    {
        auto store = openStore(io, path);
        ASSERT_TRUE(store);
        store->setAutoCompact(false);
        store->setCompactionMinimum(0);
        model = churn(*store, 300);
        const auto before = store->stats();
        ASSERT_TRUE(store->compactionDue());
        ASSERT_EQ(store->compact(), StoreStatus::Ok);
        const auto after = store->stats();
        EXPECT_EQ(after.deadBytes, 0u);
        EXPECT_EQ(after.liveBytes, before.liveBytes);
        EXPECT_LT(after.fileSize, before.dataEnd / 2);
        EXPECT_TRUE(storeEquals(*store, model));
        // The store keeps working on the new pair.
        ASSERT_EQ(store->put("new", "sec9", "after compaction"), StoreStatus::Ok);
        model["new"] = {"sec9", "after compaction"};
        ASSERT_EQ(store->close(), StoreStatus::Ok);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
              (QStringList{QStringLiteral("notes.ISM"), QStringLiteral("notes.isd")}));
    auto again = openStore(io, path);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->stats().indexLoaded);
    EXPECT_TRUE(again->damageReports().isEmpty());
    EXPECT_TRUE(storeEquals(*again, model));
}

TEST(Compaction, FlushCompactsOnceDeadFramesOutweighLiveOnes) {
    MemoryFileIo io;
    ASSERT_EQ(RecordStore::create(kPath, io), StoreStatus::Ok);
    auto store = openStore(io, kPath);
    ASSERT_TRUE(store);
    store->setCompactionMinimum(4096);
    ASSERT_EQ(store->put("keep", "o", QByteArray(20000, 'k')), StoreStatus::Ok);
    ASSERT_EQ(store->put("churn", "o", QByteArray(1000, 'c')), StoreStatus::Ok);
    ASSERT_EQ(store->flush(), StoreStatus::Ok);
    // Dead bytes grow with each replacement; the flush that tips them over
    // the live bytes compacts.
    bool compacted = false;
    for (int i = 0; i < 40 && !compacted; ++i) {
        ASSERT_EQ(store->put("churn", "o", QByteArray(1000, char('a' + i % 26))), StoreStatus::Ok);
        const auto before = store->stats();
        ASSERT_EQ(store->flush(), StoreStatus::Ok);
        compacted = store->stats().deadBytes == 0;
        EXPECT_EQ(compacted, before.deadBytes > before.liveBytes) << i;
    }
    EXPECT_TRUE(compacted);
    QByteArray value;
    ASSERT_EQ(store->get("keep", value), StoreStatus::Ok);
    EXPECT_EQ(value, QByteArray(20000, 'k'));
}

TEST(Compaction, FailureAtEachStepLeavesOneCompletePairWithEveryRecord) {
    // Every operation but close, whose failure after the work is done changes nothing.
    std::set<FileOp> counted;
    for (int i = 0; i < int(FileOp::Count); ++i)
        if (FileOp(i) != FileOp::Close)
            counted.insert(FileOp(i));
    auto prepare = [](MemoryFileIo& mem, FileIo& io, Model& model) {
        EXPECT_EQ(RecordStore::create(kPath, mem), StoreStatus::Ok);
        auto store = openStore(io, kPath);
        store->setAutoCompact(false);
        store->setPreallocationChunk(8 << 10);
        model = churn(*store, 40);
        return store;
    };
    std::uint64_t steps = 0;
    {
        MemoryFileIo mem;
        FaultInjectingFileIo io(mem);
        io.countOnly(counted);
        Model model;
        auto store = prepare(mem, io, model);
        io.resetCounts();
        ASSERT_EQ(store->compact(), StoreStatus::Ok);
        steps = io.counted();
    }
    ASSERT_GT(steps, 8u);
    for (const bool persistent : {false, true}) {
        for (std::uint64_t k = 1; k <= steps; ++k) {
            SCOPED_TRACE(::testing::Message()
                         << "operation " << k << (persistent ? " and on" : " once"));
            MemoryFileIo mem;
            FaultInjectingFileIo io(mem);
            io.countOnly(counted);
            Model model;
            auto store = prepare(mem, io, model);
            io.resetCounts();
            io.arm(k, persistent);
            // Only losing the new index file's rename may still count as done
            // (the next open rebuilds it); then the data file was replaced.
            if (store->compact() == StoreStatus::Ok) {
                EXPECT_EQ(store->stats().deadBytes, 0u);
                EXPECT_FALSE(persistent);
            }
            io.arm(0, false);
            // The running store still answers with every record...
            EXPECT_TRUE(storeEquals(*store, model));
            store.reset();
            // ...and so does the disk, both as last synced and as last written.
            for (const auto how : {MemoryFileIo::Cut::KeepNothing, MemoryFileIo::Cut::KeepAll}) {
                auto disk = mem.afterPowerCut(how, 0);
                auto reopened = openStore(*disk, kPath);
                ASSERT_TRUE(reopened);
                EXPECT_TRUE(storeEquals(*reopened, model));
                expectOnePair(disk->files());
            }
        }
    }
}

TEST(Compaction, PowerCutAtEachWriteOfACompactionLeavesOneCompletePair) {
    std::uint64_t before = 0;
    std::uint64_t writes = 0;
    {
        MemoryFileIo mem;
        ASSERT_EQ(RecordStore::create(kPath, mem), StoreStatus::Ok);
        auto store = openStore(mem, kPath);
        store->setAutoCompact(false);
        churn(*store, 40);
        before = mem.writeCalls();
        ASSERT_EQ(store->compact(), StoreStatus::Ok);
        writes = mem.writeCalls() - before;
    }
    ASSERT_GT(writes, 3u);
    for (std::uint64_t k = 1; k <= writes; ++k) {
        MemoryFileIo mem;
        ASSERT_EQ(RecordStore::create(kPath, mem), StoreStatus::Ok);
        auto store = openStore(mem, kPath);
        store->setAutoCompact(false);
        const Model model = churn(*store, 40);
        ASSERT_EQ(mem.writeCalls(), before);
        mem.cutPowerAfter(before + k);
        store->compact();
        ASSERT_TRUE(mem.powerIsOut());
        store.reset();
        for (const auto how : {MemoryFileIo::Cut::KeepNothing, MemoryFileIo::Cut::KeepAll,
                               MemoryFileIo::Cut::TearLast, MemoryFileIo::Cut::Scramble}) {
            SCOPED_TRACE(::testing::Message() << "write " << k << " mode " << int(how));
            auto disk = mem.afterPowerCut(how, std::uint32_t(k));
            auto reopened = openStore(*disk, kPath);
            ASSERT_TRUE(reopened);
            EXPECT_TRUE(storeEquals(*reopened, model));
            expectOnePair(disk->files());
        }
    }
}
