#include "wizard/WizardForms.h"

#include "core/Global.h"
#include "sheet/LabelPatterns.h"
#include "sheet/PDFCreator.h"
#include "sheet/PagePreviewFrm.h"
#include "sheet/SheetProgress.h"
#include "wizard/FontDialog.h"
#include "wizard/FrameLabelPatternEditorFrm.h"
#include "wizard/ImagePreviewFrm.h"
#include "wizard/ProgressFrm.h"
#include "wizard/Step1Frm.h"
#include "wizard/Step2Frm.h"
#include "wizard/Step3Frm.h"
#include "wizard/Step4Frm.h"
#include "wizard/Step5Frm.h"
#include "wizard/Step6Frm.h"
#include "wizard/Step7Frm.h"

TWizardForms Forms;

namespace {

// The writer's progress shown in the progress window.
class TProgressWindow : public TSheetProgress {
public:
    void Start(const QString &caption) override
    {
        if (!Forms.progress)
            return;
        Forms.progress->setWindowTitle(caption);
        Forms.progress->show();
    }
    void SetProgress(int percent) override
    {
        if (Forms.progress)
            Forms.progress->SetProgress(percent);
    }
    bool Cancelled() const override { return !Forms.progress || Forms.progress->Cancelled; }
    void Finish() override
    {
        if (Forms.progress)
            Forms.progress->close();
    }
};
TProgressWindow progressWindow;

} // namespace

TStep1Form *CreateMainForm(TAMInstanceManager::Services instanceServices)
{
    StepForms.clear();
    Forms = TWizardForms();
    Forms.step1 = new TStep1Form(std::move(instanceServices));
    return Forms.step1;
}

void CreateRemainingForms()
{
    if (IsSWFMode)
        Forms.step2 = new TStep2Form;
    Forms.step3 = new TStep3Form;
    Forms.step4 = new TStep4Form;
    Forms.step5 = new TStep5Form;
    Forms.step6 = new TStep6Form;
    Forms.step7 = new TStep7Form;
    Forms.progress = new TProgressForm;
    Forms.imagePreview = new TImagePreviewForm;
    Forms.pagePreview = new TPagePreviewForm;
    Forms.patternEditor = new TFrameLabelPatternEditorForm;

    // The layout engine and the label expansion read the steps' controls.
    const Ui::TStep4Form &page = Forms.step4->step;
    const Ui::TStep5Form &layout = Forms.step5->step;
    TLayoutControls controls;
    controls.cmbxPageSize = page.cmbxPageSize;
    controls.spedtPageWidth = page.spedtPageWidth;
    controls.spedtPageHeight = page.spedtPageHeight;
    controls.spedtPageLeftMargin = page.spedtPageLeftMargin;
    controls.spedtPageRightMargin = page.spedtPageRightMargin;
    controls.spedtPageTopMargin = page.spedtPageTopMargin;
    controls.spedtPageBottomMargin = page.spedtPageBottomMargin;
    controls.spedtImageSpace = page.spedtImageSpace;
    controls.spedtTextSpace = page.spedtTextSpace;
    controls.rgOrientation = page.rgOrientation;
    controls.chbxCenterPageContents = page.chbxCenterPageContents;
    controls.chbxLabelFrames = layout.chbxLabelFrames;
    controls.chbxSetFramesPerPage = layout.chbxSetFramesPerPage;
    controls.chbxEmbedFontSubset = layout.chbxEmbedFontSubset;
    controls.cmbxNonKeyFrameLabel = layout.cmbxNonKeyFrameLabel;
    controls.cmbxKeyFrameLabel = layout.cmbxKeyFrameLabel;
    controls.bitbtnEditNonKeyFrameLabel = layout.bitbtnEditNonKeyFrameLabel;
    controls.bitbtnEditKeyFrameLabel = layout.bitbtnEditKeyFrameLabel;
    controls.bitbtnImageLabelsFont = layout.bitbtnImageLabelsFont;
    controls.spedtColumnsPerPage = layout.spedtColumnsPerPage;
    controls.spedtRowsPerPage = layout.spedtRowsPerPage;
    controls.grbxLabelFrames = layout.grbxLabelFrames;
    controls.grbxFramesPerPage = layout.grbxFramesPerPage;
    controls.cmbxImageResolution = layout.cmbxImageResolution;
    controls.cmbxImageQuality = layout.cmbxImageQuality;
    const Ui::TStep6Form &output = Forms.step6->step;
    controls.edtPDFDirectory = output.edtPDFDirectory;
    controls.edtPDFFile = output.edtPDFFile;
    controls.medtPassword1 = output.medtPassword1;
    controls.medtPassword2 = output.medtPassword2;
    controls.cmbxInputFile = output.cmbxInputFile;
    controls.cmbxFileTitle = output.cmbxFileTitle;
    controls.cmbxFileAuthor = output.cmbxFileAuthor;
    controls.cmbxFileSubject = output.cmbxFileSubject;
    controls.cmbxFileKeywords = output.cmbxFileKeywords;
    controls.chbxSecurity = output.chbxSecurity;
    controls.chbxPermitPrinting = output.chbxPermitPrinting;
    controls.chbxPermitChanging = output.chbxPermitChanging;
    controls.chbxPermitCopying = output.chbxPermitCopying;
    controls.cmbxEncryption = output.cmbxEncryption;
    controls.chbxViewFile = output.chbxViewFile;
    TFontDialog *font = Forms.step5->fntdlgImageLabelsFont;
    controls.labelFont = [font] { return font->Font; };
    controls.labelColor = [font] { return uint32_t(font->Color); };
    controls.progress = &progressWindow;
    controls.showStepOf = [](QWidget *control) {
        auto *form = qobject_cast<TBaseWizardForm *>(control->window());
        if (StepForms.contains(form))
            ShowWizardStep(form);
    };
    if (PDFCreator)
        PDFCreator->SetControls(controls);
    TFrameSelection::SetLabelHooks(
        [controls](TFrameSelection &s) { UpdateFrameLabels(s, controls); },
        [controls](TFrameSelection &s) { ExpandFrameLabels(s, controls); },
        [controls](TFrameSelection &s) { MeasureFrameLabels(s, controls); });
}

void DestroyForms()
{
    // Nothing may read the controls once they are gone.
    TFrameSelection::SetLabelHooks({}, {}, {});
    if (PDFCreator)
        PDFCreator->SetControls(TLayoutControls());
    delete Forms.patternEditor;
    delete Forms.pagePreview;
    delete Forms.imagePreview;
    delete Forms.progress;
    delete Forms.step7;
    delete Forms.step6;
    delete Forms.step5;
    delete Forms.step4;
    delete Forms.step3;
    delete Forms.step2;
    delete Forms.step1;
    Forms = TWizardForms();
    StepForms.clear();
}
