#pragma once
// Progress of long work done on the user-interface thread, with a Cancel.
#include <QDialog>
#include <QPointer>

#include "ui_ProgressFrm.h"

class TProgressForm : public QDialog {
    Q_OBJECT
public:
    explicit TProgressForm(QWidget *parent = nullptr);

    // Moves the bar, then lets every pending event run (repaints, Cancel).
    void SetProgress(int percent);

    // False while the window shows; true once it was closed for any reason.
    bool Cancelled = false;

    Ui::TProgressForm ui;

public slots:
    void FormShow();
    void FormClose();
    void bitbtnCancelClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    QPointer<QWidget> m_disabledForm;
    QPoint m_fixedPos;
    bool m_pinned = false;
};
