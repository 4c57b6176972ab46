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
    if (!storeAllAndClose(db, plan.records))
        return ExitFailed;
    return ExitOk;
}

} // namespace vellicar::tool
