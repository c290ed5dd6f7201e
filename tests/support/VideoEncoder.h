#pragma once
// Video frames for test movies, encoded with libavcodec's encoders for the
// player's codecs.

#include <QByteArray>
#include <QImage>

#include <vector>

namespace swftest {

enum class TestVideoCodec { SorensonH263, ScreenVideo };

// One packet per picture (all of one size), a key frame every keyInterval
// pictures. Throws std::runtime_error when the encoder is missing or fails.
std::vector<QByteArray> encodeVideo(TestVideoCodec codec, const std::vector<QImage> &pictures, int keyInterval);

} // namespace swftest
