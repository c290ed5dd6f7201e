#include "wizard/ProgressFrm.h"

#include "wizard/BaseWizardFrm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHideEvent>
#include <QScreen>

TProgressForm::TProgressForm(QWidget *parent) : QDialog(parent)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(300, 68);
    connect(ui.bitbtnCancel, &QPushButton::clicked, this, &TProgressForm::bitbtnCancelClick);
}

void TProgressForm::SetProgress(int percent)
{
    ui.prbarProgressBar->setValue(percent);
    QCoreApplication::processEvents();
}

void TProgressForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TProgressForm::FormShow()
{
    // Centred on the main window; then held there.
    QRect around;
    if (QWidget *main = StepForms.value(0))
        around = main->frameGeometry();
    else if (QScreen *screen = QGuiApplication::primaryScreen())
        around = screen->availableGeometry();
    m_pinned = false;
    if (around.isValid())
        move(around.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    m_fixedPos = pos();
    m_pinned = true;

    Cancelled = false;
    ui.prbarProgressBar->setValue(0);
    QWidget *active = QApplication::activeWindow();
    if (!active || active == this)
        active = CurrentWizardStep();
    m_disabledForm = active != this ? active : nullptr;
    if (m_disabledForm)
        m_disabledForm->setEnabled(false);
    SetProgress(0);
}

void TProgressForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // Close, Esc (which only hides a dialog) and hide all end the work;
    // a minimised window does not.
    if (!event->spontaneous())
        FormClose();
}

void TProgressForm::FormClose()
{
    m_pinned = false;
    Cancelled = true;
    if (m_disabledForm)
        m_disabledForm->setEnabled(true);
    m_disabledForm = nullptr;
}

void TProgressForm::bitbtnCancelClick()
{
    close();
}

void TProgressForm::moveEvent(QMoveEvent *event)
{
    QDialog::moveEvent(event);
    // The title bar does not move this window: any move while it shows
    // is taken back.
    if (m_pinned && isVisible() && pos() != m_fixedPos)
        move(m_fixedPos);
}
