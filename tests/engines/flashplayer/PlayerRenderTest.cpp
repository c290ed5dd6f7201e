// Drawing: shapes, gradients, bitmaps, lines, masks, colour transforms,
// morphs, text, scaling and stage qualities. Expected pixels come from the
// movie's own numbers, not from earlier renderer output.

#include "PlayerTestSupport.h"

#include <QGuiApplication>
#include <QPainter>

#include <cmath>

using namespace swftest;

namespace {

// Device fonts need the application's font database.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!QCoreApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "flashplayer_player_tests";
            static char *argv[] = {name, nullptr};
            m_app = std::make_unique<QGuiApplication>(argc, argv);
        }
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QGuiApplication> m_app;
};
const auto *const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

const SwfRgba kRed{255, 0, 0, 255};
const SwfRgba kBlue{0, 0, 255, 255};

QColor mix(const QColor &a, const QColor &b, double t)
{
    const auto m = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(m(a.red(), b.red()), m(a.green(), b.green()), m(a.blue(), b.blue()));
}

// A square from (x0, y0) to (x1, y1) twips on a stage drawn at sx, sy pixels
// per twip: every pixel wholly inside is the fill, every pixel wholly
// outside the background.
void expectRectangle(const QImage &img, double x0, double y0, double x1, double y1, double sx, double sy,
                     const QColor &fill, const QColor &background)
{
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const bool in = x >= x0 * sx && x + 1 <= x1 * sx && y >= y0 * sy && y + 1 <= y1 * sy;
            const bool out = x + 1 <= x0 * sx || x >= x1 * sx || y + 1 <= y0 * sy || y >= y1 * sy;
            if (in) {
                ++inside;
                ASSERT_TRUE(colourNear(img, x, y, fill, 0));
            } else if (out) {
                ++outside;
                ASSERT_TRUE(colourNear(img, x, y, background, 0));
            }
        }
    }
    EXPECT_GT(inside, 0);
    EXPECT_GT(outside, 0);
}

TEST(PlayerRender, SquareCoversItsPixelsAtAnyScale)
{
    SwfWriter w; // the writer's stage: 11000 x 8000 twips, 550 x 400 pixels
    w.setBackgroundColor(0, 40, 0);
    defineSquare(w, 1, 0, 0, 4010, kRed);
    w.placeObject(1, 1, at(2003, 1017)).showFrame();
    swf::Player player(load(w));
    ASSERT_EQ(player.stageSize(), QSize(550, 400));
    // At the stage size, at 150 dpi (round(w * 150 / 72)) and squeezed.
    for (const QSize size : {QSize(550, 400), QSize(1146, 833), QSize(300, 600)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const QImage img = player.renderImage(size);
        ASSERT_EQ(img.size(), size);
        expectRectangle(img, 2003, 1017, 6013, 5027, size.width() / 11000.0, size.height() / 8000.0, Qt::red,
                        QColor(0, 40, 0));
    }
}

TEST(PlayerRender, FillsSharingAnEdgeLeaveNoSeam)
{
    // One square cut along its diagonal into two fills of the same red,
    // on black: anti-aliasing each half alone lets black through along the
    // cut.
    SwfWriter w = stageOf(100, 100);
    w.setBackgroundColor(0, 0, 0);
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(255, 0, 0), SwfFillStyle::solid(255, 0, 0)};
    shape.setStyles(0u, 1u).moveTo(0, 0).polygon({{2000, 0}, {0, 2000}});
    shape.setStyles(0u, 2u).moveTo(2000, 2000).polygon({{-2000, 0}, {0, -2000}});
    shape.setStyles(1u, 2u).moveTo(0, 0).line(2000, 2000);
    w.defineShape(3, 1, {0, 2000, 0, 2000}, shape);
    w.placeObject(1, 1, SwfMatrix{.scale = std::pair{0.9, 0.9}, .translateX = 100, .translateY = 100}).showFrame();
    swf::Player player(load(w));
    for (const auto quality : {swf::StageQuality::Medium, swf::StageQuality::High}) {
        const QImage img = player.renderImage(QSize(100, 100), quality);
        int worst = 255;
        for (int i = 10; i < 90; ++i)
            worst = std::min({worst, img.pixelColor(i, i).red(), img.pixelColor(i + 1, i).red()});
        EXPECT_GE(worst, 252);
    }
}

TEST(PlayerRender, ShapesMagnifiedFarPastTheStageShowTheirVisiblePart)
{
    // A square of 400 twips magnified 256 million times, its left edge
    // at 1000 twips: the stage's right half is inside it.
    SwfWriter w = stageOf(100, 100);
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(255, 0, 0)};
    shape.setStyles(0u, 1u).moveTo(0, -200).polygon({{400, 0}, {0, 400}, {-400, 0}, {0, -400}});
    w.defineShape(3, 1, {0, 400, -200, 200}, shape);
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .matrix = SwfMatrix{.scale = std::pair{16000.0, 16000.0}}})
        .showFrame()
        .end();
    w.defineSprite(2, inner);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 2,
                            .matrix = SwfMatrix{.scale = std::pair{16000.0, 16000.0}, .translateX = 1000}})
        .showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 25, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 75, 50, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 98, 2, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 48, 97, kWhite, 0));
}

TEST(PlayerRender, DrawsIntoATargetRectangleOnly)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 1000, kRed);
    w.placeObject(1, 1, at(0, 0)).showFrame();
    swf::Player player(load(w));
    QImage img(200, 200, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::gray);
    QPainter painter(&img);
    player.render(painter, QRectF(50, 60, 100, 80));
    painter.end();
    EXPECT_TRUE(colourNear(img, 60, 70, Qt::red));
    EXPECT_TRUE(colourNear(img, 140, 130, kWhite));
    EXPECT_TRUE(colourNear(img, 40, 40, Qt::gray, 0));
    EXPECT_TRUE(colourNear(img, 160, 150, Qt::gray, 0));
    EXPECT_TRUE(colourNear(img, 100, 145, Qt::gray, 0));
}

SwfFillStyle gradient(uint8_t type, double scale, int32_t centre, uint8_t spread = 0)
{
    SwfFillStyle fill;
    fill.type = type;
    fill.matrix = SwfMatrix{.scale = std::pair{scale, scale}, .translateX = centre, .translateY = centre};
    fill.spread = spread;
    fill.stops = {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 255}}};
    return fill;
}

QImage drawFill(const SwfFillStyle &fill, swf::StageQuality quality = swf::StageQuality::High,
                std::optional<SwfCxform> cxform = std::nullopt, int side = 2000)
{
    SwfWriter w = stageOf(100, 100);
    SwfShape shape;
    shape.styles.fills = {fill};
    shape.setStyles(0u, 1u).moveTo(0, 0).polygon({{side, 0}, {0, side}, {-side, 0}, {0, -side}});
    w.defineShape(3, 1, {0, side, 0, side}, shape);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .cxform = cxform}).showFrame();
    return swf::Player(load(w)).renderImage(QSize(100, 100), quality);
}

TEST(PlayerRender, LinearAndRadialGradientsSpanTheGradientSquare)
{
    // The gradient square (-16384..16384) scaled onto 0..2000 twips.
    const QImage linear = drawFill(gradient(0x10, 2000 / 32768.0, 1000));
    for (int x : {2, 25, 50, 75, 97}) {
        const double t = (x + 0.5) / 100;
        EXPECT_TRUE(colourNear(linear, x, 50, mix(Qt::red, Qt::blue, t), 3)) << "x " << x;
    }
    const QImage radial = drawFill(gradient(0x12, 2000 / 32768.0, 1000));
    EXPECT_TRUE(colourNear(radial, 50, 50, Qt::red, 6));
    EXPECT_TRUE(colourNear(radial, 75, 50, mix(Qt::red, Qt::blue, std::hypot(25.5, 0.5) / 50), 3));
    EXPECT_TRUE(colourNear(radial, 1, 1, Qt::blue, 0)) << "padded beyond the last stop";
    // A focal point moved right: the first colour sits there instead.
    SwfFillStyle focal = gradient(0x13, 2000 / 32768.0, 1000);
    focal.focalPoint = 0.5;
    const QImage focused = drawFill(focal);
    EXPECT_TRUE(colourNear(focused, 75, 50, Qt::red, 12));
    EXPECT_GT(focused.pixelColor(40, 50).blue(), focused.pixelColor(60, 50).blue());
}

TEST(PlayerRender, GradientSpreadModes)
{
    // The gradient over 0..1000 twips; pixel 62 (1250 twips) lies at 1.25.
    const double scale = 1000 / 32768.0;
    EXPECT_TRUE(colourNear(drawFill(gradient(0x10, scale, 500, 0)), 62, 50, Qt::blue, 0));
    EXPECT_TRUE(colourNear(drawFill(gradient(0x10, scale, 500, 2)), 62, 50, mix(Qt::red, Qt::blue, 0.25), 6));
    EXPECT_TRUE(colourNear(drawFill(gradient(0x10, scale, 500, 1)), 62, 50, mix(Qt::red, Qt::blue, 0.75), 6));
}

// A linear gradient whose 256 steps are the pixels of a 256-pixel stage,
// drawn at the given zoom.
QImage drawSteps(const std::vector<SwfGradientStop> &stops, int zoom = 1)
{
    SwfWriter w = stageOf(256, 10);
    SwfFillStyle fill = gradient(0x10, 5120 / 32768.0, 2560);
    fill.stops = stops;
    SwfShape shape;
    shape.styles.fills = {fill};
    shape.setStyles(0u, 1u).moveTo(0, 0).polygon({{5120, 0}, {0, 200}, {-5120, 0}, {0, -200}});
    w.defineShape(3, 1, {0, 5120, 0, 200}, shape);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1}).showFrame();
    return swf::Player(load(w)).renderImage(QSize(256 * zoom, 10 * zoom));
}

TEST(PlayerRender, GradientRecordsThatDoNotAdvanceTakeAStepEach)
{
    const QColor green(0, 255, 0), white(255, 255, 255);
    struct Case {
        const char *what;
        std::vector<SwfGradientStop> stops;
        std::vector<std::pair<int, QColor>> expected; // pixel, colour
    };
    const std::vector<Case> cases{
        {"repeated ratios",
         {{0, {255, 0, 0, 255}}, {100, {0, 255, 0, 255}}, {100, {0, 0, 255, 255}}, {100, {255, 255, 255, 255}},
          {200, {0, 0, 0, 255}}},
         {{100, green}, {101, Qt::blue}, {102, white}, {151, mix(white, Qt::black, 49 / 98.0)}, {230, Qt::black}}},
        {"a ratio going back",
         {{0, {255, 0, 0, 255}}, {200, {0, 255, 0, 255}}, {100, {0, 0, 255, 255}}},
         {{150, mix(Qt::red, green, 150 / 200.0)}, {201, Qt::blue}, {240, Qt::blue}}},
        {"pushed past the end",
         {{0, {255, 0, 0, 255}}, {255, {0, 255, 0, 255}}, {255, {0, 0, 255, 255}}},
         {{255, green}, {128, mix(Qt::red, green, 128 / 255.0)}}},
    };
    for (const Case &c : cases) {
        const QImage img = drawSteps(c.stops);
        for (const auto &[x, colour] : c.expected)
            EXPECT_TRUE(colourNear(img, x, 5, colour, 1)) << c.what << ", pixel " << x;
    }
}

TEST(PlayerRender, GradientsShowTheirStepsFlat)
{
    // Black to white in two steps, zoomed in four times: each step of the
    // 256 covers four pixels of one colour instead of a blend.
    const QImage img = drawSteps({{0, {0, 0, 0, 255}}, {2, {255, 255, 255, 255}}}, 4);
    for (const auto &[step, level] : std::vector<std::pair<int, int>>{{0, 0}, {1, 128}, {2, 255}, {3, 255}}) {
        for (int k : {1, 2})
            EXPECT_TRUE(colourNear(img, 4 * step + k, 20, QColor(level, level, level), 1)) << "step " << step;
    }
}

TEST(PlayerRender, LinearRgbGradientsAreLighterInTheMiddle)
{
    SwfFillStyle fill = gradient(0x10, 2000 / 32768.0, 1000);
    fill.stops = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}};
    const int plain = drawFill(fill).pixelColor(50, 50).red();
    fill.interpolation = 1;
    const int linear = drawFill(fill).pixelColor(50, 50).red();
    EXPECT_NEAR(plain, 128, 3);
    // Half the light of white is about 186 in sRGB.
    EXPECT_NEAR(linear, 186, 8);
}

// A 2 x 2 bitmap: red, green / blue, yellow.
SwfWriter &defineChecker(SwfWriter &w, uint16_t id)
{
    const QByteArray pixels = QByteArray::fromHex("ffff0000" "ff00ff00" "ff0000ff" "ffffff00");
    return w.defineBitsLossless(1, id, 5, 2, 2, pixels);
}

QColor checkerAt(int column, int row)
{
    static const QColor colours[2][2] = {{Qt::red, Qt::green}, {Qt::blue, Qt::yellow}};
    return colours[row % 2][column % 2];
}

QImage drawBitmapFill(uint8_t type, int side, swf::StageQuality quality, std::optional<SwfCxform> cxform = {})
{
    SwfWriter w = stageOf(100, 100);
    defineChecker(w, 10);
    SwfShape shape;
    // 400 twips (20 stage pixels) a bitmap pixel.
    shape.styles.fills = {SwfFillStyle{.type = type, .matrix = SwfMatrix{.scale = std::pair{400.0, 400.0}},
                                       .bitmapId = 10}};
    shape.setStyles(0u, 1u).moveTo(0, 0).polygon({{side, 0}, {0, side}, {-side, 0}, {0, -side}});
    w.defineShape(3, 1, {0, side, 0, side}, shape);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .cxform = cxform}).showFrame();
    return swf::Player(load(w)).renderImage(QSize(100, 100), quality);
}

TEST(PlayerRender, BitmapFillsShowTheBitmapsPixels)
{
    const QImage clipped = drawBitmapFill(0x43, 800, swf::StageQuality::High);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            EXPECT_TRUE(colourNear(clipped, column * 20 + 10, row * 20 + 10, checkerAt(column, row), 0));
    EXPECT_TRUE(colourNear(clipped, 60, 60, kWhite, 0)) << "beyond the shape";

    const QImage repeating = drawBitmapFill(0x42, 2000, swf::StageQuality::High);
    for (int y = 5; y < 100; y += 10)
        for (int x = 5; x < 100; x += 10)
            ASSERT_TRUE(colourNear(repeating, x, y, checkerAt(x / 20, y / 20), 0)) << x << "," << y;
}

TEST(PlayerRender, BitmapSmoothingFollowsFillAndQuality)
{
    // Pixel 19 straddles the red and green columns: smoothing blends them.
    const auto blended = [](const QImage &img) {
        const QColor c = img.pixelColor(19, 10);
        return c.red() > 40 && c.red() < 215 && c.green() > 40 && c.green() < 215;
    };
    EXPECT_TRUE(blended(drawBitmapFill(0x41, 800, swf::StageQuality::High)));
    EXPECT_FALSE(blended(drawBitmapFill(0x43, 800, swf::StageQuality::High))) << "a fill that asks for no smoothing";
    EXPECT_TRUE(blended(drawBitmapFill(0x43, 800, swf::StageQuality::Best))) << "best smooths every bitmap";
    EXPECT_FALSE(blended(drawBitmapFill(0x41, 800, swf::StageQuality::Medium)));
    EXPECT_FALSE(blended(drawBitmapFill(0x41, 800, swf::StageQuality::Low)));
    // A bitmap that does not repeat keeps its edge colours: smoothing must
    // not blend the left column with the right one, nor the top with the
    // bottom. (A fortieth of the neighbour inside the bitmap blends in.)
    const QImage clamped = drawBitmapFill(0x41, 800, swf::StageQuality::High);
    EXPECT_TRUE(colourNear(clamped, 0, 10, Qt::red, 8));
    EXPECT_TRUE(colourNear(clamped, 39, 10, Qt::green, 8));
    EXPECT_TRUE(colourNear(clamped, 10, 0, Qt::red, 8));
    EXPECT_TRUE(colourNear(clamped, 30, 39, Qt::yellow, 8));
}

QImage drawLine(uint16_t width, QSize size, uint8_t version = 3)
{
    SwfWriter w = stageOf(100, 100);
    SwfShape shape;
    shape.styles.lines = {SwfLineStyle{.width = width, .color = {0, 0, 0, 255}}};
    shape.setStyles(std::nullopt, std::nullopt, 1u).moveTo(200, 1010).line(1600, 0);
    w.defineShape(version, 1, {0, 2000, 0, 2000}, shape);
    w.placeObject(1, 1, at(0, 0)).showFrame();
    return swf::Player(load(w)).renderImage(size);
}

int darkestInColumn(const QImage &img, int x)
{
    int darkest = 255;
    for (int y = 0; y < img.height(); ++y)
        darkest = std::min(darkest, img.pixelColor(x, y).red());
    return darkest;
}

TEST(PlayerRender, LinesHaveTheirWidthAndNeverVanish)
{
    // 200 twips wide along y = 1010 twips: 45.5..55.5 pixels.
    const QImage wide = drawLine(200, QSize(100, 100));
    EXPECT_TRUE(colourNear(wide, 50, 47, Qt::black, 0));
    EXPECT_TRUE(colourNear(wide, 50, 53, Qt::black, 0));
    EXPECT_TRUE(colourNear(wide, 50, 43, kWhite, 0));
    EXPECT_TRUE(colourNear(wide, 50, 57, kWhite, 0));
    EXPECT_TRUE(colourNear(wide, 3, 50, kWhite, 0)) << "round caps reach 5 pixels beyond the ends, no more";
    EXPECT_TRUE(colourNear(wide, 8, 50, Qt::black, 0)) << "round caps";
    // One pixel wide drawn at a quarter: still a full pixel's darkness.
    EXPECT_LT(darkestInColumn(drawLine(20, QSize(25, 25)), 12), 130);
    // A hairline.
    EXPECT_LT(darkestInColumn(drawLine(0, QSize(100, 100)), 50), 130);
}

QImage drawCappedLine(uint8_t cap, const std::optional<SwfFillStyle> &fill = std::nullopt)
{
    SwfWriter w = stageOf(100, 100);
    SwfShape shape;
    shape.styles.lines = {SwfLineStyle{.width = 200, .color = {0, 0, 0, 255}, .startCap = cap, .endCap = cap,
                                       .fill = fill}};
    shape.setStyles(std::nullopt, std::nullopt, 1u).moveTo(200, 1010).line(1600, 0);
    w.defineShape4(1, {0, 2000, 0, 2000}, {0, 2000, 0, 2000}, 0, shape);
    w.placeObject(1, 1, at(0, 0)).showFrame();
    return swf::Player(load(w)).renderImage(QSize(100, 100));
}

TEST(PlayerRender, LineCapsAndFilledLines)
{
    // The line runs from pixel 10 to 90; a square cap adds half its width.
    EXPECT_TRUE(colourNear(drawCappedLine(1), 7, 50, kWhite, 0)) << "no cap";
    EXPECT_TRUE(colourNear(drawCappedLine(1), 12, 50, Qt::black, 0));
    EXPECT_TRUE(colourNear(drawCappedLine(2), 7, 50, Qt::black, 0)) << "square cap";
    EXPECT_TRUE(colourNear(drawCappedLine(2), 7, 54, Qt::black, 0)) << "square, not round";
    // A line painted with a gradient across the stage.
    const QImage filled = drawCappedLine(1, gradient(0x10, 2000 / 32768.0, 1000));
    EXPECT_TRUE(colourNear(filled, 25, 50, mix(Qt::red, Qt::blue, 0.255), 4));
    EXPECT_TRUE(colourNear(filled, 75, 50, mix(Qt::red, Qt::blue, 0.755), 4));
}

TEST(PlayerRender, LinesKeepTheWidthOfTheWaysTheyScale)
{
    // A vertical line 100 twips (5 px) wide, its shape stretched three
    // times across: only a line that scales horizontally grows (15 px).
    const auto widthOf = [](bool noH, bool noV) {
        SwfWriter w = stageOf(100, 100);
        SwfShape shape;
        shape.styles.lines = {SwfLineStyle{.width = 100, .color = {0, 0, 0, 255}, .startCap = 1, .endCap = 1,
                                           .noHScale = noH, .noVScale = noV}};
        shape.setStyles(std::nullopt, std::nullopt, 1u).moveTo(333, 200).line(0, 1600);
        w.defineShape4(1, {0, 2000, 0, 2000}, {0, 2000, 0, 2000}, 0, shape);
        w.placeObject(1, 1, SwfMatrix{.scale = std::pair{3.0, 1.0}}).showFrame();
        const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
        int dark = 0;
        for (int x = 0; x < 100; ++x)
            dark += img.pixelColor(x, 50).lightness() < 128;
        return dark;
    };
    EXPECT_NEAR(widthOf(false, false), 15, 1);
    EXPECT_NEAR(widthOf(false, true), 15, 1) << "vertical scaling off: the horizontal stretch still widens it";
    EXPECT_NEAR(widthOf(true, false), 5, 1) << "horizontal scaling off";
    EXPECT_NEAR(widthOf(true, true), 5, 1) << "no scaling at all";
}

TEST(PlayerRender, PixelHintedLinesSitOnWholePixels)
{
    // One pixel wide, centred on the boundary between pixel columns 49 and
    // 50: smeared over both unless hinted onto column 50.
    const auto draw = [](bool hinted, uint16_t width) {
        SwfWriter w = stageOf(100, 100);
        SwfShape shape;
        shape.styles.lines = {SwfLineStyle{.width = width, .color = {0, 0, 0, 255}, .pixelHinting = hinted}};
        shape.setStyles(std::nullopt, std::nullopt, 1u).moveTo(1000, 200).line(0, 1600);
        w.defineShape4(1, {0, 2000, 0, 2000}, {0, 2000, 0, 2000}, 0, shape);
        w.placeObject(1, 1, at(0, 0)).showFrame();
        return swf::Player(load(w)).renderImage(QSize(100, 100));
    };
    const QImage smeared = draw(false, 20);
    EXPECT_FALSE(colourNear(smeared, 50, 50, Qt::black, 40));
    EXPECT_FALSE(colourNear(smeared, 49, 50, kWhite, 40));
    const QImage hinted = draw(true, 20);
    EXPECT_TRUE(colourNear(hinted, 50, 50, Qt::black, 0));
    EXPECT_TRUE(colourNear(hinted, 49, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(hinted, 51, 50, kWhite, 0));
    // Two pixels wide (the 1.6 px asked for, rounded), on columns 49 and 50.
    const QImage wide = draw(true, 32);
    EXPECT_TRUE(colourNear(wide, 49, 50, Qt::black, 0));
    EXPECT_TRUE(colourNear(wide, 50, 50, Qt::black, 0));
    EXPECT_TRUE(colourNear(wide, 48, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(wide, 51, 50, kWhite, 0));
}

TEST(PlayerRender, MasksHideWhatLiesOutsideThem)
{
    SwfWriter w = stageOf(100, 100);
    SwfShape maskShape;
    maskShape.styles.fills = {SwfFillStyle::solid(0, 0, 255)};
    maskShape.setStyles(0u, 1u).moveTo(0, 0).polygon({{1000, 0}, {0, 2000}, {-1000, 0}, {0, -2000}});
    w.defineShape(3, 1, {0, 1000, 0, 2000}, maskShape);
    defineSquare(w, 2, 0, 0, 2000, kRed);
    defineSquare(w, 3, 1400, 1400, 400, SwfRgba{0, 128, 0, 255});
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .clipDepth = 2});
    w.placeObject2(SwfPlace{.depth = 2, .characterId = 2});
    w.placeObject2(SwfPlace{.depth = 3, .characterId = 3});
    w.showFrame();
    for (const auto quality : {swf::StageQuality::High, swf::StageQuality::Low}) {
        const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100), quality);
        EXPECT_TRUE(colourNear(img, 25, 50, Qt::red, 0)) << "inside the mask; the mask itself is not drawn";
        EXPECT_TRUE(colourNear(img, 75, 50, kWhite, 0)) << "outside the mask";
        EXPECT_TRUE(colourNear(img, 80, 80, QColor(0, 128, 0), 0)) << "above the masked depths";
    }
}

TEST(PlayerRender, MaskedSpriteContentAndSpriteMasks)
{
    // The mask is a sprite holding a shape; the masked content a sprite.
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 1000, kBlue);
    defineSquare(w, 2, 0, 0, 2000, kRed);
    SwfWriter maskSprite;
    maskSprite.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .matrix = at(1000, 1000)}).showFrame().end();
    w.defineSprite(3, maskSprite);
    SwfWriter content;
    content.placeObject2(SwfPlace{.depth = 1, .characterId = 2}).showFrame().end();
    w.defineSprite(4, content);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 3, .clipDepth = 5});
    w.placeObject2(SwfPlace{.depth = 5, .characterId = 4});
    w.showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 75, 75, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 25, 25, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 75, 25, kWhite, 0));
}

QImage drawWithCxform(const SwfRgba &colour, const SwfCxform &cxform)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 2000, colour);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .cxform = cxform}).showFrame();
    return swf::Player(load(w)).renderImage(QSize(100, 100));
}

// A sprite of a red square (2000 twips) with a blue one inside over its
// scaling grid (500..1500), shown at twice its width on a 200 x 100 stage.
QImage drawNineSlice(const SwfMatrix &placed, bool withGrid)
{
    SwfWriter w = stageOf(200, 100);
    defineSquare(w, 1, 0, 0, 2000, kRed);
    defineSquare(w, 2, 500, 500, 1000, kBlue);
    SwfWriter inner;
    inner.placeObject(1, 1, at(0, 0)).placeObject(2, 2, at(0, 0)).showFrame().end();
    w.defineSprite(10, inner);
    if (withGrid)
        w.addTag(78, TagBody().ui16(10).rect({500, 1500, 500, 1500}));
    w.placeObject(10, 1, placed).showFrame();
    return swf::Player(load(w)).renderImage(QSize(200, 100));
}

TEST(PlayerRender, ScalingGridsKeepCornersAndStretchTheMiddle)
{
    const SwfMatrix wide{.scale = std::pair{2.0, 1.0}};
    const QImage plain = drawNineSlice(wide, false);
    EXPECT_TRUE(colourNear(plain, 35, 50, Qt::red, 0)) << "scaled as a whole, the red band is 50 px wide";
    const QImage sliced = drawNineSlice(wide, true);
    // The bands keep their 500 twips (25 px); the blue centre takes the rest.
    EXPECT_TRUE(colourNear(sliced, 12, 50, Qt::red, 0));
    EXPECT_TRUE(colourNear(sliced, 35, 50, Qt::blue, 0));
    EXPECT_TRUE(colourNear(sliced, 165, 50, Qt::blue, 0));
    EXPECT_TRUE(colourNear(sliced, 190, 50, Qt::red, 0));
    EXPECT_TRUE(colourNear(sliced, 100, 12, Qt::red, 0)) << "no vertical scale: the top band as drawn";
    EXPECT_TRUE(colourNear(sliced, 100, 37, Qt::blue, 0));

    // Squeezed below the corners' size the sprite scales as a whole.
    const SwfMatrix narrow{.scale = std::pair{0.4, 1.0}};
    EXPECT_EQ(drawNineSlice(narrow, true), drawNineSlice(narrow, false));
}

TEST(PlayerRender, OpaqueBackgroundsFillTheObjectsBounds)
{
    // A red triangle over the top left half of its 1000-twip bounds, shown
    // twice its size from (200, 200) twips with a green background.
    SwfWriter w = stageOf(100, 100);
    w.setBackgroundColor(255, 255, 255);
    SwfShape triangle;
    triangle.styles.fills = {SwfFillStyle::solid(255, 0, 0)};
    triangle.setStyles(0u, 1u).moveTo(0, 0).polygon({{1000, 0}, {-1000, 1000}, {0, -1000}});
    w.defineShape(3, 1, {0, 1000, 0, 1000}, triangle);
    w.placeObject3(SwfPlace{.depth = 1, .characterId = 1,
                            .matrix = SwfMatrix{.scale = std::pair{2.0, 2.0}, .translateX = 200, .translateY = 200},
                            .cacheAsBitmap = 1, .backgroundColor = SwfRgba{0, 160, 0, 255}});
    w.showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 20, 20, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 80, 80, QColor(0, 160, 0), 0)) << "inside the bounds, off the triangle";
    EXPECT_TRUE(colourNear(img, 5, 5, Qt::white, 0));
}

TEST(PlayerRender, ObjectsCachedAsBitmapsSnapToWholePixels)
{
    // A square at 10.5 and at 10.4 pixels: cached, its left edge moves to 11
    // and to 10, crisp; drawn as it is, pixel 10 is part covered.
    for (const auto &[twips, snapped] : {std::pair{210, 11}, std::pair{208, 10}}) {
        for (const uint8_t cached : {0, 1}) {
            SwfWriter w = stageOf(100, 100);
            w.setBackgroundColor(255, 255, 255);
            defineSquare(w, 1, 0, 0, 400, kRed);
            w.placeObject3(SwfPlace{.depth = 1, .characterId = 1, .matrix = at(twips, twips), .cacheAsBitmap = cached});
            w.showFrame();
            const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
            if (cached) {
                EXPECT_TRUE(colourNear(img, snapped - 1, 20, Qt::white, 0)) << twips << " twips";
                EXPECT_TRUE(colourNear(img, snapped, 20, Qt::red, 0)) << twips << " twips";
                EXPECT_TRUE(colourNear(img, 20, snapped, Qt::red, 0)) << twips << " twips, top edge";
            } else {
                const QColor edge = img.pixelColor(10, 20);
                EXPECT_TRUE(edge != QColor(Qt::white) && edge != QColor(Qt::red)) << twips << " twips, not cached";
            }
        }
    }
}

TEST(PlayerRender, ColourTransformsMultiplyAndAddPerChannel)
{
    using M = std::array<int16_t, 4>;
    EXPECT_TRUE(colourNear(drawWithCxform(kRed, {.multiply = M{128, 256, 256, 256}}), 50, 50, QColor(128, 0, 0), 1));
    EXPECT_TRUE(colourNear(drawWithCxform({100, 100, 100, 255}, {.add = M{50, -30, 0, 0}}), 50, 50,
                           QColor(150, 70, 100), 1));
    // Half transparent blue over white.
    EXPECT_TRUE(colourNear(drawWithCxform(kBlue, {.multiply = M{256, 256, 256, 128}}), 50, 50,
                           QColor(127, 127, 255), 2));
    // A half transparent fill made opaque by the alpha term.
    EXPECT_TRUE(colourNear(drawWithCxform({255, 0, 0, 128}, {.add = M{0, 0, 0, 127}}), 50, 50, Qt::red, 1));
    // Sums clamp to the channel range.
    EXPECT_TRUE(colourNear(drawWithCxform({200, 10, 10, 255}, {.multiply = M{512, 256, 256, 256}, .add = M{0, -50, 0, 0}}),
                           50, 50, QColor(255, 0, 10), 1));
}

TEST(PlayerRender, NestedColourTransformsApplyInnerFirst)
{
    using M = std::array<int16_t, 4>;
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 2000, {50, 50, 50, 255});
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .cxform = SwfCxform{.add = M{100, 100, 100, 0}}})
        .showFrame()
        .end();
    w.defineSprite(2, inner);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 2, .cxform = SwfCxform{.multiply = M{128, 128, 128, 256}}})
        .showFrame();
    // (50 + 100) * 0.5, where the other order would give 125.
    EXPECT_TRUE(colourNear(swf::Player(load(w)).renderImage(QSize(100, 100)), 50, 50, QColor(75, 75, 75), 1));
}

TEST(PlayerRender, ColourTransformsReachBitmapsAndGradients)
{
    using M = std::array<int16_t, 4>;
    const QImage tinted = drawBitmapFill(0x43, 800, swf::StageQuality::High, SwfCxform{.add = M{0, 0, 255, 0}});
    EXPECT_TRUE(colourNear(tinted, 10, 10, QColor(255, 0, 255), 0));  // red + blue
    EXPECT_TRUE(colourNear(tinted, 30, 30, QColor(255, 255, 255), 0)); // yellow + blue
    const QImage faded = drawBitmapFill(0x43, 800, swf::StageQuality::High, SwfCxform{.multiply = M{256, 256, 256, 128}});
    EXPECT_TRUE(colourNear(faded, 10, 10, QColor(255, 127, 127), 2));

    const QImage gradientImg = drawFill(gradient(0x10, 2000 / 32768.0, 1000), swf::StageQuality::High,
                                        SwfCxform{.multiply = M{0, 256, 256, 256}, .add = M{0, 100, 0, 0}});
    EXPECT_TRUE(colourNear(gradientImg, 2, 50, QColor(0, 100, 3), 4));
    EXPECT_TRUE(colourNear(gradientImg, 97, 50, QColor(0, 100, 253), 4));
}

TEST(PlayerRender, MorphsFollowTheirRatio)
{
    SwfWriter w = stageOf(100, 100);
    SwfMorph m;
    m.id = 1;
    m.startBounds = {0, 600, 0, 600};
    m.endBounds = {1400, 2000, 1400, 2000};
    m.fills = {SwfMorphFill{.startColor = {255, 0, 0, 255}, .endColor = {0, 0, 255, 255}}};
    m.start.change(std::pair{0, 0}, 0u, 1u, std::nullopt).polygon({{600, 0}, {0, 600}, {-600, 0}, {0, -600}});
    m.end.moveTo(1400, 1400).polygon({{600, 0}, {0, 600}, {-600, 0}, {0, -600}});
    w.defineMorphShape(1, m);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .ratio = 0}).showFrame();
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .ratio = 32768}).showFrame();
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .ratio = 65535}).showFrame();
    swf::Player player(load(w));
    QImage img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 15, 15, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 50, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 85, 85, kWhite, 0));
    player.nextFrame();
    img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 15, 15, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 50, 50, QColor(127, 0, 128), 2)) << "halfway, at 700..1300 twips";
    EXPECT_TRUE(colourNear(img, 85, 85, kWhite, 0));
    player.nextFrame();
    img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 50, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 85, 85, Qt::blue, 0));
}

// A font whose glyph 0 ('A') is a box half an em wide and an em high,
// standing on the baseline; em is the font's square (1024 or 20480).
SwfFont boxFont(uint16_t id, int32_t em)
{
    SwfFont font;
    font.id = id;
    font.name = "Boxes";
    font.hasLayout = true;
    font.ascent = uint16_t(em);
    font.descent = 0;
    SwfShape glyph;
    glyph.setStyles(0u, 1u).moveTo(0, -em).polygon({{em / 2, 0}, {0, em}, {-em / 2, 0}, {0, -em}});
    font.glyphs.push_back(SwfGlyph{glyph, 'A', int16_t(em == 1024 ? 600 : 12000), {0, em / 2, -em, 0}});
    return font;
}

TEST(PlayerRender, StaticTextPlacesGlyphBoxes)
{
    for (const int version : {2, 3}) {
        SCOPED_TRACE(version);
        SwfWriter w = stageOf(100, 100);
        w.defineFont(version, boxFont(1, version == 3 ? 20480 : 1024));
        // 400 twips high: each box 200 x 400 twips; the second 400 further.
        w.defineText(1, 2, {0, 2000, 0, 2000}, at(0, 200),
                     {SwfTextRecord{.fontId = 1, .height = 400, .color = SwfRgba{255, 0, 0, 255}, .x = 200,
                                    .y = 1400, .glyphs = {{0, 400}, {0, 400}}}});
        w.placeObject(2, 1, at(0, 0)).showFrame();
        const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
        // Boxes at x 200..400 and 600..800, y 1200..1600 with the text matrix.
        expectRectangle(img.copy(0, 0, 25, 100), 200, 1200, 400, 1600, 0.05, 0.05, Qt::red, kWhite);
        EXPECT_TRUE(colourNear(img, 35, 70, Qt::red, 0));
        EXPECT_TRUE(colourNear(img, 45, 70, kWhite, 0));
    }
}

TEST(PlayerRender, FirstVersionFontsAndText)
{
    SwfWriter w = stageOf(100, 100);
    SwfShape glyph; // half an em wide, an em high, on the baseline
    glyph.setStyles(0u, 1u).moveTo(0, -1024).polygon({{512, 0}, {0, 1024}, {-512, 0}, {0, -1024}});
    w.defineFont1(1, {glyph});
    w.defineText(1, 2, {0, 2000, 0, 2000}, SwfMatrix{.scale = std::pair{2.0, 1.0}},
                 {SwfTextRecord{.fontId = 1, .height = 400, .color = SwfRgba{0, 128, 0, 255}, .x = 100, .y = 1400,
                                .glyphs = {{0, 300}}}});
    w.placeObject(2, 1, at(0, 0)).showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
    // 100..300 twips wide doubled by the text matrix: 200..600; 1000..1400 high.
    expectRectangle(img, 200, 1000, 600, 1400, 0.05, 0.05, QColor(0, 128, 0), kWhite);
}

QImage drawEditText(const SwfEditText &field, bool withFont)
{
    SwfWriter w = stageOf(100, 100);
    if (withFont)
        w.defineFont(2, boxFont(1, 1024));
    w.defineEditText(field);
    w.placeObject(2, 1, at(0, 0)).showFrame();
    return swf::Player(load(w)).renderImage(QSize(100, 100));
}

TEST(PlayerRender, EditTextWithAnEmbeddedFontAligns)
{
    // Boxes of 200 x 400 twips, 234.375 apart, 40 twips in from the field's
    // edges, the baseline an ascent (400 twips) below the top gutter.
    SwfEditText field{.id = 2, .bounds = {0, 2000, 0, 1000}, .readOnly = true, .useOutlines = true, .fontId = 1,
                      .fontHeight = 400, .color = SwfRgba{0, 0, 255, 255}, .initialText = QByteArray("AA")};
    const QImage left = drawEditText(field, true);
    EXPECT_TRUE(colourNear(left, 7, 12, Qt::blue, 0));
    EXPECT_TRUE(colourNear(left, 18, 12, Qt::blue, 0));
    EXPECT_TRUE(colourNear(left, 30, 12, kWhite, 0));
    EXPECT_TRUE(colourNear(left, 7, 26, kWhite, 0));

    field.layout = SwfEditText::Layout{.align = 1};
    const QImage right = drawEditText(field, true);
    EXPECT_TRUE(colourNear(right, 80, 12, Qt::blue, 0));
    EXPECT_TRUE(colourNear(right, 91, 12, Qt::blue, 0));
    EXPECT_TRUE(colourNear(right, 7, 12, kWhite, 0));

    field.layout = SwfEditText::Layout{.align = 2};
    const QImage centred = drawEditText(field, true);
    EXPECT_TRUE(colourNear(centred, 43, 12, Qt::blue, 0));
    EXPECT_TRUE(colourNear(centred, 7, 12, kWhite, 0));
    EXPECT_TRUE(colourNear(centred, 91, 12, kWhite, 0));
}

TEST(PlayerRender, EditTextWrapsAndBreaksLines)
{
    // Five boxes of 234.375 twips fit in the 1200 twips between the field's
    // gutters; "AA AA AA" takes 8 advances, so its third word goes below.
    SwfEditText field{.id = 2, .bounds = {0, 1280, 0, 2000}, .wordWrap = true, .multiline = true, .readOnly = true,
                      .useOutlines = true, .fontId = 1, .fontHeight = 400, .color = SwfRgba{0, 0, 255, 255},
                      .initialText = QByteArray("AA AA AA\nA")};
    const QImage img = drawEditText(field, true);
    // Lines 400 twips apart: baselines at 440, 840 and 1240 twips.
    EXPECT_TRUE(colourNear(img, 7, 12, Qt::blue, 0));
    EXPECT_TRUE(colourNear(img, 42, 12, Qt::blue, 0)) << "second word, first line";
    EXPECT_TRUE(colourNear(img, 7, 32, Qt::blue, 0)) << "third word, wrapped";
    EXPECT_TRUE(colourNear(img, 30, 32, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 7, 52, Qt::blue, 0)) << "after the line break";
    EXPECT_TRUE(colourNear(img, 18, 52, kWhite, 0));
    // Without multiline the break is a space and nothing wraps to a third line.
    field.multiline = false;
    field.wordWrap = false;
    const QImage single = drawEditText(field, true);
    EXPECT_TRUE(colourNear(single, 7, 32, kWhite, 0));
    EXPECT_TRUE(colourNear(single, 7, 52, kWhite, 0));
}

int darkPixels(const QImage &img, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixelColor(x, y).lightness() < 160;
    return n;
}

TEST(PlayerRender, EditTextWithADeviceFontAndHtml)
{
    SwfEditText field{.id = 2, .bounds = {200, 1800, 200, 800}, .readOnly = true, .fontHeight = 300,
                      .color = SwfRgba{0, 0, 0, 255}, .initialText = QByteArray("Hello")};
    const QImage plain = drawEditText(field, false);
    EXPECT_GT(darkPixels(plain, QRect(10, 10, 80, 30)), 15) << "text inside the field";
    EXPECT_EQ(darkPixels(plain, QRect(0, 45, 100, 55)), 0) << "nothing below it";
    field.html = true;
    field.initialText = QByteArray("<p align=\"left\"><font color=\"#000000\">Hello</font></p>");
    EXPECT_EQ(drawEditText(field, false), plain) << "tags are not text";
    field.initialText = QByteArray("<b>Hello</b>");
    EXPECT_GT(darkPixels(drawEditText(field, false), QRect(10, 10, 80, 30)), darkPixels(plain, QRect(10, 10, 80, 30)))
        << "bold is heavier";
}

// The box font's glyphs at 400 twips: 200 x 400 twips, 234.375 apart, the
// first from 40 twips in (2 px at this scale); the baseline at 440 twips.
TEST(PlayerRender, EditTextHtmlColoursAndSizesEachSpan)
{
    SwfEditText field{.id = 2, .bounds = {0, 2000, 0, 1800}, .multiline = true, .readOnly = true, .html = true,
                      .useOutlines = true,
                      .fontId = 1, .fontHeight = 400, .color = SwfRgba{0, 0, 255, 255},
                      .initialText = QByteArray("<font color='#FF0000'>A</font>A<br><font size='40'>A</font>")};
    const QImage img = drawEditText(field, true);
    EXPECT_TRUE(colourNear(img, 7, 12, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 18, 12, Qt::blue, 0)) << "the field's own colour after the FONT";
    // The second line: an 800-twip box (40 px) from 440 to 1240 twips down,
    // 400 wide (2..22 px).
    EXPECT_TRUE(colourNear(img, 18, 30, Qt::blue, 0));
    EXPECT_TRUE(colourNear(img, 18, 60, Qt::blue, 0));
    EXPECT_TRUE(colourNear(img, 25, 45, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 18, 65, kWhite, 0));
}

TEST(PlayerRender, EditTextIsClippedToItsFieldUnlessItGrows)
{
    // A field 300 twips (15 px) high holding a 400-twip glyph.
    SwfEditText field{.id = 2, .bounds = {0, 2000, 0, 300}, .readOnly = true, .border = true, .useOutlines = true,
                      .fontId = 1, .fontHeight = 400, .color = SwfRgba{0, 0, 255, 255},
                      .initialText = QByteArray("A")};
    const QImage clipped = drawEditText(field, true);
    EXPECT_TRUE(colourNear(clipped, 7, 10, Qt::blue, 0));
    EXPECT_TRUE(colourNear(clipped, 7, 18, kWhite, 0)) << "the glyph below the field's edge";
    EXPECT_GT(darkPixels(clipped, QRect(40, 14, 20, 2)), 10) << "the frame at the field's bottom";

    // Auto-sized, the field grows to the glyph's bottom and the gutter
    // below (480 twips, 24 px), and its frame with it.
    field.autoSize = true;
    const QImage grown = drawEditText(field, true);
    EXPECT_TRUE(colourNear(grown, 7, 18, Qt::blue, 0));
    EXPECT_EQ(darkPixels(grown, QRect(40, 14, 20, 2)), 0);
    EXPECT_GT(darkPixels(grown, QRect(40, 23, 20, 2)), 10);
}

TEST(PlayerRender, AFieldsFrameLeavesItsBottomRightCornerOpen)
{
    // The frame's two hairlines run from the top left corner to the bottom
    // right one, each short of its last pixel.
    SwfWriter w = stageOf(100, 100);
    w.setBackgroundColor(255, 255, 255);
    w.defineEditText(SwfEditText{.id = 2, .bounds = {200, 1200, 200, 800}, .readOnly = true, .border = true});
    w.placeObject(2, 1, at(0, 0)).showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100), swf::StageQuality::Low);
    const QColor black(Qt::black);
    for (const QPoint corner : {QPoint(10, 10), QPoint(60, 10), QPoint(10, 40), QPoint(35, 10), QPoint(35, 40),
                                QPoint(10, 25), QPoint(60, 25), QPoint(59, 40), QPoint(60, 39)})
        EXPECT_EQ(img.pixelColor(corner), black) << corner.x() << "," << corner.y();
    EXPECT_EQ(img.pixelColor(60, 40), QColor(Qt::white));
}

TEST(PlayerRender, LowQualityDrawsNoIntermediateEdgeColours)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, -500, -500, 1000, kRed);
    w.placeObject(1, 1, SwfMatrix{.scale = std::pair{0.866, 0.866}, .rotate = std::pair{0.5, -0.5},
                                  .translateX = 1000, .translateY = 1000})
        .showFrame();
    swf::Player player(load(w));
    const auto intermediates = [](const QImage &img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                n += c != QColor(Qt::red) && c != QColor(Qt::white);
            }
        return n;
    };
    EXPECT_EQ(intermediates(player.renderImage(QSize(100, 100), swf::StageQuality::Low)), 0);
    EXPECT_GT(intermediates(player.renderImage(QSize(100, 100), swf::StageQuality::Medium)), 20);
    EXPECT_GT(intermediates(player.renderImage(QSize(100, 100), swf::StageQuality::High)), 20);
}

TEST(PlayerRender, LowQualityDecidesEdgesNearACentreOnThePlayersGrid)
{
    // The edge from (261.85, 61.15) to (258.75, 81.95) passes 0.00024 px
    // left of the centre of pixel (261, 63); with its ends on the 1/256
    // pixel grid, right of it.
    SwfWriter w = stageOf(320, 100);
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(255, 0, 0)};
    shape.setStyles(0u, 1u).moveTo(5237, 1223).polygon({{-62, 416}, {825, 0}, {0, -416}, {-763, 0}});
    w.defineShape(3, 1, {5175, 6000, 1223, 1639}, shape);
    w.placeObject(1, 1, at(0, 0)).showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(320, 100), swf::StageQuality::Low);
    EXPECT_TRUE(colourNear(img, 261, 63, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 262, 63, Qt::red, 0));
}

TEST(PlayerRender, LowQualityGivesPixelsCentredOnAnEdgeToTheAreaRightOfAndBelowIt)
{
    // Edges at 10 and 1010 twips lie on the centres of pixels 0 and 50.
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 10, 10, 1000, kRed);
    defineSquare(w, 2, 1010, 10, 500, kBlue);
    defineSquare(w, 3, 10, 1010, 500, {0, 255, 0, 255});
    w.placeObject(1, 1, at(0, 0)).placeObject(2, 2, at(0, 0)).placeObject(3, 3, at(0, 0)).showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100), swf::StageQuality::Low);
    const struct {
        QPoint at;
        QColor colour;
    } cases[] = {{{0, 20}, Qt::red}, {{20, 0}, Qt::red},     {{49, 20}, Qt::red},         {{50, 20}, Qt::blue},
                 {{74, 20}, Qt::blue}, {{75, 20}, kWhite},   {{20, 49}, Qt::red},         {{20, 50}, QColor(0, 255, 0)},
                 {{20, 74}, QColor(0, 255, 0)}, {{20, 75}, kWhite}};
    for (const auto &c : cases)
        EXPECT_TRUE(colourNear(img, c.at.x(), c.at.y(), c.colour, 0));
}

} // namespace

TEST(PlayerRender, PicturesStayWithinTheSizeLimitAndTheLargestScaleFits)
{
    EXPECT_TRUE(swf::pictureSizeAllowed(QSize(6000, 6000)));
    EXPECT_FALSE(swf::pictureSizeAllowed(QSize(6001, 6000)));
    EXPECT_FALSE(swf::pictureSizeAllowed(QSize(16385, 10)));
    EXPECT_TRUE(swf::Player(load(stageOf(16000, 16000))).renderImage(QSize(16000, 16000)).isNull());

    const std::pair<QSize, double> cases[] = {
        {QSize(16000, 16000), 0.375}, // by area
        {QSize(1, 20000), 0.819},     // by the side
        {QSize(550, 400), 12.7},
        {QSize(6001, 5999), 1.0},     // just within
    };
    for (const auto &[stage, expected] : cases) {
        const double scale = swf::largestPictureScale(stage);
        EXPECT_NEAR(scale, expected, 1e-9) << stage.width() << " x " << stage.height();
        EXPECT_TRUE(swf::pictureSizeAllowed(
            QSize(int(std::lround(stage.width() * scale)), int(std::lround(stage.height() * scale)))));
    }
}
