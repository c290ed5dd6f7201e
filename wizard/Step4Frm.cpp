#include "wizard/Step4Frm.h"

#include <QShowEvent>
#include <utility>

namespace {
constexpr TPageSize kPageSizes[] = {
    {"A0", 841, 1189}, {"A1", 594, 841}, {"A2", 420, 594}, {"A3", 297, 420}, {"A4", 210, 297},
    {"A5", 148, 210}, {"A6", 105, 148}, {"A7", 74, 105}, {"A8", 52, 74}, {"A9", 37, 52},
    {"A10", 26, 37},
    {"B0", 1030, 1456}, {"B1", 728, 1030}, {"B2", 515, 728}, {"B3", 364, 515}, {"B4", 257, 364},
    {"B5", 182, 257}, {"B6", 128, 182}, {"B7", 91, 128}, {"B8", 64, 91}, {"B9", 45, 64},
    {"B10", 32, 45},
    {"C0", 917, 1297}, {"C1", 648, 917}, {"C2", 458, 648}, {"C3", 324, 458}, {"C4", 229, 324},
    {"C5", 162, 229}, {"C6", 114, 162}, {"C7", 81, 114},
    {"DL", 110, 220}, {"Executive", 190, 254}, {"Folio", 210, 330},
    {"ISOB0", 1000, 1414}, {"ISOB1", 707, 1000}, {"ISOB2", 500, 707}, {"ISOB3", 353, 500},
    {"ISOB4", 250, 353}, {"ISOB5", 176, 250}, {"ISOB6", 125, 176}, {"ISOB7", 88, 125},
    {"ISOB8", 62, 88}, {"ISOB9", 44, 62}, {"ISOB10", 31, 44},
    {"Ledger", 432, 279}, // the one entry stored wider than high
    {"Legal", 216, 356}, {"Letter", 216, 279},
    {"Photo Paper 9x13 cm", 90, 130}, {"Photo Paper 10x15 cm", 100, 150}, {"Photo Paper 13x18 cm", 130, 180},
    {"Statement", 140, 216}, {"Tabloid", 279, 432},
};

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

std::span<const TPageSize> PageSizes()
{
    return kPageSizes;
}

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

    for (const TPageSize &size : kPageSizes)
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
    if (index < 0 || index >= int(std::size(kPageSizes)))
        return;
    int width = kPageSizes[index].Width;
    int height = kPageSizes[index].Height;
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
        RefreshPagePreview(step.rgOrientation);
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
    RefreshPagePreview(step.rgOrientation);
}

void TStep4Form::PageMetricsChange(QWidget *cause)
{
    if (m_metricsDetached > 0)
        return;
    RefreshPagePreview(cause);
}

void TStep4Form::RefreshPagePreview(QWidget *cause)
{
    if (OnPageMetricsChange)
        OnPageMetricsChange(cause);
}

void TStep4Form::FormShow()
{
    // The page preview window moves into pnlPagePreview here once it exists.
}

void TStep4Form::showEvent(QShowEvent *event)
{
    TBaseWizardForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
