// Pictures drawn straight at the sheet's resolution against the wizard's
// road through 150-dpi captures, and drawing ahead of the pages.
#include "SheetFixture.h"

#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "movie/Capture.h"
#include "platform/JpegImage.h"
#include "sheet/RenderedPictures.h"

#include <QTemporaryDir>

#include <cmath>

namespace {

class RenderedPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TempImageBase = dir.filePath("VELUMOR");
        QString error;
        movie = std::make_shared<swf::Movie>(swf::readMovieFile(TESSORY_DEMO_MOVIE, &error));
        ASSERT_TRUE(movie->ok()) << qPrintable(error);
        IsSWFMode = true;
        Scenes = {TSceneInfo()};
    }
    void TearDown() override
    {
        TempImageBase.clear();
        Scenes.clear();
    }
    static QImage decoded(const TPdfPicture &p) { return platform::decodeJpeg(p.Jpeg); }

    QTemporaryDir dir;
    std::shared_ptr<const swf::Movie> movie;
    const QSize stage{550, 400};
};

// Mean and largest difference of the channels, on a 0..255 scale.
std::pair<double, int> difference(const QImage &a, const QImage &b)
{
    double sum = 0;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += std::abs(d);
                largest = std::max(largest, std::abs(d));
            }
        }
    return {sum / (3.0 * a.width() * a.height()), largest};
}

TEST_F(RenderedPictures, DrawnStraightTheyMatchTheCapturedRoadWithinJpegNoise)
{
    swf::Player player(movie);
    const TCaptureResult captured = CaptureFileFrames(player, stage, 1, 96, Scenes[0]);
    ASSERT_TRUE(captured.Error.isEmpty()) << qPrintable(captured.Error);
    TFrameArr frames;
    for (const int n : {0, 30, 60, 95}) {
        TFrame f;
        f.FrameIndex = n;
        f.FileName = FrameImageFileName(n);
        frames << f;
    }
    TCapturedPictures viaFiles(stage);
    viaFiles.BeginRun(72, 90);
    const QVector<TPdfPicture> round = viaFiles.PdfPictures(frames);
    swf::Player own(movie);
    TRenderedPictures straight(own, stage);
    straight.BeginRun(72, 90);
    const QVector<TPdfPicture> direct = straight.PdfPictures(frames);
    ASSERT_EQ(direct.size(), round.size());
    for (int i = 0; i < direct.size(); ++i) {
        EXPECT_EQ(direct[i].Pixels, QSize(550, 400));
        const auto [mean, largest] = difference(decoded(direct[i]), decoded(round[i]));
        EXPECT_LT(mean, 3.0) << "frame " << frames[i].FrameIndex + 1 << ", largest " << largest;
    }
    // A frame is not the frame after it: the comparison can tell.
    EXPECT_GT(difference(decoded(direct[0]), decoded(round[1])).first, 3.0);
}

TEST_F(RenderedPictures, DrawingAheadGivesTheSamePicturesInTheAnnouncedOrder)
{
    Scenes[0].FrameCount = 96;
    TFrameArr frames;
    for (const int n : {5, 6, 40, 7, 90, 2}) { // a sheet's order, jumps included
        TFrame f;
        f.FrameIndex = n;
        frames << f;
    }
    swf::Player a(movie), b(movie);
    TRenderedPictures plain(a, stage), ahead(b, stage);
    plain.BeginRun(50, 80);
    ahead.BeginRun(50, 80);
    ahead.Announce(std::span<const TFrame>(frames.constData(), size_t(frames.size())));
    const QVector<TPdfPicture> expected = plain.PdfPictures(frames);
    QVector<TPdfPicture> got = ahead.PdfPictures(std::span<const TFrame>(frames.constData(), 4));
    got += ahead.PdfPictures(std::span<const TFrame>(frames.constData() + 4, 2));
    ASSERT_EQ(got.size(), expected.size());
    for (int i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].Jpeg, expected[i].Jpeg) << "picture " << i;
    EXPECT_EQ(ahead.Drawn(), 6);

    // Asking for other frames than announced is a fault of the caller.
    swf::Player c(movie);
    TRenderedPictures strict(c, stage);
    strict.BeginRun(50, 80);
    strict.Announce(std::span<const TFrame>(frames.constData(), size_t(frames.size())));
    EXPECT_THROW(strict.PdfPictures(std::span<const TFrame>(frames.constData() + 1, 1)), std::logic_error);
    strict.EndRun();
}

} // namespace
