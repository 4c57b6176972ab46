#include "core/tree/notebook_json.h"

#include "core/attributes/master_list.h"
#include "core/links/link_blob.h"
#include "core/richtext/rtf.h"
#include "core/store/record_keys.h"
#include "core/store/section_list.h"
#include "core/tree/branch_walk.h"
#include "core/tree/tree_blob.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonParseError>
#include <QtCore/QMap>
#include <QtCore/QSet>
#include <algorithm>

namespace vellicar::tree {

using store::NoteRecord;

namespace {

const QString kFormat = QStringLiteral("Vellicar Notes notebook");
constexpr int kVersion = 1;
// Qt's JSON reader refuses deeper nesting than about a thousand levels, and a
// node takes two (the node and its "children" array); refusing here keeps an
// export from being written that restore could not read.
constexpr int kMaxTreeDepth = 400;

QString str(char16_t const* s) {
    return QString::fromUtf16(s);
}

QJsonObject recordJson(const QString& key, const NoteRecord& r) {
    QJsonObject o;
    o.insert(QStringLiteral("key"), key);
    for (int i = 0; i < NoteRecord::FieldCount; ++i)
        o.insert(QLatin1String(NoteRecord::fieldNames()[i]), r.field(i));
    return o;
}

QJsonObject noteJson(const NoteRecord& r, bool withText, QStringList& warnings,
                     const QString& key) {
    QJsonObject o;
    for (int i = 0; i < NoteRecord::FieldCount; ++i) {
        const QLatin1String name(NoteRecord::fieldNames()[i]);
        if (name != QLatin1String("Links"))
            o.insert(name, r.field(i));
    }
    const links::LinkBlobRead lr = links::readLinkBlob(r.Links);
    QJsonArray linkArray;
    for (const links::Link& l : lr.links)
        linkArray.append(QJsonObject{{QStringLiteral("description"), l.description},
                                     {QStringLiteral("value"), l.value}});
    o.insert(QStringLiteral("links"), linkArray);
    if (lr.damaged()) {
        o.insert(QStringLiteral("linksRaw"), r.Links);
        warnings.append(QStringLiteral("note %1: %2").arg(key, lr.damage));
    }
    if (withText)
        o.insert(QStringLiteral("plainText"), richtext::rtfPlainText(r.Body));
    return o;
}

int treeDepth(const TreeNode* root) {
    int deepest = 0;
    std::vector<std::pair<const TreeNode*, int>> stack{{root, 1}};
    while (!stack.empty()) {
        auto [n, d] = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, d);
        for (const TreeNode* c : n->Children())
            stack.emplace_back(c, d + 1);
    }
    return deepest;
}

struct Exporter {
    const RecordSource& source;
    bool withText;
    QSet<QString> keys;
    QSet<QString> reached;
    QStringList warnings;

    bool read(const QString& key, NoteRecord& out) {
        if (!keys.contains(key))
            return false;
        if (!source.read(key, out)) {
            warnings.append(QStringLiteral("record %1 cannot be read").arg(key));
            return false;
        }
        reached.insert(key);
        return true;
    }

    QJsonObject node(const TreeNode* n) {
        QJsonObject o;
        o.insert(QStringLiteral("key"), n->Key());
        o.insert(QStringLiteral("text"), n->Text());
        o.insert(QStringLiteral("expanded"), n->Expanded());
        o.insert(QStringLiteral("sorted"), n->Sorted());
        NoteRecord rec;
        const QString recordKey = n->Key().mid(1);
        if (!recordKey.isEmpty() && read(recordKey, rec))
            o.insert(QStringLiteral("note"), noteJson(rec, withText, warnings, recordKey));
        if (n->hasChildren()) {
            QJsonArray children;
            for (const TreeNode* c : n->Children())
                children.append(node(c));
            o.insert(QStringLiteral("children"), children);
        }
        return o;
    }
};

} // namespace

NotebookExport exportNotebook(const RecordSource& source, bool withText) {
    Exporter ex{source, withText, {}, {}, {}};
    for (const QString& k : source.keys)
        ex.keys.insert(k);
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("version"), kVersion);

    NoteRecord rec;
    QList<store::SectionEntry> sections;
    if (ex.read(str(store::SectionsKey), rec)) {
        const store::SectionListRead sl = store::readSectionList(rec.Body);
        sections = sl.entries;
        if (sl.damaged()) {
            root.insert(QStringLiteral("sectionListRaw"), rec.Body);
            for (const QString& d : sl.damage)
                ex.warnings.append(QStringLiteral("section list: ") + d);
        }
    }

    QJsonArray sectionArray;
    for (const store::SectionEntry& s : sections) {
        QJsonObject so;
        so.insert(QStringLiteral("key"), s.key);
        so.insert(QStringLiteral("title"), s.caption);
        NoteRecord tr;
        QJsonValue tree = QJsonValue::Null;
        QJsonValue selected = QJsonValue::Null;
        if (ex.read(store::treeKey(s.key), tr)) {
            selected = tr.Title;
            NoteTree t;
            const BlobLoad load = LoadDatabaseBlob(t, tr.Body);
            if (load.damaged()) {
                so.insert(QStringLiteral("damage"), QJsonArray::fromStringList(load.problems));
                so.insert(QStringLiteral("treeBlob"), tr.Body);
                for (const QString& p : load.problems)
                    ex.warnings.append(QStringLiteral("tree of section %1: %2").arg(s.key, p));
            }
            if (t.root()) {
                if (treeDepth(t.root()) > kMaxTreeDepth) {
                    NotebookExport failed;
                    failed.warnings.append(
                        QStringLiteral("the tree of section %1 is deeper than %2 levels, which "
                                       "JSON readers refuse; nothing was exported")
                            .arg(s.key)
                            .arg(kMaxTreeDepth));
                    return failed;
                }
                tree = ex.node(t.root());
            }
        }
        so.insert(QStringLiteral("selectedKey"), selected);
        so.insert(QStringLiteral("tree"), tree);
        sectionArray.append(so);
    }
    root.insert(QStringLiteral("sections"), sectionArray);

    QJsonValue shownLast = QJsonValue::Null;
    if (ex.read(str(store::WhichSectionKey), rec))
        shownLast = rec.Title;
    root.insert(QStringLiteral("sectionShownLast"), shownLast);

    QStringList indexValues;
    if (ex.read(str(store::StatusValuesKey), rec)) {
        const attributes::MasterListRead ml = attributes::readMasterList(rec.Title);
        indexValues = ml.entries;
        if (ml.damaged()) {
            root.insert(QStringLiteral("indexValuesRaw"), rec.Title);
            ex.warnings.append(QStringLiteral("index values: ") + ml.damage);
        }
    }
    root.insert(QStringLiteral("indexValues"), QJsonArray::fromStringList(indexValues));

    QStringList rest;
    for (const QString& k : source.keys)
        if (!ex.reached.contains(k))
            rest.append(k);
    std::sort(rest.begin(), rest.end());
    rest.erase(std::unique(rest.begin(), rest.end()), rest.end());
    QJsonArray unreached;
    for (const QString& k : rest) {
        NoteRecord r;
        if (!source.read(k, r)) {
            ex.warnings.append(QStringLiteral("record %1 cannot be read").arg(k));
            continue;
        }
        unreached.append(recordJson(k, r));
    }
    root.insert(QStringLiteral("unreached"), unreached);

    NotebookExport out;
    out.json = root;
    out.warnings = ex.warnings;
    return out;
}

// --- Restore -------------------------------------------------------------------

namespace {

struct Planner {
    RestorePlan& plan;
    QString& error;
    QMap<QString, qsizetype> where; // key -> position in plan.records

    bool fail(const QString& text) {
        error = text;
        return false;
    }

    bool add(const QString& key, const NoteRecord& rec, const QString& from) {
        if (key.isEmpty())
            return fail(from + QStringLiteral(": a record needs a key"));
        auto it = where.constFind(key);
        if (it != where.constEnd()) {
            if (plan.records[*it].second == rec)
                return true;
            return fail(from +
                        QStringLiteral(": the record %1 is given twice, differently").arg(key));
        }
        where.insert(key, qsizetype(plan.records.size()));
        plan.records.emplace_back(key, rec);
        return true;
    }

    // A string member: absent is empty (or an error when required).
    bool text(const QJsonObject& o, const QString& name, QString& out, const QString& at,
              bool required = false) {
        const QJsonValue v = o.value(name);
        if (v.isUndefined() || (v.isNull() && !required)) {
            if (required)
                return fail(at + QStringLiteral(": \"%1\" is missing").arg(name));
            out.clear();
            return true;
        }
        if (!v.isString())
            return fail(at + QStringLiteral(": \"%1\" must be text").arg(name));
        out = v.toString();
        return true;
    }

    bool flag(const QJsonObject& o, const QString& name, bool& out, const QString& at) {
        const QJsonValue v = o.value(name);
        if (v.isUndefined()) {
            out = false;
            return true;
        }
        if (!v.isBool())
            return fail(at + QStringLiteral(": \"%1\" must be true or false").arg(name));
        out = v.toBool();
        return true;
    }

    bool note(const QJsonObject& o, const QString& recordKey, const QString& at) {
        NoteRecord r;
        for (int i = 0; i < NoteRecord::FieldCount; ++i) {
            const QString name = QLatin1String(NoteRecord::fieldNames()[i]);
            if (name == QLatin1String("Links"))
                continue;
            if (!text(o, name, r.field(i), at))
                return false;
        }
        QString raw;
        if (!text(o, QStringLiteral("linksRaw"), raw, at))
            return false;
        if (o.contains(QStringLiteral("linksRaw"))) {
            r.Links = raw;
        } else {
            const QJsonValue lv = o.value(QStringLiteral("links"));
            if (!lv.isUndefined() && !lv.isArray())
                return fail(at + QStringLiteral(": \"links\" must be a list"));
            QList<links::Link> ls;
            const QJsonArray la = lv.toArray();
            for (qsizetype i = 0; i < la.size(); ++i) {
                const QString lat = at + QStringLiteral(", link %1").arg(i + 1);
                if (!la.at(i).isObject())
                    return fail(lat + QStringLiteral(": must be an object"));
                links::Link l;
                const QJsonObject lo = la.at(i).toObject();
                if (!text(lo, QStringLiteral("description"), l.description, lat) ||
                    !text(lo, QStringLiteral("value"), l.value, lat))
                    return false;
                ls.append(l);
            }
            const links::LinkBlobWrite w = links::writeLinkBlob(ls);
            if (!w.ok())
                return fail(at + QStringLiteral(": ") + w.error);
            r.Links = w.blob;
        }
        return add(recordKey, r, at);
    }

    bool node(NoteTree& t, TreeNode* parent, const QJsonValue& v, const QString& section) {
        if (!v.isObject())
            return fail(QStringLiteral("section %1: a node must be an object").arg(section));
        const QJsonObject o = v.toObject();
        const QString at0 = QStringLiteral("section %1").arg(section);
        QString key, txt;
        bool expanded = false, sorted = false;
        if (!text(o, QStringLiteral("key"), key, at0 + QStringLiteral(", a node"), true))
            return false;
        const QString at = at0 + QStringLiteral(", node %1").arg(key);
        if (!text(o, QStringLiteral("text"), txt, at) ||
            !flag(o, QStringLiteral("expanded"), expanded, at) ||
            !flag(o, QStringLiteral("sorted"), sorted, at))
            return false;
        TreeNode* n = parent ? t.add(parent, Relation::LastChild, key, txt) : t.addTop(key, txt);
        if (!n)
            return fail(at + QStringLiteral(": the key is empty or appears twice in the tree"));
        t.setSorted(n, sorted);
        t.setExpanded(n, expanded);
        t.setTag(n, expanded ? QStringLiteral("E") : QStringLiteral("C"));
        const QJsonValue nv = o.value(QStringLiteral("note"));
        if (!nv.isUndefined() && !nv.isNull()) {
            if (!nv.isObject())
                return fail(at + QStringLiteral(": \"note\" must be an object"));
            if (key.size() < 2)
                return fail(at + QStringLiteral(": a node with a note needs a key of two or more "
                                                "characters"));
            if (!note(nv.toObject(), key.mid(1), at))
                return false;
        }
        const QJsonValue cv = o.value(QStringLiteral("children"));
        if (cv.isUndefined())
            return true;
        if (!cv.isArray())
            return fail(at + QStringLiteral(": \"children\" must be a list"));
        for (const QJsonValue& c : cv.toArray())
            if (!node(t, n, c, section))
                return false;
        return true;
    }

    bool section(const QJsonValue& v, qsizetype i, QList<store::SectionEntry>& entries) {
        const QString at = QStringLiteral("section %1").arg(i + 1);
        if (!v.isObject())
            return fail(at + QStringLiteral(": must be an object"));
        const QJsonObject o = v.toObject();
        store::SectionEntry e;
        if (!text(o, QStringLiteral("key"), e.key, at, true) ||
            !text(o, QStringLiteral("title"), e.caption, at))
            return false;
        if (e.key.isEmpty())
            return fail(at + QStringLiteral(": the key is empty"));
        entries.append(e);
        QString selected, raw;
        if (!text(o, QStringLiteral("selectedKey"), selected, at) ||
            !text(o, QStringLiteral("treeBlob"), raw, at))
            return false;
        const QJsonValue tv = o.value(QStringLiteral("tree"));
        NoteTree t;
        t.beginBulk();
        const bool built = tv.isUndefined() || tv.isNull() || node(t, nullptr, tv, e.key);
        t.endBulk();
        if (!built)
            return false;
        NoteRecord tr;
        tr.Owner = str(store::SectionTreeOwner);
        tr.Title = selected;
        if (o.contains(QStringLiteral("treeBlob"))) {
            tr.Body = raw; // damaged when exported: written back exactly as it was
        } else if (t.root()) {
            UpdateImagesOnTree(t, false);
            QStringList KeyList;
            BuildBranchList(t.root(), KeyList);
            BlobWrite w = SaveDatabaseBlob(t, KeyList);
            if (!w.ok())
                return fail(at + QStringLiteral(": ") + w.error);
            tr.Body = w.blob;
        } else if (!o.value(QStringLiteral("selectedKey")).isString()) {
            return true; // the section has no tree record
        }
        return add(store::treeKey(e.key), tr, at);
    }
};

} // namespace

bool planRestore(const QByteArray& json, RestorePlan& plan, QString& error) {
    plan.records.clear();
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        error =
            QStringLiteral("malformed JSON at byte %1: %2").arg(pe.offset).arg(pe.errorString());
        return false;
    }
    Planner p{plan, error, {}};
    if (!doc.isObject())
        return p.fail(QStringLiteral("expected a notebook object"));
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat ||
        root.value(QStringLiteral("version")).toInt(-1) != kVersion)
        return p.fail(QStringLiteral("not a notebook export of version %1 (\"format\": \"%2\")")
                          .arg(kVersion)
                          .arg(kFormat));

    const QJsonValue sv = root.value(QStringLiteral("sections"));
    if (!sv.isUndefined() && !sv.isArray())
        return p.fail(QStringLiteral("\"sections\" must be a list"));
    QList<store::SectionEntry> entries;
    const QJsonArray sections = sv.toArray();
    for (qsizetype i = 0; i < sections.size(); ++i)
        if (!p.section(sections.at(i), i, entries))
            return false;

    QString raw;
    if (!p.text(root, QStringLiteral("sectionListRaw"), raw, QStringLiteral("notebook")))
        return false;
    NoteRecord rec;
    rec.Owner = str(store::SectionsOwner);
    if (root.contains(QStringLiteral("sectionListRaw"))) {
        rec.Body = raw;
    } else {
        const store::SectionListWrite w = store::writeSectionList(entries);
        if (!w.ok())
            return p.fail(QStringLiteral("sections: ") + w.error);
        rec.Body = w.text;
    }
    if ((!entries.isEmpty() || root.contains(QStringLiteral("sectionListRaw"))) &&
        !p.add(str(store::SectionsKey), rec, QStringLiteral("sections")))
        return false;

    QString shownLast;
    if (!p.text(root, QStringLiteral("sectionShownLast"), shownLast, QStringLiteral("notebook")))
        return false;
    const QJsonValue slv = root.value(QStringLiteral("sectionShownLast"));
    if (slv.isString()) {
        NoteRecord ws;
        ws.Owner = str(store::WhichSectionOwner);
        ws.Title = shownLast;
        if (!p.add(str(store::WhichSectionKey), ws, QStringLiteral("sectionShownLast")))
            return false;
    }

    NoteRecord sv2;
    sv2.Owner = str(store::StatusValuesOwner);
    if (root.contains(QStringLiteral("indexValuesRaw"))) {
        if (!p.text(root, QStringLiteral("indexValuesRaw"), sv2.Title, QStringLiteral("notebook")))
            return false;
    } else {
        const QJsonValue iv = root.value(QStringLiteral("indexValues"));
        if (!iv.isUndefined() && !iv.isArray())
            return p.fail(QStringLiteral("\"indexValues\" must be a list"));
        QStringList values;
        for (const QJsonValue& v : iv.toArray()) {
            if (!v.isString())
                return p.fail(QStringLiteral("\"indexValues\" must hold text only"));
            values.append(v.toString());
        }
        attributes::sortMasterList(values);
        const attributes::MasterListWrite w = attributes::writeMasterList(values);
        if (!w.ok())
            return p.fail(QStringLiteral("indexValues: ") + w.error);
        sv2.Title = w.text;
    }
    if (!sv2.Title.isEmpty() &&
        !p.add(str(store::StatusValuesKey), sv2, QStringLiteral("indexValues")))
        return false;

    const QJsonValue uv = root.value(QStringLiteral("unreached"));
    if (!uv.isUndefined() && !uv.isArray())
        return p.fail(QStringLiteral("\"unreached\" must be a list"));
    const QJsonArray unreached = uv.toArray();
    for (qsizetype i = 0; i < unreached.size(); ++i) {
        const QString at = QStringLiteral("unreached record %1").arg(i + 1);
        if (!unreached.at(i).isObject())
            return p.fail(at + QStringLiteral(": must be an object"));
        const QJsonObject o = unreached.at(i).toObject();
        QString key;
        NoteRecord r;
        if (!p.text(o, QStringLiteral("key"), key, at, true))
            return false;
        for (int f = 0; f < NoteRecord::FieldCount; ++f)
            if (!p.text(o, QLatin1String(NoteRecord::fieldNames()[f]), r.field(f), at))
                return false;
        if (!p.add(key, r, at))
            return false;
    }
    return true;
}

} // namespace vellicar::tree
