#include "movie/Capture.h"

#include "platform/JpegImage.h"
#include "engines/flashplayer/SwfPlayer.h"

#include <QFile>
#include <QImage>

QSize CapturePictureSize(QSize stage)
{
    return QSize(ScaledPixels(stage.width(), kCaptureResolution), ScaledPixels(stage.height(), kCaptureResolution));
}

void BeginSceneCapture(TSceneInfo &scene, int firstFrame)
{
    DeleteTempImages();
    scene.FirstFrame = firstFrame;
    scene.FrameCount = 0;
    scene.FrameLabels.clear();
}

QString CaptureSizeProblem(QSize stage)
{
    const QSize size = CapturePictureSize(stage);
    if (swf::pictureSizeAllowed(size))
        return QString();
    return QStringLiteral("The movie's stage of %1 x %2 pixels would make pictures of %3 x %4 pixels at "
                          "%5 dpi, more than can be drawn (at most %6 pixels).")
        .arg(stage.width())
        .arg(stage.height())
        .arg(size.width())
        .arg(size.height())
        .arg(kCaptureResolution)
        .arg(swf::kMaxPicturePixels);
}

bool SaveCapturedPicture(const QImage &picture, TSceneInfo &scene, QString *why)
{
    QString problem;
    const QByteArray jpeg = platform::encodeJpeg(picture, kCaptureQuality, &problem);
    const QString path = FrameImageFileName(scene.FirstFrame + scene.FrameCount);
    QFile file(path);
    if (jpeg.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(jpeg) != jpeg.size() ||
        !file.flush()) {
        if (problem.isEmpty())
            problem = file.errorString();
        file.remove();
        if (why)
            *why = QStringLiteral("The picture could not be saved as %1 (%2).").arg(path, problem);
        return false;
    }
    ++scene.FrameCount;
    scene.FrameLabels << QString();
    return true;
}

TCaptureResult CaptureFileFrames(swf::Player &player, QSize stage, int first, int last, TSceneInfo &scene,
                                 const TCaptureProgress &progress)
{
    TCaptureResult result;
    BeginSceneCapture(scene, first - 1);
    result.Error = CaptureSizeProblem(stage);
    if (!result.Error.isEmpty())
        return result;
    const QSize size = CapturePictureSize(stage);
    // One picture drawn over and over: memory stays flat however many
    // frames there are.
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        result.Error = QStringLiteral("There is not enough memory for pictures of %1 x %2 pixels.")
                           .arg(size.width())
                           .arg(size.height());
        return result;
    }

    const int total = std::max(0, last - first + 1);
    for (int frame = first; frame <= last; ++frame) {
        player.gotoFrame(frame - 1);
        player.renderInto(picture);
        QString why;
        if (!SaveCapturedPicture(picture, scene, &why)) {
            result.Error = QStringLiteral("Frame %1: %2").arg(frame).arg(why);
            break;
        }
        ++result.Captured;
        if (progress && !progress(result.Captured, total)) {
            result.Cancelled = frame < last;
            break;
        }
    }
    return result;
}

QString CaptureNotice(const swf::Movie &movie)
{
    const swf::ScriptUse &s = movie.scripts;
    if (s.abcScripts == 0 && s.symbolClasses == 0 && s.fonts4 == 0)
        return {};
    return QStringLiteral("This movie is made by ActionScript 3, which Tessory does not run: its frames may come out "
                          "blank or partial.");
}
