#include "ReaderTestSupport.h"

#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <string>

namespace {

using namespace swftest;
using Compression = SwfWriter::Compression;

SwfShape triangle()
{
    SwfShape shape;
    shape.styles.fills.push_back(SwfFillStyle::solid(255, 0, 0));
    shape.moveTo(0, 0).setStyles(std::nullopt, 1u).polygon({{200, 0}, {-100, 200}, {-100, -200}});
    return shape;
}

// ---- the container ----

struct ContainerCase {
    const char *name;
    Compression compression;
    swf::Compression expected;
};

class Containers : public ::testing::TestWithParam<ContainerCase> {};

TEST_P(Containers, ReadHeaderAndTags)
{
    SwfWriter w;
    w.setVersion(13).setFrameSize({-40, 11000, 20, 8000}).setFrameRate(24.5);
    w.setBackgroundColor(10, 20, 30).defineShape(1, 7, {0, 200, 0, 200}, triangle());
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 7}).showFrame().showFrame();
    const swf::Movie movie = readClean(w, GetParam().compression);
    EXPECT_EQ(movie.compression, GetParam().expected);
    EXPECT_EQ(movie.version, 13);
    EXPECT_EQ(movie.frameSize, (swf::Rect{-40, 11000, 20, 8000}));
    EXPECT_DOUBLE_EQ(movie.frameRate, 24.5);
    EXPECT_EQ(movie.frameCount, 2);
    ASSERT_EQ(movie.frames.size(), 2u);
    EXPECT_EQ(movie.frames[0].tags.size(), 1u);
    EXPECT_TRUE(movie.frames[1].tags.empty());
    ASSERT_TRUE(movie.backgroundColor);
    EXPECT_EQ(*movie.backgroundColor, (swf::Color{10, 20, 30, 255}));
    ASSERT_NE(movie.character<swf::Shape>(7), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Compressions, Containers,
                         ::testing::Values(ContainerCase{"Plain", Compression::None, swf::Compression::None},
                                           ContainerCase{"Zlib", Compression::Zlib, swf::Compression::Zlib},
                                           ContainerCase{"Lzma", Compression::Lzma, swf::Compression::Lzma}),
                         [](const auto &info) { return std::string(info.param.name); });

struct UnreadableCase {
    const char *name;
    std::function<QByteArray()> bytes;
};

class Unreadable : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(Unreadable, GivesAnErrorAndNoContent)
{
    const swf::Movie movie = swf::readMovie(GetParam().bytes());
    EXPECT_FALSE(movie.ok());
    EXPECT_TRUE(movie.frames.empty());
    EXPECT_TRUE(movie.characters.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, Unreadable,
    ::testing::Values(
        UnreadableCase{"Empty", [] { return QByteArray(); }},
        UnreadableCase{"ShorterThanTheLead", [] { return QByteArray("FWS\x0a", 4); }},
        UnreadableCase{"OtherSignature", [] { return SwfWriter().setSignature("GIF").bytes(); }},
        UnreadableCase{"LowerCaseSignature", [] { return SwfWriter().setSignature("fws").bytes(); }},
        UnreadableCase{"NoFrameHeader", [] { return SwfWriter().bytes().left(9); }},
        UnreadableCase{"ZlibGarbage", [] { return QByteArray("CWS\x0a\x20\0\0\0garbage-not-zlib", 23); }},
        UnreadableCase{"LzmaWithoutProperties", [] { return SwfWriter().bytes(Compression::Lzma).left(14); }},
        UnreadableCase{"LzmaBadProperties",
                       [] {
                           QByteArray b = SwfWriter().bytes(Compression::Lzma);
                           b[12] = char(0xFF); // lc/lp/pb out of range
                           return b;
                       }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Container, WrongDeclaredLengthIsAWarningOnly)
{
    SwfWriter w;
    w.setFileLength(5000).showFrame().end();
    for (auto compression : {Compression::None, Compression::Zlib}) {
        const swf::Movie movie = swf::readMovie(w.bytes(compression));
        ASSERT_TRUE(movie.ok());
        EXPECT_EQ(movie.frames.size(), 1u);
        EXPECT_TRUE(hasWarning(movie, QStringLiteral("length"))) << warningText(movie).toStdString();
    }
}

TEST(Container, LzmaStopsAtTheDeclaredLength)
{
    SwfWriter w;
    w.showFrame().showFrame().showFrame().end();
    const QByteArray full = w.bytes();
    // Declare the movie to end after the second ShowFrame.
    w.setFileLength(uint32_t(full.size() - 4));
    const swf::Movie movie = swf::readMovie(w.bytes(Compression::Lzma));
    ASSERT_TRUE(movie.ok());
    EXPECT_EQ(movie.frames.size(), 2u);
}

TEST(Container, CompressedStreamCutShortKeepsCompleteTags)
{
    SwfWriter w;
    for (int i = 0; i < 200; ++i)
        w.frameLabel("frame-" + QByteArray::number(i)).showFrame();
    w.end();
    for (auto compression : {Compression::Zlib, Compression::Lzma}) {
        const QByteArray bytes = w.bytes(compression);
        const swf::Movie movie = swf::readMovie(bytes.left(bytes.size() / 2));
        ASSERT_TRUE(movie.ok());
        EXPECT_GT(movie.frames.size(), 10u);
        EXPECT_LT(movie.frames.size(), 200u);
        for (size_t i = 0; i < movie.frames.size(); ++i) {
            ASSERT_EQ(movie.frames[i].labels.size(), 1u);
            EXPECT_EQ(movie.frames[i].labels[0].name, QStringLiteral("frame-%1").arg(i));
        }
        EXPECT_FALSE(movie.warnings.empty());
    }
}

TEST(Container, ReadsFromAFileAndReportsMissingOnes)
{
    QTemporaryDir dir;
    SwfWriter w;
    w.showFrame().end();
    const QString path = dir.filePath("a.swf");
    ASSERT_TRUE(w.save(path, Compression::Zlib));
    QString error;
    const swf::Movie movie = swf::readMovieFile(path, &error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(movie.frames.size(), 1u);

    const swf::Movie missing = swf::readMovieFile(dir.filePath("none.swf"), &error);
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(error.isEmpty());
    swf::readMovieFile(dir.path(), &error);
    EXPECT_FALSE(error.isEmpty()) << "a folder is not a movie";
}

// ---- the timeline ----

TEST(Timeline, FramesLabelsAndTrailingTags)
{
    SwfWriter w;
    w.setVersion(8);
    w.frameLabel("intro").placeObject2(SwfPlace{.depth = 3, .characterId = 9}).showFrame();
    w.frameLabel("anchor", true).frameLabel("second").showFrame();
    w.removeObject2(3).removeObject(9, 4); // no ShowFrame follows
    const swf::Movie movie = readClean(w);
    ASSERT_EQ(movie.frames.size(), 3u);
    ASSERT_EQ(movie.frames[0].labels.size(), 1u);
    EXPECT_EQ(movie.frames[0].labels[0].name, "intro");
    EXPECT_FALSE(movie.frames[0].labels[0].namedAnchor);
    ASSERT_EQ(movie.frames[1].labels.size(), 2u);
    EXPECT_TRUE(movie.frames[1].labels[0].namedAnchor);
    EXPECT_EQ(movie.frames[1].labels[1].name, "second");
    ASSERT_EQ(movie.frames[2].tags.size(), 2u);
    const auto &remove2 = std::get<swf::RemoveObject>(movie.frames[2].tags[0]);
    EXPECT_EQ(remove2.version, 2);
    EXPECT_EQ(remove2.depth, 3);
    EXPECT_FALSE(remove2.characterId);
    const auto &remove1 = std::get<swf::RemoveObject>(movie.frames[2].tags[1]);
    EXPECT_EQ(remove1.version, 1);
    EXPECT_EQ(remove1.characterId, 9);
    EXPECT_EQ(remove1.depth, 4);
}

// Frame scripts keep their timeline actions up to the first branch; the
// rest is counted as not run.
TEST(Timeline, FrameScriptsKeepTheirTimelineActions)
{
    using Kind = swf::TimelineAction::Kind;
    struct Case {
        const char *what;
        QByteArray script;
        std::vector<std::pair<Kind, QString>> kept; // frame numbers as text
        uint32_t notRun;
        bool warned;
    };
    const QByteArray push = SwfActions().record(0x96, QByteArray(2, '\0')).bytes().chopped(1);
    const std::vector<Case> cases = {
        {"each kind", SwfActions().stop().play().nextFrame().previousFrame().gotoFrame(513).gotoLabel("here")
                          .setTarget("/a/b").bytes(),
         {{Kind::Stop, ""}, {Kind::Play, ""}, {Kind::NextFrame, ""}, {Kind::PreviousFrame, ""},
          {Kind::GotoFrame, "513"}, {Kind::GotoLabel, "here"}, {Kind::SetTarget, "/a/b"}}, 0, false},
        {"others passed over", push + SwfActions().stop().bytes(), {{Kind::Stop, ""}}, 1, false},
        {"a branch ends what is kept", SwfActions().play().record(0x9D, QByteArray(2, '\0')).stop().stop().bytes(),
         {{Kind::Play, ""}}, 3, false},
        {"no end flag", SwfActions().stop().bytes().chopped(1), {{Kind::Stop, ""}}, 0, false},
        {"a record cut off", SwfActions().play().bytes().chopped(1) + QByteArray("\x81\x09\x00\x01", 4),
         {{Kind::Play, ""}}, 0, true},
    };
    for (const Case &c : cases) {
        SwfWriter w;
        w.setVersion(8).setFrameSize({0, 200, 0, 200});
        w.addTag(SwfTag::DoAction, c.script).showFrame().end();
        const swf::Movie movie = swf::readMovie(w.bytes());
        ASSERT_EQ(movie.frames.size(), 1u) << c.what;
        std::vector<std::pair<Kind, QString>> kept;
        for (const swf::TimelineAction &a : movie.frames[0].actions)
            kept.emplace_back(a.kind, a.kind == Kind::GotoFrame ? QString::number(a.frame) : a.name);
        EXPECT_EQ(kept, c.kept) << c.what;
        EXPECT_EQ(movie.scripts.frameScripts, 1u) << c.what;
        EXPECT_EQ(movie.scripts.actionsNotRun, c.notRun) << c.what;
        EXPECT_EQ(!movie.warnings.empty(), c.warned) << c.what;
    }
}

TEST(Timeline, StringsAreUtf8FromVersion6AndLatin1Before)
{
    const QByteArray name("caf\xc3\xa9");
    for (uint8_t version : {5, 6}) {
        SwfWriter w;
        w.setVersion(version).frameLabel(name).showFrame();
        const swf::Movie movie = readClean(w);
        ASSERT_EQ(movie.frames.size(), 1u);
        EXPECT_EQ(movie.frames[0].labels[0].name,
                  version >= 6 ? QString::fromUtf8(name) : QString::fromLatin1(name));
    }
}

TEST(Timeline, PlaceObjectOneWithAndWithoutColourTransform)
{
    SwfWriter w;
    w.placeObject(5, 2, SwfMatrix{.scale = std::pair{2.0, 0.5}, .translateX = 100, .translateY = -60});
    w.placeObject(6, 3, SwfMatrix{}, SwfCxform{.multiply = std::array<int16_t, 4>{128, 256, 0, 0},
                                               .add = std::array<int16_t, 4>{-10, 20, 255, 0}});
    w.showFrame();
    const swf::Movie movie = readClean(w);
    ASSERT_EQ(movie.frames[0].tags.size(), 2u);
    const auto &a = std::get<swf::PlaceObject>(movie.frames[0].tags[0]);
    EXPECT_EQ(a.version, 1);
    EXPECT_EQ(a.characterId, 5);
    EXPECT_EQ(a.depth, 2);
    ASSERT_TRUE(a.matrix);
    EXPECT_EQ(*a.matrix, (swf::Matrix{2.0, 0, 0, 0.5, 100, -60}));
    EXPECT_FALSE(a.colorTransform);
    const auto &b = std::get<swf::PlaceObject>(movie.frames[0].tags[1]);
    ASSERT_TRUE(b.colorTransform);
    EXPECT_EQ(*b.colorTransform, (swf::ColorTransform{128, 256, 0, 256, -10, 20, 255, 0}));
}

TEST(Timeline, PlaceObjectTwoCarriesEveryField)
{
    SwfWriter w;
    w.setVersion(9);
    w.placeObject2(SwfPlace{.depth = 40,
                            .move = true,
                            .characterId = 12,
                            .matrix = SwfMatrix{.scale = std::pair{1.5, -2.25},
                                                .rotate = std::pair{0.125, -0.5},
                                                .translateX = -300,
                                                .translateY = 4000},
                            .cxform = SwfCxform{.multiply = std::array<int16_t, 4>{256, 128, 64, 32},
                                                .add = std::array<int16_t, 4>{1, -2, 3, -4}},
                            .ratio = 32768,
                            .name = QByteArray("clip"),
                            .clipDepth = 45,
                            .hasClipActions = true});
    w.showFrame();
    const swf::Movie movie = readClean(w);
    const auto &p = std::get<swf::PlaceObject>(movie.frames[0].tags[0]);
    EXPECT_EQ(p.version, 2);
    EXPECT_EQ(p.depth, 40);
    EXPECT_TRUE(p.move);
    EXPECT_EQ(p.characterId, 12);
    EXPECT_EQ(*p.matrix, (swf::Matrix{1.5, 0.125, -0.5, -2.25, -300, 4000}));
    EXPECT_EQ(*p.colorTransform, (swf::ColorTransform{256, 128, 64, 32, 1, -2, 3, -4}));
    EXPECT_EQ(p.ratio, 32768);
    EXPECT_EQ(p.name, QStringLiteral("clip"));
    EXPECT_EQ(p.clipDepth, 45);
    EXPECT_TRUE(p.hasClipActions);
    EXPECT_FALSE(p.filters);
    EXPECT_FALSE(p.blendMode);
}

TEST(Timeline, PlaceObjectTwoModifyOnlyLeavesTheRestAbsent)
{
    SwfWriter w;
    w.placeObject2(SwfPlace{.depth = 2, .move = true, .ratio = 7}).showFrame();
    const swf::Movie movie = readClean(w);
    const auto &p = std::get<swf::PlaceObject>(movie.frames[0].tags[0]);
    EXPECT_TRUE(p.move);
    EXPECT_FALSE(p.characterId);
    EXPECT_FALSE(p.matrix);
    EXPECT_FALSE(p.colorTransform);
    EXPECT_EQ(p.ratio, 7);
    EXPECT_FALSE(p.name);
}

TEST(Timeline, PlaceObjectThreeCarriesEveryField)
{
    TagBody filters;
    filters.ui8(1).ui8(1).fixed(4).fixed(8).ui8(2 << 3); // one blur
    SwfWriter w;
    w.setVersion(11);
    w.placeObject3(SwfPlace{.depth = 9,
                            .characterId = 3,
                            .className = QByteArray("pkg.Thing"),
                            .filterList = filters.bytes(),
                            .blendMode = 3,
                            .cacheAsBitmap = 1,
                            .visible = 0,
                            .backgroundColor = SwfRgba{1, 2, 3, 4}});
    w.placeObject3(SwfPlace{.depth = 10, .className = QByteArray("Pic"), .hasImage = true});
    w.showFrame();
    const swf::Movie movie = readClean(w);
    const auto &p = std::get<swf::PlaceObject>(movie.frames[0].tags[0]);
    EXPECT_EQ(p.version, 3);
    EXPECT_EQ(p.characterId, 3);
    EXPECT_EQ(p.className, QStringLiteral("pkg.Thing"));
    ASSERT_TRUE(p.filters);
    ASSERT_EQ(p.filters->size(), 1u);
    const auto &blur = std::get<swf::BlurFilter>((*p.filters)[0]);
    EXPECT_EQ(blur.blurX, 4);
    EXPECT_EQ(blur.blurY, 8);
    EXPECT_EQ(blur.passes, 2);
    EXPECT_EQ(p.blendMode, swf::BlendMode::Multiply);
    EXPECT_EQ(p.cacheAsBitmap, true);
    EXPECT_EQ(p.visible, false);
    EXPECT_EQ(p.backgroundColor, (swf::Color{1, 2, 3, 4}));
    // An image placed by class name alone.
    const auto &image = std::get<swf::PlaceObject>(movie.frames[0].tags[1]);
    EXPECT_TRUE(image.hasImage);
    EXPECT_EQ(image.className, QStringLiteral("Pic"));
    EXPECT_FALSE(image.characterId);
}

struct BlendCase {
    uint8_t value;
    swf::BlendMode mode;
};

class BlendModes : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendModes, MapToTheirMode)
{
    SwfWriter w;
    w.placeObject3(SwfPlace{.depth = 1, .blendMode = GetParam().value}).showFrame();
    const swf::Movie movie = readClean(w);
    const auto &p = std::get<swf::PlaceObject>(movie.frames[0].tags[0]);
    EXPECT_EQ(p.blendMode, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Values, BlendModes,
                         ::testing::Values(BlendCase{0, swf::BlendMode::Normal}, BlendCase{1, swf::BlendMode::Normal},
                                           BlendCase{2, swf::BlendMode::Layer}, BlendCase{7, swf::BlendMode::Difference},
                                           BlendCase{12, swf::BlendMode::Erase},
                                           BlendCase{14, swf::BlendMode::HardLight},
                                           BlendCase{15, swf::BlendMode::Normal},
                                           BlendCase{255, swf::BlendMode::Normal}));

// ---- filters, one of each kind with every field ----

struct FilterCase {
    const char *name;
    std::function<void(TagBody &)> write;
    std::function<void(const swf::Filter &)> check;
};

class Filters : public ::testing::TestWithParam<FilterCase> {};

TEST_P(Filters, ReadEveryField)
{
    TagBody list;
    list.ui8(2);
    GetParam().write(list);
    list.ui8(1).fixed(1).fixed(2).ui8(1 << 3); // a blur after it: the sizes must be right
    SwfWriter w;
    w.placeObject3(SwfPlace{.depth = 1, .filterList = list.bytes()}).showFrame();
    const swf::Movie movie = readClean(w);
    const auto &p = std::get<swf::PlaceObject>(movie.frames[0].tags[0]);
    ASSERT_TRUE(p.filters);
    ASSERT_EQ(p.filters->size(), 2u);
    GetParam().check((*p.filters)[0]);
    EXPECT_EQ(std::get<swf::BlurFilter>((*p.filters)[1]).blurY, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Filters,
    ::testing::Values(
        FilterCase{"DropShadow",
                   [](TagBody &b) {
                       b.ui8(0).rgba(1, 2, 3, 4).fixed(5.5).fixed(6).fixed(0.785).fixed(4).fixed8(1.5).ui8(0xA0 | 3);
                   },
                   [](const swf::Filter &f) {
                       const auto &d = std::get<swf::DropShadowFilter>(f);
                       EXPECT_EQ(d.color, (swf::Color{1, 2, 3, 4}));
                       EXPECT_EQ(d.blurX, 5.5);
                       EXPECT_EQ(d.blurY, 6);
                       EXPECT_NEAR(d.angle, 0.785, 1e-4);
                       EXPECT_EQ(d.distance, 4);
                       EXPECT_EQ(d.strength, 1.5);
                       EXPECT_TRUE(d.innerShadow);
                       EXPECT_FALSE(d.knockout);
                       EXPECT_TRUE(d.compositeSource);
                       EXPECT_EQ(d.passes, 3);
                   }},
        FilterCase{"Glow",
                   [](TagBody &b) { b.ui8(2).rgba(9, 8, 7, 6).fixed(2).fixed(3).fixed8(2).ui8(0x40 | 31); },
                   [](const swf::Filter &f) {
                       const auto &g = std::get<swf::GlowFilter>(f);
                       EXPECT_EQ(g.color, (swf::Color{9, 8, 7, 6}));
                       EXPECT_EQ(g.blurX, 2);
                       EXPECT_EQ(g.blurY, 3);
                       EXPECT_EQ(g.strength, 2);
                       EXPECT_FALSE(g.innerGlow);
                       EXPECT_TRUE(g.knockout);
                       EXPECT_EQ(g.passes, 31);
                   }},
        FilterCase{"Bevel",
                   [](TagBody &b) {
                       b.ui8(3).rgba(0, 0, 0, 255).rgba(255, 255, 255, 128).fixed(1).fixed(2).fixed(3).fixed(4)
                           .fixed8(0.5).ui8(0x10 | 0x20 | 15);
                   },
                   [](const swf::Filter &f) {
                       const auto &b = std::get<swf::BevelFilter>(f);
                       EXPECT_EQ(b.shadowColor, (swf::Color{0, 0, 0, 255}));
                       EXPECT_EQ(b.highlightColor, (swf::Color{255, 255, 255, 128}));
                       EXPECT_EQ(b.angle, 3);
                       EXPECT_EQ(b.distance, 4);
                       EXPECT_EQ(b.strength, 0.5);
                       EXPECT_TRUE(b.onTop);
                       EXPECT_TRUE(b.compositeSource);
                       EXPECT_FALSE(b.innerShadow);
                       EXPECT_EQ(b.passes, 15);
                   }},
        FilterCase{"GradientGlow",
                   [](TagBody &b) {
                       b.ui8(4).ui8(2).rgba(1, 1, 1, 1).rgba(2, 2, 2, 2).ui8(0).ui8(255).fixed(1).fixed(1).fixed(0)
                           .fixed(2).fixed8(1).ui8(0x80 | 1);
                   },
                   [](const swf::Filter &f) {
                       const auto &g = std::get<swf::GradientGlowFilter>(f);
                       ASSERT_EQ(g.stops.size(), 2u);
                       EXPECT_EQ(g.stops[1].color, (swf::Color{2, 2, 2, 2}));
                       EXPECT_EQ(g.stops[1].ratio, 255);
                       EXPECT_EQ(g.distance, 2);
                       EXPECT_TRUE(g.innerShadow);
                       EXPECT_EQ(g.passes, 1);
                   }},
        FilterCase{"Convolution",
                   [](TagBody &b) {
                       b.ui8(5).ui8(3).ui8(2).f32(9).f32(0.5f);
                       for (int i = 0; i < 6; ++i)
                           b.f32(float(i) - 2.5f);
                       b.rgba(4, 3, 2, 1).ui8(0x03);
                   },
                   [](const swf::Filter &f) {
                       const auto &c = std::get<swf::ConvolutionFilter>(f);
                       EXPECT_EQ(c.matrixX, 3);
                       EXPECT_EQ(c.matrixY, 2);
                       EXPECT_EQ(c.divisor, 9.0f);
                       EXPECT_EQ(c.bias, 0.5f);
                       ASSERT_EQ(c.matrix.size(), 6u);
                       EXPECT_EQ(c.matrix[5], 2.5f);
                       EXPECT_EQ(c.defaultColor, (swf::Color{4, 3, 2, 1}));
                       EXPECT_TRUE(c.clamp);
                       EXPECT_TRUE(c.preserveAlpha);
                   }},
        FilterCase{"ColorMatrix",
                   [](TagBody &b) {
                       b.ui8(6);
                       for (int i = 0; i < 20; ++i)
                           b.f32(float(i) / 4);
                   },
                   [](const swf::Filter &f) {
                       const auto &m = std::get<swf::ColorMatrixFilter>(f);
                       EXPECT_EQ(m.matrix[0], 0.0f);
                       EXPECT_EQ(m.matrix[19], 4.75f);
                   }},
        FilterCase{"GradientBevel",
                   [](TagBody &b) {
                       b.ui8(7).ui8(1).rgba(5, 6, 7, 8).ui8(128).fixed(3).fixed(4).fixed(1).fixed(1).fixed8(3)
                           .ui8(0x40 | 0x10 | 2);
                   },
                   [](const swf::Filter &f) {
                       const auto &g = std::get<swf::GradientBevelFilter>(f);
                       ASSERT_EQ(g.stops.size(), 1u);
                       EXPECT_EQ(g.stops[0].ratio, 128);
                       EXPECT_EQ(g.blurX, 3);
                       EXPECT_EQ(g.strength, 3);
                       EXPECT_TRUE(g.knockout);
                       EXPECT_TRUE(g.onTop);
                       EXPECT_EQ(g.passes, 2);
                   }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Filters, UnknownFilterMakesThePlacementDamaged)
{
    TagBody list;
    list.ui8(1).ui8(9).raw(QByteArray(30, '\0'));
    SwfWriter w;
    w.placeObject3(SwfPlace{.depth = 1, .filterList = list.bytes()}).showFrame();
    w.placeObject2(SwfPlace{.depth = 2, .characterId = 1}).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    ASSERT_EQ(movie.frames.size(), 2u);
    EXPECT_TRUE(movie.frames[0].tags.empty());
    EXPECT_EQ(movie.frames[1].tags.size(), 1u);
    ASSERT_EQ(movie.warnings.size(), 1u);
    EXPECT_EQ(movie.warnings[0].tagCode, SwfTag::PlaceObject3);
    EXPECT_EQ(movie.warnings[0].offset, 8 + SwfWriter().body().size()); // right after the frame header
}

// ---- scenes, sprites, buttons ----

TEST(Scenes, ScenesAndLabelsWithLargeNumbers)
{
    SwfWriter w;
    w.defineSceneAndFrameLabelData({{0, "Scene 1"}, {300, "Sc\xc3\xa8ne 2"}}, {{0, "start"}, {70000, "far"}});
    w.showFrame();
    const swf::Movie movie = readClean(w);
    ASSERT_EQ(movie.scenes.size(), 2u);
    EXPECT_EQ(movie.scenes[1].frameOffset, 300u);
    EXPECT_EQ(movie.scenes[1].name, QString::fromUtf8("Sc\xc3\xa8ne 2"));
    ASSERT_EQ(movie.frameLabels.size(), 2u);
    EXPECT_EQ(movie.frameLabels[1].frame, 70000u);
    EXPECT_EQ(movie.frameLabels[1].name, "far");
}

TEST(Scenes, CountsBeyondTheDataAreDamageNotAllocation)
{
    TagBody body;
    body.encodedU32(0xFFFFFFFF).encodedU32(1).string("x");
    SwfWriter w;
    w.addTag(SwfTag::DefineSceneAndFrameLabelData, body).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    EXPECT_TRUE(movie.scenes.empty());
    EXPECT_EQ(movie.frames.size(), 1u);
    EXPECT_EQ(movie.warnings.size(), 1u);
}

TEST(Sprites, NestedTimelinesKeepTheirOwnFrames)
{
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1}).showFrame().frameLabel("b").showFrame().end();
    SwfWriter outer;
    outer.defineSprite(20, inner).placeObject2(SwfPlace{.depth = 1, .characterId = 20}).showFrame().showFrame()
        .showFrame().end();
    SwfWriter w;
    w.defineShape(1, 1, {0, 100, 0, 100}, triangle()).defineSprite(21, outer, 5);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 21}).showFrame();
    const swf::Movie movie = readClean(w);
    const auto *a = movie.character<swf::Sprite>(21);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->frameCount, 5);
    EXPECT_EQ(a->frames.size(), 3u);
    const auto *b = movie.character<swf::Sprite>(20);
    ASSERT_NE(b, nullptr) << "a definition inside a sprite is kept";
    ASSERT_EQ(b->frames.size(), 2u);
    EXPECT_EQ(std::get<swf::PlaceObject>(b->frames[0].tags[0]).characterId, 1);
    EXPECT_EQ(b->frames[1].labels[0].name, "b");
}

TEST(Sprites, NestingBeyondTheLimitIsRefused)
{
    SwfWriter current;
    current.showFrame().end();
    for (int level = 0; level < swf::limits::kMaxSpriteNesting + 3; ++level) {
        SwfWriter next;
        next.defineSprite(uint16_t(100 + level), current).showFrame().end();
        current = next;
    }
    const swf::Movie movie = swf::readMovie(current.bytes());
    ASSERT_TRUE(movie.ok());
    EXPECT_TRUE(hasWarning(movie, QStringLiteral("nests deeper"))) << warningText(movie).toStdString();
    EXPECT_NE(movie.character<swf::Sprite>(uint16_t(100 + swf::limits::kMaxSpriteNesting + 2)), nullptr);
}

TEST(Buttons, VersionTwoRecordsWithEveryField)
{
    TagBody filters;
    filters.ui8(1).ui8(1).fixed(2).fixed(2).ui8(1 << 3);
    SwfWriter w;
    w.defineButton2(30, true,
                    {SwfButtonRecord{.states = 0x01 | 0x02, .characterId = 4, .depth = 2,
                                     .matrix = SwfMatrix{.translateX = 40, .translateY = 50},
                                     .cxform = SwfCxform{.add = std::array<int16_t, 4>{10, 0, 0, -255}}},
                     SwfButtonRecord{.states = 0x08, .characterId = 5, .depth = 3, .filterList = filters.bytes(),
                                     .blendMode = 4}});
    w.showFrame();
    const swf::Movie movie = readClean(w);
    const auto *b = movie.character<swf::Button>(30);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->version, 2);
    EXPECT_TRUE(b->trackAsMenu);
    ASSERT_EQ(b->records.size(), 2u);
    const auto &r0 = b->records[0];
    EXPECT_TRUE(r0.up && r0.over && !r0.down && !r0.hitTest);
    EXPECT_EQ(r0.characterId, 4);
    EXPECT_EQ(r0.depth, 2);
    EXPECT_EQ(r0.matrix.translateY, 50);
    EXPECT_EQ(r0.colorTransform, (swf::ColorTransform{256, 256, 256, 256, 10, 0, 0, -255}));
    const auto &r1 = b->records[1];
    EXPECT_TRUE(r1.hitTest && !r1.up);
    EXPECT_EQ(r1.filters.size(), 1u);
    EXPECT_EQ(r1.blendMode, swf::BlendMode::Screen);
}

TEST(Buttons, VersionOneWithColourTransforms)
{
    SwfWriter w;
    w.defineButton(31, {SwfButtonRecord{.states = 0x04, .characterId = 4, .depth = 1}});
    TagBody cx;
    cx.ui16(31).cxform(SwfCxform{.multiply = std::array<int16_t, 4>{0, 128, 256, 0}}, false);
    w.addTag(SwfTag::DefineButtonCxform, cx).showFrame();
    const swf::Movie movie = readClean(w);
    const auto *b = movie.character<swf::Button>(31);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->records.size(), 1u);
    EXPECT_TRUE(b->records[0].down);
    EXPECT_FALSE(b->records[0].colorTransform);
    ASSERT_EQ(b->colorTransforms.size(), 1u);
    EXPECT_EQ(b->colorTransforms[0].greenMultiplier, 128);
}

// ---- text ----

TEST(Text, RecordsCarryTheirOptionalFields)
{
    for (int version : {1, 2}) {
        SwfWriter w;
        w.defineText(version, 40, {0, 2000, -200, 100}, SwfMatrix{.translateX = 20, .translateY = 300},
                     {SwfTextRecord{.fontId = 3, .height = 480, .color = SwfRgba{10, 20, 30, 40}, .x = 15,
                                    .glyphs = {{0, 200}, {17, -30}, {5, 0}}},
                      SwfTextRecord{.y = -120, .glyphs = {{1000, 1}}}});
        w.showFrame();
        const swf::Movie movie = readClean(w);
        const auto *t = movie.character<swf::Text>(40);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->version, version);
        EXPECT_EQ(t->bounds, (swf::Rect{0, 2000, -200, 100}));
        EXPECT_EQ(t->matrix.translateY, 300);
        ASSERT_EQ(t->records.size(), 2u);
        const auto &r0 = t->records[0];
        EXPECT_EQ(r0.fontId, 3);
        EXPECT_EQ(r0.height, 480);
        EXPECT_EQ(r0.color, (swf::Color{10, 20, 30, uint8_t(version == 2 ? 40 : 255)}));
        EXPECT_EQ(r0.xOffset, 15);
        EXPECT_FALSE(r0.yOffset);
        ASSERT_EQ(r0.glyphs.size(), 3u);
        EXPECT_EQ(r0.glyphs[1].index, 17u);
        EXPECT_EQ(r0.glyphs[1].advance, -30);
        const auto &r1 = t->records[1];
        EXPECT_FALSE(r1.fontId);
        EXPECT_FALSE(r1.color);
        EXPECT_EQ(r1.yOffset, -120);
        EXPECT_EQ(r1.glyphs[0].index, 1000u);
    }
}

struct EditCase {
    const char *name;
    SwfEditText text;
};

class EditTexts : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditTexts, EveryFlagAndField)
{
    const SwfEditText &e = GetParam().text;
    SwfWriter w;
    w.defineEditText(e).showFrame();
    const swf::Movie movie = readClean(w);
    const auto *t = movie.character<swf::EditText>(e.id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->bounds, (swf::Rect{e.bounds.xmin, e.bounds.xmax, e.bounds.ymin, e.bounds.ymax}));
    EXPECT_EQ(t->wordWrap, e.wordWrap);
    EXPECT_EQ(t->multiline, e.multiline);
    EXPECT_EQ(t->password, e.password);
    EXPECT_EQ(t->readOnly, e.readOnly);
    EXPECT_EQ(t->autoSize, e.autoSize);
    EXPECT_EQ(t->noSelect, e.noSelect);
    EXPECT_EQ(t->border, e.border);
    EXPECT_EQ(t->wasStatic, e.wasStatic);
    EXPECT_EQ(t->html, e.html);
    EXPECT_EQ(t->useOutlines, e.useOutlines);
    EXPECT_EQ(t->fontId, e.fontId);
    EXPECT_EQ(t->fontClass.has_value(), e.fontClass.has_value());
    if (e.fontId || e.fontClass) {
        EXPECT_EQ(t->fontHeight, e.fontHeight);
    } else {
        EXPECT_FALSE(t->fontHeight);
    }
    EXPECT_EQ(t->textColor.has_value(), e.color.has_value());
    if (e.color) {
        EXPECT_EQ(*t->textColor, (swf::Color{e.color->r, e.color->g, e.color->b, e.color->a}));
    }
    EXPECT_EQ(t->maxLength, e.maxLength);
    ASSERT_EQ(t->layout.has_value(), e.layout.has_value());
    if (e.layout) {
        EXPECT_EQ(uint8_t(t->layout->align), e.layout->align);
        EXPECT_EQ(t->layout->leftMargin, e.layout->leftMargin);
        EXPECT_EQ(t->layout->rightMargin, e.layout->rightMargin);
        EXPECT_EQ(t->layout->indent, e.layout->indent);
        EXPECT_EQ(t->layout->leading, e.layout->leading);
    }
    EXPECT_EQ(t->variableName, QString::fromUtf8(e.variableName));
    ASSERT_EQ(t->initialText.has_value(), e.initialText.has_value());
    if (e.initialText) {
        EXPECT_EQ(*t->initialText, QString::fromUtf8(*e.initialText));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, EditTexts,
    ::testing::Values(
        EditCase{"Bare", SwfEditText{.id = 2, .bounds = {0, 100, 0, 50}, .variableName = "v"}},
        EditCase{"Everything",
                 SwfEditText{.id = 3, .bounds = {-20, 2000, -40, 600}, .wordWrap = true, .multiline = true,
                             .password = true, .readOnly = true, .autoSize = true, .noSelect = true, .border = true,
                             .wasStatic = true, .html = true, .useOutlines = true, .fontId = 9, .fontHeight = 360,
                             .color = SwfRgba{200, 100, 50, 25}, .maxLength = 80,
                             .layout = SwfEditText::Layout{2, 40, 60, 80, -20}, .variableName = "_root.name",
                             .initialText = QByteArray("<p>Hello</p>")}},
        EditCase{"FontClassCarriesHeight",
                 SwfEditText{.id = 4, .bounds = {0, 10, 0, 10}, .fontClass = QByteArray("EmbeddedSans"),
                             .fontHeight = 200, .layout = SwfEditText::Layout{3, 0, 0, 0, 100},
                             .initialText = QByteArray("")}}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- fonts ----

SwfShape glyphBox(int32_t size)
{
    SwfShape shape;
    shape.moveTo(0, -size).setStyles(std::nullopt, 1u).polygon({{size, 0}, {0, size}, {-size, 0}, {0, -size}});
    return shape;
}

TEST(Fonts, DefineFontWithFontInfo)
{
    for (int infoVersion : {1, 2}) {
        SwfWriter w;
        w.setVersion(6);
        w.defineFont1(50, {glyphBox(500), glyphBox(700)});
        const uint8_t flags = infoVersion == 2 ? 0x01 | 0x04 : 0x20 | 0x02;
        const std::vector<uint16_t> codes = infoVersion == 2 ? std::vector<uint16_t>{0x263A, 'B'}
                                                             : std::vector<uint16_t>{'A', 'B'};
        w.defineFontInfo(infoVersion, 50, "Times", flags, codes, 2).showFrame();
        const swf::Movie movie = readClean(w);
        const auto *f = movie.character<swf::Font>(50);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->version, 1);
        EXPECT_EQ(f->emSquare, 1024);
        ASSERT_EQ(f->glyphs.size(), 2u);
        EXPECT_EQ(f->glyphs[1].shape.records.size(), 6u);
        EXPECT_TRUE(f->hasFontInfo);
        EXPECT_EQ(f->name, "Times");
        EXPECT_EQ(f->glyphs[0].code, codes[0]);
        EXPECT_EQ(f->glyphs[1].code, 'B');
        EXPECT_EQ(f->wideCodes, infoVersion == 2);
        EXPECT_EQ(f->italic, infoVersion == 2);
        EXPECT_EQ(f->smallText, infoVersion == 1);
        EXPECT_EQ(f->bold, infoVersion == 1);
        EXPECT_EQ(f->languageCode, infoVersion == 2 ? 2 : 0);
    }
}

struct FontCase {
    const char *name;
    int version;
    bool wideOffsets;
    bool wideCodes;
    bool layout;
};

class Fonts23 : public ::testing::TestWithParam<FontCase> {};

TEST_P(Fonts23, GlyphsCodesAndLayout)
{
    const FontCase &c = GetParam();
    SwfFont font{.id = 60, .name = QByteArray("Sans\0", 5), .smallText = true, .ansi = true,
                 .wideOffsets = c.wideOffsets, .wideCodes = c.wideCodes, .bold = true, .language = 3,
                 .hasLayout = c.layout, .ascent = 900, .descent = 200, .leading = -40,
                 .kerning = {{'A', 'V', -70}, {'T', 'o', 35}}};
    for (int i = 0; i < 3; ++i)
        font.glyphs.push_back(SwfGlyph{glyphBox(100 * (i + 1)), uint16_t('A' + i), int16_t(300 + i),
                                       SwfRect{0, 100 * (i + 1), -100 * (i + 1), 0}});
    SwfWriter w;
    w.defineFont(c.version, font).defineFontName(60, "Sans Serif", "(c) nobody").showFrame();
    const swf::Movie movie = readClean(w);
    const auto *f = movie.character<swf::Font>(60);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->version, c.version);
    EXPECT_EQ(f->emSquare, c.version == 3 ? 20480 : 1024);
    EXPECT_EQ(f->name, "Sans Serif") << "DefineFontName replaces the name";
    EXPECT_EQ(f->copyright, "(c) nobody");
    EXPECT_TRUE(f->smallText && f->ansi && f->bold);
    EXPECT_FALSE(f->italic || f->shiftJis);
    EXPECT_EQ(f->wideOffsets, c.wideOffsets);
    EXPECT_EQ(f->languageCode, 3);
    ASSERT_EQ(f->glyphs.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f->glyphs[i].code, 'A' + i);
        EXPECT_EQ(f->glyphs[i].shape.records.size(), 6u);
        EXPECT_EQ(std::get<swf::StyleChangeRecord>(f->glyphs[i].shape.records[0]).moveTo,
                  (swf::Point{0, -100 * (i + 1)}));
        if (c.layout) {
            EXPECT_EQ(f->glyphs[i].advance, 300 + i);
            EXPECT_EQ(f->glyphs[i].bounds, (swf::Rect{0, 100 * (i + 1), -100 * (i + 1), 0}));
        } else {
            EXPECT_FALSE(f->glyphs[i].advance);
        }
    }
    if (c.layout) {
        EXPECT_EQ(f->ascent, 900);
        EXPECT_EQ(f->descent, 200);
        EXPECT_EQ(f->leading, -40);
        ASSERT_EQ(f->kerning.size(), 2u);
        EXPECT_EQ(f->kerning[0].leftCode, 'A');
        EXPECT_EQ(f->kerning[0].rightCode, 'V');
        EXPECT_EQ(f->kerning[0].adjustment, -70);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, Fonts23,
                         ::testing::Values(FontCase{"Font2Narrow", 2, false, false, true},
                                           FontCase{"Font2WideNoLayout", 2, true, true, false},
                                           FontCase{"Font3", 3, false, true, true},
                                           FontCase{"Font3WideOffsets", 3, true, true, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Fonts, EmptyFontWithLayout)
{
    SwfFont font{.id = 61, .name = "Empty", .hasLayout = true, .ascent = 10, .descent = 2};
    SwfWriter w;
    w.defineFont(3, font).showFrame();
    const swf::Movie movie = readClean(w);
    const auto *f = movie.character<swf::Font>(61);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->glyphs.empty());
    EXPECT_EQ(f->ascent, 10);
    EXPECT_EQ(f->descent, 2);
}

TEST(Fonts, InfoForAMissingFontIsAWarning)
{
    SwfWriter w;
    w.defineFontInfo(1, 77, "X", 0, {}).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    EXPECT_EQ(movie.warnings.size(), 1u);
    EXPECT_TRUE(movie.characters.empty());
}

// ---- morph shapes ----

TEST(Morphs, StylesAndBothEdgeListsForBothVersions)
{
    for (int version : {1, 2}) {
        SwfMorph m;
        m.id = 70;
        m.startBounds = {0, 100, 0, 100};
        m.endBounds = {0, 300, 0, 300};
        m.startEdgeBounds = {10, 90, 10, 90};
        m.endEdgeBounds = {10, 290, 10, 290};
        m.usesScalingStrokes = true;
        SwfMorphFill solid{.startColor = {255, 0, 0, 255}, .endColor = {0, 0, 255, 128}};
        SwfMorphFill gradient{.type = 0x13, .startMatrix = SwfMatrix{.scale = std::pair{0.5, 0.5}},
                              .endMatrix = SwfMatrix{.translateX = 100}, .spread = 1, .interpolation = 1,
                              .stops = {{{0, {0, 0, 0, 255}}, {10, {1, 1, 1, 1}}},
                                        {{255, {255, 255, 255, 255}}, {200, {2, 2, 2, 2}}}},
                              .startFocal = -0.5, .endFocal = 0.75};
        SwfMorphFill bitmap{.type = 0x41, .startMatrix = SwfMatrix{.scale = std::pair{20.0, 20.0}},
                            .endMatrix = SwfMatrix{.scale = std::pair{40.0, 40.0}}, .bitmapId = 5};
        m.fills = {solid, gradient, bitmap};
        SwfMorphLine line{.startWidth = 20, .endWidth = 100, .startColor = {1, 2, 3, 4}, .endColor = {5, 6, 7, 8},
                          .startCap = 2, .endCap = 1, .join = 2, .miterLimit = 4, .noVScale = true};
        if (version == 2)
            line.fill = solid;
        m.lines = {line};
        swftest::square(m.start.setStyles(std::nullopt, 1u, 1u), 0, 0, 100);
        swftest::square(m.end, 0, 0, 300);
        SwfWriter w;
        w.setVersion(8).defineMorphShape(version, m).showFrame();
        const swf::Movie movie = readClean(w);
        const auto *s = movie.character<swf::MorphShape>(70);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->version, version);
        EXPECT_EQ(s->endBounds, (swf::Rect{0, 300, 0, 300}));
        EXPECT_EQ(s->startEdgeBounds, version == 2 ? (swf::Rect{10, 90, 10, 90}) : s->startBounds);
        EXPECT_EQ(s->usesScalingStrokes, version == 2);
        ASSERT_EQ(s->fillStyles.size(), 3u);
        EXPECT_EQ(s->fillStyles[0].end.color, (swf::Color{0, 0, 255, 128}));
        const auto &g = s->fillStyles[1];
        EXPECT_EQ(g.start.type, swf::FillStyleType::FocalRadialGradient);
        EXPECT_EQ(g.start.gradient.matrix.scaleX, 0.5);
        EXPECT_EQ(g.end.gradient.matrix.translateX, 100);
        EXPECT_EQ(g.end.gradient.spread, swf::SpreadMode::Reflect);
        EXPECT_EQ(g.start.gradient.interpolation, swf::InterpolationMode::LinearRgb);
        ASSERT_EQ(g.end.gradient.records.size(), 2u);
        EXPECT_EQ(g.start.gradient.records[1].ratio, 255);
        EXPECT_EQ(g.end.gradient.records[1].ratio, 200);
        EXPECT_EQ(g.end.gradient.records[0].color, (swf::Color{1, 1, 1, 1}));
        EXPECT_EQ(g.start.gradient.focalPoint, -0.5);
        EXPECT_EQ(g.end.gradient.focalPoint, 0.75);
        EXPECT_EQ(s->fillStyles[2].end.bitmapId, 5);
        EXPECT_EQ(s->fillStyles[2].end.bitmapMatrix.scaleX, 40);
        EXPECT_FALSE(s->fillStyles[2].start.bitmapRepeats());
        ASSERT_EQ(s->lineStyles.size(), 1u);
        const auto &l = s->lineStyles[0];
        EXPECT_EQ(l.start.width, 20);
        EXPECT_EQ(l.end.width, 100);
        if (version == 1) {
            EXPECT_EQ(l.end.color, (swf::Color{5, 6, 7, 8}));
            EXPECT_EQ(l.start.join, swf::JoinStyle::Round);
        } else {
            EXPECT_EQ(l.end.startCap, swf::CapStyle::Square);
            EXPECT_EQ(l.end.endCap, swf::CapStyle::None);
            EXPECT_EQ(l.start.join, swf::JoinStyle::Miter);
            EXPECT_EQ(l.start.miterLimit, 4);
            EXPECT_TRUE(l.end.noVScale);
            ASSERT_TRUE(l.start.fill && l.end.fill);
            EXPECT_EQ(l.end.fill->color, (swf::Color{0, 0, 255, 128}));
        }
        EXPECT_EQ(s->startRecords.size(), 6u);
        ASSERT_EQ(s->endRecords.size(), 5u);
        EXPECT_EQ(std::get<swf::StraightEdgeRecord>(s->endRecords[2]).deltaY, 300);
    }
}

// ---- bitmaps as read ----

TEST(Bitmaps, LosslessHeaderFieldsAndData)
{
    SwfWriter w;
    const QByteArray pixels = QByteArray::fromHex("ff000000ff00" "00010000"); // 2 palette entries, one row
    w.defineBitsLossless(1, 80, 3, 3, 1, pixels, 2);
    w.defineBitsLossless(2, 81, 5, 1, 1, QByteArray::fromHex("80402010"));
    w.showFrame();
    const swf::Movie movie = readClean(w);
    const auto *a = movie.character<swf::Bitmap>(80);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, swf::BitmapKind::Lossless);
    EXPECT_EQ(a->losslessFormat, swf::LosslessFormat::ColorMapped8);
    EXPECT_EQ(a->width, 3);
    EXPECT_EQ(a->height, 1);
    EXPECT_EQ(a->colorTableSize, 2);
    EXPECT_EQ(a->data, SwfWriter::zlibCompress(pixels));
    const auto *b = movie.character<swf::Bitmap>(81);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->kind, swf::BitmapKind::Lossless2);
    EXPECT_EQ(b->losslessFormat, swf::LosslessFormat::Rgb32);
}

TEST(Bitmaps, JpegKindsKeepTheirPartsAndSizes)
{
    // A minimal JPEG header: SOI, then a frame header for 33 x 17.
    const QByteArray jpeg = QByteArray::fromHex("ffd8ffc0000b080011002103011100ffd9");
    SwfWriter w;
    w.jpegTables(QByteArray::fromHex("ffd8ffd9")).defineBits(90, jpeg).defineBitsJpeg2(91, jpeg);
    w.defineBitsJpeg3(92, jpeg, QByteArray(33 * 17, '\x7f'));
    w.defineBitsJpeg4(93, jpeg, 1.5, QByteArray(33 * 17, '\x10')).showFrame();
    const swf::Movie movie = readClean(w);
    EXPECT_EQ(movie.jpegTables, QByteArray::fromHex("ffd8ffd9"));
    const swf::BitmapKind kinds[] = {swf::BitmapKind::Jpeg, swf::BitmapKind::Jpeg2, swf::BitmapKind::Jpeg3,
                                     swf::BitmapKind::Jpeg4};
    for (uint16_t id = 90; id <= 93; ++id) {
        const auto *b = movie.character<swf::Bitmap>(id);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->kind, kinds[id - 90]);
        EXPECT_EQ(b->format, swf::ImageFormat::Jpeg);
        EXPECT_EQ(b->data, jpeg);
        EXPECT_EQ(b->width, 33);
        EXPECT_EQ(b->height, 17);
    }
    EXPECT_EQ(movie.character<swf::Bitmap>(92)->alphaData, SwfWriter::zlibCompress(QByteArray(33 * 17, '\x7f')));
    EXPECT_EQ(movie.character<swf::Bitmap>(93)->deblocking, 1.5);
}

struct HugeCase {
    const char *name;
    std::function<void(SwfWriter &)> define;
};

class HugeBitmaps : public ::testing::TestWithParam<HugeCase> {};

TEST_P(HugeBitmaps, AreRefusedWithAWarning)
{
    SwfWriter w;
    GetParam().define(w);
    w.showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    EXPECT_EQ(movie.character<swf::Bitmap>(1), nullptr);
    EXPECT_TRUE(hasWarning(movie, QStringLiteral("more than the limit"))) << warningText(movie).toStdString();
    EXPECT_EQ(movie.frames.size(), 1u);
}

QByteArray pngHeader(uint32_t width, uint32_t height)
{
    TagBody b;
    b.raw(QByteArray("\x89PNG\r\n\x1a\n", 8)).raw(QByteArray::fromHex("0000000d")).raw("IHDR");
    for (uint32_t v : {width, height})
        b.ui8(uint8_t(v >> 24)).ui8(uint8_t(v >> 16)).ui8(uint8_t(v >> 8)).ui8(uint8_t(v));
    return b.raw(QByteArray::fromHex("0806000000")).raw(QByteArray(4, '\0')).bytes();
}

INSTANTIATE_TEST_SUITE_P(
    Claims, HugeBitmaps,
    ::testing::Values(
        HugeCase{"PngClaiming100000Square",
                 [](SwfWriter &w) { w.defineBitsJpeg2(1, pngHeader(100000, 100000)); }},
        HugeCase{"PngOneSideTooLong", [](SwfWriter &w) { w.defineBitsJpeg2(1, pngHeader(8193, 1)); }},
        HugeCase{"LosslessAtMaximum", [](SwfWriter &w) { w.defineBitsLossless(2, 1, 5, 65535, 65535, {}); }},
        HugeCase{"JpegHeader",
                 [](SwfWriter &w) { w.defineBitsJpeg2(1, QByteArray::fromHex("ffd8ffc0000b08ffff900003011100")); }}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- what is skipped and warned ----

TEST(Warnings, UnknownDamagedAndDuplicateTags)
{
    SwfWriter w;
    w.addTag(SwfTag::DoAction, QByteArray(10, '\x01'));                 // quietly skipped
    w.addTag(SwfTag::DoABC, QByteArray(100, '\x02'), true);             // quietly skipped
    w.addTag(1000, QByteArray(3, '\0'));                                // unknown
    w.addTag(SwfTag::PlaceObject2, QByteArray::fromHex("02"));          // damaged: no depth
    w.defineShape(1, 5, {0, 10, 0, 10}, triangle());
    w.defineShape(1, 5, {0, 20, 0, 20}, triangle());                    // duplicate
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 5}).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    ASSERT_TRUE(movie.ok());
    ASSERT_EQ(movie.warnings.size(), 3u) << warningText(movie).toStdString();
    EXPECT_EQ(movie.warnings[0].tagCode, 1000);
    EXPECT_EQ(movie.warnings[1].tagCode, SwfTag::PlaceObject2);
    EXPECT_TRUE(movie.warnings[2].message.contains("again"));
    EXPECT_EQ(movie.character<swf::Shape>(5)->bounds.xMax, 10) << "the first definition wins";
    ASSERT_EQ(movie.frames.size(), 1u);
    EXPECT_EQ(movie.frames[0].tags.size(), 1u);
}

TEST(Warnings, ImportedCharactersAreNotedAndScalingGridsKept)
{
    SwfWriter w;
    w.addTag(57, TagBody().string("lib.swf").ui16(1).ui16(5).string("Thing"));
    w.addTag(78, TagBody().ui16(30).rect({100, 900, -20, 400}));
    w.showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    ASSERT_EQ(movie.warnings.size(), 1u);
    EXPECT_TRUE(movie.warnings[0].message.contains("imported"));
    ASSERT_EQ(movie.scalingGrids.count(30), 1u);
    EXPECT_EQ(movie.scalingGrids.at(30), (swf::Rect{100, 900, -20, 400}));
}

TEST(Warnings, TheListIsCappedAndCountsTheRest)
{
    SwfWriter w;
    for (int i = 0; i < 250; ++i)
        w.addTag(999);
    w.showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes());
    EXPECT_EQ(movie.warnings.size(), swf::limits::kMaxWarnings);
    EXPECT_EQ(movie.droppedWarnings, 250 - swf::limits::kMaxWarnings);
    EXPECT_EQ(movie.frames.size(), 1u);
}

TEST(Warnings, OffsetsPointAtTheTagInTheUncompressedMovie)
{
    SwfWriter w;
    w.showFrame();
    const qsizetype before = w.body().size();
    w.addTag(700, QByteArray(80, 'x'), true).end();
    for (auto compression : {Compression::None, Compression::Lzma}) {
        const swf::Movie movie = swf::readMovie(w.bytes(compression));
        ASSERT_EQ(movie.warnings.size(), 1u);
        EXPECT_EQ(movie.warnings[0].offset, 8 + before);
        EXPECT_EQ(movie.warnings[0].tagCode, 700);
    }
}

TEST(Warnings, MissingEndTagIsNoted)
{
    SwfWriter w;
    w.showFrame();
    const swf::Movie movie = swf::readMovie(w.bytes());
    EXPECT_EQ(movie.frames.size(), 1u);
    EXPECT_TRUE(hasWarning(movie, QStringLiteral("End tag")));
}

} // namespace
