#pragma once
// The steps' controls that the layout engine and the label expansion read.
// The wizard fills this in once its forms exist; any pointer may be null, in
// which case the setting counts as unset (0, unchecked, empty).
#include <QFont>
#include <cstdint>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;
class TSheetProgress;
class QWidget;
class TRadioGroup;

struct TLayoutControls {
    // Page setup step.
    QComboBox *cmbxPageSize = nullptr;
    QSpinBox *spedtPageWidth = nullptr;
    QSpinBox *spedtPageHeight = nullptr;
    QSpinBox *spedtPageLeftMargin = nullptr;
    QSpinBox *spedtPageRightMargin = nullptr;
    QSpinBox *spedtPageTopMargin = nullptr;
    QSpinBox *spedtPageBottomMargin = nullptr;
    QSpinBox *spedtImageSpace = nullptr;
    QSpinBox *spedtTextSpace = nullptr;
    TRadioGroup *rgOrientation = nullptr;   // portrait, landscape, auto; Tag = last explicit
    QCheckBox *chbxCenterPageContents = nullptr;

    // Layout step.
    QCheckBox *chbxLabelFrames = nullptr;
    QCheckBox *chbxSetFramesPerPage = nullptr;
    QCheckBox *chbxEmbedFontSubset = nullptr;
    QComboBox *cmbxNonKeyFrameLabel = nullptr;
    QComboBox *cmbxKeyFrameLabel = nullptr;
    QAbstractButton *bitbtnEditNonKeyFrameLabel = nullptr;
    QAbstractButton *bitbtnEditKeyFrameLabel = nullptr;
    QAbstractButton *bitbtnImageLabelsFont = nullptr;
    QSpinBox *spedtColumnsPerPage = nullptr;
    QSpinBox *spedtRowsPerPage = nullptr;
    QGroupBox *grbxLabelFrames = nullptr;
    QGroupBox *grbxFramesPerPage = nullptr;

    QComboBox *cmbxImageResolution = nullptr; // dpi as item texts
    QComboBox *cmbxImageQuality = nullptr;

    // Output step.
    QLineEdit *edtPDFDirectory = nullptr;
    QLineEdit *edtPDFFile = nullptr;
    QLineEdit *medtPassword1 = nullptr;
    QLineEdit *medtPassword2 = nullptr;
    QComboBox *cmbxInputFile = nullptr;
    QComboBox *cmbxFileTitle = nullptr;
    QComboBox *cmbxFileAuthor = nullptr;
    QComboBox *cmbxFileSubject = nullptr;
    QComboBox *cmbxFileKeywords = nullptr;
    QCheckBox *chbxSecurity = nullptr;
    QCheckBox *chbxPermitPrinting = nullptr;
    QCheckBox *chbxPermitChanging = nullptr;
    QCheckBox *chbxPermitCopying = nullptr;
    QComboBox *cmbxEncryption = nullptr; // 0 "40 bit", 1 "128 bit"
    QCheckBox *chbxViewFile = nullptr;

    // The label font with its point size, and its colour (0x00BBGGRR).
    std::function<QFont()> labelFont;
    std::function<uint32_t()> labelColor;
    // Shows the writer's progress and offers Cancel; may be null.
    TSheetProgress *progress = nullptr;
    // Brings up the wizard step that holds the control.
    std::function<void(QWidget *)> showStepOf;
};
