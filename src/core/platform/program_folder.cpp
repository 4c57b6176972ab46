#include "core/platform/program_folder.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryFile>

namespace vellicar::platform {

namespace {
// Writable means a file can really be made there; permission bits alone can
// mislead on some file systems.
bool canWrite(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.vellicar-probe-XXXXXX"));
    return probe.open();
}

bool copyIfMissing(const QString& from, const QString& to, QString& error) {
    if (QFileInfo::exists(to) || !QFileInfo::exists(from))
        return true;
    if (QFile::copy(from, to)) {
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
        return true;
    }
    error = QStringLiteral("Could not copy %1 to %2.").arg(from, to);
    return false;
}
} // namespace

ProgramFolder resolveProgramFolder(const QString& exeFolder, const QString& dataFolder) {
    ProgramFolder out;
    const QString exeDatabases = exeFolder + QStringLiteral("/databases");
    if (canWrite(exeFolder) && (!QFileInfo(exeDatabases).isDir() || canWrite(exeDatabases))) {
        out.folder = exeFolder;
        return out;
    }
    out.folder = dataFolder;
    out.standIn = true;
    const QString databases = dataFolder + QStringLiteral("/databases");
    if (!QDir().mkpath(databases)) {
        out.error = QStringLiteral("Could not make the folder %1.").arg(databases);
        return out;
    }
    copyIfMissing(exeDatabases + QStringLiteral("/Introduction.isd"),
                  databases + QStringLiteral("/Introduction.isd"), out.error);
    copyIfMissing(exeDatabases + QStringLiteral("/Introduction.ISM"),
                  databases + QStringLiteral("/Introduction.ISM"), out.error);
    return out;
}

} // namespace vellicar::platform
