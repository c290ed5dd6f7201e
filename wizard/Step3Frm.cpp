#include "wizard/Step3Frm.h"

#include "core/FrameChoice.h"
#include "core/Global.h"
#include "movie/FlashServer.h"
#include "platform/JpegImage.h"
#include "sheet/PDFCreator.h"
#include "sheet/PagePreviewFrm.h"
#include "wizard/ImagePreviewFrm.h"
#include "wizard/ProgressFrm.h"
#include "wizard/Step5Frm.h"
#include "wizard/WizardForms.h"

#include <QFileInfo>
#include <QPainter>
#include <QScopeGuard>
#include <QSignalBlocker>

#include <cmath>

#include <QKeyEvent>
#include <QPixmap>

namespace {
const QString kKeyFrames = QStringLiteral("Key Frames (*)");
const QString kTotalOf = QStringLiteral("A Total of");
const QString kOneFrameFromEvery = QStringLiteral("One Frame From Every");
const QString kSelectedFrames = QStringLiteral("Selected Frames");

const char kSwfHint[] =
    "Select the frames you want to export (Ctrl+click for multiple select).\n"
    "The symbols in the thumbnail captions are:\n"
    "+ (Plus Sign) - The frame has a frame label\n"
    "Number - Frame number in the file\n"
    "* (Asterisk) - The frame is a key frame";
const char kFlaHint[] =
    "Select the frames you want to export (Ctrl+click for multiple select).\n"
    "The symbols in the thumbnail captions are:\n"
    "+ (Plus Sign) - The frame has a frame label\n"
    "First Number - Scene number\n"
    "Second Number - Frame number in the scene\n"
    "Third Number - Frame number in the file\n"
    "* (Asterisk) - The frame is a key frame";

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}
} // namespace

TStep3Form::TStep3Form(QWidget *parent) : TBaseWizardForm(parent)
{
    auto *content = new QWidget;
    step.setupUi(content);
    SetStepContent(content, QStringLiteral("Frame Selection"),
                   QStringLiteral("Select the frames you want to export to the PDF file."));
    FormCreate();
}

TStep3Form::~TStep3Form()
{
    DeleteTempImages();
}

void TStep3Form::FormCreate()
{
    TBaseWizardForm::FormCreate();
    DeleteTempImages(); // pictures left by an earlier run

    if (IsSWFMode) {
        step.lblScenes->hide();
        step.cmbxScenes->hide();
        step.cmbxFrameFilter->removeItem(step.cmbxFrameFilter->findText(kKeyFrames));
        step.cmbxFrameFilter->setCurrentIndex(step.cmbxFrameFilter->findText(kOneFrameFromEvery));
        step.tlThumbnailList->setToolTip(QString::fromLatin1(kSwfHint));
    } else {
        step.cmbxScenes->OnCheckListItemToText = [this](QString &aText) { cmbxScenesCheckListItemToText(aText); };
        step.cmbxScenes->OnTextToCheckListItem = [this](QString &aItem) { cmbxScenesTextToCheckListItem(aItem); };
        step.cmbxScenes->OnChange = [this] { cmbxScenesChange(); };
        step.cmbxScenes->OnClose = [this] { cmbxScenesClose(); };
        QStringList items{QStringLiteral("All")};
        for (int i = 0; i < Scenes.size(); ++i)
            items.append(QStringLiteral("%1. %2").arg(i + 1).arg(Scenes[i].Name));
        step.cmbxScenes->SetItems(items);
        SetCurrentScene(FlashServer ? FlashServer->CurrentScene() : 0);
        step.cmbxScenes->setEnabled(Scenes.size() > 1);
        step.cmbxFrameFilter->setCurrentIndex(step.cmbxFrameFilter->findText(kKeyFrames));
        step.tlThumbnailList->setToolTip(QString::fromLatin1(kFlaHint));
    }

    connect(step.tlThumbnailList, &TThumbnailList::Click, this, &TStep3Form::tlThumbnailListClick);
    connect(step.tlThumbnailList, &TThumbnailList::DblClick, this, &TStep3Form::bitbtnPreviewClick);
    connect(step.bitbtnSelectAll, &QPushButton::clicked, this, &TStep3Form::bitbtnSelectAllClick);
    connect(step.bitbtnClearAll, &QPushButton::clicked, this, &TStep3Form::bitbtnClearAllClick);
    connect(step.bitbtnPreview, &QPushButton::clicked, this, &TStep3Form::bitbtnPreviewClick);
    connect(step.edtFrameLabel, &QLineEdit::editingFinished, this, &TStep3Form::edtFrameLabelExit);
    step.imgFrame->installEventFilter(this);
    step.edtFrameLabel->installEventFilter(this);
    connect(step.cmbxFrameFilter, &QComboBox::activated, this, &TStep3Form::cmbxFrameFilterChange);
    connect(step.spnedtFrameFilterVal, &QSpinBox::valueChanged, this, &TStep3Form::spnedtFrameFilterValChange);
    connect(step.edtSelectedFrames, &QLineEdit::textChanged, this, &TStep3Form::edtSelectedFramesChange);
    connect(step.bitbtnApplyFrameFilterVal, &QPushButton::clicked, this, &TStep3Form::bitbtnApplyFrameFilterValClick);
    connect(step.chbxShowCaptions, &QCheckBox::toggled, this, &TStep3Form::chbxShowCaptionsClick);
    step.spnedtFrameFilterVal->installEventFilter(this);
    step.edtSelectedFrames->installEventFilter(this);

    LayoutFilterValueControls();
    tlThumbnailListClick();
}

void TStep3Form::SetCurrentScene(int scene)
{
    TCheckListEdit *chooser = step.cmbxScenes;
    if (chooser->Items().isEmpty())
        return;
    for (int i = 0; i < chooser->Items().size(); ++i)
        chooser->SetChecked(i, false);
    const int item = scene >= 0 && scene + 1 < chooser->Items().size() ? scene + 1 : 0;
    chooser->SetChecked(item, true);
}

void TStep3Form::LayoutFilterValueControls()
{
    const QString filter = step.cmbxFrameFilter->currentText();
    const bool count = filter == kTotalOf || filter == kOneFrameFromEvery;
    const bool frames = filter == kSelectedFrames;
    step.spnedtFrameFilterVal->setVisible(count);
    step.lblFrames->setVisible(count);
    step.edtSelectedFrames->setVisible(frames);
    step.bitbtnApplyFrameFilterVal->setVisible(count || frames);
}

void TStep3Form::cmbxFrameFilterChange()
{
    LayoutFilterValueControls();
    if (!step.bitbtnApplyFrameFilterVal->isHidden()) {
        // A value is needed first; Apply rebuilds.
        step.bitbtnApplyFrameFilterVal->setEnabled(step.cmbxFrameFilter->currentText() != kSelectedFrames ||
                                                   !step.edtSelectedFrames->text().isEmpty());
        return;
    }
    LoadThumbnails();
}

void TStep3Form::spnedtFrameFilterValChange()
{
    step.bitbtnApplyFrameFilterVal->setEnabled(true);
}

void TStep3Form::edtSelectedFramesChange()
{
    step.bitbtnApplyFrameFilterVal->setEnabled(!step.edtSelectedFrames->text().isEmpty());
}

void TStep3Form::bitbtnApplyFrameFilterValClick()
{
    LoadThumbnails();
}

void TStep3Form::chbxShowCaptionsClick()
{
    step.tlThumbnailList->SetShowCaption(step.chbxShowCaptions->isChecked());
}

bool TStep3Form::edtSelectedFramesKeyPress(QChar key)
{
    return (key >= QLatin1Char('0') && key <= QLatin1Char('9')) || key == QLatin1Char(',') ||
           key == QLatin1Char('-') || key == QLatin1Char('\b');
}

bool TStep3Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == step.imgFrame && event->type() == QEvent::MouseButtonRelease) {
        bitbtnPreviewClick();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return TBaseWizardForm::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    QPushButton *apply = step.bitbtnApplyFrameFilterVal;
    if (watched == step.spnedtFrameFilterVal && isEnter(key)) {
        // Enter applies the value; it must not reach the window's default
        // button (Create PDF).
        step.spnedtFrameFilterVal->interpretText();
        if (apply->isEnabled())
            apply->click();
        return true;
    }
    if (watched == step.edtFrameLabel && isEnter(key)) {
        edtFrameLabelExit();
        return true;
    }
    if (watched == step.edtSelectedFrames) {
        if (isEnter(key)) {
            if (apply->isEnabled())
                apply->click();
            return true;
        }
        if (key->key() == Qt::Key_Backspace)
            return false;
        // Keys without a character (arrows, Delete, Home, ...) edit as usual.
        const QString typed = key->text();
        if (typed.isEmpty())
            return false;
        for (const QChar c : typed)
            if (!edtSelectedFramesKeyPress(c))
                return true;
        return false;
    }
    return TBaseWizardForm::eventFilter(watched, event);
}

IntArr TStep3Form::ShownScenesNow() const
{
    if (IsSWFMode)
        return Scenes.isEmpty() ? IntArr() : IntArr{0};
    const TCheckListEdit *chooser = step.cmbxScenes;
    IntArr checked;
    for (int i = 1; i < chooser->Items().size(); ++i)
        if (chooser->Checked(i))
            checked << i - 1;
    return ShownScenes(int32_t(Scenes.size()), !chooser->Items().isEmpty() && chooser->Checked(0), checked);
}

void TStep3Form::LoadThumbnails()
{
    if (!step.bitbtnApplyFrameFilterVal->isHidden())
        step.bitbtnApplyFrameFilterVal->setEnabled(false);
    step.tlThumbnailList->Clear();
    m_frames.clear();
    tlThumbnailListClick();

    const auto filter = FrameFilterFromCaption(step.cmbxFrameFilter->currentText());
    if (!filter)
        return;
    const TFrameChoice choice = ChooseFrames(Scenes, ShownScenesNow(), *filter, step.spnedtFrameFilterVal->value(),
                                             step.edtSelectedFrames->text());
    if (!choice.Error.isEmpty()) {
        step.tlThumbnailList->SetEmptyText(QString());
        ShowErrorMessage(choice.Error);
        step.edtSelectedFrames->setFocus();
        return;
    }
    step.tlThumbnailList->SetEmptyText(EmptyListText());
    if (choice.Frames.isEmpty())
        return;

    TProgressForm *progress = Forms.progress;
    if (progress) {
        progress->setWindowTitle(QStringLiteral("Loading Frames"));
        progress->show();
    }
    if (!IsSWFMode && FlashServer)
        FlashServer->SetImageResolutionAndQuality(72, 50);
    const auto finish = qScopeGuard([&] {
        if (progress)
            progress->close();
        tlThumbnailListClick();
    });
    const int total = int(choice.Frames.size());
    for (int j = 0; j < total; ++j) {
        const TChosenFrame &c = choice.Frames[j];
        TFrame frame;
        frame.FileName = FrameImageFileName(c.MovieFrame);
        frame.FrameIndex = c.FrameIndex;
        frame.SceneIndex = c.SceneIndex;
        frame.IsKeyFrame = !IsSWFMode && c.IsKeyFrame;
        // The authoring tool exports a frame once a run: its picture stays.
        if (!IsSWFMode && FlashServer && !QFileInfo::exists(frame.FileName)) {
            FlashServer->ExportFrame(c.SceneIndex, c.FrameIndex);
            TakeExportedImage(c.MovieFrame);
        }
        m_frames << frame;
        step.tlThumbnailList->AddThumbnail(frame.FileName, FrameCaption(Scenes, c, IsSWFMode));
        if (progress) {
            progress->SetProgress(int(std::lround((j + 1) * 100.0 / total)));
            if (progress->Cancelled)
                break;
        }
    }
}

QString TStep3Form::EmptyListText() const
{
    int frames = 0;
    for (const int scene : ShownScenesNow())
        frames += Scenes.value(scene).FrameCount;
    if (frames > 0)
        return QStringLiteral("No frame matches the filter; choose another filter above.");
    if (IsSWFMode)
        return QStringLiteral("No frames are captured yet; go Back and capture the movie's frames.");
    return QStringLiteral("The chosen scenes have no frames; choose other scenes.");
}

void TStep3Form::StoreSelection()
{
    TFrameArr selected;
    for (int i = 0; i < m_frames.size() && i < step.tlThumbnailList->count(); ++i)
        if (step.tlThumbnailList->Selected(i))
            selected << m_frames[i];
    // Nothing selected keeps the last selection: Next and Create PDF are off.
    if (FrameSelection && !selected.isEmpty())
        FrameSelection->SetFrames(selected);
}

void TStep3Form::bitbtnNextClick()
{
    StoreSelection();
    TBaseWizardForm::bitbtnNextClick();
    if (TPagePreviewForm *preview = Forms.pagePreview) {
        if (preview->isHidden())
            preview->show();
        preview->RefreshPreview(TSheetSetting::Other);
    }
    if (Forms.step5)
        Forms.step5->PDFFileSizeChange();
}

void TStep3Form::bitbtnCreatePDFClick()
{
    StoreSelection();
    if (PDFCreator && PDFCreator->CalculateLayout(TSheetSetting::Other))
        TBaseWizardForm::bitbtnCreatePDFClick();
}

void TStep3Form::bitbtnSelectAllClick()
{
    {
        const QSignalBlocker quiet(step.tlThumbnailList);
        step.tlThumbnailList->selectAll();
    }
    tlThumbnailListClick();
}

void TStep3Form::bitbtnClearAllClick()
{
    {
        const QSignalBlocker quiet(step.tlThumbnailList);
        step.tlThumbnailList->clearSelection();
    }
    tlThumbnailListClick();
}

void TStep3Form::tlThumbnailListClick()
{
    QPixmap blank(step.imgFrame->size());
    blank.fill(step.imgFrame->palette().color(QPalette::Button));

    const int selected = step.tlThumbnailList->SelCount();
    const int count = step.tlThumbnailList->count();
    const int focused = DetailsIndex();
    if (selected == 0) {
        if (Forms.imagePreview)
            Forms.imagePreview->close();
        step.lblFrameNum->clear();
        step.edtFrameLabel->clear();
    } else if (focused >= 0 && focused < m_frames.size()) {
        // The focused frame at the largest size the picture holds, centred.
        const TFrame &frame = m_frames[focused];
        const QImage picture = platform::readJpegFile(frame.FileName, step.imgFrame->size());
        if (!picture.isNull()) {
            const double scale =
                double(step.imgFrame->width()) / std::max(picture.width(), picture.height());
            const QSize drawn(int(std::lround(picture.width() * scale)), int(std::lround(picture.height() * scale)));
            QPainter painter(&blank);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(QPoint((blank.width() - drawn.width()) / 2, (blank.height() - drawn.height()) / 2),
                                    drawn),
                              picture);
        }
        step.lblFrameNum->setText(step.tlThumbnailList->Caption(focused));
        if (Forms.imagePreview)
            Forms.imagePreview->SetImageFile(frame.FileName);
        step.edtFrameLabel->setText(SceneLabelOf(frame));
    }
    step.imgFrame->setPixmap(blank);

    const bool any = selected > 0;
    for (QWidget *w : {static_cast<QWidget *>(step.lblFrameLabel), static_cast<QWidget *>(step.edtFrameLabel),
                       static_cast<QWidget *>(step.bitbtnPreview), static_cast<QWidget *>(step.imgFrame),
                       static_cast<QWidget *>(bitbtnNext()), static_cast<QWidget *>(bitbtnCreatePDF())})
        w->setEnabled(any);
    // The picture's hint offers a preview only when there is one.
    step.imgFrame->setToolTip(any ? QStringLiteral("Click to see actual size preview") : QString());
    step.lblSelectedNum->setText(selected == 1 ? QStringLiteral("1 frame from %1 selected").arg(count)
                                               : QStringLiteral("%1 frames from %2 selected").arg(selected).arg(count));
}

QString TStep3Form::SceneLabelOf(const TFrame &frame) const
{
    if (frame.SceneIndex < 0 || frame.SceneIndex >= Scenes.size())
        return QString();
    return Scenes[frame.SceneIndex].FrameLabels.value(frame.FrameIndex);
}

int TStep3Form::DetailsIndex() const
{
    const TThumbnailList *list = step.tlThumbnailList;
    const int focused = list->ItemIndex();
    if (focused >= 0 && focused < list->count() && list->Selected(focused))
        return focused;
    // Select All leaves no focused frame: the first selected one stands in.
    for (int i = 0; i < list->count(); ++i)
        if (list->Selected(i))
            return i;
    return focused;
}

void TStep3Form::edtFrameLabelExit()
{
    const int focused = DetailsIndex();
    if (focused < 0 || focused >= m_frames.size())
        return;
    const TFrame &frame = m_frames[focused];
    if (frame.SceneIndex < 0 || frame.SceneIndex >= Scenes.size())
        return;
    QStringList &labels = Scenes[frame.SceneIndex].FrameLabels;
    if (frame.FrameIndex < 0 || frame.FrameIndex >= labels.size())
        return;
    const QString label = step.edtFrameLabel->text();
    labels[frame.FrameIndex] = label;
    QString caption = step.tlThumbnailList->Caption(focused);
    if (!label.isEmpty() && !caption.startsWith(QLatin1Char('+')))
        caption.prepend(QStringLiteral("+ "));
    else if (label.isEmpty() && caption.startsWith(QLatin1Char('+')))
        caption.remove(0, 2);
    step.tlThumbnailList->SetCaption(focused, caption);
    step.lblFrameNum->setText(caption);
}

void TStep3Form::bitbtnPreviewClick()
{
    if (Forms.imagePreview && step.bitbtnPreview->isEnabled())
        Forms.imagePreview->show();
}

void TStep3Form::hideEvent(QHideEvent *event)
{
    if (Forms.imagePreview && Forms.imagePreview->isVisible())
        Forms.imagePreview->close();
    TBaseWizardForm::hideEvent(event);
}

void TStep3Form::cmbxScenesChange()
{
    TCheckListEdit *chooser = step.cmbxScenes;
    const int clicked = chooser->DropItemIndex();
    // Only the user's clicks in the open list are corrected; the
    // corrections below come back here and are let through.
    if (clicked < 0 || m_correctingScenes)
        return;
    m_correctingScenes = true;
    const auto done = qScopeGuard([this] { m_correctingScenes = false; });
    const int count = int(chooser->Items().size());
    bool any = false;
    for (int i = 0; i < count; ++i)
        any = any || chooser->Checked(i);
    if (!any) {
        chooser->SetChecked(clicked, true); // one item stays checked
    } else if (clicked != 0) {
        chooser->SetChecked(0, false);
    } else {
        for (int i = 1; i < count; ++i)
            chooser->SetChecked(i, false);
    }
}

void TStep3Form::cmbxScenesClose()
{
    LoadThumbnails();
}

void TStep3Form::cmbxScenesCheckListItemToText(QString &aText)
{
    // "2. Main" shows as its scene number.
    if (!aText.isEmpty() && aText.front().isDigit())
        aText = aText.left(aText.indexOf(QLatin1Char('.')));
}

void TStep3Form::cmbxScenesTextToCheckListItem(QString &aItem)
{
    // A number stands for the item of that index.
    if (aItem.isEmpty() || !aItem.front().isDigit())
        return;
    bool ok = false;
    const int index = aItem.toInt(&ok);
    if (ok && index >= 0 && index < step.cmbxScenes->Items().size())
        aItem = step.cmbxScenes->Items()[index];
}
