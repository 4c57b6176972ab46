#include "core/store/file_io.h"

#include <QtCore/QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellicar::store {

const char* fileOpName(FileOp op) {
    static const char* const names[] = {"open",   "close",    "read",     "write",   "datasync",
                                        "fsync",  "truncate", "allocate", "size",    "rename",
                                        "remove", "syncdir",  "lock",     "identity"};
    const int i = static_cast<int>(op);
    return i >= 0 && i < static_cast<int>(FileOp::Count) ? names[i] : "?";
}

// ---------------------------------------------------------------------------
// POSIX

PosixFileIo& PosixFileIo::instance() {
    static PosixFileIo io;
    return io;
}

namespace {
QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}
int lastError() {
    return errno != 0 ? errno : EIO;
}
} // namespace

int PosixFileIo::open(const QString& path, bool writable, bool create, bool exclusive,
                      int& handle) {
    int flags = (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (create)
        flags |= O_CREAT;
    if (exclusive)
        flags |= O_EXCL;
    int fd;
    do {
        fd = ::open(nativePath(path).constData(), flags, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return lastError();
    handle = fd;
    return 0;
}

int PosixFileIo::close(int handle) {
    // No retry on EINTR: the descriptor is gone either way on Linux.
    return ::close(handle) == 0 ? 0 : lastError();
}

int PosixFileIo::read(int handle, void* buffer, std::size_t size, std::uint64_t offset,
                      std::size_t& done) {
    done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < size) {
        const ssize_t n =
            ::pread(handle, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int PosixFileIo::write(int handle, const void* buffer, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < size) {
        const ssize_t n =
            ::pwrite(handle, in + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (n == 0)
            return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int PosixFileIo::dataSync(int handle) {
    if (!syncs_)
        return 0;
    return ::fdatasync(handle) == 0 ? 0 : lastError();
}

int PosixFileIo::fullSync(int handle) {
    if (!syncs_)
        return 0;
    return ::fsync(handle) == 0 ? 0 : lastError();
}

int PosixFileIo::truncate(int handle, std::uint64_t size) {
    int r;
    do {
        r = ::ftruncate(handle, static_cast<off_t>(size));
    } while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : lastError();
}

int PosixFileIo::allocate(int handle, std::uint64_t offset, std::uint64_t size) {
    // posix_fallocate returns the error instead of setting errno; on file systems
    // without support glibc emulates it by writing.
    int r;
    do {
        r = ::posix_fallocate(handle, static_cast<off_t>(offset), static_cast<off_t>(size));
    } while (r == EINTR);
    return r;
}

int PosixFileIo::size(int handle, std::uint64_t& size) {
    struct stat st {};
    if (::fstat(handle, &st) != 0)
        return lastError();
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

int PosixFileIo::rename(const QString& from, const QString& to) {
    return ::rename(nativePath(from).constData(), nativePath(to).constData()) == 0 ? 0
                                                                                   : lastError();
}

int PosixFileIo::remove(const QString& path) {
    return ::unlink(nativePath(path).constData()) == 0 ? 0 : lastError();
}

int PosixFileIo::syncDir(const QString& folder) {
    if (!syncs_)
        return 0;
    const int fd = ::open(nativePath(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    int r = ::fsync(fd) == 0 ? 0 : lastError();
    // Some file systems refuse fsync on a folder; nothing more can be done there.
    if (r == EINVAL)
        r = 0;
    ::close(fd);
    return r;
}

int PosixFileIo::lock(int handle, LockKind kind) {
    // flock locks belong to the open file description, so even two opens in one
    // process exclude each other (fcntl locks would not).
    int r;
    do {
        r = ::flock(handle, (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : lastError();
}

int PosixFileIo::sameFile(int handle, const QString& path, bool& same) {
    struct stat a {};
    struct stat b {};
    if (::fstat(handle, &a) != 0)
        return lastError();
    if (::stat(nativePath(path).constData(), &b) != 0) {
        if (errno == ENOENT) {
            same = false;
            return 0;
        }
        return lastError();
    }
    same = a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return 0;
}

bool PosixFileIo::exists(const QString& path) {
    struct stat st {};
    return ::stat(nativePath(path).constData(), &st) == 0;
}

// ---------------------------------------------------------------------------
// Fault injection

FaultInjectingFileIo::FaultInjectingFileIo(FileIo& inner) : inner_(inner) {
    for (int i = 0; i < static_cast<int>(FileOp::Count); ++i)
        counted_.insert(static_cast<FileOp>(i));
}

void FaultInjectingFileIo::arm(std::uint64_t failAt, bool persistent, int error) {
    failAt_ = failAt;
    persistent_ = persistent;
    error_ = error;
}

void FaultInjectingFileIo::resetCounts() {
    count_ = 0;
    failures_ = 0;
    std::fill(std::begin(perOp_), std::end(perOp_), 0);
}

int FaultInjectingFileIo::step(FileOp op) {
    ++perOp_[static_cast<int>(op)];
    if (!counted_.count(op))
        return 0;
    ++count_;
    if (failAt_ == 0)
        return 0;
    if (count_ == failAt_ || (persistent_ && count_ > failAt_)) {
        ++failures_;
        return error_;
    }
    return 0;
}

int FaultInjectingFileIo::open(const QString& path, bool writable, bool create, bool exclusive,
                               int& handle) {
    if (const int e = step(FileOp::Open))
        return e;
    return inner_.open(path, writable, create, exclusive, handle);
}
int FaultInjectingFileIo::close(int handle) {
    // The descriptor is released even when close reports an error, as on Linux.
    const int e = step(FileOp::Close);
    const int r = inner_.close(handle);
    return e ? e : r;
}
int FaultInjectingFileIo::read(int handle, void* buffer, std::size_t size, std::uint64_t offset,
                               std::size_t& done) {
    done = 0;
    if (const int e = step(FileOp::Read))
        return e;
    return inner_.read(handle, buffer, size, offset, done);
}
int FaultInjectingFileIo::write(int handle, const void* buffer, std::size_t size,
                                std::uint64_t offset) {
    if (const int e = step(FileOp::Write)) {
        // A failed write may still have put part of its bytes down.
        if (size > 1)
            inner_.write(handle, buffer, size / 2, offset);
        return e;
    }
    return inner_.write(handle, buffer, size, offset);
}
int FaultInjectingFileIo::dataSync(int handle) {
    if (const int e = step(FileOp::DataSync))
        return e;
    return inner_.dataSync(handle);
}
int FaultInjectingFileIo::fullSync(int handle) {
    if (const int e = step(FileOp::FullSync))
        return e;
    return inner_.fullSync(handle);
}
int FaultInjectingFileIo::truncate(int handle, std::uint64_t size) {
    if (const int e = step(FileOp::Truncate))
        return e;
    return inner_.truncate(handle, size);
}
int FaultInjectingFileIo::allocate(int handle, std::uint64_t offset, std::uint64_t size) {
    if (const int e = step(FileOp::Allocate))
        return e;
    return inner_.allocate(handle, offset, size);
}
int FaultInjectingFileIo::size(int handle, std::uint64_t& size) {
    if (const int e = step(FileOp::Size))
        return e;
    return inner_.size(handle, size);
}
int FaultInjectingFileIo::rename(const QString& from, const QString& to) {
    if (const int e = step(FileOp::Rename))
        return e;
    return inner_.rename(from, to);
}
int FaultInjectingFileIo::remove(const QString& path) {
    if (const int e = step(FileOp::Remove))
        return e;
    return inner_.remove(path);
}
int FaultInjectingFileIo::syncDir(const QString& folder) {
    if (const int e = step(FileOp::SyncDir))
        return e;
    return inner_.syncDir(folder);
}
int FaultInjectingFileIo::lock(int handle, LockKind kind) {
    if (const int e = step(FileOp::Lock))
        return e;
    return inner_.lock(handle, kind);
}
int FaultInjectingFileIo::sameFile(int handle, const QString& path, bool& same) {
    if (const int e = step(FileOp::Identity))
        return e;
    return inner_.sameFile(handle, path, same);
}
bool FaultInjectingFileIo::exists(const QString& path) {
    return inner_.exists(path);
}

// ---------------------------------------------------------------------------
// Memory file system with power cuts

struct MemoryFileIo::Inode {
    struct Change {
        bool resize = false;
        std::uint64_t offset = 0; // write offset, or the new size for a resize
        QByteArray bytes;
    };
    QByteArray durable;
    QByteArray current;
    std::vector<Change> pending; // since the last sync, in order
    int shared = 0;
    bool exclusive = false;
};

namespace {
constexpr int kSector = 512;

void applyChange(QByteArray& bytes, bool resize, std::uint64_t offset, const QByteArray& data,
                 qsizetype keep) {
    if (resize) {
        bytes.resize(static_cast<qsizetype>(offset), '\0');
        return;
    }
    const auto end = static_cast<qsizetype>(offset) + keep;
    if (bytes.size() < end)
        bytes.resize(end, '\0');
    std::memcpy(bytes.data() + offset, data.constData(), static_cast<std::size_t>(keep));
}
} // namespace

MemoryFileIo::MemoryFileIo() = default;
MemoryFileIo::~MemoryFileIo() = default;

int MemoryFileIo::writeStep() {
    if (out_)
        return EIO;
    ++writeCalls_;
    if (cutAfter_ != 0 && writeCalls_ >= cutAfter_)
        out_ = true; // this call lands in the cache, then the lights go out
    return 0;
}

void MemoryFileIo::setFile(const QString& path, const QByteArray& bytes) {
    auto inode = std::make_shared<Inode>();
    inode->durable = bytes;
    inode->current = bytes;
    names_[path] = inode;
    durableNames_[path] = inode;
}

QByteArray MemoryFileIo::fileContents(const QString& path) const {
    const auto it = names_.find(path);
    return it == names_.end() ? QByteArray() : it->second->current;
}

QStringList MemoryFileIo::files() const {
    QStringList out;
    for (const auto& [name, inode] : names_)
        out << name;
    return out;
}

int MemoryFileIo::open(const QString& path, bool writable, bool create, bool exclusive,
                       int& handle) {
    if (out_)
        return EIO;
    auto it = names_.find(path);
    if (it == names_.end()) {
        if (!create)
            return ENOENT;
        if (const int e = writeStep())
            return e;
        auto inode = std::make_shared<Inode>();
        it = names_.emplace(path, inode).first;
        pendingDir_.push_back({QString(), path, inode});
    } else if (create && exclusive) {
        return EEXIST;
    }
    handle = nextHandle_++;
    handles_[handle] = Handle{it->second, writable, 0};
    return 0;
}

int MemoryFileIo::close(int handle) {
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        return EBADF;
    if (it->second.lock == 1)
        --it->second.inode->shared;
    else if (it->second.lock == 2)
        it->second.inode->exclusive = false;
    handles_.erase(it);
    return out_ ? EIO : 0;
}

int MemoryFileIo::read(int handle, void* buffer, std::size_t size, std::uint64_t offset,
                       std::size_t& done) {
    done = 0;
    if (out_)
        return EIO;
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        return EBADF;
    const QByteArray& bytes = it->second.inode->current;
    if (offset >= static_cast<std::uint64_t>(bytes.size()))
        return 0;
    done = std::min<std::uint64_t>(size, static_cast<std::uint64_t>(bytes.size()) - offset);
    std::memcpy(buffer, bytes.constData() + offset, done);
    return 0;
}

int MemoryFileIo::write(int handle, const void* buffer, std::size_t size, std::uint64_t offset) {
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        return EBADF;
    if (!it->second.writable)
        return EBADF;
    if (const int e = writeStep())
        return e;
    Inode& inode = *it->second.inode;
    QByteArray data(static_cast<const char*>(buffer), static_cast<qsizetype>(size));
    applyChange(inode.current, false, offset, data, data.size());
    inode.pending.push_back({false, offset, std::move(data)});
    return 0;
}

int MemoryFileIo::dataSync(int handle) {
    if (out_)
        return EIO;
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        return EBADF;
    ++syncCalls_;
    Inode& inode = *it->second.inode;
    inode.durable = inode.current;
    inode.pending.clear();
    return 0;
}

int MemoryFileIo::fullSync(int handle) {
    return dataSync(handle);
}

int MemoryFileIo::truncate(int handle, std::uint64_t size) {
    const auto it = handles_.find(handle);
    if (it == handles_.end() || !it->second.writable)
        return EBADF;
    if (const int e = writeStep())
        return e;
    Inode& inode = *it->second.inode;
    applyChange(inode.current, true, size, {}, 0);
    inode.pending.push_back({true, size, {}});
    return 0;
}

int MemoryFileIo::allocate(int handle, std::uint64_t offset, std::uint64_t size) {
    const auto it = handles_.find(handle);
    if (it == handles_.end() || !it->second.writable)
        return EBADF;
    Inode& inode = *it->second.inode;
    const std::uint64_t end = offset + size;
    if (end <= static_cast<std::uint64_t>(inode.current.size()))
        return out_ ? EIO : 0;
    if (const int e = writeStep())
        return e;
    applyChange(inode.current, true, end, {}, 0);
    inode.pending.push_back({true, end, {}});
    return 0;
}

int MemoryFileIo::size(int handle, std::uint64_t& size) {
    if (out_)
        return EIO;
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        return EBADF;
    size = static_cast<std::uint64_t>(it->second.inode->current.size());
    return 0;
}

int MemoryFileIo::rename(const QString& from, const QString& to) {
    const auto it = names_.find(from);
    if (it == names_.end())
        return out_ ? EIO : ENOENT;
    if (const int e = writeStep())
        return e;
    auto inode = it->second;
    names_.erase(it);
    names_[to] = inode;
    pendingDir_.push_back({from, to, inode});
    return 0;
}

int MemoryFileIo::remove(const QString& path) {
    const auto it = names_.find(path);
    if (it == names_.end())
        return out_ ? EIO : ENOENT;
    if (const int e = writeStep())
        return e;
    pendingDir_.push_back({path, QString(), it->second});
    names_.erase(it);
    return 0;
}

int MemoryFileIo::syncDir(const QString& /*folder*/) {
    if (out_)
        return EIO;
    ++syncCalls_;
    durableNames_ = names_;
    pendingDir_.clear();
    return 0;
}

int MemoryFileIo::lock(int handle, LockKind kind) {
    if (out_)
        return EIO;
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        return EBADF;
    Handle& h = it->second;
    Inode& inode = *h.inode;
    if (h.lock != 0)
        return 0;
    if (kind == LockKind::Exclusive) {
        if (inode.exclusive || inode.shared > 0)
            return EWOULDBLOCK;
        inode.exclusive = true;
        h.lock = 2;
    } else {
        if (inode.exclusive)
            return EWOULDBLOCK;
        ++inode.shared;
        h.lock = 1;
    }
    return 0;
}

int MemoryFileIo::sameFile(int handle, const QString& path, bool& same) {
    if (out_)
        return EIO;
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        return EBADF;
    const auto n = names_.find(path);
    same = n != names_.end() && n->second == it->second.inode;
    return 0;
}

bool MemoryFileIo::exists(const QString& path) {
    return names_.count(path) != 0;
}

std::unique_ptr<MemoryFileIo> MemoryFileIo::afterPowerCut(Cut how, std::uint32_t seed) const {
    std::mt19937 rng(seed);
    auto fs = std::make_unique<MemoryFileIo>();

    // Which names survive.
    std::map<QString, std::shared_ptr<Inode>> names;
    switch (how) {
    case Cut::KeepNothing:
        names = durableNames_;
        break;
    case Cut::KeepAll:
    case Cut::TearLast:
        names = names_;
        break;
    case Cut::Scramble: {
        // Journaled folders keep their changes in order: some prefix survives.
        names = durableNames_;
        const std::size_t keep = pendingDir_.empty() ? 0 : rng() % (pendingDir_.size() + 1);
        for (std::size_t i = 0; i < keep; ++i) {
            const DirChange& c = pendingDir_[i];
            if (!c.from.isEmpty())
                names.erase(c.from);
            if (!c.to.isEmpty())
                names[c.to] = c.inode;
        }
        break;
    }
    }

    // What each surviving file holds.
    std::map<const Inode*, std::shared_ptr<Inode>> copies;
    for (const auto& [name, inode] : names) {
        auto& copy = copies[inode.get()];
        if (!copy) {
            QByteArray bytes;
            switch (how) {
            case Cut::KeepNothing:
                bytes = inode->durable;
                break;
            case Cut::KeepAll:
                bytes = inode->current;
                break;
            case Cut::TearLast: {
                bytes = inode->durable;
                for (std::size_t i = 0; i < inode->pending.size(); ++i) {
                    const auto& c = inode->pending[i];
                    qsizetype keep = c.bytes.size();
                    if (i + 1 == inode->pending.size() && !c.resize && keep > 0)
                        keep = static_cast<qsizetype>(rng() % static_cast<std::uint32_t>(keep));
                    applyChange(bytes, c.resize, c.offset, c.bytes, keep);
                }
                break;
            }
            case Cut::Scramble: {
                const QByteArray& oldBytes = inode->durable;
                const QByteArray& newBytes = inode->current;
                const qsizetype size = (rng() & 1) ? newBytes.size() : oldBytes.size();
                bytes = QByteArray(size, '\0');
                for (qsizetype s = 0; s < size; s += kSector) {
                    const qsizetype n = std::min<qsizetype>(kSector, size - s);
                    const QByteArray& from = (rng() & 1) ? newBytes : oldBytes;
                    const qsizetype avail = std::clamp<qsizetype>(from.size() - s, 0, n);
                    if (avail > 0)
                        std::memcpy(bytes.data() + s, from.constData() + s,
                                    static_cast<std::size_t>(avail));
                }
                break;
            }
            }
            copy = std::make_shared<Inode>();
            copy->durable = bytes;
            copy->current = bytes;
        }
        fs->names_[name] = copy;
    }
    fs->durableNames_ = fs->names_;
    return fs;
}

} // namespace vellicar::store
