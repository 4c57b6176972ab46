#include "commands.h"
#include "tool_support.h"

#include "core/store/record_store.h"

namespace vellicar::tool {

using namespace vellicar::store;

int runCompact(const QStringList& args) {
    const auto file = singleFileArgument(QStringLiteral("compact"), args);
    if (!file)
        return ExitUsage;
    OpenDatabase db;
    if (!db.open(*file, VmxModeReadWrite, false))
        return ExitFailed;
    RecordStore* store = db.vmx.store(db.handle);
    if (!store) {
        printErr(QStringLiteral("%1: the store behind the database is not available").arg(*file));
        return ExitFailed;
    }
    const auto before = store->stats();
    const StoreStatus status = store->compact();
    if (status != StoreStatus::Ok) {
        printErr(QStringLiteral("compaction failed, the database is unchanged: %1")
                     .arg(store->errorText().isEmpty()
                              ? QString::fromLatin1(storeStatusName(status))
                              : store->errorText()));
        return ExitFailed;
    }
    const auto after = store->stats();
    printOut(QStringLiteral("%1 records; data %2 -> %3 bytes\n")
                 .arg(after.records)
                 .arg(before.dataEnd)
                 .arg(after.dataEnd));
    return ExitOk;
}

} // namespace vellicar::tool
