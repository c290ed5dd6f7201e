// Filling without anti-aliasing, as the player does at low quality.
#pragma once

#include <QBrush>
#include <QPainterPath>
#include <QRect>
#include <QTransform>

#include <vector>

class QPainter;

namespace swf {

// A pixel is filled when its centre is inside the outline. The outline's
// points are first moved to whole device twips and then to a 1/256 pixel
// grid, which is where the player's own pictures put its edges; a centre
// that falls exactly on an edge belongs to the area right of or below it.
// Curves become chords within a tenth of a pixel.
class AliasedFill {
public:
    static constexpr double kFlatness = 0.1;  // device pixels
    static constexpr int kSubpixels = 256;

    // Rows of filled pixels, each row's runs in order, within clip.
    struct Run {
        int y, x0, x1; // pixels x0 .. x1 - 1
        bool operator==(const Run &) const = default;
    };
    static std::vector<Run> runs(const QPainterPath &path, const QTransform &toDevice, const QRect &clip);

    // As QPainter::fillPath, path and brush in the painter's coordinates.
    static void fill(QPainter &p, const QPainterPath &path, const QBrush &brush);
};

} // namespace swf
