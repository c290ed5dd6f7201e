#pragma once
// Turns shape records into paths a painter can fill and stroke.
//
// Records describe edges with a fill style on either side (fill0 on the
// left, fill1 on the right, walking the edge) rather than closed outlines;
// here the edges of each fill are collected, the fill0 ones reversed so the
// fill lies on one side of all of them, and chained into closed subpaths.
// Coordinates stay in twips.

#include "engines/flashplayer/SwfTypes.h"

#include <QPainterPath>

#include <vector>

namespace swf {

struct FillPath {
    FillStyle style;
    QPainterPath path; // closed subpaths
};

struct StrokePath {
    LineStyle style;
    QPainterPath path; // a subpath that returns to its start is closed unless style.noClose
};

// What one set of style arrays draws: its fills, then its strokes above.
struct ShapeLayer {
    std::vector<FillPath> fills;     // in fill style order
    std::vector<StrokePath> strokes; // in line style order
};

// Layers in painting order: every new set of style arrays (DefineShape2 and
// later) starts one above the previous. Edges naming a style that does not
// exist are left out of that style.
std::vector<ShapeLayer> buildShapePaths(const ShapeData &shape, Qt::FillRule rule = Qt::OddEvenFill);
// With the fill rule the shape asks for.
std::vector<ShapeLayer> buildShapePaths(const Shape &shape);

// A glyph's outline: every filled side counts, whatever its index.
QPainterPath buildGlyphPath(const ShapeData &glyph);

// The morph at position t (0 = start, 1 = end), as an ordinary shape whose
// styles are the interpolated morph styles.
ShapeData morphShapeAt(const MorphShape &morph, double t);
// A PlaceObject ratio as a morph position.
inline double morphPosition(uint16_t ratio)
{
    return ratio / 65535.0;
}

} // namespace swf
