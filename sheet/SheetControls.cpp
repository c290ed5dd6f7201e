#include "sheet/SheetControls.h"

#include "controls/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <climits>

namespace {

QSpinBox *Spin(QWidget *parent, int minimum, int value)
{
    auto *edit = new QSpinBox(parent);
    edit->setRange(minimum, INT_MAX);
    edit->setValue(value);
    return edit;
}

QComboBox *Combo(QWidget *parent, const QStringList &items = {}, int index = -1)
{
    auto *combo = new QComboBox(parent);
    combo->setEditable(items.isEmpty());
    combo->addItems(items);
    combo->setCurrentIndex(index);
    return combo;
}

QCheckBox *Check(QWidget *parent, bool checked)
{
    auto *box = new QCheckBox(parent);
    box->setChecked(checked);
    return box;
}

} // namespace

bool TSheetControlSet::ChooseItem(QComboBox *combo, const QString &value)
{
    const int index = combo ? combo->findText(value) : -1;
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    return true;
}

TSheetControlSet::TSheetControlSet() : labelFont(QStringLiteral("Arial"), 12)
{
    TLayoutControls &c = controls;
    c.cmbxPageSize = Combo(&m_pageStep, {QStringLiteral("A4")}, 0);
    c.spedtPageWidth = Spin(&m_pageStep, 10, 210);
    c.spedtPageHeight = Spin(&m_pageStep, 10, 297);
    c.spedtPageLeftMargin = Spin(&m_pageStep, 0, 10);
    c.spedtPageRightMargin = Spin(&m_pageStep, 0, 10);
    c.spedtPageTopMargin = Spin(&m_pageStep, 0, 10);
    c.spedtPageBottomMargin = Spin(&m_pageStep, 0, 10);
    c.spedtImageSpace = Spin(&m_pageStep, 0, 5);
    c.spedtTextSpace = Spin(&m_pageStep, 0, 5);
    c.rgOrientation = new TRadioGroup(&m_pageStep);
    c.rgOrientation->SetItems({QStringLiteral("Portrait"), QStringLiteral("Landscape"), QStringLiteral("Auto")});
    c.rgOrientation->SetItemIndex(2);
    c.chbxCenterPageContents = Check(&m_pageStep, true);

    c.grbxLabelFrames = new QGroupBox(&m_layoutStep);
    c.chbxLabelFrames = Check(&m_layoutStep, true);
    c.cmbxNonKeyFrameLabel = Combo(c.grbxLabelFrames);
    c.cmbxNonKeyFrameLabel->addItem(QStringLiteral("Frame <N>"));
    c.cmbxKeyFrameLabel = Combo(c.grbxLabelFrames);
    c.cmbxKeyFrameLabel->addItem(QStringLiteral("Frame <N> *"));
    c.bitbtnEditNonKeyFrameLabel = new QToolButton(c.grbxLabelFrames);
    c.bitbtnEditKeyFrameLabel = new QToolButton(c.grbxLabelFrames);
    c.bitbtnImageLabelsFont = new QPushButton(c.grbxLabelFrames);
    c.chbxEmbedFontSubset = Check(c.grbxLabelFrames, false);
    c.grbxFramesPerPage = new QGroupBox(&m_layoutStep);
    c.chbxSetFramesPerPage = Check(&m_layoutStep, false);
    c.spedtColumnsPerPage = Spin(c.grbxFramesPerPage, 1, 4);
    c.spedtRowsPerPage = Spin(c.grbxFramesPerPage, 1, 5);
    QStringList dpi{QStringLiteral("30"), QStringLiteral("50"), QStringLiteral("72"), QStringLiteral("100"),
                    QStringLiteral("150"), QStringLiteral("200"), QStringLiteral("300"), QStringLiteral("600")};
    c.cmbxImageResolution = Combo(&m_layoutStep, dpi, 2);
    QStringList qualities;
    for (int q = 10; q <= 100; q += 10)
        qualities << QString::number(q);
    c.cmbxImageQuality = Combo(&m_layoutStep, qualities, 6);

    c.edtPDFDirectory = new QLineEdit(&m_outputStep);
    c.edtPDFFile = new QLineEdit(&m_outputStep);
    c.medtPassword1 = new QLineEdit(&m_outputStep);
    c.medtPassword2 = new QLineEdit(&m_outputStep);
    c.medtPassword2->hide(); // one password, as with "show password"
    c.cmbxInputFile = Combo(&m_outputStep);
    c.cmbxFileTitle = Combo(&m_outputStep);
    c.cmbxFileAuthor = Combo(&m_outputStep);
    c.cmbxFileSubject = Combo(&m_outputStep);
    c.cmbxFileKeywords = Combo(&m_outputStep);
    c.chbxSecurity = Check(&m_outputStep, false);
    c.chbxPermitPrinting = Check(&m_outputStep, true);
    c.chbxPermitChanging = Check(&m_outputStep, false);
    c.chbxPermitCopying = Check(&m_outputStep, false);
    c.cmbxEncryption = Combo(&m_outputStep, {QStringLiteral("40 bit"), QStringLiteral("128 bit")}, 1);
    c.chbxViewFile = Check(&m_outputStep, false);

    c.labelFont = [this] { return labelFont; };
    c.labelColor = [this] { return labelColor; };
}
