// The wizard program: start-up in its fixed order, the message loop, then
// saving the settings and releasing the shared model.
#include "core/Global.h"
#include "core/Startup.h"
#include "core/UseHTMLHelp.h"
#include "movie/FlashServer.h"
#include "platform/Endpoint.h"
#include "platform/FileVersion.h"
#include "platform/HtmlHelp.h"
#include "platform/KeyStore.h"
#include "platform/MemoryPolicy.h"
#include "platform/PlatformError.h"
#include "platform/Termination.h"
#include "sheet/PDFCreator.h"
#include "wizard/Settings.h"
#include "wizard/Step1Frm.h"
#include "wizard/WizardForms.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace {
bool haveDisplay()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

// Tool tips stay up ten seconds.
void setHintTimes()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        for (QWidget *w : top->findChildren<QWidget *>())
            w->setToolTipDuration(10000);
}

const char kUsage[] =
    "Usage:\n"
    "  Kavrel [MOVIE.swf]\n"
    "      Opens the wizard, on the movie when one is given: capture its frames,\n"
    "      choose them, lay out the sheet and write the PDF file.\n"
    "  Kavrel DOCUMENT WIDTH HEIGHT SCENES CURRENT-SCENE WINDOW\n"
    "      The launch by the authoring tool's command (FLA mode): the document's\n"
    "      path, its stage in pixels, its scene list (fields ended by control\n"
    "      characters), the current scene from 0 and the tool's window. It is\n"
    "      written by the tool, not typed.\n"
    "  Kavrel --help\n"
    "      Prints this text.\n"
    "\n"
    "A second Kavrel hands its movie to the wizard already running.\n"
    "Sheets without the wizard: kavrel-sheet --help.\n";

void bringForward()
{
    QWidget *w = CurrentWizardStep();
    if (!w)
        return;
    if (w->isMinimized())
        w->showNormal();
    w->show();
    w->raise();
    w->activateWindow();
}
} // namespace

int main(int argc, char *argv[])
{
    // The launch arguments as given (empty ones dropped), before Qt takes
    // the options it knows.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        if (argv[i][0] != '\0')
            args << QString::fromLocal8Bit(argv[i]);
    const QString rawCommandLine = JoinCommandLine(args);

    if (args.size() == 2 && (args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!haveDisplay()) {
        std::fputs("Tessory's wizard needs a graphical display: set DISPLAY (X11) or WAYLAND_DISPLAY, "
                   "or run it under xvfb-run.\n",
                   stderr);
        return 2;
    }

    platform::keepFreedMemory();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessory"));
    QApplication::setQuitOnLastWindowClosed(false); // closing a step ends the program, hiding one does not

    TUseHTMLHelp help(platform::makeHtmlHelp());
    app.installEventFilter(&help);

    const QString programPath = platform::ownExecutablePath();
    std::unique_ptr<TFlashServer> flashServer;
    try {
        InitSharedModel(args, rawCommandLine, programPath);
        if (!IsSWFMode) {
            flashServer = TFlashServer::Create(programPath, ParseLaunchInteger(args[5], QStringLiteral("current scene")),
                                               MovieWidth, MovieHeight, ParseLaunchUnsigned(args[6], QStringLiteral("window handle")));
            if (!flashServer) {
                FreeFrameSelection();
                return 1; // without the extension library there is nothing to export from
            }
            FlashServer = flashServer.get();
        }
        PDFCreator = new TPDFCreator(FrameSelection);
        InitTempImageBase();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        QMessageBox::critical(nullptr, QStringLiteral("Tessory"), QString::fromUtf8(e.what()));
        return 1;
    }

    platform::EndpointServer endpoint;
    QString endpointError;
    if (!endpoint.listen(&endpointError)) {
        QMessageBox::critical(nullptr, QStringLiteral("Tessory"), endpointError);
        return 1;
    }
    auto endpointClient = platform::makeEndpointClient();

    TStep1Form *mainForm = CreateMainForm(TAMInstanceManager::systemServices(endpointClient.get()));
    endpoint.onActivate = bringForward;
    endpoint.onCopyData = [mainForm](quint32 id, const QByteArray &data) {
        return mainForm->AMInstanceManager().HandleCopyData(id, data);
    };
    endpoint.onMessage = [mainForm](int param) { return mainForm->AMInstanceManager().HandleMessage(param); };
    endpoint.onRectangle = [] {
        QWidget *w = CurrentWizardStep();
        return w ? w->frameGeometry() : QRect();
    };

    bool goOn = false;
    try {
        goOn = mainForm->RunInstanceCheck(rawCommandLine);
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Tessory"), QString::fromUtf8(e.what()));
    }
    if (!goOn) {
        DestroyForms();
        return 0;
    }

    CreateRemainingForms();
    setHintTimes();
    auto key = platform::openTessoryKey();
    LoadSettings(*key);
    if (IsSWFMode && args.size() >= 2 && OfferMovieToCaptureStep)
        OfferMovieToCaptureStep(args[1], false); // a refusal is shown by the capture step
    ShowWizardStep(mainForm);
    platform::quitOnTerminationSignals();

    const int result = app.exec();

    if (!SaveSettings(*key))
        std::fprintf(stderr, "Tessory: %s\n", qPrintable(key->errorString()));
    try {
        mainForm->AMInstanceManager().Stop();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    DestroyForms();

    FreeFrameSelection();
    FlashServer = nullptr;
    flashServer.reset();
    delete PDFCreator;
    PDFCreator = nullptr;
    ClearSharedModel();
    return result;
}
