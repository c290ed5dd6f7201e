#include "sheet/SheetSettings.h"

#include "core/Registry.h"
#include "core/SettingNames.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr TPageSize kPageSizes[] = {
    {"A0", 841, 1189}, {"A1", 594, 841}, {"A2", 420, 594}, {"A3", 297, 420}, {"A4", 210, 297},
    {"A5", 148, 210}, {"A6", 105, 148}, {"A7", 74, 105}, {"A8", 52, 74}, {"A9", 37, 52},
    {"A10", 26, 37},
    {"B0", 1030, 1456}, {"B1", 728, 1030}, {"B2", 515, 728}, {"B3", 364, 515}, {"B4", 257, 364},
    {"B5", 182, 257}, {"B6", 128, 182}, {"B7", 91, 128}, {"B8", 64, 91}, {"B9", 45, 64},
    {"B10", 32, 45},
    {"C0", 917, 1297}, {"C1", 648, 917}, {"C2", 458, 648}, {"C3", 324, 458}, {"C4", 229, 324},
    {"C5", 162, 229}, {"C6", 114, 162}, {"C7", 81, 114},
    {"DL", 110, 220}, {"Executive", 190, 254}, {"Folio", 210, 330},
    {"ISOB0", 1000, 1414}, {"ISOB1", 707, 1000}, {"ISOB2", 500, 707}, {"ISOB3", 353, 500},
    {"ISOB4", 250, 353}, {"ISOB5", 176, 250}, {"ISOB6", 125, 176}, {"ISOB7", 88, 125},
    {"ISOB8", 62, 88}, {"ISOB9", 44, 62}, {"ISOB10", 31, 44},
    {"Ledger", 432, 279}, // the one entry stored wider than high
    {"Legal", 216, 356}, {"Letter", 216, 279},
    {"Photo Paper 9x13 cm", 90, 130}, {"Photo Paper 10x15 cm", 100, 150}, {"Photo Paper 13x18 cm", 130, 180},
    {"Statement", 140, 216}, {"Tabloid", 279, 432},
};

constexpr int kResolutions[] = {30, 50, 72, 100, 150, 200, 300, 600};
constexpr int kCaptureResolutions = 5; // up to the 150 dpi of captured pictures
constexpr int kQualities[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
constexpr int kDefaultResolutionIndex = 2;

// Reads one value, keeping the default (with a warning) when it is there
// but outside [low, high].
class Reader {
public:
    Reader(const TRegistry &reg, QStringList *warnings) : m_reg(reg), m_warnings(warnings) {}

    int integer(const QString &name, int def, int low, int high) const
    {
        if (!m_reg.ValueExists(name))
            return def;
        const std::optional<int> value = m_reg.ReadIntegerValue(name);
        if (value && *value >= low && *value <= high)
            return *value;
        const QString text = m_reg.ReadString(name, QString());
        warn(QStringLiteral("The setting %1 of \"%2\" is not a whole number from %3 to %4; %5 is used instead.")
                 .arg(name, text)
                 .arg(low)
                 .arg(high)
                 .arg(def));
        return def;
    }
    bool boolean(const QString &name, bool def) const { return m_reg.ReadBool(name, def); }
    QString string(const QString &name, const QString &def) const { return m_reg.ReadString(name, def); }

    // An entry of a list stored by its index.
    int listed(const QString &name, std::span<const int> list, int defIndex) const
    {
        return list[size_t(integer(name, defIndex, 0, int(list.size()) - 1))];
    }

    // The chosen entry of a history list, or of the built-in entries while
    // none is stored; empty when the index chooses nothing.
    QString history(const QString &base, const QStringList &builtIn, bool indexApplies = true) const
    {
        QStringList entries = builtIn;
        if (m_reg.ValueExists(HistoryValueName(base, 1))) {
            entries.clear();
            for (int n = 1; n <= 8 && m_reg.ValueExists(HistoryValueName(base, n)); ++n)
                entries << m_reg.ReadString(HistoryValueName(base, n), QString());
        }
        const int index = indexApplies ? m_reg.ReadInteger(base + QStringLiteral("Index"), 0) : 0;
        return entries.value(index);
    }

    void warn(const QString &sentence) const
    {
        if (m_warnings)
            *m_warnings << sentence;
    }

private:
    const TRegistry &m_reg;
    QStringList *m_warnings;
};

const QString generalMessage = QStringLiteral(
    "The page preview cannot be created.\nSet smaller page dimensions or different page orientation\n"
    "or smaller page margins or  smaller font of the frame labels\nor shorter frame labels or less frames per page.");

} // namespace

std::span<const TPageSize> PageSizes()
{
    return kPageSizes;
}

const TPageSize *FindPageSize(const QString &name)
{
    const auto it = std::find_if(std::begin(kPageSizes), std::end(kPageSizes), [&](const TPageSize &size) {
        return name.compare(QLatin1String(size.Name), Qt::CaseInsensitive) == 0;
    });
    return it == std::end(kPageSizes) ? nullptr : &*it;
}

std::span<const int> ImageResolutions(bool swfMode)
{
    return std::span<const int>(kResolutions).first(swfMode ? kCaptureResolutions : std::size(kResolutions));
}

std::span<const int> ImageQualities()
{
    return kQualities;
}

TSheetSettings ReadSheetSettings(const TRegistry &reg, bool swfMode, QStringList *warnings)
{
    namespace n = SettingName;
    const Reader r(reg, warnings);
    TSheetSettings s;
    const TSheetSettings d;

    s.PageWidth = r.integer(n::PageWidth, d.PageWidth, 10, kMaxPageMillimetres);
    s.PageHeight = r.integer(n::PageHeight, d.PageHeight, 10, kMaxPageMillimetres);
    s.Orientation = TOrientation(r.integer(n::PageOrientation, int(d.Orientation), 0, 2));
    s.OrientationTag = TOrientation(r.integer(n::PageOrientationTag, int(d.OrientationTag), 0, 1));
    s.LeftMargin = r.integer(n::PageLeftMargin, d.LeftMargin, 0, kMaxPageMillimetres);
    s.RightMargin = r.integer(n::PageRightMargin, d.RightMargin, 0, kMaxPageMillimetres);
    s.TopMargin = r.integer(n::PageTopMargin, d.TopMargin, 0, kMaxPageMillimetres);
    s.BottomMargin = r.integer(n::PageBottomMargin, d.BottomMargin, 0, kMaxPageMillimetres);
    s.CenterPageContents = r.boolean(n::CenterPageContents, d.CenterPageContents);
    s.ImageSpace = r.integer(n::ImageSpace, d.ImageSpace, 0, kMaxPageMillimetres);
    s.TextSpace = r.integer(n::TextSpace, d.TextSpace, 0, kMaxPageMillimetres);

    s.Resolution = r.listed(n::ImageResolution, ImageResolutions(swfMode), kDefaultResolutionIndex);
    const auto quality = std::find(std::begin(kQualities), std::end(kQualities), d.Quality);
    s.Quality = r.listed(n::ImageQuality, ImageQualities(), int(quality - std::begin(kQualities)));

    s.LabelFrames = r.boolean(n::LabelFrames, d.LabelFrames);
    const QString family = r.string(n::ImageLabelsFontName, d.LabelFont.family());
    s.LabelFont.setFamily(family.trimmed().isEmpty() ? d.LabelFont.family() : family);
    s.LabelFont.setBold(r.boolean(n::ImageLabelsFontBold, false));
    s.LabelFont.setItalic(r.boolean(n::ImageLabelsFontItalic, false));
    s.LabelFont.setUnderline(r.boolean(n::ImageLabelsFontUnderline, false));
    s.LabelFont.setStrikeOut(r.boolean(n::ImageLabelsFontStrikeOut, false));
    s.LabelFont.setPointSize(r.integer(n::ImageLabelsFontSize, d.LabelFont.pointSize(), 1, 1000));
    s.LabelColor = uint32_t(r.integer(n::ImageLabelsFontColor, int(d.LabelColor), 0, 0xFFFFFF));
    s.NonKeyFrameLabel = r.history(n::NonKeyFrameLabel, BuiltInLabelPatterns(false));
    s.KeyFrameLabel = r.history(n::KeyFrameLabel, BuiltInLabelPatterns(true));
    s.EmbedFontSubset = r.boolean(n::EmbedFontSubset, d.EmbedFontSubset);
    s.SetFramesPerPage = r.boolean(n::SetFramesPerPage, d.SetFramesPerPage);
    s.Columns = r.integer(n::ColumnsPerPage, d.Columns, 1, kMaxCellsAcross);
    s.Rows = r.integer(n::RowsPerPage, d.Rows, 1, kMaxCellsAcross);

    s.ViewFile = r.boolean(n::ViewFile, d.ViewFile);
    s.FrontFile = r.history(n::InputFile, {}, false);
    s.Title = r.history(n::FileTitle, {});
    s.Author = r.history(n::FileAuthor, {});
    s.Subject = r.history(n::FileSubject, {});
    s.Keywords = r.history(n::FileKeywords, {});
    s.Security = r.boolean(n::Security, d.Security);
    s.Encryption128 = r.integer(n::Encryption, d.Encryption128 ? 1 : 0, 0, 1) == 1;
    s.PermitPrinting = r.boolean(n::PermitPrinting, d.PermitPrinting);
    s.PermitChanging = r.boolean(n::PermitChanging, d.PermitChanging);
    s.PermitCopying = r.boolean(n::PermitCopying, d.PermitCopying);
    return s;
}

QStringList BuiltInLabelPatterns(bool keyFrames)
{
    QStringList patterns{QStringLiteral("Frame <N>"), QStringLiteral("<S> Frame <NS>"),
                         QStringLiteral("<ST> Frame <L>"), QStringLiteral("<L>"), QStringLiteral("<F> Frame <N>")};
    if (keyFrames)
        for (QString &pattern : patterns)
            pattern += QStringLiteral(" *");
    return patterns;
}

bool IsGeneralLayoutError(TSheetSetting setting, const TSheetSettings &settings, bool movieKnown)
{
    switch (setting) {
    case TSheetSetting::PageSize:
    case TSheetSetting::PageWidth:
    case TSheetSetting::PageHeight:
    case TSheetSetting::Orientation:
    case TSheetSetting::LeftMargin:
    case TSheetSetting::RightMargin:
    case TSheetSetting::TopMargin:
    case TSheetSetting::BottomMargin:
    case TSheetSetting::ImageSpace:
    case TSheetSetting::TextSpace:
    case TSheetSetting::NonKeyFrameLabel:
    case TSheetSetting::EditNonKeyFrameLabel:
    case TSheetSetting::KeyFrameLabel:
    case TSheetSetting::EditKeyFrameLabel:
    case TSheetSetting::LabelFont:
    case TSheetSetting::Columns:
    case TSheetSetting::Rows:
        return !movieKnown;
    case TSheetSetting::LabelFrames:
        return !movieKnown || !settings.LabelFrames;
    case TSheetSetting::SetFramesPerPage:
        return !movieKnown || !settings.SetFramesPerPage;
    default:
        return true;
    }
}

QString LayoutErrorMessage(TSheetSetting setting, const TSheetSettings &settings, bool movieKnown)
{
    if (IsGeneralLayoutError(setting, settings, movieKnown))
        return generalMessage;
    switch (setting) {
    case TSheetSetting::PageSize:
        return QStringLiteral("The dimensions of the page are too small.\nSet a page size with larger dimensions.");
    case TSheetSetting::PageWidth:
        return QStringLiteral("The page width is too small.\nSet larger page width.");
    case TSheetSetting::PageHeight:
        return QStringLiteral("The page height is too small.\nSet larger page height.");
    case TSheetSetting::Orientation:
        return QStringLiteral("The dimensions of the page are too small.\nSet different page orientation.");
    case TSheetSetting::LeftMargin:
        return QStringLiteral("The left page margin is too large.\nSet smaller left page margin.");
    case TSheetSetting::RightMargin:
        return QStringLiteral("The right page margin is too large.\nSet smaller right page margin.");
    case TSheetSetting::TopMargin:
        return QStringLiteral("The top page margin is too large.\nSet smaller top page margin.");
    case TSheetSetting::BottomMargin:
        return QStringLiteral("The bottom page margin is too large.\nSet smaller bottom page margin.");
    case TSheetSetting::ImageSpace:
        return QStringLiteral("The space around images is too large.\nSet smaller space around images.");
    case TSheetSetting::TextSpace:
        return QStringLiteral("The space around image labels is too large.\nSet smaller space around image labels.");
    case TSheetSetting::LabelFrames:
        return QStringLiteral("The font of the frame labels is too large or the frame labels are too long.\n"
                              "Set smaller font of the frame labels or shorter frame labels.");
    case TSheetSetting::NonKeyFrameLabel:
        return QStringLiteral("The label of the non-key frames is too long or the font of the frame labels is too "
                              "large.\nSet shorter label of the non-key frames or smaller font of the frame labels.");
    case TSheetSetting::EditNonKeyFrameLabel:
        return QStringLiteral("The label of the non-key frames is too long.\n"
                              "Set shorter label of the non-key frames or press the Cancel button.");
    case TSheetSetting::KeyFrameLabel:
        return QStringLiteral("The label of the key frames is too long or the font of the frame labels is too "
                              "large.\nSet shorter label of the key frames or smaller font of the frame labels.");
    case TSheetSetting::EditKeyFrameLabel:
        return QStringLiteral("The label of key frames is too long.\n"
                              "Set shorter label of the key frames or press the Cancel button.");
    case TSheetSetting::LabelFont:
        return QStringLiteral("The font of the frame labels is too large.\n"
                              "Set smaller font of the frame labels or press the Cancel button.");
    case TSheetSetting::SetFramesPerPage:
        return QStringLiteral("Too many frames per page.\nSet less columns or rows per page.");
    case TSheetSetting::Columns:
        return QStringLiteral("Too many columns per page.\nSet less columns per page.");
    case TSheetSetting::Rows:
        return QStringLiteral("Too many rows per page.\nSet less rows per page.");
    default:
        return generalMessage;
    }
}
