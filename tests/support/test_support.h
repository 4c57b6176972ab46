#pragma once
// Small helpers shared by the test programs.
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QString>
#include <QtCore/QTemporaryDir>

namespace vellicar::test {

// Path of a file below tests/data.
inline QString dataPath(const QString& relative) {
    return QStringLiteral(VELLICAR_TEST_DATA) + QLatin1Char('/') + relative;
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

} // namespace vellicar::test
