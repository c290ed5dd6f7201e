// The other side of the endpoint tests: a process that opens an endpoint and
// answers in ways the tests can check.
//   endpoint_peer                  listen until message(99)
//   endpoint_peer --exit-after MS  never listen; exit after MS milliseconds
#include "platform/Endpoint.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == "--exit-after") {
        QThread::msleep(args[2].toULong());
        return 0;
    }

    platform::EndpointServer server;
    int activations = 0;
    quint32 lastId = 0;
    server.onActivate = [&] { ++activations; };
    server.onCopyData = [&](quint32 id, const QByteArray &data) {
        lastId = id;
        return int(data.size());
    };
    server.onMessage = [&](int param) {
        switch (param) {
        case 1:
            return activations;
        case 2:
            return int(lastId);
        case 99:
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
            return 0;
        default:
            return -param;
        }
    };
    server.onRectangle = [] { return QRect(10, -20, 300, 400); };

    QString error;
    if (!server.listen(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    return app.exec();
}
