#include "platform/JpegImage.h"

#include <QFile>
#include <QPainter>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>

namespace platform {
namespace {

// Larger pictures are refused rather than risking the memory for them.
constexpr qint64 kMaxPixels = qint64(64) << 20;

struct Errors {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

[[noreturn]] void failed(j_common_ptr info)
{
    auto *errors = reinterpret_cast<Errors *>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings are not shown; data that end early count as damage, since the
// decoder would quietly paint the rest grey.
void quiet(j_common_ptr info, int level)
{
    auto *errors = reinterpret_cast<Errors *>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        errors->truncated = true;
        std::snprintf(errors->message, sizeof errors->message, "%s", "the data end early");
    }
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

struct Decoder {
    jpeg_decompress_struct info;
    Errors errors;
    bool created = false;
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

// Under setjmp: nothing in this frame needs destroying.
bool readHeader(Decoder &d, const QByteArray &data, QSize atLeast)
{
    if (setjmp(d.errors.jump))
        return false;
    jpeg_create_decompress(&d.info);
    d.created = true;
    jpeg_mem_src(&d.info, reinterpret_cast<const unsigned char *>(data.constData()), (unsigned long)data.size());
    jpeg_read_header(&d.info, TRUE);
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    if (atLeast.width() > 0 && atLeast.height() > 0) {
        const qint64 w = d.info.image_width, h = d.info.image_height;
        unsigned n = 8;
        // ceil(w * (n-1) / 8) >= target keeps the shrunk picture large enough.
        while (n > 1 && (w * (n - 1) + 7) / 8 >= atLeast.width() && (h * (n - 1) + 7) / 8 >= atLeast.height())
            --n;
        d.info.scale_num = n;
        d.info.scale_denom = 8;
    }
    jpeg_calc_output_dimensions(&d.info);
    return true;
}

bool readPixels(Decoder &d, QImage &image)
{
    if (setjmp(d.errors.jump))
        return false;
    jpeg_start_decompress(&d.info);
    const bool cmyk = d.info.out_color_space == JCS_CMYK;
    JSAMPARRAY cmykRow = cmyk ? (*d.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.info), JPOOL_IMAGE,
                                                            d.info.output_width * 4, 1)
                              : nullptr;
    while (d.info.output_scanline < d.info.output_height) {
        const JDIMENSION y = d.info.output_scanline;
        JSAMPROW row = cmyk ? cmykRow[0] : image.scanLine(int(y));
        if (jpeg_read_scanlines(&d.info, &row, 1) != 1)
            return false;
        if (cmyk) {
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
            const JSAMPLE *in = cmykRow[0];
            // Adobe writes CMYK inverted.
            for (JDIMENSION x = 0; x < d.info.output_width; ++x, in += 4) {
                const unsigned k = in[3];
                out[x] = qRgb(int(in[0] * k / 255), int(in[1] * k / 255), int(in[2] * k / 255));
            }
        }
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

struct Encoder {
    jpeg_compress_struct info;
    Errors errors;
    bool created = false;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    ~Encoder()
    {
        if (created)
            jpeg_destroy_compress(&info);
        std::free(buffer);
    }
};

bool compress(Encoder &e, const QImage &image, int quality)
{
    if (setjmp(e.errors.jump))
        return false;
    jpeg_create_compress(&e.info);
    e.created = true;
    jpeg_mem_dest(&e.info, &e.buffer, &e.size);
    e.info.image_width = JDIMENSION(image.width());
    e.info.image_height = JDIMENSION(image.height());
    e.info.input_components = 4;
    e.info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, quality, TRUE);
    jpeg_start_compress(&e.info, TRUE);
    while (e.info.next_scanline < e.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(e.info.next_scanline)));
        jpeg_write_scanlines(&e.info, &row, 1);
    }
    jpeg_finish_compress(&e.info);
    return true;
}

// Decodes into image, reusing its buffer when it has the size already.
bool decodeInto(const QByteArray &data, QSize atLeast, QImage &image, QString *error)
{
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 rows are read as BGRX");
    auto d = std::make_unique<Decoder>();
    d->info.err = jpeg_std_error(&d->errors.manager);
    d->errors.manager.error_exit = failed;
    d->errors.manager.emit_message = quiet;
    if (data.isEmpty()) {
        setError(error, QStringLiteral("The picture is empty."));
        return false;
    }
    if (!readHeader(*d, data, atLeast)) {
        setError(error, QStringLiteral("The picture is not a readable JPEG image (%1).")
                            .arg(QString::fromLocal8Bit(d->errors.message)));
        return false;
    }
    const qint64 w = d->info.output_width, h = d->info.output_height;
    if (w <= 0 || h <= 0 || w * h > kMaxPixels || w > 65535 || h > 65535) {
        setError(error, QStringLiteral("The picture is too large to read (%1 × %2 pixels).").arg(w).arg(h));
        return false;
    }
    if (image.size() != QSize(int(w), int(h)) || image.format() != QImage::Format_RGB32)
        image = QImage(int(w), int(h), QImage::Format_RGB32);
    if (image.isNull()) {
        setError(error, QStringLiteral("There is not enough memory to read the picture."));
        return false;
    }
    if (!readPixels(*d, image) || d->errors.truncated) {
        setError(error, QStringLiteral("The picture is a damaged JPEG image (%1).")
                            .arg(QString::fromLocal8Bit(d->errors.message)));
        return false;
    }
    return true;
}

bool readFileInto(const QString &path, QByteArray &bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("The picture \"%1\" cannot be opened: %2.").arg(path, file.errorString()));
        return false;
    }
    const qint64 size = file.size();
    bytes.resize(qsizetype(size));
    if (size > 0 && file.read(bytes.data(), size) != size) {
        setError(error, QStringLiteral("The picture \"%1\" cannot be read: %2.").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray &data, QSize atLeast, QString *error)
{
    QImage image;
    return decodeInto(data, atLeast, image, error) ? image : QImage();
}

QSize jpegSize(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    auto d = std::make_unique<Decoder>();
    d->info.err = jpeg_std_error(&d->errors.manager);
    d->errors.manager.error_exit = failed;
    d->errors.manager.emit_message = quiet;
    if (!readHeader(*d, data, QSize()))
        return {};
    return QSize(int(d->info.image_width), int(d->info.image_height));
}

QImage readJpegFile(const QString &path, QSize atLeast, QString *error)
{
    QByteArray bytes;
    if (!readFileInto(path, bytes, error))
        return {};
    QString why;
    QImage image = decodeJpeg(bytes, atLeast, &why);
    if (image.isNull())
        setError(error, QStringLiteral("\"%1\": %2").arg(path, why));
    return image;
}

QByteArray encodeJpeg(const QImage &source, int quality, QString *error)
{
    if (source.isNull() || source.width() > 65500 || source.height() > 65500) {
        setError(error, QStringLiteral("There is no picture to encode."));
        return {};
    }
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
                             ? source
                             : source.convertToFormat(QImage::Format_RGB32);
    auto e = std::make_unique<Encoder>();
    e->info.err = jpeg_std_error(&e->errors.manager);
    e->errors.manager.error_exit = failed;
    e->errors.manager.emit_message = quiet;
    if (!compress(*e, image, qBound(1, quality, 100))) {
        setError(error, QStringLiteral("The picture could not be encoded as JPEG (%1).")
                            .arg(QString::fromLocal8Bit(e->errors.message)));
        return {};
    }
    return QByteArray(reinterpret_cast<const char *>(e->buffer), qsizetype(e->size));
}

QImage resampleImage(const QImage &image, QSize size)
{
    if (image.size() == size || size.isEmpty() || image.isNull())
        return image;
    QImage target(size, QImage::Format_RGB32);
    resampleInto(image, target);
    return target;
}

void resampleInto(const QImage &image, QImage &target)
{
    if (target.isNull() || image.isNull())
        return;
    if (image.size() == target.size()) {
        QPainter(&target).drawImage(0, 0, image);
        return;
    }
    const bool belowHalf = target.width() * 2 < image.width() || target.height() * 2 < image.height();
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (belowHalf) {
        painter.drawImage(0, 0, image.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target.rect(), image);
}

JpegRecoder::JpegRecoder(QSize size, int quality)
    : m_quality(quality), m_target(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32)
{
}

QByteArray JpegRecoder::recode(const QByteArray &data, QString *error)
{
    if (m_target.isNull()) {
        setError(error, QStringLiteral("There is not enough memory for the picture."));
        return {};
    }
    if (!decodeInto(data, m_target.size(), m_decoded, error))
        return {};
    resampleInto(m_decoded, m_target);
    return encodeJpeg(m_target, m_quality, error);
}

QByteArray JpegRecoder::recodeFile(const QString &path, QString *error)
{
    QString why;
    if (!readFileInto(path, m_file, error))
        return {};
    QByteArray jpeg = recode(m_file, &why);
    if (jpeg.isEmpty())
        setError(error, QStringLiteral("\"%1\": %2").arg(path, why));
    return jpeg;
}

} // namespace platform
