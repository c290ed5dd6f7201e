#pragma once
// The settings controls of the page setup, layout and output steps built
// without the wizard, holding the wizard's defaults: for programs that
// write sheets without showing the steps.
#include "sheet/LayoutSource.h"

#include <QFont>
#include <QWidget>

class TSheetControlSet {
public:
    TSheetControlSet();
    TSheetControlSet(const TSheetControlSet &) = delete;
    TSheetControlSet &operator=(const TSheetControlSet &) = delete;

    // Chooses the item whose text is value; false when there is none.
    static bool ChooseItem(QComboBox *combo, const QString &value);

    // The parents standing for the three steps.
    QWidget &PageStep() { return m_pageStep; }
    QWidget &LayoutStep() { return m_layoutStep; }
    QWidget &OutputStep() { return m_outputStep; }

    TLayoutControls controls; // points into the widgets below
    QFont labelFont;
    uint32_t labelColor = 0;  // 0x00BBGGRR

private:
    QWidget m_pageStep, m_layoutStep, m_outputStep;
};
