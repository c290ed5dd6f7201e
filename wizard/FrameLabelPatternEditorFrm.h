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

    // The list row whose flag text equals text (case-insensitive), or -1.
    int FlagIndex(QStringView text) const;

    Ui::TFrameLabelPatternEditorForm ui;

public slots:
    void rchedtPatternChange();
    void lstvwFlagsSelectItem();
    void bitbtnInsertClick();
    void bitbtnDeleteClick();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FindCaretContext();
    void FindCurFlag();
    void SetButtons(bool fromList);
    int SelectedRow() const;

    bool m_cleaning = false;
    // The flag around the caret: its list row (-1 for none) and the
    // positions of its "<" and ">".
    int m_curFlag = -1;
    int m_flagStart = -1;
    int m_flagEnd = -1;
};
