#include "wizard/FrameLabelPatternEditorFrm.h"

#include "wizard/BaseWizardFrm.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <QTextCursor>

TFrameLabelPatternEditorForm::TFrameLabelPatternEditorForm(QWidget *parent) : QDialog(parent)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui.lstvwFlags->setColumnWidth(0, 50);
    ui.lstvwFlags->setColumnWidth(1, 170);
    ui.lstvwFlags->setColumnWidth(2, 60);
    // Insert and Delete follow the caret and the list's selection.
    ui.bitbtnInsert->setEnabled(false);
    ui.bitbtnDelete->setEnabled(false);
    ui.rchedtPattern->document()->setDocumentMargin(2); // one line fits the edit
    ui.rchedtPattern->installEventFilter(this);
    connect(ui.rchedtPattern, &QTextEdit::textChanged, this, &TFrameLabelPatternEditorForm::rchedtPatternChange);
    connect(ui.bitbtnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui.bitbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    rchedtPatternChange();
}

void TFrameLabelPatternEditorForm::SetPatternText(const QString &text)
{
    ui.rchedtPattern->setPlainText(text);
}

QString TFrameLabelPatternEditorForm::PatternText() const
{
    return ui.rchedtPattern->toPlainText();
}

int TFrameLabelPatternEditorForm::Execute(bool keyPattern)
{
    ui.lblPatternDescrption->setText(keyPattern ? QStringLiteral("Pattern of &key frame labels")
                                                : QStringLiteral("Pattern of non-ke&y frame labels"));
    ui.rchedtPattern->setToolTip(keyPattern ? QStringLiteral("Edit pattern of key frame labels")
                                            : QStringLiteral("Edit pattern of non-key frame labels"));
    if (QWidget *main = StepForms.value(0))
        move(main->frameGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    return exec();
}

void TFrameLabelPatternEditorForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui.rchedtPattern->setFocus(Qt::OtherFocusReason);
    QTextCursor caret = ui.rchedtPattern->textCursor();
    caret.movePosition(QTextCursor::Start);
    ui.rchedtPattern->setTextCursor(caret);
}

void TFrameLabelPatternEditorForm::rchedtPatternChange()
{
    if (m_cleaning)
        return;
    // A pattern is one line: line breaks that came in by pasting are dropped.
    const QString text = PatternText();
    if (text.contains(QLatin1Char('\n'))) {
        m_cleaning = true;
        const int at = ui.rchedtPattern->textCursor().position();
        const int before = text.left(at).count(QLatin1Char('\n'));
        QString line = text;
        line.remove(QLatin1Char('\n'));
        ui.rchedtPattern->setPlainText(line);
        QTextCursor caret = ui.rchedtPattern->textCursor();
        caret.setPosition(qMin(at - before, int(line.size())));
        ui.rchedtPattern->setTextCursor(caret);
        m_cleaning = false;
    }
    ui.bitbtnOK->setEnabled(!PatternText().isEmpty());
}

bool TFrameLabelPatternEditorForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.rchedtPattern && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter alone confirms like in a one-line edit; a line feed
            // (Ctrl+Enter, Shift+Enter) is dropped.
            if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && ui.bitbtnOK->isEnabled())
                ui.bitbtnOK->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
