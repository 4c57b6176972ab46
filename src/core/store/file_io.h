#pragma once
// The file layer under the record store. Every byte the store reads or writes
// goes through a FileIo, so tests can swap the real POSIX calls for a failing
// or power-cut file system and see exactly what the engine does about it.
//
// Conventions: functions return 0 on success or a positive errno value.
// File handles are small non-negative integers owned by the FileIo that gave
// them out; each must be closed through the same FileIo.
#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace vellicar::store {

enum class FileOp : int {
    Open,
    Close,
    Read,
    Write,
    DataSync,
    FullSync,
    Truncate,
    Allocate,
    Size,
    Rename,
    Remove,
    SyncDir,
    Lock,
    Identity,
    Count
};
const char* fileOpName(FileOp op);

enum class LockKind { Shared, Exclusive };

class FileIo {
public:
    virtual ~FileIo() = default;

    // Opens `path`. With `create`, a missing file is made (mode 0600) and with
    // `exclusive` an existing one is refused (EEXIST).
    virtual int open(const QString& path, bool writable, bool create, bool exclusive,
                     int& handle) = 0;
    virtual int close(int handle) = 0;
    // Reads up to `size` bytes at `offset`; `done` < `size` only at end of file.
    virtual int read(int handle, void* buffer, std::size_t size, std::uint64_t offset,
                     std::size_t& done) = 0;
    // Writes all `size` bytes at `offset` or fails.
    virtual int write(int handle, const void* buffer, std::size_t size, std::uint64_t offset) = 0;
    virtual int dataSync(int handle) = 0;
    virtual int fullSync(int handle) = 0;
    virtual int truncate(int handle, std::uint64_t size) = 0;
    // Reserves space so that later writes below offset+size cannot run out of room.
    virtual int allocate(int handle, std::uint64_t offset, std::uint64_t size) = 0;
    virtual int size(int handle, std::uint64_t& size) = 0;
    virtual int rename(const QString& from, const QString& to) = 0;
    virtual int remove(const QString& path) = 0;
    // Makes renames, creations and removals in the folder durable.
    virtual int syncDir(const QString& folder) = 0;
    // Non-blocking advisory lock on the open file; EWOULDBLOCK when held elsewhere.
    virtual int lock(int handle, LockKind kind) = 0;
    // True when `handle` and `path` name the same file (catches a lock taken on a
    // file that was replaced by a rename in the meantime).
    virtual int sameFile(int handle, const QString& path, bool& same) = 0;
    virtual bool exists(const QString& path) = 0;
};

// The real thing: open/pread/pwrite/fdatasync/flock. `syncs` false turns every
// sync into a no-op (for fuzzing only: nothing survives a power cut then).
class PosixFileIo final : public FileIo {
public:
    explicit PosixFileIo(bool syncs = true) : syncs_(syncs) {}
    static PosixFileIo& instance();

    int open(const QString& path, bool writable, bool create, bool exclusive, int& handle) override;
    int close(int handle) override;
    int read(int handle, void* buffer, std::size_t size, std::uint64_t offset,
             std::size_t& done) override;
    int write(int handle, const void* buffer, std::size_t size, std::uint64_t offset) override;
    int dataSync(int handle) override;
    int fullSync(int handle) override;
    int truncate(int handle, std::uint64_t size) override;
    int allocate(int handle, std::uint64_t offset, std::uint64_t size) override;
    int size(int handle, std::uint64_t& size) override;
    int rename(const QString& from, const QString& to) override;
    int remove(const QString& path) override;
    int syncDir(const QString& folder) override;
    int lock(int handle, LockKind kind) override;
    int sameFile(int handle, const QString& path, bool& same) override;
    bool exists(const QString& path) override;

private:
    bool syncs_;
};

// Wraps another FileIo and counts its calls; can fail the k-th counted call
// (1-based) once or from then on. Only the kinds in `counted` are counted.
class FaultInjectingFileIo final : public FileIo {
public:
    explicit FaultInjectingFileIo(FileIo& inner);

    void countOnly(std::set<FileOp> kinds) { counted_ = std::move(kinds); }
    // failAt 0 disarms. `persistent` keeps failing every counted call after the k-th.
    void arm(std::uint64_t failAt, bool persistent, int error = 5 /* EIO */);
    std::uint64_t counted() const { return count_; }
    std::uint64_t calls(FileOp op) const { return perOp_[static_cast<int>(op)]; }
    std::uint64_t failures() const { return failures_; }
    void resetCounts();

    int open(const QString& path, bool writable, bool create, bool exclusive, int& handle) override;
    int close(int handle) override;
    int read(int handle, void* buffer, std::size_t size, std::uint64_t offset,
             std::size_t& done) override;
    int write(int handle, const void* buffer, std::size_t size, std::uint64_t offset) override;
    int dataSync(int handle) override;
    int fullSync(int handle) override;
    int truncate(int handle, std::uint64_t size) override;
    int allocate(int handle, std::uint64_t offset, std::uint64_t size) override;
    int size(int handle, std::uint64_t& size) override;
    int rename(const QString& from, const QString& to) override;
    int remove(const QString& path) override;
    int syncDir(const QString& folder) override;
    int lock(int handle, LockKind kind) override;
    int sameFile(int handle, const QString& path, bool& same) override;
    bool exists(const QString& path) override;

private:
    // Returns the error to report for this call, or 0 to let it through.
    int step(FileOp op);

    FileIo& inner_;
    std::set<FileOp> counted_;
    std::uint64_t count_ = 0;
    std::uint64_t failAt_ = 0;
    bool persistent_ = false;
    int error_ = 5;
    std::uint64_t failures_ = 0;
    std::uint64_t perOp_[static_cast<int>(FileOp::Count)] = {};
};

// A file system in memory that remembers what a power cut may keep. Every file
// has its durable contents (what survived the last completed sync) and the
// writes since. Folder changes (create, rename, remove) become durable only
// through syncDir. `powerCut` freezes it: every later call fails with EIO.
// `afterPowerCut` returns a fresh file system holding what a disk could show
// when the machine comes back, following `how`.
class MemoryFileIo final : public FileIo {
public:
    enum class Cut {
        KeepNothing, // every unsynced write and folder change is lost
        KeepAll,     // the cache made it to disk after all
        TearLast,    // writes kept in order, the last one only partly (sector by sector)
        Scramble     // each unsynced sector independently old or new; folder changes a prefix
    };

    MemoryFileIo();
    ~MemoryFileIo() override;

    // After `writes` more successful write-like calls (write, truncate,
    // allocate, rename, remove), the power goes out. 0 disarms.
    void cutPowerAfter(std::uint64_t writes) { cutAfter_ = writes; }
    bool powerIsOut() const { return out_; }
    void powerCut() { out_ = true; }
    std::unique_ptr<MemoryFileIo> afterPowerCut(Cut how, std::uint32_t seed) const;
    std::uint64_t writeCalls() const { return writeCalls_; }
    std::uint64_t syncCalls() const { return syncCalls_; }

    // Direct access for tests and fuzzing (bypasses durability bookkeeping: the
    // contents set here count as durable).
    void setFile(const QString& path, const QByteArray& bytes);
    QByteArray fileContents(const QString& path) const;
    QStringList files() const;

    int open(const QString& path, bool writable, bool create, bool exclusive, int& handle) override;
    int close(int handle) override;
    int read(int handle, void* buffer, std::size_t size, std::uint64_t offset,
             std::size_t& done) override;
    int write(int handle, const void* buffer, std::size_t size, std::uint64_t offset) override;
    int dataSync(int handle) override;
    int fullSync(int handle) override;
    int truncate(int handle, std::uint64_t size) override;
    int allocate(int handle, std::uint64_t offset, std::uint64_t size) override;
    int size(int handle, std::uint64_t& size) override;
    int rename(const QString& from, const QString& to) override;
    int remove(const QString& path) override;
    int syncDir(const QString& folder) override;
    int lock(int handle, LockKind kind) override;
    int sameFile(int handle, const QString& path, bool& same) override;
    bool exists(const QString& path) override;

    struct Inode;

private:
    struct Handle {
        std::shared_ptr<Inode> inode;
        bool writable = false;
        int lock = 0; // 0 none, 1 shared, 2 exclusive
    };
    struct DirChange {
        QString from; // empty: creation of `to`
        QString to;   // empty: removal of `from`
        std::shared_ptr<Inode> inode;
    };
    int writeStep();

    std::map<QString, std::shared_ptr<Inode>> names_;
    std::map<QString, std::shared_ptr<Inode>> durableNames_;
    std::vector<DirChange> pendingDir_;
    std::map<int, Handle> handles_;
    int nextHandle_ = 3;
    std::uint64_t cutAfter_ = 0;
    std::uint64_t writeCalls_ = 0;
    std::uint64_t syncCalls_ = 0;
    bool out_ = false;
};

} // namespace vellicar::store
