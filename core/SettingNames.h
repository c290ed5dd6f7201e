#pragma once
// The names of the values in the settings file, shared by the wizard, which
// loads and saves them, and the tools that read them.
#include <QString>

namespace SettingName {
inline const QString ShowHints = QStringLiteral("ShowHints");
inline const QString SWFFile = QStringLiteral("SWFFile");
inline const QString CaptureMethod = QStringLiteral("CaptureMethod");
inline const QString ShowCaptions = QStringLiteral("ShowCaptions");
inline const QString FrameFilterVal = QStringLiteral("FrameFilterVal");
inline const QString SelectedFrames = QStringLiteral("SelectedFrames");
inline const QString PageSize = QStringLiteral("PageSize");
inline const QString PageWidth = QStringLiteral("PageWidth");
inline const QString PageHeight = QStringLiteral("PageHeight");
inline const QString PageOrientation = QStringLiteral("PageOrientation");
inline const QString PageOrientationTag = QStringLiteral("PageOrientationTag");
inline const QString PageLeftMargin = QStringLiteral("PageLeftMargin");
inline const QString PageRightMargin = QStringLiteral("PageRightMargin");
inline const QString PageTopMargin = QStringLiteral("PageTopMargin");
inline const QString PageBottomMargin = QStringLiteral("PageBottomMargin");
inline const QString CenterPageContents = QStringLiteral("CenterPageContents");
inline const QString ImageSpace = QStringLiteral("ImageSpace");
inline const QString TextSpace = QStringLiteral("TextSpace");
inline const QString ImageResolution = QStringLiteral("ImageResolution");
inline const QString ImageQuality = QStringLiteral("ImageQuality");
inline const QString LabelFrames = QStringLiteral("LabelFrames");
inline const QString ImageLabelsFontName = QStringLiteral("ImageLabelsFontName");
inline const QString ImageLabelsFontBold = QStringLiteral("ImageLabelsFontBold");
inline const QString ImageLabelsFontItalic = QStringLiteral("ImageLabelsFontItalic");
inline const QString ImageLabelsFontUnderline = QStringLiteral("ImageLabelsFontUnderline");
inline const QString ImageLabelsFontStrikeOut = QStringLiteral("ImageLabelsFontStrikeOut");
inline const QString ImageLabelsFontSize = QStringLiteral("ImageLabelsFontSize");
inline const QString ImageLabelsFontColor = QStringLiteral("ImageLabelsFontColor");
inline const QString ImageLabelsFontCharset = QStringLiteral("ImageLabelsFontCharset");
inline const QString NonKeyFrameLabel = QStringLiteral("NonKeyFrameLabel");
inline const QString KeyFrameLabel = QStringLiteral("KeyFrameLabel");
inline const QString EmbedFontSubset = QStringLiteral("EmbedFontSubset");
inline const QString SetFramesPerPage = QStringLiteral("SetFramesPerPage");
inline const QString ColumnsPerPage = QStringLiteral("ColumnsPerPage");
inline const QString RowsPerPage = QStringLiteral("RowsPerPage");
inline const QString ViewFile = QStringLiteral("ViewFile");
inline const QString InputFile = QStringLiteral("InputFile");
inline const QString FileTitle = QStringLiteral("FileTitle");
inline const QString FileAuthor = QStringLiteral("FileAuthor");
inline const QString FileSubject = QStringLiteral("FileSubject");
inline const QString FileKeywords = QStringLiteral("FileKeywords");
inline const QString Security = QStringLiteral("Security");
inline const QString Encryption = QStringLiteral("Encryption");
inline const QString ShowPassword = QStringLiteral("ShowPassword");
inline const QString PermitPrinting = QStringLiteral("PermitPrinting");
inline const QString PermitChanging = QStringLiteral("PermitChanging");
inline const QString PermitCopying = QStringLiteral("PermitCopying");
inline const QString PreviewFormLeft = QStringLiteral("PreviewFormLeft");
inline const QString PreviewFormTop = QStringLiteral("PreviewFormTop");
} // namespace SettingName
