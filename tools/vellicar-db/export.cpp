#include "commands.h"
#include "tool_support.h"

#include "core/store/record_store.h"
#include "core/tree/notebook_json.h"

#include <QtCore/QJsonDocument>

namespace vellicar::tool {

using namespace vellicar::store;

int runExport(const QStringList& args) {
    QStringList rest = args;
    const bool withText = rest.removeAll(QStringLiteral("--text")) > 0;
    const auto file = singleFileArgument(QStringLiteral("export"), rest);
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
    tree::RecordSource source;
    for (const QByteArray& k : store->keys())
        source.keys.append(QString::fromUtf8(k));
    source.read = [&db](const QString& key, NoteRecord& out) {
        QString k = key, owner, primary;
        return (db.vmx.VmxGet(db.handle, VmxPrimary, VmxEqual, k, owner, primary, out) & 0xFFFF) ==
               0;
    };
    const tree::NotebookExport ex = tree::exportNotebook(source, withText);
    for (const QString& w : ex.warnings)
        printErr(w);
    if (ex.json.isEmpty())
        return ExitFailed;
    printOut(QString::fromUtf8(QJsonDocument(ex.json).toJson(QJsonDocument::Indented)));
    // Damage is reported above and carried in the JSON, so the export is still whole.
    return ExitOk;
}

} // namespace vellicar::tool
