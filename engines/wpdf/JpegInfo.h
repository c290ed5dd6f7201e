#pragma once
// What an image dictionary needs to know about JPEG data placed unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace wpdf {

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;    // 1, 3 or 4
    int bitsPerComponent = 8;
    bool adobeInverted = false; // four components written by Adobe software: stored inverted
    bool progressive = false;
};

// Reads the frame header of JPEG data. Returns nothing (and a reason) when the
// data are not a JPEG that PDF viewers can show: not starting with SOI, no
// Huffman frame header of 8 bits with 1, 3 or 4 components, truncated markers,
// or a header that libjpeg refuses.
std::optional<JpegInfo> readJpegInfo(const uint8_t *data, size_t length, std::string *reason);

} // namespace wpdf
