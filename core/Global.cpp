#include "core/Global.h"

#include "platform/Shell.h"

#include <QFile>
#include <QMessageBox>
#include <QWidget>
#include <cmath>

bool IsSWFMode = true;
QString MovieFileName;
int32_t MovieWidth = 0;
int32_t MovieHeight = 0;
TSceneInfoArr Scenes;
TFrameSelection *FrameSelection = nullptr;
TFlashServer *FlashServer = nullptr;
TPDFCreator *PDFCreator = nullptr;
QString TempImageBase;
QString AppTitle;

namespace {
TFrameSelection::LabelHook updateHook, expandHook, measureHook;
ErrorSink errorSink;
ErrorSink warningSink;
}

void TFrameSelection::SetLabelHooks(LabelHook update, LabelHook expand, LabelHook measure)
{
    updateHook = std::move(update);
    expandHook = std::move(expand);
    measureHook = std::move(measure);
}

void TFrameSelection::SetFrames(TFrameArr frames)
{
    Frames = std::move(frames);
    UpdateFrameLabels();
}

void TFrameSelection::UpdateFrameLabels()
{
    if (updateHook) {
        updateHook(*this);
        return;
    }
    for (TFrame &f : Frames)
        f.LabelText.clear();
    LabelWidth = 0;
    LabelHeight = 0;
}

void TFrameSelection::ExpandFrameLabels()
{
    if (expandHook)
        expandHook(*this);
}

void TFrameSelection::MeasureFrameLabels()
{
    if (measureHook)
        measureHook(*this);
}

QString FrameImageFileName(int32_t frameNumber)
{
    return QStringLiteral("%1%2.jpg").arg(TempImageBase).arg(frameNumber, 4, 10, QLatin1Char('0'));
}

QString ExportImageFileName()
{
    return TempImageBase + QStringLiteral(".jpg");
}

void TakeExportedImage(int32_t frameNumber)
{
    const QString target = FrameImageFileName(frameNumber);
    QFile::remove(target);
    QFile::rename(ExportImageFileName(), target);
}

void DeleteTempImages()
{
    if (TempImageBase.isEmpty())
        return; // never widen the pattern to a whole folder
    platform::shellDeleteFiles(TempImageBase + QStringLiteral("*.jpg"));
}

QString ChangeFileExt(const QString &path, const QString &ext)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? path.left(dot) : path) + ext;
}

int32_t ScaledPixels(int32_t size72, int32_t dpi)
{
    const double factor = double(dpi) / 72.0;
    return int32_t(std::nearbyint(double(size72) * factor)); // default rounding mode: halves to even
}

ErrorSink SetErrorSink(ErrorSink sink)
{
    std::swap(errorSink, sink);
    return sink;
}

ErrorSink SetWarningSink(ErrorSink sink)
{
    std::swap(warningSink, sink);
    return sink;
}

static void ShowMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    const ErrorSink &sink = icon == QMessageBox::Warning && warningSink ? warningSink : errorSink;
    if (sink) {
        sink(text);
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.exec();
}

void ShowErrorMessage(const QString &text)
{
    ShowMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text);
}

void ShowWarningMessage(const QString &text)
{
    ShowMessageBox(QMessageBox::Warning, QStringLiteral("Warning"), text);
}

void SetChildControlsEnabled(QWidget *container, bool enabled)
{
    if (!container)
        return;
    for (QObject *child : container->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (!w || w->isWindow())
            continue;
        w->setEnabled(enabled);
        SetChildControlsEnabled(w, enabled);
    }
}
