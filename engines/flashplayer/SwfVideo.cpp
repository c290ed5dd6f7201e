#include "engines/flashplayer/SwfVideo.h"

#include "engines/flashplayer/SwfBitReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
#include <libavutil/pixdesc.h>
#include <libavutil/video_enc_params.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

namespace swf {
namespace {

AVCodecID codecIdOf(uint8_t codec)
{
    switch (VideoCodec(codec)) {
    case VideoCodec::SorensonH263:
        return AV_CODEC_ID_FLV1;
    case VideoCodec::ScreenVideo:
        return AV_CODEC_ID_FLASHSV;
    case VideoCodec::Vp6:
        return AV_CODEC_ID_VP6F;
    case VideoCodec::Vp6Alpha:
        return AV_CODEC_ID_VP6A;
    case VideoCodec::ScreenVideo2:
        return AV_CODEC_ID_FLASHSV2;
    }
    return AV_CODEC_ID_NONE;
}

struct SorensonHeader {
    bool intra = false;
    bool deblocking = false;
};

std::optional<SorensonHeader> sorensonHeader(const QByteArray &data)
{
    try {
        BitReader in(data);
        if (in.ub(17) != 1)
            return std::nullopt;
        in.ub(5); // version
        in.ub(8); // temporal reference
        const uint32_t size = in.ub(3);
        if (size == 0)
            in.ub(16);
        else if (size == 1)
            in.ub(32);
        SorensonHeader header;
        header.intra = in.ub(2) == 0;
        header.deblocking = in.ub(1) == 1;
        return header;
    } catch (const ReadError &) {
        return std::nullopt;
    }
}

// Whether a frame can be decoded without those before it. Frames whose
// kind cannot be told count as depending on the one before.
bool isKeyFrame(uint8_t codec, const QByteArray &data)
{
    try {
        BitReader in(data);
        switch (VideoCodec(codec)) {
        case VideoCodec::SorensonH263: {
            const std::optional<SorensonHeader> header = sorensonHeader(data);
            return header && header->intra;
        }
        case VideoCodec::Vp6:
            return (in.u8() & 0x80) == 0;
        case VideoCodec::Vp6Alpha:
            in.ub(24); // offset to the alpha data
            return (in.u8() & 0x80) == 0;
        case VideoCodec::ScreenVideo: {
            // Key frames carry every block; others leave unchanged ones empty.
            const uint32_t blockWidth = (in.ub(4) + 1) * 16;
            const uint32_t width = in.ub(12);
            const uint32_t blockHeight = (in.ub(4) + 1) * 16;
            const uint32_t height = in.ub(12);
            const uint32_t blocks = ((width + blockWidth - 1) / blockWidth) * ((height + blockHeight - 1) / blockHeight);
            for (uint32_t i = 0; i < blocks; ++i) {
                const uint32_t bytes = in.ub(16);
                if (bytes == 0)
                    return false;
                in.skip(bytes);
            }
            return true;
        }
        case VideoCodec::ScreenVideo2:
            break;
        }
    } catch (const ReadError &) {
    }
    return false;
}

QImage fromYuv420(const AVFrame &f, bool alpha)
{
    const uint8_t *planes[4] = {f.data[0], f.data[1], f.data[2], alpha ? f.data[3] : nullptr};
    const int strides[4] = {f.linesize[0], f.linesize[1], f.linesize[2], alpha ? f.linesize[3] : 0};
    return imageFromYuv420(f.width, f.height, planes, strides);
}

constexpr int kScalerAlign = 64;
constexpr int kScalerSlackRows = 2;

uint8_t *alignedIn(std::vector<uint8_t> &buffer)
{
    const auto address = reinterpret_cast<uintptr_t>(buffer.data());
    return buffer.data() + (kScalerAlign - address % kScalerAlign) % kScalerAlign;
}

} // namespace

// Studio-range BT.601 in 16.16 fixed point, rounded, each chroma sample
// spread over its 2 x 2 pixels unfiltered: the player's own conversion,
// which the scaler's rounding misses by a level here and there. The colours
// of a stream with alpha come already multiplied by it (no channel above
// the alpha).
QImage imageFromYuv420(int width, int height, const uint8_t *const planes[4], const int strides[4])
{
    const bool alpha = planes[3] != nullptr;
    QImage image(width, height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const auto level = [](int v) { return std::clamp((v + 32768) >> 16, 0, 255); };
    for (int y = 0; y < height; ++y) {
        const uint8_t *luma = planes[0] + ptrdiff_t(y) * strides[0];
        const uint8_t *cb = planes[1] + ptrdiff_t(y / 2) * strides[1];
        const uint8_t *cr = planes[2] + ptrdiff_t(y / 2) * strides[2];
        const uint8_t *a = alpha ? planes[3] + ptrdiff_t(y) * strides[3] : nullptr;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int c = 76309 * (luma[x] - 16);
            const int d = cb[x / 2] - 128;
            const int e = cr[x / 2] - 128;
            const int r = level(c + 104597 * e);
            const int g = level(c - 25675 * d - 53279 * e);
            const int b = level(c + 132201 * d);
            if (a)
                out[x] = qRgba(std::min(r, int(a[x])), std::min(g, int(a[x])), std::min(b, int(a[x])), a[x]);
            else
                out[x] = qRgb(r, g, b);
        }
    }
    if (alpha)
        return image;
    image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied); // opaque: the same pixels
    return image;
}

namespace {

// Table J.2 of H.263: the filter's strength for each quantizer.
constexpr uint8_t kDeblockStrength[32] = {0, 1, 1, 2,  2,  3,  3,  4,  4,  4,  5,  5,  6,  6,  7,  7,
                                          7, 8, 8, 8, 9, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};

// Four samples across an edge, a b | c d, brought closer: the step at the
// edge by up to the strength, its neighbours by half as much.
void deblockAcross(uint8_t &a, uint8_t &b, uint8_t &c, uint8_t &d, int strength)
{
    const int A = a, B = b, C = c, D = d;
    // The player rounds its divisions down (shifts), where the standard
    // rounds toward zero.
    const int step = (A - 4 * B + 4 * C - D) >> 3;
    const int size = std::abs(step);
    const int d1 = (step < 0 ? -1 : 1) * std::max(0, size - std::max(0, 2 * (size - strength)));
    const int limit = std::abs(d1 >> 1);
    const int d2 = std::clamp((A - D) >> 2, -limit, limit);
    b = uint8_t(std::clamp(B + d1, 0, 255));
    c = uint8_t(std::clamp(C - d1, 0, 255));
    a = uint8_t(std::clamp(A - d2, 0, 255));
    d = uint8_t(std::clamp(D + d2, 0, 255));
}

} // namespace

void deblockPlane(uint8_t *data, int width, int height, ptrdiff_t stride, int blockSize, int macroblockSize,
                  const std::vector<uint8_t> &quants)
{
    if (blockSize < 2 || macroblockSize < 1 || width < 4 || height < 4)
        return;
    const int across = (width + macroblockSize - 1) / macroblockSize;
    const auto strengthAt = [&](int x, int y) {
        const size_t i = size_t(y / macroblockSize) * size_t(across) + size_t(x / macroblockSize);
        return i < quants.size() ? int(kDeblockStrength[std::clamp<int>(quants[i], 0, 31)]) : 0;
    };
    const auto at = [&](int x, int y) -> uint8_t & { return data[ptrdiff_t(y) * stride + x]; };
    for (int y = blockSize; y + 1 < height; y += blockSize)
        for (int x = 0; x < width; ++x)
            if (const int strength = strengthAt(x, y))
                deblockAcross(at(x, y - 2), at(x, y - 1), at(x, y), at(x, y + 1), strength);
    for (int x = blockSize; x + 1 < width; x += blockSize)
        for (int y = 0; y < height; ++y)
            if (const int strength = strengthAt(x, y))
                deblockAcross(at(x - 2, y), at(x - 1, y), at(x, y), at(x + 1, y), strength);
}

struct VideoDecoder::Impl {
    const VideoStream &stream;
    AVCodecContext *context = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *received = nullptr;
    AVFrame *filtered = nullptr; // a deblocked copy of received
    bool deblock = false;        // whether the frame sent last asks for deblocking
    SwsContext *scaler = nullptr;
    int fedUpTo = -1; // the last frame number given to the decoder
    int shown = -1;   // the frame number the picture is of
    QImage picture;
    std::vector<uint8_t> scaled; // the scaler's output, kept between frames

    explicit Impl(const VideoStream &s) : stream(s)
    {
        // Damaged frames are expected and shown as the frame before; the
        // codec's own complaints would only fill the terminal.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
        const AVCodec *codec = avcodec_find_decoder(codecIdOf(s.codec));
        if (!codec)
            return;
        context = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        received = av_frame_alloc();
        if (!context || !packet || !received) {
            close();
            return;
        }
        context->thread_count = 1; // frames are drawn one at a time, in order
        context->max_pixels = kMaxPixels;
        // The decoder does not deblock Sorenson frames itself; the player
        // does, as strongly as each macroblock's quantizer says.
        if (VideoCodec(s.codec) == VideoCodec::SorensonH263)
            context->export_side_data |= AV_CODEC_EXPORT_DATA_VIDEO_ENC_PARAMS;
        if (avcodec_open2(context, codec, nullptr) < 0)
            close();
    }

    ~Impl()
    {
        close();
        sws_freeContext(scaler);
    }

    void close()
    {
        avcodec_free_context(&context);
        av_packet_free(&packet);
        av_frame_free(&received);
        av_frame_free(&filtered);
    }

    // The stream says whether to deblock; 0 leaves it to each frame.
    bool wantsDeblocking(const QByteArray &data) const
    {
        if (VideoCodec(stream.codec) != VideoCodec::SorensonH263 || stream.deblocking == 1)
            return false;
        if (stream.deblocking >= 2)
            return true;
        const std::optional<SorensonHeader> header = sorensonHeader(data);
        return header && header->deblocking;
    }

    // received deblocked into filtered; null when it needs none or has no
    // quantizers to go by.
    const AVFrame *deblocked()
    {
        const AVFrameSideData *side = av_frame_get_side_data(received, AV_FRAME_DATA_VIDEO_ENC_PARAMS);
        if (!deblock || !side || received->format != AV_PIX_FMT_YUV420P)
            return nullptr;
        const auto *params = reinterpret_cast<const AVVideoEncParams *>(side->data);
        const int across = (received->width + 15) / 16;
        const int down = (received->height + 15) / 16;
        std::vector<uint8_t> quants(size_t(across) * size_t(down), 0);
        for (unsigned i = 0; i < params->nb_blocks; ++i) {
            const AVVideoBlockParams *block = av_video_enc_params_block(const_cast<AVVideoEncParams *>(params), i);
            const int x = block->src_x / 16;
            const int y = block->src_y / 16;
            // The MPEG-1 scale the decoder reports is twice the quantizer.
            if (x >= 0 && y >= 0 && x < across && y < down)
                quants[size_t(y) * size_t(across) + size_t(x)] = uint8_t(std::clamp((params->qp + block->delta_qp) / 2, 0, 31));
        }
        if (!filtered && !(filtered = av_frame_alloc()))
            return nullptr;
        av_frame_unref(filtered);
        filtered->format = received->format;
        filtered->width = received->width;
        filtered->height = received->height;
        if (av_frame_get_buffer(filtered, 0) < 0 || av_frame_copy(filtered, received) < 0)
            return nullptr;
        deblockPlane(filtered->data[0], filtered->width, filtered->height, filtered->linesize[0], 8, 16, quants);
        const int cw = (filtered->width + 1) / 2;
        const int ch = (filtered->height + 1) / 2;
        deblockPlane(filtered->data[1], cw, ch, filtered->linesize[1], 8, 8, quants);
        deblockPlane(filtered->data[2], cw, ch, filtered->linesize[2], 8, 8, quants);
        return filtered;
    }

    // The number of the key frame that frame n builds on, or the first frame.
    int keyFrameFor(int n) const
    {
        auto it = stream.frames.upper_bound(uint16_t(n));
        while (it != stream.frames.begin()) {
            --it;
            if (isKeyFrame(stream.codec, it->second))
                return it->first;
        }
        return stream.frames.empty() ? 0 : stream.frames.begin()->first;
    }

    // Decodes frames from..to (those that exist) and keeps the picture of
    // the last one that decodes.
    void feed(int from, int to)
    {
        bool got = false;
        for (auto it = stream.frames.lower_bound(uint16_t(from)); it != stream.frames.end() && it->first <= to; ++it) {
            fedUpTo = it->first;
            if (it->second.isEmpty())
                continue;
            if (av_new_packet(packet, int(it->second.size())) < 0)
                continue;
            std::memcpy(packet->data, it->second.constData(), size_t(it->second.size()));
            deblock = wantsDeblocking(it->second);
            const int sent = avcodec_send_packet(context, packet);
            av_packet_unref(packet);
            if (sent < 0)
                continue;
            while (avcodec_receive_frame(context, received) == 0) {
                if (it->first == to || std::next(it) == stream.frames.end() || std::next(it)->first > to) {
                    // Only the picture to be shown is converted.
                    if (convert())
                        got = true;
                }
                av_frame_unref(received);
            }
        }
        if (got)
            shown = to;
    }

    bool convert()
    {
        const int w = received->width;
        const int h = received->height;
        if (w <= 0 || h <= 0 || qint64(w) * h > kMaxPixels)
            return false;
        const auto format = AVPixelFormat(received->format);
        if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVA420P) {
            const AVFrame *source = deblocked();
            picture = fromYuv420(source ? *source : *received, format == AV_PIX_FMT_YUVA420P);
            return !picture.isNull();
        }
        scaler = sws_getCachedContext(scaler, w, h, format, w, h, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr,
                                      nullptr);
        if (!scaler)
            return false;
        // The scaler's vector code writes whole blocks past the end of a row
        // and of the last row, so it gets a padded, aligned buffer of its own
        // and the picture is copied out of it.
        const int stride = FFALIGN(w * 4, kScalerAlign);
        const size_t bytes = size_t(stride) * size_t(h + kScalerSlackRows);
        if (scaled.size() < bytes + kScalerAlign)
            scaled.assign(bytes + kScalerAlign, 0);
        uint8_t *const base = alignedIn(scaled);
        uint8_t *planes[4] = {base, nullptr, nullptr, nullptr};
        const int strides[4] = {stride, 0, 0, 0};
        if (sws_scale(scaler, received->data, received->linesize, 0, h, planes, strides) != h)
            return false;
        QImage image(w, h, QImage::Format_ARGB32);
        if (image.isNull())
            return false;
        for (int y = 0; y < h; ++y)
            std::memcpy(image.scanLine(y), base + size_t(y) * size_t(stride), size_t(w) * 4);
        const AVPixFmtDescriptor *described = av_pix_fmt_desc_get(format);
        const bool alpha = described && (described->flags & AV_PIX_FMT_FLAG_ALPHA);
        if (alpha) {
            picture = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        } else {
            image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied); // opaque: the same pixels
            picture = image;
        }
        return !picture.isNull();
    }
};

VideoDecoder::VideoDecoder(const VideoStream &stream) : d(std::make_unique<Impl>(stream)) {}

VideoDecoder::~VideoDecoder() = default;

QImage VideoDecoder::frame(int n)
{
    if (!d->context || d->stream.frames.empty())
        return {};
    n = std::clamp(n, 0, int(std::numeric_limits<uint16_t>::max()));
    auto it = d->stream.frames.upper_bound(uint16_t(n));
    if (it == d->stream.frames.begin())
        return {}; // no frame yet
    const int target = std::prev(it)->first;
    if (target == d->shown)
        return d->picture;
    if (d->fedUpTo >= 0 && target > d->fedUpTo) {
        const auto after = d->stream.frames.upper_bound(uint16_t(d->fedUpTo));
        if (after != d->stream.frames.end() && after->first == target) { // the next frame: no search
            d->feed(target, target);
            return d->picture;
        }
    }
    const int key = d->keyFrameFor(target);
    if (target < d->fedUpTo || key > d->fedUpTo) {
        // Backwards, or a key frame ahead: start over from the key frame.
        avcodec_flush_buffers(d->context);
        d->feed(key, target);
    } else {
        d->feed(d->fedUpTo + 1, target);
    }
    return d->picture;
}

} // namespace swf
