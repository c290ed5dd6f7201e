#include "wizard/Step6Frm.h"

#include "core/Global.h"
#include "sheet/PDFCreator.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

TStep6Form::TStep6Form(QWidget *parent) : TBaseWizardForm(parent)
{
    auto *content = new QWidget;
    step.setupUi(content);
    SetStepContent(content, QStringLiteral("PDF File Setup"),
                   QStringLiteral("Set PDF file name, information and security"));
    FormCreate();
}

void TStep6Form::FormCreate()
{
    TBaseWizardForm::FormCreate();

    for (QWidget *w : findChildren<QWidget *>())
        if (w->window() == this)
            w->installEventFilter(this);

    // One dialog serves both browse buttons; created after the key filters
    // so that its own controls keep their keys.
    svdlgSavePDFFile = new QFileDialog(this);
    svdlgSavePDFFile->setObjectName(QStringLiteral("svdlgSavePDFFile"));
    svdlgSavePDFFile->setAcceptMode(QFileDialog::AcceptSave);
    svdlgSavePDFFile->setFileMode(QFileDialog::AnyFile);
    svdlgSavePDFFile->setDefaultSuffix(QStringLiteral("pdf"));
    svdlgSavePDFFile->setNameFilter(QStringLiteral("Adobe PDF Files (*.pdf)"));

    connect(step.bitbtnPDFFileBrowse, &QToolButton::clicked, this, &TStep6Form::bitbtnPDFFileBrowseClick);
    connect(step.bitbtnInputFileBrowse, &QToolButton::clicked, this, &TStep6Form::bitbtnPDFFileBrowseClick);
    connect(step.chbxShowPassword, &QCheckBox::toggled, this, &TStep6Form::chbxShowPasswordClick);
    connect(step.chbxSecurity, &QCheckBox::toggled, this, &TStep6Form::chbxSecurityClick);
    connect(step.cmbxInputFile, &QComboBox::activated, this,
            [this] { AppendCurrentEntryToHistoryComboBox(step.cmbxInputFile); });

    chbxSecurityClick();
    chbxShowPasswordClick();
}

void TStep6Form::SetPdfFileName(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    step.edtPDFDirectory->setText(path.left(slash + 1));
    step.edtPDFFile->setText(path.mid(slash + 1));
}

QString TStep6Form::GetPdfFileName() const
{
    return ChangeFileExt(step.edtPDFDirectory->text() + step.edtPDFFile->text(), QStringLiteral(".pdf"));
}

void TStep6Form::bitbtnNextClick()
{
    if (PDFCreator && PDFCreator->CreatePDF())
        TBaseWizardForm::bitbtnNextClick();
}

void TStep6Form::bitbtnPDFFileBrowseClick()
{
    const bool frontFile = sender() == step.bitbtnInputFileBrowse;
    QFileDialog *dialog = svdlgSavePDFFile;
    const QString preset = frontFile ? step.cmbxInputFile->currentText() : GetPdfFileName();
    dialog->setWindowTitle(frontFile ? QStringLiteral("Select front PDF file") : QStringLiteral("Save PDF file as"));
    // The front file is only read, so choosing an existing one asks nothing.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, frontFile);
    const int slash = preset.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        dialog->setDirectory(preset.left(slash + 1));
    dialog->selectFile(preset.mid(slash + 1));
    if (dialog->exec() != QDialog::Accepted)
        return;
    QString chosen = dialog->selectedFiles().value(0);
    if (chosen.isEmpty())
        return;
    // Not every file dialog applies the default suffix to a bare name.
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QLatin1Char('.') + dialog->defaultSuffix();
    if (frontFile)
        AddToHistory(step.cmbxInputFile, chosen);
    else
        SetPdfFileName(chosen);
}

void TStep6Form::chbxShowPasswordClick()
{
    const bool show = step.chbxShowPassword->isChecked();
    step.lblPassword2->setVisible(!show);
    step.medtPassword2->setVisible(!show);
    step.medtPassword1->setEchoMode(show ? QLineEdit::Normal : QLineEdit::Password);
}

void TStep6Form::chbxSecurityClick()
{
    SetChildControlsEnabled(step.grbxSecurity, step.chbxSecurity->isChecked());
}

bool TStep6Form::FormKeyDown(QKeyEvent *event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::AltModifier || event->key() != Qt::Key_S)
        return false;
    if (event->type() == QEvent::KeyPress) {
        step.chbxSecurity->setFocus(Qt::ShortcutFocusReason);
        step.chbxSecurity->toggle();
    }
    event->accept();
    return true;
}

void TStep6Form::keyPressEvent(QKeyEvent *event)
{
    if (!FormKeyDown(event))
        TBaseWizardForm::keyPressEvent(event);
}

bool TStep6Form::event(QEvent *event)
{
    // Claimed before the mnemonic of the security group's caption, which
    // would only move the focus into the group.
    if (event->type() == QEvent::ShortcutOverride && FormKeyDown(static_cast<QKeyEvent *>(event)))
        return true;
    return TBaseWizardForm::event(event);
}

bool TStep6Form::HistoryEvent(QComboBox *combo, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusOut:
        // Opening the list takes the focus too; the drop-down below counts.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            return true;
        return false;
    case QEvent::MouseButtonPress:
        return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    case QEvent::KeyPress: {
        // The keys with which a combo box drops its list down.
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_F4 && mods == Qt::NoModifier)
            return true;
        return (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) && mods == Qt::AltModifier
            && combo->isEnabled();
    }
    default:
        return false;
    }
}

bool TStep6Form::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)
        if (FormKeyDown(static_cast<QKeyEvent *>(event)))
            return true;
    for (QComboBox *combo : {step.cmbxFileTitle, step.cmbxFileAuthor, step.cmbxFileSubject, step.cmbxFileKeywords})
        if (watched == combo && HistoryEvent(combo, event))
            AppendCurrentEntryToHistoryComboBox(combo);
    return TBaseWizardForm::eventFilter(watched, event);
}
