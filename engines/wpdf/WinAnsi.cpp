#include "WinAnsi.h"

namespace wpdf {

namespace {
// Codes 0x80 to 0x9F differ from Latin-1; 0 marks the five unused ones.
constexpr char32_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
} // namespace

char32_t unicodeFromWinAnsi(uint8_t code)
{
    if (code < 0x20 || code == 0x7F)
        return 0;
    if (code >= 0x80 && code <= 0x9F)
        return kHigh[code - 0x80];
    return code;
}

int winAnsiFromUnicode(char32_t c)
{
    if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    if (c == 0)
        return -1;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

} // namespace wpdf
