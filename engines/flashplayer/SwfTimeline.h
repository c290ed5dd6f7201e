#pragma once
// The display list of a playing movie: what stands at each depth of the
// main timeline, and inside sprites and buttons, after a number of frames,
// with the timeline actions of frame scripts obeyed (stop, play, go to).
// Pure data; SwfRenderer draws it.

#include "engines/flashplayer/SwfTypes.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace swf {

// What a depth holds. Sprites and buttons carry their own children.
struct DisplayObject {
    enum class Kind : uint8_t { Other, Sprite, Button };

    uint16_t depth = 0;
    uint16_t characterId = 0;
    Kind kind = Kind::Other;
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    uint16_t clipDepth = 0; // a mask for the depths above it up to this one
    BlendMode blendMode = BlendMode::Normal;
    std::shared_ptr<const std::vector<Filter>> filters; // null: none
    bool cacheAsBitmap = false;
    // Fills the object's bounds behind it.
    std::optional<Color> opaqueBackground;
    bool visible = true;
    QString name; // the instance name scripts reach it by
    // The parent's frame in which this instance was created; a looping
    // sprite keeps the instances of its first frame.
    int birthFrame = 0;
    // Sprites: the frame shown (0-based) and the children by depth.
    int frame = 0;
    std::vector<DisplayObject> children;
    // Sprites: advancing a frame each frame of the parent, until a script stops it.
    bool playing = true;
    // The script of the frame just entered has yet to run.
    bool scriptDue = false;

    bool hasFilters() const { return filters && !filters->empty(); }
};

// The movie after `tick` frames have been shown from the first: the main
// timeline's frame (the same as tick unless scripts steered it) and depths.
struct TimelineState {
    int tick = 0;
    int frame = 0;
    bool playing = true;
    bool scriptDue = false;
    std::vector<DisplayObject> objects; // by depth, ascending
};

// Builds and advances display lists from a movie's frames. Damaged movies
// are kept bounded: sprites nest at most kMaxNesting levels deep (self-
// referencing sprites stop there) and no more than kMaxObjects instances
// exist at once; what goes beyond is left out. Scripts that jump back and
// forth within one frame stop at kMaxScriptRuns scripts, kMaxActions
// actions or kMaxGotoFrames frames gone through by their gotos.
class Timeline {
public:
    static constexpr int kMaxNesting = 24;
    static constexpr size_t kMaxObjects = 50000;
    static constexpr int kMaxScriptRuns = 1000;
    static constexpr int kMaxActions = 20000;
    static constexpr int kMaxGotoFrames = 1 << 16;

    explicit Timeline(std::shared_ptr<const Movie> movie);

    // Main timeline frames, at least 1.
    int frameCount() const;
    // Frame 0 of the main timeline.
    TimelineState initialState() const;
    // The next frame: playing sprites advance one frame (looping), then the
    // main timeline's next frame tags apply (after its last frame, its first
    // again), then the scripts of the frames entered run: the main
    // timeline's first, then the sprites' from the lowest depth, each
    // before those inside it.
    void advance(TimelineState &state) const;

    // Instances in a state, nested ones included.
    static size_t objectCount(const TimelineState &state);

private:
    struct Budget {
        size_t remaining = 0;
        int scriptsDue = 0; // flags set since the last run, an upper bound
        int scriptRuns = 0;
        int actions = 0;
        int gotoFrames = 0;
    };
    // A timeline that scripts steer: the main one or a sprite's.
    struct Clip {
        const std::vector<Frame> *frames = nullptr;
        int *frame = nullptr;
        bool *playing = nullptr;
        bool *scriptDue = nullptr;
        std::vector<DisplayObject> *children = nullptr;
        int nesting = 1; // of the children
    };
    // Back to an earlier frame: the list built again from the first.
    void rebuildTo(Clip clip, int frame, Budget &budget) const;
    void gotoFrame(Clip clip, int frame, Budget &budget) const;
    void runScripts(TimelineState &state, Budget &budget) const;
    void runScript(TimelineState &state, const std::vector<uint16_t> &owner, Budget &budget) const;
    std::optional<Clip> clipAt(TimelineState &state, const std::vector<uint16_t> &path) const;
    std::optional<std::vector<uint16_t>> targetPath(TimelineState &state, const std::vector<uint16_t> &from,
                                                    const QString &target) const;
    void markDue(bool &due, const std::vector<Frame> &frames, int frame, Budget &budget) const;
    // keepers: a looping or rewound timeline's previous children; an
    // instance carries on when the frame that created it places it again.
    void applyFrame(std::vector<DisplayObject> &list, const Frame &frame, int frameIndex, int nesting,
                    Budget &budget, std::vector<DisplayObject> *keepers = nullptr) const;
    void place(std::vector<DisplayObject> &list, const PlaceObject &tag, int frameIndex, int nesting,
               Budget &budget, std::vector<DisplayObject> *keepers) const;
    // Fills in kind and children of a freshly created instance.
    void instantiate(DisplayObject &object, int nesting, Budget &budget) const;
    void step(DisplayObject &sprite, int nesting, Budget &budget) const;
    void stepChildren(std::vector<DisplayObject> &list, int nesting, Budget &budget) const;

    std::shared_ptr<const Movie> m_movie;
};

// Brings a timeline to any frame: one step forward from the frame before,
// otherwise from the nearest kept snapshot of the display list. Snapshots
// are kept every interval frames while stepping; when together they hold
// more than kMaxSnapshotObjects instances, every other one goes and the
// interval doubles, so memory stays bounded however long the movie.
class FrameSeeker {
public:
    static constexpr int kFirstInterval = 32;
    static constexpr size_t kMaxSnapshotObjects = 200000;

    explicit FrameSeeker(std::shared_ptr<const Movie> movie);

    int frameCount() const { return m_timeline.frameCount(); }
    const TimelineState &state() const { return m_state; }
    // To the state after `tick` frames from the first; past the main
    // timeline's last frame it starts over, as the player does. At most
    // kMaxPlayedFrames - 1.
    void seek(int tick);

    // Frame steps taken so far, for judging what seeking costs.
    uint64_t steps() const { return m_steps; }
    int snapshotInterval() const { return m_interval; }
    size_t snapshotObjects() const { return m_snapshotObjects; }

private:
    void keep();
    void step();

    Timeline m_timeline;
    TimelineState m_state;
    std::map<int, TimelineState> m_snapshots;
    int m_interval = kFirstInterval;
    size_t m_snapshotObjects = 0;
    uint64_t m_steps = 0;
};

} // namespace swf
