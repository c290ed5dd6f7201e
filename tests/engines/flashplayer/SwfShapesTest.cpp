#include "ReaderTestSupport.h"

#include "engines/flashplayer/SwfShapes.h"

#include <cmath>
#include <string>

namespace {

using namespace swftest;

swf::Shape onlyShape(const swf::Movie &movie, uint16_t id = 1)
{
    const auto *shape = movie.character<swf::Shape>(id);
    if (!shape)
        throw std::runtime_error("shape missing");
    return *shape;
}

swf::Movie movieWithShape(int version, const SwfShape &shape, uint8_t movieVersion = 10)
{
    SwfWriter w;
    w.setVersion(movieVersion).defineShape(version, 1, {0, 1000, 0, 1000}, shape).showFrame();
    return readClean(w);
}

// Area by sampling the path on a grid, which knows nothing of how the path
// was put together.
double sampledArea(const QPainterPath &path, double step = 5)
{
    const QRectF box = path.boundingRect().adjusted(-step, -step, step, step);
    int inside = 0;
    for (double y = box.top() + step / 2; y < box.bottom(); y += step)
        for (double x = box.left() + step / 2; x < box.right(); x += step)
            inside += path.contains(QPointF(x, y)) ? 1 : 0;
    return inside * step * step;
}

// ---- styles and records as read ----

class SolidStyles : public ::testing::TestWithParam<int> {};

TEST_P(SolidStyles, ColoursHaveAlphaFromVersionThree)
{
    const int version = GetParam();
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(10, 20, 30, 40)};
    shape.styles.lines = {SwfLineStyle{.width = 60, .color = {50, 60, 70, 80}}};
    square(shape.setStyles(std::nullopt, 1u, 1u), 0, 0, 100);
    const swf::Shape s = onlyShape(movieWithShape(version, shape));
    EXPECT_EQ(s.version, version);
    EXPECT_EQ(s.bounds, (swf::Rect{0, 1000, 0, 1000}));
    EXPECT_EQ(s.edgeBounds, s.bounds);
    const uint8_t alpha = version >= 3 ? 40 : 255;
    ASSERT_EQ(s.data.styles.fillStyles.size(), 1u);
    EXPECT_EQ(s.data.styles.fillStyles[0].type, swf::FillStyleType::Solid);
    EXPECT_EQ(s.data.styles.fillStyles[0].color, (swf::Color{10, 20, 30, alpha}));
    ASSERT_EQ(s.data.styles.lineStyles.size(), 1u);
    const swf::LineStyle &line = s.data.styles.lineStyles[0];
    EXPECT_EQ(line.width, 60);
    EXPECT_EQ(line.color, (swf::Color{50, 60, 70, uint8_t(version >= 3 ? 80 : 255)}));
    EXPECT_FALSE(line.fill);
}

INSTANTIATE_TEST_SUITE_P(Versions, SolidStyles, ::testing::Values(1, 2, 3, 4));

TEST(ShapeStyles, GradientFills)
{
    SwfFillStyle linear{.type = 0x10,
                        .matrix = SwfMatrix{.scale = std::pair{0.25, 0.5}, .rotate = std::pair{0.125, -0.0625},
                                            .translateX = 500, .translateY = -500},
                        .spread = 2,
                        .interpolation = 1,
                        .stops = {{0, {255, 0, 0, 255}}, {128, {0, 255, 0, 100}}, {255, {0, 0, 255, 0}}}};
    SwfFillStyle radial = linear;
    radial.type = 0x12;
    radial.spread = 1;
    radial.interpolation = 0;
    SwfFillStyle focal = linear;
    focal.type = 0x13;
    focal.focalPoint = -0.75;
    SwfShape shape;
    shape.styles.fills = {linear, radial, focal};
    square(shape.setStyles(std::nullopt, 3u), 0, 0, 10);
    const swf::Shape s = onlyShape(movieWithShape(4, shape));
    ASSERT_EQ(s.data.styles.fillStyles.size(), 3u);
    const swf::FillStyle &l = s.data.styles.fillStyles[0];
    EXPECT_EQ(l.type, swf::FillStyleType::LinearGradient);
    EXPECT_TRUE(l.isGradient());
    EXPECT_FALSE(l.isBitmap());
    EXPECT_EQ(l.gradient.matrix, (swf::Matrix{0.25, 0.125, -0.0625, 0.5, 500, -500}));
    EXPECT_EQ(l.gradient.spread, swf::SpreadMode::Repeat);
    EXPECT_EQ(l.gradient.interpolation, swf::InterpolationMode::LinearRgb);
    ASSERT_EQ(l.gradient.records.size(), 3u);
    EXPECT_EQ(l.gradient.records[1], (swf::GradientRecord{128, {0, 255, 0, 100}}));
    EXPECT_EQ(s.data.styles.fillStyles[1].type, swf::FillStyleType::RadialGradient);
    EXPECT_EQ(s.data.styles.fillStyles[1].gradient.spread, swf::SpreadMode::Reflect);
    EXPECT_EQ(s.data.styles.fillStyles[1].gradient.interpolation, swf::InterpolationMode::Rgb);
    EXPECT_EQ(s.data.styles.fillStyles[2].type, swf::FillStyleType::FocalRadialGradient);
    EXPECT_EQ(s.data.styles.fillStyles[2].gradient.focalPoint, -0.75);
    EXPECT_EQ(s.data.styles.fillStyles[2].gradient.records.size(), 3u);
}

struct BitmapFillCase {
    uint8_t type;
    uint8_t movieVersion;
    bool repeats;
    bool smoothed;
};

class BitmapFills : public ::testing::TestWithParam<BitmapFillCase> {};

TEST_P(BitmapFills, RepeatAndSmoothing)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle{.type = GetParam().type,
                                       .matrix = SwfMatrix{.scale = std::pair{20.0, 20.0}, .translateX = 7},
                                       .bitmapId = 44}};
    square(shape.setStyles(std::nullopt, 1u), 0, 0, 10);
    const swf::FillStyle f = onlyShape(movieWithShape(2, shape, GetParam().movieVersion)).data.styles.fillStyles[0];
    EXPECT_TRUE(f.isBitmap());
    EXPECT_EQ(f.bitmapId, 44);
    EXPECT_EQ(f.bitmapMatrix, (swf::Matrix{20, 0, 0, 20, 7, 0}));
    EXPECT_EQ(f.bitmapRepeats(), GetParam().repeats);
    EXPECT_EQ(f.bitmapSmoothed, GetParam().smoothed);
}

INSTANTIATE_TEST_SUITE_P(Types, BitmapFills,
                         ::testing::Values(BitmapFillCase{0x40, 8, true, true}, BitmapFillCase{0x41, 8, false, true},
                                           BitmapFillCase{0x42, 8, true, false},
                                           BitmapFillCase{0x43, 8, false, false},
                                           BitmapFillCase{0x40, 7, true, false}));

TEST(ShapeStyles, LineStyleTwoEveryField)
{
    SwfShape shape;
    shape.styles.lines = {
        SwfLineStyle{.width = 45, .color = {1, 2, 3, 4}, .startCap = 1, .endCap = 2, .join = 2, .miterLimit = 2.5,
                     .noHScale = true, .pixelHinting = true, .noClose = true},
        SwfLineStyle{.width = 10, .startCap = 2, .join = 1, .noVScale = true,
                     .fill = SwfFillStyle{.type = 0x10, .stops = {{0, {9, 9, 9, 9}}}}}};
    shape.setStyles(std::nullopt, std::nullopt, 2u).moveTo(0, 0).line(10, 10);
    SwfWriter w;
    w.defineShape4(1, {0, 10, 0, 10}, {1, 9, 2, 8}, 0x07, shape).showFrame();
    const swf::Shape s = onlyShape(readClean(w));
    EXPECT_EQ(s.edgeBounds, (swf::Rect{1, 9, 2, 8}));
    EXPECT_TRUE(s.usesFillWindingRule && s.usesNonScalingStrokes && s.usesScalingStrokes);
    ASSERT_EQ(s.data.styles.lineStyles.size(), 2u);
    const swf::LineStyle &a = s.data.styles.lineStyles[0];
    EXPECT_EQ(a.width, 45);
    EXPECT_EQ(a.color, (swf::Color{1, 2, 3, 4}));
    EXPECT_EQ(a.startCap, swf::CapStyle::None);
    EXPECT_EQ(a.endCap, swf::CapStyle::Square);
    EXPECT_EQ(a.join, swf::JoinStyle::Miter);
    EXPECT_EQ(a.miterLimit, 2.5);
    EXPECT_TRUE(a.noHScale && a.pixelHinting && a.noClose);
    EXPECT_FALSE(a.noVScale || a.fill);
    const swf::LineStyle &b = s.data.styles.lineStyles[1];
    EXPECT_EQ(b.startCap, swf::CapStyle::Square);
    EXPECT_EQ(b.endCap, swf::CapStyle::Round);
    EXPECT_EQ(b.join, swf::JoinStyle::Bevel);
    EXPECT_TRUE(b.noVScale);
    ASSERT_TRUE(b.fill);
    EXPECT_EQ(b.fill->type, swf::FillStyleType::LinearGradient);
    EXPECT_EQ(b.fill->gradient.records[0].color, (swf::Color{9, 9, 9, 9}));
}

TEST(ShapeRecords, StyleChangesAndEdgesKeepTheirValues)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(1, 1, 1), SwfFillStyle::solid(2, 2, 2), SwfFillStyle::solid(3, 3, 3)};
    shape.styles.lines = {SwfLineStyle{}};
    shape.change(std::pair{-70000, 123}, 3u, 0u, 1u);
    shape.line(0, -5).line(300, 0).line(-2, 65535).curve(10, -20, -30000, 4);
    const swf::Shape s = onlyShape(movieWithShape(3, shape));
    ASSERT_EQ(s.data.records.size(), 5u);
    const auto &change = std::get<swf::StyleChangeRecord>(s.data.records[0]);
    EXPECT_EQ(change.moveTo, (swf::Point{-70000, 123}));
    EXPECT_EQ(change.fillStyle0, 3u);
    EXPECT_EQ(change.fillStyle1, 0u);
    EXPECT_EQ(change.lineStyle, 1u);
    EXPECT_FALSE(change.newStyles);
    const auto &vertical = std::get<swf::StraightEdgeRecord>(s.data.records[1]);
    EXPECT_EQ(vertical.deltaX, 0);
    EXPECT_EQ(vertical.deltaY, -5);
    EXPECT_EQ(std::get<swf::StraightEdgeRecord>(s.data.records[2]).deltaX, 300);
    const auto &general = std::get<swf::StraightEdgeRecord>(s.data.records[3]);
    EXPECT_EQ(general.deltaX, -2);
    EXPECT_EQ(general.deltaY, 65535);
    const auto &curve = std::get<swf::CurvedEdgeRecord>(s.data.records[4]);
    EXPECT_EQ(curve.controlDeltaX, 10);
    EXPECT_EQ(curve.controlDeltaY, -20);
    EXPECT_EQ(curve.anchorDeltaX, -30000);
    EXPECT_EQ(curve.anchorDeltaY, 4);
}

TEST(ShapeRecords, ExtendedStyleCountsFromVersionTwo)
{
    SwfShape shape;
    for (int i = 0; i < 300; ++i)
        shape.styles.fills.push_back(SwfFillStyle::solid(uint8_t(i), 0, 0));
    square(shape.setStyles(std::nullopt, 300u), 0, 0, 10);
    const swf::Shape s = onlyShape(movieWithShape(2, shape));
    ASSERT_EQ(s.data.styles.fillStyles.size(), 300u);
    EXPECT_EQ(s.data.styles.fillStyles[299].color.red, uint8_t(299));
    EXPECT_EQ(std::get<swf::StyleChangeRecord>(s.data.records[0]).fillStyle1, 300u);
}

TEST(ShapeRecords, UnknownFillTypeDamagesOnlyThatShape)
{
    SwfShape bad;
    bad.styles.fills = {SwfFillStyle{.type = 0x20}};
    SwfShape good;
    square(good, 0, 0, 5);
    SwfWriter w;
    w.defineShape(3, 1, {0, 1, 0, 1}, bad).defineShape(3, 2, {0, 1, 0, 1}, good).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    EXPECT_EQ(movie.character<swf::Shape>(1), nullptr);
    EXPECT_NE(movie.character<swf::Shape>(2), nullptr);
    ASSERT_EQ(movie.warnings.size(), 1u);
    EXPECT_EQ(movie.warnings[0].tagCode, SwfTag::DefineShape3);
}

TEST(ShapeRecords, RecordsCutShortAreKept)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(1, 2, 3)};
    square(shape.setStyles(std::nullopt, 1u), 0, 0, 1000);
    TagBody body;
    body.ui16(1).rect({0, 1000, 0, 1000});
    shape.writeWithStyles(body, 3);
    const QByteArray cut = body.bytes().left(body.size() - 3);
    SwfWriter w;
    w.addTag(SwfTag::DefineShape3, cut).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    const auto *s = movie.character<swf::Shape>(1);
    ASSERT_NE(s, nullptr);
    EXPECT_GE(s->data.records.size(), 2u);
    EXPECT_LT(s->data.records.size(), 6u);
    EXPECT_TRUE(hasWarning(movie, QStringLiteral("break off")));
}

// ---- paths ----

TEST(ShapePaths, AdjacentSquaresShareAnEdge)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(255, 0, 0), SwfFillStyle::solid(0, 0, 255)};
    // The outline, each part with its square on the right-hand side.
    shape.change(std::pair{0, 0}, 0u, 1u, std::nullopt).line(100, 0);
    shape.setStyles(std::nullopt, 2u).line(100, 0).line(0, 100).line(-100, 0);
    shape.setStyles(std::nullopt, 1u).line(-100, 0).line(0, -100);
    // The shared edge: blue on its left, red on its right.
    shape.change(std::pair{100, 0}, 2u, 1u, std::nullopt).line(0, 100);
    const auto layers = swf::buildShapePaths(onlyShape(movieWithShape(1, shape)));
    ASSERT_EQ(layers.size(), 1u);
    ASSERT_EQ(layers[0].fills.size(), 2u);
    const QPainterPath &red = layers[0].fills[0].path;
    const QPainterPath &blue = layers[0].fills[1].path;
    EXPECT_EQ(layers[0].fills[0].style.color.red, 255);
    EXPECT_EQ(layers[0].fills[1].style.color.blue, 255);
    EXPECT_NEAR(sampledArea(red), 10000, 1);
    EXPECT_NEAR(sampledArea(blue), 10000, 1);
    EXPECT_TRUE(red.contains(QPointF(50, 50)));
    EXPECT_FALSE(red.contains(QPointF(150, 50)));
    EXPECT_TRUE(blue.contains(QPointF(150, 50)));
    EXPECT_FALSE(blue.contains(QPointF(50, 50)));
    EXPECT_EQ(red.toSubpathPolygons().size(), 1u) << "one closed outline per square";
    EXPECT_EQ(blue.toSubpathPolygons().size(), 1u);
    EXPECT_TRUE(layers[0].strokes.empty());
}

class HolePaths : public ::testing::TestWithParam<Qt::FillRule> {};

TEST_P(HolePaths, InnerOutlineWithTheFillOnItsOtherSideCutsAHole)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
    square(shape.setStyles(0u, 1u), 0, 0, 300);
    // Drawn the same way round, so the fill is on its left.
    square(shape.setStyles(1u, 0u), 100, 100, 100);
    const swf::Shape s = onlyShape(movieWithShape(1, shape));
    const auto layers = swf::buildShapePaths(s.data, GetParam());
    ASSERT_EQ(layers.size(), 1u);
    ASSERT_EQ(layers[0].fills.size(), 1u);
    const QPainterPath &path = layers[0].fills[0].path;
    EXPECT_EQ(path.fillRule(), GetParam());
    EXPECT_NEAR(sampledArea(path), 300 * 300 - 100 * 100, 1);
    EXPECT_TRUE(path.contains(QPointF(50, 50)));
    EXPECT_FALSE(path.contains(QPointF(150, 150)));
    EXPECT_TRUE(path.contains(QPointF(250, 250)));
}

INSTANTIATE_TEST_SUITE_P(Rules, HolePaths, ::testing::Values(Qt::OddEvenFill, Qt::WindingFill));

TEST(ShapePaths, EdgesGivenOutOfOrderStillClose)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
    shape.change(std::pair{200, 200}, std::nullopt, 1u, std::nullopt).line(-200, 0); // bottom
    shape.moveTo(200, 0).line(0, 200);                                             // right
    shape.moveTo(0, 0).line(200, 0);                                               // top
    shape.moveTo(0, 200).line(0, -200);                                            // left
    const auto layers = swf::buildShapePaths(onlyShape(movieWithShape(1, shape)));
    const QPainterPath &path = layers.at(0).fills.at(0).path;
    EXPECT_EQ(path.toSubpathPolygons().size(), 1u);
    EXPECT_NEAR(sampledArea(path), 40000, 1);
}

TEST(ShapePaths, CurvedEdgeBulgesByTwoThirdsOfItsTriangle)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
    shape.change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt);
    shape.curve(100, -150, 100, 150).line(0, 200).line(-200, 0).line(0, -200);
    const auto layers = swf::buildShapePaths(onlyShape(movieWithShape(1, shape)));
    const QPainterPath &path = layers.at(0).fills.at(0).path;
    // Qt flattens the curve into chords, which lose a little of the bulge.
    EXPECT_NEAR(sampledArea(path, 2), 40000 + 2.0 / 3.0 * (200 * 150 / 2.0), 400);
    EXPECT_TRUE(path.contains(QPointF(100, -60)));
    EXPECT_FALSE(path.contains(QPointF(10, -60)));
}

TEST(ShapePaths, NewStyleArraysStartALayerAbove)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(255, 0, 0)};
    shape.styles.lines = {SwfLineStyle{.width = 20}};
    square(shape.setStyles(std::nullopt, 1u, 1u), 0, 0, 100);
    SwfStyleArrays next;
    next.fills = {SwfFillStyle::solid(0, 255, 0), SwfFillStyle::solid(0, 0, 255)};
    shape.change(std::nullopt, std::nullopt, std::nullopt, std::nullopt, next);
    square(shape.setStyles(std::nullopt, 2u), 50, 50, 100);
    const swf::Shape s = onlyShape(movieWithShape(2, shape));
    const auto &change = std::get<swf::StyleChangeRecord>(s.data.records[6]);
    ASSERT_TRUE(change.newStyles);
    EXPECT_EQ(change.newStyles->fillStyles.size(), 2u);
    const auto layers = swf::buildShapePaths(s);
    ASSERT_EQ(layers.size(), 2u);
    ASSERT_EQ(layers[0].fills.size(), 1u);
    EXPECT_EQ(layers[0].fills[0].style.color.red, 255);
    ASSERT_EQ(layers[0].strokes.size(), 1u);
    EXPECT_TRUE(layers[0].fills[0].path.contains(QPointF(25, 25)));
    ASSERT_EQ(layers[1].fills.size(), 1u);
    EXPECT_EQ(layers[1].fills[0].style.color.blue, 255) << "index 2 of the new arrays";
    EXPECT_TRUE(layers[1].fills[0].path.contains(QPointF(125, 125)));
    EXPECT_FALSE(layers[1].fills[0].path.contains(QPointF(25, 25)));
    EXPECT_TRUE(layers[1].strokes.empty()) << "the line style ended with the old arrays";
}

TEST(ShapePaths, StrokesFollowTheirLineStyle)
{
    SwfShape shape;
    shape.styles.lines = {SwfLineStyle{.width = 20}, SwfLineStyle{.width = 40}};
    square(shape.setStyles(std::nullopt, std::nullopt, 1u), 0, 0, 100);  // closed
    shape.moveTo(300, 0).line(100, 0).line(0, 100);                         // open, same style
    shape.setStyles(std::nullopt, std::nullopt, 2u).line(-100, 0);          // continues in the other
    const auto layers = swf::buildShapePaths(onlyShape(movieWithShape(1, shape)));
    ASSERT_EQ(layers.size(), 1u);
    ASSERT_EQ(layers[0].strokes.size(), 2u);
    EXPECT_TRUE(layers[0].fills.empty());
    const auto first = layers[0].strokes[0].path.toSubpathPolygons();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].first(), first[0].last()) << "the square returns to its start";
    EXPECT_EQ(first[1].size(), 3);
    EXPECT_EQ(first[1].first(), QPointF(300, 0));
    EXPECT_EQ(first[1].last(), QPointF(400, 100));
    EXPECT_EQ(layers[0].strokes[1].style.width, 40);
    const auto second = layers[0].strokes[1].path.toSubpathPolygons();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].first(), QPointF(400, 100));
    EXPECT_EQ(second[0].last(), QPointF(300, 100));
}

TEST(ShapePaths, MissingStylesAndEmptyShapesDrawNothing)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
    square(shape.setStyles(7u, 9u, 3u), 0, 0, 100);
    const auto layers = swf::buildShapePaths(onlyShape(movieWithShape(1, shape)));
    EXPECT_TRUE(layers.empty());
    EXPECT_TRUE(swf::buildShapePaths(swf::ShapeData{}).empty());
}

TEST(ShapePaths, WindingRuleComesFromDefineShape4)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
    square(shape.setStyles(std::nullopt, 1u), 0, 0, 100);
    for (uint8_t flags : {0, 4}) {
        SwfWriter w;
        w.defineShape4(1, {0, 100, 0, 100}, {0, 100, 0, 100}, flags, shape).showFrame();
        const auto layers = swf::buildShapePaths(onlyShape(readClean(w)));
        EXPECT_EQ(layers.at(0).fills.at(0).path.fillRule(), flags ? Qt::WindingFill : Qt::OddEvenFill);
    }
}

TEST(GlyphPaths, AnOWithItsCounter)
{
    SwfShape glyph;
    square(glyph.setStyles(std::nullopt, 1u), 0, -800, 600);
    square(glyph.setStyles(1u, 0u), 200, -600, 200);
    SwfWriter w;
    w.defineFont1(5, {glyph}).showFrame();
    const swf::Movie movie = readClean(w);
    const auto *font = movie.character<swf::Font>(5);
    ASSERT_NE(font, nullptr);
    const QPainterPath path = swf::buildGlyphPath(font->glyphs.at(0).shape);
    EXPECT_NEAR(sampledArea(path), 600 * 600 - 200 * 200, 1);
    EXPECT_TRUE(path.contains(QPointF(100, -700)));
    EXPECT_FALSE(path.contains(QPointF(300, -500)));
}

// ---- morphs ----

swf::MorphShape squareMorph(bool endCurved)
{
    SwfMorph m;
    m.startBounds = {0, 100, 0, 100};
    m.endBounds = {0, 300, 0, 300};
    m.fills = {SwfMorphFill{.startColor = {255, 0, 0, 255}, .endColor = {0, 0, 255, 0}}};
    m.lines = {SwfMorphLine{.startWidth = 20, .endWidth = 100, .startColor = {0, 0, 0, 255},
                            .endColor = {200, 200, 200, 255}}};
    square(m.start.setStyles(std::nullopt, 1u, 1u), 0, 0, 100);
    m.end.moveTo(0, 0);
    if (endCurved)
        m.end.curve(150, -60, 150, 60);
    else
        m.end.line(300, 0);
    m.end.polygon({{0, 300}, {-300, 0}, {0, -300}});
    SwfWriter w;
    w.defineMorphShape(1, m).showFrame();
    const swf::Movie movie = readClean(w);
    return *movie.character<swf::MorphShape>(1);
}

struct MorphCase {
    double t;
    double side;
};

class MorphPositions : public ::testing::TestWithParam<MorphCase> {};

TEST_P(MorphPositions, ShapesAndStylesInBetween)
{
    const swf::MorphShape morph = squareMorph(false);
    const double t = GetParam().t;
    const swf::ShapeData shape = swf::morphShapeAt(morph, t);
    ASSERT_EQ(shape.styles.fillStyles.size(), 1u);
    const swf::Color c = shape.styles.fillStyles[0].color;
    EXPECT_EQ(c.red, std::lround(255 * (1 - t)));
    EXPECT_EQ(c.blue, std::lround(255 * t));
    EXPECT_EQ(c.alpha, std::lround(255 * (1 - t)));
    EXPECT_EQ(shape.styles.lineStyles[0].width, std::lround(20 + 80 * t));
    const auto layers = swf::buildShapePaths(shape);
    ASSERT_EQ(layers.size(), 1u);
    const QPainterPath &path = layers[0].fills.at(0).path;
    EXPECT_NEAR(sampledArea(path), GetParam().side * GetParam().side, 10 * GetParam().side);
    EXPECT_EQ(path.toSubpathPolygons().size(), 1u) << "still closed";
}

INSTANTIATE_TEST_SUITE_P(Ratios, MorphPositions,
                         ::testing::Values(MorphCase{0, 100}, MorphCase{0.5, 200}, MorphCase{1, 300},
                                           MorphCase{swf::morphPosition(16384), 100 + 200 * 16384 / 65535.0}));

TEST(Morphs, StraightEdgePairedWithACurveBends)
{
    const swf::MorphShape morph = squareMorph(true);
    const swf::ShapeData mid = swf::morphShapeAt(morph, 0.5);
    ASSERT_EQ(mid.records.size(), morph.startRecords.size());
    const auto &curve = std::get<swf::CurvedEdgeRecord>(mid.records[2]);
    // Control halfway between (50, 0) on the straight edge and (150, -60).
    EXPECT_EQ(curve.controlDeltaX, 100);
    EXPECT_EQ(curve.controlDeltaY, -30);
    EXPECT_EQ(curve.anchorDeltaX, 100);
    EXPECT_EQ(curve.anchorDeltaY, 30);
    const swf::ShapeData end = swf::morphShapeAt(morph, 1);
    const auto layers = swf::buildShapePaths(end);
    EXPECT_TRUE(layers.at(0).fills.at(0).path.contains(QPointF(150, -20)));
}

TEST(Morphs, MissingEndEdgesDoNotBreakTheShape)
{
    swf::MorphShape morph = squareMorph(false);
    morph.endRecords.resize(2);
    const swf::ShapeData shape = swf::morphShapeAt(morph, 0.5);
    EXPECT_EQ(shape.records.size(), morph.startRecords.size());
    EXPECT_FALSE(swf::buildShapePaths(shape).empty());
}

} // namespace
