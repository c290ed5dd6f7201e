// authoring-host: the stand-in for the authoring tool.
#include "engines/authoring/CommandLine.h"
#include "engines/authoring/HostWindow.h"
#include "engines/authoring/ScriptApi.h"
#include "engines/authoring/Session.h"
#include "platform/Endpoint.h"
#include "platform/FileVersion.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString &text)
{
    std::fprintf(stderr, "authoring-host: %s\n", text.toUtf8().constData());
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QString programFolder = QFileInfo(platform::ownExecutablePath()).absolutePath();
    QString error;
    const auto options = authoring::parseHostCommandLine(args, programFolder, &error);
    if (!options) {
        say(error);
        return 2;
    }
    if (options->help) {
        std::fputs(authoring::hostUsage().toUtf8().constData(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Authoring Host"));
    const bool once = !options->script.isEmpty();

    authoring::Session session(options->keepPublishedFolder);
    // Before the extensions: they look for this window as they start.
    authoring::HostWindow window(session, options->commandsFolder);
    session.api().onAlert = [&](const QString &text) { window.tell(text, false); };

    platform::EndpointServer endpoint;
    if (!endpoint.listen(&error))
        say(error);
    endpoint.onActivate = [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    };
    endpoint.onRectangle = [&window] { return window.frameGeometry(); };

    for (const QString &problem : session.loadExtensions(options->extensionsFolder))
        say(problem);
    if (!options->movie.isEmpty() && !session.openDocument(options->movie, &error)) {
        if (once) {
            say(error);
            session.unloadExtensions();
            return 1;
        }
        window.tell(error, true);
    }

    window.show();
    int result = 0;
    if (once) {
        const QString script = authoring::findCommandScript(options->script, options->commandsFolder);
        QTimer::singleShot(0, &window, [&session, script] {
            const auto failure = session.runCommand(script);
            if (failure)
                std::fprintf(stderr, "%s\n", failure->toUtf8().constData());
            QApplication::exit(failure ? 1 : 0);
        });
    }
    result = QApplication::exec();
    session.unloadExtensions();
    return result;
}
