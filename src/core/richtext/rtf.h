// Rich text bodies: RTF in and out of QTextDocument, and a fast plain-text
// extractor for indexing and search that never builds a document.
//
// RTF is 7-bit ASCII; bodies are stored as QString (UTF-8 in the store). The
// QString overloads treat each QChar of an RTF body as one byte (Latin-1);
// documentToRtfString() yields pure ASCII, so the conversion is lossless.
#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

class QTextDocument;

namespace vellicar::richtext {

// True when the bytes start (after optional whitespace / BOM) with "{\rtf".
bool looksLikeRtf(const QByteArray& data);
bool looksLikeRtf(const QString& body);

// Replaces the content of doc with the RTF. Input that is not RTF is shown as
// plain text (UTF-8). Malformed RTF yields whatever text is readable; the
// return value is false and *error says why only when the input is RTF and
// had structural problems (the document still holds the readable text).
bool rtfToDocument(const QByteArray& rtf, QTextDocument& doc, QString* error = nullptr);
bool rtfToDocument(const QString& body, QTextDocument& doc, QString* error = nullptr);

// Writes doc as RTF: \rtf1\ansi\ansicpg1252, plain 7-bit ASCII, stable output
// (the same document always gives the same bytes).
QByteArray documentToRtf(const QTextDocument& doc);
QString documentToRtfString(const QTextDocument& doc);

// The text a rich-text control shows for the RTF, without building a
// document: equal to rtfToDocument(rtf, doc); doc.toPlainText().
// Paragraph ends are '\n', \line is U+2028, images are U+FFFC.
QString rtfPlainText(const QByteArray& rtf);
QString rtfPlainText(const QString& body);

} // namespace vellicar::richtext
