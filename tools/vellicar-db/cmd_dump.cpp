#include "commands.h"
#include "tool_support.h"

#include "core/store/record_store.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <algorithm>

namespace vellicar::tool {

using namespace vellicar::store;

int runDump(const QStringList& args) {
    const auto file = singleFileArgument(QStringLiteral("dump"), args);
    if (!file)
        return ExitUsage;
    OpenDatabase db;
    if (!db.open(*file, VmxModeReadOnly, false))
        return ExitFailed;
    const RecordStore* store = db.vmx.store(db.handle);
    if (!store) {
        printErr(QStringLiteral("%1: the store behind the database is not available").arg(*file));
        return ExitFailed;
    }
    QStringList keys;
    for (const QByteArray& k : store->keys())
        keys.append(QString::fromUtf8(k));
    std::sort(keys.begin(), keys.end());

    QJsonArray out;
    int unreadable = 0;
    for (const QString& key : keys) {
        QString k = key, owner, primary;
        NoteRecord record;
        const int result =
            db.vmx.VmxGet(db.handle, VmxPrimary, VmxEqual, k, owner, primary, record);
        if ((result & 0xFFFF) != 0) {
            printErr(QStringLiteral("record \"%1\" cannot be read and is left out").arg(key));
            ++unreadable;
            continue;
        }
        out.append(recordToJson(key, record));
    }
    printOut(QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Indented)));
    // A dump that silently lacks records is no backup.
    return unreadable == 0 ? ExitOk : ExitFailed;
}

} // namespace vellicar::tool
