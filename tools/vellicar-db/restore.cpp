#include "commands.h"
#include "tool_support.h"

#include "core/tree/notebook_json.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <cstdio>

namespace vellicar::tool {

using namespace vellicar::store;

int runRestore(const QStringList& args) {
    const auto file = singleFileArgument(QStringLiteral("restore"), args);
    if (!file)
        return ExitUsage;
    // Restore makes a new notebook; it never writes into one that exists.
    const QFileInfo data(*file);
    const QString index = data.dir().filePath(data.completeBaseName() + QStringLiteral(".ISM"));
    if (data.exists() || QFileInfo::exists(index)) {
        printErr(QStringLiteral("%1 exists already; restore only makes a new database")
                     .arg(QDir::toNativeSeparators(*file)));
        return ExitFailed;
    }
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        printErr(QStringLiteral("cannot read standard input"));
        return ExitFailed;
    }
    // Everything is checked before the database is made, so bad input leaves
    // no half-restored notebook behind.
    tree::RestorePlan plan;
    QString error;
    if (!tree::planRestore(in.readAll(), plan, error)) {
        printErr(error);
        return ExitFailed;
    }
    OpenDatabase db;
    if (!db.open(*file, VmxModeReadWrite, true))
        return ExitFailed;
    for (const auto& [key, record] : plan.records) {
        const int result = db.vmx.VmxPut(db.handle, key, record, 0);
        if (result != VmxOk) {
            printErr(QStringLiteral("record \"%1\" could not be stored: %2")
                         .arg(key, describeResult(db.vmx, result)));
            return ExitFailed;
        }
    }
    const int flushed = db.vmx.VmxFlush(db.handle);
    if (flushed != VmxOk) {
        printErr(QStringLiteral("the records could not be written to disk: %1")
                     .arg(describeResult(db.vmx, flushed)));
        return ExitFailed;
    }
    return ExitOk;
}

} // namespace vellicar::tool
