// The player's timeline: placing, moving, replacing and removing objects,
// sprites playing along, jumping to frames, and damaged movies.

#include "PlayerTestSupport.h"

#include "fuzz/SeedMovies.h"
#include "engines/flashplayer/SwfTimeline.h"

#include <QPainter>

#include <random>

using namespace swftest;

namespace {

const SwfRgba kRed{255, 0, 0, 255};
const SwfRgba kBlue{0, 0, 255, 255};
const SwfRgba kGreen{0, 255, 0, 255};

TEST(PlayerTimeline, PlacesMovesReplacesAndRemovesAcrossFrames)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 400, kRed);
    defineSquare(w, 2, 0, 0, 400, kBlue);
    w.placeObject(1, 1, at(200, 200)).showFrame();                                   // 0: red at 10..30 px
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .matrix = at(1200, 200)}).showFrame(); // 1: moved to 60..80
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .characterId = 2}).showFrame();   // 2: blue, same place
    w.removeObject2(1).showFrame();                                                   // 3: empty
    swf::Player player(load(w));
    ASSERT_EQ(player.frameCount(), 4);

    QImage img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 20, 20, Qt::red));
    EXPECT_TRUE(colourNear(img, 70, 20, kWhite));

    player.nextFrame();
    img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 20, 20, kWhite));
    EXPECT_TRUE(colourNear(img, 70, 20, Qt::red));

    player.nextFrame();
    img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 70, 20, Qt::blue)) << "a replaced character keeps the placement";

    player.nextFrame();
    img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 70, 20, kWhite));
    EXPECT_TRUE(colourNear(img, 20, 20, kWhite));

    player.nextFrame();
    EXPECT_EQ(player.mainFrame(), 0) << "the last frame wraps to the first";
    EXPECT_EQ(player.currentFrame(), 4);
    EXPECT_TRUE(colourNear(player.renderImage(QSize(100, 100)), 20, 20, Qt::red));
}

// Removing at a depth takes what stands there and nothing else: at a free
// depth between, before or after others, nothing goes.
TEST(PlayerTimeline, RemovingTakesOnlyWhatStandsAtTheDepth)
{
    struct Case {
        const char *what;
        uint16_t removed;
        bool versionOne;
        bool inSprite;
        std::vector<uint16_t> left;
    };
    const std::vector<Case> cases = {
        {"a free depth between two", 4, false, false, {3, 5, 9}},
        {"a free depth below all", 1, false, false, {3, 5, 9}},
        {"a free depth above all", 10, false, false, {3, 5, 9}},
        {"an occupied depth", 5, false, false, {3, 9}},
        {"a free depth, first version", 6, true, false, {3, 5, 9}},
        {"a free depth inside a sprite", 4, false, true, {3, 5, 9}},
        {"an occupied depth inside a sprite", 9, false, true, {3, 5}},
    };
    for (const Case &c : cases) {
        const auto content = [&c](SwfWriter &t) {
            for (uint16_t d : {3, 5, 9})
                t.placeObject(1, d, at(d * 100, 0));
            t.showFrame();
            if (c.versionOne)
                t.removeObject(1, c.removed);
            else
                t.removeObject2(c.removed);
            t.showFrame();
        };
        SwfWriter w = stageOf(100, 100);
        defineSquare(w, 1, 0, 0, 100, kRed);
        if (c.inSprite) {
            SwfWriter inner;
            content(inner);
            inner.end();
            w.defineSprite(2, inner);
            w.placeObject(2, 1, at(0, 0)).showFrame().showFrame();
        } else {
            content(w);
        }
        swf::Timeline timeline(load(w));
        swf::TimelineState state = timeline.initialState();
        timeline.advance(state);
        const std::vector<swf::DisplayObject> &list = c.inSprite ? state.objects.at(0).children : state.objects;
        std::vector<uint16_t> depths;
        for (const swf::DisplayObject &o : list)
            depths.push_back(o.depth);
        EXPECT_EQ(depths, c.left) << c.what;
    }
}

TEST(PlayerTimeline, DepthsDrawInOrderWhateverThePlacingOrder)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 1000, kRed);
    defineSquare(w, 2, 0, 0, 1000, kBlue);
    w.placeObject(2, 5, at(0, 0)).placeObject(1, 3, at(0, 0)).showFrame();
    swf::Player player(load(w));
    EXPECT_TRUE(colourNear(player.renderImage(QSize(100, 100)), 25, 25, Qt::blue));
}

// A sprite whose frame k shows a red square at x = 30k + 10 .. 30k + 30 px.
SwfWriter steppingSprite(int frames)
{
    SwfWriter inner;
    for (int k = 0; k < frames; ++k) {
        SwfPlace place{.depth = 1, .move = k > 0, .matrix = at(600 * k, 0)};
        if (k == 0)
            place.characterId = 1;
        inner.placeObject2(place).showFrame();
    }
    inner.end();
    return inner;
}

int spriteFrameShown(const QImage &image, int frames)
{
    int shown = -1;
    for (int k = 0; k < frames; ++k) {
        if (image.pixelColor(30 * k + 20, 20) == QColor(Qt::red)) {
            if (shown >= 0)
                return -2; // two at once
            shown = k;
        }
    }
    return shown;
}

TEST(PlayerTimeline, SpritesAdvanceOneFramePerParentFrameAndLoop)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 200, 200, 400, kRed);
    w.defineSprite(2, steppingSprite(3));
    w.showFrame();                                  // 0: nothing yet
    w.placeObject(2, 1, at(0, 0)).showFrame();      // 1: sprite at its frame 0
    for (int i = 0; i < 6; ++i)
        w.showFrame();                              // 2..7
    swf::Player player(load(w));
    ASSERT_EQ(player.frameCount(), 8);
    EXPECT_EQ(spriteFrameShown(player.renderImage(QSize(100, 100)), 3), -1);
    for (int f = 1; f < 8; ++f) {
        player.gotoFrame(f);
        EXPECT_EQ(spriteFrameShown(player.renderImage(QSize(100, 100)), 3), (f - 1) % 3) << "main frame " << f;
    }
}

TEST(PlayerTimeline, PlayingPastTheLastMainFrameKeepsSpritesPlaying)
{
    // A one-frame movie whose only life is a sprite, and a two-frame one
    // whose main timeline loops back onto the instance of its first frame.
    for (const int mainFrames : {1, 2}) {
        SwfWriter w = stageOf(100, 100);
        defineSquare(w, 1, 200, 200, 400, kRed);
        w.defineSprite(2, steppingSprite(3));
        w.placeObject(2, 1, at(0, 0)).showFrame();
        for (int i = 1; i < mainFrames; ++i)
            w.showFrame();
        swf::Player player(load(w));
        for (int ticks : {0, 1, 2, 3, 7, 4, 8}) {
            player.playTo(ticks);
            EXPECT_EQ(player.currentFrame(), ticks);
            EXPECT_EQ(spriteFrameShown(player.renderImage(QSize(100, 100)), 3), ticks % 3)
                << mainFrames << " main frames, " << ticks << " played";
        }
        player.gotoFrame(5);
        EXPECT_EQ(player.currentFrame(), mainFrames - 1) << "going to a main frame stays within the movie";
    }
}

TEST(PlayerTimeline, MovingASpriteKeepsItsPlayPositionAndANewOneStartsOver)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 200, 200, 400, kRed);
    w.defineSprite(2, steppingSprite(3));
    w.placeObject(2, 1, at(0, 0)).showFrame();                                           // 0: k=0
    w.showFrame();                                                                       // 1: k=1
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .matrix = at(0, 600)}).showFrame(); // 2: k=2, moved down
    w.removeObject2(1).placeObject2(SwfPlace{.depth = 1, .characterId = 2}).showFrame();  // 3: new instance, k=0
    swf::Player player(load(w));
    player.gotoFrame(2);
    const QImage moved = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(moved, 2 * 30 + 20, 20 + 30, Qt::red)) << "moved, still on its third frame";
    player.gotoFrame(3);
    EXPECT_EQ(spriteFrameShown(player.renderImage(QSize(100, 100)), 3), 0);
}

TEST(PlayerTimeline, NestedSpritesEachAdvance)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 200, 200, 400, kRed);
    w.defineSprite(2, steppingSprite(3));
    SwfWriter outer;
    outer.placeObject2(SwfPlace{.depth = 1, .characterId = 2}).showFrame().showFrame().end();
    w.defineSprite(3, outer);
    w.placeObject(3, 1, at(0, 0)).showFrame();
    for (int i = 0; i < 4; ++i)
        w.showFrame();
    swf::Player player(load(w));
    // The outer sprite loops every 2 frames, keeping the instance of its
    // first frame, so the inner one plays on: 0 1 2 0 1.
    for (int f = 0; f < 5; ++f) {
        player.gotoFrame(f);
        EXPECT_EQ(spriteFrameShown(player.renderImage(QSize(100, 100)), 3), f % 3) << "main frame " << f;
    }
}

TEST(PlayerTimeline, ButtonsShowTheirUpState)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 400, kGreen);
    defineSquare(w, 2, 0, 0, 400, kRed);
    w.defineButton2(3, false,
                    {SwfButtonRecord{.states = 0x01, .characterId = 1, .depth = 1, .matrix = at(200, 200)},
                     SwfButtonRecord{.states = 0x06, .characterId = 2, .depth = 2, .matrix = at(1200, 200)},
                     SwfButtonRecord{.states = 0x08, .characterId = 2, .depth = 3, .matrix = at(200, 1200)}});
    w.placeObject(3, 1, at(0, 0)).showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 20, 20, Qt::green));
    EXPECT_TRUE(colourNear(img, 70, 20, kWhite)) << "over and down states stay hidden";
    EXPECT_TRUE(colourNear(img, 20, 70, kWhite)) << "the hit area is never drawn";
}

TEST(PlayerTimeline, VersionOneButtonsTakeTheirColourTransform)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 400, {200, 200, 200, 255});
    w.defineButton(3, {SwfButtonRecord{.states = 0x01, .characterId = 1, .depth = 1, .matrix = at(200, 200)},
                       SwfButtonRecord{.states = 0x01, .characterId = 1, .depth = 2, .matrix = at(1200, 200)}});
    TagBody cx;
    cx.ui16(3).cxform(SwfCxform{.multiply = std::array<int16_t, 4>{256, 128, 0, 256}}, false);
    w.addTag(SwfTag::DefineButtonCxform, cx);
    w.placeObject(3, 1, at(0, 0)).showFrame();
    const QImage img = swf::Player(load(w)).renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 20, 20, QColor(200, 100, 0), 1));
    EXPECT_TRUE(colourNear(img, 70, 20, QColor(200, 100, 0), 1)) << "one transform for every record";
}

TEST(PlayerTimeline, HiddenObjectsAndFirstVersionTags)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 400, kRed);
    defineSquare(w, 2, 0, 0, 400, kBlue);
    w.placeObject(1, 1, at(200, 200)).placeObject(2, 2, at(1200, 200));
    w.placeObject3(SwfPlace{.depth = 3, .characterId = 1, .matrix = at(200, 1200), .visible = 0});
    w.showFrame();
    w.removeObject(1, 1).showFrame();
    w.placeObject3(SwfPlace{.depth = 3, .move = true, .visible = 1}).showFrame();
    swf::Player player(load(w));
    QImage img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 20, 20, Qt::red));
    EXPECT_TRUE(colourNear(img, 70, 20, Qt::blue));
    EXPECT_TRUE(colourNear(img, 20, 70, kWhite)) << "placed invisible";
    player.nextFrame();
    img = player.renderImage(QSize(100, 100));
    EXPECT_TRUE(colourNear(img, 20, 20, kWhite)) << "removed by the first version of the tag";
    EXPECT_TRUE(colourNear(img, 70, 20, Qt::blue));
    player.nextFrame();
    EXPECT_TRUE(colourNear(player.renderImage(QSize(100, 100)), 20, 70, Qt::red)) << "shown again";
}

SwfFillStyle gradient0x10()
{
    SwfFillStyle fill;
    fill.type = 0x10;
    fill.matrix = SwfMatrix{.scale = std::pair{0.0001, 16000.0}};
    fill.stops = {{0, {255, 0, 0, 255}}, {0, {0, 255, 0, 0}}, {255, {0, 0, 255, 255}}};
    return fill;
}

// A busy movie: a looping sprite, objects appearing, moving and leaving.
std::shared_ptr<const swf::Movie> busyMovie(int frames)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 200, 200, 400, kRed);
    defineSquare(w, 2, 0, 0, 300, kBlue);
    w.defineSprite(3, steppingSprite(7));
    for (int f = 0; f < frames; ++f) {
        if (f % 10 == 0)
            w.placeObject2(SwfPlace{.depth = 2, .characterId = 3, .matrix = at(0, 20 * (f % 40))});
        if (f % 10 == 6)
            w.removeObject2(2);
        if (f == 0)
            w.placeObject2(SwfPlace{.depth = 5, .characterId = 2, .matrix = at(0, 1400)});
        else
            w.placeObject2(SwfPlace{.depth = 5, .move = true, .matrix = at((f * 37) % 1700, 1400)});
        w.showFrame();
    }
    return load(w);
}

TEST(PlayerTimeline, GotoFrameShowsWhatPlayingThereShows)
{
    const int frames = 90;
    const auto movie = busyMovie(frames);
    swf::Player stepping(movie);
    std::vector<QImage> played;
    for (int f = 0; f < frames; ++f) {
        EXPECT_EQ(stepping.currentFrame(), f);
        played.push_back(stepping.renderImage(QSize(100, 100)));
        stepping.nextFrame();
    }
    // Frames really differ, or the comparison below would prove nothing.
    EXPECT_NE(played[3], played[4]);

    swf::Player jumping(movie);
    std::mt19937 random(7);
    std::vector<int> order{89, 0, 45, 44, 70, 12, 63, 64, 31, 30, 88, 1, 33};
    for (int i = 0; i < 20; ++i)
        order.push_back(int(random() % frames));
    for (int n : order) {
        jumping.gotoFrame(n);
        ASSERT_EQ(jumping.currentFrame(), n);
        EXPECT_EQ(jumping.renderImage(QSize(100, 100)), played[size_t(n)]) << "frame " << n;
    }
    jumping.gotoFrame(-5);
    EXPECT_EQ(jumping.currentFrame(), 0);
    jumping.gotoFrame(100000);
    EXPECT_EQ(jumping.currentFrame(), frames - 1);
}

TEST(PlayerTimeline, SteppingCostsOneFrameAStepAndJumpsStartFromSnapshots)
{
    // Replaying from the start for every step would take 4.5 million steps.
    swf::FrameSeeker seeker(busyMovie(3000));
    for (int f = 1; f < 3000; ++f)
        seeker.seek(f);
    EXPECT_EQ(seeker.steps(), 2999u);
    for (int f = 2999; f >= 0; f -= 97) {
        const uint64_t before = seeker.steps();
        seeker.seek(f);
        ASSERT_EQ(seeker.state().frame, f);
        EXPECT_LT(seeker.steps() - before, uint64_t(seeker.snapshotInterval())) << "jump back to " << f;
    }
    const uint64_t before = seeker.steps();
    seeker.seek(1500);
    seeker.seek(1501);
    EXPECT_LE(seeker.steps() - before, uint64_t(seeker.snapshotInterval()));
}

TEST(PlayerTimeline, SnapshotsStayBoundedForCrowdedLongMovies)
{
    // 2000 instances on every one of 4000 frames: a snapshot every 32
    // frames would hold 250,000 instances together.
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 100, kRed);
    for (uint16_t d = 1; d <= 2000; ++d)
        w.placeObject2(SwfPlace{.depth = d, .characterId = 1, .matrix = at(d, d)});
    for (int f = 0; f < 4000; ++f)
        w.showFrame();
    swf::FrameSeeker seeker(load(w));
    ASSERT_EQ(seeker.frameCount(), 4000);
    seeker.seek(3999);
    EXPECT_LE(seeker.snapshotObjects(), swf::FrameSeeker::kMaxSnapshotObjects);
    EXPECT_GT(seeker.snapshotInterval(), swf::FrameSeeker::kFirstInterval);
    // Still right after thinning out.
    seeker.seek(1234);
    EXPECT_EQ(seeker.state().frame, 1234);
    EXPECT_EQ(swf::Timeline::objectCount(seeker.state()), 2000u);
}

TEST(PlayerTimeline, StageSizeBackgroundAndQualityWords)
{
    SwfWriter w;
    w.setFrameSize({0, 11010, 0, 7990}).setBackgroundColor(10, 20, 30).showFrame();
    swf::Player player(load(w));
    EXPECT_EQ(player.stageSize(), QSize(551, 400));
    EXPECT_EQ(player.backgroundColor(), QColor(10, 20, 30));
    const QImage img = player.renderImage(QSize(40, 30));
    EXPECT_TRUE(colourNear(img, 0, 0, QColor(10, 20, 30), 0));
    EXPECT_TRUE(colourNear(img, 39, 29, QColor(10, 20, 30), 0));

    SwfWriter plain = stageOf(10, 10);
    plain.showFrame();
    EXPECT_EQ(swf::Player(load(plain)).backgroundColor(), QColor(Qt::white));

    EXPECT_EQ(swf::parseStageQuality(QStringLiteral("LOW")), swf::StageQuality::Low);
    EXPECT_EQ(swf::parseStageQuality(QStringLiteral("Medium")), swf::StageQuality::Medium);
    EXPECT_EQ(swf::parseStageQuality(QStringLiteral("high")), swf::StageQuality::High);
    EXPECT_EQ(swf::parseStageQuality(QStringLiteral("best")), swf::StageQuality::Best);
    EXPECT_FALSE(swf::parseStageQuality(QStringLiteral("autohigh")));
    EXPECT_FALSE(swf::parseStageQuality(QString()));
}

TEST(PlayerTimeline, EmptyAndUnreadableMoviesStillPlay)
{
    swf::Player broken(std::make_shared<swf::Movie>(swf::readMovie(QByteArray("not a movie"))));
    EXPECT_EQ(broken.frameCount(), 1);
    broken.nextFrame();
    EXPECT_EQ(broken.mainFrame(), 0);
    EXPECT_TRUE(broken.renderImage(QSize(8, 8)).isNull() == false);
    EXPECT_TRUE(broken.renderImage(QSize(0, 8)).isNull());
    swf::Player none(nullptr);
    EXPECT_EQ(none.frameCount(), 1);
    EXPECT_EQ(none.renderImage(QSize(4, 4)).pixelColor(1, 1), QColor(Qt::white));
}

TEST(PlayerTimeline, SelfReferencingSpritesStayBounded)
{
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 200, kRed);
    // Sprite 2 holds two copies of itself: without limits, a tree that
    // doubles with every level, for ever.
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1})
        .placeObject2(SwfPlace{.depth = 2, .characterId = 2, .matrix = at(100, 0)})
        .placeObject2(SwfPlace{.depth = 3, .characterId = 2, .matrix = at(0, 100)})
        .showFrame()
        .placeObject2(SwfPlace{.depth = 4, .characterId = 3})
        .showFrame()
        .end();
    w.defineSprite(2, inner);
    SwfWriter other; // sprites 3 and 4 hold each other
    other.placeObject2(SwfPlace{.depth = 1, .characterId = 4}).showFrame().end();
    w.defineSprite(3, other);
    SwfWriter back;
    back.placeObject2(SwfPlace{.depth = 1, .characterId = 3}).placeObject2(SwfPlace{.depth = 2, .characterId = 99})
        .showFrame().end();
    w.defineSprite(4, back);
    w.placeObject(2, 1, at(0, 0)).showFrame().showFrame().showFrame();
    const auto movie = load(w);

    swf::Timeline timeline(movie);
    swf::TimelineState state = timeline.initialState();
    EXPECT_LE(swf::Timeline::objectCount(state), swf::Timeline::kMaxObjects);
    timeline.advance(state);
    timeline.advance(state);
    EXPECT_LE(swf::Timeline::objectCount(state), swf::Timeline::kMaxObjects);

    swf::Player player(movie);
    for (int f = 0; f < 3; ++f) {
        player.gotoFrame(f);
        const QImage img = player.renderImage(QSize(64, 48));
        EXPECT_TRUE(colourNear(img, 2, 2, Qt::red));
    }
}

TEST(PlayerTimeline, ExtremeNumbersDrawWithoutFailing)
{
    SwfWriter w = stageOf(100, 100);
    const int32_t far = 30000; // edges take at most 17 bits
    SwfShape big;
    big.styles.fills = {SwfFillStyle::solid(255, 0, 0), gradient0x10(), SwfFillStyle{.type = 0x40, .bitmapId = 90}};
    big.styles.lines = {SwfLineStyle{.width = 65535, .color = {0, 0, 0, 255}}, SwfLineStyle{.width = 0}};
    big.setStyles(0u, 1u, 1u).moveTo(-far, -far).polygon({{2 * far, 0}, {0, 2 * far}, {-2 * far, 0}, {0, -2 * far}});
    big.setStyles(1u, 2u, 2u).moveTo(0, 0).curve(far, -far, far, far).line(-2 * far, 0);
    big.setStyles(2u, 3u, 1u).moveTo(10, 10).curve(1, 1, -1, -1);
    w.defineShape(3, 1, {-far, far, -far, far}, big);
    w.defineBitsLossless(1, 90, 5, 1, 1, QByteArray::fromHex("ff00ff00"));
    // Sprites scaling by nearly the largest factor a matrix holds, ten deep.
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1}).showFrame().end();
    w.defineSprite(2, inner);
    for (uint16_t id = 3; id < 13; ++id) {
        SwfWriter nest;
        nest.placeObject2(SwfPlace{.depth = 1, .characterId = uint16_t(id - 1),
                                   .matrix = SwfMatrix{.scale = std::pair{16000.0, -16000.0},
                                                       .rotate = std::pair{16000.0, 0.00002}}})
            .placeObject3(SwfPlace{.depth = 2, .characterId = 1, .clipDepth = 3,
                                   .filterList = SwfFilter::list({SwfFilter::blur(255, 255, 31)}), .blendMode = 9})
            .placeObject3(SwfPlace{.depth = 3, .characterId = uint16_t(id - 1), .blendMode = 14})
            .showFrame()
            .end();
        w.defineSprite(id, nest);
    }
    w.placeObject3(SwfPlace{.depth = 1, .characterId = 12,
                            .filterList = SwfFilter::list({SwfFilter::dropShadow({0, 0, 0, 255}, 255, 255, 3, 32767, 127, 0x3F),
                                                           SwfFilter::glow({0, 0, 0, 255}, 255, 0, 127, 0xFF)})});
    w.placeObject2(SwfPlace{.depth = 2, .characterId = 1,
                            .matrix = SwfMatrix{.scale = std::pair{0.00002, 16000.0}, .translateX = -far}});
    w.showFrame();
    swf::Player player(load(w));
    for (const QSize size : {QSize(64, 48), QSize(300, 200)})
        EXPECT_EQ(player.renderImage(size).size(), size);
}

TEST(PlayerTimeline, DamagedMoviesPlayAndDrawWithoutFailing)
{
    const QByteArray whole = swfseed::richMovie();
    for (qsizetype cut = 20; cut < whole.size(); cut += std::max<qsizetype>(1, whole.size() / 60)) {
        const QByteArray bytes = whole.left(cut);
        swf::Player player(std::make_shared<swf::Movie>(swf::readMovie(bytes)));
        for (int f = 0; f < player.frameCount() + 1; ++f) {
            player.nextFrame();
            const QImage img = player.renderImage(QSize(64, 48));
            ASSERT_EQ(img.size(), QSize(64, 48));
        }
    }
    // Flipped bytes here and there.
    std::mt19937 random(3);
    for (int round = 0; round < 40; ++round) {
        QByteArray bytes = whole;
        for (int i = 0; i < 6; ++i)
            bytes[qsizetype(8 + random() % uint32_t(bytes.size() - 8))] = char(random());
        swf::Player player(std::make_shared<swf::Movie>(swf::readMovie(bytes)));
        player.gotoFrame(1);
        player.renderImage(QSize(64, 48));
        player.gotoFrame(0);
        QImage img(64, 48, QImage::Format_RGB32);
        QPainter painter(&img);
        player.render(painter, QRectF(3, 3, 50, 40), swf::StageQuality::Low);
    }
}

} // namespace
