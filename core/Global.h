#pragma once
// What every part of the wizard shares: the movie, its scenes, the frames
// chosen for the sheet, the single service objects and the picture files.
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
class TFlashServer;
class TPDFCreator;

using IntArr = QVector<int32_t>;

// The most frames a movie holds, all scenes together (its header counts
// them in 16 bits).
constexpr int32_t kMaxMovieFrames = 65535;

struct TSceneInfo {
    QString Name;              // empty in SWF mode
    int32_t FrameCount = 0;    // SWF mode: frames captured
    int32_t FirstFrame = 0;    // 0-based movie frame of the scene's first frame
    IntArr KeyFrames;          // 0-based within the scene, as received
    QStringList FrameLabels;   // exactly FrameCount entries; empty = no label
};
using TSceneInfoArr = QVector<TSceneInfo>;

struct TFrame {
    QString FileName;          // picture file of the frame's movie number
    QString LabelText;         // label as printed; empty while labels are off
    int32_t FrameIndex = 0;    // 0-based within its scene
    int32_t SceneIndex = 0;    // 0-based into Scenes
    bool IsKeyFrame = false;   // FLA mode only
};
using TFrameArr = QVector<TFrame>;

class TFrameSelection {
public:
    // Filled in by the label expansion; until then the label operations do
    // nothing but clear the labels.
    using LabelHook = std::function<void(TFrameSelection &)>;

    int FrameCount() const { return Frames.size(); }
    // 0 <= i < FrameCount.
    TFrame GetFrame(int i) const { return Frames.at(i); }
    // Takes the array over (at least one entry) and updates the labels.
    void SetFrames(TFrameArr frames);

    void UpdateFrameLabels();
    void ExpandFrameLabels();
    void MeasureFrameLabels();

    static void SetLabelHooks(LabelHook update, LabelHook expand, LabelHook measure);

    TFrameArr Frames;
    int32_t LabelWidth = 0;    // points
    int32_t LabelHeight = 0;   // points
};

// Process-wide state, created once at start-up before any form.
extern bool IsSWFMode;
extern QString MovieFileName;
extern int32_t MovieWidth;     // pixels at 72 dpi
extern int32_t MovieHeight;
extern TSceneInfoArr Scenes;
extern TFrameSelection *FrameSelection;
extern TFlashServer *FlashServer;   // FLA mode only
extern TPDFCreator *PDFCreator;
extern QString TempImageBase;       // private temporary folder + "VELUMOR"
extern QString AppTitle;            // "Tessory v<major>.<minor>"

// Picture files.
QString FrameImageFileName(int32_t frameNumber);
QString ExportImageFileName();
// Replaces frame n's picture with the export picture by renaming it; a
// missing export leaves frame n without a picture. Failures are ignored.
void TakeExportedImage(int32_t frameNumber);
// Removes every TempImageBase*.jpg file, silently.
void DeleteTempImages();

// path with the extension of its file name replaced by ext (".pdf"), or
// ext appended when the name has none.
QString ChangeFileExt(const QString &path, const QString &ext);

// round(size * dpi / 72), halves to even: a picture's pixel size at dpi.
int32_t ScaledPixels(int32_t size72, int32_t dpi);

// A modal error box with one OK button.
void ShowErrorMessage(const QString &text);
// The same for what went through but differently from what was asked.
void ShowWarningMessage(const QString &text);
// Gives every control inside container (recursively, the container itself
// excluded) the enabled state.
void SetChildControlsEnabled(QWidget *container, bool enabled);

// Lets tests and tools replace the error and warning boxes (the wizard
// never does). Warnings go to the error sink while no warning sink is set.
using ErrorSink = std::function<void(const QString &)>;
ErrorSink SetErrorSink(ErrorSink sink);
ErrorSink SetWarningSink(ErrorSink sink);
