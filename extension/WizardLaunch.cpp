#include "extension/WizardLaunch.h"

#include "core/Startup.h"

#include <QProcess>

namespace extension {

QString wizardPathOf(const QString &libraryPath)
{
    return libraryPath.size() >= 3 ? libraryPath.chopped(3) : QString();
}

QString formatCommandLine(const LaunchValues &v)
{
    return QStringLiteral("\"%1\" \"%2\" \"%3\" \"%4\" \"%5\" \"%6\" \"%7\"")
        .arg(v.program, v.document, QString::number(v.stageWidth), QString::number(v.stageHeight), v.sceneList,
             QString::number(v.currentScene), QString::number(v.hostWindow));
}

QStringList wizardArguments(const LaunchValues &v)
{
    const QStringList values{v.program,   v.document, QString::number(v.stageWidth), QString::number(v.stageHeight),
                             v.sceneList, QString::number(v.currentScene), QString::number(v.hostWindow)};
    // A double quote in a path (Linux allows it) would end its stretch and
    // cut the path apart; such values go to the program as they are, with
    // the empty ones left out as the splitting rule leaves them out.
    for (const QString &value : values) {
        if (value.contains(QLatin1Char('"'))) {
            QStringList direct;
            for (const QString &each : values)
                if (!each.isEmpty())
                    direct << each;
            return direct;
        }
    }
    return SplitCommandLine(formatCommandLine(v));
}

platform::AppHandle startWizard(const QStringList &arguments, QString *error)
{
    if (arguments.isEmpty()) {
        if (error)
            *error = QStringLiteral("No program to start.");
        return 0;
    }
    QProcess process;
    process.setProgram(arguments.first());
    process.setArguments(arguments.mid(1));
    qint64 pid = 0;
    if (!process.startDetached(&pid) || pid <= 0) {
        if (error)
            *error = process.errorString();
        return 0;
    }
    return pid;
}

} // namespace extension
