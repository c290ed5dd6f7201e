#include "ReaderTestSupport.h"

#include "engines/flashplayer/SwfBitmaps.h"

#include <QBuffer>
#include <QImage>

#include <cstdlib>
#include <string>

namespace {

using namespace swftest;

swf::Bitmap readBitmap(SwfWriter &w, QByteArray *tables = nullptr)
{
    w.showFrame();
    const swf::Movie movie = readClean(w);
    if (tables)
        *tables = movie.jpegTables;
    const auto *bitmap = movie.character<swf::Bitmap>(1);
    if (!bitmap)
        throw std::runtime_error("bitmap missing");
    return *bitmap;
}

QImage decode(const swf::Bitmap &bitmap, const QByteArray &tables = {}, QString *message = nullptr)
{
    QString local;
    const QImage image = swf::decodeBitmap(bitmap, tables, message ? message : &local);
    if (!image.isNull()) {
        EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    }
    return image;
}

// Compares the stored premultiplied value, not QImage::pixel's conversion.
::testing::AssertionResult pixelIs(const QImage &image, int x, int y, QRgb expected, int tolerance = 0)
{
    const QRgb raw = reinterpret_cast<const QRgb *>(image.constScanLine(y))[x];
    const int d[] = {qRed(raw) - qRed(expected), qGreen(raw) - qGreen(expected), qBlue(raw) - qBlue(expected),
                     qAlpha(raw) - qAlpha(expected)};
    for (int v : d) {
        if (std::abs(v) > tolerance)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << "," << y << ") is " << std::hex << raw << ", expected " << expected;
    }
    return ::testing::AssertionSuccess();
}

// ---- lossless ----

TEST(Lossless, PaletteWithoutAlphaAndPaddedRows)
{
    // Three entries; 3 x 2 pixels, each row padded to 4 bytes. Index 9 is
    // outside the palette.
    const QByteArray data = QByteArray::fromHex("ff0000" "00ff00" "0000ff"
                                                "000102" "ee"
                                                "020109" "ee");
    SwfWriter w;
    w.defineBitsLossless(1, 1, 3, 3, 2, data, 3);
    const QImage image = decode(readBitmap(w));
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_TRUE(pixelIs(image, 0, 0, qRgb(255, 0, 0)));
    EXPECT_TRUE(pixelIs(image, 1, 0, qRgb(0, 255, 0)));
    EXPECT_TRUE(pixelIs(image, 2, 0, qRgb(0, 0, 255)));
    EXPECT_TRUE(pixelIs(image, 0, 1, qRgb(0, 0, 255)));
    EXPECT_TRUE(pixelIs(image, 1, 1, qRgb(0, 255, 0)));
    EXPECT_TRUE(pixelIs(image, 2, 1, qRgb(0, 0, 0)));
}

TEST(Lossless, PaletteWithPremultipliedAlpha)
{
    const QByteArray data = QByteArray::fromHex("80000080" "ffffffff" "c0400080"
                                                "00010203"); // index 3 is outside
    SwfWriter w;
    w.defineBitsLossless(2, 1, 3, 4, 1, data, 3);
    const QImage image = decode(readBitmap(w));
    ASSERT_EQ(image.size(), QSize(4, 1));
    EXPECT_TRUE(pixelIs(image, 0, 0, qRgba(128, 0, 0, 128)));
    EXPECT_TRUE(pixelIs(image, 1, 0, qRgba(255, 255, 255, 255)));
    EXPECT_TRUE(pixelIs(image, 2, 0, qRgba(128, 64, 0, 128))) << "colour above alpha is clamped";
    EXPECT_TRUE(pixelIs(image, 3, 0, qRgba(0, 0, 0, 0)));
}

TEST(Lossless, Rgb15BigEndianWithExpandedChannels)
{
    // 3 x 2 pixels of two bytes, rows padded from 6 to 8 bytes.
    const QByteArray data = QByteArray::fromHex("7c00" "03e0" "001f" "0000"
                                                "4210" "7fff" "0421" "0000");
    SwfWriter w;
    w.defineBitsLossless(1, 1, 4, 3, 2, data);
    const QImage image = decode(readBitmap(w));
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_TRUE(pixelIs(image, 0, 0, qRgb(255, 0, 0)));
    EXPECT_TRUE(pixelIs(image, 1, 0, qRgb(0, 255, 0)));
    EXPECT_TRUE(pixelIs(image, 2, 0, qRgb(0, 0, 255)));
    EXPECT_TRUE(pixelIs(image, 0, 1, qRgb(132, 132, 132)));
    EXPECT_TRUE(pixelIs(image, 1, 1, qRgb(255, 255, 255)));
    EXPECT_TRUE(pixelIs(image, 2, 1, qRgb(8, 8, 8)));
}

TEST(Lossless, Rgb32IgnoresTheFirstByteWithoutAlpha)
{
    const QByteArray data = QByteArray::fromHex("00102030" "ff405060");
    SwfWriter w;
    w.defineBitsLossless(1, 1, 5, 1, 2, data);
    const QImage image = decode(readBitmap(w));
    EXPECT_TRUE(pixelIs(image, 0, 0, qRgb(0x10, 0x20, 0x30)));
    EXPECT_TRUE(pixelIs(image, 0, 1, qRgb(0x40, 0x50, 0x60)));
}

TEST(Lossless, Argb32IsPremultipliedAndKeptValid)
{
    const QByteArray data = QByteArray::fromHex("80402010" "00000000" "40ff8020");
    SwfWriter w;
    w.defineBitsLossless(2, 1, 5, 3, 1, data);
    const QImage image = decode(readBitmap(w));
    EXPECT_TRUE(pixelIs(image, 0, 0, qRgba(0x40, 0x20, 0x10, 0x80)));
    EXPECT_TRUE(pixelIs(image, 1, 0, qRgba(0, 0, 0, 0)));
    EXPECT_TRUE(pixelIs(image, 2, 0, qRgba(0x40, 0x40, 0x20, 0x40)));
}

TEST(Lossless, LastRowWithoutPaddingIsAccepted)
{
    const QByteArray data = QByteArray::fromHex("ff0000" "00000000" "000000"); // 3 x 2, last row unpadded
    SwfWriter w;
    w.defineBitsLossless(1, 1, 3, 3, 2, data, 1);
    const QImage image = decode(readBitmap(w));
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(pixelIs(image, 2, 1, qRgb(255, 0, 0)));
}

struct RefusedCase {
    const char *name;
    uint8_t format;
    uint16_t width, height;
    QByteArray pixels;
    const char *reason;
};

class RefusedLossless : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedLossless, GiveANullImageAndAReason)
{
    swf::Bitmap bitmap;
    bitmap.kind = swf::BitmapKind::Lossless2;
    bitmap.losslessFormat = swf::LosslessFormat(GetParam().format);
    bitmap.colorTableSize = 2;
    bitmap.width = GetParam().width;
    bitmap.height = GetParam().height;
    bitmap.data = SwfWriter::zlibCompress(GetParam().pixels);
    QString message;
    EXPECT_TRUE(swf::decodeBitmap(bitmap, {}, &message).isNull());
    EXPECT_TRUE(message.contains(GetParam().reason)) << message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedLossless,
    ::testing::Values(RefusedCase{"DataEndsEarly", 5, 4, 4, QByteArray(60, 'x'), "ends early"},
                      RefusedCase{"PaletteOnly", 3, 2, 2, QByteArray(8, 'x'), "ends early"},
                      RefusedCase{"TooWide", 5, 9000, 1, QByteArray(16, 'x'), "limit"},
                      RefusedCase{"ZeroSize", 5, 0, 10, QByteArray(), "no pixels"},
                      // Few bytes that claim the whole limit: no pixel memory is taken.
                      RefusedCase{"ZlibBombSized", 5, 8192, 8192, QByteArray(1000, '\0'), "ends early"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Lossless, DamagedZlibIsRefused)
{
    swf::Bitmap bitmap;
    bitmap.kind = swf::BitmapKind::Lossless;
    bitmap.width = bitmap.height = 2;
    bitmap.data = QByteArray("\x78\x9c\xff\xff\xff\xff", 6);
    QString message;
    EXPECT_TRUE(swf::decodeBitmap(bitmap, {}, &message).isNull());
    EXPECT_FALSE(message.isEmpty());
}

// ---- JPEG, PNG, GIF ----

// Four flat quadrants, so that lossy coding leaves their middles near exact.
QImage quadrants(int size = 32)
{
    QImage image(size, size, QImage::Format_RGB32);
    const int h = size / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, x < h ? (y < h ? qRgb(200, 40, 40) : qRgb(40, 200, 40))
                                       : (y < h ? qRgb(40, 40, 200) : qRgb(230, 230, 230)));
    return image;
}

QByteArray encoded(const QImage &image, const char *format, int quality = 100)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        throw std::runtime_error("could not encode test image");
    return bytes;
}

void expectQuadrants(const QImage &image, int tolerance = 12)
{
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_TRUE(pixelIs(image, 8, 8, qRgb(200, 40, 40), tolerance));
    EXPECT_TRUE(pixelIs(image, 8, 24, qRgb(40, 200, 40), tolerance));
    EXPECT_TRUE(pixelIs(image, 24, 8, qRgb(40, 40, 200), tolerance));
    EXPECT_TRUE(pixelIs(image, 24, 24, qRgb(230, 230, 230), tolerance));
}

TEST(Jpeg, WithItsOwnTables)
{
    SwfWriter w;
    w.defineBitsJpeg2(1, encoded(quadrants(), "JPG"));
    expectQuadrants(decode(readBitmap(w)));
}

TEST(Jpeg, WithTheMovieTables)
{
    QByteArray tables;
    QByteArray image;
    SwfWriter::splitJpegTables(encoded(quadrants(), "JPG"), tables, image);
    SwfWriter w;
    w.jpegTables(tables).defineBits(1, image);
    QByteArray movieTables;
    const swf::Bitmap bitmap = readBitmap(w, &movieTables);
    EXPECT_TRUE(decode(bitmap).isNull()) << "without the tables the image cannot be decoded";
    expectQuadrants(decode(bitmap, movieTables));
}

TEST(Jpeg, StrayMarkersBetweenStreamsAreTolerated)
{
    QByteArray tables;
    QByteArray image;
    SwfWriter::splitJpegTables(encoded(quadrants(), "JPG"), tables, image);
    SwfWriter w;
    // An end marker before the start, and tables and image as two streams.
    w.defineBitsJpeg2(1, QByteArray::fromHex("ffd9") + tables + image);
    expectQuadrants(decode(readBitmap(w)));
}

TEST(Jpeg, AlphaPlaneClampsTheStoredColours)
{
    // The colour planes of an image with alpha hold premultiplied values.
    QImage flat(32, 32, QImage::Format_RGB32);
    flat.fill(qRgb(200, 100, 50));
    QByteArray alpha(32 * 32, '\0');
    for (int i = 0; i < alpha.size(); ++i)
        alpha[i] = char(i % 32 < 16 ? 255 : (i / 32 < 16 ? 128 : 0));
    SwfWriter w;
    w.defineBitsJpeg3(1, encoded(flat, "JPG"), alpha);
    const QImage image = decode(readBitmap(w));
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_TRUE(pixelIs(image, 5, 5, qRgba(200, 100, 50, 255), 6));
    EXPECT_TRUE(pixelIs(image, 20, 5, qRgba(128, 100, 50, 128), 6));
    EXPECT_TRUE(pixelIs(image, 20, 20, qRgba(0, 0, 0, 0)));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(qAlpha(reinterpret_cast<const QRgb *>(image.constScanLine(y))[x]),
                      uint8_t(alpha[y * 32 + x]));
}

TEST(Jpeg, VersionFourAlsoHasAlpha)
{
    SwfWriter w;
    w.defineBitsJpeg4(1, encoded(quadrants(), "JPG"), 0.5, QByteArray(32 * 32, '\x40'));
    const QImage image = decode(readBitmap(w));
    EXPECT_TRUE(pixelIs(image, 24, 24, qRgba(64, 64, 64, 64), 2));
}

TEST(Jpeg, ShortAlphaPlaneLeavesItOpaque)
{
    SwfWriter w;
    w.defineBitsJpeg3(1, encoded(quadrants(), "JPG"), QByteArray(100, '\x10'));
    QString message;
    const QImage image = decode(readBitmap(w), {}, &message);
    expectQuadrants(image);
    EXPECT_TRUE(message.contains("alpha"));
}

TEST(Jpeg, CutShortGivesWhatWasDecoded)
{
    const QByteArray jpeg = encoded(quadrants(64), "JPG");
    swf::Bitmap bitmap;
    bitmap.kind = swf::BitmapKind::Jpeg2;
    const qsizetype scan = jpeg.indexOf("\xFF\xDA");
    ASSERT_GT(scan, 0);
    bitmap.data = jpeg.left(scan + (jpeg.size() - scan) / 2);
    QString message;
    const QImage image = swf::decodeBitmap(bitmap, {}, &message);
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(pixelIs(image, 8, 8, qRgb(200, 40, 40), 12));
    EXPECT_TRUE(message.contains("breaks off"));
}

struct BadJpegCase {
    const char *name;
    QByteArray data;
};

class BadJpegs : public ::testing::TestWithParam<BadJpegCase> {};

TEST_P(BadJpegs, AreRefusedWithoutCrashing)
{
    swf::Bitmap bitmap;
    bitmap.kind = swf::BitmapKind::Jpeg2;
    bitmap.data = GetParam().data;
    QString message;
    EXPECT_TRUE(swf::decodeBitmap(bitmap, {}, &message).isNull());
    EXPECT_FALSE(message.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Data, BadJpegs,
    ::testing::Values(BadJpegCase{"Empty", QByteArray()}, BadJpegCase{"StartOnly", QByteArray::fromHex("ffd8")},
                      BadJpegCase{"Garbage", QByteArray(100, 'g')},
                      // A frame header claiming 8000 x 8000 pixels from a few bytes.
                      BadJpegCase{"LyingFrameHeader", QByteArray::fromHex("ffd8ffc0000b081f401f4001011100ffd9")},
                      BadJpegCase{"OverTheLimit", QByteArray::fromHex("ffd8ffc0000b0820012001011100ffd9")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(OtherFormats, PngWithTransparencyIsPremultiplied)
{
    QImage source(4, 4, QImage::Format_ARGB32);
    source.fill(qRgba(200, 100, 0, 255));
    source.setPixel(1, 1, qRgba(200, 100, 0, 128));
    source.setPixel(2, 2, qRgba(0, 0, 0, 0));
    SwfWriter w;
    w.defineBitsJpeg2(1, encoded(source, "PNG"));
    const swf::Bitmap bitmap = readBitmap(w);
    EXPECT_EQ(bitmap.format, swf::ImageFormat::Png);
    EXPECT_EQ(bitmap.width, 4);
    const QImage image = decode(bitmap);
    EXPECT_TRUE(pixelIs(image, 0, 0, qRgba(200, 100, 0, 255)));
    EXPECT_TRUE(pixelIs(image, 1, 1, qRgba(100, 50, 0, 128), 1));
    EXPECT_TRUE(pixelIs(image, 2, 2, qRgba(0, 0, 0, 0)));
}

TEST(OtherFormats, Gif)
{
    // 2 x 1 pixels, palette red and blue, pixels 0 and 1 (LZW: clear, 0, 1, end).
    const QByteArray gif = QByteArray::fromHex("4749463839610200010080" "0000" "ff00000000ff"
                                               "2c0000000002000100000202" "440a00" "3b");
    SwfWriter w;
    w.defineBitsJpeg2(1, gif);
    const swf::Bitmap bitmap = readBitmap(w);
    EXPECT_EQ(bitmap.format, swf::ImageFormat::Gif);
    EXPECT_EQ(bitmap.width, 2);
    const QImage image = decode(bitmap);
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_TRUE(pixelIs(image, 0, 0, qRgb(255, 0, 0)));
    EXPECT_TRUE(pixelIs(image, 1, 0, qRgb(0, 0, 255)));
}

} // namespace
