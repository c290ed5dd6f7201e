#include "engines/flashplayer/SwfBitmaps.h"

#include "engines/flashplayer/SwfReader.h"

#include <QBuffer>
#include <QImageReader>

// libjpeg's headers need FILE and size_t declared first.
#include <cstdio>
#include <csetjmp>
#include <jpeglib.h>
#include <jerror.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

namespace swf {
namespace {

// Compressed images hold at most about this many pixels per byte of data;
// more means a header that lies, and its pixels are not allocated.
constexpr int64_t kMaxPixelsPerByte = 2048;
constexpr int64_t kFreePixels = int64_t(1) << 20;
constexpr int kMaxJpegScans = 500;

bool fail(QString *message, const QString &why)
{
    if (message)
        *message = why;
    return false;
}

bool sizeAllowed(int64_t width, int64_t height, QString *message)
{
    if (width <= 0 || height <= 0)
        return fail(message, QStringLiteral("the bitmap has no pixels"));
    if (width > limits::kMaxBitmapSide || height > limits::kMaxBitmapSide
        || width * height > limits::kMaxBitmapPixels)
        return fail(message, QStringLiteral("the bitmap is %1 x %2 pixels, more than the limit of %3 x %3")
                                 .arg(width)
                                 .arg(height)
                                 .arg(limits::kMaxBitmapSide));
    return true;
}

bool plausible(int64_t width, int64_t height, qsizetype bytes, QString *message)
{
    if (width * height > kMaxPixelsPerByte * bytes + kFreePixels)
        return fail(message, QStringLiteral("the bitmap claims %1 x %2 pixels from only %3 bytes")
                                 .arg(width)
                                 .arg(height)
                                 .arg(bytes));
    return true;
}

// Inflates at most limit bytes; the buffer grows with what actually comes
// out, so a lying size costs nothing.
QByteArray inflateUpTo(const QByteArray &in, size_t limit, bool *damaged = nullptr)
{
    QByteArray out;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        if (damaged)
            *damaged = true;
        return out;
    }
    const std::unique_ptr<z_stream, int (*)(z_stream *)> release(&zs, inflateEnd);
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    zs.avail_in = uInt(std::min<qsizetype>(in.size(), qsizetype(1) << 30));
    size_t used = 0;
    bool bad = false;
    while (used < limit) {
        if (used == size_t(out.size()))
            out.resize(qsizetype(std::min(limit, std::max<size_t>(used * 2, 64 * 1024))));
        zs.next_out = reinterpret_cast<Bytef *>(out.data()) + used;
        zs.avail_out = uInt(size_t(out.size()) - used);
        const uInt before = zs.avail_out;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        used += before - zs.avail_out;
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK && !(rc == Z_BUF_ERROR && zs.avail_in > 0)) {
            bad = rc != Z_BUF_ERROR;
            break;
        }
    }
    out.truncate(qsizetype(used));
    if (damaged)
        *damaged = bad;
    return out;
}

uint8_t expand5(unsigned v)
{
    return uint8_t((v * 255 + 15) / 31);
}

// Premultiplied pixels from the file may be out of range; keep them valid.
QRgb premultiplied(uint8_t a, uint8_t r, uint8_t g, uint8_t b)
{
    return qRgba(std::min(r, a), std::min(g, a), std::min(b, a), a);
}

QImage decodeLossless(const Bitmap &bitmap, QString *message)
{
    const int64_t w = bitmap.width;
    const int64_t h = bitmap.height;
    if (!sizeAllowed(w, h, message))
        return {};
    const bool alpha = bitmap.kind == BitmapKind::Lossless2;
    size_t paletteBytes = 0;
    size_t rowBytes = 0;
    size_t pixelBytes = 0;
    switch (bitmap.losslessFormat) {
    case LosslessFormat::ColorMapped8:
        paletteBytes = size_t(bitmap.colorTableSize) * (alpha ? 4 : 3);
        pixelBytes = 1;
        break;
    case LosslessFormat::Rgb15:
        pixelBytes = 2;
        break;
    case LosslessFormat::Rgb32:
        pixelBytes = 4;
        break;
    }
    rowBytes = (size_t(w) * pixelBytes + 3) & ~size_t(3); // rows are padded to 32 bits
    const size_t full = paletteBytes + rowBytes * size_t(h);
    // The last row's padding is sometimes left out.
    const size_t needed = paletteBytes + rowBytes * size_t(h - 1) + size_t(w) * pixelBytes;
    bool damaged = false;
    const QByteArray pixels = inflateUpTo(bitmap.data, full, &damaged);
    if (size_t(pixels.size()) < needed) {
        fail(message, damaged ? QStringLiteral("the bitmap's pixel data is damaged")
                              : QStringLiteral("the bitmap's pixel data ends early (%1 of %2 bytes)")
                                    .arg(pixels.size())
                                    .arg(needed));
        return {};
    }
    QImage image(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        fail(message, QStringLiteral("not enough memory for the bitmap"));
        return {};
    }
    const auto *data = reinterpret_cast<const uint8_t *>(pixels.constData());
    std::vector<QRgb> palette;
    if (bitmap.losslessFormat == LosslessFormat::ColorMapped8) {
        palette.resize(256, alpha ? qRgba(0, 0, 0, 0) : qRgb(0, 0, 0));
        for (size_t i = 0; i < std::min<size_t>(bitmap.colorTableSize, 256); ++i) {
            const uint8_t *c = data + i * (alpha ? 4 : 3);
            palette[i] = alpha ? premultiplied(c[3], c[0], c[1], c[2]) : qRgb(c[0], c[1], c[2]);
        }
    }
    for (int64_t y = 0; y < h; ++y) {
        const uint8_t *row = data + paletteBytes + size_t(y) * rowBytes;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (int64_t x = 0; x < w; ++x) {
            switch (bitmap.losslessFormat) {
            case LosslessFormat::ColorMapped8:
                out[x] = palette[row[x]];
                break;
            case LosslessFormat::Rgb15: {
                const unsigned v = unsigned(row[2 * x]) << 8 | row[2 * x + 1];
                out[x] = qRgb(expand5(v >> 10 & 31), expand5(v >> 5 & 31), expand5(v & 31));
                break;
            }
            case LosslessFormat::Rgb32: {
                const uint8_t *p = row + 4 * x;
                out[x] = alpha ? premultiplied(p[0], p[1], p[2], p[3]) : qRgb(p[1], p[2], p[3]);
                break;
            }
            }
        }
    }
    return image;
}

// ---- JPEG through libjpeg ----

struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

struct JpegJob {
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress;
    const uint8_t *data;
    size_t size;
    bool created;
    bool complete;
};

[[noreturn]] void jpegFailed(j_common_ptr info)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void jpegMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // trace output
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    if (info->err->msg_code == JWRN_JPEG_EOF)
        errors->truncated = true;
    ++info->err->num_warnings;
}

// Every scan of a progressive image costs a pass over all its pixels.
void jpegProgress(j_common_ptr info)
{
    const auto *d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > kMaxJpegScans) {
        info->err->msg_code = JERR_BAD_PROGRESSION;
        (*info->err->error_exit)(info);
    }
}

// The two steps run under setjmp; nothing in their frames needs
// destroying, and all state lives in the job, outside them.
bool jpegReadHeader(JpegJob &job)
{
    if (setjmp(job.errors.jump))
        return false;
    jpeg_create_decompress(&job.info);
    job.created = true;
    job.info.progress = &job.progress;
    job.info.mem->max_memory_to_use = 768L << 20;
    jpeg_mem_src(&job.info, job.data, static_cast<unsigned long>(job.size));
    jpeg_read_header(&job.info, TRUE);
    const bool cmyk = job.info.jpeg_color_space == JCS_CMYK || job.info.jpeg_color_space == JCS_YCCK;
    job.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    return true;
}

bool jpegReadPixels(JpegJob &job, uchar *bits, qsizetype bytesPerLine)
{
    if (setjmp(job.errors.jump))
        return false;
    jpeg_start_decompress(&job.info);
    const int components = job.info.output_components;
    JSAMPARRAY row = (*job.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&job.info), JPOOL_IMAGE,
                                                   job.info.output_width * JDIMENSION(components), 1);
    while (job.info.output_scanline < job.info.output_height) {
        const JDIMENSION y = job.info.output_scanline;
        if (jpeg_read_scanlines(&job.info, row, 1) != 1)
            break;
        auto *out = reinterpret_cast<QRgb *>(bits + qsizetype(y) * bytesPerLine);
        const JSAMPLE *in = row[0];
        for (JDIMENSION x = 0; x < job.info.output_width; ++x, in += components) {
            if (components == 4) {
                // Adobe writes CMYK inverted.
                const unsigned k = in[3];
                out[x] = qRgb(int(in[0] * k / 255), int(in[1] * k / 255), int(in[2] * k / 255));
            } else if (components == 3) {
                out[x] = qRgb(in[0], in[1], in[2]);
            } else {
                out[x] = qRgb(in[0], in[0], in[0]);
            }
        }
    }
    job.complete = job.info.output_scanline >= job.info.output_height;
    jpeg_finish_decompress(&job.info);
    return true;
}

QImage decodeJpeg(const QByteArray &stream, QString *message)
{
    if (stream.isEmpty()) {
        fail(message, QStringLiteral("the bitmap has no image data"));
        return {};
    }
    auto job = std::make_unique<JpegJob>();
    job->info.err = jpeg_std_error(&job->errors.manager);
    job->errors.manager.error_exit = jpegFailed;
    job->errors.manager.emit_message = jpegMessage;
    job->progress.progress_monitor = jpegProgress;
    job->data = reinterpret_cast<const uint8_t *>(stream.constData());
    job->size = size_t(stream.size());

    QImage image;
    if (!jpegReadHeader(*job)) {
        fail(message, QStringLiteral("the JPEG image is unreadable: %1").arg(QString::fromLocal8Bit(job->errors.message)));
    } else {
        const int64_t w = job->info.image_width;
        const int64_t h = job->info.image_height;
        if (sizeAllowed(w, h, message) && plausible(w, h, stream.size(), message)) {
            image = QImage(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
            if (image.isNull()) {
                fail(message, QStringLiteral("not enough memory for the bitmap"));
            } else {
                image.fill(qRgb(0, 0, 0));
                const bool read = jpegReadPixels(*job, image.bits(), image.bytesPerLine());
                if (!read && !job->complete && job->info.output_scanline == 0) {
                    fail(message, QStringLiteral("the JPEG image is unreadable: %1")
                                      .arg(QString::fromLocal8Bit(job->errors.message)));
                    image = QImage();
                } else if (!job->complete || job->errors.truncated) {
                    fail(message, QStringLiteral("the JPEG image breaks off; the rest is black"));
                }
            }
        }
    }
    if (job->created)
        jpeg_destroy_decompress(&job->info);
    return image;
}

QImage decodeWithQt(const QByteArray &data, const char *format, QString *message)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (!size.isValid()) {
        fail(message, QStringLiteral("the %1 image is unreadable").arg(QString::fromLatin1(format)));
        return {};
    }
    if (!sizeAllowed(size.width(), size.height(), message)
        || !plausible(size.width(), size.height(), data.size(), message))
        return {};
    QImage image = reader.read();
    if (image.isNull()) {
        fail(message, QStringLiteral("the %1 image is unreadable: %2").arg(QString::fromLatin1(format), reader.errorString()));
        return {};
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void applyAlphaPlane(QImage &image, const QByteArray &alphaData, QString *message)
{
    const size_t count = size_t(image.width()) * size_t(image.height());
    const QByteArray alpha = inflateUpTo(alphaData, count);
    if (size_t(alpha.size()) < count) {
        fail(message, QStringLiteral("the bitmap's alpha plane is incomplete; drawn opaque"));
        return;
    }
    const auto *a = reinterpret_cast<const uint8_t *>(alpha.constData());
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, ++a) {
            // The colour planes were stored premultiplied.
            const QRgb p = row[x];
            row[x] = premultiplied(*a, uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p)));
        }
    }
}

uint16_t be16(const uint8_t *p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

} // namespace

QByteArray joinJpegStreams(const QByteArray &tables, const QByteArray &image)
{
    const QByteArray raw = tables + image;
    const auto *p = reinterpret_cast<const uint8_t *>(raw.constData());
    const size_t n = size_t(raw.size());
    size_t i = 0;
    // Some encoders start with an end marker before the real start.
    if (n >= 4 && p[0] == 0xFF && p[1] == 0xD9 && p[2] == 0xFF && p[3] == 0xD8)
        i = 2;
    if (i + 2 > n || p[i] != 0xFF || p[i + 1] != 0xD8)
        return raw.mid(qsizetype(i));
    QByteArray out;
    out.reserve(qsizetype(n));
    out.append("\xFF\xD8", 2);
    i += 2;
    // Copy marker segments up to the first scan, dropping the end and start
    // markers where one stream gave way to the next.
    while (i + 1 < n && p[i] == 0xFF) {
        const uint8_t marker = p[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0xD8 || marker == 0xD9) {
            i += 2;
            continue;
        }
        if (marker == 0xDA)
            break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            out.append(raw.constData() + i, 2);
            i += 2;
            continue;
        }
        if (i + 4 > n)
            break;
        const size_t length = be16(p + i + 2);
        if (length < 2 || i + 2 + length > n)
            break;
        out.append(raw.constData() + i, qsizetype(2 + length));
        i += 2 + length;
    }
    out.append(raw.constData() + i, qsizetype(n - i));
    return out;
}

QImage decodeBitmap(const Bitmap &bitmap, const QByteArray &jpegTables, QString *message)
{
    if (message)
        message->clear();
    switch (bitmap.kind) {
    case BitmapKind::Lossless:
    case BitmapKind::Lossless2:
        return decodeLossless(bitmap, message);
    case BitmapKind::Jpeg:
    case BitmapKind::Jpeg2:
    case BitmapKind::Jpeg3:
    case BitmapKind::Jpeg4:
        break;
    }
    const ImageFormat format = detectImageFormat(bitmap.data);
    if (format == ImageFormat::Png)
        return decodeWithQt(bitmap.data, "png", message);
    if (format == ImageFormat::Gif)
        return decodeWithQt(bitmap.data, "gif", message);
    const QByteArray tables = bitmap.kind == BitmapKind::Jpeg ? jpegTables : QByteArray();
    QImage image = decodeJpeg(joinJpegStreams(tables, bitmap.data), message);
    if (!image.isNull() && !bitmap.alphaData.isEmpty()
        && (bitmap.kind == BitmapKind::Jpeg3 || bitmap.kind == BitmapKind::Jpeg4))
        applyAlphaPlane(image, bitmap.alphaData, message);
    return image;
}

} // namespace swf
