#pragma once
// Builds the whole wizard in one mode, as the program does, with in-process
// twins for the single-instance services.
#include "core/Global.h"
#include "core/InstanceManager.h"
#include "core/Startup.h"
#include "sheet/PDFCreator.h"
#include "wizard/BaseWizardFrm.h"
#include "wizard/Step1Frm.h"
#include "wizard/WizardForms.h"

#include <QUuid>

struct NoPeers : platform::IEndpointClient {
    bool activate(platform::AppHandle) override { return false; }
    std::optional<int> copyData(platform::AppHandle, quint32, const QByteArray &) override { return std::nullopt; }
    std::optional<int> message(platform::AppHandle, int) override { return std::nullopt; }
    std::optional<QRect> rectangle(platform::AppHandle) override { return std::nullopt; }
    bool waitForInputIdle(platform::AppHandle, int) override { return false; }
};

inline void BuildWizard(bool swfMode, int sceneCount = 2)
{
    IsSWFMode = swfMode;
    AppTitle = QStringLiteral("Tessory v1.0");
    Scenes.clear();
    if (swfMode) {
        Scenes << TSceneInfo();
    } else {
        MovieFileName = QStringLiteral("/docs/intro.fla");
        MovieWidth = 550;
        MovieHeight = 400;
        int first = 0;
        for (int i = 0; i < sceneCount; ++i) {
            Scenes << TSceneInfo{QStringLiteral("Scene %1").arg(i + 1), 10, first, {0, 5}, QStringList(10, QString())};
            first += 10;
        }
    }
    FrameSelection = new TFrameSelection;
    PDFCreator = new TPDFCreator(FrameSelection);
    static NoPeers noPeers;
    TAMInstanceManager::Services services;
    services.openLock = [](const QString &name) { return platform::openNamedLock(name); };
    services.openBlock = [](const QString &name, size_t size, QString *) {
        return platform::openMemorySharedBlock(name, size);
    };
    services.client = &noPeers;
    services.ownHandle = 1;
    CreateMainForm(services);
    CreateRemainingForms();
}

inline void TearDownWizard()
{
    DestroyForms();
    delete PDFCreator;
    PDFCreator = nullptr;
    FreeFrameSelection();
    ClearSharedModel();
    MovieWidth = MovieHeight = 0;
}
