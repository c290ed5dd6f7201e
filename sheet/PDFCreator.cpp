#include "sheet/PDFCreator.h"

bool TPDFCreator::CalculateLayout(QWidget *cause)
{
    m_layoutValid = false;
    if (!m_failingControl)
        m_failingControl = cause;
    ReportLayoutError();
    return false;
}

void TPDFCreator::ReportLayoutError()
{
    // The messages per control come with the layout engine.
}

bool TPDFCreator::CreatePDF()
{
    if (!m_layoutValid) {
        ReportLayoutError();
        return false;
    }
    return false;
}
