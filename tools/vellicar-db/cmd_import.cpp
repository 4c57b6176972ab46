#include "commands.h"
#include "tool_support.h"

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonParseError>
#include <cstdio>
#include <vector>

namespace vellicar::tool {

using namespace vellicar::store;

int runImport(const QStringList& args) {
    const auto file = singleFileArgument(QStringLiteral("import"), args);
    if (!file)
        return ExitUsage;

    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        printErr(QStringLiteral("cannot read standard input"));
        return ExitFailed;
    }
    const QByteArray json = in.readAll();
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        printErr(QStringLiteral("malformed JSON at byte %1: %2")
                     .arg(parseError.offset)
                     .arg(parseError.errorString()));
        return ExitFailed;
    }
    if (!doc.isArray()) {
        printErr(QStringLiteral("malformed JSON: expected an array of records"));
        return ExitFailed;
    }
    // Everything is checked before the database is touched, so bad input
    // never leaves half an import behind.
    std::vector<std::pair<QString, NoteRecord>> records;
    const QJsonArray array = doc.array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString key, error;
        NoteRecord record;
        if (!recordFromJson(array.at(i), key, record, error)) {
            printErr(QStringLiteral("malformed JSON: record %1 %2").arg(i + 1).arg(error));
            return ExitFailed;
        }
        records.emplace_back(std::move(key), std::move(record));
    }

    OpenDatabase db;
    if (!db.open(*file, VmxModeReadWrite, true))
        return ExitFailed;
    if (!storeAllAndClose(db, records))
        return ExitFailed;
    std::fprintf(stderr, "imported %zu records\n", records.size());
    return ExitOk;
}

} // namespace vellicar::tool
