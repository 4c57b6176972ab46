// What opening does with files a crash, a bad disk or another program left
// behind: torn tails, damaged frames, and index files that are missing,
// stale or damaged.
#include "core/store/engine_crc32c.h"
#include "core/store/engine_format.h"
#include "core/store/vmx.h"
#include "engine_test_util.h"

#include <QtCore/QtEndian>
#include <gtest/gtest.h>

#include <functional>

using namespace vellicar::store;
using namespace vellicar::store::testing;

namespace {

const QString kPath = QStringLiteral("/db/notes.isd");
const QString kIndex = QStringLiteral("/db/notes.ISM");

// A database with three flushed records a, b, c (b written twice) and closed.
struct Fixture {
    MemoryFileIo io;
    Model model;
    Fixture() {
        EXPECT_EQ(RecordStore::create(kPath, io), StoreStatus::Ok);
        auto store = openStore(io, kPath);
        EXPECT_TRUE(store);
        store->setPreallocationChunk(64 << 10);
        for (const auto& [k, o, v] : std::vector<std::tuple<QByteArray, QByteArray, QByteArray>>{
                 {"a", "o1", "value-of-a"},
                 {"b", "o2", "first-value-of-b"},
                 {"c", "o1", "value-of-c"},
                 {"b", "o2", "second-value-of-b"}}) {
            EXPECT_EQ(store->put(k, o, v), StoreStatus::Ok);
            model[k] = {o, v};
        }
        EXPECT_EQ(store->flush(), StoreStatus::Ok);
        EXPECT_EQ(store->close(), StoreStatus::Ok);
    }
    QByteArray data() const { return io.fileContents(kPath); }
    void setData(const QByteArray& bytes) { io.setFile(kPath, bytes); }
    // Offset of the first occurrence of `marker` in the data file.
    qsizetype find(const QByteArray& marker) const { return data().indexOf(marker); }
    void flip(qsizetype at) {
        QByteArray d = data();
        d[at] = char(d[at] ^ 0x5A);
        setData(d);
    }
};

std::uint64_t logicalEnd(MemoryFileIo& io) {
    auto store = openStore(io, kPath, RecordStore::Mode::ReadOnly);
    return store ? store->stats().dataEnd : 0;
}

} // namespace

TEST(Damage, TornTrailingFrameIsDroppedAndCutOffBeforeTheNextAppend) {
    Fixture f;
    const std::uint64_t end = logicalEnd(f.io);
    ASSERT_GT(end, 0u);
    engine::FrameHeader fh;
    const QByteArray frame =
        engine::encodeFrame(99, engine::kFramePut, "d", "o3", QByteArray(300, 'd'), fh);
    for (const qsizetype keep :
         {qsizetype(7), qsizetype(engine::kFrameHeaderSize), frame.size() - 6}) {
        SCOPED_TRACE(keep);
        Fixture g;
        QByteArray d = g.data();
        d.replace(static_cast<qsizetype>(end), keep, frame.left(keep));
        g.setData(d);
        {
            auto store = openStore(g.io, kPath);
            ASSERT_TRUE(store);
            EXPECT_TRUE(storeEquals(*store, g.model));
            EXPECT_TRUE(store->damageReports().isEmpty())
                << store->damageReports().join('\n').toStdString();
            EXPECT_EQ(store->stats().dataEnd, end);
            // Nothing of the torn frame is left past the end.
            const QByteArray after = g.data().mid(static_cast<qsizetype>(end));
            EXPECT_EQ(after.count('\0'), after.size());
            ASSERT_EQ(store->put("e", "o4", "value-of-e"), StoreStatus::Ok);
            ASSERT_EQ(store->flush(), StoreStatus::Ok);
        }
        g.model["e"] = {"o4", "value-of-e"};
        g.io.remove(kIndex);
        auto again = openStore(g.io, kPath);
        ASSERT_TRUE(again);
        EXPECT_TRUE(storeEquals(*again, g.model));
        EXPECT_EQ(again->damageReports().size(), 1); // only the missing index
    }
}

TEST(Damage, DamagedFrameInTheMiddleIsSkippedReportedAndNeverReturned) {
    // Each case damages the second version of b; the scan must keep a and c,
    // report the damage and fall back to the intact first version of b.
    const std::vector<std::pair<const char*, std::function<void(Fixture&)>>> cases = {
        {"payload byte", [](Fixture& f) { f.flip(f.find("second-value-of-b") + 3); }},
        {"header length",
         [](Fixture& f) {
             f.flip(f.find("second-value-of-b") - 1 - 2 - qsizetype(engine::kFrameHeaderSize) + 16);
         }},
        {"zeroed sector",
         [](Fixture& f) {
             QByteArray d = f.data();
             const qsizetype at =
                 f.find("second-value-of-b") - 3 - qsizetype(engine::kFrameHeaderSize);
             d.replace(at, 48, QByteArray(48, '\0'));
             f.setData(d);
         }},
    };
    for (const auto& [name, damage] : cases) {
        SCOPED_TRACE(name);
        Fixture f;
        // Put d after b so the damage is in the middle.
        {
            auto store = openStore(f.io, kPath);
            ASSERT_TRUE(store);
            ASSERT_EQ(store->put("d", "o3", "value-of-d"), StoreStatus::Ok);
            ASSERT_EQ(store->close(), StoreStatus::Ok);
            f.model["d"] = {"o3", "value-of-d"};
        }
        damage(f);
        f.io.remove(kIndex);
        auto store = openStore(f.io, kPath);
        ASSERT_TRUE(store);
        f.model["b"] = {"o2", "first-value-of-b"};
        EXPECT_TRUE(storeEquals(*store, f.model));
        const QStringList reports = store->damageReports();
        ASSERT_EQ(reports.size(), 2) << reports.join('\n').toStdString();
        EXPECT_TRUE(reports.last().contains(QStringLiteral("skipped")));
        // New writes go after the last good frame and survive another scan.
        ASSERT_EQ(store->put("z", "o9", "value-of-z"), StoreStatus::Ok);
        ASSERT_EQ(store->close(), StoreStatus::Ok);
        f.model["z"] = {"o9", "value-of-z"};
        f.io.remove(kIndex);
        auto again = openStore(f.io, kPath);
        ASSERT_TRUE(again);
        EXPECT_TRUE(storeEquals(*again, f.model));
    }
}

TEST(Damage, DamagedRecordBehindAValidIndexIsReportedNotReturned) {
    Fixture f;
    f.flip(f.find("value-of-c") + 1);
    MemoryFileIo& io = f.io;
    Vmx vmx(io);
    int h = 0;
    ASSERT_EQ(vmx.VmxOpen(kPath, 0, VmxModeReadWrite, h), VmxOk);
    RecordStore* store = vmx.store(h);
    ASSERT_TRUE(store);
    EXPECT_TRUE(store->stats().indexLoaded);
    QByteArray value;
    EXPECT_EQ(store->get("c", value), StoreStatus::IoError);
    EXPECT_TRUE(value.isEmpty());
    EXPECT_EQ(store->get("a", value), StoreStatus::Ok);
    EXPECT_EQ(value, "value-of-a");
    // Through the adapter: a failure code, and the caller's record untouched.
    NoteRecord rec;
    rec.Title = QStringLiteral("unchanged");
    QString key = QStringLiteral("c"), owner, primary;
    EXPECT_NE(vmx.VmxGet(h, VmxPrimary, VmxEqual, key, owner, primary, rec) & 0xFFFF, 0);
    EXPECT_EQ(rec.Title, QStringLiteral("unchanged"));
    ASSERT_FALSE(vmx.damageReports(h).isEmpty());
    EXPECT_TRUE(vmx.damageReports(h).last().contains(QStringLiteral("damaged")));
}

TEST(Damage, MissingStaleOrDamagedIndexFileIsRebuiltWithNothingLost) {
    // An index from an earlier moment of the same database: a checkpoint the
    // frames after it bring up to date.
    Fixture earlier;
    const QByteArray earlierIndex = earlier.io.fileContents(kIndex);
    // An index of another database entirely.
    Fixture other;
    const QByteArray otherIndex = other.io.fileContents(kIndex);

    const std::vector<std::tuple<const char*, std::function<void(Fixture&)>, bool>> cases = {
        {"missing", [](Fixture& f) { f.io.remove(kIndex); }, true},
        {"flipped byte",
         [](Fixture& f) {
             QByteArray i = f.io.fileContents(kIndex);
             i[i.size() / 2] = char(i[i.size() / 2] ^ 1);
             f.io.setFile(kIndex, i);
         },
         true},
        {"cut short",
         [](Fixture& f) { f.io.setFile(kIndex, f.io.fileContents(kIndex).chopped(9)); }, true},
        {"empty", [](Fixture& f) { f.io.setFile(kIndex, QByteArray()); }, true},
        {"another database's", [&](Fixture& f) { f.io.setFile(kIndex, otherIndex); }, true},
        {"older checkpoint", [&](Fixture& f) { f.io.setFile(kIndex, earlierIndex); }, false},
    };
    for (const auto& [name, spoil, reported] : cases) {
        SCOPED_TRACE(name);
        Fixture f;
        // The older checkpoint only fits this database when it is this one's.
        if (std::string(name) == "older checkpoint") {
            auto store = openStore(earlier.io, kPath);
            ASSERT_TRUE(store);
            ASSERT_EQ(store->put("late", "o5", "written-after-the-checkpoint"), StoreStatus::Ok);
            ASSERT_EQ(store->remove("a"), StoreStatus::Ok);
            ASSERT_EQ(store->close(), StoreStatus::Ok);
            f.io.setFile(kPath, earlier.io.fileContents(kPath));
            f.model.erase("a");
            f.model["late"] = {"o5", "written-after-the-checkpoint"};
        }
        spoil(f);
        {
            auto store = openStore(f.io, kPath);
            ASSERT_TRUE(store);
            EXPECT_TRUE(storeEquals(*store, f.model));
            EXPECT_EQ(store->damageReports().size(), reported ? 1 : 0);
            if (reported) {
                EXPECT_TRUE(store->damageReports().first().contains(QStringLiteral("rebuilt")));
            }
            EXPECT_EQ(store->stats().indexLoaded, !reported);
        }
        // Closing wrote a fresh checkpoint that the next open trusts.
        auto again = openStore(f.io, kPath);
        ASSERT_TRUE(again);
        EXPECT_TRUE(again->stats().indexLoaded);
        EXPECT_TRUE(again->damageReports().isEmpty());
        EXPECT_TRUE(storeEquals(*again, f.model));
    }
}

TEST(Damage, ForeignOrNewerDataFileIsNotADatabase) {
    for (const auto& [name, bytes] : std::vector<std::pair<const char*, QByteArray>>{
             {"empty", QByteArray()},
             {"text",
              QByteArray("just some text that is long enough to be a header, really it is")},
             {"newer", [] {
                  QByteArray h = engine::encodeDataHeader(7);
                  h[8] = 9; // version; the checksum is made right so only the version differs
                  qToLittleEndian(crc32c(h.constData(), 60), h.data() + 60);
                  return h;
              }()}}) {
        SCOPED_TRACE(name);
        MemoryFileIo io;
        io.setFile(kPath, bytes);
        StoreStatus status = StoreStatus::Ok;
        EXPECT_FALSE(openStore(io, kPath, RecordStore::Mode::ReadWrite, &status));
        EXPECT_EQ(status, StoreStatus::NotADatabase);
        // Nothing was changed in a file that is not ours.
        EXPECT_EQ(io.fileContents(kPath), bytes);
    }
}
