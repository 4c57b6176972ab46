#include "commands.h"
#include "tool_support.h"

#include "core/store/file_io.h"
#include "core/store/record_store.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSet>

namespace vellicar::tool {

using namespace vellicar::store;

namespace {

QString statusText(StoreStatus status, const QString& errorText) {
    switch (status) {
    case StoreStatus::NoSuchDatabase:
        return QStringLiteral("no such database");
    case StoreStatus::Locked:
        return QStringLiteral("the database is in use by another program (locked)");
    case StoreStatus::NotADatabase:
        return errorText.isEmpty() ? QStringLiteral("not a Vellicar Notes database") : errorText;
    default:
        return errorText.isEmpty() ? QString::fromLatin1(storeStatusName(status)) : errorText;
    }
}

void addOnce(QStringList& list, const QString& line) {
    if (!list.contains(line))
        list.append(line);
}

} // namespace

// Nothing here writes to the files: the pair is opened read-only, and the
// full scan of the data file runs on a copy in memory, so check is safe on a
// notebook that something is wrong with.
int runCheck(const QStringList& args) {
    const auto file = singleFileArgument(QStringLiteral("check"), args);
    if (!file)
        return ExitUsage;
    const QString path = *file;
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        printErr(QStringLiteral("%1: no such database").arg(shown));
        return ExitFailed;
    }

    // The pair as the program would open it: index file checkpoint plus the
    // frames after it. The shared lock keeps writers out while we read.
    StoreStatus status = StoreStatus::Ok;
    QString errorText;
    std::unique_ptr<RecordStore> store = RecordStore::open(
        path, RecordStore::Mode::ReadOnly, PosixFileIo::instance(), status, errorText);
    if (!store) {
        printErr(QStringLiteral("%1: %2").arg(shown, statusText(status, errorText)));
        return ExitFailed;
    }

    QStringList damage;
    for (const QString& line : store->damageReports())
        addOnce(damage, line);

    // Every live record: its frame's checksum, its shape, and its index 1 entry.
    QList<QByteArray> keys = store->keys();
    std::sort(keys.begin(), keys.end());
    for (const QByteArray& key : keys) {
        const QString name = QString::fromUtf8(key);
        QByteArray value;
        const StoreStatus got = store->get(key, value);
        if (got != StoreStatus::Ok) {
            addOnce(
                damage,
                QStringLiteral("Record \"%1\": %2").arg(name, statusText(got, store->errorText())));
            continue;
        }
        NoteRecord record;
        if (!decodeRecord(value, record)) {
            addOnce(damage,
                    QStringLiteral("Record \"%1\" is not a well-formed Note record.").arg(name));
            continue;
        }
        const auto owner = store->ownerOf(key);
        if (!owner || *owner != record.Owner.toUtf8())
            addOnce(damage,
                    QStringLiteral("Index 1 does not match record \"%1\" (its Owner is \"%2\").")
                        .arg(name, record.Owner));
    }
    // (Read failures are in the engine's report too; they are listed once, by record.)

    // A loaded checkpoint skips the older part of the data file; scan all of
    // it on a copy without the index file to find damage there too.
    QFile data(path);
    if (!data.open(QIODevice::ReadOnly)) {
        printErr(QStringLiteral("%1: cannot read it: %2").arg(shown, data.errorString()));
        return ExitFailed;
    }
    MemoryFileIo memory;
    memory.setFile(path, data.readAll());
    data.close();
    StoreStatus scanStatus = StoreStatus::Ok;
    QString scanError;
    std::unique_ptr<RecordStore> scanned =
        RecordStore::open(path, RecordStore::Mode::ReadOnly, memory, scanStatus, scanError);
    if (!scanned) {
        addOnce(damage, QStringLiteral("The data file cannot be scanned: %1")
                            .arg(statusText(scanStatus, scanError)));
    } else {
        const QString indexPath = RecordStore::indexPathFor(path);
        for (const QString& line : scanned->damageReports()) {
            // The copy has no index file on purpose; that is not damage.
            if (!line.contains(indexPath))
                addOnce(damage, line);
        }
        QList<QByteArray> scannedKeys = scanned->keys();
        std::sort(scannedKeys.begin(), scannedKeys.end());
        if (scannedKeys != keys)
            addOnce(damage, QStringLiteral("The index file %1 does not list the records of the "
                                           "data file (%2 records listed, %3 in the data file).")
                                .arg(QDir::toNativeSeparators(indexPath))
                                .arg(keys.size())
                                .arg(scannedKeys.size()));
    }

    if (damage.isEmpty()) {
        printOut(QStringLiteral("%1: sound, %2 records\n").arg(shown).arg(keys.size()));
        return ExitOk;
    }
    printOut(QStringLiteral("%1: %2 damaged place(s)\n").arg(shown).arg(damage.size()));
    for (const QString& line : damage)
        printOut(QStringLiteral("  %1\n").arg(line));
    return ExitDamaged;
}

} // namespace vellicar::tool
