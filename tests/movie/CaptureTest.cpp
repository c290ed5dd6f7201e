// Capturing frames to picture files without the capture step's form.
#include "movie/Capture.h"

#include "platform/JpegImage.h"
#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "support/TestMovies.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) < 8 && std::abs(qGreen(a) - qGreen(b)) < 8 && std::abs(qBlue(a) - qBlue(b)) < 8;
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TempImageBase = dir.filePath("VELUMOR");
        movie = std::make_shared<swf::Movie>(swf::readMovie(swftest::colourFramesMovie(8, 550, 400).bytes()));
        ASSERT_TRUE(movie->ok());
    }
    void TearDown() override { TempImageBase.clear(); }

    QStringList pictures() const { return QDir(dir.path()).entryList({"VELUMOR*.jpg"}, QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    std::shared_ptr<const swf::Movie> movie;
    TSceneInfo scene;
};

TEST_F(Capture, FramesFiveToSevenBecomePicturesFourToSixAtOneHundredFiftyDpi)
{
    EXPECT_EQ(CapturePictureSize(QSize(550, 400)), QSize(1146, 833));
    QFile earlier(FrameImageFileName(0));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.close();

    swf::Player player(movie);
    QList<std::pair<int, int>> told;
    const TCaptureResult r = CaptureFileFrames(player, QSize(550, 400), 5, 7, scene, [&](int done, int total) {
        told << std::pair{done, total};
        return true;
    });
    EXPECT_EQ(r.Captured, 3);
    EXPECT_FALSE(r.Cancelled);
    EXPECT_TRUE(r.Error.isEmpty()) << qPrintable(r.Error);
    EXPECT_EQ(told, (QList<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(scene.FirstFrame, 4);
    EXPECT_EQ(scene.FrameCount, 3);
    EXPECT_EQ(scene.FrameLabels, QStringList(3, QString()));
    EXPECT_EQ(pictures(), (QStringList{"VELUMOR0004.jpg", "VELUMOR0005.jpg", "VELUMOR0006.jpg"}))
        << "the earlier capture's picture is gone";
    for (int n = 4; n <= 6; ++n) {
        const QImage picture = platform::readJpegFile(FrameImageFileName(n));
        EXPECT_EQ(picture.size(), QSize(1146, 833));
        EXPECT_TRUE(near(picture.pixel(573, 416), swftest::frameColour(n))) << "picture " << n;
    }
}

TEST_F(Capture, CancelKeepsWhatWasCapturedAndAFailureSaysWhich)
{
    swf::Player player(movie);
    const TCaptureResult cancelled =
        CaptureFileFrames(player, QSize(550, 400), 1, 8, scene, [](int done, int) { return done < 2; });
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_EQ(cancelled.Captured, 2);
    EXPECT_EQ(scene.FrameCount, 2);
    EXPECT_EQ(scene.FrameLabels.size(), 2);
    EXPECT_EQ(pictures().size(), 2);

    // A folder in the way of the third picture.
    ASSERT_TRUE(QDir(dir.path()).mkdir("VELUMOR0002.jpg"));
    const TCaptureResult failed = CaptureFileFrames(player, QSize(550, 400), 1, 8, scene);
    EXPECT_EQ(failed.Captured, 2);
    EXPECT_EQ(scene.FrameCount, 2);
    EXPECT_TRUE(failed.Error.contains("Frame 3")) << qPrintable(failed.Error);
    EXPECT_TRUE(failed.Error.contains("VELUMOR0002.jpg")) << qPrintable(failed.Error);
}

TEST_F(Capture, AStageTooLargeToDrawCapturesNothing)
{
    swf::Player player(movie);
    const TCaptureResult r = CaptureFileFrames(player, QSize(16000, 16000), 1, 2, scene);
    EXPECT_EQ(r.Captured, 0);
    EXPECT_TRUE(r.Error.contains("16000 x 16000")) << qPrintable(r.Error);
    EXPECT_TRUE(pictures().isEmpty());
    EXPECT_EQ(scene.FrameCount, 0);
}

} // namespace
