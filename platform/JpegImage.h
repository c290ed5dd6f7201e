#pragma once
// JPEG pictures of frames through libjpeg: reading (shrunk in the decoder
// when a much smaller picture is wanted) and writing at a chosen quality.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace platform {

// Decodes JPEG data into an RGB32 image. With atLeast given, the decoder's
// DCT scaling shrinks the picture by the largest factor n/8 that still keeps
// it at least that size, which costs far less than decoding at full size
// and scaling afterwards. Returns a null image and the reason on failure.
QImage decodeJpeg(const QByteArray &data, QSize atLeast = QSize(), QString *error = nullptr);
// The same for a file.
QImage readJpegFile(const QString &path, QSize atLeast = QSize(), QString *error = nullptr);

// The pixel size stated by JPEG data's frame header; invalid when the data
// are not a readable JPEG.
QSize jpegSize(const QByteArray &data);

// Encodes the image (alpha ignored) as a baseline JPEG of quality 1..100.
// Empty on failure, with the reason.
QByteArray encodeJpeg(const QImage &image, int quality, QString *error = nullptr);

// The image resampled to size: area averaging when shrinking, bilinear when
// growing; the image itself when the size already matches.
QImage resampleImage(const QImage &image, QSize size);

} // namespace platform
