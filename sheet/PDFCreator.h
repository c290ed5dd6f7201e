#pragma once
// The single layout engine and PDF writer.
#include "core/Global.h"
#include "sheet/LayoutSource.h"

#include <QSize>
#include <QVector>
#include <memory>

class QImage;
class QWidget;
class TWPCustomPDFExport;
class TPictureRecoders;

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

    void SetControls(const TLayoutControls &controls) { m_controls = controls; }
    const TLayoutControls &Controls() const { return m_controls; }

    // True after the last layout succeeded.
    bool LayoutValid() const { return m_layoutValid; }
    int PageCount() const { return m_pageCount; }

    // Computes the page grid from the steps' controls; cause is the control
    // whose change asked for it (may be null). On failure the user is told
    // which setting to change.
    bool CalculateLayout(QWidget *cause);
    // Shows the message of the control that broke the layout; nothing when
    // none is recorded.
    void ReportLayoutError();
    // Writes the contact sheet from the steps' settings; true only when
    // every page was written and the user did not cancel. A run that does
    // not finish leaves no new file behind (and any earlier file as it was).
    bool CreatePDF();
    // Draws page (from 1) of the last layout: with preview, a picture of the
    // whole page scaled into it; otherwise onto pdf's current page. Throws
    // std::runtime_error (text for the user) when a picture cannot be used.
    void DrawPage(int page, QImage *preview, TWPCustomPDFExport *pdf);

    // The expected size in bytes of the PDF for the current selection,
    // settings and page count, from re-encoding the first frame's picture.
    double EstimateFileSize();

    // The file CreatePDF writes: the output step's folder and name, with
    // the extension ".pdf".
    QString OutputFileName() const;
    // The chosen picture resolution (dpi) and JPEG quality.
    int Resolution() const;
    int Quality() const;
    // A frame's picture file resampled to size and encoded at quality.
    // Throws std::runtime_error when the file cannot be read.
    static QByteArray ReencodePicture(const QString &path, QSize size, int quality);

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
    bool m_layoutValid = false;
    int m_pageCount = 0;
    TFrameSelection *m_selection;
    QWidget *m_failingControl = nullptr;
    int m_pageWidth = 0;
    int m_pageHeight = 0;
    TBoxGrid m_pictureBoxes;
    TBoxGrid m_labelBoxes;
    TLayoutControls m_controls;
    // SWF mode, during a run: the pictures at their size and quality in the PDF.
    std::unique_ptr<TPictureRecoders> m_capture;
};
