#pragma once
// The demonstration movie: built from code by the project's movie writer, so
// no third-party movie or font is ever shipped.
#include <QByteArray>

namespace demo {

// Stage 550 x 400 pixels, 24 frames a second.
inline constexpr int kStageWidth = 550;
inline constexpr int kStageHeight = 400;
inline constexpr int kFrameRate = 24;
// Two scenes of 48 frames: "Intro" (title fading in, a bitmap sliding in, a
// spinning sprite) and "Showcase" (a morph, a moving mask, a tinted caption,
// the bitmap fading out), over a gradient sky with a radial-gradient sun.
inline constexpr int kSceneFrames = 48;
inline constexpr int kFrameCount = 2 * kSceneFrames;

// The movie's file bytes, zlib-compressed.
QByteArray demoMovie();

} // namespace demo
