// Any bytes given to restore as notebook JSON: no crash or hang; a plan that
// is accepted has unique, non-empty keys, and every tree it builds reads back
// without damage.
#include "core/store/record_keys.h"
#include "core/tree/notebook_json.h"
#include "core/tree/tree_blob.h"

#include <QtCore/QSet>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellicar;
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    tree::RestorePlan plan;
    QString error;
    if (!tree::planRestore(json, plan, error)) {
        if (error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const bool rawTrees = json.contains("treeBlob");
    QSet<QString> keys;
    for (const auto& [key, record] : plan.records) {
        if (key.isEmpty() || keys.contains(key))
            std::abort();
        keys.insert(key);
        if (!rawTrees && record.Owner == QString::fromUtf16(store::SectionTreeOwner) &&
            key.endsWith(QString::fromUtf16(store::TreeSuffix))) {
            tree::NoteTree t;
            if (tree::LoadDatabaseBlob(t, record.Body).damaged())
                std::abort();
        }
    }
    return 0;
}
