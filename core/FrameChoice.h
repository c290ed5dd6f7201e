#pragma once
// Which frames of the movie become thumbnails: the scene choice, the frame
// filter and the captions, as values, so that the wizard, kavrel-sheet and
// the tests share one rule.
#include "core/Global.h"

#include <QString>
#include <QVector>
#include <cstdint>
#include <optional>

// In the order of the wizard's filter list.
enum class TFrameFilter { KeyFrames, ATotalOf, OneFrameFromEvery, SelectedFrames, AllFrames };

// "Key Frames (*)", "A Total of", "One Frame From Every", "Selected Frames",
// "All Frames".
QString FrameFilterCaption(TFrameFilter filter);
// The filter whose caption is exactly text.
std::optional<TFrameFilter> FrameFilterFromCaption(const QString &text);

// The shown scenes, ascending: every scene when "All" is checked, else the
// checked ones (0-based scene indexes; others are ignored).
IntArr ShownScenes(int32_t sceneCount, bool allChecked, const IntArr &checkedScenes);

// The "Selected Frames" text: frame numbers from 1 and ranges "a-b" (either
// way round), separated by commas or blanks, an element in double quotes
// taken whole. Gives the numbers ascending without duplicates, those above
// maxFrame left out (so a huge range costs nothing); nothing when the text
// is empty or an element is empty or no number or range.
std::optional<IntArr> ParseSelectedFrames(const QString &text, int32_t maxFrame = kMaxMovieFrames);

struct TChosenFrame {
    int32_t SceneIndex = 0;   // into the scenes
    int32_t FrameIndex = 0;   // 0-based within the scene
    int32_t MovieFrame = 0;   // FrameIndex + the scene's FirstFrame
    bool IsKeyFrame = false;  // FrameIndex is one of the scene's KeyFrames
};
using TChosenFrameArr = QVector<TChosenFrame>;

// The frame's entry looked up in the model; sceneIndex must be valid.
TChosenFrame MakeChosenFrame(const TSceneInfoArr &scenes, int32_t sceneIndex, int32_t frameIndex);

inline const QString kInvalidFrameRange = QStringLiteral("Invalid frame range.");

struct TFrameChoice {
    TChosenFrameArr Frames;  // in thumbnail order; may be empty
    QString Error;           // kInvalidFrameRange, or empty when chosen
};

// The frames the filter picks from the frames of shownScenes (indexes into
// scenes, ascending). n is the value of "A Total of" and "One Frame From
// Every" (below 1 counts as 1); selectedFrames the text of "Selected
// Frames", whose numbers in a scene that is not shown are dropped.
TFrameChoice ChooseFrames(const TSceneInfoArr &scenes, const IntArr &shownScenes, TFrameFilter filter, int32_t n,
                          const QString &selectedFrames);

// The thumbnail caption: "F 12" in SWF mode, "2. F 5/37" in FLA mode with
// " *" for a key frame; "+ " before either when the frame has a label.
QString FrameCaption(const TSceneInfoArr &scenes, const TChosenFrame &frame, bool swfMode);
