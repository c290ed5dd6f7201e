#include "engines/flashplayer/SwfPlayer.h"

#include "engines/flashplayer/SwfRenderer.h"
#include "engines/flashplayer/SwfTimeline.h"

#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>

namespace swf {
std::optional<StageQuality> parseStageQuality(const QString &word)
{
    const QString w = word.trimmed().toLower();
    if (w == QLatin1String("low"))
        return StageQuality::Low;
    if (w == QLatin1String("medium"))
        return StageQuality::Medium;
    if (w == QLatin1String("high"))
        return StageQuality::High;
    if (w == QLatin1String("best"))
        return StageQuality::Best;
    return std::nullopt;
}

std::vector<QString> skippedContent(const Movie &movie)
{
    const ScriptUse &s = movie.scripts;
    // %1 is the count; a part the movie lacks says nothing.
    const std::pair<uint32_t, const char *> parts[] = {
        {s.abcScripts, "ActionScript 3 code (%1 blocks) is not run: frames it makes come out blank or partial"},
        {s.symbolClasses, "characters that ActionScript 3 code puts on the stage (%1 class lists) are not shown"},
        {s.fonts4, "text in %1 ActionScript 3 fonts (DefineFont4) is not drawn"},
        {s.actionsNotRun, "%1 actions of frame scripts are not run: only stop, play and go to a frame or label are"},
        {s.initScripts, "%1 initialisation scripts of sprites are not run"},
        {s.eventScripts, "%1 button and clip event scripts are not run: they wait for a user's mouse or keys"},
    };
    std::vector<QString> out;
    for (const auto &[count, sentence] : parts) {
        if (count)
            out.push_back(QString::fromLatin1(sentence).arg(count));
    }
    return out;
}

struct Player::Impl {
    std::shared_ptr<const Movie> movie;
    FrameSeeker seeker;
    std::unique_ptr<Renderer> renderer;

    explicit Impl(std::shared_ptr<const Movie> m)
        : movie(m ? std::move(m) : std::make_shared<const Movie>()), seeker(movie),
          renderer(std::make_unique<Renderer>(movie))
    {
    }
};

Player::Player(std::shared_ptr<const Movie> movie) : d(std::make_unique<Impl>(std::move(movie))) {}

Player::~Player() = default;

const Movie &Player::movie() const
{
    return *d->movie;
}

int Player::frameCount() const
{
    return d->seeker.frameCount();
}

int Player::currentFrame() const
{
    return d->seeker.state().tick;
}

void Player::gotoFrame(int n)
{
    d->seeker.seek(std::clamp(n, 0, frameCount() - 1));
}

void Player::playTo(int ticks)
{
    d->seeker.seek(ticks);
}

void Player::nextFrame()
{
    playTo(currentFrame() + 1 >= kMaxPlayedFrames ? 0 : currentFrame() + 1);
}

int Player::mainFrame() const
{
    return d->seeker.state().frame;
}

QColor Player::backgroundColor() const
{
    const auto &c = d->movie->backgroundColor;
    return c ? QColor(c->red, c->green, c->blue) : QColor(Qt::white);
}

QSize Player::stageSize() const
{
    const Rect &r = d->movie->frameSize;
    const auto px = [](int64_t twips) { return int(std::clamp<int64_t>((twips + 10) / 20, 0, 1 << 20)); };
    return QSize(px(r.width()), px(r.height()));
}

void Player::render(QPainter &painter, const QRectF &target, StageQuality quality) const
{
    d->renderer->render(painter, target, d->seeker.state(), quality);
}

bool pictureSizeAllowed(QSize size)
{
    return !size.isEmpty() && size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide
           && qint64(size.width()) * size.height() <= kMaxPicturePixels;
}

double largestPictureScale(QSize stage)
{
    if (stage.isEmpty())
        return 0;
    const double byArea = std::sqrt(double(kMaxPicturePixels) / (double(stage.width()) * stage.height()));
    const double bySide = double(kMaxPictureSide) / std::max(stage.width(), stage.height());
    double scale = std::min(byArea, bySide);
    const double unit = std::pow(10.0, std::floor(std::log10(scale)) - 2);
    scale = std::floor(scale / unit) * unit;
    // Rounding the scaled sides may still step over the limit by a pixel.
    while (scale > 0 && !pictureSizeAllowed(QSize(int(std::lround(stage.width() * scale)),
                                                 int(std::lround(stage.height() * scale)))))
        scale -= unit;
    return std::max(scale, 0.0);
}

QImage Player::renderImage(QSize size, StageQuality quality) const
{
    if (!pictureSizeAllowed(size))
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (!image.isNull())
        renderInto(image, quality);
    return image;
}

void Player::renderInto(QImage &image, StageQuality quality) const
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(image.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return;
    image.bits(); // a copy of its own before painting, should it be shared
    drawInOnePiece([&] {
        QPainter painter(&image);
        d->renderer->render(painter, QRectF(image.rect()), d->seeker.state(), quality, &image);
    });
}

void drawInOnePiece(const std::function<void()> &draw)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        draw();
        return;
    }
    QSemaphore done;
    std::exception_ptr failure;
    if (!pool->tryStart([&] {
            try {
                draw();
            } catch (...) { // carried back: it must not end the pool's thread
                failure = std::current_exception();
            }
            done.release();
        })) {
        draw();
        return;
    }
    done.acquire();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace swf
