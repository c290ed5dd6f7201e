#include "ShockwaveFlash.h"

#include "engines/flashplayer/SwfReader.h"

#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// A movie that gives no usable rate plays at the authoring tool's default.
constexpr double kFallbackFrameRate = 12.0;

QString describe(const swf::Warning &w)
{
    return QStringLiteral("%1 at byte %2: %3").arg(swf::tagName(w.tagCode)).arg(w.offset).arg(w.message);
}

} // namespace

TShockwaveFlash::TShockwaveFlash(QWidget *parent) : QWidget(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TShockwaveFlash::tick);
    // Every pixel is painted, by PaintTo or the hook.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TShockwaveFlash::~TShockwaveFlash() = default;

QString TShockwaveFlash::Movie() const
{
    return m_path;
}

bool TShockwaveFlash::SetMovie(const QString &path)
{
    const int before = FrameNum();
    unload();
    if (path.isEmpty()) {
        update();
        if (before != 0)
            emit FrameChanged(0);
        return true;
    }
    QString error;
    swf::Movie movie = swf::readMovieFile(path, &error);
    if (!movie.ok()) {
        m_error = error.isEmpty() ? QStringLiteral("The movie could not be read.") : error;
        update();
        if (before != 0)
            emit FrameChanged(0);
        return false;
    }
    for (const auto &w : movie.warnings)
        m_warnings << describe(w);
    if (movie.droppedWarnings > 0)
        m_warnings << QStringLiteral("%1 more problems were not listed.").arg(movie.droppedWarnings);
    try {
        m_movie = std::make_shared<const swf::Movie>(std::move(movie));
        rebuildPlayer(0);
    } catch (const std::exception &) {
        // Out of memory while building the player: nothing is half loaded.
        unload();
        m_error = QStringLiteral("The movie is too large to be played.");
        update();
        if (before != 0)
            emit FrameChanged(0);
        return false;
    }
    m_path = path;
    update();
    emit FrameChanged(0);
    return true;
}

QString TShockwaveFlash::MovieError() const
{
    return m_error;
}

QStringList TShockwaveFlash::MovieWarnings() const
{
    return m_warnings;
}

void TShockwaveFlash::unload()
{
    m_timer.stop();
    m_player.reset();
    m_shown.reset();
    m_movie.reset();
    m_path.clear();
    m_error.clear();
    m_warnings.clear();
}

void TShockwaveFlash::rebuildPlayer(int frame)
{
    std::shared_ptr<const swf::Movie> shown = m_movie;
    if (!m_bgColor.isEmpty()) {
        const QColor c(m_bgColor);
        const swf::Color wanted{uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()), 255};
        // The player draws the movie's background itself; a copy of the
        // movie carries the replacement.
        if (m_movie->backgroundColor != wanted) {
            auto copy = std::make_shared<swf::Movie>(*m_movie);
            copy->backgroundColor = wanted;
            shown = std::move(copy);
        }
    }
    auto player = std::make_unique<swf::Player>(shown);
    if (frame > 0)
        player->playTo(frame);
    m_player = std::move(player);
    m_shown = std::move(shown);
}

QString TShockwaveFlash::BGColor() const
{
    return m_bgColor;
}

bool TShockwaveFlash::SetBGColor(const QString &color)
{
    static const QRegularExpression hex(QStringLiteral("^#?([0-9A-Fa-f]{6})$"));
    QString wanted;
    const QString text = color.trimmed();
    if (!text.isEmpty()) {
        const auto match = hex.match(text);
        if (!match.hasMatch())
            return false;
        wanted = QLatin1Char('#') + match.captured(1).toUpper();
    }
    if (wanted == m_bgColor)
        return true;
    const QString previous = m_bgColor;
    m_bgColor = wanted;
    if (m_player) {
        try {
            rebuildPlayer(m_player->currentFrame());
        } catch (const std::exception &) {
            m_bgColor = previous;
            return false;
        }
    }
    update();
    return true;
}

QColor TShockwaveFlash::BackgroundColor() const
{
    if (!m_bgColor.isEmpty())
        return QColor(m_bgColor);
    return m_player ? m_player->backgroundColor() : QColor(Qt::white);
}

int TShockwaveFlash::FrameNum() const
{
    return m_player ? m_player->mainFrame() : 0;
}

void TShockwaveFlash::SetFrameNum(int frame)
{
    if (!m_player)
        return;
    const int played = m_player->currentFrame();
    const int before = m_player->mainFrame();
    m_player->gotoFrame(std::clamp(frame, 0, m_player->frameCount() - 1));
    if (m_player->currentFrame() != played)
        update();
    if (m_player->mainFrame() != before)
        emit FrameChanged(m_player->mainFrame());
}

int TShockwaveFlash::TotalFrames() const
{
    return m_player ? m_player->frameCount() : 0;
}

void TShockwaveFlash::Play()
{
    if (m_player && !m_timer.isActive())
        m_timer.start(FrameInterval());
}

void TShockwaveFlash::Stop()
{
    m_timer.stop();
}

bool TShockwaveFlash::IsPlaying() const
{
    return m_timer.isActive();
}

int TShockwaveFlash::FrameInterval() const
{
    double rate = m_movie ? m_movie->frameRate : 0.0;
    if (!std::isfinite(rate) || rate <= 0.0)
        rate = kFallbackFrameRate;
    return int(std::clamp(std::lround(1000.0 / rate), 1L, 100000L));
}

void TShockwaveFlash::tick()
{
    if (!m_player) {
        m_timer.stop();
        return;
    }
    // Sprites move on even where the main timeline stays on one frame.
    const int before = m_player->mainFrame();
    m_player->nextFrame();
    update();
    const int now = m_player->mainFrame();
    if (now != before)
        emit FrameChanged(now);
}

swf::StageQuality TShockwaveFlash::Quality() const
{
    return m_quality;
}

void TShockwaveFlash::SetQuality(swf::StageQuality quality)
{
    if (quality != m_quality) {
        m_quality = quality;
        update();
    }
}

QSize TShockwaveFlash::StageSize() const
{
    return m_player ? m_player->stageSize() : QSize();
}

QRect TShockwaveFlash::StageRect(const QRect &target) const
{
    const QSize stage = StageSize();
    if (stage.isEmpty() || target.isEmpty())
        return {};
    const QSize fitted = stage.scaled(target.size(), Qt::KeepAspectRatio);
    return QRect(target.x() + (target.width() - fitted.width()) / 2,
                 target.y() + (target.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

void TShockwaveFlash::PaintTo(QPainter &painter, const QRect &target) const
{
    painter.save();
    painter.fillRect(target, BackgroundColor());
    const QRect stage = StageRect(target);
    if (m_player && !stage.isEmpty()) {
        // What lies off the stage is not shown, as in a captured frame.
        painter.setClipRect(stage, Qt::IntersectClip);
        m_player->render(painter, QRectF(stage), m_quality);
    }
    painter.restore();
}

QImage TShockwaveFlash::PaintToImage(const QSize &size) const
{
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) // too large to allocate
        return {};
    swf::drawInOnePiece([&] {
        QPainter painter(&image);
        PaintTo(painter, image.rect());
    });
    return image;
}

void TShockwaveFlash::SetPaintHook(PaintHook hook)
{
    m_hook = std::move(hook);
    update();
}

QSize TShockwaveFlash::sizeHint() const
{
    const QSize stage = StageSize();
    return stage.isEmpty() ? QSize(550, 400) : stage;
}

void TShockwaveFlash::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // A copy: the hook may replace or remove itself while it runs.
    const PaintHook hook = m_hook;
    if (hook && hook(*this, painter))
        return;
    PaintTo(painter, rect());
}
