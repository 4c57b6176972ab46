// Code pages of \'hh escapes and raw 8-bit bytes in RTF text.
#pragma once

#include <QtCore/QString>
#include <QtCore/QStringDecoder>
#include <cstdint>
#include <memory>

namespace vellicar::richtext::detail {

// Pseudo code page of fonts with the symbol character set.
inline constexpr int kSymbolCodePage = 42;

// The code page a font's \fcharsetN selects; 0 when the charset says "use
// the document's code page" or is unknown.
int codePageForCharset(int charset);

// 256 characters for a single-byte code page, or nullptr for a multi-byte
// one (double-byte Asian code pages, UTF-8). Unknown code pages read as
// windows-1252. The table lives for the whole program.
const char16_t* singleByteTable(int codePage);

// Whether b starts a two-byte character in a double-byte code page.
bool isLeadByte(int codePage, uint8_t b);

// A decoder for a multi-byte code page (never null; unknown ones decode as
// windows-1252).
std::unique_ptr<QStringDecoder> makeDecoder(int codePage);

} // namespace vellicar::richtext::detail
