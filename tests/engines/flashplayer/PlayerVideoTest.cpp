// Embedded video: each frame of the timeline shows the stream's picture for
// the ratio it is placed with, however the player got to that frame.

#include "PlayerTestSupport.h"
#include "engines/flashplayer/SwfVideo.h"
#include "support/VideoEncoder.h"

#include <QPainter>

using namespace swftest;

namespace {

constexpr uint8_t kSorenson = 2;
constexpr uint8_t kScreenVideo = 3;

// The left half of each picture in its own colour; the right half always
// grey, so that frames after a key frame leave its blocks unchanged.
std::vector<QImage> pictures(const std::vector<QColor> &lefts, QSize size)
{
    std::vector<QImage> out;
    for (const QColor &left : lefts) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(128, 128, 128));
        QPainter(&image).fillRect(QRect(0, 0, size.width() / 2, size.height()), left);
        out.push_back(image);
    }
    return out;
}

// The stream at the stage's top left, moved on a frame per frame. Frames
// listed in `missing` have no VideoFrame; `replaced` ones carry other data.
std::shared_ptr<const swf::Movie> videoMovie(uint8_t codec, const std::vector<QByteArray> &packets, QSize declared,
                                             const std::vector<int> &missing = {},
                                             const std::map<int, QByteArray> &replaced = {})
{
    SwfWriter w = stageOf(200, 100);
    w.setBackgroundColor(255, 255, 255);
    w.defineVideoStream(1, uint16_t(packets.size()), uint16_t(declared.width()), uint16_t(declared.height()), codec);
    for (int i = 0; i < int(packets.size()); ++i) {
        if (std::find(missing.begin(), missing.end(), i) == missing.end())
            w.videoFrame(1, uint16_t(i), replaced.count(i) ? replaced.at(i) : packets[size_t(i)]);
        if (i == 0)
            w.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .matrix = at(0, 0), .ratio = 0});
        else
            w.placeObject2(SwfPlace{.depth = 1, .move = true, .ratio = uint16_t(i)});
        w.showFrame();
    }
    return load(w);
}

const std::vector<QColor> kColours{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};

TEST(PlayerVideo, ScreenVideoFramesInOrderAndByJumping)
{
    const QSize size(128, 48);
    const auto packets = encodeVideo(TestVideoCodec::ScreenVideo, pictures(kColours, size), 3);
    const auto movie = videoMovie(kScreenVideo, packets, size);
    ASSERT_TRUE(movie->warnings.empty()) << qPrintable(movie->warnings.front().message);

    swf::Player player(movie);
    for (int frame = 0; frame < int(kColours.size()); ++frame) {
        player.gotoFrame(frame);
        const QImage img = player.renderImage(QSize(200, 100));
        EXPECT_TRUE(colourNear(img, 20, 20, kColours[size_t(frame)], 0)) << "frame " << frame;
        EXPECT_TRUE(colourNear(img, 100, 20, QColor(128, 128, 128), 0)) << "frame " << frame;
        EXPECT_TRUE(colourNear(img, 150, 20, Qt::white, 0)) << "beyond the stream's 128 pixels";
    }
    // Back to a frame after a key frame, and straight to one from the
    // start: the unchanged half comes from the key frame before.
    for (const int frame : {4, 1, 5, 2}) {
        player.gotoFrame(frame);
        const QImage img = player.renderImage(QSize(200, 100));
        EXPECT_TRUE(colourNear(img, 20, 20, kColours[size_t(frame)], 0)) << "frame " << frame;
        EXPECT_TRUE(colourNear(img, 100, 20, QColor(128, 128, 128), 0)) << "frame " << frame;
    }
    swf::Player fresh(movie);
    fresh.gotoFrame(5);
    EXPECT_TRUE(colourNear(fresh.renderImage(QSize(200, 100)), 100, 20, QColor(128, 128, 128), 0));
}

TEST(PlayerVideo, SorensonVideoShowsTheLatestPictureItHas)
{
    const QSize size(64, 48);
    const auto packets = encodeVideo(TestVideoCodec::SorensonH263, pictures(kColours, size), 2);
    // Frame 3 has no picture and frame 5's data are damaged: both keep the
    // picture before them.
    QByteArray damaged = packets[5];
    for (qsizetype i = 4; i < damaged.size(); ++i)
        damaged[i] = char(0xA5 ^ i);
    const auto movie = videoMovie(kSorenson, packets, size, {3}, {{5, damaged}});
    swf::Player player(movie);
    const std::vector<QColor> expected{Qt::red, Qt::green, Qt::blue, Qt::blue, Qt::cyan, Qt::cyan};
    for (const int frame : {0, 1, 2, 3, 4, 5, 1, 4, 0}) {
        player.gotoFrame(frame);
        EXPECT_TRUE(colourNear(player.renderImage(QSize(200, 100)), 10, 20, expected[size_t(frame)], 24))
            << "frame " << frame;
    }
}

TEST(PlayerVideo, DeblockingSmoothsSmallStepsAtBlockEdgesAndKeepsRealEdges)
{
    // One row through a vertical block edge at x = 8 (samples a b | c d at
    // 6..9), the same down a horizontal one; quantizer 10, strength 5.
    const struct {
        int left, right;
        std::array<int, 4> abcd;
    } cases[] = {
        {100, 108, {101, 103, 105, 107}}, // a step of 8: 3 off the edge, 1 off its neighbours
        {108, 100, {106, 105, 103, 102}}, // downward: divisions round down, not toward zero
    };
    for (const auto &c : cases) {
        for (const bool horizontal : {false, true}) {
            std::vector<uint8_t> plane(16 * 16);
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    plane[size_t(y * 16 + x)] = uint8_t(((horizontal ? y : x) < 8) ? c.left : c.right);
            swf::deblockPlane(plane.data(), 16, 16, 16, 8, 16, {10});
            for (int i = 0; i < 4; ++i) {
                const int at = horizontal ? (6 + i) * 16 + 3 : 3 * 16 + 6 + i;
                EXPECT_EQ(plane[size_t(at)], c.abcd[size_t(i)])
                    << c.left << " to " << c.right << (horizontal ? " down" : " across") << ", sample " << i;
            }
            EXPECT_EQ(plane[size_t(horizontal ? 2 * 16 + 3 : 3 * 16 + 2)], c.left) << "three samples away";
        }
    }
    // An edge far above the strength is the picture's own and stays sharp;
    // a quantizer of 0 (no macroblock) filters nothing.
    for (const auto &[right, quant] : {std::pair{160, 10}, std::pair{108, 0}}) {
        std::vector<uint8_t> plane(16 * 16);
        for (int i = 0; i < 256; ++i)
            plane[size_t(i)] = uint8_t(i % 16 < 8 ? 100 : right);
        const std::vector<uint8_t> before = plane;
        swf::deblockPlane(plane.data(), 16, 16, 16, 8, 16, {uint8_t(quant)});
        EXPECT_EQ(plane, before) << right << ", quantizer " << quant;
    }
}

TEST(PlayerVideo, SorensonFramesAreDeblockedWhenTheFrameOrTheStreamAsks)
{
    // Bands of grey 8 pixels wide, 4 levels apart: small steps on every
    // block edge, which deblocking softens.
    QImage bands(32, 32, QImage::Format_RGB32);
    for (int x = 0; x < 32; ++x)
        QPainter(&bands).fillRect(QRect(x, 0, 1, 32), (x / 8) % 2 ? QColor(104, 104, 104) : QColor(100, 100, 100));
    const QByteArray encoded = encodeVideo(TestVideoCodec::SorensonH263, {bands}, 1).front();
    // The picture header's deblocking bit follows the size (an 8-bit width
    // and height here) and the picture type.
    ASSERT_EQ(((uint8_t(encoded[3]) & 3) << 1) | (uint8_t(encoded[4]) >> 7), 0) << "a custom 8-bit size";
    const int bit = 17 + 5 + 8 + 3 + 16 + 2;
    QByteArray plain = encoded;
    QByteArray flagged = encoded;
    plain[bit / 8] = char(uint8_t(plain[bit / 8]) & ~(0x80 >> (bit % 8)));
    flagged[bit / 8] = char(uint8_t(flagged[bit / 8]) | (0x80 >> (bit % 8)));
    const auto decode = [](const QByteArray &packet, uint8_t deblocking) {
        swf::VideoStream stream;
        stream.codec = kSorenson;
        stream.deblocking = deblocking;
        stream.frames[0] = packet;
        return swf::VideoDecoder(stream).frame(0);
    };
    const QImage off = decode(plain, 0);
    ASSERT_FALSE(off.isNull());
    EXPECT_EQ(decode(flagged, 1), off) << "the stream turns deblocking off";
    const QImage on = decode(flagged, 0);
    EXPECT_EQ(decode(plain, 2), on) << "the stream turns it on";
    int changed = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (on.pixel(x, y) != off.pixel(x, y)) {
                ++changed;
                EXPECT_TRUE(x % 8 == 7 || x % 8 == 0 || x % 16 >= 14 || x % 16 <= 1) << x << "," << y;
            }
    EXPECT_GE(changed, 3 * 32) << "every band edge softened";
}

TEST(PlayerVideo, ColoursOfAStreamWithAlphaComeMultipliedByIt)
{
    // Four pixels of white, each at another alpha: the colour is taken as
    // already multiplied, so it is cut to the alpha, not scaled by it.
    const uint8_t luma[4] = {235, 235, 235, 235};
    const uint8_t chroma[2] = {128, 128};
    const uint8_t alpha[4] = {255, 128, 10, 0};
    const uint8_t grey[4] = {126, 126, 126, 126}; // 128 once converted
    const int strides[4] = {4, 2, 2, 4};
    const uint8_t *withAlpha[4] = {luma, chroma, chroma, alpha};
    const QImage image = swf::imageFromYuv420(4, 1, withAlpha, strides);
    ASSERT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    const QRgb expected[4] = {qRgba(255, 255, 255, 255), qRgba(128, 128, 128, 128), qRgba(10, 10, 10, 10), 0};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(image.pixel(x, 0), expected[x]) << "alpha " << int(alpha[x]);
    // A colour below its alpha stays as it is.
    const uint8_t *greyWithAlpha[4] = {grey, chroma, chroma, alpha};
    EXPECT_EQ(qRed(swf::imageFromYuv420(4, 1, greyWithAlpha, strides).pixel(0, 0)), 128);
    EXPECT_EQ(qRed(swf::imageFromYuv420(4, 1, greyWithAlpha, strides).pixel(1, 0)), 128);
    const uint8_t *opaque[4] = {luma, chroma, chroma, nullptr};
    EXPECT_EQ(swf::imageFromYuv420(4, 1, opaque, strides).pixel(1, 0), qRgb(255, 255, 255));
}

TEST(PlayerVideo, PicturesOfEverySizeConvertWithinTheirOwnMemory)
{
    // Widths that are no multiple of the colour converter's vector width:
    // the conversion once wrote past the picture (seen under the address
    // sanitizer, or as a corrupted heap in a plain build).
    for (const QSize size : {QSize(8, 8), QSize(24, 16), QSize(248, 248), QSize(56, 40)}) {
        const auto packets = encodeVideo(TestVideoCodec::SorensonH263, pictures({Qt::red, Qt::blue}, size), 1);
        swf::Player player(videoMovie(kSorenson, packets, QSize(100, 100)));
        for (int frame = 0; frame < 2; ++frame) {
            player.gotoFrame(frame);
            EXPECT_TRUE(colourNear(player.renderImage(QSize(200, 100)), 10, 50, frame ? Qt::blue : Qt::red, 40))
                << size.width() << " x " << size.height() << ", frame " << frame;
        }
    }
}

TEST(PlayerVideo, ColoursConvertWithStudioRangeLevelsRoundedToTheNearest)
{
    const QSize size(32, 32);
    const std::vector<QColor> colours{QColor(250, 200, 120), QColor(30, 90, 200), QColor(140, 20, 60),
                                      QColor(16, 240, 16),   QColor(200, 200, 200), QColor(90, 60, 230)};
    const auto packets = encodeVideo(TestVideoCodec::SorensonH263, pictures(colours, size), 1);
    swf::Player player(videoMovie(kSorenson, packets, size));
    for (int frame = 0; frame < int(colours.size()); ++frame) {
        const auto [y, cb, cr] = decodedYuv(packets[size_t(frame)], QPoint(4, 4));
        const auto level = [](double v) { return int(std::clamp(std::lround(v), 0L, 255L)); };
        const double luma = 1.164383 * (y - 16);
        const QColor expected(level(luma + 1.596027 * (cr - 128)),
                              level(luma - 0.391762 * (cb - 128) - 0.812968 * (cr - 128)),
                              level(luma + 2.017232 * (cb - 128)));
        player.gotoFrame(frame);
        // The stage at the stream's size: one picture pixel per image pixel.
        EXPECT_TRUE(colourNear(player.renderImage(QSize(200, 100)), 4, 4, expected, 0)) << "frame " << frame;
    }
}

TEST(PlayerVideo, StreamsFillTheirDeclaredSizeAndMasksAndTintsApply)
{
    // Pictures of 64 x 48 in a stream declared 32 x 24: drawn at that size.
    const auto packets = encodeVideo(TestVideoCodec::ScreenVideo, pictures({Qt::red}, QSize(64, 48)), 1);
    const QImage small = swf::Player(videoMovie(kScreenVideo, packets, QSize(32, 24))).renderImage(QSize(200, 100));
    EXPECT_TRUE(colourNear(small, 8, 10, Qt::red, 0));
    EXPECT_TRUE(colourNear(small, 24, 10, QColor(128, 128, 128), 0));
    EXPECT_TRUE(colourNear(small, 40, 10, Qt::white, 0));
    EXPECT_TRUE(colourNear(small, 8, 30, Qt::white, 0));

    // Through a colour transform (red halved, blue added) and under a mask
    // that shows only the top 10 pixels.
    SwfWriter w = stageOf(200, 100);
    w.setBackgroundColor(255, 255, 255);
    w.defineVideoStream(1, 1, 64, 48, kScreenVideo).videoFrame(1, 0, packets[0]);
    defineSquare(w, 2, 0, 0, 200, {0, 0, 0, 255});
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 2, .matrix = at(0, 0), .clipDepth = 2});
    w.placeObject2(SwfPlace{.depth = 2,
                            .characterId = 1,
                            .matrix = at(0, 0),
                            .cxform = SwfCxform{.multiply = std::array<int16_t, 4>{128, 256, 256, 256},
                                                .add = std::array<int16_t, 4>{0, 0, 255, 0}},
                            .ratio = 0});
    w.showFrame();
    const QImage tinted = swf::Player(load(w)).renderImage(QSize(200, 100));
    EXPECT_TRUE(colourNear(tinted, 4, 4, QColor(128, 0, 255), 2));
    EXPECT_TRUE(colourNear(tinted, 4, 20, Qt::white, 0)) << "outside the mask";
}

TEST(PlayerVideo, MoreStreamsThanKeptDecodersAllShow)
{
    // 25 streams of one 16 x 16 picture each, in a 5 x 5 grid of 20-pixel
    // cells, drawn twice: decoders are let go and made again as needed.
    SwfWriter w = stageOf(100, 100);
    w.setBackgroundColor(255, 255, 255);
    const auto colourOf = [](int i) { return QColor(i * 10, 255 - i * 10, 128); };
    for (uint16_t i = 0; i < 25; ++i) {
        const auto packet = encodeVideo(TestVideoCodec::ScreenVideo, {pictures({colourOf(i)}, QSize(16, 16))}, 1);
        w.defineVideoStream(uint16_t(i + 1), 1, 16, 16, kScreenVideo).videoFrame(uint16_t(i + 1), 0, packet[0]);
        w.placeObject2(SwfPlace{.depth = uint16_t(i + 1), .characterId = uint16_t(i + 1),
                                .matrix = at(i % 5 * 400, i / 5 * 400), .ratio = 0});
    }
    w.showFrame().showFrame();
    swf::Player player(load(w));
    for (int frame = 0; frame < 2; ++frame) {
        player.gotoFrame(frame);
        const QImage img = player.renderImage(QSize(100, 100));
        for (int i = 0; i < 25; ++i)
            EXPECT_TRUE(colourNear(img, i % 5 * 20 + 3, i / 5 * 20 + 3, colourOf(i), 0)) << "stream " << i + 1;
    }
}

TEST(PlayerVideo, ReaderKeepsFramesAndReportsWhatItCannotUse)
{
    SwfWriter w = stageOf(100, 100);
    w.defineVideoStream(1, 3, 16, 16, kSorenson, true, 5).videoFrame(1, 2, "two").videoFrame(1, 0, "zero");
    w.videoFrame(1, 0, "again").videoFrame(7, 0, "no such stream");
    w.defineVideoStream(2, 1, 16, 16, 9).showFrame().end();
    const auto movie = std::make_shared<const swf::Movie>(swf::readMovie(w.bytes()));
    const auto *video = movie->character<swf::VideoStream>(1);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->frameCount, 3);
    EXPECT_EQ(video->width, 16);
    EXPECT_TRUE(video->smoothing);
    EXPECT_EQ(video->deblocking, 5);
    EXPECT_EQ(video->codec, kSorenson);
    ASSERT_EQ(video->frames.size(), 2u);
    EXPECT_EQ(video->frames.at(0), QByteArray("zero")) << "the first of two frames 0 is kept";
    EXPECT_EQ(video->frames.at(2), QByteArray("two"));
    EXPECT_EQ(movie->warnings.size(), 3u) << "frame given twice, frame of no stream, unknown codec";

    // Frames that are not video at all, and a codec without a decoder,
    // draw nothing and harm nothing.
    SwfWriter bad = stageOf(100, 100);
    bad.setBackgroundColor(255, 255, 255);
    bad.defineVideoStream(1, 1, 50, 50, kSorenson).videoFrame(1, 0, QByteArray(300, '\x55'));
    bad.defineVideoStream(2, 1, 50, 50, 9).videoFrame(2, 0, QByteArray(30, '\x01'));
    bad.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .matrix = at(0, 0), .ratio = 0});
    bad.placeObject2(SwfPlace{.depth = 2, .characterId = 2, .matrix = at(1000, 1000), .ratio = 0}).showFrame().end();
    const auto badMovie = std::make_shared<const swf::Movie>(swf::readMovie(bad.bytes()));
    const QImage img = swf::Player(badMovie).renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 25, 25, Qt::white, 0));
    EXPECT_TRUE(colourNear(img, 75, 75, Qt::white, 0));
}

} // namespace
