#pragma once
// Pictures of an embedded video stream, decoded with libavcodec.

#include "engines/flashplayer/SwfTypes.h"

#include <QImage>

#include <memory>

namespace swf {

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
