// Helpers shared by the reader, the writer and the plain-text extractor.
#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtGui/QTextFormat>

namespace vellicar::richtext::detail {

// Image formats of pictures we cannot show (metafiles, bitmaps) keep the
// original picture here, so saving the note writes it back unchanged.
inline constexpr int kPictKindProperty = QTextFormat::UserProperty + 0x5210;
inline constexpr int kPictParamProperty = QTextFormat::UserProperty + 0x5211;
inline constexpr int kPictDataProperty = QTextFormat::UserProperty + 0x5212;
inline constexpr int kPictSizeProperty = QTextFormat::UserProperty + 0x5213; // QSize picw/pich

// Twips per pixel at 96 dots per inch: our unit for margins and image sizes.
inline constexpr double kTwipsPerPixel = 15.0;

// Offset of "{\\rtf" in data (after a byte order mark and white space), or
// -1 when data is not RTF.
qsizetype rtfOffset(const QByteArray& data);

// Text that is not RTF: UTF-8, or windows-1252 when it is not valid UTF-8.
QString decodePlainBytes(const QByteArray& bytes);

// What QTextDocument::setPlainText(text) followed by toPlainText() gives.
QString plainTextOfPlainText(QString text);

// An RTF body held in a QString as bytes: Latin-1 for each character up to
// U+00FF, \uN escapes for anything above (only hand-made bodies have those).
QByteArray rtfBytesOf(const QString& body);

} // namespace vellicar::richtext::detail
