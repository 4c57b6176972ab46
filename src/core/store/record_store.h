#pragma once
// The storage engine behind the Vmx adapter: a keyed record store kept as a
// data file (an append-only log of checksummed frames, the only source of
// truth) and an index file (a checkpoint of the in-memory indexes that can
// always be rebuilt from the data file). docs/storage-format.md has the bytes.
//
// Keys, owners and values are arbitrary bytes. Index 0 maps key -> record;
// index 1 orders (owner, key) pairs so records sharing an owner come out in
// key order. Both live in memory; record values are read from the file when
// asked for. One RecordStore per file pair per machine: opening for writing
// takes an exclusive lock, opening read-only a shared one.
//
// Not thread-safe; the program drives it from one thread.
#include "core/store/engine_index.h"
#include "core/store/file_io.h"

#include <QtCore/QByteArray>
#include <QtCore/QByteArrayView>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vellicar::store {

namespace engine {
struct FrameHeader;
}

enum class StoreStatus {
    Ok,
    NotFound,
    NoSuchDatabase, // the data file is missing
    NotADatabase,   // the data file is not one of ours (or from a newer version)
    Locked,         // another open holds the lock
    CannotWrite,    // opening for writing is not allowed; read-only may work
    ReadOnly,       // a change on a store opened read-only
    Exists,         // create: the data file is already there
    TooLarge,       // a key or record over the limits below
    IoError,        // the file layer reported a failure; see errorText()
};

class RecordStore {
public:
    enum class Mode { ReadOnly, ReadWrite };

    static constexpr std::uint32_t MaxKeyBytes = 1u << 20;
    static constexpr std::uint32_t MaxValueBytes = 1u << 30;

    // The index file that goes with a data file: same base name, ".ISM".
    static QString indexPathFor(const QString& dataPath);

    // Makes an empty file pair. Exists when the data file is already there.
    static StoreStatus create(const QString& dataPath, FileIo& io, QString* errorText = nullptr);

    // Opens the pair. On failure returns nullptr and sets `status` and `errorText`.
    // A missing, stale or damaged index file is rebuilt from the data file (and
    // said so in damageReports()); a torn tail of the data file is dropped.
    static std::unique_ptr<RecordStore> open(const QString& dataPath, Mode mode, FileIo& io,
                                             StoreStatus& status, QString& errorText);

    ~RecordStore(); // closes, writing the index checkpoint when open for writing
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Changes are in the file (and visible to get) when these return Ok, and
    // durable after the next successful flush().
    StoreStatus put(QByteArrayView key, QByteArrayView owner, QByteArrayView value);
    StoreStatus remove(QByteArrayView key); // NotFound when there was no such record
    StoreStatus flush();                    // one fdatasync when anything is pending

    // Reads a record. A frame that fails its checksum is never returned: the
    // result is IoError and the damage is added to damageReports().
    StoreStatus get(QByteArrayView key, QByteArray& value) const;
    bool contains(QByteArrayView key) const;
    std::optional<QByteArray> ownerOf(QByteArrayView key) const;
    std::size_t size() const { return index_.size(); }
    QList<QByteArray> keys() const; // in no particular order

    // Index 1, ordered by owner bytes, then key bytes.
    struct OwnerEntry {
        QByteArray owner;
        QByteArray key;
        bool operator==(const OwnerEntry&) const = default;
    };
    std::optional<OwnerEntry> firstOfOwner(QByteArrayView owner) const; // exact owner
    std::optional<OwnerEntry> firstEntry() const;
    std::optional<OwnerEntry> entryAfter(const OwnerEntry& e) const;  // e need not exist
    std::optional<OwnerEntry> entryBefore(const OwnerEntry& e) const; // e need not exist
    QList<OwnerEntry> ownerIndex() const;                             // whole index, in order

    // Rewrites the live records into a fresh file pair and swaps it in
    // atomically. A failure leaves the old pair in use and intact.
    StoreStatus compact();
    // True when dead frames outweigh live ones (and there is enough to gain).
    bool compactionDue() const;
    // Writes the index checkpoint now (close does it too).
    StoreStatus writeIndex();
    // Flushes, writes the index checkpoint and releases the files. Further
    // calls fail with IoError.
    StoreStatus close();

    struct Stats {
        std::uint64_t dataEnd = 0;   // logical end of the log
        std::uint64_t fileSize = 0;  // data file size including preallocation
        std::uint64_t liveBytes = 0; // bytes of frames that hold live records
        std::uint64_t deadBytes = 0; // replaced or deleted frames
        std::uint64_t records = 0;
        bool indexLoaded = false; // open used the index file instead of scanning
    };
    Stats stats() const;

    Mode mode() const { return mode_; }
    QString dataPath() const { return dataPath_; }
    QString errorText() const { return error_; }
    QStringList damageReports() const { return damage_; }

    // Bigger chunks of preallocation mean fewer size changes but more idle space.
    void setPreallocationChunk(std::uint64_t bytes) { chunk_ = bytes; }
    // Off by default in tests that want to watch the files grow.
    void setAutoCompact(bool on) { autoCompact_ = on; }
    // Dead bytes below this never trigger an automatic compaction.
    void setCompactionMinimum(std::uint64_t bytes) { compactMinimum_ = bytes; }

private:
    RecordStore(FileIo& io, QString dataPath, Mode mode);
    StoreStatus openFiles(QString& errorText);
    StoreStatus load();
    bool loadIndexFile(std::uint64_t dataFileSize);
    StoreStatus scan(std::uint64_t from, std::uint64_t fileSize, bool& tailClean);
    StoreStatus scanFrames(std::uint64_t from, std::uint64_t fileSize, bool& tailClean);
    StoreStatus readFrame(std::uint32_t id, QByteArray* value) const;
    std::optional<OwnerEntry> ownerEntry(std::uint32_t id) const;
    StoreStatus appendFrame(const QByteArray& frame, const engine::FrameHeader& fh);
    StoreStatus ensureRoom(std::uint64_t end);
    StoreStatus failIo(const char* what, int error);
    StoreStatus checkWritable();
    StoreStatus recoverAfterFailure();
    void applyPut(QByteArrayView key, QByteArrayView owner, std::uint64_t pos, std::uint32_t size);
    void applyRemove(QByteArrayView key);
    QByteArray encodeIndex() const;
    void removeLeftovers();
    void releaseFiles();

    FileIo& io_;
    QString dataPath_;
    QString indexPath_;
    Mode mode_;
    int fd_ = -1;

    std::uint64_t fileId_ = 0;
    std::uint64_t end_ = 0;       // where the next frame goes
    std::uint64_t allocated_ = 0; // bytes of file known to exist (zeros past end_)
    std::uint64_t durableEnd_ = 0;
    std::uint64_t nextSeq_ = 1;
    std::uint64_t liveBytes_ = 0;
    std::uint64_t chunk_ = 4u << 20;
    std::uint64_t compactMinimum_ = 1u << 20;
    std::uint64_t lastFramePos_ = 0; // the frame that ends at end_ (0: none)
    std::uint32_t lastFrameCrc_ = 0;
    std::vector<QByteArray> pending_; // frames written since the last completed sync
    bool dirty_ = false;              // appended since the last sync
    bool indexStale_ = true;          // the index file does not describe end_
    bool failed_ = false;             // a write or sync failed: reopen before writing again
    bool closed_ = false;
    bool needDirSync_ = false; // the folder must be synced before a flush counts
    bool autoCompact_ = true;
    bool indexLoaded_ = false;

    engine::KeyIndex index_; // index 0 and index 1

    mutable QString error_;
    mutable QStringList damage_;
};

const char* storeStatusName(StoreStatus s);

} // namespace vellicar::store
