#include "engines/authoring/CommandLine.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace authoring {

std::optional<HostOptions> parseHostCommandLine(const QStringList &args, const QString &programFolder,
                                                QString *error)
{
    HostOptions o;
    const auto fail = [&](const QString &why) -> std::optional<HostOptions> {
        *error = why + QStringLiteral(" See authoring-host --help.");
        return std::nullopt;
    };
    const struct {
        const char *name;
        QString *value;
    } valued[] = {{"--run", &o.script},
                  {"--extensions", &o.extensionsFolder},
                  {"--commands", &o.commandsFolder},
                  {"--keep-published", &o.keepPublishedFolder}};
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.help = true;
            return o;
        }
        if (!arg.startsWith(u'-') || arg == QLatin1String("-")) {
            if (!o.movie.isEmpty())
                return fail(QStringLiteral("One movie at a time: \"%1\" and \"%2\" were given.").arg(o.movie, arg));
            o.movie = arg;
            continue;
        }
        const QString name = arg.section(u'=', 0, 0);
        const auto option = std::find_if(std::begin(valued), std::end(valued),
                                         [&](const auto &v) { return name == QLatin1String(v.name); });
        if (option == std::end(valued))
            return fail(QStringLiteral("Unknown option \"%1\".").arg(arg));
        QString value;
        if (arg.contains(u'='))
            value = arg.section(u'=', 1);
        else if (i + 1 < args.size())
            value = args[++i];
        if (value.isEmpty())
            return fail(QStringLiteral("The option %1 needs a value.").arg(name));
        if (!option->value->isEmpty())
            return fail(QStringLiteral("The option %1 was given twice.").arg(name));
        *option->value = value;
    }
    for (QString *folder : {&o.extensionsFolder, &o.commandsFolder}) {
        if (folder->isEmpty())
            *folder = programFolder;
        else if (!QFileInfo(*folder).isDir())
            return fail(QStringLiteral("The folder \"%1\" does not exist.").arg(*folder));
    }
    if (!o.keepPublishedFolder.isEmpty() && !QDir().mkpath(o.keepPublishedFolder))
        return fail(QStringLiteral("The folder \"%1\" cannot be created.").arg(o.keepPublishedFolder));
    if (!o.script.isEmpty() && findCommandScript(o.script, o.commandsFolder).isEmpty())
        return fail(QStringLiteral("There is no command script \"%1\", neither as a path nor in \"%2\".")
                        .arg(o.script, o.commandsFolder));
    return o;
}

QString findCommandScript(const QString &script, const QString &commandsFolder)
{
    if (QFileInfo(script).isFile())
        return QFileInfo(script).absoluteFilePath();
    if (script.contains(u'/'))
        return {};
    const QDir folder(commandsFolder);
    for (const QString &name : {script, script + QStringLiteral(".jsfl")})
        if (QFileInfo(folder.filePath(name)).isFile())
            return folder.absoluteFilePath(name);
    return {};
}

QString hostUsage()
{
    return QStringLiteral(
        "Usage: authoring-host [MOVIE.swf] [--run SCRIPT] [--extensions DIR] [--commands DIR]\n"
        "                      [--keep-published DIR] [--help]\n"
        "The stand-in for the authoring tool: opens MOVIE.swf as its document, loads the extension\n"
        "libraries (*.so exporting MM_InitWrapper) of its own folder and lists the command scripts\n"
        "(*.jsfl) of its own folder in the menu Commands.\n"
        "  --run SCRIPT           run the command script (a path, or a name in the commands folder)\n"
        "                         once the window is shown, then quit: exit 0 when it ended normally,\n"
        "                         1 with its error on standard error\n"
        "  --extensions DIR       load the extension libraries of DIR instead\n"
        "  --commands DIR         take the command scripts from DIR instead\n"
        "  --keep-published DIR   also copy every published picture into DIR as published-0001.jpg, ...\n"
        "  --help                 show this text\n");
}

} // namespace authoring
