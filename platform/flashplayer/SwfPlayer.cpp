#include "platform/flashplayer/SwfPlayer.h"

#include "platform/flashplayer/SwfRenderer.h"
#include "platform/flashplayer/SwfTimeline.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>

namespace swf {
namespace {

// Snapshots of the display list, together at most this many instances;
// beyond, every other one is dropped and the spacing doubles.
constexpr size_t kMaxSnapshotObjects = 200000;
constexpr int kFirstSnapshotInterval = 32;

} // namespace

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

struct Player::Impl {
    std::shared_ptr<const Movie> movie;
    Timeline timeline;
    TimelineState state;
    std::map<int, TimelineState> snapshots;
    int interval = kFirstSnapshotInterval;
    size_t snapshotObjects = 0;
    std::unique_ptr<Renderer> renderer;

    explicit Impl(std::shared_ptr<const Movie> m)
        : movie(m ? std::move(m) : std::make_shared<const Movie>()), timeline(movie),
          renderer(std::make_unique<Renderer>(movie))
    {
        state = timeline.initialState();
        keep(state);
    }

    void keep(const TimelineState &s)
    {
        if (s.frame % interval != 0 || snapshots.count(s.frame))
            return;
        snapshotObjects += Timeline::objectCount(s);
        snapshots.emplace(s.frame, s);
        while (snapshotObjects > kMaxSnapshotObjects && snapshots.size() > 1 && interval < (1 << 24)) {
            interval *= 2;
            snapshotObjects = 0;
            for (auto it = snapshots.begin(); it != snapshots.end();) {
                if (it->first % interval != 0) {
                    it = snapshots.erase(it);
                } else {
                    snapshotObjects += Timeline::objectCount(it->second);
                    ++it;
                }
            }
        }
    }

    void step()
    {
        timeline.advance(state);
        keep(state);
    }

    void go(int n)
    {
        if (n == state.frame)
            return;
        // The nearest snapshot at or before n, unless playing on from here
        // is no longer than from there.
        auto it = snapshots.upper_bound(n);
        if (it != snapshots.begin()) {
            --it;
            if (n < state.frame || it->first > state.frame)
                state = it->second;
        } else {
            state = timeline.initialState();
        }
        while (state.frame < n)
            step();
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
    return d->timeline.frameCount();
}

int Player::currentFrame() const
{
    return d->state.frame;
}

void Player::gotoFrame(int n)
{
    d->go(std::clamp(n, 0, frameCount() - 1));
}

void Player::nextFrame()
{
    gotoFrame(currentFrame() + 1 >= frameCount() ? 0 : currentFrame() + 1);
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
    d->renderer->render(painter, target, d->state, quality);
}

QImage Player::renderImage(QSize size, StageQuality quality) const
{
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    QPainter painter(&image);
    d->renderer->render(painter, QRectF(QPointF(0, 0), QSizeF(size)), d->state, quality, &image);
    painter.end();
    return image;
}

} // namespace swf
