#pragma once
// authoring-host's command line.
#include <QString>
#include <QStringList>

#include <optional>

namespace authoring {

struct HostOptions {
    QString movie;
    QString script;         // as given: a path or a name in the commands folder
    QString extensionsFolder;
    QString commandsFolder;
    QString keepPublishedFolder;
    bool help = false;
};

// The arguments after the program's name; nothing and one sentence in
// *error when they make no sense. Folders default to programFolder.
std::optional<HostOptions> parseHostCommandLine(const QStringList &args, const QString &programFolder,
                                                QString *error);

// The script a name or path means: a path as it is, else the name, with
// ".jsfl" added when missing, in the commands folder. Empty when there is
// no such file.
QString findCommandScript(const QString &script, const QString &commandsFolder);

QString hostUsage();

} // namespace authoring
