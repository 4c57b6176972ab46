#include "tool_support.h"

#include "commands.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonValue>
#include <cstdio>

namespace vellicar::tool {

using namespace vellicar::store;

void printOut(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void printErr(const QString& text) {
    const QByteArray bytes = (QStringLiteral("vellicar-db: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

std::optional<QString> singleFileArgument(const QString& command, const QStringList& args) {
    if (args.size() != 1 || args.first().isEmpty()) {
        printErr(QStringLiteral("usage: vellicar-db %1 FILE.isd (see --help)").arg(command));
        return std::nullopt;
    }
    return args.first();
}

QString describeResult(const Vmx& vmx, int result) {
    switch (result) {
    case VmxNoSuchDatabase:
        return QStringLiteral("no such database");
    case VmxLocked:
        return QStringLiteral("the database is in use by another program (locked)");
    case VmxNotADatabase:
        return QStringLiteral("not a Vellicar Notes database, or damaged beyond repair");
    case VmxRetryReadOnly:
        return QStringLiteral("no permission to open it for writing");
    case VmxReadOnly:
        return QStringLiteral("the database is open for reading only");
    default:
        break;
    }
    const QString text = vmx.errorText(0, result);
    return text.isEmpty() ? QStringLiteral("error %1").arg(result) : text;
}

OpenDatabase::~OpenDatabase() {
    if (handle != 0)
        vmx.VmxClose(handle);
}

bool OpenDatabase::open(const QString& file, int mode, bool create) {
    path = file;
    int h = 0;
    int result = vmx.VmxOpen(file, 0, mode, h);
    if (result == VmxNoSuchDatabase && create) {
        // A missing file is the only case to create; anything else must not be overwritten.
        if (QFileInfo::exists(file)) {
            printErr(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file),
                                                  describeResult(vmx, result)));
            return false;
        }
        const int created = vmx.VmxCreate(file, 125, 8192, 0, 1);
        if (created != VmxOk) {
            printErr(QStringLiteral("%1: cannot create the database: %2")
                         .arg(QDir::toNativeSeparators(file), describeResult(vmx, created)));
            return false;
        }
        result = vmx.VmxOpen(file, 0, mode, h);
    }
    if (result != VmxOk) {
        printErr(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file),
                                              describeResult(vmx, result)));
        return false;
    }
    handle = h;
    return true;
}

QJsonObject recordToJson(const QString& key, const NoteRecord& record) {
    QJsonObject o;
    o.insert(QStringLiteral("key"), key);
    const auto& names = NoteRecord::fieldNames();
    for (int i = 0; i < NoteRecord::FieldCount; ++i)
        o.insert(QString::fromLatin1(names[i]), record.field(i));
    return o;
}

bool recordFromJson(const QJsonValue& value, QString& key, NoteRecord& record, QString& error) {
    if (!value.isObject()) {
        error = QStringLiteral("is not an object");
        return false;
    }
    const QJsonObject o = value.toObject();
    const QJsonValue k = o.value(QStringLiteral("key"));
    if (!k.isString() || k.toString().isEmpty()) {
        error = QStringLiteral("has no \"key\" text");
        return false;
    }
    NoteRecord r;
    const auto& names = NoteRecord::fieldNames();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.key() == QLatin1String("key"))
            continue;
        int index = -1;
        for (int i = 0; i < NoteRecord::FieldCount; ++i) {
            if (it.key() == QLatin1String(names[i]))
                index = i;
        }
        // An unknown member is most likely a misspelt field: refuse it rather
        // than drop its text silently.
        if (index < 0) {
            error = QStringLiteral("has the unknown member \"%1\"").arg(it.key());
            return false;
        }
        if (!it.value().isString()) {
            error = QStringLiteral("member \"%1\" is not text").arg(it.key());
            return false;
        }
        r.field(index) = it.value().toString();
    }
    key = k.toString();
    record = std::move(r);
    return true;
}

bool storeAllAndClose(OpenDatabase& db,
                      const std::vector<std::pair<QString, store::NoteRecord>>& records) {
    for (const auto& [key, record] : records) {
        const int result = db.vmx.VmxPut(db.handle, key, record, 0);
        if (result != store::VmxOk) {
            printErr(QStringLiteral("record \"%1\" could not be stored: %2")
                         .arg(key, describeResult(db.vmx, result)));
            return false;
        }
    }
    const int flushed = db.vmx.VmxFlush(db.handle);
    if (flushed != store::VmxOk) {
        printErr(QStringLiteral("the records could not be written to disk: %1")
                     .arg(describeResult(db.vmx, flushed)));
        return false;
    }
    const int closed = db.vmx.VmxClose(db.handle);
    db.handle = 0;
    if (closed != store::VmxOk) {
        printErr(
            QStringLiteral("closing the database failed: %1").arg(describeResult(db.vmx, closed)));
        return false;
    }
    return true;
}

} // namespace vellicar::tool
