// A writer process killed outright (SIGKILL) at arbitrary points: what it
// had flushed must be there, intact, and nothing it had deleted and flushed.
#include "engine_test_util.h"

#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace vellicar::store;
using namespace vellicar::store::testing;

namespace {

// Operation `i` of round `round`: deterministic, so the parent knows what the
// child did from how far it got.
struct ChildOp {
    bool remove;
    QByteArray key;
    QByteArray owner;
    QByteArray value;
};
ChildOp childOp(int round, int i) {
    ChildOp op;
    op.key = "k" + QByteArray::number((i * 7 + round) % 23);
    op.remove = i % 5 == 4;
    op.owner = "o" + QByteArray::number(i % 3);
    // Sizes vary so frames cross page boundaries; the text names the write.
    op.value = "r" + QByteArray::number(round) + "i" + QByteArray::number(i) + ":" +
               QByteArray((i * 389) % 5000, char('a' + i % 26));
    return op;
}

// The child: opens, then applies ops and reports each flushed op on `ackFd`.
[[noreturn]] void writer(const QString& path, int round, int ackFd) {
    StoreStatus status = StoreStatus::Ok;
    QString text;
    auto store = RecordStore::open(path, RecordStore::Mode::ReadWrite, PosixFileIo::instance(),
                                   status, text);
    if (!store)
        _exit(2);
    store->setPreallocationChunk(64 << 10);
    for (int i = 0;; ++i) {
        const ChildOp op = childOp(round, i);
        const StoreStatus s =
            op.remove ? store->remove(op.key) : store->put(op.key, op.owner, op.value);
        if (s != StoreStatus::Ok && s != StoreStatus::NotFound)
            _exit(3);
        if (store->flush() != StoreStatus::Ok)
            _exit(4);
        if (::write(ackFd, &i, sizeof i) != sizeof i)
            _exit(5);
    }
}

} // namespace

TEST(Crash, KilledWriterKeepsEveryFlushedRecordAndNoFlushedDelete) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crash.isd"));
    ASSERT_EQ(RecordStore::create(path, PosixFileIo::instance()), StoreStatus::Ok);
    std::mt19937 rng(20261211);
    Model model; // everything acknowledged so far

    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            writer(path, round, fds[1]);
        }
        ::close(fds[1]);
        // Let it get through a random number of flushes, then kill it
        // somewhere inside the operations after them.
        const int target = 3 + int(rng() % 40);
        int acked = -1;
        for (int got = 0; got < target; ++got) {
            int i = 0;
            if (::read(fds[0], &i, sizeof i) != sizeof i)
                break;
            acked = i;
        }
        // The child runs on meanwhile, so where it dies varies from round to round.
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended on its own with " << WEXITSTATUS(status);
        // Acknowledgements already in the pipe count too.
        for (int i = 0; ::read(fds[0], &i, sizeof i) == sizeof i;)
            acked = i;
        ::close(fds[0]);

        for (int i = 0; i <= acked; ++i) {
            const ChildOp op = childOp(round, i);
            if (op.remove)
                model.erase(op.key);
            else
                model[op.key] = {op.owner, op.value};
        }
        // The one operation that may have been under way when it died.
        const ChildOp next = childOp(round, acked + 1);
        auto store = openStore(PosixFileIo::instance(), path);
        ASSERT_TRUE(store);
        EXPECT_TRUE(store->damageReports().filter(QStringLiteral("skipped")).isEmpty());
        Model expect = model;
        QByteArray value;
        const bool nextLanded =
            next.remove ? !store->contains(next.key) && model.count(next.key)
                        : store->get(next.key, value) == StoreStatus::Ok && value == next.value;
        if (nextLanded) {
            if (next.remove)
                expect.erase(next.key);
            else
                expect[next.key] = {next.owner, next.value};
            model = expect;
        }
        EXPECT_TRUE(storeEquals(*store, expect)) << "after " << acked + 1 << " acknowledged writes";
        ASSERT_EQ(store->close(), StoreStatus::Ok);
    }
}
