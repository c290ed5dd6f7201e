#pragma once
// The single layout engine and PDF writer. Both take the sheet settings as
// values and the pictures from a source; the host (the wizard, or a tool)
// is asked only to show what must change and the progress.
#include "core/Global.h"
#include "sheet/SheetSettings.h"

#include <QSize>
#include <QVector>

class QImage;
class TPictureSource;
class TSheetHost;
class TWPCustomPDFExport;

// A cell's box in points, origin top left, y downwards.
struct TBox {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TBox &) const = default;
};
// [column][row]
using TBoxGrid = QVector<QVector<TBox>>;

class TPDFCreator {
public:
    explicit TPDFCreator(TFrameSelection *selection);
    ~TPDFCreator();

    // The program around the engine; may be null (messages then go to
    // ShowErrorMessage, and the routines without settings do nothing).
    void SetHost(TSheetHost *host) { m_host = host; }
    TSheetHost *Host() const { return m_host; }

    // True after the last layout succeeded.
    bool LayoutValid() const { return m_layoutValid; }
    int PageCount() const { return m_pageCount; }

    // Computes the page grid of the selection (and the movie frame size of
    // the shared model) from the settings; cause is the setting whose
    // change asked for it. On failure the user is told which setting to
    // change.
    bool CalculateLayout(const TSheetSettings &settings, TSheetSetting cause);
    // Shows the message of the setting that broke the layout; nothing when
    // none is recorded.
    void ReportLayoutError(const TSheetSettings &settings);
    // The setting recorded as having broken the layout (None after success).
    TSheetSetting FailingSetting() const { return m_failingSetting; }
    // Writes the contact sheet; true only when every page was written and
    // the user did not cancel. A run that does not finish leaves no new file
    // behind (and any earlier file as it was).
    bool CreatePDF(const TSheetSettings &settings, TPictureSource &pictures);
    // Draws page (from 1) of the last layout: with preview, a picture of the
    // whole page scaled into it; otherwise onto pdf's current page, inside
    // a run of pictures. Throws std::runtime_error (text for the user) when a
    // picture cannot be used.
    void DrawPage(const TSheetSettings &settings, int page, QImage *preview, TWPCustomPDFExport *pdf,
                  TPictureSource &pictures);
    // The expected size in bytes of the PDF for the current selection,
    // settings and page count, from re-encoding the first frame's picture.
    double EstimateFileSize(const TSheetSettings &settings, TPictureSource &pictures);

    // The same with the host's settings and pictures.
    bool CalculateLayout(TSheetSetting cause);
    bool CreatePDF();
    double EstimateFileSize();

    int PageWidth() const { return m_pageWidth; }     // points
    int PageHeight() const { return m_pageHeight; }   // points
    int Columns() const { return m_pictureBoxes.size(); }
    int Rows() const { return m_pictureBoxes.isEmpty() ? 0 : m_pictureBoxes.first().size(); }
    const TBoxGrid &PictureBoxes() const { return m_pictureBoxes; }
    // Empty while labels are off.
    const TBoxGrid &LabelBoxes() const { return m_labelBoxes; }

    // Whole millimetres to whole points, halves away from zero; -1 when the
    // result does not fit an int, which the layout then refuses.
    static int64_t MmToPoints(int64_t mm);

private:
    void Report(TSheetSetting setting, const QString &message);

    bool m_layoutValid = false;
    int m_pageCount = 0;
    TFrameSelection *m_selection;
    TSheetHost *m_host = nullptr;
    TSheetSetting m_failingSetting = TSheetSetting::None;
    int m_pageWidth = 0;
    int m_pageHeight = 0;
    TBoxGrid m_pictureBoxes;
    TBoxGrid m_labelBoxes;
};
