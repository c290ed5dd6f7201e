#pragma once
// Frames of a movie captured to picture files as the capture step's "File
// Frames" method does, without its form: each frame drawn by the movie
// engine at 150 dpi and saved as a JPEG of quality 100 under its numbered
// picture name, for the frame selection step and the sheet to use.
#include "core/Global.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace swf {
class Player;
struct Movie;
}

inline constexpr int kCaptureResolution = 150;
inline constexpr int kCaptureQuality = 100;

// The pictures' size for a stage of that many pixels at 72 dpi (halves to
// even: 550 x 400 gives 1146 x 833).
QSize CapturePictureSize(QSize stage);

struct TCaptureResult {
    int Captured = 0;        // pictures written
    bool Cancelled = false;
    QString Error;           // one sentence; empty unless a frame failed
};

// Told after each picture how many are written of how many; false stops
// the capture after it (Cancel).
using TCaptureProgress = std::function<bool(int captured, int total)>;

// Starts a capture into scene: the pictures of an earlier capture go,
// FirstFrame becomes firstFrame (0-based), no frames, no labels.
void BeginSceneCapture(TSceneInfo &scene, int firstFrame);

// Saves picture as the scene's next captured frame (numbered FirstFrame +
// FrameCount) and counts it with an empty label. False, with why in one
// sentence naming the file, when it cannot be saved; the scene is unchanged.
bool SaveCapturedPicture(const QImage &picture, TSceneInfo &scene, QString *why);

// Why a stage cannot be captured (too large to draw at 150 dpi); empty when
// it can.
QString CaptureSizeProblem(QSize stage);

// Captures frames first..last (from 1) of the player's movie, replacing the
// pictures of an earlier capture. scene (the one scene of a movie opened
// for capture) gets FirstFrame first - 1, FrameCount the frames captured
// and as many empty labels, also when the capture stops early. A stage too
// large to draw at 150 dpi captures nothing and says so.
TCaptureResult CaptureFileFrames(swf::Player &player, QSize stage, int first, int last, TSceneInfo &scene,
                                 const TCaptureProgress &progress = {});

// One sentence for the capture step when the movie's frames are made by
// ActionScript 3, which the engine does not run (they come out blank or
// partial); empty otherwise.
QString CaptureNotice(const swf::Movie &movie);
