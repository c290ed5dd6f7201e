#pragma once
// Edits one label pattern as a single line, with the flags to insert listed
// beside it.
#include <QDialog>

#include "ui_FrameLabelPatternEditorFrm.h"

class TFrameLabelPatternEditorForm : public QDialog {
    Q_OBJECT
public:
    explicit TFrameLabelPatternEditorForm(QWidget *parent = nullptr);

    void SetPatternText(const QString &text);
    QString PatternText() const;
    // Shows the dialog modally for the key or the non-key pattern; returns
    // the modal result.
    int Execute(bool keyPattern);

    Ui::TFrameLabelPatternEditorForm ui;

public slots:
    void rchedtPatternChange();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_cleaning = false;
};
