// Writes the demonstration movie: make-demo OUT.swf
#include "DemoMovie.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make-demo OUT.swf\n");
        return 2;
    }
    const QByteArray movie = demo::demoMovie();
    // Written whole or not at all, so a failed build leaves no half movie
    // that a later build would take as up to date.
    QSaveFile file(QFile::decodeName(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(movie) != movie.size() || !file.commit()) {
        std::fprintf(stderr, "make-demo: cannot write %s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
