#include "movie/FlashServer.h"

#include "core/Global.h"

#include <QWidget>

QString TFlashServer::LibraryPath(const QString &programPath)
{
    return ChangeFileExt(programPath, QStringLiteral(".so"));
}

std::unique_ptr<TFlashServer> TFlashServer::Create(const QString &programPath, int32_t currentScene,
                                                   int32_t stageWidth, int32_t stageHeight,
                                                   platform::AppHandle authoringWindow)
{
    auto library = platform::Module::load(LibraryPath(programPath));
    if (!library)
        return nullptr;
    auto call = reinterpret_cast<CallFlashFunctionProc>(library->symbol("CallFlashFunction"));
    if (!call)
        return nullptr;
    auto server = std::make_unique<TFlashServer>(call, currentScene, stageWidth, stageHeight, authoringWindow);
    server->m_library = std::move(library);
    return server;
}

TFlashServer::TFlashServer(CallFlashFunctionProc call, int32_t currentScene, int32_t stageWidth,
                           int32_t stageHeight, platform::AppHandle authoringWindow)
    : m_call(call), m_currentScene(currentScene), m_stageWidth(stageWidth), m_stageHeight(stageHeight),
      m_authoringWindow(authoringWindow)
{
}

TFlashServer::~TFlashServer() = default;

void TFlashServer::SetImageResolutionAndQuality(int32_t resolution, uint8_t quality)
{
    if (resolution == m_lastResolution && quality == m_lastQuality)
        return;
    m_lastResolution = resolution;
    m_lastQuality = quality;
    const int32_t args[3] = {ScaledPixels(m_stageWidth, resolution), ScaledPixels(m_stageHeight, resolution),
                             int32_t(quality)};
    m_call("setImageResolutionAndQuality", args, 3);
}

void TFlashServer::ExportFrame(int32_t scene, int32_t frame)
{
    if (scene != m_currentScene) {
        m_currentScene = scene;
        m_call("setScene", &scene, 1);
    }
    m_call("getFrame", &frame, 1);
}

void TFlashServer::CenterOnAuthoringTool(QWidget *form)
{
    auto client = platform::makeEndpointClient();
    const auto rect = client->rectangle(m_authoringWindow);
    if (!rect || rect->isNull())
        return;
    // Integer halves rounded toward zero, as the window arithmetic was.
    const int left = (rect->left() + rect->left() + rect->width() - form->width()) / 2;
    const int top = (rect->top() + rect->top() + rect->height() - form->height()) / 2;
    form->move(left, top);
}
