// Frame pictures through libjpeg: shrinking in the decoder, resampling,
// re-encoding with kept buffers, and damaged input.
#include "platform/FontList.h"
#include "platform/JpegImage.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace platform;

namespace {

// Left half red, right half blue.
QImage Halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), Qt::blue);
    return image;
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

TEST(JpegImage, DecoderShrinksToTheSmallestScaleThatStillCovers)
{
    const QByteArray jpeg = encodeJpeg(Halves(QSize(1146, 833)), 90);
    ASSERT_FALSE(jpeg.isEmpty());
    EXPECT_EQ(jpegSize(jpeg), QSize(1146, 833));
    EXPECT_EQ(decodeJpeg(jpeg).size(), QSize(1146, 833));
    // 550 x 400 needs 4/8 (573 x 417); 3/8 would be 430 x 313.
    EXPECT_EQ(decodeJpeg(jpeg, QSize(550, 400)).size(), QSize(573, 417));
    // Exactly half fits at 4/8; one pixel more needs 5/8.
    EXPECT_EQ(decodeJpeg(jpeg, QSize(573, 417)).size(), QSize(573, 417));
    EXPECT_EQ(decodeJpeg(jpeg, QSize(574, 10)).size(), QSize(717, 521));
    // Larger than the picture: full size, never enlarged by the decoder.
    EXPECT_EQ(decodeJpeg(jpeg, QSize(2000, 2000)).size(), QSize(1146, 833));
}

TEST(JpegImage, RecoderGivesTheSizeAndKeepsColoursAcrossPictures)
{
    JpegRecoder recoder(QSize(550, 400), 80);
    for (const QSize source : {QSize(1146, 833), QSize(600, 300), QSize(275, 200)}) {
        const QByteArray out = recoder.recode(encodeJpeg(Halves(source), 95));
        ASSERT_FALSE(out.isEmpty()) << source.width();
        EXPECT_EQ(jpegSize(out), QSize(550, 400));
        const QImage back = decodeJpeg(out);
        EXPECT_TRUE(Near(back.pixel(100, 200), qRgb(255, 0, 0), 24)) << source.width();
        EXPECT_TRUE(Near(back.pixel(450, 200), qRgb(0, 0, 255), 24)) << source.width();
    }
}

TEST(JpegImage, ShrinkingFarAveragesInsteadOfPickingPixels)
{
    // One-pixel stripes: a quarter-size picture must come out grey, where
    // picking every fourth pixel would give pure black or white.
    QImage stripes(400, 400, QImage::Format_RGB32);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage small = resampleImage(stripes, QSize(100, 100));
    ASSERT_EQ(small.size(), QSize(100, 100));
    for (int x = 10; x < 90; x += 7)
        EXPECT_NEAR(qGray(small.pixel(x, 50)), 128, 20) << x;
    EXPECT_EQ(resampleImage(stripes, stripes.size()).constBits(), stripes.constBits()); // no copy
}

TEST(JpegImage, DamagedAndMissingPicturesSayWhy)
{
    QString error;
    EXPECT_TRUE(decodeJpeg(QByteArray("not a picture"), QSize(), &error).isNull());
    EXPECT_FALSE(error.isEmpty());

    // Cut in the middle of its picture data: not a grey lower half.
    const QByteArray whole = encodeJpeg(Halves(QSize(640, 480)), 90);
    error.clear();
    EXPECT_TRUE(decodeJpeg(whole.left(whole.size() * 3 / 4), QSize(), &error).isNull());
    EXPECT_TRUE(error.contains(QStringLiteral("damaged"))) << error.toStdString();

    JpegRecoder recoder(QSize(10, 10), 70);
    error.clear();
    EXPECT_TRUE(recoder.recodeFile(QStringLiteral("/nonexistent/frame.jpg"), &error).isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/frame.jpg"))) << error.toStdString();
    EXPECT_FALSE(jpegSize(QByteArray("\xFF\xD8 nothing")).isValid());
    EXPECT_TRUE(encodeJpeg(QImage(), 70, &error).isEmpty());
}

TEST(FontList, NamesFollowTheInstalledFontsTable)
{
    const auto entries = installedFontEntries();
    ASSERT_FALSE(entries.isEmpty()); // fontconfig always has some font here
    for (const auto &[name, file] : entries) {
        EXPECT_TRUE(name.endsWith(QStringLiteral(" (TrueType)")) || name.endsWith(QStringLiteral(" (OpenType)")))
            << name.toStdString();
        EXPECT_FALSE(name.contains(QStringLiteral("Oblique"))) << name.toStdString();
        EXPECT_TRUE(file.startsWith(QLatin1Char('/'))) << file.toStdString();
    }
}
