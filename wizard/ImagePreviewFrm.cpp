#include "wizard/ImagePreviewFrm.h"

#include "core/Global.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>

TImagePreviewForm::TImagePreviewForm(QWidget *parent) : QDialog(parent)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::WindowContextHelpButtonHint | Qt::WindowStaysOnTopHint);
    setSizeGripEnabled(false);
    resize(442, 200);
    ui.imgImage->hide();
    connect(ui.bitbtnClose, &QPushButton::clicked, this, &TImagePreviewForm::bitbtnCloseClick);
    // The viewport has its final size once the scroll bars are settled.
    ui.srbxImage->viewport()->installEventFilter(this);
}

void TImagePreviewForm::SetImageFile(const QString &path)
{
    ImageFile = path;
    if (!isVisible())
        return;
    LoadImage();
    ArrangeImage(false);
}

void TImagePreviewForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TImagePreviewForm::FormShow()
{
    LoadImage();
    ArrangeImage(true);
}

void TImagePreviewForm::LoadImage()
{
    QPixmap picture;
    m_hasPicture = !ImageFile.isEmpty() && picture.load(ImageFile);
    if (m_hasPicture)
        ui.imgImage->setPixmap(picture);
    else
        ui.imgImage->clear();
    ui.imgImage->setVisible(m_hasPicture);
    // No picture is shown for an unreadable file; the panel says why.
    ui.lblImageError->setVisible(!m_hasPicture && !ImageFile.isEmpty());
}

void TImagePreviewForm::ArrangeImage(bool fit)
{
    m_arranging = true;
    // Stretched to the movie's pixel size, whatever the file's own size.
    ui.imgImage->resize(MovieWidth, MovieHeight);
    if (fit) {
        resize(MovieWidth, MovieHeight + ui.Panel1->minimumHeight());
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->geometry() : QRect();
        if (area.isValid()) {
            QRect frame = frameGeometry();
            const QSize border = frame.size() - size();
            int w = width();
            int h = height();
            if (frame.width() > area.width())
                w = area.width() - border.width();
            if (frame.height() > area.height())
                h = area.height() - border.height();
            resize(w, h);
            frame = frameGeometry();
            int left = frame.left();
            int top = frame.top();
            if (frame.right() > area.right() || frame.left() < area.left())
                left = area.left();
            if (frame.bottom() > area.bottom() || frame.top() < area.top())
                top = area.top();
            move(left, top);
        }
    }
    m_arranging = false;
    srbxImageResize();
}

void TImagePreviewForm::srbxImageResize()
{
    if (!m_hasPicture || m_arranging)
        return;
    // A picture smaller than the box is centred on that axis; a larger one
    // keeps its place and scrolls.
    const QSize client = ui.srbxImage->viewport()->size();
    Qt::Alignment align;
    align |= client.width() >= ui.imgImage->width() ? Qt::AlignHCenter : Qt::AlignLeft;
    align |= client.height() >= ui.imgImage->height() ? Qt::AlignVCenter : Qt::AlignTop;
    ui.srbxImage->setAlignment(align);
}

bool TImagePreviewForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.srbxImage->viewport() && event->type() == QEvent::Resize)
        srbxImageResize();
    return QDialog::eventFilter(watched, event);
}

void TImagePreviewForm::bitbtnCloseClick()
{
    close();
}
