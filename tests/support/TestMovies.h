#pragma once
// Small movies more than one test suite draws.

#include "engines/flashplayer/SwfWriter.h"

#include <QColor>

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

// The colour of frame i (from 0) of colourFramesMovie: far apart from its
// neighbours, and never white.
inline QRgb frameColour(int i)
{
    static const QRgb first[] = {qRgb(200, 30, 30), qRgb(30, 160, 40), qRgb(40, 60, 210)};
    return i < 3 ? first[i] : QColor::fromHsv((i * 47) % 360, 220, 200).rgb();
}

// frames frames, each filling the width x height stage with frameColour,
// ended.
inline SwfWriter colourFramesMovie(int frames = 3, int width = 40, int height = 30)
{
    SwfWriter w;
    w.setFrameSize({0, width * 20, 0, height * 20}).setBackgroundColor(255, 255, 255);
    for (int i = 0; i < frames; ++i) {
        const QRgb c = frameColour(i);
        SwfShape box;
        box.styles.fills = {SwfFillStyle::solid(uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)))};
        box.setStyles(std::nullopt, 1u).moveTo(0, 0).polygon(
            {{width * 20, 0}, {0, height * 20}, {-width * 20, 0}, {0, -height * 20}});
        w.defineShape(1, uint16_t(i + 1), {0, width * 20, 0, height * 20}, box);
    }
    for (int i = 0; i < frames; ++i)
        w.placeObject2(SwfPlace{.depth = 1, .move = i > 0, .characterId = uint16_t(i + 1)}).showFrame();
    w.end();
    return w;
}

} // namespace swftest
