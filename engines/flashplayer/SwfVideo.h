#pragma once
// Pictures of an embedded video stream, decoded with libavcodec.

#include "engines/flashplayer/SwfTypes.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

// A picture from 4:2:0 samples (Y, Cb, Cr and, unless null, alpha planes)
// as the player converts them; ARGB32 premultiplied.
QImage imageFromYuv420(int width, int height, const uint8_t *const planes[4], const int strides[4]);

// The deblocking filter of H.263 (its Annex J) over one plane, in place:
// every edge between blocks of blockSize x blockSize samples is smoothed,
// the horizontal edges first, as strongly as the quantizer of the
// macroblock below or right of it allows. quants holds one quantizer
// (1 to 31) per macroblock of macroblockSize samples, row by row.
void deblockPlane(uint8_t *data, int width, int height, ptrdiff_t stride, int blockSize, int macroblockSize,
                  const std::vector<uint8_t> &quants);

class VideoDecoder {
public:
    // The stream must outlive the decoder.
    explicit VideoDecoder(const VideoStream &stream);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder &) = delete;
    VideoDecoder &operator=(const VideoDecoder &) = delete;

    // The picture shown at frame n: that frame's, or the latest frame's
    // before it when n has none or fails to decode. ARGB32 premultiplied,
    // at the size the codec gives; null when nothing could be decoded (or
    // the codec is unknown). Stepping forward decodes one frame; stepping
    // back starts again from the nearest key frame.
    QImage frame(int n);

    // Pictures larger than this are not decoded.
    static constexpr qint64 kMaxPixels = qint64(4096) * 4096;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace swf
