#pragma once
// The keyed record store as the rest of the program calls it: the Vmx
// operations with the arguments and result codes the notebook code relies on,
// over our own storage engine (record_store.h). The adapter owns the open
// stores; handles are small positive integers, 0 is never a valid handle.
#include "core/store/note_record.h"

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <map>
#include <memory>

namespace vellicar::store {

class RecordStore;
class FileIo;

// Result codes. Get: the low 16 bits are 0 when a record was found.
enum VmxResult : int {
    VmxOk = 0,
    VmxNotFound = 1,      // get found nothing; also "no more" for code 34
    VmxRetryReadOnly = 3, // open: cannot open for writing, try mode 1 (read only)
    VmxNoSuchDatabase = 13,
    VmxBadHandle = 20,
    VmxReadOnly = 21,     // put or delete on a database opened with mode 1
    VmxLocked = 30,       // another process has the database open
    VmxNotADatabase = 31, // the data file is not one of ours
    VmxIoError = 32,      // a read, write, sync or rename failed
    VmxExists = 33,       // create: the database is already there
};

// Open modes.
enum VmxMode : int { VmxModeReadOnly = 1, VmxModeReadWrite = 3 };

// Index numbers and get codes.
enum VmxIndex : int { VmxPrimary = 0, VmxOwnerIndex = 1 };
enum VmxCode : int { VmxEqual = 1, VmxStepBack = 4, VmxNextEqual = 34 };

class Vmx {
public:
    Vmx();
    // Files go through `io` (which must outlive this object) instead of the real calls.
    explicit Vmx(FileIo& io);
    ~Vmx();
    Vmx(const Vmx&) = delete;
    Vmx& operator=(const Vmx&) = delete;

    int VmxOpen(const QString& path, int reserved, int mode, int& handle);
    int VmxCreate(const QString& path, int maxKeyLength, int blockSize, int reserved,
                  int indexCount);
    int VmxClose(int handle);
    int VmxPut(int handle, const QString& key, const NoteRecord& record, int reserved);
    // index/code pairs: (0,1) exact primary key; (1,1) first record whose Owner
    // equals key; (1,4) step back one entry; (1,34) next record whose Owner
    // still equals key. On success `record` is filled and `primaryKey` holds
    // the record's primary key; on failure `record` is left as it was.
    int VmxGet(int handle, int index, int code, QString& key, QString& owner, QString& primaryKey,
               NoteRecord& record);
    int VmxDelete(int handle, const QString& key);
    int VmxFlush(int handle);
    int VmxBOF(int handle, int index);

    // A sentence for the user describing `result` (for example why an open failed).
    QString errorText(int handle, int result) const;
    // Damage found while opening (skipped frames, rebuilt index), one line each.
    QStringList damageReports(int handle) const;
    // The engine behind a handle, or nullptr.
    RecordStore* store(int handle) const;

private:
    struct Open;
    std::map<int, std::unique_ptr<Open>> open_;
    int nextHandle_ = 1;
    FileIo* io_;
    // What the last open or create without a handle went wrong with.
    QString lastPath_;
    QString lastDetail_;
};

} // namespace vellicar::store
