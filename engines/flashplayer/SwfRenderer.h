#pragma once
// Draws a display list from SwfTimeline with QPainter. Keeps what is costly
// to make once per character (decoded bitmaps, shape paths, glyph outlines,
// laid-out text), so a renderer belongs to one movie and is not meant to be
// used from two threads at once.

#include "engines/flashplayer/SwfTimeline.h"
#include "engines/flashplayer/SwfTypes.h"

#include <QImage>
#include <QRectF>

#include <memory>

class QPainter;

namespace swf {

class Renderer {
public:
    explicit Renderer(std::shared_ptr<const Movie> movie);
    ~Renderer();
    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

    // The stage, background first, scaled to fill target in the painter's
    // coordinates. Offscreen layers (masks, blend modes, filters) never
    // exceed the target's size on the device. deviceImage, when given, is
    // the painter's own unshared ARGB32 premultiplied image: blend modes
    // that QPainter lacks (subtract) then work on its pixels; on other
    // devices they are approximated.
    void render(QPainter &painter, const QRectF &target, const TimelineState &state, StageQuality quality,
                QImage *deviceImage = nullptr);

    // Layers at most this deep inside each other; deeper masks, blend
    // modes and filters are drawn as plain content.
    static constexpr int kMaxLayerNesting = 8;
    // Offscreen layers of one frame take at most this many times the
    // target's pixels; objects beyond are drawn without their effects.
    static constexpr int kLayerAreas = 64;
    // Filters of one frame pass over at most this many times the target's
    // pixels (a pass of a blur counts once); filters beyond are left out.
    static constexpr int kFilterAreas = 32;
    // Layer pixels kept between frames, in target areas.
    static constexpr int kKeptLayerAreas = 4;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace swf
