#include "wizard/BaseWizardFrm.h"

#include "core/Global.h"
#include "sheet/PDFCreator.h"
#include "wizard/Artwork.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QShowEvent>
#include <QUrl>

QVector<TBaseWizardForm *> StepForms;
std::function<bool(const QString &, bool)> OfferMovieToCaptureStep;

namespace {
QPointer<QWidget> currentStep;

// Swallows tool tips while hints are off.
class HintSwitch : public QObject {
public:
    bool enabled = true;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (!enabled && e->type() == QEvent::ToolTip)
            return true;
        return QObject::eventFilter(o, e);
    }
};
HintSwitch *hintSwitch()
{
    static HintSwitch *s = [] {
        auto *h = new HintSwitch;
        qApp->installEventFilter(h);
        return h;
    }();
    return s;
}

// Header and bottom bar around a step's content.
constexpr int kContentTop = 55;
constexpr int kButtonBar = 40;
} // namespace

void SetHintsEnabled(bool enabled)
{
    hintSwitch()->enabled = enabled;
}

bool HintsEnabled()
{
    return hintSwitch()->enabled;
}

TBaseWizardForm::TBaseWizardForm(QWidget *parent) : QDialog(parent)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    ui.imgCornerLogo->setPixmap(CornerLogo());
    connect(ui.bitbtnBack, &QPushButton::clicked, this, &TBaseWizardForm::bitbtnBackClick);
    connect(ui.bitbtnNext, &QPushButton::clicked, this, &TBaseWizardForm::bitbtnNextClick);
    connect(ui.bitbtnCreatePDF, &QPushButton::clicked, this, &TBaseWizardForm::bitbtnCreatePDFClick);
    connect(ui.bitbtnClose, &QPushButton::clicked, this, &TBaseWizardForm::bitbtnCloseClick);
    setFixedSize(492, 420);
    hintSwitch();
}

TBaseWizardForm::~TBaseWizardForm()
{
    for (auto &f : StepForms)
        if (f == this)
            f = nullptr;
}

void TBaseWizardForm::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
    ui.pnlTop->resize(width, ui.pnlTop->height());
    ui.imgCornerLogo->move(width - ui.imgCornerLogo->width(), 0);
    ui.bvlTop->resize(width, ui.bvlTop->height());
    ui.bvlBottom->setGeometry(0, height - 40, width, 2);
    const int y = height - 31;
    ui.bitbtnBack->move(width - 343, y);
    ui.bitbtnNext->move(width - 263, y);
    ui.bitbtnCreatePDF->move(width - 183, y);
    ui.bitbtnClose->move(width - 87, y);
}

void TBaseWizardForm::SetStepContent(QWidget *content, const QString &title, const QString &description)
{
    content->setParent(this);
    setObjectName(content->objectName());
    content->setObjectName(QStringLiteral("pnlStepContent"));
    m_tag = content->property("Tag").toInt();
    SetClientSize(content->width(), content->height() + kContentTop + kButtonBar);
    content->move(0, kContentTop);
    content->show();
    ui.lblActionCaption->setText(title);
    ui.lblActionDescription->setText(description);
}

void TBaseWizardForm::FormCreate()
{
    if (StepForms.isEmpty())
        StepForms.resize(IsSWFMode ? 7 : 6);
    if (!IsSWFMode && m_tag > 2)
        --m_tag;
    if (m_tag >= 1 && m_tag <= StepForms.size())
        StepForms[m_tag - 1] = this;
    setWindowTitle(QStringLiteral("%1 - step %2 of %3").arg(AppTitle).arg(m_tag).arg(StepForms.size()));
    ui.bitbtnBack->setEnabled(m_tag >= 2);
    ui.bitbtnNext->setEnabled(m_tag < StepForms.size());
    setAcceptDrops(IsSWFMode);
}

void TBaseWizardForm::navigate(int targetIndex, QPushButton *(TBaseWizardForm::*button)() const,
                               QPushButton *clicked)
{
    if (targetIndex < 0 || targetIndex >= StepForms.size() || !StepForms[targetIndex])
        return;
    TBaseWizardForm *target = StepForms[targetIndex];
    // A mouse click keeps the pointer on the same button of the next window;
    // a keyboard click leaves the pointer alone.
    const QPoint mouse = QCursor::pos();
    QWidget *under = QApplication::widgetAt(mouse);
    const bool byMouse = under == clicked && clicked->isEnabled();
    const QPoint relative = clicked->mapFromGlobal(mouse);
    ShowWizardStep(target);
    if (byMouse)
        QCursor::setPos((target->*button)()->mapToGlobal(relative));
}

void TBaseWizardForm::bitbtnNextClick()
{
    navigate(m_tag, &TBaseWizardForm::bitbtnNext, ui.bitbtnNext);
}

void TBaseWizardForm::bitbtnBackClick()
{
    navigate(m_tag - 2, &TBaseWizardForm::bitbtnBack, ui.bitbtnBack);
}

void TBaseWizardForm::bitbtnCreatePDFClick()
{
    if (PDFCreator)
        PDFCreator->CreatePDF();
}

void TBaseWizardForm::bitbtnCloseClick()
{
    close();
}

void TBaseWizardForm::reject()
{
    close(); // Esc ends the wizard like the Close button
}

void TBaseWizardForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    QCoreApplication::quit();
}

void TBaseWizardForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (IsSWFMode && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TBaseWizardForm::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        paths << url.toLocalFile();
    event->acceptProposedAction();
    FilesDropped(paths);
}

void TBaseWizardForm::FilesDropped(const QStringList &paths)
{
    if (!IsSWFMode || paths.isEmpty())
        return;
    const QString path = paths.first().left(260);
    if (!path.isEmpty() && OfferMovieToCaptureStep)
        OfferMovieToCaptureStep(path, true);
}

void TBaseWizardForm::AppendCurrentEntryToHistoryComboBox(QComboBox *sender)
{
    AddToHistory(sender, sender->currentText());
}

void TBaseWizardForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_placed || event->spontaneous())
        return;
    m_placed = true;
    QWidget *main = StepForms.value(0);
    if (!main || main == this)
        return;
    move(main->frameGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
}

void ShowWizardStep(QWidget *form)
{
    QWidget *active = QApplication::activeWindow();
    if (!active || !StepForms.contains(qobject_cast<TBaseWizardForm *>(active)))
        active = currentStep.data();
    form->show();
    form->raise();
    form->activateWindow();
    currentStep = form;
    if (active && active != form)
        active->hide();
}

QWidget *CurrentWizardStep()
{
    return currentStep.data();
}

void AddToHistory(QComboBox *combo, const QString &text)
{
    if (text.isEmpty())
        return;
    const int existing = combo->findText(text, Qt::MatchFixedString);
    if (existing >= 0)
        combo->removeItem(existing);
    const int at = (combo->count() > 0 && combo->itemText(0).isEmpty()) ? 1 : 0;
    combo->insertItem(at, text);
    if (combo->count() >= 9)
        combo->removeItem(8);
    combo->setCurrentIndex(at);
}
