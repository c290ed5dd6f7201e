#include "wizard/Step2Frm.h"

#include "core/Global.h"
#include "movie/Capture.h"
#include "movie/SwfFileInfo.h"
#include "wizard/ProgressFrm.h"
#include "wizard/Step3Frm.h"
#include "wizard/Step6Frm.h"
#include "wizard/WizardForms.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace {
// A stage the header cannot give, or one the screen cannot hold, gets this
// size in that direction.
constexpr int kFallbackStage = 300;
// twips per pixel
constexpr int kTwips = 20;

// How long a movie handed over while other work runs waits between looks.
constexpr int kRetryOpenMs = 50;

int stageExtent(uint32_t twips)
{
    const int64_t pixels = twips / kTwips;
    return pixels < 1 || pixels > INT32_MAX / 4 ? kFallbackStage : int(pixels);
}

// The stage at the largest size room allows, aspect kept, never enlarged.
QSize fitStage(QSize stage, QSize room)
{
    if (stage.width() <= room.width() && stage.height() <= room.height())
        return stage;
    const QSize fitted = stage.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(1, 1));
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

    m_notice = new QLabel(step.pnlShock);
    m_notice->setObjectName(QStringLiteral("lblMovieNotice"));
    m_notice->setWordWrap(true);
    m_notice->setMargin(3);
    m_notice->setAutoFillBackground(true);
    m_notice->setBackgroundRole(QPalette::ToolTipBase);
    m_notice->setForegroundRole(QPalette::ToolTipText);
    m_notice->hide();

    connect(step.cmbxCaptureMethod, &QComboBox::activated, this, &TStep2Form::cmbxCaptureMethodChange);
    connect(step.cmbxSWFFile, &QComboBox::activated, this, &TStep2Form::cmbxSWFFileChange);
    connect(step.cmbxSWFFile->lineEdit(), &QLineEdit::returnPressed, this, &TStep2Form::cmbxSWFFileChange);
    connect(step.bitbtnSWFFileBrowse, &QToolButton::clicked, this, &TStep2Form::bitbtnSWFFileBrowseClick);
    connect(step.trbarPlayProgress, &QSlider::valueChanged, this, &TStep2Form::trbarPlayProgressChange);
    for (QToolButton *b : {step.btnPlay, step.btnStop, step.btnEject})
        connect(b, &QToolButton::clicked, this, [this, b] { MediaPlayerClick(b); });
    connect(step.bitbtnCancel, &QPushButton::clicked, this, &TStep2Form::bitbtnCancelClick);
    // Screen capture takes a picture at each of the player's repaints.
    step.Shock->SetPaintHook([this](TShockwaveFlash &, QPainter &) {
        if (m_capturing && step.cmbxCaptureMethod->currentIndex() == cmScreen)
            CaptureFrame();
        return false;
    });
    // Nothing is captured here before Next: there is nothing to write yet.
    bitbtnCreatePDF()->setEnabled(false);
    step.bitbtnCancel->hide();
    step.lblCapturingFrames->hide();

    // Dropped files and second instances hand their movie to this step; the
    // pointer guards against a call after the form is gone.
    OfferMovieToCaptureStep = [self = QPointer<TStep2Form>(this)](const QString &path, bool showStep) {
        if (!self)
            return false;
        if (self->OpenSwfFile(path, showStep))
            return true;
        ShowErrorMessage(self->OpenSwfFileError());
        return false;
    };

    ShowCaptureMethodControls();
    ClearMovie();
}

bool TStep2Form::OpenSwfFile(const QString &given, bool showStep)
{
    m_openError.clear();
    // Stored absolute and clean: one movie, one history entry.
    const QString path = given.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    const QFileInfo info(path);
    if (!given.endsWith(QLatin1String(".swf"), Qt::CaseInsensitive) || !info.exists()) {
        m_openError = QStringLiteral("The file \"") + given + QStringLiteral("\" doesn't exist!");
        return false;
    }
    if (info.isDir()) {
        m_openError = QStringLiteral("\"%1\" is a folder, not a Flash movie.").arg(given);
        return false;
    }
    if (!info.isFile()) {
        m_openError = QStringLiteral("\"%1\" is not a regular file; choose a Flash movie file.").arg(given);
        return false;
    }
    TSwfHeader header;
    m_openError = SwfFileProblem(path, given, header);
    if (!m_openError.isEmpty())
        return false;

    // A running capture ends; the movie opens once the work below this call
    // (a capture, or work under the progress window) has let go, so that
    // nothing it writes is cut off.
    if (m_capturing || m_inCaptureLoop) {
        if (step.cmbxCaptureMethod->currentIndex() == cmScreen && !m_inCaptureLoop)
            EndCapture();
        else
            m_abortCapture = true;
    }
    const TProgressForm *progress = Forms.progress;
    if (m_inCaptureLoop || (progress && progress->isVisible())) {
        const bool first = m_pendingOpen.isEmpty();
        m_pendingOpen = path;
        if (first)
            QTimer::singleShot(kRetryOpenMs, this, [this, showStep] { OpenPendingMovie(showStep); });
        return true;
    }

    const QString previous = step.Shock->Movie();
    if (previous != path && !step.Shock->SetMovie(path)) {
        m_openError = QStringLiteral("The movie \"%1\" cannot be opened: %2").arg(given, step.Shock->MovieError());
        if (!previous.isEmpty())
            step.Shock->SetMovie(previous);
        return false;
    }
    AddToHistory(step.cmbxSWFFile, path);
    OpenMovie(path);
    const QStringList warnings = step.Shock->MovieWarnings();
    if (!warnings.isEmpty())
        ShowWarningMessage(QStringLiteral("The movie \"%1\" is damaged; what could be read is shown and captured "
                                          "(%2 problems, the first: %3)")
                               .arg(given)
                               .arg(warnings.size())
                               .arg(warnings.first()));
    if (showStep)
        ShowWizardStep(this);
    return true;
}

void TStep2Form::OpenPendingMovie(bool showStep)
{
    const TProgressForm *progress = Forms.progress;
    if (m_inCaptureLoop || (progress && progress->isVisible())) {
        QTimer::singleShot(kRetryOpenMs, this, [this, showStep] { OpenPendingMovie(showStep); });
        return;
    }
    const QString path = std::exchange(m_pendingOpen, QString());
    if (path.isEmpty())
        return;
    if (!OpenSwfFile(path, showStep))
        ShowErrorMessage(m_openError);
}

void TStep2Form::OpenMovie(const QString &path)
{
    MovieFileName = path;
    if (IsSWFMode)
        if (auto *output = qobject_cast<TStep6Form *>(StepForms.value(5)))
            output->SetPdfFileName(ChangeFileExt(path, QStringLiteral(".pdf")));

    TSwfHeader header{};
    if (!SwfFileProblem(path, path, header).isEmpty())
        header = TSwfHeader{}; // refused by OpenSwfFile; a caller past it gets the fallback

    const int extraWidth = width() - step.pnlShock->width();
    const int extraHeight = height() - step.pnlShock->height();
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // Pictures are captured at the stage's own size; the player on the step
    // shows it as large as the screen allows.
    MovieWidth = stageExtent(header.Xmax);
    MovieHeight = stageExtent(header.Ymax);
    const QSize shown = fitStage(QSize(MovieWidth, MovieHeight),
                                 QSize(available.width() - extraWidth, available.height() - extraHeight));
    const int stageWidth = shown.width();
    const int stageHeight = shown.height();

    const QPoint centre(x() + width() / 2, y() + height() / 2);
    const int minWidth = m_contentDesign.width();
    const int minHeight = m_contentDesign.height() + m_chrome;
    const int newWidth = std::max(stageWidth + extraWidth, minWidth);
    const int newHeight = std::max(stageHeight + extraHeight, minHeight);
    ResizeStep(newWidth, newHeight);
    move(centre.x() - newWidth / 2, centre.y() - newHeight / 2);

    step.Shock->SetBGColor(QString());
    step.pnlShock->show();
    if (step.Shock->Movie() != path)
        step.Shock->SetMovie(path);
    step.Shock->SetFrameNum(0);
    step.Shock->Stop();
    const QSize panel = step.pnlShock->size();
    step.Shock->setGeometry((panel.width() - stageWidth) / 2, (panel.height() - stageHeight) / 2, stageWidth,
                            stageHeight);
    step.Shock->activateWindow();
    ShowMovieNotice();

    if (step.cmbxCaptureMethod->currentIndex() == cmScreen) {
        step.btnPlay->setEnabled(true);
        step.btnEject->setEnabled(true);
        step.btnStop->setEnabled(false);
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

void TStep2Form::ShowMovieNotice()
{
    const auto movie = step.Shock->ShownMovie();
    const QString text = movie ? CaptureNotice(*movie) : QString();
    m_notice->setText(text);
    m_notice->setToolTip(text);
    if (text.isEmpty()) {
        m_notice->hide();
        return;
    }
    const int width = step.pnlShock->width();
    const int height = m_notice->heightForWidth(width);
    m_notice->setGeometry(0, step.pnlShock->height() - height, width, height);
    m_notice->show();
    m_notice->raise();
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
            ShowErrorMessage(m_openError);
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
    if (!MovieFileName.isEmpty())
        opndlgOpenSWFFile->setDirectory(QFileInfo(MovieFileName).absolutePath());
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

void TStep2Form::BeginCapture()
{
    if (Scenes.isEmpty())
        Scenes << TSceneInfo();
    const bool screen = step.cmbxCaptureMethod->currentIndex() == cmScreen;
    BeginSceneCapture(Scenes[0], screen ? 0 : step.spedtStartFrame->value() - 1);
    for (QWidget *w : {static_cast<QWidget *>(bitbtnBack()), static_cast<QWidget *>(bitbtnNext()),
                       static_cast<QWidget *>(step.lblCaptureMethod), static_cast<QWidget *>(step.cmbxCaptureMethod)})
        w->setEnabled(false);
    step.lblCapturingFrames->show();
    m_capturing = true;
    if (screen) {
        step.btnPlay->setEnabled(false);
        step.btnEject->setEnabled(false);
        step.btnStop->setEnabled(true);
        // The keyboard goes on where the mouse would: Space stops.
        step.btnStop->setFocus();
        step.Shock->Play();
        step.Shock->repaint(); // the first picture
        return;
    }
    for (QWidget *w : {static_cast<QWidget *>(step.trbarPlayProgress), static_cast<QWidget *>(step.lblStart),
                       static_cast<QWidget *>(step.spedtStartFrame), static_cast<QWidget *>(step.lblEnd),
                       static_cast<QWidget *>(step.spedtEndFrame)})
        w->setEnabled(false);
    step.bitbtnCancel->show();
}

void TStep2Form::EndCapture()
{
    m_capturing = false;
    if (step.cmbxCaptureMethod->currentIndex() == cmScreen) {
        step.Shock->Stop();
        step.btnPlay->setEnabled(true);
        step.btnEject->setEnabled(true);
        step.btnStop->setEnabled(false);
    } else {
        for (QWidget *w : {static_cast<QWidget *>(step.trbarPlayProgress), static_cast<QWidget *>(step.lblStart),
                           static_cast<QWidget *>(step.spedtStartFrame), static_cast<QWidget *>(step.lblEnd),
                           static_cast<QWidget *>(step.spedtEndFrame)})
            w->setEnabled(true);
        step.bitbtnCancel->hide();
    }
    for (QWidget *w : {static_cast<QWidget *>(bitbtnBack()), static_cast<QWidget *>(bitbtnNext()),
                       static_cast<QWidget *>(step.lblCaptureMethod), static_cast<QWidget *>(step.cmbxCaptureMethod)})
        w->setEnabled(true);
    step.lblCapturingFrames->hide();
    if (!Scenes.isEmpty())
        Scenes[0].FrameLabels = QStringList(Scenes[0].FrameCount);
}

void TStep2Form::CaptureFrame()
{
    if (Scenes.isEmpty())
        return;
    // Drawing the picture must not capture again.
    m_capturing = false;
    const QImage picture = step.Shock->PaintToImage(CapturePictureSize(QSize(MovieWidth, MovieHeight)));
    QString why;
    if (picture.isNull())
        why = CaptureSizeProblem(QSize(MovieWidth, MovieHeight));
    if (picture.isNull() || !SaveCapturedPicture(picture, Scenes[0], &why)) {
        // Shown once the paint in progress is over; the frames so far stay.
        EndCapture();
        QTimer::singleShot(0, this, [why] { ShowErrorMessage(why); });
        return;
    }
    m_capturing = true;
}

bool TStep2Form::CaptureFileFrames()
{
    const int first = step.spedtStartFrame->value();
    const int last = step.spedtEndFrame->value();
    if (last < first) {
        ShowErrorMessage(QStringLiteral("The value of the start frame is larger than the value of the end frame"));
        step.spedtStartFrame->setFocus();
        return false;
    }
    const std::shared_ptr<const swf::Movie> movie = step.Shock->ShownMovie();
    if (!movie) {
        ShowErrorMessage(QStringLiteral("No movie is open; choose a Flash movie first."));
        return false;
    }
    BeginCapture();
    m_inCaptureLoop = true;
    TCaptureResult result;
    try {
        // A player of its own: the step's player only follows along.
        swf::Player player(movie);
        result = ::CaptureFileFrames(player, QSize(MovieWidth, MovieHeight), first, last, Scenes[0],
                                     [this, first](int captured, int) {
                                         step.trbarPlayProgress->setValue(first + captured - 1);
                                         QCoreApplication::processEvents();
                                         return m_capturing && !m_abortCapture;
                                     });
    } catch (const std::bad_alloc &) {
        result.Error = QStringLiteral("There is not enough memory to capture the movie's frames.");
    }
    m_inCaptureLoop = false;
    if (m_capturing)
        EndCapture();
    if (!result.Error.isEmpty()) {
        ShowErrorMessage(result.Error);
        return false;
    }
    return !m_abortCapture && !Scenes.isEmpty() && Scenes[0].FrameCount > 0;
}

void TStep2Form::bitbtnNextClick()
{
    if (step.cmbxCaptureMethod->currentIndex() != cmScreen) {
        m_abortCapture = false;
        if (!CaptureFileFrames())
            return;
    }
    TBaseWizardForm::bitbtnNextClick();
    if (Forms.step3)
        Forms.step3->LoadThumbnails();
}

void TStep2Form::bitbtnCancelClick()
{
    if (m_capturing)
        EndCapture();
}

void TStep2Form::MediaPlayerClick(QToolButton *button)
{
    if (button == step.btnPlay) {
        BeginCapture();
    } else if (button == step.btnStop) {
        if (!m_capturing)
            return;
        EndCapture();
        bitbtnNextClick();
    } else if (button == step.btnEject) {
        ResetMovie();
    }
}

void TStep2Form::closeEvent(QCloseEvent *event)
{
    // A capture under way stops at once; the pictures go with the wizard.
    m_abortCapture = true;
    if (m_capturing && !m_inCaptureLoop)
        EndCapture();
    TBaseWizardForm::closeEvent(event);
}
