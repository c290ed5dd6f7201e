#pragma once
// The wizard's command line as runUI builds it, and starting the program.
#include "platform/Endpoint.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace extension {

struct LaunchValues {
    QString program;
    QString document;
    int32_t stageWidth = 0;
    int32_t stageHeight = 0;
    QString sceneList;
    int32_t currentScene = 0;
    uint32_t hostWindow = 0;
};

// "Kavrel.so" -> "Kavrel": the last three characters go.
QString wizardPathOf(const QString &libraryPath);

// Every value in double quotes, one blank between.
QString formatCommandLine(const LaunchValues &values);

// The program's argument vector, program first: the command line split by
// the wizard's own rule.
QStringList wizardArguments(const LaunchValues &values);

// Starts the program detached, so no zombie is left behind; its process id,
// or 0 and *error (the system's text).
platform::AppHandle startWizard(const QStringList &arguments, QString *error);

} // namespace extension
