#include "EmfReader.h"

#include <cstring>
#include <map>

#include "WinAnsi.h"

namespace wpdf {

namespace {

enum : uint32_t {
    EMR_HEADER = 1,
    EMR_EOF = 14,
    EMR_SETBKMODE = 18,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SELECTOBJECT = 37,
    EMR_DELETEOBJECT = 40,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
};

constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr uint32_t kStockObject = 0x80000000;
constexpr uint32_t ETO_OPAQUE = 0x0002;
constexpr uint32_t ETO_GLYPH_INDEX = 0x0010;
constexpr size_t kLogFontWBytes = 92;
constexpr size_t kMaxSavedStates = 1024;

uint32_t u32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
int32_t i32(const uint8_t *p)
{
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

struct DcState {
    EmfFont font;
    uint32_t color = 0;
    uint32_t align = 0;
    bool opaque = true; // the device context's default
    uint32_t bkColor = 0xFFFFFF;
};

EmfFont stockFont(uint32_t index)
{
    EmfFont f;
    // OEM_FIXED_FONT, ANSI_FIXED_FONT and SYSTEM_FIXED_FONT are monospaced.
    f.fixedPitch = index == 10 || index == 11 || index == 16;
    return f;
}

EmfFont readLogFont(const uint8_t *lf)
{
    EmfFont f;
    f.height = i32(lf + 0);
    f.escapement = i32(lf + 8);
    f.weight = i32(lf + 16);
    f.italic = lf[20] != 0;
    f.underline = lf[21] != 0;
    f.strikeOut = lf[22] != 0;
    for (int i = 0; i < 32; ++i) {
        char16_t c = static_cast<char16_t>(lf[28 + 2 * i] | (lf[29 + 2 * i] << 8));
        if (c == 0)
            break;
        f.face.push_back(c);
    }
    return f;
}

} // namespace

uint32_t emfDeclaredSize(const uint8_t *header)
{
    if (!header)
        return 0;
    if (u32(header) != EMR_HEADER || u32(header + 40) != kEmfSignature)
        return 0;
    uint32_t recordSize = u32(header + 4);
    uint32_t total = u32(header + 48);
    if (recordSize < kEmfHeaderMinBytes || total < recordSize || total > kMaxEmfBytes)
        return 0;
    return total;
}

EmfContent readEmf(const uint8_t *data, size_t size)
{
    EmfContent out;
    std::map<uint32_t, EmfFont> fonts;
    std::vector<DcState> saved;
    DcState dc;
    size_t pos = 0;
    bool first = true;
    bool sawEof = false;
    while (pos + 8 <= size) {
        const uint8_t *rec = data + pos;
        uint32_t type = u32(rec);
        uint32_t recSize = u32(rec + 4);
        if (recSize < 8 || recSize % 4 != 0 || recSize > size - pos) {
            out.problems.push_back("A metafile record has an invalid size; the rest was skipped.");
            return out;
        }
        if (first && type != EMR_HEADER) {
            out.problems.push_back("The metafile does not begin with a header record.");
            return out;
        }
        first = false;
        switch (type) {
        case EMR_EOF:
            sawEof = true;
            break;
        case EMR_SETBKMODE:
            if (recSize >= 12)
                dc.opaque = u32(rec + 8) == 2;
            break;
        case EMR_SETTEXTALIGN:
            if (recSize >= 12)
                dc.align = u32(rec + 8);
            break;
        case EMR_SETTEXTCOLOR:
            if (recSize >= 12)
                dc.color = u32(rec + 8) & 0xFFFFFF;
            break;
        case EMR_SETBKCOLOR:
            if (recSize >= 12)
                dc.bkColor = u32(rec + 8) & 0xFFFFFF;
            break;
        case EMR_SAVEDC:
            if (saved.size() < kMaxSavedStates)
                saved.push_back(dc);
            break;
        case EMR_RESTOREDC:
            if (recSize >= 12) {
                // Negative: relative to the newest saved state; positive: absolute.
                int32_t which = i32(rec + 8);
                int64_t keep = which < 0 ? static_cast<int64_t>(saved.size()) + which
                                         : static_cast<int64_t>(which) - 1;
                if (keep >= 0 && keep < static_cast<int64_t>(saved.size())) {
                    dc = saved[static_cast<size_t>(keep)];
                    saved.resize(static_cast<size_t>(keep));
                }
            }
            break;
        case EMR_EXTCREATEFONTINDIRECTW:
            if (recSize >= 12 + kLogFontWBytes)
                fonts[u32(rec + 8)] = readLogFont(rec + 12);
            else
                out.problems.push_back("A font record is too short.");
            break;
        case EMR_SELECTOBJECT:
            if (recSize >= 12) {
                uint32_t id = u32(rec + 8);
                if (id & kStockObject) {
                    uint32_t index = id & ~kStockObject;
                    if (index >= 10 && index <= 17 && index != 15)
                        dc.font = stockFont(index);
                } else if (auto it = fonts.find(id); it != fonts.end()) {
                    dc.font = it->second;
                }
            }
            break;
        case EMR_DELETEOBJECT:
            // The selected font stays in use, as a device context keeps it.
            if (recSize >= 12)
                fonts.erase(u32(rec + 8));
            break;
        case EMR_EXTTEXTOUTA:
        case EMR_EXTTEXTOUTW: {
            if (recSize < 76) {
                out.problems.push_back("A text record is too short.");
                break;
            }
            EmfText t;
            t.x = i32(rec + 36);
            t.y = i32(rec + 40);
            uint32_t nChars = u32(rec + 44);
            uint32_t offString = u32(rec + 48);
            uint32_t options = u32(rec + 52);
            t.rect = EmfRect{i32(rec + 56), i32(rec + 60), i32(rec + 64), i32(rec + 68)};
            uint64_t unit = type == EMR_EXTTEXTOUTW ? 2 : 1;
            if (static_cast<uint64_t>(offString) + unit * nChars > recSize ||
                (nChars > 0 && offString < 76)) {
                out.problems.push_back("A text record points outside itself.");
                break;
            }
            if (options & ETO_GLYPH_INDEX) {
                out.problems.push_back("Text given as glyph indices was skipped.");
                break;
            }
            const uint8_t *s = rec + offString;
            t.text.reserve(nChars);
            for (uint32_t i = 0; i < nChars; ++i) {
                if (unit == 2)
                    t.text.push_back(static_cast<char16_t>(s[2 * i] | (s[2 * i + 1] << 8)));
                else
                    t.text.push_back(static_cast<char16_t>(unicodeFromWinAnsi(s[i])));
            }
            t.font = dc.font;
            t.color = dc.color;
            t.align = dc.align;
            t.opaque = dc.opaque;
            t.bkColor = dc.bkColor;
            t.fillRect = (options & ETO_OPAQUE) != 0;
            out.texts.push_back(std::move(t));
            break;
        }
        default:
            break; // not drawing text: skipped by its size
        }
        if (sawEof)
            break;
        pos += recSize;
    }
    if (!sawEof)
        out.problems.push_back("The metafile ends without an end-of-file record.");
    return out;
}

} // namespace wpdf
