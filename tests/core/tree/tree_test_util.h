#pragma once
// Small helpers for the tree tests: building trees from a compact outline
// and describing a tree's shape as text so expectations read at a glance.
#include "core/tree/note_tree.h"

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <ostream>

// Readable QString output in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace vellicar::test {

// "Key(child child(grandchild))": the keys of a node's children in display order.
inline QString shape(const tree::TreeNode* n) {
    QString s = n->Key();
    if (n->hasChildren()) {
        s += QLatin1Char('(');
        QStringList parts;
        for (const tree::TreeNode* c : n->Children())
            parts.append(shape(c));
        s += parts.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return s;
}

inline QString shape(const tree::NoteTree& t) {
    QStringList parts;
    for (const tree::TreeNode* n : t.topLevel())
        parts.append(shape(n));
    return parts.join(QLatin1Char(' '));
}

inline QStringList childTexts(const tree::TreeNode* n) {
    QStringList out;
    for (const tree::TreeNode* c : n->Children())
        out.append(c->Text());
    return out;
}

} // namespace vellicar::test
