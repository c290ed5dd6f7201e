// Plays the wizard for the extension tests: copied as "Kavrel" beside a copy
// of Kavrel.so, it records how it was started, opens its endpoint, makes
// the calls named in TESSORY_FAKE_CALLS ("getFrame 12;setScene 1") through
// the library, and unloads it (which posts "exit").
//   argv     its arguments, each followed by a zero byte
//   pid      its process id
//   progress one line per call returned, then "unloaded"
//   stderr   what the library printed
// TESSORY_FAKE_HOLD=1 keeps it running after the calls.
#include "platform/Endpoint.h"
#include "platform/FileVersion.h"
#include "platform/Module.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

void writeFile(const QString &path, const QByteArray &bytes, bool append = false)
{
    QFile file(path);
    if (file.open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace

int main(int argc, char **argv)
{
    const QString self = platform::ownExecutablePath();
    const QString dir = QFileInfo(self).absolutePath() + QLatin1Char('/');
    std::freopen(QFile::encodeName(dir + "stderr").constData(), "a", stderr);
    QByteArray recorded;
    for (int i = 0; i < argc; ++i)
        recorded += QByteArray(argv[i]) + '\0';
    writeFile(dir + "argv", recorded);
    writeFile(dir + "pid", QByteArray::number(QCoreApplication::applicationPid()));

    QCoreApplication app(argc, argv);
    platform::EndpointServer endpoint;
    QString error;
    if (!endpoint.listen(&error))
        return 2;

    // As the wizard does, it calls from its event loop, which answers the
    // endpoint in between.
    int rc = 0;
    QTimer::singleShot(200, &app, [&] {
        const QByteArray calls = qgetenv("TESSORY_FAKE_CALLS");
        if (!calls.isEmpty()) {
            auto library = platform::Module::load(self + ".so");
            using Call = void (*)(const char *, const int32_t *, uint32_t);
            auto call = library ? reinterpret_cast<Call>(library->symbol("CallFlashFunction")) : nullptr;
            if (!call) {
                rc = 3;
                app.quit();
                return;
            }
            for (const QByteArray &one : calls.split(';')) {
                QList<QByteArray> words = one.split(' ');
                std::vector<int32_t> args;
                for (qsizetype i = 1; i < words.size(); ++i)
                    args.push_back(words[i].toInt());
                call(words[0].constData(), args.data(), uint32_t(args.size()));
                writeFile(dir + "progress", "returned " + words[0] + '\n', true);
            }
            library.reset();
            writeFile(dir + "progress", "unloaded\n", true);
        }
        if (qgetenv("TESSORY_FAKE_HOLD") != "1")
            app.quit();
    });
    app.exec();
    return rc;
}
