#pragma once
// The steps' controls that the layout engine and the label expansion read.
// The wizard fills this in once its forms exist; any pointer may be null, in
// which case the setting counts as unset (0, unchecked, empty).
#include <QFont>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QSpinBox;
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

    // The label font with its point size.
    std::function<QFont()> labelFont;
    // Brings up the wizard step that holds the control.
    std::function<void(QWidget *)> showStepOf;
};
