#include "core/store/record_store.h"

#include "core/store/engine_crc32c.h"
#include "core/store/engine_format.h"

#include <QtCore/QFileInfo>
#include <QtCore/QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vellicar::store {

using namespace engine;

const char* storeStatusName(StoreStatus s) {
    switch (s) {
    case StoreStatus::Ok:
        return "Ok";
    case StoreStatus::NotFound:
        return "NotFound";
    case StoreStatus::NoSuchDatabase:
        return "NoSuchDatabase";
    case StoreStatus::NotADatabase:
        return "NotADatabase";
    case StoreStatus::Locked:
        return "Locked";
    case StoreStatus::CannotWrite:
        return "CannotWrite";
    case StoreStatus::ReadOnly:
        return "ReadOnly";
    case StoreStatus::Exists:
        return "Exists";
    case StoreStatus::TooLarge:
        return "TooLarge";
    case StoreStatus::IoError:
        return "IoError";
    }
    return "?";
}

namespace {

QString folderOf(const QString& path) {
    return QFileInfo(path).path();
}

QString describe(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads the data file through a window so a scan makes few, large reads.
class Window {
public:
    Window(FileIo& io, int fd, std::uint64_t limit) : io_(io), fd_(fd), limit_(limit) {}

    // Pointer to [pos, pos+n), or nullptr when that runs past the limit or the
    // read failed (then `error` is set).
    const char* get(std::uint64_t pos, std::size_t n, int& error) {
        error = 0;
        if (pos > limit_ || n > limit_ - pos)
            return nullptr;
        if (pos >= start_ && pos + n <= start_ + length_)
            return buffer_.constData() + (pos - start_);
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::max(n, kWindow), limit_ - pos));
        if (static_cast<std::size_t>(buffer_.size()) < want)
            buffer_.resize(static_cast<qsizetype>(want));
        std::size_t done = 0;
        error = io_.read(fd_, buffer_.data(), want, pos, done);
        start_ = pos;
        length_ = error ? 0 : done;
        if (error || done < n)
            return nullptr;
        return buffer_.constData();
    }

    std::uint64_t limit() const { return limit_; }

private:
    static constexpr std::size_t kWindow = 1u << 20;
    FileIo& io_;
    int fd_;
    std::uint64_t limit_;
    QByteArray buffer_;
    std::uint64_t start_ = 0;
    std::uint64_t length_ = 0;
};

bool allZero(const char* p, std::size_t n) {
    static const char zeros[256] = {};
    while (n >= sizeof zeros) {
        if (std::memcmp(p, zeros, sizeof zeros) != 0)
            return false;
        p += sizeof zeros;
        n -= sizeof zeros;
    }
    return std::memcmp(p, zeros, n) == 0;
}

// A complete, checksummed frame at `pos` whose sequence number is at least
// `minSeq`: the test for "a real frame starts here".
bool validFrameAt(Window& w, std::uint64_t pos, std::uint64_t minSeq, FrameHeader& fh, int& error) {
    const char* h = w.get(pos, kFrameHeaderSize, error);
    if (!h || !parseFrameHeader(h, fh) || fh.seq < minSeq)
        return false;
    if (fh.size > w.limit() - pos)
        return false;
    const std::size_t payload = fh.payloadSize();
    const char* p = w.get(pos + kFrameHeaderSize, payload, error);
    return p && crc32c(p, payload) == fh.payloadCrc;
}

// The next position at or after `from` where a valid frame starts, or 0.
std::uint64_t findNextFrame(Window& w, std::uint64_t from, std::uint64_t minSeq, int& error) {
    error = 0;
    for (std::uint64_t pos = align8(from); pos + kFrameHeaderSize <= w.limit(); pos += 8) {
        const char* m = w.get(pos, 4, error);
        if (!m)
            return 0;
        if (readU32(m) != kFrameMagic)
            continue;
        FrameHeader fh;
        if (validFrameAt(w, pos, minSeq, fh, error))
            return pos;
        if (error)
            return 0;
    }
    return 0;
}

bool regionIsZero(Window& w, std::uint64_t from, int& error) {
    error = 0;
    constexpr std::uint64_t kStep = 1u << 20;
    for (std::uint64_t pos = from; pos < w.limit(); pos += kStep) {
        const std::size_t n = static_cast<std::size_t>(std::min(kStep, w.limit() - pos));
        const char* p = w.get(pos, n, error);
        if (!p)
            return false;
        if (!allZero(p, n))
            return false;
    }
    return true;
}

} // namespace

QString RecordStore::indexPathFor(const QString& dataPath) {
    if (dataPath.endsWith(QLatin1String(".isd"), Qt::CaseInsensitive))
        return dataPath.chopped(4) + QLatin1String(".ISM");
    return dataPath + QLatin1String(".ISM");
}

RecordStore::RecordStore(FileIo& io, QString dataPath, Mode mode)
    : io_(io), dataPath_(std::move(dataPath)), indexPath_(indexPathFor(dataPath_)), mode_(mode) {}

RecordStore::~RecordStore() {
    close();
}

StoreStatus RecordStore::create(const QString& dataPath, FileIo& io, QString* errorText) {
    auto fail = [&](StoreStatus s, const QString& text) {
        if (errorText)
            *errorText = text;
        return s;
    };
    if (io.exists(dataPath))
        return fail(StoreStatus::Exists, QStringLiteral("%1 already exists").arg(dataPath));
    // Made under a temporary name and renamed: a crash leaves either no
    // database or a whole one, never a data file without its header.
    const QString tmp = dataPath + QLatin1String(".create");
    if (io.exists(tmp))
        io.remove(tmp);
    int fd = -1;
    int e = io.open(tmp, true, true, true, fd);
    if (e)
        return fail(StoreStatus::IoError,
                    QStringLiteral("cannot create %1: %2").arg(dataPath, describe(e)));
    const QByteArray header = encodeDataHeader(QRandomGenerator::system()->generate64() | 1u);
    e = io.write(fd, header.constData(), static_cast<std::size_t>(header.size()), 0);
    if (!e)
        e = io.dataSync(fd);
    const int closed = io.close(fd);
    if (!e)
        e = closed;
    if (!e && io.exists(dataPath))
        e = EEXIST;
    if (!e)
        e = io.rename(tmp, dataPath);
    if (e) {
        io.remove(tmp);
        if (e == EEXIST)
            return fail(StoreStatus::Exists, QStringLiteral("%1 already exists").arg(dataPath));
        return fail(StoreStatus::IoError,
                    QStringLiteral("cannot create %1: %2").arg(dataPath, describe(e)));
    }
    if ((e = io.syncDir(folderOf(dataPath))) != 0)
        return fail(StoreStatus::IoError,
                    QStringLiteral("cannot create %1: %2").arg(dataPath, describe(e)));
    // The index file is only a checkpoint; if writing it fails the next open
    // rebuilds it, so its failure does not undo the creation.
    StoreStatus s;
    QString text;
    if (auto store = open(dataPath, Mode::ReadWrite, io, s, text))
        store->close();
    return StoreStatus::Ok;
}

std::unique_ptr<RecordStore> RecordStore::open(const QString& dataPath, Mode mode, FileIo& io,
                                               StoreStatus& status, QString& errorText) {
    std::unique_ptr<RecordStore> store(new RecordStore(io, dataPath, mode));
    status = store->openFiles(errorText);
    if (status == StoreStatus::Ok) {
        status = store->load();
        if (status != StoreStatus::Ok)
            errorText = store->error_;
    }
    if (status != StoreStatus::Ok) {
        store->releaseFiles();
        store->closed_ = true;
        return nullptr;
    }
    if (mode == Mode::ReadWrite) {
        store->removeLeftovers();
        store->needDirSync_ = true;
    }
    return store;
}

StoreStatus RecordStore::openFiles(QString& errorText) {
    const bool writable = mode_ == Mode::ReadWrite;
    if (!io_.exists(dataPath_)) {
        errorText = QStringLiteral("%1 does not exist").arg(dataPath_);
        return StoreStatus::NoSuchDatabase;
    }
    // A compaction in another process may replace the file between our open
    // and our lock; then the lock is on a file nobody uses, so try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = -1;
        int e = io_.open(dataPath_, writable, false, false, fd);
        if (e == ENOENT) {
            errorText = QStringLiteral("%1 does not exist").arg(dataPath_);
            return StoreStatus::NoSuchDatabase;
        }
        if (writable && (e == EACCES || e == EROFS || e == EPERM || e == ETXTBSY)) {
            errorText =
                QStringLiteral("%1 cannot be opened for writing: %2").arg(dataPath_, describe(e));
            return StoreStatus::CannotWrite;
        }
        if (e) {
            errorText = QStringLiteral("cannot open %1: %2").arg(dataPath_, describe(e));
            return StoreStatus::IoError;
        }
        e = io_.lock(fd, writable ? LockKind::Exclusive : LockKind::Shared);
        if (e == EWOULDBLOCK || e == EAGAIN) {
            io_.close(fd);
            errorText = QStringLiteral("%1 is in use by another program").arg(dataPath_);
            return StoreStatus::Locked;
        }
        bool same = false;
        if (!e)
            e = io_.sameFile(fd, dataPath_, same);
        if (e) {
            io_.close(fd);
            errorText = QStringLiteral("cannot lock %1: %2").arg(dataPath_, describe(e));
            return StoreStatus::IoError;
        }
        if (same) {
            fd_ = fd;
            return StoreStatus::Ok;
        }
        io_.close(fd);
    }
    errorText = QStringLiteral("%1 is in use by another program").arg(dataPath_);
    return StoreStatus::Locked;
}

void RecordStore::releaseFiles() {
    if (fd_ >= 0)
        io_.close(fd_);
    fd_ = -1;
}

StoreStatus RecordStore::failIo(const char* what, int error) {
    error_ = QStringLiteral("%1 failed on %2: %3")
                 .arg(QLatin1String(what), dataPath_, describe(error ? error : EIO));
    return StoreStatus::IoError;
}

StoreStatus RecordStore::load() {
    index_.clear();
    liveBytes_ = 0;
    nextSeq_ = 1;
    lastFramePos_ = 0;
    lastFrameCrc_ = 0;
    indexLoaded_ = false;

    std::uint64_t fileSize = 0;
    if (const int e = io_.size(fd_, fileSize))
        return failIo("size", e);
    char header[kDataHeaderSize];
    std::size_t got = 0;
    if (fileSize >= kDataHeaderSize) {
        if (const int e = io_.read(fd_, header, kDataHeaderSize, 0, got))
            return failIo("read", e);
    }
    std::uint64_t id = 0;
    const HeaderCheck check = parseDataHeader(header, got, id);
    if (check == HeaderCheck::Foreign) {
        error_ = QStringLiteral("%1 is not a Vellicar Notes database").arg(dataPath_);
        return StoreStatus::NotADatabase;
    }
    if (check == HeaderCheck::Newer) {
        error_ =
            QStringLiteral("%1 was written by a newer version of Vellicar Notes").arg(dataPath_);
        return StoreStatus::NotADatabase;
    }
    bool rewriteHeader = false;
    if (check == HeaderCheck::Damaged) {
        // Only the file identity lives there; the frames carry everything else.
        damage_
            << QStringLiteral("The header of %1 was damaged and has been renewed.").arg(dataPath_);
        id = QRandomGenerator::system()->generate64() | 1u;
        rewriteHeader = true;
    }
    fileId_ = id;

    std::uint64_t checkpointEnd = 0;
    if (!rewriteHeader && loadIndexFile(fileSize)) {
        indexLoaded_ = true;
        checkpointEnd = end_;
    } else {
        index_.clear();
        liveBytes_ = 0;
        nextSeq_ = 1;
        lastFramePos_ = 0;
        lastFrameCrc_ = 0;
        end_ = kDataHeaderSize;
    }

    bool tailClean = true;
    if (const StoreStatus s = scan(end_, fileSize, tailClean); s != StoreStatus::Ok)
        return s;
    allocated_ = std::max<std::uint64_t>(fileSize, end_);

    if (mode_ == Mode::ReadWrite) {
        if (rewriteHeader) {
            const QByteArray h = encodeDataHeader(fileId_);
            if (const int e = io_.write(fd_, h.constData(), kDataHeaderSize, 0))
                return failIo("write", e);
        }
        if (!tailClean) {
            // The unfinished writes of a crash: cut them off so the next frame
            // goes after the last good one and nothing stale lies beyond it.
            if (const int e = io_.truncate(fd_, end_))
                return failIo("truncate", e);
            allocated_ = end_;
        }
        if (rewriteHeader || !tailClean) {
            if (const int e = io_.dataSync(fd_))
                return failIo("fdatasync", e);
        }
    }
    durableEnd_ = end_;
    dirty_ = false;
    pending_.clear();
    indexStale_ = !indexLoaded_ || end_ != checkpointEnd;
    return StoreStatus::Ok;
}

StoreStatus RecordStore::scan(std::uint64_t from, std::uint64_t fileSize, bool& tailClean) {
    // Reading a whole file: fill index 0 first and sort index 1 once at the
    // end, which is several times cheaper than keeping the tree ordered per frame.
    const bool bulk = index_.size() == 0;
    if (bulk)
        index_.beginBulk();
    const StoreStatus s = scanFrames(from, fileSize, tailClean);
    if (bulk)
        index_.endBulk();
    return s;
}

StoreStatus RecordStore::scanFrames(std::uint64_t from, std::uint64_t fileSize, bool& tailClean) {
    Window w(io_, fd_, fileSize);
    std::uint64_t pos = from;
    std::uint64_t good = from;
    std::uint64_t frames = 0;
    std::uint64_t arenaBytes = 0;
    int e = 0;
    while (pos + kFrameHeaderSize <= fileSize) {
        FrameHeader fh;
        if (validFrameAt(w, pos, nextSeq_, fh, e)) {
            const char* p = w.get(pos + kFrameHeaderSize, fh.payloadSize(), e);
            const QByteArrayView key(p, fh.keyLength);
            arenaBytes += std::uint64_t(fh.keyLength) + fh.ownerLength;
            if (fh.type == kFramePut) {
                applyPut(key, QByteArrayView(p + fh.keyLength, fh.ownerLength), pos,
                         static_cast<std::uint32_t>(fh.size));
            } else {
                applyRemove(key);
            }
            lastFramePos_ = pos;
            lastFrameCrc_ = fh.headerCrc;
            nextSeq_ = fh.seq + 1;
            pos += fh.size;
            good = pos;
            if (++frames == 256 && index_.size() > 128) {
                // Size the index once for the whole file from what the
                // first frames look like.
                const double perFrame = double(pos - from) / double(frames);
                const double expect = double(fileSize - from) / perFrame * 1.1;
                index_.reserve(std::size_t(expect),
                               std::size_t(expect * double(arenaBytes) / double(frames)));
            }
            continue;
        }
        if (e)
            return failIo("read", e);
        // No frame here: either the clean end (zeros), a torn tail, or damage
        // with good frames after it.
        const std::uint64_t next = findNextFrame(w, pos + 8, nextSeq_, e);
        if (e)
            return failIo("read", e);
        if (next == 0)
            break;
        damage_ << QStringLiteral("Damaged bytes %1 to %2 of %3 were skipped.")
                       .arg(pos)
                       .arg(next)
                       .arg(dataPath_);
        pos = next;
    }
    end_ = good;
    tailClean = regionIsZero(w, good, e);
    if (e)
        return failIo("read", e);
    return StoreStatus::Ok;
}

bool RecordStore::loadIndexFile(std::uint64_t dataFileSize) {
    auto rebuilt = [this](const QString& why) {
        damage_ << QStringLiteral("The index file %1 was rebuilt from the data file (%2).")
                       .arg(indexPath_, why);
        return false;
    };
    if (!io_.exists(indexPath_))
        return rebuilt(QStringLiteral("it was missing"));
    int fd = -1;
    if (io_.open(indexPath_, false, false, false, fd))
        return rebuilt(QStringLiteral("it could not be opened"));
    std::uint64_t size = 0;
    QByteArray bytes;
    int e = io_.size(fd, size);
    // An index entry never takes more than twice its frame.
    if (!e && size > 2 * dataFileSize + (std::uint64_t(1) << 20))
        e = EFBIG;
    if (!e) {
        bytes.resize(static_cast<qsizetype>(size));
        std::size_t done = 0;
        e = io_.read(fd, bytes.data(), size, 0, done);
        if (!e && done != size)
            e = EIO;
    }
    io_.close(fd);
    if (e)
        return rebuilt(QStringLiteral("it could not be read"));

    IndexCheckpoint cp;
    QString why;
    if (!decodeIndex(bytes, fileId_, dataFileSize, cp, index_, why))
        return rebuilt(why);

    // The checkpoint must match the data file: the frame it ends with is there.
    if (cp.lastFramePos != 0) {
        char h[kFrameHeaderSize];
        std::size_t done = 0;
        FrameHeader fh;
        if (io_.read(fd_, h, kFrameHeaderSize, cp.lastFramePos, done) || done != kFrameHeaderSize ||
            !parseFrameHeader(h, fh) || fh.headerCrc != cp.lastFrameCrc ||
            cp.lastFramePos + fh.size != cp.dataEnd || fh.seq >= cp.nextSeq)
            return rebuilt(QStringLiteral("it does not match the data file"));
    } else if (cp.dataEnd != kDataHeaderSize) {
        return rebuilt(QStringLiteral("it does not match the data file"));
    }

    liveBytes_ = 0;
    for (std::uint32_t id = 0; id < index_.slotCount(); ++id)
        liveBytes_ += index_.slot(id).size;
    end_ = cp.dataEnd;
    nextSeq_ = cp.nextSeq;
    lastFramePos_ = cp.lastFramePos;
    lastFrameCrc_ = cp.lastFrameCrc;
    return true;
}

void RecordStore::applyPut(QByteArrayView key, QByteArrayView owner, std::uint64_t pos,
                           std::uint32_t size) {
    std::uint32_t old = 0;
    index_.put(key, owner, pos, size, old);
    liveBytes_ += size;
    liveBytes_ -= old;
}

void RecordStore::applyRemove(QByteArrayView key) {
    std::uint32_t old = 0;
    if (index_.remove(key, old))
        liveBytes_ -= old;
}

StoreStatus RecordStore::checkWritable() {
    if (closed_) {
        error_ = QStringLiteral("the database is closed");
        return StoreStatus::IoError;
    }
    if (mode_ != Mode::ReadWrite) {
        error_ = QStringLiteral("%1 is open read-only").arg(dataPath_);
        return StoreStatus::ReadOnly;
    }
    if (failed_)
        return recoverAfterFailure();
    return StoreStatus::Ok;
}

// After a failed write or sync we cannot trust the bytes past the last
// completed sync (a failed fdatasync may already have dropped them from the
// cache). Cut them off, reload, and write the frames that were reported as
// stored again, so the next flush really covers them.
StoreStatus RecordStore::recoverAfterFailure() {
    // A recovery that fails must leave the store as readers saw it, and keep
    // the frames to write again for the next attempt.
    const std::vector<QByteArray> again = pending_;
    const engine::KeyIndex savedIndex = index_;
    const std::uint64_t savedLive = liveBytes_, savedEnd = end_, savedDurable = durableEnd_,
                        savedSeq = nextSeq_, savedLastPos = lastFramePos_;
    const std::uint32_t savedLastCrc = lastFrameCrc_;
    const bool savedIndexLoaded = indexLoaded_;
    auto restore = [&](StoreStatus s) {
        index_ = savedIndex;
        liveBytes_ = savedLive;
        end_ = savedEnd;
        durableEnd_ = savedDurable;
        nextSeq_ = savedSeq;
        lastFramePos_ = savedLastPos;
        lastFrameCrc_ = savedLastCrc;
        indexLoaded_ = savedIndexLoaded;
        pending_ = again;
        failed_ = true;
        dirty_ = true;
        indexStale_ = true;
        return s;
    };
    if (const int e = io_.truncate(fd_, durableEnd_))
        return restore(failIo("truncate", e));
    allocated_ = durableEnd_;
    if (const StoreStatus s = load(); s != StoreStatus::Ok) {
        allocated_ = savedDurable;
        return restore(s);
    }
    failed_ = false;
    for (const QByteArray& frame : again) {
        FrameHeader fh;
        parseFrameHeader(frame.constData(), fh);
        if (const StoreStatus s = appendFrame(frame, fh); s != StoreStatus::Ok) {
            allocated_ = std::min(allocated_, savedDurable);
            return restore(s);
        }
    }
    return StoreStatus::Ok;
}

StoreStatus RecordStore::ensureRoom(std::uint64_t needEnd) {
    if (needEnd <= allocated_)
        return StoreStatus::Ok;
    // Grow in chunks and write the zeros now: later frames then overwrite
    // allocated, initialised blocks and a flush is a single fdatasync with no
    // size or extent change to journal.
    std::uint64_t target = std::max(needEnd, allocated_ + chunk_);
    target = (target + chunk_ - 1) / chunk_ * chunk_;
    if (const int e = io_.allocate(fd_, allocated_, target - allocated_))
        return failIo("fallocate", e);
    static const QByteArray zeros(1 << 20, '\0');
    for (std::uint64_t pos = allocated_; pos < target;) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(zeros.size()), target - pos));
        if (const int e = io_.write(fd_, zeros.constData(), n, pos))
            return failIo("write", e);
        pos += n;
    }
    allocated_ = target;
    return StoreStatus::Ok;
}

StoreStatus RecordStore::appendFrame(const QByteArray& frame, const FrameHeader& fh) {
    const auto size = static_cast<std::uint64_t>(frame.size());
    StoreStatus s = ensureRoom(end_ + size);
    if (s == StoreStatus::Ok) {
        if (const int e = io_.write(fd_, frame.constData(), static_cast<std::size_t>(size), end_))
            s = failIo("write", e);
    }
    if (s != StoreStatus::Ok) {
        failed_ = true;
        return s;
    }
    const char* p = frame.constData() + kFrameHeaderSize;
    const QByteArrayView key(p, fh.keyLength);
    if (fh.type == kFramePut)
        applyPut(key, QByteArrayView(p + fh.keyLength, fh.ownerLength), end_,
                 static_cast<std::uint32_t>(size));
    else
        applyRemove(key);
    lastFramePos_ = end_;
    lastFrameCrc_ = fh.headerCrc;
    nextSeq_ = fh.seq + 1;
    end_ += size;
    dirty_ = true;
    indexStale_ = true;
    pending_.push_back(frame);
    return StoreStatus::Ok;
}

StoreStatus RecordStore::put(QByteArrayView key, QByteArrayView owner, QByteArrayView value) {
    if (key.size() > qsizetype(MaxKeyBytes) || owner.size() > qsizetype(MaxKeyBytes) ||
        value.size() > qsizetype(MaxValueBytes)) {
        error_ = QStringLiteral("a key or record is too large to store");
        return StoreStatus::TooLarge;
    }
    if (const StoreStatus s = checkWritable(); s != StoreStatus::Ok)
        return s;
    FrameHeader fh;
    const QByteArray frame = encodeFrame(nextSeq_, kFramePut, key, owner, value, fh);
    return appendFrame(frame, fh);
}

StoreStatus RecordStore::remove(QByteArrayView key) {
    if (const StoreStatus s = checkWritable(); s != StoreStatus::Ok)
        return s;
    if (index_.find(key) == KeyIndex::kNone)
        return StoreStatus::NotFound;
    FrameHeader fh;
    const QByteArray frame = encodeFrame(nextSeq_, kFrameDelete, key, {}, {}, fh);
    return appendFrame(frame, fh);
}

StoreStatus RecordStore::flush() {
    if (closed_) {
        error_ = QStringLiteral("the database is closed");
        return StoreStatus::IoError;
    }
    if (mode_ != Mode::ReadWrite)
        return StoreStatus::Ok;
    if (failed_) {
        if (const StoreStatus s = recoverAfterFailure(); s != StoreStatus::Ok)
            return s;
    }
    if (needDirSync_) {
        // Until the folder holding our file's name is synced, syncing the file
        // alone promises nothing: after a power cut the name could point to
        // an older file (a compaction's rename) or to none (a creation).
        if (const int e = io_.syncDir(folderOf(dataPath_)))
            return failIo("fsync of the folder", e);
        needDirSync_ = false;
    }
    if (!dirty_)
        return StoreStatus::Ok;
    if (const int e = io_.dataSync(fd_)) {
        failed_ = true;
        return failIo("fdatasync", e);
    }
    dirty_ = false;
    durableEnd_ = end_;
    pending_.clear();
    if (autoCompact_ && compactionDue()) {
        // The flush itself succeeded; a failed compaction leaves the old pair
        // in use and only its text behind.
        compact();
    }
    return StoreStatus::Ok;
}

StoreStatus RecordStore::readFrame(std::uint32_t id, QByteArray* value) const {
    if (closed_) {
        error_ = QStringLiteral("the database is closed");
        return StoreStatus::IoError;
    }
    const Slot& entry = index_.slot(id);
    const QByteArrayView key = index_.key(id);
    const QByteArrayView owner = index_.owner(id);
    QByteArray bytes(static_cast<qsizetype>(entry.size), Qt::Uninitialized);
    std::size_t done = 0;
    const int e = io_.read(fd_, bytes.data(), entry.size, entry.pos, done);
    if (e) {
        error_ = QStringLiteral("read failed on %1: %2").arg(dataPath_, describe(e));
        return StoreStatus::IoError;
    }
    FrameHeader fh;
    if (done != entry.size || !parseFrameHeader(bytes.constData(), fh) || fh.size != entry.size ||
        fh.type != kFramePut || fh.keyLength != static_cast<std::uint32_t>(key.size()) ||
        fh.ownerLength != static_cast<std::uint32_t>(owner.size()) ||
        crc32c(bytes.constData() + kFrameHeaderSize, fh.payloadSize()) != fh.payloadCrc ||
        QByteArrayView(bytes.constData() + kFrameHeaderSize, key.size()) != key ||
        QByteArrayView(bytes.constData() + kFrameHeaderSize + key.size(), owner.size()) != owner) {
        damage_ << QStringLiteral("The record at byte %1 of %2 is damaged and was not read.")
                       .arg(entry.pos)
                       .arg(dataPath_);
        error_ = damage_.last();
        return StoreStatus::IoError;
    }
    if (value) {
        // Keep the frame's buffer and move the value to its front: a big
        // record is not allocated and copied a second time.
        const qsizetype at = qsizetype(kFrameHeaderSize) + fh.keyLength + fh.ownerLength;
        std::memmove(bytes.data(), bytes.constData() + at, fh.valueLength);
        bytes.truncate(qsizetype(fh.valueLength));
        *value = std::move(bytes);
    }
    return StoreStatus::Ok;
}

StoreStatus RecordStore::get(QByteArrayView key, QByteArray& value) const {
    const std::uint32_t id = index_.find(key);
    if (id == KeyIndex::kNone)
        return StoreStatus::NotFound;
    return readFrame(id, &value);
}

bool RecordStore::contains(QByteArrayView key) const {
    return index_.find(key) != KeyIndex::kNone;
}

std::optional<QByteArray> RecordStore::ownerOf(QByteArrayView key) const {
    const std::uint32_t id = index_.find(key);
    if (id == KeyIndex::kNone)
        return std::nullopt;
    return index_.owner(id).toByteArray();
}

QList<QByteArray> RecordStore::keys() const {
    QList<QByteArray> out;
    out.reserve(static_cast<qsizetype>(index_.size()));
    for (std::uint32_t id = 0; id < index_.slotCount(); ++id) {
        if (index_.isLive(id))
            out.push_back(index_.key(id).toByteArray());
    }
    return out;
}

std::optional<RecordStore::OwnerEntry> RecordStore::ownerEntry(std::uint32_t id) const {
    if (id == KeyIndex::kNone)
        return std::nullopt;
    return OwnerEntry{index_.owner(id).toByteArray(), index_.key(id).toByteArray()};
}

std::optional<RecordStore::OwnerEntry> RecordStore::firstOfOwner(QByteArrayView owner) const {
    const std::uint32_t id = index_.lowerBound(owner, {});
    if (id == KeyIndex::kNone || index_.owner(id) != owner)
        return std::nullopt;
    return ownerEntry(id);
}

std::optional<RecordStore::OwnerEntry> RecordStore::firstEntry() const {
    return ownerEntry(index_.lowerBound({}, {}));
}

std::optional<RecordStore::OwnerEntry> RecordStore::entryAfter(const OwnerEntry& e) const {
    return ownerEntry(index_.upperBound(e.owner, e.key));
}

std::optional<RecordStore::OwnerEntry> RecordStore::entryBefore(const OwnerEntry& e) const {
    return ownerEntry(index_.lastBefore(e.owner, e.key));
}

QList<RecordStore::OwnerEntry> RecordStore::ownerIndex() const {
    QList<OwnerEntry> out;
    out.reserve(static_cast<qsizetype>(index_.size()));
    for (const std::uint32_t id : index_.ordered())
        out.push_back({index_.owner(id).toByteArray(), index_.key(id).toByteArray()});
    return out;
}

RecordStore::Stats RecordStore::stats() const {
    Stats s;
    s.dataEnd = end_;
    s.fileSize = allocated_;
    s.liveBytes = liveBytes_;
    s.deadBytes = end_ > kDataHeaderSize + liveBytes_ ? end_ - kDataHeaderSize - liveBytes_ : 0;
    s.records = static_cast<std::uint64_t>(index_.size());
    s.indexLoaded = indexLoaded_;
    return s;
}

bool RecordStore::compactionDue() const {
    const Stats s = stats();
    return s.deadBytes > s.liveBytes && s.deadBytes >= compactMinimum_;
}

QByteArray RecordStore::encodeIndex() const {
    IndexCheckpoint cp;
    cp.dataEnd = end_;
    cp.nextSeq = nextSeq_;
    cp.lastFramePos = lastFramePos_;
    cp.lastFrameCrc = lastFrameCrc_;
    return encodeIndexFile(fileId_, cp, index_);
}

namespace {
// Writes `bytes` as a new file at `path` and syncs it; the file is left closed.
int writeWholeFile(FileIo& io, const QString& path, const QByteArray& bytes) {
    int fd = -1;
    int e = io.open(path, true, true, false, fd);
    if (e)
        return e;
    e = io.truncate(fd, 0);
    if (!e)
        e = io.write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()), 0);
    if (!e)
        e = io.dataSync(fd);
    const int c = io.close(fd);
    return e ? e : c;
}
} // namespace

StoreStatus RecordStore::writeIndex() {
    if (closed_ || mode_ != Mode::ReadWrite)
        return StoreStatus::Ok;
    // The checkpoint must never describe frames that a power cut could take away.
    if (const StoreStatus s = flush(); s != StoreStatus::Ok)
        return s;
    const QString tmp = indexPath_ + QLatin1String(".tmp");
    int e = writeWholeFile(io_, tmp, encodeIndex());
    if (!e)
        e = io_.rename(tmp, indexPath_);
    if (e) {
        io_.remove(tmp);
        error_ =
            QStringLiteral("writing the index file %1 failed: %2").arg(indexPath_, describe(e));
        return StoreStatus::IoError;
    }
    // No folder sync: if the rename is lost, the old checkpoint is still
    // valid and the frames after it are replayed on open.
    indexStale_ = false;
    return StoreStatus::Ok;
}

void RecordStore::removeLeftovers() {
    for (const QString& p :
         {dataPath_ + QLatin1String(".compact"), indexPath_ + QLatin1String(".compact"),
          indexPath_ + QLatin1String(".tmp")}) {
        if (io_.exists(p))
            io_.remove(p);
    }
}

StoreStatus RecordStore::compact() {
    if (const StoreStatus s = checkWritable(); s != StoreStatus::Ok)
        return s;
    if (const StoreStatus s = flush(); s != StoreStatus::Ok)
        return s;

    const QString tmpData = dataPath_ + QLatin1String(".compact");
    const QString tmpIndex = indexPath_ + QLatin1String(".compact");
    removeLeftovers();

    int fd = -1;
    auto abandon = [&](const char* what, int e) {
        if (fd >= 0)
            io_.close(fd);
        io_.remove(tmpData);
        io_.remove(tmpIndex);
        return failIo(what, e);
    };
    if (const int e = io_.open(tmpData, true, true, true, fd))
        return abandon("open", e);
    // Lock the new file before it takes the data file's name, so no other
    // process can slip in between the rename and our switch to it.
    if (const int e = io_.lock(fd, LockKind::Exclusive))
        return abandon("lock", e);

    const std::uint64_t newId = QRandomGenerator::system()->generate64() | 1u;
    QByteArray out = encodeDataHeader(newId);
    std::uint64_t written = 0;
    auto spill = [&]() {
        if (out.isEmpty())
            return 0;
        const int e = io_.write(fd, out.constData(), static_cast<std::size_t>(out.size()), written);
        written += static_cast<std::uint64_t>(out.size());
        out.clear();
        return e;
    };

    // Live frames in file order, copied as they are (their sequence numbers
    // stay increasing) after checking each one.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order;
    order.reserve(index_.size());
    for (std::uint32_t id = 0; id < index_.slotCount(); ++id) {
        if (index_.isLive(id))
            order.emplace_back(index_.slot(id).pos, id);
    }
    std::sort(order.begin(), order.end());

    // Slot ids stay the same in the copy; only positions change.
    KeyIndex newIndex = index_;
    std::uint64_t newLive = 0;
    std::uint64_t lastPos = 0;
    std::uint32_t lastCrc = 0;
    std::uint64_t lastSeq = 0;
    QStringList lost;
    QByteArray frame;
    for (const auto& [pos, id] : order) {
        const std::uint32_t size = index_.slot(id).size;
        frame.resize(static_cast<qsizetype>(size));
        std::size_t done = 0;
        if (const int e = io_.read(fd_, frame.data(), size, pos, done))
            return abandon("read", e);
        FrameHeader fh;
        if (done != size || !parseFrameHeader(frame.constData(), fh) ||
            crc32c(frame.constData() + kFrameHeaderSize, fh.payloadSize()) != fh.payloadCrc) {
            lost << QStringLiteral("The damaged record at byte %1 of %2 was left out when the "
                                   "database was compacted.")
                        .arg(pos)
                        .arg(dataPath_);
            std::uint32_t old = 0;
            newIndex.remove(index_.key(id), old);
            continue;
        }
        const std::uint64_t at = written + static_cast<std::uint64_t>(out.size());
        newIndex.movePos(id, at);
        newLive += size;
        lastPos = at;
        lastCrc = fh.headerCrc;
        lastSeq = fh.seq;
        out.append(frame);
        if (out.size() >= (1 << 20)) {
            if (const int e = spill())
                return abandon("write", e);
        }
    }
    if (const int e = spill())
        return abandon("write", e);
    if (const int e = io_.dataSync(fd))
        return abandon("fdatasync", e);

    // Frames keep their sequence numbers; new ones continue above every
    // number used so far, even those of frames left behind.
    IndexCheckpoint cp;
    cp.dataEnd = written;
    cp.nextSeq = std::max(nextSeq_, lastSeq + 1);
    cp.lastFramePos = lastPos;
    cp.lastFrameCrc = lastCrc;
    if (const int e = writeWholeFile(io_, tmpIndex, encodeIndexFile(newId, cp, newIndex)))
        return abandon("write", e);

    // The switch: once the data file is renamed the new pair is the database
    // (an index left from the old pair is recognised as foreign and rebuilt).
    if (const int e = io_.rename(tmpData, dataPath_))
        return abandon("rename", e);
    const int indexRenamed = io_.rename(tmpIndex, indexPath_);
    if (indexRenamed)
        io_.remove(tmpIndex);
    const int dirSynced = io_.syncDir(folderOf(dataPath_));
    needDirSync_ = dirSynced != 0;

    io_.close(fd_);
    fd_ = fd;
    fileId_ = newId;
    index_ = std::move(newIndex);
    damage_ << lost;
    liveBytes_ = newLive;
    end_ = written;
    allocated_ = written;
    durableEnd_ = written;
    lastFramePos_ = lastPos;
    lastFrameCrc_ = lastCrc;
    nextSeq_ = cp.nextSeq;
    dirty_ = false;
    pending_.clear();
    indexStale_ = indexRenamed != 0;
    if (dirSynced)
        return failIo("fsync of the folder", dirSynced);
    return StoreStatus::Ok;
}

StoreStatus RecordStore::close() {
    if (closed_)
        return StoreStatus::Ok;
    StoreStatus result = StoreStatus::Ok;
    if (mode_ == Mode::ReadWrite) {
        result = flush();
        if (result == StoreStatus::Ok && autoCompact_ && compactionDue())
            compact();
        if (result == StoreStatus::Ok && indexStale_)
            result = writeIndex();
    }
    releaseFiles();
    closed_ = true;
    return result;
}

} // namespace vellicar::store
