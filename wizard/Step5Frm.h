#pragma once
#include "wizard/BaseWizardFrm.h"

#include "ui_Step5Frm.h"

class QKeyEvent;
class TFontDialog;

// The layout step: picture resolution and quality, image labels and their
// font, images per page, with the page preview beside them.
class TStep5Form : public TBaseWizardForm {
    Q_OBJECT
public:
    explicit TStep5Form(QWidget *parent = nullptr);

    Ui::TStep5Form step;
    TFontDialog *fntdlgImageLabelsFont = nullptr;

public slots:
    void FormShow();
    // Recomputes the estimate of the PDF file's size.
    void PDFFileSizeChange();
    void PageMetricsChange();
    void chbxLabelFramesClick();
    void chbxSetFramesPerPageClick();
    void FrameLabelChange();
    void bitbtnEditFrameLabelClick();
    void bitbtnImageLabelsFontClick();

protected:
    // The form sees keys before its controls; true when it used the key.
    bool FormKeyDown(QKeyEvent *event);
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
};
