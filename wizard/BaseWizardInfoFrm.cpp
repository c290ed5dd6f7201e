#include "wizard/BaseWizardInfoFrm.h"

#include "wizard/Artwork.h"

TBazeWizardInfoForm::TBazeWizardInfoForm(QWidget *parent) : TBaseWizardForm(parent)
{
    m_infoLayer = new QWidget(ui.pnlTop);
    info.setupUi(m_infoLayer);
    m_infoLayer->setObjectName(QString()); // the layer is no control of its own
    ui.pnlTop->resize(ui.pnlTop->width(), 381);
    ui.imgCornerLogo->hide();
    ui.bvlTop->move(0, 381);
    ui.bvlBottom->hide();
    ui.bitbtnCreatePDF->setEnabled(false);
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(21);
    title.setBold(true);
    ui.lblActionCaption->setFont(title);
    ui.lblActionCaption->setGeometry(176, 16, 300, 50);
    ui.lblActionCaption->setWordWrap(true);
    ui.lblActionDescription->setGeometry(176, 72, 300, 220);
    info.Image1->setPixmap(InfoPicture());
    m_infoLayer->setGeometry(0, 0, ui.pnlTop->width(), 381);
}

void TBazeWizardInfoForm::SetInfoWidth(int width)
{
    SetClientSize(width, 420);
    ui.pnlTop->resize(width, 381);
    ui.bvlTop->resize(width, 2);
    ui.bvlBottom->hide();
    m_infoLayer->resize(width, 381);
}

void TBazeWizardInfoForm::SetInfoContent(QWidget *content, const QString &title, const QString &description,
                                         const QString &label1)
{
    content->setParent(m_infoLayer);
    setObjectName(content->objectName());
    content->setObjectName(QStringLiteral("pnlStepContent"));
    content->move(0, 0);
    content->show();
    m_tag = content->property("Tag").toInt();
    ui.lblActionCaption->setText(title);
    ui.lblActionDescription->setText(description);
    info.Label1->setText(label1);
}
