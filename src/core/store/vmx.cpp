#include "core/store/vmx.h"

#include "core/store/file_io.h"
#include "core/store/record_store.h"

#include <optional>

namespace vellicar::store {

struct Vmx::Open {
    std::unique_ptr<RecordStore> store;
    QString path;
    // Index 1 position: the entry last returned, or none for "before the first".
    std::optional<RecordStore::OwnerEntry> cursor;
};

namespace {

int resultOf(StoreStatus s) {
    switch (s) {
    case StoreStatus::Ok:
        return VmxOk;
    case StoreStatus::NotFound:
        return VmxNotFound;
    case StoreStatus::NoSuchDatabase:
        return VmxNoSuchDatabase;
    case StoreStatus::NotADatabase:
        return VmxNotADatabase;
    case StoreStatus::Locked:
        return VmxLocked;
    case StoreStatus::CannotWrite:
        return VmxRetryReadOnly;
    case StoreStatus::ReadOnly:
        return VmxReadOnly;
    case StoreStatus::Exists:
        return VmxExists;
    case StoreStatus::TooLarge:
    case StoreStatus::IoError:
        return VmxIoError;
    }
    return VmxIoError;
}

} // namespace

Vmx::Vmx() : io_(&PosixFileIo::instance()) {}
Vmx::Vmx(FileIo& io) : io_(&io) {}
Vmx::~Vmx() {
    for (auto& [handle, open] : open_)
        open->store->close();
}

int Vmx::VmxOpen(const QString& path, int /*reserved*/, int mode, int& handle) {
    lastPath_ = path;
    lastDetail_.clear();
    if (mode != VmxModeReadOnly && mode != VmxModeReadWrite) {
        lastDetail_ = QStringLiteral("unknown open mode %1").arg(mode);
        return VmxIoError;
    }
    StoreStatus status = StoreStatus::Ok;
    QString text;
    auto store = RecordStore::open(
        path, mode == VmxModeReadWrite ? RecordStore::Mode::ReadWrite : RecordStore::Mode::ReadOnly,
        *io_, status, text);
    if (!store) {
        lastDetail_ = text;
        return resultOf(status);
    }
    auto open = std::make_unique<Open>();
    open->store = std::move(store);
    open->path = path;
    handle = nextHandle_++;
    open_[handle] = std::move(open);
    return VmxOk;
}

int Vmx::VmxCreate(const QString& path, int /*maxKeyLength*/, int /*blockSize*/, int /*reserved*/,
                   int /*indexCount*/) {
    // The engine has no fixed key length or block size and always keeps index 1.
    lastPath_ = path;
    lastDetail_.clear();
    return resultOf(RecordStore::create(path, *io_, &lastDetail_));
}

int Vmx::VmxClose(int handle) {
    const auto it = open_.find(handle);
    if (it == open_.end())
        return VmxBadHandle;
    const StoreStatus s = it->second->store->close();
    if (s != StoreStatus::Ok) {
        lastPath_ = it->second->path;
        lastDetail_ = it->second->store->errorText();
    }
    open_.erase(it);
    return resultOf(s);
}

int Vmx::VmxPut(int handle, const QString& key, const NoteRecord& record, int /*reserved*/) {
    const auto it = open_.find(handle);
    if (it == open_.end())
        return VmxBadHandle;
    const StoreStatus s =
        it->second->store->put(key.toUtf8(), record.Owner.toUtf8(), encodeRecord(record));
    return resultOf(s);
}

int Vmx::VmxGet(int handle, int index, int code, QString& key, QString& owner, QString& primaryKey,
                NoteRecord& record) {
    const auto it = open_.find(handle);
    if (it == open_.end())
        return VmxBadHandle;
    Open& open = *it->second;
    RecordStore& store = *open.store;

    // Reads the record under `k` into the caller's buffers; a damaged record
    // (checksum or shape) is reported and never handed out.
    auto fetch = [&](const QByteArray& k) -> int {
        QByteArray bytes;
        const StoreStatus s = store.get(k, bytes);
        if (s != StoreStatus::Ok)
            return resultOf(s);
        NoteRecord decoded;
        if (!decodeRecord(bytes, decoded))
            return VmxIoError;
        record = std::move(decoded);
        primaryKey = QString::fromUtf8(k);
        owner = record.Owner;
        return VmxOk;
    };

    if (index == VmxPrimary) {
        if (code != VmxEqual)
            return VmxNotFound;
        return fetch(key.toUtf8());
    }
    if (index != VmxOwnerIndex)
        return VmxNotFound;

    const QByteArray wanted = key.toUtf8();
    switch (code) {
    case VmxEqual: {
        // Walk past damaged records so one bad note does not hide its siblings.
        for (auto e = store.firstOfOwner(wanted); e && e->owner == wanted;
             e = store.entryAfter(*e)) {
            open.cursor = e;
            const int r = fetch(e->key);
            if (r != VmxIoError)
                return r;
        }
        return VmxNotFound;
    }
    case VmxNextEqual: {
        for (auto e = open.cursor ? store.entryAfter(*open.cursor) : store.firstEntry();
             e && e->owner == wanted; e = store.entryAfter(*e)) {
            open.cursor = e;
            const int r = fetch(e->key);
            if (r != VmxIoError)
                return r;
        }
        return VmxNotFound;
    }
    case VmxStepBack: {
        if (!open.cursor)
            return VmxNotFound;
        open.cursor = store.entryBefore(*open.cursor);
        if (!open.cursor)
            return VmxNotFound;
        return fetch(open.cursor->key);
    }
    default:
        return VmxNotFound;
    }
}

int Vmx::VmxDelete(int handle, const QString& key) {
    const auto it = open_.find(handle);
    if (it == open_.end())
        return VmxBadHandle;
    return resultOf(it->second->store->remove(key.toUtf8()));
}

int Vmx::VmxFlush(int handle) {
    const auto it = open_.find(handle);
    if (it == open_.end())
        return VmxBadHandle;
    return resultOf(it->second->store->flush());
}

int Vmx::VmxBOF(int handle, int index) {
    const auto it = open_.find(handle);
    if (it == open_.end())
        return VmxBadHandle;
    if (index == VmxOwnerIndex)
        it->second->cursor.reset();
    return VmxOk;
}

QString Vmx::errorText(int handle, int result) const {
    QString path = lastPath_;
    QString detail = lastDetail_;
    if (const auto it = open_.find(handle); it != open_.end()) {
        path = it->second->path;
        detail = it->second->store->errorText();
    }
    switch (result) {
    case VmxOk:
        return QString();
    case VmxNotFound:
        return QStringLiteral("The record was not found.");
    case VmxRetryReadOnly:
        return QStringLiteral("The database \"%1\" cannot be opened for changes; it can only be "
                              "opened read-only.")
            .arg(path);
    case VmxNoSuchDatabase:
        return QStringLiteral("The database \"%1\" does not exist.").arg(path);
    case VmxBadHandle:
        return QStringLiteral("No database is open under this handle.");
    case VmxReadOnly:
        return QStringLiteral("The database \"%1\" is open read-only; changes cannot be saved.")
            .arg(path);
    case VmxLocked:
        return QStringLiteral("The database \"%1\" is already open in another Vellicar Notes "
                              "window or program. Close it there and try again.")
            .arg(path);
    case VmxNotADatabase:
        return QStringLiteral("The file \"%1\" is not a Vellicar Notes database, or it was made "
                              "by a newer version.")
            .arg(path);
    case VmxIoError:
        return detail.isEmpty()
                   ? QStringLiteral("The database \"%1\" could not be read or written.").arg(path)
                   : QStringLiteral("The database \"%1\" could not be read or written (%2).")
                         .arg(path, detail);
    case VmxExists:
        return QStringLiteral("The database \"%1\" already exists.").arg(path);
    default:
        return QStringLiteral("The database \"%1\" reported error %2.").arg(path).arg(result);
    }
}

QStringList Vmx::damageReports(int handle) const {
    const auto it = open_.find(handle);
    return it == open_.end() ? QStringList() : it->second->store->damageReports();
}

RecordStore* Vmx::store(int handle) const {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second->store.get();
}

} // namespace vellicar::store
