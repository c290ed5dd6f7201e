#pragma once
// Reads the text-drawing records of an enhanced metafile (the page canvas).
// Everything is bounds-checked against the size the header declares: a damaged
// metafile yields what could be read before the damage, and a problem note.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wpdf {

struct EmfFont {
    std::u16string face; // empty: the default face
    int32_t height = 0;  // logical units; negative: em size, positive: cell height
    int32_t weight = 400;
    int32_t escapement = 0; // tenths of a degree, anticlockwise
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool fixedPitch = false; // only for the fixed stock fonts
};

struct EmfRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct EmfText {
    int32_t x = 0, y = 0; // reference point, logical units
    std::u16string text;
    EmfFont font;
    uint32_t color = 0;   // COLORREF 0x00BBGGRR
    uint32_t align = 0;   // TA_* flags
    bool opaque = false;  // background mode OPAQUE: the text cell is filled
    uint32_t bkColor = 0xFFFFFF;
    bool fillRect = false; // ETO_OPAQUE: `rect` is filled with bkColor first
    EmfRect rect;
};

struct EmfContent {
    std::vector<EmfText> texts;
    std::vector<std::string> problems; // empty when the metafile read cleanly
};

// Upper bound for a metafile's declared size; larger ones are refused.
inline constexpr uint32_t kMaxEmfBytes = 256u * 1024 * 1024;
inline constexpr uint32_t kEmfHeaderMinBytes = 88;

// The total size that an EMF header at `header` (at least kEmfHeaderMinBytes
// readable) declares, or 0 when it is not an EMF header or declares an
// impossible size.
uint32_t emfDeclaredSize(const uint8_t *header);

// Reads `size` bytes of metafile (size from emfDeclaredSize).
EmfContent readEmf(const uint8_t *data, size_t size);

} // namespace wpdf
