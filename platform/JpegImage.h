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

// The image resampled to size; the image itself when the size already
// matches. Bilinear down to half size and when growing, area averaging
// below half, where bilinear would drop detail.
QImage resampleImage(const QImage &image, QSize size);
// The same drawn over all of target, whose size and buffer are kept.
void resampleInto(const QImage &image, QImage &target);

// Re-encodes pictures at one pixel size and quality, one after another,
// keeping its buffers between pictures: a fresh megabyte per picture would
// cost more in page faults than the decoding itself.
class JpegRecoder {
public:
    JpegRecoder(QSize size, int quality);
    QSize size() const { return m_target.size(); }
    // The picture in data, or in the file at path, resampled and encoded;
    // empty on failure, with the reason.
    QByteArray recode(const QByteArray &data, QString *error = nullptr);
    QByteArray recodeFile(const QString &path, QString *error = nullptr);

private:
    int m_quality;
    QImage m_decoded;
    QImage m_target;
    QByteArray m_file;
};

} // namespace platform
