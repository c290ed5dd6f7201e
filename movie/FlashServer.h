#pragma once
// The wizard's one client of the authoring tool (FLA mode): it loads the
// extension library into this process and posts requests through it.
#include "platform/Endpoint.h"
#include "platform/Module.h"

#include <QString>
#include <cstdint>
#include <memory>

class QWidget;

class TFlashServer {
public:
    using CallFlashFunctionProc = void (*)(const char *name, const int32_t *args, uint32_t count);

    // Loads the library beside the program (its path with the extension
    // changed to ".so") and binds CallFlashFunction. nullptr when either is
    // missing: the program then ends without a message.
    static std::unique_ptr<TFlashServer> Create(const QString &programPath, int32_t currentScene,
                                                int32_t stageWidth, int32_t stageHeight,
                                                platform::AppHandle authoringWindow);
    // For tests: a server over any call entry.
    TFlashServer(CallFlashFunctionProc call, int32_t currentScene, int32_t stageWidth, int32_t stageHeight,
                 platform::AppHandle authoringWindow);
    // Unloading the library posts "exit" and waits for the authoring tool.
    ~TFlashServer();

    // Asks for pictures of the stage at resolution dpi and the quality; sent
    // only when either differs from the last request.
    void SetImageResolutionAndQuality(int32_t resolution, uint8_t quality);
    // Returns when the authoring tool has written the frame to the export
    // picture file.
    void ExportFrame(int32_t scene, int32_t frame);
    // Places form over the middle of the authoring tool's main window; leaves
    // it where it is when that window cannot be asked.
    void CenterOnAuthoringTool(QWidget *form);

    int32_t CurrentScene() const { return m_currentScene; }

    // The library's path for a program path.
    static QString LibraryPath(const QString &programPath);

private:
    std::unique_ptr<platform::Module> m_library;
    CallFlashFunctionProc m_call = nullptr;
    int32_t m_currentScene;
    int32_t m_lastResolution = 0;
    uint8_t m_lastQuality = 0;
    int32_t m_stageWidth, m_stageHeight;
    platform::AppHandle m_authoringWindow;
};
