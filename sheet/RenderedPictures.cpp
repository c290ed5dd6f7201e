#include "sheet/RenderedPictures.h"

#include "engines/flashplayer/SwfPlayer.h"
#include "platform/JpegImage.h"

#include <QFuture>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

// Frames drawn ahead of the page being written, at the most: enough to keep
// the drawing busy while a page is placed, few enough for flat memory (at
// most about 8 MiB of pictures waiting).
size_t DrawnAhead(QSize size)
{
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    return size_t(std::clamp<qint64>((qint64(8) << 20) / std::max<qint64>(bytes, 1), 2, 24));
}

} // namespace

// A run draws on a thread of its own, frame after frame in the order the
// sheet takes them, ahead of the pages being written; the pictures are
// encoded on a pool of their own meanwhile. The player is one timeline and
// draws in order; the encoders need no order. Not the global pool: the
// player draws a frame on one of its threads, and Qt's raster engine waits
// for that pool when it draws elsewhere.
struct TRenderedPictures::Run {
    QThreadPool encoders;
    std::vector<TFrame> order;
    std::vector<QFuture<Encoded>> encoded; // by position in order, as drawn
    std::mutex mutex;
    std::condition_variable changed;
    size_t drawn = 0;
    size_t taken = 0;
    bool stop = false;
    std::thread drawer;

    Run() { encoders.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1)); }
    ~Run()
    {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        if (drawer.joinable())
            drawer.join();
        encoders.waitForDone();
    }
};

TRenderedPictures::TRenderedPictures(swf::Player &player, QSize movieSize)
    : m_player(player), m_movieSize(movieSize)
{
}

TRenderedPictures::~TRenderedPictures() = default;

void TRenderedPictures::BeginRun(int resolution, int quality)
{
    m_size = QSize(ScaledPixels(m_movieSize.width(), resolution), ScaledPixels(m_movieSize.height(), resolution));
    m_quality = quality;
    if (!swf::pictureSizeAllowed(m_size))
        throw std::runtime_error(QStringLiteral("Pictures of %1 x %2 pixels at %3 dpi are more than can be drawn "
                                                "(at most %4 pixels); choose a lower resolution.")
                                     .arg(m_size.width())
                                     .arg(m_size.height())
                                     .arg(resolution)
                                     .arg(swf::kMaxPicturePixels)
                                     .toStdString());
    m_run = std::make_unique<Run>();
}

void TRenderedPictures::EndRun()
{
    m_run.reset();
    m_picture = QImage();
}

int TRenderedPictures::MovieFrameOf(const TFrame &frame)
{
    const int first = frame.SceneIndex >= 0 && frame.SceneIndex < Scenes.size() ? Scenes[frame.SceneIndex].FirstFrame : 0;
    return first + frame.FrameIndex;
}

QImage TRenderedPictures::Draw(const TFrame &frame, QSize size)
{
    m_player.gotoFrame(MovieFrameOf(frame));
    if (m_picture.size() != size)
        m_picture = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_player.renderInto(m_picture);
    ++m_drawn;
    return m_picture;
}

QFuture<TRenderedPictures::Encoded> TRenderedPictures::DrawAndEncode(const TFrame &frame, QThreadPool &encoders)
{
    // A picture of its own for the encoder (freed memory is kept, so it
    // costs no page faults). The stage's background makes it opaque, so its
    // pixels are plain RGB as they stand and go to the encoder unconverted.
    QImage drawn(m_size, QImage::Format_ARGB32_Premultiplied);
    if (!drawn.isNull()) {
        m_player.gotoFrame(MovieFrameOf(frame));
        m_player.renderInto(drawn);
        ++m_drawn;
        drawn.reinterpretAsFormat(QImage::Format_RGB32);
    }
    const int number = MovieFrameOf(frame) + 1;
    const int quality = m_quality;
    return QtConcurrent::run(&encoders, [drawn, quality, number] {
        Encoded e;
        e.picture.Pixels = drawn.size();
        e.picture.Jpeg = drawn.isNull() ? QByteArray() : platform::encodeJpeg(drawn, quality, &e.error);
        if (e.picture.Jpeg.isEmpty())
            e.error = drawn.isNull() ? QStringLiteral("There is not enough memory for the pictures of the sheet.")
                                     : QStringLiteral("Frame %1 could not be encoded (%2).").arg(number).arg(e.error);
        return e;
    });
}

void TRenderedPictures::Announce(std::span<const TFrame> frames)
{
    if (!m_run || m_run->drawer.joinable())
        return;
    Run &run = *m_run;
    run.order.assign(frames.begin(), frames.end());
    run.encoded.resize(run.order.size());
    const size_t ahead = DrawnAhead(m_size);
    run.drawer = std::thread([this, &run, ahead] {
        for (size_t i = 0; i < run.order.size(); ++i) {
            {
                std::unique_lock lock(run.mutex);
                run.changed.wait(lock, [&] { return run.stop || i < run.taken + ahead; });
                if (run.stop)
                    return;
            }
            QFuture<Encoded> future = DrawAndEncode(run.order[i], run.encoders);
            {
                std::lock_guard lock(run.mutex);
                run.encoded[i] = std::move(future);
                run.drawn = i + 1;
            }
            run.changed.notify_all();
        }
    });
}

QVector<TPdfPicture> TRenderedPictures::PdfPictures(std::span<const TFrame> frames)
{
    if (!m_run)
        throw std::logic_error("Pictures were asked for outside a run.");
    Run &run = *m_run;
    QVector<QFuture<Encoded>> pending;
    for (const TFrame &frame : frames) {
        if (!run.drawer.joinable()) {
            pending << DrawAndEncode(frame, run.encoders);
            continue;
        }
        std::unique_lock lock(run.mutex);
        const size_t at = run.taken;
        if (at >= run.order.size() || run.order[at].FrameIndex != frame.FrameIndex ||
            run.order[at].SceneIndex != frame.SceneIndex)
            throw std::logic_error("Pictures were asked for in another order than announced.");
        run.changed.wait(lock, [&] { return run.drawn > at; });
        pending << std::move(run.encoded[at]);
        ++run.taken;
        lock.unlock();
        run.changed.notify_all();
    }
    QVector<TPdfPicture> out;
    QString error;
    for (auto &f : pending) {
        Encoded e = f.result();
        if (error.isEmpty())
            error = e.error;
        out << std::move(e.picture);
    }
    if (!error.isEmpty())
        throw std::runtime_error(error.toStdString());
    return out;
}

QImage TRenderedPictures::PreviewPicture(const TFrame &frame, QSize size)
{
    return Draw(frame, size).copy();
}

double TRenderedPictures::ConvertedBytes(const TFrame &frame, int resolution, int quality)
{
    const QSize size(ScaledPixels(m_movieSize.width(), resolution), ScaledPixels(m_movieSize.height(), resolution));
    if (!swf::pictureSizeAllowed(size))
        return 0;
    return double(platform::encodeJpeg(Draw(frame, size), quality).size());
}
