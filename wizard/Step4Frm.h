#pragma once
// The page setup step: page size, orientation, margins, spacing and centring.
// It computes nothing itself; every change asks the page preview to refresh
// with the changed control as the cause.
#include "sheet/SheetSettings.h"
#include "wizard/WizardSheet.h"
#include "wizard/BaseWizardFrm.h"

#include "ui_Step4Frm.h"

#include <functional>
#include <span>

class TStep4Form : public TBaseWizardForm {
    Q_OBJECT
public:
    // Orientations as rgOrientation lists them; its Tag keeps the last
    // explicit one (portrait or landscape).
    enum { opPortrait = 0, opLandscape = 1, opAuto = 2 };

    explicit TStep4Form(QWidget *parent = nullptr);

    Ui::TStep4Form step;

    // Refreshes the page preview (and so the layout) with the control whose
    // change asked for it; tests may bind their own.
    std::function<void(QWidget *cause)> OnPageMetricsChange = [](QWidget *cause) { RefreshPagePreview(cause); };

public slots:
    void cmbxPageSizeChange();
    void rgOrientationClick();
    void PageMetricsChange(QWidget *cause);
    void FormShow();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void RefreshPreviewFor(QWidget *cause);

    // While above 0 the spin edits' and the check box's changes are not
    // handled: values set together cause one refresh only.
    int m_metricsDetached = 0;
};
