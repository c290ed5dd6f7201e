#include "wizard/Step4Frm.h"

#include "wizard/WizardSheet.h"

#include <QShowEvent>
#include <utility>

namespace {
// Detaches the metric handlers for the lifetime of the object.
class Detached {
public:
    explicit Detached(int &depth) : m_depth(depth) { ++m_depth; }
    ~Detached() { --m_depth; }
    Detached(const Detached &) = delete;
    Detached &operator=(const Detached &) = delete;

private:
    int &m_depth;
};
} // namespace

TStep4Form::TStep4Form(QWidget *parent) : TBaseWizardForm(parent)
{
    auto *content = new QWidget;
    step.setupUi(content);
    SetStepContent(content, QStringLiteral("Page Setup"),
                   QStringLiteral("Set page size, orientation, margins and spacing."));
    FormCreate();
}

void TStep4Form::FormCreate()
{
    TBaseWizardForm::FormCreate();

    for (const TPageSize &size : PageSizes())
        step.cmbxPageSize->addItem(QString::fromLatin1(size.Name));
    // The form's own width and height (10 x 10) are no listed size.
    step.cmbxPageSize->setCurrentIndex(-1);
    step.rgOrientation->SetItemIndex(opPortrait);
    step.rgOrientation->SetTag(opPortrait);

    connect(step.cmbxPageSize, &QComboBox::activated, this, &TStep4Form::cmbxPageSizeChange);
    connect(step.rgOrientation, &TRadioGroup::Click, this, &TStep4Form::rgOrientationClick);
    for (QSpinBox *spin : {step.spedtPageWidth, step.spedtPageHeight, step.spedtPageLeftMargin,
                           step.spedtPageTopMargin, step.spedtPageRightMargin, step.spedtPageBottomMargin,
                           step.spedtImageSpace, step.spedtTextSpace})
        connect(spin, &QSpinBox::valueChanged, this, [this, spin] { PageMetricsChange(spin); });
    connect(step.chbxCenterPageContents, &QCheckBox::toggled, this,
            [this] { PageMetricsChange(step.chbxCenterPageContents); });
}

void TStep4Form::cmbxPageSizeChange()
{
    const int index = step.cmbxPageSize->currentIndex();
    if (index < 0 || index >= int(PageSizes().size()))
        return;
    int width = PageSizes()[size_t(index)].Width;
    int height = PageSizes()[size_t(index)].Height;
    if (step.rgOrientation->Tag() == opLandscape)
        std::swap(width, height);
    {
        const Detached detached(m_metricsDetached);
        step.spedtPageWidth->setValue(width);
        step.spedtPageHeight->setValue(height);
    }
    PageMetricsChange(step.cmbxPageSize);
}

void TStep4Form::rgOrientationClick()
{
    const int chosen = step.rgOrientation->ItemIndex();
    if (chosen != opPortrait && chosen != opLandscape) {
        // Auto: the layout decides; the page stays as it is.
        RefreshPreviewFor(step.rgOrientation);
        return;
    }
    const int remembered = step.rgOrientation->Tag();
    const bool turn = (remembered == opPortrait && chosen == opLandscape) ||
                      (remembered == opLandscape && chosen == opPortrait);
    if (turn) {
        const Detached detached(m_metricsDetached);
        const int width = step.spedtPageWidth->value();
        const int height = step.spedtPageHeight->value();
        const int left = step.spedtPageLeftMargin->value();
        const int top = step.spedtPageTopMargin->value();
        const int right = step.spedtPageRightMargin->value();
        const int bottom = step.spedtPageBottomMargin->value();
        step.spedtPageWidth->setValue(height);
        step.spedtPageHeight->setValue(width);
        if (chosen == opLandscape) {
            // A quarter turn clockwise.
            step.spedtPageTopMargin->setValue(left);
            step.spedtPageLeftMargin->setValue(bottom);
            step.spedtPageBottomMargin->setValue(right);
            step.spedtPageRightMargin->setValue(top);
        } else {
            // And back.
            step.spedtPageTopMargin->setValue(right);
            step.spedtPageRightMargin->setValue(bottom);
            step.spedtPageBottomMargin->setValue(left);
            step.spedtPageLeftMargin->setValue(top);
        }
    }
    step.rgOrientation->SetTag(chosen);
    RefreshPreviewFor(step.rgOrientation);
}

void TStep4Form::PageMetricsChange(QWidget *cause)
{
    if (m_metricsDetached > 0)
        return;
    RefreshPreviewFor(cause);
}

void TStep4Form::RefreshPreviewFor(QWidget *cause)
{
    if (OnPageMetricsChange)
        OnPageMetricsChange(cause);
}

void TStep4Form::FormShow()
{
    PlacePagePreview(step.pnlPagePreview);
}

void TStep4Form::showEvent(QShowEvent *event)
{
    TBaseWizardForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
