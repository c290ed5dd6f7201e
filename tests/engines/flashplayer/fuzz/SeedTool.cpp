// Writes the seed movies into the folder given, for the fuzzer's corpus.

#include "SeedMovies.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // image plugins for the JPEG seeds
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path()))
        return 1;
    int n = 0;
    for (const QByteArray &movie : swfseed::seedMovies()) {
        QFile file(dir.filePath(QStringLiteral("seed-%1.swf").arg(n++)));
        if (!file.open(QIODevice::WriteOnly) || file.write(movie) != movie.size())
            return 1;
    }
    std::printf("%d seed movies in %s\n", n, argv[1]);
    return 0;
}
