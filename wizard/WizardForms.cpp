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
#include "wizard/WizardSheet.h"

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

TWizardSheetHost &SheetHost()
{
    static TWizardSheetHost host(&progressWindow);
    return host;
}

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

    // The layout engine, the writer and the label expansion read the steps'
    // controls through the host.
    if (PDFCreator)
        PDFCreator->SetHost(&SheetHost());
    TFrameSelection::SetLabelHooks([](TFrameSelection &s) { UpdateFrameLabels(s, WizardSheetSettings()); },
                                   [](TFrameSelection &s) { ExpandFrameLabels(s, WizardSheetSettings()); },
                                   [](TFrameSelection &s) { MeasureFrameLabels(s, WizardSheetSettings()); });
}

void DestroyForms()
{
    // Nothing may read the controls once they are gone.
    TFrameSelection::SetLabelHooks({}, {}, {});
    if (PDFCreator)
        PDFCreator->SetHost(nullptr);
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
