#pragma once
// Everything the layout, the labels and the writer read of the user's
// choices, as plain values. The defaults are those of the settings file, and
// this is the one place they are written down.
#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>

class TRegistry;

enum class TOrientation { Portrait = 0, Landscape = 1, Auto = 2 };

// The settings a layout or output check can blame; the wizard knows the
// control of each. Other stands for a cause outside the page and layout
// settings (a button of another step), None for no cause at all.
enum class TSheetSetting {
    None,
    Other,
    PageSize,
    PageWidth,
    PageHeight,
    Orientation,
    LeftMargin,
    RightMargin,
    TopMargin,
    BottomMargin,
    ImageSpace,
    TextSpace,
    CenterPageContents,
    LabelFrames,
    NonKeyFrameLabel,
    EditNonKeyFrameLabel,
    KeyFrameLabel,
    EditKeyFrameLabel,
    LabelFont,
    SetFramesPerPage,
    Columns,
    Rows,
    OutputFile,
    FrontFile,
    PasswordRepeat,
};

struct TSheetSettings {
    // Page, in whole millimetres as entered.
    int PageWidth = 210;
    int PageHeight = 297;
    TOrientation Orientation = TOrientation::Auto;
    // The last explicit orientation: the margins turn from it.
    TOrientation OrientationTag = TOrientation::Portrait;
    int LeftMargin = 10;
    int RightMargin = 10;
    int TopMargin = 10;
    int BottomMargin = 10;
    bool CenterPageContents = true;
    int ImageSpace = 5;
    int TextSpace = 5;

    // Pictures: dpi and JPEG quality as listed on the layout step.
    int Resolution = 72;
    int Quality = 70;

    // Labels.
    bool LabelFrames = true;
    QString NonKeyFrameLabel = QStringLiteral("Frame <N>");
    QString KeyFrameLabel = QStringLiteral("Frame <N> *");
    QFont LabelFont = QFont(QStringLiteral("Arial"), 12);
    uint32_t LabelColor = 0; // 0x00BBGGRR
    bool EmbedFontSubset = false;
    bool SetFramesPerPage = false;
    int Columns = 1;
    int Rows = 1;

    // Output.
    QString OutputFile; // the sheet's path, ".pdf" included
    QString FrontFile;  // empty for none
    QString Title, Author, Subject, Keywords;
    bool Security = false;
    bool Encryption128 = false; // else 40 bit
    QString Password;
    // The repeated password, while the step asks for one.
    std::optional<QString> PasswordRepeat;
    bool PermitPrinting = true;
    bool PermitChanging = true;
    bool PermitCopying = true;
    bool ViewFile = true;
};

// A predefined page, in millimetres as filled for portrait.
struct TPageSize {
    const char *Name;
    int Width;
    int Height;
};
// The page size list's choice before the user makes one.
inline const QString kDefaultPageSize = QStringLiteral("A4");
// The predefined pages in the order of the page size list.
std::span<const TPageSize> PageSizes();
// The page of that name (any case); nullptr when there is none.
const TPageSize *FindPageSize(const QString &name);

// The label patterns the layout step offers before the user has any of
// their own (the key-frame ones end in " *").
QStringList BuiltInLabelPatterns(bool keyFrames);

// The entries of the resolution and quality lists; the SWF mode's list of
// resolutions ends at the capture's own 150 dpi.
std::span<const int> ImageResolutions(bool swfMode);
std::span<const int> ImageQualities();

// The values at which a setting read from the settings file stops making
// sense; beyond them the default applies.
inline constexpr int kMaxPageMillimetres = 5080; // 200 inches, the largest page viewers take
inline constexpr int kMaxCellsAcross = 100;

// The sheet settings as the settings file holds them, value by value; a
// value that is missing or unreadable gives the default, and one that is
// there but makes no sense also adds a sentence to warnings.
TSheetSettings ReadSheetSettings(const TRegistry &reg, bool swfMode, QStringList *warnings = nullptr);

// The message that asks the user to change setting after a failed layout,
// as the settings stand; the general message for Other and for settings
// that name no single fix.
QString LayoutErrorMessage(TSheetSetting setting, const TSheetSettings &settings, bool movieKnown);
// True when LayoutErrorMessage gives the general message: the wizard then
// neither switches steps nor moves the focus.
bool IsGeneralLayoutError(TSheetSetting setting, const TSheetSettings &settings, bool movieKnown);
