#include "core/tree/tree_store.h"

#include "core/store/dates.h"
#include "core/store/record_keys.h"
#include "core/tree/branch_walk.h"
#include "core/tree/fixed_width.h"

namespace vellicar::tree {

using store::NoteRecord;

QString damagedTreeKeyPrefix(const QString& sectionKey) {
    return store::treeKey(sectionKey) + QStringLiteral("!Damaged");
}

TreeSave SaveSectionTree(store::DbState& db, const NoteTree& tree, const QString& sectionKey,
                         const QString& currentNodeKey) {
    TreeSave result;
    if (!tree.root())
        return result;
    QStringList KeyList;
    BuildBranchList(tree.root(), KeyList);
    BlobWrite w = SaveDatabaseBlob(tree, KeyList);
    if (!w.ok()) {
        result.error = w.error;
        return result;
    }
    NoteRecord rec;
    rec.Owner = QString::fromUtf16(store::SectionTreeOwner);
    rec.Title = currentNodeKey;
    rec.Body = std::move(w.blob);
    const store::WriteResult put = store::writeRecord(db, store::treeKey(sectionKey), rec);
    if (!put.ok()) {
        result.error = put.message;
        return result;
    }
    result.written = true;
    return result;
}

QStringList readCategoryNames(const QString& body) {
    QStringList names;
    fixedwidth::Reader r(body);
    for (int i = 0; i < 9; ++i) {
        QString name;
        if (!r.field(2, name))
            name.clear();
        names.append(name);
    }
    return names;
}

namespace {

// Keeps a damaged tree record beside the real one. The same damaged blob is
// kept once, however often it is loaded before the next save.
QString keepDamagedTree(store::DbState& db, const QString& sectionKey, const NoteRecord& original,
                        QStringList& errors) {
    const QString prefix = damagedTreeKeyPrefix(sectionKey);
    for (int i = 1; i < 10000; ++i) {
        const QString key = prefix + QString::number(i);
        NoteRecord existing;
        if (store::readRecord(db, key, existing)) {
            if (existing.Body == original.Body)
                return key;
            continue;
        }
        NoteRecord copy = original;
        copy.Owner = QStringLiteral("DamagedTree");
        const store::WriteResult put = store::writeRecord(db, key, copy);
        if (!put.ok()) {
            errors.append(put.message);
            return {};
        }
        return key;
    }
    errors.append(QStringLiteral("No place was left to keep the damaged tree."));
    return {};
}

NoteRecord stampedRecord(const QString& owner, const QString& title, const QString& now) {
    NoteRecord rec;
    rec.Owner = owner;
    rec.Title = title;
    rec.Created = now;
    rec.Modified = now;
    return rec;
}

void convertCategories(store::DbState& db, NoteTree& tree, const QString& sectionKey,
                       const QString& tabCaption, const NoteRecord& categories,
                       const platform::Clock& clock, TreeLoad& result) {
    const QString now = store::DateNumber(clock.now());
    const QString marker = QString(QChar(0x00B6)) + QLatin1Char(' ');
    const QString rootText =
        tabCaption.startsWith(QChar(0x00B6)) ? tabCaption : marker + tabCaption;

    tree.beginBulk();
    tree.clear();
    TreeNode* root = tree.addTop(QStringLiteral("R") + sectionKey, rootText);
    tree.setSorted(root, true);
    auto write = [&](const QString& key, const NoteRecord& rec) {
        const store::WriteResult put = store::writeRecord(db, key, rec);
        if (!put.ok())
            result.errors.append(put.message);
    };
    write(sectionKey, stampedRecord(QStringLiteral("R") + sectionKey, rootText, now));

    const QStringList names = readCategoryNames(categories.Body);
    for (int i = 1; i <= 9; ++i) {
        const QString catKey = sectionKey + QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        TreeNode* cat =
            tree.add(root, Relation::LastChild, QStringLiteral("K") + catKey, names[i - 1]);
        if (!cat) {
            result.errors.append(QStringLiteral("The category %1 is in the tree twice.").arg(i));
            continue;
        }
        tree.setSorted(cat, root->Sorted());
        write(catKey, stampedRecord(catKey, names[i - 1], now));

        // The old notes of category i: every record whose Owner is the section
        // key followed by the one digit i, in index-1 order.
        const int h = db.DbHandle;
        if (h == 0)
            continue;
        QString owner = sectionKey + QString::number(i);
        QString key = owner, ownerOut, primary;
        NoteRecord rec;
        db.vmx.VmxBOF(h, store::VmxOwnerIndex);
        if ((db.vmx.VmxGet(h, store::VmxOwnerIndex, store::VmxEqual, key, ownerOut, primary, rec) &
             0xFFFF) != 0)
            continue;
        db.vmx.VmxGet(h, store::VmxOwnerIndex, store::VmxStepBack, key, ownerOut, primary, rec);
        while ((db.vmx.VmxGet(h, store::VmxOwnerIndex, store::VmxNextEqual, key, ownerOut, primary,
                              rec) &
                0xFFFF) == 0) {
            TreeNode* n =
                tree.add(cat, Relation::LastChild, QStringLiteral("K") + primary, rec.Title);
            if (!n) {
                result.errors.append(
                    QStringLiteral("The note %1 is in the tree already.").arg(primary));
                continue;
            }
            tree.setSorted(n, cat->Sorted());
        }
    }
    tree.setExpanded(root, true);
    UpdateImagesOnTree(tree, true);
    tree.endBulk();
}

} // namespace

TreeLoad GetTree(store::DbState& db, NoteTree& tree, const QString& sectionKey,
                 const QString& tabCaption, const platform::Clock& clock,
                 QString& SavedSelectionKey) {
    TreeLoad result;
    NoteRecord rec;
    if (store::readRecord(db, store::treeKey(sectionKey), rec)) {
        result.from = TreeLoad::From::TreeRecord;
        result.blob = LoadDatabaseBlob(tree, rec.Body);
        SavedSelectionKey = rec.Title;
        if (result.blob.damaged())
            result.keptAs = keepDamagedTree(db, sectionKey, rec, result.errors);
        return result;
    }
    NoteRecord categories;
    if (store::readRecord(db, store::categoriesKey(sectionKey), categories)) {
        result.from = TreeLoad::From::Categories;
        convertCategories(db, tree, sectionKey, tabCaption, categories, clock, result);
        return result;
    }
    tree.clear();
    return result;
}

} // namespace vellicar::tree
