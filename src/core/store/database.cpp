#include "core/store/database.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>

namespace vellicar::store {

namespace {
const QString DefaultDatabaseName = QStringLiteral("Introduction.isd");

QString reasonFor(const Vmx& vmx, int result) {
    switch (result) {
    case VmxNoSuchDatabase:
        return QStringLiteral("it does not exist and could not be created");
    case VmxLocked:
        return QStringLiteral("it is in use by another running copy of Vellicar Notes");
    case VmxNotADatabase:
        return QStringLiteral("it is not a Vellicar Notes database, or it is damaged beyond "
                              "repair");
    case VmxRetryReadOnly:
        return QStringLiteral("you do not have permission to open it");
    default:
        break;
    }
    QString engine = vmx.errorText(0, result);
    if (engine.endsWith(QLatin1Char('.')))
        engine.chop(1);
    return engine.isEmpty() ? QStringLiteral("the store reported error %1").arg(result) : engine;
}

int openTwice(Vmx& vmx, const QString& path, int& handle, bool& readOnly) {
    handle = 0;
    readOnly = false;
    int result = vmx.VmxOpen(path, 0, VmxModeReadWrite, handle);
    if (result == VmxRetryReadOnly) {
        handle = 0;
        result = vmx.VmxOpen(path, 0, VmxModeReadOnly, handle);
        readOnly = result == VmxOk;
    }
    return result;
}
} // namespace

QString defaultDatabasePath(const QString& programFolder) {
    const QDir program(programFolder);
    QString folder = QStringLiteral("databases");
    // The open and new dialogs start in "Databases": on a case-sensitive file
    // system whichever of the two exists is the one folder.
    if (!QFileInfo(program.filePath(folder)).isDir() &&
        QFileInfo(program.filePath(QStringLiteral("Databases"))).isDir())
        folder = QStringLiteral("Databases");
    return program.filePath(folder + QLatin1Char('/') + DefaultDatabaseName);
}

OpenOutcome OpenDatabaseFile(DbState& db, QSettings& settings, const QString& path,
                             const QString& programFolder) {
    if (db.DbHandle != 0)
        CloseDatabase(db);
    const bool isDefault = path.isEmpty();
    const QString file = isDefault ? defaultDatabasePath(programFolder) : path;

    OpenOutcome outcome;
    int handle = 0;
    bool readOnly = false;
    int result = openTwice(db.vmx, file, handle, readOnly);
    int createResult = VmxOk;
    if (result == VmxNoSuchDatabase) {
        // A fresh installation has no databases folder yet.
        if (isDefault)
            QDir().mkpath(QFileInfo(file).absolutePath());
        createResult = db.vmx.VmxCreate(file, 125, 8192, 0, 1);
        result = openTwice(db.vmx, file, handle, readOnly);
        outcome.created = result == VmxOk;
    }

    db.DatabasePath = file;
    db.openResult = result;
    db.readOnly = readOnly;
    db.DbHandle = result == VmxOk ? handle : 0;
    db.damage = result == VmxOk ? db.vmx.damageReports(handle) : QStringList();

    settings.beginGroup(QStringLiteral("Main"));
    settings.setValue(QStringLiteral("DB Open Database"), file);
    settings.endGroup();

    outcome.result = result;
    outcome.readOnly = readOnly;
    outcome.damage = db.damage;
    outcome.skippedRecords = static_cast<int>(db.damage.size());
    if (result != VmxOk) {
        // A failed create leaves the reopen at "no such database": say that.
        const int cause = createResult != VmxOk ? VmxNoSuchDatabase : result;
        outcome.message = QStringLiteral("The notebook \"%1\" could not be opened: %2.")
                              .arg(QDir::toNativeSeparators(file), reasonFor(db.vmx, cause));
    }
    return outcome;
}

void CloseDatabase(DbState& db) {
    if (db.DbHandle != 0)
        db.vmx.VmxClose(db.DbHandle);
    db.DbHandle = 0;
    db.openResult = VmxNoSuchDatabase;
    db.readOnly = false;
    db.damage.clear();
}

bool readRecord(DbState& db, const QString& key, NoteRecord& out) {
    if (!db.isOpen())
        return false;
    QString k = key, owner, primaryKey;
    NoteRecord record;
    const int result =
        db.vmx.VmxGet(db.DbHandle, VmxPrimary, VmxEqual, k, owner, primaryKey, record);
    if ((result & 0xFFFF) != 0)
        return false;
    out = std::move(record);
    return true;
}

bool recordExists(DbState& db, const QString& key) {
    NoteRecord ignored;
    return readRecord(db, key, ignored);
}

bool ownerInUse(DbState& db, const QString& owner) {
    if (!db.isOpen())
        return false;
    db.vmx.VmxBOF(db.DbHandle, VmxOwnerIndex);
    QString k = owner, o, primaryKey;
    NoteRecord record;
    const int result =
        db.vmx.VmxGet(db.DbHandle, VmxOwnerIndex, VmxEqual, k, o, primaryKey, record);
    return (result & 0xFFFF) == 0;
}

namespace {
WriteResult failed(DbState& db, int result, const QString& what) {
    WriteResult w;
    w.result = result;
    w.message =
        QStringLiteral("%1 in \"%2\" failed: %3.")
            .arg(what, QDir::toNativeSeparators(db.DatabasePath),
                 result == VmxBadHandle  ? QStringLiteral("no notebook is open")
                 : result == VmxReadOnly ? QStringLiteral("the notebook is open for reading only")
                                         : reasonFor(db.vmx, result));
    return w;
}
} // namespace

WriteResult writeRecord(DbState& db, const QString& key, const NoteRecord& record) {
    const QString what = QStringLiteral("Saving the record \"%1\"").arg(key);
    if (!db.isOpen())
        return failed(db, VmxBadHandle, what);
    int result = db.vmx.VmxPut(db.DbHandle, key, record, 0);
    if (result != VmxOk)
        return failed(db, result, what);
    result = db.vmx.VmxFlush(db.DbHandle);
    if (result != VmxOk)
        return failed(db, result, what);
    return {};
}

WriteResult deleteRecord(DbState& db, const QString& key) {
    const QString what = QStringLiteral("Deleting the record \"%1\"").arg(key);
    if (!db.isOpen())
        return failed(db, VmxBadHandle, what);
    int result = db.vmx.VmxDelete(db.DbHandle, key);
    if (result != VmxOk && result != VmxNotFound)
        return failed(db, result, what);
    result = db.vmx.VmxFlush(db.DbHandle);
    if (result != VmxOk)
        return failed(db, result, what);
    return {};
}

} // namespace vellicar::store
