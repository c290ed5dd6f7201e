#pragma once
// Bitmap filters on an object's offscreen layer (ARGB32 premultiplied).
// Sizes in a filter are stage pixels; scale gives device pixels per stage
// pixel, so a stage drawn larger gets proportionally larger blurs.

#include "engines/flashplayer/SwfTypes.h"

#include <QImage>

namespace swf {

// How far, in device pixels, the filter may reach beyond the object.
int filterMargin(const Filter &filter, double scale);

// The filter's work in passes over every pixel of its layer, for the
// frame's budget.
int filterCost(const Filter &filter);

// Applies the filter to the image in place.
void applyFilter(QImage &image, const Filter &filter, double scale);

// Box blur of every channel, as the player blurs: passes of a box the given
// width in pixels (at least 1 pass). Widths below 2 leave that axis alone.
void boxBlur(QImage &image, double widthX, double widthY, int passes);

} // namespace swf
