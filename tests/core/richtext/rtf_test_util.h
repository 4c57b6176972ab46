#pragma once
// Helpers for the rich-text tests: load fixtures, read RTF, look at formats.
#include "core/richtext/rtf.h"
#include "support/test_support.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <memory>

namespace vellicar::test {

inline QByteArray rtfFixture(const char* name) {
    return readAll(dataPath(QStringLiteral("rtf/") + QLatin1String(name)));
}

inline std::unique_ptr<QTextDocument> readRtf(const QByteArray& rtf, bool* ok = nullptr,
                                              QString* error = nullptr) {
    auto doc = std::make_unique<QTextDocument>();
    const bool result = richtext::rtfToDocument(rtf, *doc, error);
    if (ok)
        *ok = result;
    return doc;
}

// The character format of the first character of the first occurrence of text.
inline QTextCharFormat formatOf(const QTextDocument& doc, const QString& text) {
    const QTextCursor found = doc.find(text, 0, QTextDocument::FindCaseSensitively);
    if (found.isNull())
        return {};
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

inline QTextBlockFormat blockFormatOf(const QTextDocument& doc, const QString& text) {
    const QTextCursor found = doc.find(text, 0, QTextDocument::FindCaseSensitively);
    return found.isNull() ? QTextBlockFormat() : found.block().blockFormat();
}

inline QString familyOf(const QTextCharFormat& f) {
    const QStringList fams = f.property(QTextFormat::FontFamilies).toStringList();
    return fams.isEmpty() ? QString() : fams.first();
}

} // namespace vellicar::test
