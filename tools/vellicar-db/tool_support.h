#pragma once
// What the commands share: output, opening a database the way the program
// does, and the JSON form of a record.
#include "core/store/note_record.h"
#include "core/store/vmx.h"

#include <QtCore/QJsonObject>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace vellicar::tool {

void printOut(const QString& text); // stdout, UTF-8
void printErr(const QString& text); // stderr, UTF-8, "vellicar-db: " in front

// Exactly one FILE argument, else a usage message; nullopt on error.
std::optional<QString> singleFileArgument(const QString& command, const QStringList& args);

// An open database; closes on destruction.
class OpenDatabase {
public:
    OpenDatabase() = default;
    ~OpenDatabase();
    OpenDatabase(const OpenDatabase&) = delete;
    OpenDatabase& operator=(const OpenDatabase&) = delete;

    // Opens `path` with `mode`; with `create`, a missing database is made
    // first. On failure prints the reason and returns false.
    bool open(const QString& path, int mode, bool create);

    store::Vmx vmx;
    int handle = 0;
    QString path;
};

// Puts every record, flushes once and closes, checking each step: a failure
// prints what went wrong and returns false, so nothing is reported as stored
// that is not on disk.
bool storeAllAndClose(OpenDatabase& db,
                      const std::vector<std::pair<QString, store::NoteRecord>>& records);

// Why a Vmx call failed, for the user.
QString describeResult(const store::Vmx& vmx, int result);

QJsonObject recordToJson(const QString& key, const store::NoteRecord& record);
// Reads one element of the import array; on failure `error` says what is wrong.
bool recordFromJson(const QJsonValue& value, QString& key, store::NoteRecord& record,
                    QString& error);

} // namespace vellicar::tool
