// Blend modes and filters. Expected colours come from the blend formulas
// applied to the colours the movie uses.

#include "PlayerTestSupport.h"

#include <QPainter>

#include <cmath>
#include <functional>

using namespace swftest;

namespace {

const SwfRgba kRed{255, 0, 0, 255};
const QColor kBelow(40, 200, 120);
const QColor kAbove(200, 100, 60);

// kAbove over the left half of kBelow with the given blend mode.
std::shared_ptr<const swf::Movie> blendMovie(uint8_t mode)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 2000, {40, 200, 120, 255});
    SwfShape half;
    half.styles.fills = {SwfFillStyle::solid(200, 100, 60)};
    half.setStyles(0u, 1u).moveTo(0, 0).polygon({{1000, 0}, {0, 2000}, {-1000, 0}, {0, -2000}});
    w.defineShape(3, 2, {0, 1000, 0, 2000}, half);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1});
    w.placeObject3(SwfPlace{.depth = 2, .characterId = 2, .blendMode = mode});
    w.showFrame();
    return load(w);
}

QImage drawBlend(uint8_t mode)
{
    return swf::Player(blendMovie(mode)).renderImage(QSize(100, 100));
}

QColor perChannel(const std::function<double(double d, double s)> &f)
{
    const auto c = [&](int d, int s) { return int(std::lround(std::clamp(f(d, s), 0.0, 255.0))); };
    return QColor(c(kBelow.red(), kAbove.red()), c(kBelow.green(), kAbove.green()), c(kBelow.blue(), kAbove.blue()));
}

TEST(PlayerEffects, BlendModesCombineWithWhatLiesBeneath)
{
    const auto hardLight = [](double a, double b) { // b decides
        return b <= 127.5 ? 2 * a * b / 255 : 255 - 2 * (255 - a) * (255 - b) / 255;
    };
    const std::vector<std::pair<uint8_t, QColor>> cases{
        {1, kAbove},
        {2, kAbove}, // layer
        {3, perChannel([](double d, double s) { return d * s / 255; })},
        {4, perChannel([](double d, double s) { return d + s - d * s / 255; })},
        {5, perChannel([](double d, double s) { return std::max(d, s); })},
        {6, perChannel([](double d, double s) { return std::min(d, s); })},
        {7, perChannel([](double d, double s) { return std::abs(d - s); })},
        {8, perChannel([](double d, double s) { return d + s; })},
        {9, perChannel([](double d, double s) { return d - s; })},
        {10, perChannel([](double d, double) { return 255 - d; })},
        {13, perChannel([&](double d, double s) { return hardLight(s, d); })}, // overlay: the backdrop decides
        {14, perChannel([&](double d, double s) { return hardLight(d, s); })},
    };
    for (const auto &[mode, expected] : cases) {
        const QImage img = drawBlend(mode);
        EXPECT_TRUE(colourNear(img, 25, 50, expected, 3)) << "blend mode " << int(mode);
        EXPECT_TRUE(colourNear(img, 75, 50, kBelow, 0)) << "blend mode " << int(mode) << " beside the object";
    }
}

TEST(PlayerEffects, SubtractOnAForeignDeviceStillDraws)
{
    // Through a caller's painter the pixels beneath are out of reach and
    // subtract is approximated; it must still act on the object's area only.
    swf::Player player(blendMovie(9));
    QImage img(100, 100, QImage::Format_RGB32);
    QPainter painter(&img);
    player.render(painter, QRectF(0, 0, 100, 100));
    painter.end();
    EXPECT_NE(img.pixelColor(25, 50), kBelow);
    EXPECT_NE(img.pixelColor(25, 50), kAbove);
    EXPECT_TRUE(colourNear(img, 75, 50, kBelow, 0));
}

// A red layer sprite; its left half carries a square with the given blend
// mode and fill alpha.
QImage drawLayerWith(uint8_t childMode, uint8_t childAlpha, uint8_t parentMode)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 2000, kRed);
    SwfShape half;
    half.styles.fills = {SwfFillStyle::solid(0, 0, 255, childAlpha)};
    half.setStyles(0u, 1u).moveTo(0, 0).polygon({{1000, 0}, {0, 2000}, {-1000, 0}, {0, -2000}});
    w.defineShape(3, 2, {0, 1000, 0, 2000}, half);
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1});
    inner.placeObject3(SwfPlace{.depth = 2, .characterId = 2, .blendMode = childMode});
    inner.showFrame().end();
    w.defineSprite(3, inner);
    w.placeObject3(SwfPlace{.depth = 1, .characterId = 3, .blendMode = parentMode}).showFrame();
    return swf::Player(load(w)).renderImage(QSize(100, 100));
}

TEST(PlayerEffects, ALayerFadesAsOnePicture)
{
    using M = std::array<int16_t, 4>;
    // Red, and blue over its right half, in a sprite at half alpha.
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 1000, kRed);
    defineSquare(w, 2, 500, 0, 1000, {0, 0, 255, 255});
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1}).placeObject2(SwfPlace{.depth = 2, .characterId = 2});
    inner.showFrame().end();
    w.defineSprite(3, inner);
    w.placeObject3(SwfPlace{.depth = 1, .characterId = 3, .cxform = SwfCxform{.multiply = M{256, 256, 256, 128}},
                            .blendMode = 2});
    w.placeObject3(SwfPlace{.depth = 2, .characterId = 3, .matrix = at(0, 1000),
                            .cxform = SwfCxform{.multiply = M{256, 256, 256, 128}}});
    w.showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
    // As a layer the overlap is plain blue, then faded over white.
    EXPECT_TRUE(colourNear(img, 37, 25, QColor(127, 127, 255), 2));
    EXPECT_TRUE(colourNear(img, 12, 25, QColor(255, 127, 127), 2));
    // Without one each child fades alone and the red shows through.
    EXPECT_TRUE(colourNear(img, 37, 75, QColor(127, 64, 191), 3));
}

TEST(PlayerEffects, AlphaAndEraseCutIntoTheirLayer)
{
    // Alpha keeps the layer where the object is, by its alpha.
    const QImage alpha = drawLayerWith(11, 128, 2);
    EXPECT_TRUE(colourNear(alpha, 25, 50, QColor(255, 127, 127), 2));
    EXPECT_TRUE(colourNear(alpha, 75, 50, Qt::red, 0));
    // Erase removes the layer where the object is.
    const QImage erase = drawLayerWith(12, 255, 2);
    EXPECT_TRUE(colourNear(erase, 25, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(erase, 75, 50, Qt::red, 0));
    // Without a layer beneath there is nothing to cut: the stage stays.
    const QImage loose = drawLayerWith(12, 255, 1);
    EXPECT_TRUE(colourNear(loose, 25, 50, Qt::red, 0));
}

QImage drawFiltered(const QByteArray &filters, QSize size = QSize(100, 100))
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 600, 600, 800, kRed); // 30..70 pixels
    w.placeObject3(SwfPlace{.depth = 1, .characterId = 1, .filterList = filters}).showFrame();
    return swf::Player(load(w)).renderImage(size);
}

bool isPlain(const QImage &img, int x, int y, const QColor &c)
{
    return img.pixelColor(x, y) == c;
}

TEST(PlayerEffects, BlurSpreadsByItsWidthAndPasses)
{
    const QImage one = drawFiltered(SwfFilter::list({SwfFilter::blur(8, 8, 1)}));
    EXPECT_TRUE(isPlain(one, 50, 50, Qt::red));
    EXPECT_FALSE(isPlain(one, 28, 50, Qt::white)) << "two pixels out, within the box";
    EXPECT_FALSE(isPlain(one, 31, 50, Qt::red)) << "one pixel in, softened";
    EXPECT_TRUE(isPlain(one, 22, 50, Qt::white)) << "eight pixels out, beyond the box";
    const QImage three = drawFiltered(SwfFilter::list({SwfFilter::blur(8, 8, 3)}));
    EXPECT_FALSE(isPlain(three, 24, 50, Qt::white)) << "three passes reach further";
    // Twice the size, twice the reach.
    const QImage twice = drawFiltered(SwfFilter::list({SwfFilter::blur(8, 8, 1)}), QSize(200, 200));
    EXPECT_FALSE(isPlain(twice, 55, 100, Qt::white));
    EXPECT_TRUE(isPlain(twice, 43, 100, Qt::white));
}

TEST(PlayerEffects, AnEvenBlurWidthStaysCentredWithHalfWeightEnds)
{
    // A box 4 wide is 3 whole pixels and a half at either end: across the
    // square's left edge the red rises by 1/8, 3/8, 5/8, 7/8, and its right
    // edge mirrors the left one.
    const QImage img = drawFiltered(SwfFilter::list({SwfFilter::blur(4, 4, 1)}));
    const int expected[] = {255, 223, 159, 96, 32, 0};
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(img.pixelColor(27 + k, 50).green(), expected[k], 1) << "left edge, x " << 27 + k;
        EXPECT_NEAR(img.pixelColor(72 - k, 50).green(), expected[k], 1) << "right edge, x " << 72 - k;
        EXPECT_NEAR(img.pixelColor(50, 27 + k).green(), expected[k], 1) << "top edge, y " << 27 + k;
    }
}

TEST(PlayerEffects, DropShadowsAndGlows)
{
    // Black, 10 pixels to the right, not blurred.
    const QImage shadow = drawFiltered(SwfFilter::list({SwfFilter::dropShadow({0, 0, 0, 255}, 0, 0, 0, 10, 1, 0x21)}));
    EXPECT_TRUE(colourNear(shadow, 50, 50, Qt::red, 0));
    EXPECT_TRUE(colourNear(shadow, 75, 50, Qt::black, 0));
    EXPECT_TRUE(colourNear(shadow, 85, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(shadow, 35, 50, Qt::red, 0));
    EXPECT_TRUE(colourNear(shadow, 25, 50, kWhite, 0));
    // Knocked out: the shadow with the object's shape cut from it.
    const QImage knockout =
        drawFiltered(SwfFilter::list({SwfFilter::dropShadow({0, 0, 0, 255}, 0, 0, 0, 10, 1, 0x61)}));
    EXPECT_TRUE(colourNear(knockout, 50, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(knockout, 75, 50, Qt::black, 0));
    // A glow: blue around the object, fading outwards.
    const QImage glow = drawFiltered(SwfFilter::list({SwfFilter::glow({0, 0, 255, 255}, 10, 10, 1, 0x21)}));
    EXPECT_TRUE(colourNear(glow, 50, 50, Qt::red, 0));
    const QColor near = glow.pixelColor(72, 50);
    const QColor far = glow.pixelColor(74, 50);
    EXPECT_EQ(near.blue(), 255);
    EXPECT_LT(near.red(), far.red()) << "stronger close to the object";
    EXPECT_LT(far.red(), 255);
    EXPECT_TRUE(colourNear(glow, 90, 50, kWhite, 0));
}

TEST(PlayerEffects, ColourMatrixFilterMapsChannels)
{
    // Red and blue swapped, green raised by 30.
    const QImage img = drawFiltered(SwfFilter::list({SwfFilter::colorMatrix(
        {0, 0, 1, 0, 0, 0, 1, 0, 0, 30, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0})}));
    EXPECT_TRUE(colourNear(img, 50, 50, QColor(0, 30, 255), 1));
    EXPECT_TRUE(colourNear(img, 10, 10, kWhite, 0)) << "transparent pixels stay transparent";
}

} // namespace

namespace {

TEST(PlayerEffects, BevelLightsOneSideAndShadesTheOther)
{
    // Inner bevel, black shade and white light; the side the angle points to
    // gets the light.
    struct Case {
        double angle;
        QPoint lit, shaded;
    };
    for (const Case &c : {Case{M_PI / 4, {68, 68}, {31, 31}}, Case{0, {68, 50}, {31, 50}},
                          Case{M_PI / 2, {50, 68}, {50, 31}}, Case{M_PI, {31, 50}, {68, 50}}}) {
        TagBody bevel;
        bevel.ui8(3).rgba(0, 0, 0, 255).rgba(255, 255, 255, 255).fixed(4).fixed(4).fixed(c.angle).fixed(3).fixed8(1)
            .ui8(0x80 | 0x20 | 1);
        const QImage img = drawFiltered(SwfFilter::list({bevel.bytes()}));
        const QColor lit = img.pixelColor(c.lit);
        const QColor shaded = img.pixelColor(c.shaded);
        EXPECT_GT(lit.green(), 60) << "angle " << c.angle << ": the lit edge turns towards white";
        EXPECT_LT(shaded.red(), 200) << "angle " << c.angle << ": the shaded edge darkens";
        EXPECT_EQ(shaded.green(), 0) << "angle " << c.angle;
        EXPECT_TRUE(colourNear(img, 50, 50, Qt::red, 0)) << "the flat middle keeps its colour";
        EXPECT_TRUE(colourNear(img, 20, 20, kWhite, 0)) << "an inner bevel stays inside";
    }
}

TEST(PlayerEffects, ConvolutionFilterAppliesItsKernel)
{
    // A 3 x 3 kernel taking each pixel from its left neighbour: the object
    // moves one pixel right. Outside the layer counts as transparent.
    TagBody conv;
    conv.ui8(5).ui8(3).ui8(3).f32(1).f32(0);
    for (int i = 0; i < 9; ++i)
        conv.f32(i == 3 ? 1.0f : 0.0f);
    conv.rgba(0, 0, 0, 0).ui8(0);
    const QImage img = drawFiltered(SwfFilter::list({conv.bytes()}));
    EXPECT_TRUE(colourNear(img, 30, 50, kWhite, 0));
    EXPECT_TRUE(colourNear(img, 31, 50, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 70, 50, Qt::red, 0));
    EXPECT_TRUE(colourNear(img, 71, 50, kWhite, 0));
}

} // namespace

TEST(PlayerEffects, FilterWorkOfOneFrameIsBounded)
{
    // A few hundred bytes can ask for stage-sized layers each blurred dozens
    // of times (seconds per frame): past the frame's budget, objects are
    // drawn without their filters.
    SwfWriter w = stageOf(256, 256);
    w.setBackgroundColor(255, 255, 255);
    defineSquare(w, 1, 0, 0, 256 * 20, {0, 0, 255, 255});
    defineSquare(w, 2, 0, 0, 20 * 20, {255, 0, 0, 255});
    const QByteArray filters = SwfFilter::list(std::vector<QByteArray>(16, SwfFilter::blur(255, 255, 3)));
    w.placeObject3(SwfPlace{.depth = 1, .characterId = 1, .filterList = filters});
    w.placeObject3(SwfPlace{.depth = 2, .characterId = 1, .filterList = filters});
    w.placeObject3(SwfPlace{.depth = 3, .characterId = 2, .filterList = filters});
    w.showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(256, 256));
    EXPECT_TRUE(colourNear(img, 10, 10, Qt::red, 0)) << "the last object, past the budget, sharp";
}
