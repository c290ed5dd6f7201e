// Frame scripts that steer timelines: stop, play, go to frames and labels,
// aimed at sprites by path; seeking with them; scripts that would never end.

#include "PlayerTestSupport.h"

#include "engines/flashplayer/SwfTimeline.h"

#include <random>

using namespace swftest;

namespace {

const SwfRgba kRed{255, 0, 0, 255};

// The main timeline's frame after each of `ticks` frames shown.
std::vector<int> mainFrames(const std::shared_ptr<const swf::Movie> &movie, int ticks)
{
    swf::Timeline timeline(movie);
    swf::TimelineState state = timeline.initialState();
    std::vector<int> out{state.frame};
    for (int t = 1; t < ticks; ++t) {
        timeline.advance(state);
        out.push_back(state.frame);
    }
    return out;
}

// A main timeline of `frames` frames, each given its script (if any).
std::shared_ptr<const swf::Movie> scripted(int frames, const std::map<int, SwfActions> &scripts,
                                           const std::map<int, QByteArray> &labels = {})
{
    SwfWriter w = stageOf(100, 100);
    for (int f = 0; f < frames; ++f) {
        if (labels.count(f))
            w.frameLabel(labels.at(f));
        if (scripts.count(f))
            w.doAction(scripts.at(f));
        w.showFrame();
    }
    return load(w);
}

TEST(PlayerScripts, MainTimelineObeysItsFrameActions)
{
    struct Case {
        const char *what;
        int frames;
        std::map<int, SwfActions> scripts;
        std::map<int, QByteArray> labels;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"no script", 4, {}, {}, {0, 1, 2, 3, 0, 1}},
        {"stop", 5, {{2, SwfActions().stop()}}, {}, {0, 1, 2, 2, 2, 2}},
        {"go to a frame and play", 6, {{3, SwfActions().gotoFrame(1).play()}}, {}, {0, 1, 2, 1, 2, 1, 2}},
        {"go to a frame stops there", 6, {{1, SwfActions().gotoFrame(4)}}, {}, {0, 4, 4, 4}},
        {"go to a label", 6, {{4, SwfActions().gotoLabel("loop").play()}}, {{2, "loop"}}, {0, 1, 2, 3, 2, 3, 2}},
        {"a missing label changes nothing", 4, {{1, SwfActions().gotoLabel("none")}}, {}, {0, 1, 2, 3}},
        {"next and previous frame stop", 6, {{1, SwfActions().nextFrame()}}, {}, {0, 2, 2, 2}},
        {"previous frame", 6, {{3, SwfActions().previousFrame()}}, {}, {0, 1, 2, 2, 2}},
        {"previous frame on the first stays", 3, {{0, SwfActions().previousFrame()}}, {}, {0, 0, 0}},
        {"beyond the last frame goes to the last", 4, {{0, SwfActions().gotoFrame(60000)}}, {}, {3, 3, 3}},
        {"actions after a branch are not run", 4, {{1, SwfActions().record(0x99, QByteArray(2, '\0')).stop()}},
         {}, {0, 1, 2, 3, 0}},
        {"other actions are passed over", 4, {{1, SwfActions().record(0x96, QByteArray(2, '\0')).stop()}}, {},
         {0, 1, 1}},
    };
    for (const Case &c : cases) {
        const auto movie = scripted(c.frames, c.scripts, c.labels);
        EXPECT_EQ(mainFrames(movie, int(c.expected.size())), c.expected) << c.what;
    }
}

// Sprite 10: frames 0..3, depth 1 holding a square moved 30 px a frame;
// its own script on frame 0 stops it when `stops`.
SwfWriter &defineCounter(SwfWriter &w, bool stops)
{
    defineSquare(w, 1, 0, 0, 200, kRed);
    SwfWriter inner;
    for (int k = 0; k < 4; ++k) {
        SwfPlace place{.depth = 1, .move = k > 0, .matrix = at(600 * k, 0)};
        if (k == 0)
            place.characterId = 1;
        inner.placeObject2(place);
        if (k == 0 && stops)
            inner.doAction(SwfActions().stop());
        inner.showFrame();
    }
    inner.end();
    return w.defineSprite(10, inner);
}

// The frames of the sprite at depth 1 of the main timeline, then at depth
// 1 inside that.
std::vector<int> spriteFrames(const std::shared_ptr<const swf::Movie> &movie, int ticks,
                              std::vector<uint16_t> path = {1})
{
    swf::Timeline timeline(movie);
    swf::TimelineState state = timeline.initialState();
    std::vector<int> out;
    for (int t = 0; t < ticks; ++t) {
        if (t > 0)
            timeline.advance(state);
        const std::vector<swf::DisplayObject> *list = &state.objects;
        const swf::DisplayObject *o = nullptr;
        for (uint16_t depth : path) {
            o = nullptr;
            for (const swf::DisplayObject &x : *list)
                if (x.depth == depth)
                    o = &x;
            if (!o)
                break;
            list = &o->children;
        }
        out.push_back(o ? o->frame : -1);
    }
    return out;
}

TEST(PlayerScripts, SpritesObeyTheirOwnAndTheirParentsActions)
{
    struct Case {
        const char *what;
        bool spriteStops;
        SwfActions mainScript; // on main frame 1
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"plays on", false, SwfActions(), {0, 1, 2, 3, 0, 1}},
        {"stops itself on its first frame", true, SwfActions(), {0, 0, 0, 0}},
        {"told to play", true, SwfActions().setTarget("box").play().setTarget(""), {0, 0, 1, 2, 3, 0}},
        {"sent to a frame by an absolute path", false, SwfActions().setTarget("/box").gotoFrame(3), {0, 3, 3, 3}},
        {"sent by dots", false, SwfActions().setTarget("_root.box").gotoFrame(2).play(), {0, 2, 3, 0}},
        {"a missing target takes nothing", false, SwfActions().setTarget("nobody").stop(), {0, 1, 2, 3}},
        {"back to the own timeline", false, SwfActions().setTarget("box").setTarget("").gotoFrame(0),
         {0, 1, 2, 3, 0}},
    };
    for (const Case &c : cases) {
        SwfWriter w = stageOf(100, 100);
        defineCounter(w, c.spriteStops);
        w.placeObject2(SwfPlace{.depth = 1, .characterId = 10, .name = QByteArray("box")}).showFrame();
        w.doAction(c.mainScript).showFrame();
        for (int f = 0; f < 6; ++f)
            w.showFrame();
        EXPECT_EQ(spriteFrames(load(w), int(c.expected.size())), c.expected) << c.what;
    }
    // "back to the own timeline": the goto went to the main timeline.
    SwfWriter w = stageOf(100, 100);
    defineCounter(w, false);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 10, .name = QByteArray("box")}).showFrame();
    w.doAction(SwfActions().setTarget("box").setTarget("").gotoFrame(0)).showFrame().showFrame();
    EXPECT_EQ(mainFrames(load(w), 3), (std::vector<int>{0, 0, 0}));
}

TEST(PlayerScripts, SeekingShowsWhatPlayingShows)
{
    // A sprite that a script on main frame 5 sends back, a main timeline
    // looping over frames 3..9 by label, and a stop on the sprite later.
    SwfWriter w = stageOf(100, 100);
    defineCounter(w, false);
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 10, .name = QByteArray("box")});
    for (int f = 0; f < 12; ++f) {
        if (f == 3)
            w.frameLabel("again");
        if (f == 5)
            w.doAction(SwfActions().setTarget("box").gotoFrame(1).play().setTarget(""));
        if (f == 9)
            w.doAction(SwfActions().gotoLabel("again").play());
        if (f == 11)
            w.doAction(SwfActions().setTarget("box").stop());
        w.placeObject2(SwfPlace{.depth = 2, .move = f > 0, .characterId = f == 0 ? std::optional<uint16_t>(1)
                                                                                  : std::nullopt,
                                .matrix = at(f * 100, 1000)});
        w.showFrame();
    }
    const auto movie = load(w);
    swf::Player playing(movie);
    std::vector<QImage> played;
    for (int f = 0; f < playing.frameCount(); ++f) {
        played.push_back(playing.renderImage(QSize(100, 100)));
        playing.nextFrame();
    }
    EXPECT_NE(played[4], played[5]);
    swf::Player jumping(movie);
    std::mt19937 random(3);
    for (int i = 0; i < 40; ++i) {
        const int n = int(random() % played.size());
        jumping.gotoFrame(n);
        ASSERT_EQ(jumping.currentFrame(), n);
        EXPECT_EQ(jumping.renderImage(QSize(100, 100)), played[size_t(n)]) << "frame " << n;
    }
}

TEST(PlayerScripts, EndlessAndDeepScriptsStayBounded)
{
    // Two frames that send each other back within one frame for ever.
    const auto pingPong = scripted(3, {{1, SwfActions().gotoFrame(2).play()}, {2, SwfActions().gotoFrame(1).play()}});
    const std::vector<int> frames = mainFrames(pingPong, 5);
    EXPECT_EQ(frames.size(), 5u);

    // A script that jumps across 60000 frames and back on every frame.
    std::map<int, SwfActions> far;
    far[0] = SwfActions().gotoFrame(59999).gotoFrame(0).gotoFrame(59999).gotoFrame(0).play();
    swf::FrameSeeker seeker(scripted(60000, far));
    seeker.seek(3);
    EXPECT_EQ(seeker.state().tick, 3);

    // Sprites 24 deep, each stopping itself and its parent.
    SwfWriter w = stageOf(100, 100);
    defineSquare(w, 1, 0, 0, 200, kRed);
    uint16_t inside = 1;
    for (uint16_t id = 100; id < 130; ++id) {
        SwfWriter inner;
        inner.placeObject2(SwfPlace{.depth = 1, .characterId = inside, .name = QByteArray("in")});
        inner.doAction(SwfActions().stop().setTarget("..").gotoFrame(1).setTarget("in/in/in").play());
        inner.showFrame().showFrame().end();
        w.defineSprite(id, inner);
        inside = id;
    }
    w.placeObject2(SwfPlace{.depth = 1, .characterId = inside, .name = QByteArray("in")}).showFrame().showFrame();
    swf::Player player(load(w));
    player.gotoFrame(1);
    EXPECT_FALSE(player.renderImage(QSize(100, 100)).isNull());
}

} // namespace
