#pragma once
#include <cstdint>

namespace wpdf {

// The WinAnsiEncoding byte for a Unicode code point, or -1 when the encoding
// has no such character. Control characters have none either.
int winAnsiFromUnicode(char32_t c);

// The Unicode code point of a WinAnsiEncoding byte, or 0 for an unused code.
char32_t unicodeFromWinAnsi(uint8_t code);

} // namespace wpdf
