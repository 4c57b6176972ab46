#include "core/attributes/master_list.h"

#include "core/tree/fixed_width.h"
#include "core/tree/note_tree.h"

#include <algorithm>

namespace vellicar::attributes {

namespace fw = vellicar::fixedwidth;

namespace {
bool listLess(const QString& a, const QString& b) {
    return tree::compareNoCase(a, b) < 0;
}
} // namespace

MasterListRead readMasterList(const QString& stored) {
    MasterListRead result;
    fw::Reader r(stored);
    while (!r.atEnd()) {
        const qsizetype at = r.position();
        QString entry;
        if (r.field(3, entry)) {
            result.entries.append(entry);
            continue;
        }
        int announced = 0;
        if (r.number(3, announced)) {
            const QString rest = QStringView(stored).mid(r.position()).toString();
            if (!rest.isEmpty())
                result.entries.append(rest);
            result.damage =
                QStringLiteral("The list of index values ends early at character %1.").arg(at + 1);
        } else {
            result.damage =
                QStringLiteral("The list of index values is damaged at character %1.").arg(at + 1);
        }
        break;
    }
    sortMasterList(result.entries);
    return result;
}

MasterListWrite writeMasterList(const QStringList& entries) {
    MasterListWrite w;
    QString text;
    for (const QString& e : entries) {
        if (!fw::appendField(text, e, 3)) {
            w.error = QStringLiteral("The index value \"%1...\" is longer than %2 characters.")
                          .arg(e.left(60))
                          .arg(MaxIndexValueLength);
            return w;
        }
    }
    if (text.size() == 3)
        text.clear(); // one empty entry is the empty list
    w.text = std::move(text);
    return w;
}

void sortMasterList(QStringList& entries) {
    std::stable_sort(entries.begin(), entries.end(), listLess);
}

bool addIndexValue(QStringList& entries, const QString& value) {
    if (value.isEmpty() || entries.contains(value, Qt::CaseSensitive))
        return false;
    auto it = std::upper_bound(entries.begin(), entries.end(), value, listLess);
    entries.insert(it, value);
    return true;
}

} // namespace vellicar::attributes
