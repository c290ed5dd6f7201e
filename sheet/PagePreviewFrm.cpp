#include "sheet/PagePreviewFrm.h"

#include "core/Global.h"
#include "sheet/PDFCreator.h"
#include "sheet/SheetHost.h"

#include "ui_PagePreviewFrm.h"

#include <QImage>
#include <QPixmap>
#include <QSignalBlocker>
#include <exception>

TPagePreviewForm::TPagePreviewForm(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::TPagePreviewForm>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFixedSize(225, 257);
    connect(ui->trbarPreviewPage, &QSlider::valueChanged, this, &TPagePreviewForm::trbarPreviewPageChange);
}

TPagePreviewForm::~TPagePreviewForm() = default;

QGroupBox *TPagePreviewForm::grbxPreview() const { return ui->grbxPreview; }
QLabel *TPagePreviewForm::imgPreview() const { return ui->imgPreview; }
QSlider *TPagePreviewForm::trbarPreviewPage() const { return ui->trbarPreviewPage; }
QLabel *TPagePreviewForm::lblStartPage() const { return ui->lblStartPage; }
QLabel *TPagePreviewForm::lblEndPage() const { return ui->lblEndPage; }
QLabel *TPagePreviewForm::lblCurPage() const { return ui->lblCurPage; }

void TPagePreviewForm::ShowPageControls(bool show)
{
    for (QWidget *w : {static_cast<QWidget *>(ui->imgPreview), static_cast<QWidget *>(ui->trbarPreviewPage),
                       static_cast<QWidget *>(ui->lblStartPage), static_cast<QWidget *>(ui->lblEndPage),
                       static_cast<QWidget *>(ui->lblCurPage)})
        w->setVisible(show);
}

void TPagePreviewForm::RefreshPreview(TSheetSetting cause)
{
    if (!isVisible())
        return;
    if (!PDFCreator || !PDFCreator->CalculateLayout(cause)) {
        ShowPageControls(false); // the layout engine has said why
        return;
    }
    const int pages = PDFCreator->PageCount();
    ui->lblStartPage->setText(QStringLiteral("1"));
    ui->lblEndPage->setText(QString::number(pages));
    {
        const QSignalBlocker detached(ui->trbarPreviewPage);
        ui->trbarPreviewPage->setMaximum(qMax(1, pages));
    }
    trbarPreviewPageChange();
    ShowPageControls(true);
}

void TPagePreviewForm::trbarPreviewPageChange()
{
    ui->lblCurPage->setText(QStringLiteral("Page %1").arg(ui->trbarPreviewPage->value()));
    if (!PDFCreator || !PDFCreator->LayoutValid())
        return;
    TSheetHost *host = PDFCreator->Host();
    if (!host)
        return;
    QImage picture(ui->imgPreview->size(), QImage::Format_RGB32);
    try {
        PDFCreator->DrawPage(host->Settings(), ui->trbarPreviewPage->value(), &picture, nullptr, host->Pictures());
    } catch (const std::exception &) {
        // The preview skips what it cannot draw; writing the PDF reports it.
    }
    ui->imgPreview->setPixmap(QPixmap::fromImage(picture));
}
