#pragma once
// Frame labels: pattern expansion and the label extent.
#include "core/Global.h"
#include "sheet/SheetSettings.h"

#include <QSize>

class QFont;

// text without flag (case-insensitive): first " flag", then "flag ", then
// the bare flag, so one neighbouring space goes with it.
QString RemoveLabelFlag(QString text, const QString &flag);

// The label of every selected frame from the two patterns, by the mode and
// the scenes of the shared model. The key pattern is unused in SWF mode.
void ExpandLabelTexts(TFrameSelection &selection, const QString &nonKeyPattern, const QString &keyPattern);

// The extent of one label in whole points (rounded up) at the font's point
// size. The PDF text must be laid out with these same metrics.
QSize MeasureLabel(const QString &text, const QFont &font);
// Sets LabelWidth/LabelHeight to the largest extent of the current labels;
// 0 by 0 for an empty selection.
void MeasureLabelTexts(TFrameSelection &selection, const QFont &font);

// The selection's label operations on the sheet settings. With labels off
// all three leave every label empty and the extent 0 by 0.
void UpdateFrameLabels(TFrameSelection &selection, const TSheetSettings &settings);
void ExpandFrameLabels(TFrameSelection &selection, const TSheetSettings &settings);
void MeasureFrameLabels(TFrameSelection &selection, const TSheetSettings &settings);
