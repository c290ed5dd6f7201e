#pragma once
// The single layout engine and PDF writer.
#include "core/Global.h"

class QWidget;

class TPDFCreator {
public:
    explicit TPDFCreator(TFrameSelection *selection) : m_selection(selection) {}

    // True after the last layout succeeded. The layout engine is not built
    // yet, so no layout is ever valid and the page settings stay as stored.
    bool LayoutValid() const { return m_layoutValid; }
    int PageCount() const { return m_pageCount; }

    // Computes the page grid from the steps' controls; cause is the control
    // whose change asked for it (may be null).
    bool CalculateLayout(QWidget *cause);
    // Shows the message of the control that broke the layout; nothing when
    // none is recorded.
    void ReportLayoutError();
    // Writes the contact sheet; true only when every page was written.
    bool CreatePDF();

private:
    bool m_layoutValid = false;
    int m_pageCount = 0;
    TFrameSelection *m_selection;
    QWidget *m_failingControl = nullptr;
};
