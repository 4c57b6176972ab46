#pragma once
// The open notebook database: which file is open, under which handle, and the
// record helpers the rest of the program reads and writes notes with.
#include "core/store/note_record.h"
#include "core/store/vmx.h"

#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace vellicar::store {

// Program-wide open-database state; owned by the main window, lives from
// start-up to shutdown. At most one database is open at a time.
struct DbState {
    Vmx vmx;
    int DbHandle = 0;     // 0 while nothing is open
    QString DatabasePath; // exactly as passed to OpenDatabaseFile (or the default path)
    int openResult = VmxNoSuchDatabase; // Vmx result of the last open
    bool readOnly = false;              // opened with mode 1
    QStringList damage;                 // damage the engine reported while opening

    bool isOpen() const { return DbHandle != 0 && openResult == VmxOk; }
};

struct OpenOutcome {
    int result = VmxOk;     // Vmx result of the last attempt; 0 when open
    QString message;        // empty when open; otherwise names the file and the reason
    bool created = false;   // the database did not exist and was made
    bool readOnly = false;  // only mode 1 succeeded
    int skippedRecords = 0; // damaged places skipped while opening
    QStringList damage;     // one line per damaged place
    bool ok() const { return result == VmxOk; }
};

// The default notebook: "<programFolder>/databases/Introduction.isd". On a
// case-sensitive file system an existing "Databases" folder is the same
// folder, so it is used when "databases" does not exist.
QString defaultDatabasePath(const QString& programFolder);

// Opens the database at `path` (the default database when empty), creating
// it when it does not exist: mode 3, then mode 1 on result 3; on result 13
// create and open again. Closes a database still open in `db` first. Sets
// DbHandle and DatabasePath and writes "DB Open Database" in group "Main" of
// `settings` whatever the outcome. A failed open is reported in the outcome,
// never hidden. The caller empties SearchText.
OpenOutcome OpenDatabaseFile(DbState& db, QSettings& settings, const QString& path,
                             const QString& programFolder);

// Closes the open database (if any); DbHandle becomes 0. DatabasePath is kept.
void CloseDatabase(DbState& db);

// Result of a write: put + flush, or delete + flush.
struct [[nodiscard]] WriteResult {
    int result = VmxOk;
    QString message; // empty on success
    bool ok() const { return result == VmxOk; }
};

// Reads record `key` (index 0). Returns false and leaves `out` untouched when
// there is no such record or no database is open.
[[nodiscard]] bool readRecord(DbState& db, const QString& key, NoteRecord& out);
[[nodiscard]] bool recordExists(DbState& db, const QString& key);
// True when at least one record has `owner` as its Owner (index 1).
[[nodiscard]] bool ownerInUse(DbState& db, const QString& owner);

// Puts `record` under `key` and flushes at once.
WriteResult writeRecord(DbState& db, const QString& key, const NoteRecord& record);
// Deletes `key` and flushes. Deleting a key that is not there succeeds.
WriteResult deleteRecord(DbState& db, const QString& key);

} // namespace vellicar::store
