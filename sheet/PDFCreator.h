#pragma once
// The single layout engine and PDF writer.
#include "core/Global.h"
#include "sheet/LayoutSource.h"

#include <QVector>

class QWidget;

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
    explicit TPDFCreator(TFrameSelection *selection) : m_selection(selection) {}

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
    // Writes the contact sheet; true only when every page was written.
    bool CreatePDF();

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
};
