#pragma once
// The frame of the welcome and completion steps: one tall white panel with a
// picture on the left instead of a header.
#include "wizard/BaseWizardFrm.h"

#include "ui_BaseWizardInfoFrm.h"

class TBazeWizardInfoForm : public TBaseWizardForm {
    Q_OBJECT
public:
    explicit TBazeWizardInfoForm(QWidget *parent = nullptr);

    QLabel *Image1() const { return info.Image1; }
    QLabel *Label1() const { return info.Label1; }

protected:
    // Lays the step's own controls (positioned in panel coordinates) over
    // the panel and reads the step number.
    void SetInfoContent(QWidget *content, const QString &title, const QString &description,
                        const QString &label1);
    // The panel's width follows the window.
    void SetInfoWidth(int width);

    Ui::TBazeWizardInfoForm info;
    QWidget *m_infoLayer = nullptr;
};
