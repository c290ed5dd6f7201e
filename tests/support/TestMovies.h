#pragma once
// Small movies more than one test suite draws.

#include "support/SwfWriter.h"

namespace swftest {

// A black triangle on a white 100 x 100 stage, ended: its slanted edges get
// grey pixels only when drawn anti-aliased.
inline SwfWriter blackTriangleMovie()
{
    SwfWriter w;
    w.setFrameSize({0, 2000, 0, 2000}).setBackgroundColor(255, 255, 255);
    SwfShape triangle;
    triangle.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
    triangle.setStyles(std::nullopt, 1u).moveTo(100, 100).polygon({{1800, 300}, {-1300, 1500}, {-500, -1800}});
    w.defineShape(1, 1, {0, 2000, 0, 2000}, triangle).placeObject2(SwfPlace{.depth = 1, .characterId = 1});
    w.showFrame().end();
    return w;
}

} // namespace swftest
