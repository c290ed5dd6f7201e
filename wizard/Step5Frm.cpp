#include "wizard/Step5Frm.h"

#include "core/Global.h"
#include "sheet/PagePreviewFrm.h"
#include "wizard/FontDialog.h"
#include "wizard/FrameLabelPatternEditorFrm.h"
#include "wizard/WizardForms.h"
#include "wizard/WizardSheet.h"

#include "sheet/PDFCreator.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScopeGuard>
#include <QLineEdit>

namespace {
bool altOnly(const QKeyEvent *event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier;
}
} // namespace

TStep5Form::TStep5Form(QWidget *parent) : TBaseWizardForm(parent)
{
    auto *content = new QWidget;
    step.setupUi(content);
    SetStepContent(content, QStringLiteral("Layout Setup"),
                   QStringLiteral("Set image quality, image labels and images per page."));
    fntdlgImageLabelsFont = new TFontDialog(this);
    fntdlgImageLabelsFont->setObjectName(QStringLiteral("fntdlgImageLabelsFont"));
    FormCreate();
}

void TStep5Form::FormCreate()
{
    TBaseWizardForm::FormCreate();
    // Pictures captured from the player are never finer than 150 dpi.
    const TSheetSettings defaults;
    for (const int dpi : ImageResolutions(IsSWFMode))
        step.cmbxImageResolution->addItem(QString::number(dpi));
    step.cmbxImageResolution->setCurrentText(QString::number(defaults.Resolution));
    for (const int quality : ImageQualities())
        step.cmbxImageQuality->addItem(QString::number(quality));
    step.cmbxImageQuality->setCurrentText(QString::number(defaults.Quality));
    step.cmbxNonKeyFrameLabel->addItems(BuiltInLabelPatterns(false));
    step.cmbxKeyFrameLabel->addItems(BuiltInLabelPatterns(true));
    if (IsSWFMode) {
        step.lblKeyFrameLabel->hide();
        step.cmbxKeyFrameLabel->hide();
        step.bitbtnEditKeyFrameLabel->hide();
    }

    connect(step.cmbxImageResolution, &QComboBox::activated, this, &TStep5Form::PDFFileSizeChange);
    connect(step.cmbxImageQuality, &QComboBox::activated, this, &TStep5Form::PDFFileSizeChange);
    connect(step.chbxEmbedFontSubset, &QCheckBox::toggled, this, &TStep5Form::PDFFileSizeChange);
    connect(step.spedtColumnsPerPage, &QSpinBox::valueChanged, this, &TStep5Form::PageMetricsChange);
    connect(step.spedtRowsPerPage, &QSpinBox::valueChanged, this, &TStep5Form::PageMetricsChange);
    connect(step.chbxLabelFrames, &QCheckBox::toggled, this, &TStep5Form::chbxLabelFramesClick);
    connect(step.chbxSetFramesPerPage, &QCheckBox::toggled, this, &TStep5Form::chbxSetFramesPerPageClick);
    for (QComboBox *pattern : {step.cmbxNonKeyFrameLabel, step.cmbxKeyFrameLabel}) {
        connect(pattern, &QComboBox::activated, this, &TStep5Form::FrameLabelChange);
        // A typed pattern counts once the user leaves it or presses Enter.
        QLineEdit *edit = pattern->lineEdit();
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
            if (!edit->isModified())
                return;
            edit->setModified(false);
            FrameLabelChange();
        });
    }
    connect(step.bitbtnEditNonKeyFrameLabel, &QToolButton::clicked, this, &TStep5Form::bitbtnEditFrameLabelClick);
    connect(step.bitbtnEditKeyFrameLabel, &QToolButton::clicked, this, &TStep5Form::bitbtnEditFrameLabelClick);
    connect(step.bitbtnImageLabelsFont, &QPushButton::clicked, this, &TStep5Form::bitbtnImageLabelsFontClick);

    SetChildControlsEnabled(step.grbxLabelFrames, step.chbxLabelFrames->isChecked());
    SetChildControlsEnabled(step.grbxFramesPerPage, step.chbxSetFramesPerPage->isChecked());

    for (QWidget *w : findChildren<QWidget *>())
        if (w->window() == this)
            w->installEventFilter(this);
}

void TStep5Form::showEvent(QShowEvent *event)
{
    TBaseWizardForm::showEvent(event);
    FormShow();
}

void TStep5Form::FormShow()
{
    PlacePagePreview(step.pnlPagePreview);
}

void TStep5Form::PDFFileSizeChange()
{
    if (sender() && !isVisible())
        return;
    if (!PDFCreator || !FrameSelection || FrameSelection->FrameCount() == 0)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    const double bytes = PDFCreator->EstimateFileSize();
    step.lblPDFFileSize->setText(QString::asprintf("%.0f KB", bytes / 1024));
}

void TStep5Form::PageMetricsChange()
{
    RefreshPagePreview(qobject_cast<QWidget *>(sender()));
}

void TStep5Form::chbxLabelFramesClick()
{
    SetChildControlsEnabled(step.grbxLabelFrames, step.chbxLabelFrames->isChecked());
    if (isVisible() && FrameSelection)
        FrameSelection->UpdateFrameLabels();
    RefreshPagePreview(step.chbxLabelFrames);
    if (step.chbxEmbedFontSubset->isChecked())
        PDFFileSizeChange();
}

void TStep5Form::chbxSetFramesPerPageClick()
{
    SetChildControlsEnabled(step.grbxFramesPerPage, step.chbxSetFramesPerPage->isChecked());
    RefreshPagePreview(step.chbxSetFramesPerPage);
}

void TStep5Form::FrameLabelChange()
{
    QObject *from = sender();
    auto *combo = qobject_cast<QComboBox *>(from);
    if (!combo && from)
        combo = qobject_cast<QComboBox *>(from->parent()); // the combo's own edit
    if (!combo)
        return;
    AddToHistory(combo, combo->currentText());
    if (FrameSelection)
        FrameSelection->ExpandFrameLabels();
    RefreshPagePreview(combo);
}

void TStep5Form::bitbtnEditFrameLabelClick()
{
    const bool keyPattern = sender() == step.bitbtnEditKeyFrameLabel;
    QComboBox *combo = keyPattern ? step.cmbxKeyFrameLabel : step.cmbxNonKeyFrameLabel;
    QWidget *button = keyPattern ? step.bitbtnEditKeyFrameLabel : step.bitbtnEditNonKeyFrameLabel;
    if (TFrameLabelPatternEditorForm *editor = Forms.patternEditor) {
        editor->SetPatternText(combo->currentText());
        if (editor->Execute(keyPattern) == QDialog::Accepted && editor->PatternText() != combo->currentText()) {
            AddToHistory(combo, editor->PatternText());
            if (FrameSelection)
                FrameSelection->ExpandFrameLabels();
        }
    }
    RefreshPagePreview(button);
}

void TStep5Form::bitbtnImageLabelsFontClick()
{
    if (!fntdlgImageLabelsFont->Execute(this))
        return;
    PDFFileSizeChange();
    if (FrameSelection)
        FrameSelection->MeasureFrameLabels();
    RefreshPagePreview(step.bitbtnImageLabelsFont);
}

bool TStep5Form::FormKeyDown(QKeyEvent *event)
{
    if (!altOnly(event))
        return false;
    QCheckBox *box = nullptr;
    if (event->key() == Qt::Key_L)
        box = step.chbxLabelFrames;
    else if (event->key() == Qt::Key_M)
        box = step.chbxSetFramesPerPage;
    if (!box)
        return false;
    if (event->type() == QEvent::KeyPress) {
        box->setFocus(Qt::ShortcutFocusReason);
        box->toggle();
    }
    event->accept();
    return true;
}

void TStep5Form::keyPressEvent(QKeyEvent *event)
{
    if (!FormKeyDown(event))
        TBaseWizardForm::keyPressEvent(event);
}

bool TStep5Form::event(QEvent *event)
{
    // Claiming the key here keeps the group captions' own mnemonics (and
    // "Colu&mns") from taking Alt+L and Alt+M first.
    if (event->type() == QEvent::ShortcutOverride && FormKeyDown(static_cast<QKeyEvent *>(event)))
        return true;
    return TBaseWizardForm::event(event);
}

bool TStep5Form::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)
        if (FormKeyDown(static_cast<QKeyEvent *>(event)))
            return true;
    return TBaseWizardForm::eventFilter(watched, event);
}
