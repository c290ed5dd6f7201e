#pragma once
// Every window of the wizard, created once at start-up in a fixed order and
// kept until exit.
#include "core/InstanceManager.h"

class TStep1Form;
class TStep2Form;
class TStep3Form;
class TStep4Form;
class TStep5Form;
class TStep6Form;
class TStep7Form;
class TProgressForm;
class TImagePreviewForm;
class TPagePreviewForm;
class TFrameLabelPatternEditorForm;

struct TWizardForms {
    TStep1Form *step1 = nullptr;
    TStep2Form *step2 = nullptr;   // SWF mode only
    TStep3Form *step3 = nullptr;
    TStep4Form *step4 = nullptr;
    TStep5Form *step5 = nullptr;
    TStep6Form *step6 = nullptr;
    TStep7Form *step7 = nullptr;
    TProgressForm *progress = nullptr;
    TImagePreviewForm *imagePreview = nullptr;
    TPagePreviewForm *pagePreview = nullptr;
    TFrameLabelPatternEditorForm *patternEditor = nullptr;
};

extern TWizardForms Forms;

// The main form; its loading runs the single-instance check separately.
TStep1Form *CreateMainForm(TAMInstanceManager::Services instanceServices);
// The other forms, in order: steps 2 (SWF mode) to 7, progress, image
// preview, page preview, pattern editor.
void CreateRemainingForms();
// Destroys every form, the last created first.
void DestroyForms();
