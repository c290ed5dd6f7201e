#include "sheet/LabelPatterns.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <cmath>

namespace {

// Hourglass for the duration of a scope, also when it is left by an exception.
class TBusyCursor {
public:
    TBusyCursor()
        : m_active(qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_active)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TBusyCursor()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;

private:
    bool m_active;
};

const QString flagL = QStringLiteral("<L>");
const QString flagN = QStringLiteral("<N>");
const QString flagNS = QStringLiteral("<NS>");
const QString flagS = QStringLiteral("<S>");
const QString flagST = QStringLiteral("<ST>");
const QString flagF = QStringLiteral("<F>");

// The FLA document's path may arrive in Windows form, so both separators end
// the folder.
QString QuotedFileName()
{
    const qsizetype cut = std::max(MovieFileName.lastIndexOf(u'/'), MovieFileName.lastIndexOf(u'\\'));
    return u'"' + MovieFileName.mid(cut + 1) + u'"';
}

struct TPatternFlags {
    bool L, N, NS, S, ST;
};

// Decided before any replacement, so text brought in later is never taken
// for a flag the pattern did not hold.
TPatternFlags FlagsOf(const QString &pattern)
{
    const QString up = pattern.toUpper();
    return {up.contains(flagL), up.contains(flagN), up.contains(flagNS), up.contains(flagS),
            up.contains(flagST)};
}

QString SceneLabel(const TSceneInfo *scene, int frameIndex)
{
    return scene ? scene->FrameLabels.value(frameIndex) : QString();
}

QString PutOrRemove(QString text, const QString &flag, const QString &value)
{
    if (value.isEmpty())
        return RemoveLabelFlag(std::move(text), flag);
    return text.replace(flag, value, Qt::CaseInsensitive);
}

void ClearLabels(TFrameSelection &selection)
{
    for (TFrame &frame : selection.Frames)
        frame.LabelText.clear();
    selection.LabelWidth = 0;
    selection.LabelHeight = 0;
}

} // namespace

QString RemoveLabelFlag(QString text, const QString &flag)
{
    text.remove(u' ' + flag, Qt::CaseInsensitive);
    text.remove(flag + u' ', Qt::CaseInsensitive);
    text.remove(flag, Qt::CaseInsensitive);
    return text;
}

void ExpandLabelTexts(TFrameSelection &selection, const QString &nonKeyPattern, const QString &keyPattern)
{
    const QString fileName = QuotedFileName();
    if (IsSWFMode) {
        const TPatternFlags flags = FlagsOf(nonKeyPattern);
        QString pattern = nonKeyPattern;
        pattern.replace(flagF, fileName, Qt::CaseInsensitive);
        pattern = RemoveLabelFlag(pattern, flagNS);
        pattern = RemoveLabelFlag(pattern, flagS);
        pattern = RemoveLabelFlag(pattern, flagST);
        for (TFrame &frame : selection.Frames) {
            const TSceneInfo *scene =
                frame.SceneIndex >= 0 && frame.SceneIndex < Scenes.size() ? &Scenes[frame.SceneIndex] : nullptr;
            QString text = pattern;
            if (flags.L)
                text = PutOrRemove(text, flagL, SceneLabel(scene, frame.FrameIndex));
            if (flags.N)
                text.replace(flagN, QString::number(frame.FrameIndex + (scene ? scene->FirstFrame : 0) + 1),
                             Qt::CaseInsensitive);
            frame.LabelText = text;
        }
        return;
    }

    const TPatternFlags nonKeyFlags = FlagsOf(nonKeyPattern);
    const TPatternFlags keyFlags = FlagsOf(keyPattern);
    QString nonKey = nonKeyPattern;
    QString key = keyPattern;
    nonKey.replace(flagF, fileName, Qt::CaseInsensitive);
    key.replace(flagF, fileName, Qt::CaseInsensitive);
    for (TFrame &frame : selection.Frames) {
        const TSceneInfo *scene =
            frame.SceneIndex >= 0 && frame.SceneIndex < Scenes.size() ? &Scenes[frame.SceneIndex] : nullptr;
        const TPatternFlags &flags = frame.IsKeyFrame ? keyFlags : nonKeyFlags;
        QString text = frame.IsKeyFrame ? key : nonKey;
        if (flags.L)
            text = PutOrRemove(text, flagL, SceneLabel(scene, frame.FrameIndex));
        if (flags.N)
            text.replace(flagN, QString::number(frame.FrameIndex + (scene ? scene->FirstFrame : 0) + 1),
                         Qt::CaseInsensitive);
        if (flags.NS)
            text.replace(flagNS, QString::number(frame.FrameIndex + 1), Qt::CaseInsensitive);
        if (flags.S)
            text.replace(flagS, QString::number(frame.SceneIndex + 1), Qt::CaseInsensitive);
        if (flags.ST)
            text = PutOrRemove(text, flagST, scene ? scene->Name : QString());
        frame.LabelText = text;
    }
}

QSize MeasureLabel(const QString &text, const QFont &font)
{
    // A pixel size equal to the point size makes pixels read as points
    // whatever the screen's resolution.
    QFont scaled(font);
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize();
    scaled.setPixelSize(std::max(1, static_cast<int>(std::lround(points))));
    const QFontMetricsF metrics(scaled);
    return QSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text))),
                 static_cast<int>(std::ceil(metrics.height())));
}

void MeasureLabelTexts(TFrameSelection &selection, const QFont &font)
{
    TBusyCursor busy;
    int width = 0;
    int height = 0;
    for (const TFrame &frame : selection.Frames) {
        const QSize extent = MeasureLabel(frame.LabelText, font);
        width = std::max(width, extent.width());
        height = std::max(height, extent.height());
    }
    selection.LabelWidth = width;
    selection.LabelHeight = height;
}

void UpdateFrameLabels(TFrameSelection &selection, const TSheetSettings &settings)
{
    if (settings.LabelFrames)
        ExpandFrameLabels(selection, settings);
    else
        ClearLabels(selection);
}

void ExpandFrameLabels(TFrameSelection &selection, const TSheetSettings &settings)
{
    if (!settings.LabelFrames) {
        ClearLabels(selection);
        return;
    }
    TBusyCursor busy;
    ExpandLabelTexts(selection, settings.NonKeyFrameLabel, settings.KeyFrameLabel);
    MeasureFrameLabels(selection, settings);
}

void MeasureFrameLabels(TFrameSelection &selection, const TSheetSettings &settings)
{
    if (!settings.LabelFrames) {
        ClearLabels(selection);
        return;
    }
    MeasureLabelTexts(selection, settings.LabelFont);
}
