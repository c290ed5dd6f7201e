#include "wizard/Step1Frm.h"

#include "core/Global.h"
#include "movie/FlashServer.h"
#include "wizard/Step3Frm.h"

#include <QGuiApplication>
#include <QScreen>

static const char kDescription[] =
    "This wizard helps you format and export frames\n"
    "from Flash to a PDF file.\n"
    "\n"
    "\n"
    "To export frames from a FLA file:\n"
    "  1. Start Macromedia Flash\n"
    "  2. Select Commands -> Tessory - Export to PDF.\n"
    "\n"
    "To export frames from a SWF file:\n"
    "  Choose Tessory in the application menu,\n"
    "  or run the Kavrel command.";

TStep1Form::TStep1Form(TAMInstanceManager::Services instanceServices, QWidget *parent)
    : TBazeWizardInfoForm(parent),
      m_instanceManager(std::make_unique<TAMInstanceManager>(std::move(instanceServices)))
{
    auto *content = new QWidget;
    step.setupUi(content);
    SetInfoWidth(content->width());
    SetInfoContent(content, QStringLiteral("Welcome to Tessory"), QString::fromLatin1(kDescription),
                   QStringLiteral("To continue, click Next."));
    m_instanceManager->UniqueString = QStringLiteral("{68DE5185-3F2A-4666-B5AD-1AD447C67E94}");
    m_instanceManager->MaxInstances = 1;
    m_instanceManager->Active = true;
    m_instanceManager->OnNewInstance = [this](platform::AppHandle sender, const QStringList &list, bool &allow) {
        AMInstanceManagerNewInstance(sender, list, allow);
    };
    connect(step.chbxShowHints, &QCheckBox::clicked, this, &TStep1Form::chbxShowHintsClick);
    FormCreate();
}

TStep1Form::~TStep1Form() = default;

bool TStep1Form::RunInstanceCheck(const QString &rawCommandLine)
{
    return m_instanceManager->Start(rawCommandLine);
}

void TStep1Form::FormCreate()
{
    TBaseWizardForm::FormCreate();
    if (!IsSWFMode && FlashServer) {
        FlashServer->CenterOnAuthoringTool(this);
    } else if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TStep1Form::bitbtnNextClick()
{
    TBaseWizardForm::bitbtnNextClick();
    if (!IsSWFMode)
        if (auto *frames = qobject_cast<TStep3Form *>(StepForms.value(1)))
            frames->LoadThumbnails();
}

void TStep1Form::chbxShowHintsClick()
{
    SetHintsEnabled(step.chbxShowHints->isChecked());
}

void TStep1Form::AMInstanceManagerNewInstance(platform::AppHandle, const QStringList &commandLine, bool &)
{
    if (IsSWFMode && commandLine.size() >= 2 && OfferMovieToCaptureStep)
        OfferMovieToCaptureStep(commandLine[1], true);
}
