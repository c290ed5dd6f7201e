#include "sheet/PictureRecoders.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <numeric>
#include <stdexcept>

TPictureRecoders::TPictureRecoders(QSize size, int quality) : m_size(size)
{
    const int workers = std::max(1, QThread::idealThreadCount());
    for (int i = 0; i < workers; ++i)
        m_workers.push_back(std::make_unique<platform::JpegRecoder>(size, quality));
}

TPictureRecoders::~TPictureRecoders() = default;

QVector<QByteArray> TPictureRecoders::Recode(const QStringList &paths)
{
    const qsizetype n = paths.size();
    QVector<QByteArray> pictures(n);
    QStringList errors(n);
    const qsizetype workers = std::min<qsizetype>(qsizetype(m_workers.size()), n);
    QVector<int> lanes(workers);
    std::iota(lanes.begin(), lanes.end(), 0);
    // Worker w takes pictures w, w + workers, ...: each recoder is used by
    // one thread at a time, each slot written by one thread (through plain
    // pointers, so no container is detached from two threads).
    QByteArray *const out = pictures.data();
    QString *const why = errors.data();
    const auto work = [&](int w) {
        for (qsizetype i = w; i < n; i += workers) {
            out[i] = m_workers[size_t(w)]->recodeFile(paths.at(i), &why[i]);
            if (out[i].isEmpty() && why[i].isEmpty())
                why[i] = QStringLiteral("\"%1\" could not be re-encoded.").arg(paths.at(i));
        }
    };
    if (workers <= 1)
        std::for_each(lanes.begin(), lanes.end(), work);
    else
        QtConcurrent::blockingMap(lanes, work);
    for (qsizetype i = 0; i < n; ++i)
        if (pictures[i].isEmpty())
            throw std::runtime_error(errors.at(i).toStdString());
    return pictures;
}
