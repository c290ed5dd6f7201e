#pragma once
// Plays a movie read by SwfReader: the main timeline's display list, sprites
// advancing with it, and drawing of the current frame with QPainter. Of
// ActionScript only the frame scripts' timeline actions run (stop, play, go
// to a frame or label), so frame n is the n-th frame shown, which the main
// timeline's frame n only is when no script steers it.
#include "engines/flashplayer/SwfTypes.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace swf {

// The stage quality a word names: "low", "medium", "high", "best" (any
// case); nothing for other words.
std::optional<StageQuality> parseStageQuality(const QString &word);

// The largest picture the player draws: the authoring tool's largest stage
// (2880 x 2880 pixels) at 150 dpi, 144 MB a picture. A stage claimed larger
// costs seconds and gigabytes a frame for nothing anyone prints.
inline constexpr qint64 kMaxPicturePixels = 36'000'000;
inline constexpr int kMaxPictureSide = 16384;
bool pictureSizeAllowed(QSize size);
// The largest factor (three significant digits, rounded down) by which
// stage may be scaled within those limits.
double largestPictureScale(QSize stage);

// What of the movie the player leaves out and why, one plain sentence
// each (scripts not run, ActionScript 3, fonts it cannot draw); empty when
// frames come out as the movie makes them.
std::vector<QString> skippedContent(const Movie &movie);

// One player per thread: drawing fills caches (decoded bitmaps, shape
// outlines, laid-out text) kept for the player's life. Text fields without
// an embedded font use the system's fonts, which need a QGuiApplication;
// without one they are left out.
class Player {
public:
    explicit Player(std::shared_ptr<const Movie> movie);
    ~Player();
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    const Movie &movie() const;
    // Frames of the main timeline (at least 1).
    int frameCount() const;
    // 0-based: frames shown since the first.
    int currentFrame() const;
    // Shows frame n (0-based, clamped into range) exactly as playing n
    // frames on from the first would; stepping forward one frame at a time
    // costs one frame's work, jumping uses kept snapshots.
    void gotoFrame(int n);
    // The state after `ticks` frames shown from the first, clamped to 0 and
    // kMaxPlayedFrames - 1.
    // Past the main timeline's last frame it starts over while sprites play
    // on, so a one-frame movie's animations still move.
    void playTo(int ticks);
    // Plays on one frame: after the main timeline's last frame its first
    // again, with sprites playing on (from the start once kMaxPlayedFrames
    // have been played).
    void nextFrame();
    // The main timeline's frame shown (0-based): frames played, unless the
    // movie started over or its scripts steered it.
    int mainFrame() const;

    // From SetBackgroundColor; white when the movie sets none.
    QColor backgroundColor() const;
    // The stage in whole pixels at 72 dpi (twips / 20, rounded).
    QSize stageSize() const;

    // Draws the current frame with the stage scaled to fill target exactly
    // (no aspect kept), background first.
    void render(QPainter &painter, const QRectF &target, StageQuality quality = StageQuality::High) const;
    // The current frame as an ARGB32 premultiplied image of the given size
    // (a null image when it cannot be allocated or is not allowed). Blend modes QPainter lacks
    // (subtract) are exact here; render() on other devices approximates them.
    QImage renderImage(QSize size, StageQuality quality = StageQuality::High) const;
    // The same into image, over its whole area, keeping its pixel buffer when
    // it is ARGB32 premultiplied and not shared; frame after frame into one
    // image spares the allocation (and its page faults) of a new picture.
    void renderInto(QImage &image, StageQuality quality = StageQuality::High) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Runs `draw` (painting into an image it owns) and returns when it is done.
// Qt's raster engine splits each batch of spans of a large fill across the
// global thread pool and waits for it, unless it already runs on one of the
// pool's threads; a frame is hundreds of such batches, and the hand-offs
// cost more than they save (a frame took twice as long). So the frame is
// drawn whole on one pool thread, or here when none is free.
void drawInOnePiece(const std::function<void()> &draw);

} // namespace swf
