#include "support/VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace swftest {
namespace {

template <class T, void (*Free)(T **)>
struct Freer {
    void operator()(T *p) const { Free(&p); }
};
using Context = std::unique_ptr<AVCodecContext, Freer<AVCodecContext, avcodec_free_context>>;
using Frame = std::unique_ptr<AVFrame, Freer<AVFrame, av_frame_free>>;
using Packet = std::unique_ptr<AVPacket, Freer<AVPacket, av_packet_free>>;

void check(int result, const char *what)
{
    if (result < 0)
        throw std::runtime_error(std::string("video encoder: ") + what + " failed (" + std::to_string(result) + ")");
}

void collect(AVCodecContext *context, AVPacket *packet, std::vector<QByteArray> &out)
{
    while (avcodec_receive_packet(context, packet) == 0) {
        out.emplace_back(reinterpret_cast<const char *>(packet->data), packet->size);
        av_packet_unref(packet);
    }
}

} // namespace

std::vector<QByteArray> encodeVideo(TestVideoCodec codec, const std::vector<QImage> &pictures, int keyInterval)
{
    if (pictures.empty())
        return {};
    const AVCodecID id = codec == TestVideoCodec::SorensonH263 ? AV_CODEC_ID_FLV1 : AV_CODEC_ID_FLASHSV;
    const AVPixelFormat format = codec == TestVideoCodec::SorensonH263 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGR24;
    const AVCodec *encoder = avcodec_find_encoder(id);
    if (!encoder)
        throw std::runtime_error("video encoder: libavcodec has no encoder for the test codec");
    Context context(avcodec_alloc_context3(encoder));
    const int width = pictures.front().width();
    const int height = pictures.front().height();
    context->width = width;
    context->height = height;
    context->pix_fmt = format;
    context->time_base = AVRational{1, 12};
    context->gop_size = keyInterval;
    context->max_b_frames = 0;
    context->thread_count = 1;
    if (codec == TestVideoCodec::SorensonH263) {
        context->flags |= AV_CODEC_FLAG_QSCALE; // near-lossless, so colours can be checked
        context->global_quality = FF_QP2LAMBDA * 2;
    }
    check(avcodec_open2(context.get(), encoder, nullptr), "opening");

    Frame frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    check(av_frame_get_buffer(frame.get(), 0), "allocating a frame");
    SwsContext *scaler = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, format, SWS_POINT, nullptr,
                                        nullptr, nullptr);
    if (!scaler)
        throw std::runtime_error("video encoder: no colour conversion");
    Packet packet(av_packet_alloc());
    std::vector<QByteArray> out;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const QImage rgb = pictures[i].convertToFormat(QImage::Format_RGB32);
        check(av_frame_make_writable(frame.get()), "making a frame writable");
        const uint8_t *source[4] = {rgb.constBits(), nullptr, nullptr, nullptr};
        const int strides[4] = {int(rgb.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler, source, strides, 0, height, frame->data, frame->linesize);
        frame->pts = int64_t(i);
        frame->pict_type = i % size_t(keyInterval) == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        check(avcodec_send_frame(context.get(), frame.get()), "encoding");
        collect(context.get(), packet.get(), out);
    }
    check(avcodec_send_frame(context.get(), nullptr), "finishing");
    collect(context.get(), packet.get(), out);
    sws_freeContext(scaler);
    if (out.size() != pictures.size())
        throw std::runtime_error("video encoder: not one packet per picture");
    return out;
}

} // namespace swftest

namespace swftest {

std::array<int, 3> decodedYuv(const QByteArray &h263Packet, QPoint at)
{
    const AVCodec *decoder = avcodec_find_decoder(AV_CODEC_ID_FLV1);
    if (!decoder)
        throw std::runtime_error("video decoder: none for Sorenson H.263");
    Context context(avcodec_alloc_context3(decoder));
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    if (!context || !packet || !frame)
        throw std::runtime_error("video decoder: out of memory");
    check(avcodec_open2(context.get(), decoder, nullptr), "opening the decoder");
    check(av_new_packet(packet.get(), int(h263Packet.size())), "allocating a packet");
    std::memcpy(packet->data, h263Packet.constData(), size_t(h263Packet.size()));
    check(avcodec_send_packet(context.get(), packet.get()), "sending a packet");
    check(avcodec_receive_frame(context.get(), frame.get()), "receiving a picture");
    if (frame->format != AV_PIX_FMT_YUV420P)
        throw std::runtime_error("video decoder: not a 4:2:0 picture");
    return {frame->data[0][at.y() * frame->linesize[0] + at.x()],
            frame->data[1][at.y() / 2 * frame->linesize[1] + at.x() / 2],
            frame->data[2][at.y() / 2 * frame->linesize[2] + at.x() / 2]};
}

} // namespace swftest
