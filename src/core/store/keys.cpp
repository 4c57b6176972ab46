#include "core/store/keys.h"

#include "core/store/dates.h"
#include "core/store/record_keys.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <cmath>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vellicar::store {

namespace {
// Far more draws than a notebook can ever need; bounds every loop below.
constexpr int MaxDraws = 100000;
constexpr int MaxTempNumber = 0xFFFF;

bool taken(DbState& db, const QSet<QString>& alsoTaken, const QString& key) {
    return alsoTaken.contains(key) || recordExists(db, key);
}

QString drawNumberKey(double base, QRandomGenerator& random) {
    const double r = random.generateDouble();
    return QString::number(std::llround(base + 99999999.0 * r));
}
} // namespace

QString clockKeyText(const QDateTime& when) {
    const double value = serialDayNumber(when);
    const double whole = std::floor(std::fabs(value));
    int intDigits = 1;
    for (double v = whole; v >= 10.0; v /= 10.0)
        ++intDigits;
    QString text = QString::number(value, 'f', std::max(0, 15 - intDigits));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

QString NewNoteKey(DbState& db, const platform::Clock& clock, const QSet<QString>& alsoTaken) {
    if (!db.isOpen())
        return {};
    QDateTime when = clock.now();
    for (int i = 0; i < MaxDraws; ++i) {
        const QString key = clockKeyText(when);
        if (!taken(db, alsoTaken, key))
            return key;
        // Two notes in the same tick: step on to the next free millisecond.
        when = when.addMSecs(1);
    }
    return {};
}

QString newkey(DbState& db, const QSet<QString>& alsoTaken) {
    return newkey(db, *QRandomGenerator::global(), alsoTaken);
}

QString newkey(DbState& db, QRandomGenerator& random, const QSet<QString>& alsoTaken) {
    if (!db.isOpen())
        return {};
    for (int i = 0; i < MaxDraws; ++i) {
        const QString key = drawNumberKey(11111111.0, random);
        if (!taken(db, alsoTaken, key))
            return key;
    }
    return {};
}

QString newlinkkey(const QSet<QString>& inUse) {
    return newlinkkey(*QRandomGenerator::global(), inUse);
}

QString newlinkkey(QRandomGenerator& random, const QSet<QString>& inUse) {
    for (int i = 0; i < MaxDraws; ++i) {
        const QString key = drawNumberKey(22222222.0, random);
        if (!inUse.contains(key))
            return key;
    }
    return {};
}

QString privateTempFolder() {
#ifdef Q_OS_UNIX
    const uid_t uid = ::getuid();
    const QString path =
        QDir(QDir::tempPath()).filePath(QStringLiteral("vellicar-notes-%1").arg(uid));
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // The shared temp folder is writable by everyone: only trust a real
    // folder (no link) that we own and nobody else can enter.
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid)
        return {};
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return {};
    return path;
#else
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("vellicar-notes"));
    return QDir().mkpath(path) ? path : QString();
#endif
}

QString createUniqueTempFile(const QString& folder, const QString& prefix) {
    if (folder.isEmpty())
        return {};
    const QString stem = prefix.left(3);
    const QDir dir(folder);
    // Numbers are tried from 1 upward, as the system's unique names are; a
    // number whose file exists is passed over.
    for (int n = 1; n <= MaxTempNumber; ++n) {
        const QString path =
            dir.filePath(stem + QString::number(n, 16).toUpper() + QStringLiteral(".TMP"));
#ifdef Q_OS_UNIX
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
#else
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!QFileInfo::exists(path))
            return {};
#endif
    }
    return {};
}

QString MakeSectionKey(DbState& db, const QStringList& sectionKeys, const QString& tempFolder,
                       QString* error) {
    for (int i = 0; i <= MaxTempNumber; ++i) {
        const QString path = createUniqueTempFile(tempFolder, QStringLiteral("VLR~"));
        if (path.isEmpty())
            break;
        QString key = QFileInfo(path).fileName();
        key.chop(4);
        // The temporary folder may have been cleaned since an existing section
        // got this name; its file stays, so the next draw gets another name.
        if (sectionKeys.contains(key) || recordExists(db, key) || recordExists(db, treeKey(key)) ||
            recordExists(db, categoriesKey(key)) || ownerInUse(db, key))
            continue;
        return key;
    }
    if (error)
        *error = QStringLiteral("No new section key could be made in the folder \"%1\".")
                     .arg(QDir::toNativeSeparators(tempFolder));
    return {};
}

} // namespace vellicar::store
