#pragma once
#include "wizard/BaseWizardInfoFrm.h"

#include "ui_Step7Frm.h"

// The completion step.
class TStep7Form : public TBazeWizardInfoForm {
    Q_OBJECT
public:
    explicit TStep7Form(QWidget *parent = nullptr);

private:
    Ui::TStep7Form step;
};
