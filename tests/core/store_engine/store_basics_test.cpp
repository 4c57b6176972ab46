// Records, keys and index 1 of the engine, and the Vmx results the notebook
// code relies on.
#include "core/store/vmx.h"
#include "engine_test_util.h"

#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace vellicar::store;
using namespace vellicar::store::testing;

namespace {

struct TempDb {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("notes.isd")); }
    QString index() const { return dir.filePath(QStringLiteral("notes.ISM")); }
};

NoteRecord note(const QString& owner, const QString& title) {
    NoteRecord r;
    r.Owner = owner;
    r.Title = title;
    r.Body = QStringLiteral("{\\rtf1 %1}").arg(title);
    r.Created = QStringLiteral("45000.5000000");
    return r;
}

} // namespace

TEST(RecordStore, RecordsPutReplacedAndRemovedSurviveReopen) {
    TempDb db;
    auto& io = PosixFileIo::instance();
    ASSERT_EQ(RecordStore::create(db.path(), io), StoreStatus::Ok);
    Model model;
    {
        auto store = openStore(io, db.path());
        ASSERT_TRUE(store);
        for (int i = 0; i < 50; ++i) {
            const QByteArray key = "k" + QByteArray::number(i);
            const QByteArray owner = "o" + QByteArray::number(i % 7);
            const QByteArray value = QByteArray(i * 37, char('a' + i % 26));
            ASSERT_EQ(store->put(key, owner, value), StoreStatus::Ok);
            model[key] = {owner, value};
        }
        ASSERT_EQ(store->put("k3", "moved", "new value"), StoreStatus::Ok);
        model["k3"] = {"moved", "new value"};
        ASSERT_EQ(store->remove("k4"), StoreStatus::Ok);
        model.erase("k4");
        EXPECT_EQ(store->remove("k4"), StoreStatus::NotFound);
        EXPECT_EQ(store->remove("never"), StoreStatus::NotFound);
        ASSERT_EQ(store->flush(), StoreStatus::Ok);
        EXPECT_TRUE(storeEquals(*store, model));
        ASSERT_EQ(store->close(), StoreStatus::Ok);
    }
    auto again = openStore(io, db.path());
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->stats().indexLoaded);
    EXPECT_TRUE(again->damageReports().isEmpty());
    EXPECT_TRUE(storeEquals(*again, model));
    QByteArray value;
    EXPECT_EQ(again->get("k4", value), StoreStatus::NotFound);
}

TEST(RecordStore, KeysOwnersAndValuesAreBinarySafe) {
    const QByteArray nul("\0", 1);
    const std::vector<std::tuple<QByteArray, QByteArray, QByteArray>> rows = {
        {QByteArray(), QByteArray(), QByteArray()},
        {nul, nul + nul, nul + "x" + nul},
        {QByteArray("a\0b", 3), QByteArray("\xff\xfe", 2), QByteArray(5000, '\0')},
        {QByteArray("a\0c", 3), QByteArray("\xff\xfe", 2), QByteArray("VFR1VFR1")},
        {QByteArray(4000, '\xff'), QByteArray(300, '\x01'), QByteArray("\r\n\x1a", 3)},
        {QByteArray("\xc3\xa9t\xc3\xa9", 6), QByteArray("\xf0\x9f\x98\x80", 4), QByteArray("e")},
    };
    TempDb db;
    auto& io = PosixFileIo::instance();
    ASSERT_EQ(RecordStore::create(db.path(), io), StoreStatus::Ok);
    Model model;
    {
        auto store = openStore(io, db.path());
        ASSERT_TRUE(store);
        for (const auto& [k, o, v] : rows) {
            ASSERT_EQ(store->put(k, o, v), StoreStatus::Ok);
            model[k] = {o, v};
        }
        ASSERT_EQ(store->flush(), StoreStatus::Ok);
        EXPECT_TRUE(storeEquals(*store, model));
        // Drop the checkpoint: the scan of the data file must see the same.
    }
    ASSERT_TRUE(QFile::remove(db.index()));
    auto again = openStore(io, db.path());
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->stats().indexLoaded);
    EXPECT_TRUE(storeEquals(*again, model));
}

TEST(RecordStore, OwnerIndexKeepsDuplicatesInKeyOrderAndFollowsReplacements) {
    MemoryFileIo io;
    const QString path = QStringLiteral("/m/a.isd");
    ASSERT_EQ(RecordStore::create(path, io), StoreStatus::Ok);
    auto store = openStore(io, path);
    ASSERT_TRUE(store);
    for (const char* key : {"30", "10", "20", "05"})
        ASSERT_EQ(store->put(key, "B", "x"), StoreStatus::Ok);
    ASSERT_EQ(store->put("99", "A", "x"), StoreStatus::Ok);
    ASSERT_EQ(store->put("00", "C", "x"), StoreStatus::Ok);

    QList<QByteArray> walk;
    for (auto e = store->firstOfOwner("B"); e && e->owner == "B"; e = store->entryAfter(*e))
        walk << e->key;
    EXPECT_EQ(walk, (QList<QByteArray>{"05", "10", "20", "30"}));
    EXPECT_FALSE(store->firstOfOwner("AB"));
    EXPECT_EQ(store->entryBefore({"B", "05"})->key, "99");
    EXPECT_FALSE(store->entryBefore({"A", "99"}));

    // A replacement with another owner moves the entry; a removal drops it.
    ASSERT_EQ(store->put("10", "C", "y"), StoreStatus::Ok);
    ASSERT_EQ(store->remove("20"), StoreStatus::Ok);
    walk.clear();
    for (auto e = store->firstEntry(); e; e = store->entryAfter(*e))
        walk << e->owner + ":" + e->key;
    EXPECT_EQ(walk, (QList<QByteArray>{"A:99", "B:05", "B:30", "C:00", "C:10"}));
    EXPECT_TRUE(ownerIndexMatchesRecords(*store));
}

TEST(RecordStore, RecordOf64MiBRoundTrips) {
    MemoryFileIo io;
    const QString path = QStringLiteral("/m/big.isd");
    ASSERT_EQ(RecordStore::create(path, io), StoreStatus::Ok);
    QByteArray big(64 << 20, '\0');
    for (qsizetype i = 0; i < big.size(); i += 4093)
        big[i] = char(i * 31 + 7);
    {
        auto store = openStore(io, path);
        ASSERT_TRUE(store);
        ASSERT_EQ(store->put("big", "owner", big), StoreStatus::Ok);
        ASSERT_EQ(store->put("small", "owner", "s"), StoreStatus::Ok);
        ASSERT_EQ(store->flush(), StoreStatus::Ok);
        QByteArray out;
        ASSERT_EQ(store->get("big", out), StoreStatus::Ok);
        EXPECT_TRUE(out == big);
    }
    io.remove(RecordStore::indexPathFor(path));
    auto again = openStore(io, path);
    ASSERT_TRUE(again);
    QByteArray out;
    ASSERT_EQ(again->get("big", out), StoreStatus::Ok);
    EXPECT_TRUE(out == big);
    ASSERT_EQ(again->get("small", out), StoreStatus::Ok);
    EXPECT_EQ(out, "s");
}

// The walk the notebook code does over a category: BOF, code 1, step back,
// then code 34 until the store says no more.
TEST(Vmx, StepBackAfterCode1LetsCode34ReturnTheSameFirstRecordAgain) {
    MemoryFileIo io;
    Vmx vmx(io);
    const QString path = QStringLiteral("/m/notes.isd");
    ASSERT_EQ(vmx.VmxCreate(path, 125, 8192, 0, 1), VmxOk);
    int h = 0;
    ASSERT_EQ(vmx.VmxOpen(path, 0, VmxModeReadWrite, h), VmxOk);
    ASSERT_NE(h, 0);
    // Owners "VLR11" and "VLR12" sort around "VLR1"-prefixed neighbours on purpose.
    const std::vector<std::pair<QString, QString>> rows = {
        {QStringLiteral("300"), QStringLiteral("VLR12")},
        {QStringLiteral("200"), QStringLiteral("VLR11")},
        {QStringLiteral("100"), QStringLiteral("VLR11")},
        {QStringLiteral("150"), QStringLiteral("VLR1")},
        {QStringLiteral("250"), QStringLiteral("VLR11")}};
    for (const auto& [key, owner] : rows) {
        ASSERT_EQ(vmx.VmxPut(h, key, note(owner, QStringLiteral("t") + key), 0), VmxOk);
        ASSERT_EQ(vmx.VmxFlush(h), VmxOk);
    }

    QString key = QStringLiteral("VLR11");
    QString owner, primary;
    NoteRecord rec;
    ASSERT_EQ(vmx.VmxBOF(h, VmxOwnerIndex), VmxOk);
    ASSERT_EQ(vmx.VmxGet(h, VmxOwnerIndex, VmxEqual, key, owner, primary, rec) & 0xFFFF, 0);
    EXPECT_EQ(primary, QStringLiteral("100"));
    EXPECT_EQ(rec.Title, QStringLiteral("t100"));
    EXPECT_EQ(owner, QStringLiteral("VLR11"));
    vmx.VmxGet(h, VmxOwnerIndex, VmxStepBack, key, owner, primary, rec);
    QStringList seen;
    while ((vmx.VmxGet(h, VmxOwnerIndex, VmxNextEqual, key, owner, primary, rec) & 0xFFFF) == 0) {
        seen << primary;
        EXPECT_EQ(rec.Owner, QStringLiteral("VLR11"));
        EXPECT_EQ(rec.Title, QStringLiteral("t") + primary);
    }
    EXPECT_EQ(seen,
              (QStringList{QStringLiteral("100"), QStringLiteral("200"), QStringLiteral("250")}));
    EXPECT_EQ(key, QStringLiteral("VLR11"));

    // The first record of the whole index: step back lands before it and code 34 returns it.
    key = QStringLiteral("VLR1");
    vmx.VmxBOF(h, VmxOwnerIndex);
    ASSERT_EQ(vmx.VmxGet(h, VmxOwnerIndex, VmxEqual, key, owner, primary, rec), VmxOk);
    EXPECT_NE(vmx.VmxGet(h, VmxOwnerIndex, VmxStepBack, key, owner, primary, rec), VmxOk);
    ASSERT_EQ(vmx.VmxGet(h, VmxOwnerIndex, VmxNextEqual, key, owner, primary, rec), VmxOk);
    EXPECT_EQ(primary, QStringLiteral("150"));
    EXPECT_NE(vmx.VmxGet(h, VmxOwnerIndex, VmxNextEqual, key, owner, primary, rec), VmxOk);
    EXPECT_EQ(vmx.VmxClose(h), VmxOk);
}

TEST(Vmx, GetThatFindsNothingLeavesTheCallersRecordAlone) {
    MemoryFileIo io;
    Vmx vmx(io);
    const QString path = QStringLiteral("/m/notes.isd");
    ASSERT_EQ(vmx.VmxCreate(path, 125, 8192, 0, 1), VmxOk);
    int h = 0;
    ASSERT_EQ(vmx.VmxOpen(path, 0, VmxModeReadWrite, h), VmxOk);
    ASSERT_EQ(
        vmx.VmxPut(h, QStringLiteral("k1"), note(QStringLiteral("o"), QStringLiteral("one")), 0),
        VmxOk);
    const NoteRecord before = note(QStringLiteral("mine"), QStringLiteral("keep me"));
    NoteRecord rec = before;
    QString owner = QStringLiteral("x"), primary = QStringLiteral("y");
    for (const auto& [index, code, key] : std::vector<std::tuple<int, int, QString>>{
             {VmxPrimary, VmxEqual, QStringLiteral("k2")},
             {VmxOwnerIndex, VmxEqual, QStringLiteral("nobody")},
             {VmxOwnerIndex, VmxNextEqual, QStringLiteral("nobody")}}) {
        QString k = key;
        EXPECT_NE(vmx.VmxGet(h, index, code, k, owner, primary, rec) & 0xFFFF, 0);
        EXPECT_EQ(rec, before);
    }
    QString k = QStringLiteral("k1");
    ASSERT_EQ(vmx.VmxGet(h, VmxPrimary, VmxEqual, k, owner, primary, rec), VmxOk);
    EXPECT_EQ(rec.Title, QStringLiteral("one"));
    EXPECT_EQ(primary, QStringLiteral("k1"));
    ASSERT_EQ(vmx.VmxDelete(h, QStringLiteral("k1")), VmxOk);
    EXPECT_EQ(vmx.VmxGet(h, VmxPrimary, VmxEqual, k, owner, primary, rec), VmxNotFound);
    EXPECT_EQ(vmx.VmxPut(12345, k, rec, 0), VmxBadHandle);
}

TEST(Vmx, OpenResultsForMissingForeignAndUnwritableDatabases) {
    MemoryFileIo mem;
    const QString path = QStringLiteral("/m/notes.isd");
    {
        Vmx vmx(mem);
        int h = 0;
        EXPECT_EQ(vmx.VmxOpen(path, 0, VmxModeReadWrite, h), VmxNoSuchDatabase);
        EXPECT_TRUE(vmx.errorText(0, VmxNoSuchDatabase).contains(path));
        ASSERT_EQ(vmx.VmxCreate(path, 125, 8192, 0, 1), VmxOk);
        EXPECT_EQ(vmx.VmxCreate(path, 125, 8192, 0, 1), VmxExists);
        mem.setFile(QStringLiteral("/m/other.isd"), QByteArray("{\\rtf1 not a database}"));
        EXPECT_EQ(vmx.VmxOpen(QStringLiteral("/m/other.isd"), 0, VmxModeReadWrite, h),
                  VmxNotADatabase);
        EXPECT_FALSE(vmx.errorText(0, VmxNotADatabase).isEmpty());
        ASSERT_EQ(vmx.VmxOpen(path, 0, VmxModeReadWrite, h), VmxOk);
        ASSERT_EQ(
            vmx.VmxPut(h, QStringLiteral("k"), note(QStringLiteral("o"), QStringLiteral("t")), 0),
            VmxOk);
        ASSERT_EQ(vmx.VmxClose(h), VmxOk);
    }
    // A read-only medium or missing permission: mode 3 says "retry read-only",
    // mode 1 then works and refuses changes.
    for (const int error : {EROFS, EACCES}) {
        FaultInjectingFileIo io(mem);
        io.countOnly({FileOp::Open});
        io.arm(1, false, error);
        Vmx vmx(io);
        int h = 0;
        EXPECT_EQ(vmx.VmxOpen(path, 0, VmxModeReadWrite, h), VmxRetryReadOnly);
        ASSERT_EQ(vmx.VmxOpen(path, 0, VmxModeReadOnly, h), VmxOk);
        QString key = QStringLiteral("k"), owner, primary;
        NoteRecord rec;
        EXPECT_EQ(vmx.VmxGet(h, VmxPrimary, VmxEqual, key, owner, primary, rec), VmxOk);
        EXPECT_EQ(vmx.VmxPut(h, QStringLiteral("k2"), rec, 0), VmxReadOnly);
        EXPECT_EQ(vmx.VmxDelete(h, QStringLiteral("k")), VmxReadOnly);
        EXPECT_EQ(vmx.VmxFlush(h), VmxOk);
        EXPECT_FALSE(vmx.errorText(h, VmxReadOnly).isEmpty());
        vmx.VmxClose(h);
    }
}

TEST(Vmx, SecondProcessOpeningTheSameDatabaseIsRefusedAsLocked) {
    TempDb db;
    Vmx vmx;
    ASSERT_EQ(vmx.VmxCreate(db.path(), 125, 8192, 0, 1), VmxOk);
    int h = 0;
    ASSERT_EQ(vmx.VmxOpen(db.path(), 0, VmxModeReadWrite, h), VmxOk);

    // The child reports through its exit status: the result of each open.
    auto childOpen = [&](int mode) {
        const pid_t pid = fork();
        if (pid == 0) {
            Vmx other;
            int oh = 0;
            const int r = other.VmxOpen(db.path(), 0, mode, oh);
            const bool sentence = other.errorText(0, r).contains(QStringLiteral("another"));
            _exit(r == VmxLocked && sentence ? 0 : 100 + r);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(childOpen(VmxModeReadWrite), 0);
    EXPECT_EQ(childOpen(VmxModeReadOnly), 0);

    // Within this process too, a second open never shares the pair.
    Vmx second;
    int h2 = 0;
    EXPECT_EQ(second.VmxOpen(db.path(), 0, VmxModeReadWrite, h2), VmxLocked);

    // Closed, it opens again.
    ASSERT_EQ(vmx.VmxClose(h), VmxOk);
    EXPECT_EQ(second.VmxOpen(db.path(), 0, VmxModeReadWrite, h2), VmxOk);
}
