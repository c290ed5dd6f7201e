#include "sheet/RenderedPictures.h"

#include "platform/JpegImage.h"
#include "engines/flashplayer/SwfPlayer.h"

#include <QtConcurrent/QtConcurrentRun>
#include <QFuture>
#include <QThreadPool>

#include <stdexcept>

// Encoding runs on the pool while the next frame is drawn: the player is
// one timeline and draws in order, the encoder needs no order.
struct TRenderedPictures::Encoders {
    struct Encoded {
        TPdfPicture picture;
        QString error;
    };
    QVector<QFuture<Encoded>> pending;
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
    m_encoders = std::make_unique<Encoders>();
}

void TRenderedPictures::EndRun()
{
    if (m_encoders)
        for (auto &f : m_encoders->pending)
            f.waitForFinished();
    m_encoders.reset();
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

QVector<TPdfPicture> TRenderedPictures::PdfPictures(std::span<const TFrame> frames)
{
    if (!m_encoders)
        throw std::logic_error("Pictures were asked for outside a run.");
    auto &pending = m_encoders->pending;
    pending.clear();
    const int quality = m_quality;
    for (const TFrame &frame : frames) {
        // A copy of its own for the encoder; the kept picture is drawn again.
        const QImage drawn = Draw(frame, m_size).copy();
        if (drawn.isNull())
            throw std::runtime_error("There is not enough memory for the pictures of the sheet.");
        const int number = MovieFrameOf(frame) + 1;
        pending << QtConcurrent::run([drawn, quality, number] {
            Encoders::Encoded e;
            e.picture.Pixels = drawn.size();
            e.picture.Jpeg = platform::encodeJpeg(drawn, quality, &e.error);
            if (e.picture.Jpeg.isEmpty())
                e.error = QStringLiteral("Frame %1 could not be encoded (%2).").arg(number).arg(e.error);
            return e;
        });
    }
    QVector<TPdfPicture> out;
    QString error;
    for (auto &f : pending) {
        Encoders::Encoded e = f.result();
        if (error.isEmpty())
            error = e.error;
        out << std::move(e.picture);
    }
    pending.clear();
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
