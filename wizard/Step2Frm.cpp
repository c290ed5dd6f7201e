#include "wizard/Step2Frm.h"

#include "core/Global.h"
#include "movie/SwfFileInfo.h"
#include "wizard/Step6Frm.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>

namespace {
// A stage the header cannot give, or one the screen cannot hold, gets this
// size in that direction.
constexpr int kFallbackStage = 300;
// twips per pixel
constexpr int kTwips = 20;

int stageExtent(uint32_t twips, int extra, int screenExtent)
{
    const int64_t pixels = twips / kTwips;
    if (pixels < 1 || screenExtent < pixels + extra)
        return kFallbackStage;
    return int(pixels);
}
} // namespace

TStep2Form::TStep2Form(QWidget *parent) : TBaseWizardForm(parent)
{
    m_content = new QWidget;
    step.setupUi(m_content);
    m_contentDesign = m_content->size();
    SetStepContent(m_content, QStringLiteral("SWF File Selection and Frame Capture"),
                   QStringLiteral("Select SWF file, capture method and frames to capture."));
    m_chrome = height() - m_content->height();

    opndlgOpenSWFFile = new QFileDialog(this);
    opndlgOpenSWFFile->setObjectName(QStringLiteral("opndlgOpenSWFFile"));
    opndlgOpenSWFFile->setWindowTitle(QStringLiteral("Open SWF File"));
    opndlgOpenSWFFile->setNameFilter(QStringLiteral("Flash Movie (*.swf)"));
    opndlgOpenSWFFile->setFileMode(QFileDialog::ExistingFile);
    opndlgOpenSWFFile->setAcceptMode(QFileDialog::AcceptOpen);

    FormCreate();
}

void TStep2Form::FormCreate()
{
    TBaseWizardForm::FormCreate();

    const auto add = [this](QWidget *w, bool right, bool bottom, bool stretchW, bool stretchH, bool centreH) {
        m_anchors.append({w, w->geometry(), right, bottom, stretchW, stretchH, centreH});
    };
    add(step.cmbxSWFFile, false, false, true, false, false);
    add(step.bitbtnSWFFileBrowse, true, false, false, false, false);
    add(step.pnlShock, false, false, true, true, false);
    for (QWidget *w : {static_cast<QWidget *>(step.lblCaptureMethod), static_cast<QWidget *>(step.cmbxCaptureMethod),
                       static_cast<QWidget *>(step.MediaPlayer), static_cast<QWidget *>(step.lblStartFrame),
                       static_cast<QWidget *>(step.lblStart), static_cast<QWidget *>(step.spedtStartFrame),
                       static_cast<QWidget *>(step.lblEnd), static_cast<QWidget *>(step.spedtEndFrame)})
        add(w, false, true, false, false, false);
    add(step.lblCurFrame, false, true, false, false, true);
    add(step.trbarPlayProgress, false, true, true, false, false);
    for (QWidget *w : {static_cast<QWidget *>(step.lblEndFrame), static_cast<QWidget *>(step.lblCapturingFrames),
                       static_cast<QWidget *>(step.bitbtnCancel)})
        add(w, true, true, false, false, false);

    connect(step.cmbxCaptureMethod, &QComboBox::activated, this, &TStep2Form::cmbxCaptureMethodChange);
    connect(step.cmbxSWFFile, &QComboBox::activated, this, &TStep2Form::cmbxSWFFileChange);
    connect(step.cmbxSWFFile->lineEdit(), &QLineEdit::returnPressed, this, &TStep2Form::cmbxSWFFileChange);
    connect(step.bitbtnSWFFileBrowse, &QToolButton::clicked, this, &TStep2Form::bitbtnSWFFileBrowseClick);
    connect(step.trbarPlayProgress, &QSlider::valueChanged, this, &TStep2Form::trbarPlayProgressChange);
    connect(step.btnEject, &QToolButton::clicked, this, &TStep2Form::ResetMovie);

    // Dropped files and second instances hand their movie to this step; the
    // pointer guards against a call after the form is gone.
    OfferMovieToCaptureStep = [self = QPointer<TStep2Form>(this)](const QString &path, bool showStep) {
        return self && self->OpenSwfFile(path, showStep);
    };

    ShowCaptureMethodControls();
    ClearMovie();
}

bool TStep2Form::OpenSwfFile(const QString &path, bool showStep)
{
    if (!path.endsWith(QLatin1String(".swf"), Qt::CaseInsensitive) || !QFileInfo(path).isFile())
        return false;
    AddToHistory(step.cmbxSWFFile, path);
    OpenMovie(path);
    if (showStep)
        ShowWizardStep(this);
    return true;
}

void TStep2Form::OpenMovie(const QString &path)
{
    MovieFileName = path;
    if (IsSWFMode)
        if (auto *output = qobject_cast<TStep6Form *>(StepForms.value(5)))
            output->SetPdfFileName(ChangeFileExt(path, QStringLiteral(".pdf")));

    TSwfHeader header{};
    try {
        if (!ReadSwfHeader(path, header))
            header = TSwfHeader{};
    } catch (const SwfHeaderError &) {
        // A damaged movie is shown at the fallback size rather than refused.
        header = TSwfHeader{};
    }

    const int extraWidth = width() - step.pnlShock->width();
    const int extraHeight = height() - step.pnlShock->height();
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int stageWidth = stageExtent(header.Xmax, extraWidth, available.width());
    const int stageHeight = stageExtent(header.Ymax, extraHeight, available.height());
    MovieWidth = stageWidth;
    MovieHeight = stageHeight;

    const QPoint centre(x() + width() / 2, y() + height() / 2);
    const int minWidth = m_contentDesign.width();
    const int minHeight = m_contentDesign.height() + m_chrome;
    const int newWidth = std::max(stageWidth + extraWidth, minWidth);
    const int newHeight = std::max(stageHeight + extraHeight, minHeight);
    ResizeStep(newWidth, newHeight);
    move(centre.x() - newWidth / 2, centre.y() - newHeight / 2);

    step.Shock->SetBGColor(QString());
    step.pnlShock->show();
    step.Shock->SetMovie(path);
    step.Shock->SetFrameNum(0);
    step.Shock->Stop();
    const QSize panel = step.pnlShock->size();
    step.Shock->setGeometry((panel.width() - stageWidth) / 2, (panel.height() - stageHeight) / 2, stageWidth,
                            stageHeight);
    step.Shock->activateWindow();

    if (step.cmbxCaptureMethod->currentIndex() == cmScreen) {
        step.btnPlay->setEnabled(true);
        step.btnEject->setEnabled(true);
        bitbtnNext()->setEnabled(false);
        return;
    }
    // A movie the player cannot read still offers its one (empty) frame.
    const int frameCount = std::max(step.Shock->TotalFrames(), 1);
    step.trbarPlayProgress->setEnabled(true);
    step.lblStartFrame->setText(QStringLiteral("1"));
    step.lblEndFrame->setText(QString::number(frameCount));
    step.spedtStartFrame->setRange(1, frameCount);
    step.spedtEndFrame->setRange(1, frameCount);
    step.spedtStartFrame->setValue(1);
    step.spedtEndFrame->setValue(frameCount);
    for (QWidget *w : {static_cast<QWidget *>(step.lblStart), static_cast<QWidget *>(step.spedtStartFrame),
                       static_cast<QWidget *>(step.lblEnd), static_cast<QWidget *>(step.spedtEndFrame)})
        w->setEnabled(true);
    {
        // The handler runs once below, also when the position stays 1.
        const QSignalBlocker quiet(step.trbarPlayProgress);
        step.trbarPlayProgress->setMaximum(frameCount);
        step.trbarPlayProgress->setValue(1);
    }
    trbarPlayProgressChange();
    bitbtnNext()->setEnabled(true);
}

void TStep2Form::ResetMovie()
{
    step.Shock->SetFrameNum(0);
    step.Shock->Stop();
}

void TStep2Form::ClearMovie()
{
    MovieFileName.clear();
    step.pnlShock->hide();
    bitbtnNext()->setEnabled(false);
    ResizeStep(m_contentDesign.width(), m_contentDesign.height() + m_chrome);
    if (step.cmbxCaptureMethod->currentIndex() == cmScreen) {
        for (QToolButton *b : {step.btnPlay, step.btnStop, step.btnEject})
            b->setEnabled(false);
        return;
    }
    step.trbarPlayProgress->setEnabled(false);
    step.lblStartFrame->clear();
    step.lblCurFrame->clear();
    step.lblEndFrame->clear();
    for (QWidget *w : {static_cast<QWidget *>(step.lblStart), static_cast<QWidget *>(step.spedtStartFrame),
                       static_cast<QWidget *>(step.lblEnd), static_cast<QWidget *>(step.spedtEndFrame)})
        w->setEnabled(false);
}

void TStep2Form::ShowCaptureMethodControls()
{
    const bool fileFrames = step.cmbxCaptureMethod->currentIndex() != cmScreen;
    for (QWidget *w : {static_cast<QWidget *>(step.trbarPlayProgress), static_cast<QWidget *>(step.lblStartFrame),
                       static_cast<QWidget *>(step.lblCurFrame), static_cast<QWidget *>(step.lblEndFrame),
                       static_cast<QWidget *>(step.lblStart), static_cast<QWidget *>(step.spedtStartFrame),
                       static_cast<QWidget *>(step.lblEnd), static_cast<QWidget *>(step.spedtEndFrame)})
        w->setVisible(fileFrames);
    step.MediaPlayer->setVisible(!fileFrames);
}

void TStep2Form::cmbxCaptureMethodChange()
{
    ShowCaptureMethodControls();
    if (!MovieFileName.isEmpty())
        OpenMovie(MovieFileName);
    else
        ClearMovie();
}

void TStep2Form::cmbxSWFFileChange()
{
    // The error box takes the focus from the combo, which may report the
    // same choice again while the first is still handled.
    if (m_inSwfFileChange)
        return;
    m_inSwfFileChange = true;
    const QString text = step.cmbxSWFFile->currentText();
    if (!OpenSwfFile(text, false)) {
        if (!text.isEmpty()) {
            ShowErrorMessage(QStringLiteral("The file \"") + text + QStringLiteral("\" doesn't exist!"));
            const int entry = step.cmbxSWFFile->findText(text, Qt::MatchFixedString);
            if (entry >= 0)
                step.cmbxSWFFile->removeItem(entry);
        }
        if (!MovieFileName.isEmpty()) {
            AddToHistory(step.cmbxSWFFile, MovieFileName);
        } else {
            step.cmbxSWFFile->setCurrentIndex(-1);
            step.cmbxSWFFile->clearEditText();
            ClearMovie();
        }
    }
    m_inSwfFileChange = false;
}

void TStep2Form::bitbtnSWFFileBrowseClick()
{
    opndlgOpenSWFFile->selectFile(step.cmbxSWFFile->currentText());
    if (opndlgOpenSWFFile->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = opndlgOpenSWFFile->selectedFiles();
    if (chosen.isEmpty())
        return;
    AddToHistory(step.cmbxSWFFile, chosen.first());
    cmbxSWFFileChange();
}

void TStep2Form::trbarPlayProgressChange()
{
    const int position = step.trbarPlayProgress->value();
    if (step.Shock->FrameNum() + 1 != position) {
        step.Shock->SetFrameNum(position - 1);
        step.Shock->Stop();
    }
    step.lblCurFrame->setText(QStringLiteral("Frame ") + QString::number(step.trbarPlayProgress->value()));
}

void TStep2Form::ResizeStep(int width, int height)
{
    SetClientSize(width, height);
    m_content->resize(width, height - m_chrome);
    const int dx = m_content->width() - m_contentDesign.width();
    const int dy = m_content->height() - m_contentDesign.height();
    for (const Anchor &a : m_anchors) {
        QRect r = a.design;
        if (a.stretchW)
            r.setWidth(r.width() + dx);
        else if (a.right)
            r.moveLeft(r.left() + dx);
        else if (a.centreH)
            r.moveLeft(r.left() + dx / 2);
        if (a.stretchH)
            r.setHeight(r.height() + dy);
        else if (a.bottom)
            r.moveTop(r.top() + dy);
        a.widget->setGeometry(r);
    }
}
