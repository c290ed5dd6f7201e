#pragma once
#include "wizard/BaseWizardFrm.h"

#include "ui_Step6Frm.h"

class QFileDialog;
class QKeyEvent;

// The output step: PDF file name, front file, document information and
// security. Its Next writes the PDF file.
class TStep6Form : public TBaseWizardForm {
    Q_OBJECT
public:
    explicit TStep6Form(QWidget *parent = nullptr);

    // Splits a full path into edtPDFDirectory (with its trailing "/") and
    // edtPDFFile.
    void SetPdfFileName(const QString &path);
    // Directory and file name, always with the extension ".pdf".
    QString GetPdfFileName() const;

    Ui::TStep6Form step;
    QFileDialog *svdlgSavePDFFile = nullptr;

public slots:
    void bitbtnNextClick() override;
    void bitbtnPDFFileBrowseClick();
    void chbxShowPasswordClick();
    void chbxSecurityClick();

protected:
    // The form sees keys before its controls; true when it used the key.
    bool FormKeyDown(QKeyEvent *event);
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    bool HistoryEvent(QComboBox *combo, QEvent *event);
};
