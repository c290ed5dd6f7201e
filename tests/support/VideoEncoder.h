#pragma once
// Video frames for test movies, encoded with libavcodec's encoders for the
// player's codecs.

#include <QByteArray>
#include <QImage>
#include <QPoint>

#include <array>
#include <vector>

namespace swftest {

enum class TestVideoCodec { SorensonH263, ScreenVideo };

// One packet per picture (all of one size), a key frame every keyInterval
// pictures. Throws std::runtime_error when the encoder is missing or fails.
std::vector<QByteArray> encodeVideo(TestVideoCodec codec, const std::vector<QImage> &pictures, int keyInterval);

// The Y, Cb and Cr samples at a pixel of a Sorenson H.263 key frame, as
// libavcodec decodes it. Throws std::runtime_error on failure.
std::array<int, 3> decodedYuv(const QByteArray &h263Packet, QPoint at);

} // namespace swftest
