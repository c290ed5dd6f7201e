#pragma once
// The Flash Player control the capture step talks to, over the project's own
// movie engine. Member names follow the control's interface (Movie, BGColor,
// FrameNum, TotalFrames, Play, Stop), so the capture code reads as it did.
#include "engines/flashplayer/SwfPlayer.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class TShockwaveFlash : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Movie READ Movie WRITE SetMovie)
    Q_PROPERTY(QString BGColor READ BGColor WRITE SetBGColor)
    Q_PROPERTY(int FrameNum READ FrameNum WRITE SetFrameNum NOTIFY FrameChanged)
    Q_PROPERTY(int TotalFrames READ TotalFrames)

public:
    // Called at each paint with a painter on the widget; returning true means
    // the hook has painted and the default painting is skipped.
    using PaintHook = std::function<bool(TShockwaveFlash &, QPainter &)>;

    explicit TShockwaveFlash(QWidget *parent = nullptr);
    ~TShockwaveFlash() override;

    // The loaded movie's path; empty when none is loaded.
    QString Movie() const;
    // Reads the movie and shows its first frame, stopped. An empty path
    // unloads. A movie that cannot be read leaves the control empty and
    // returns false, with MovieError saying why in one sentence.
    bool SetMovie(const QString &path);
    QString MovieError() const;
    // What the reader could not read of the loaded movie (it still plays).
    QStringList MovieWarnings() const;

    // Empty: the movie's own background colour. Otherwise "#RRGGBB" as set.
    QString BGColor() const;
    // "" follows the movie; "#RRGGBB" or "RRGGBB" (hex digits of any case)
    // replaces its background. Other text is refused (false), keeping the
    // colour in force.
    bool SetBGColor(const QString &color);
    // The colour drawn behind the stage and around it.
    QColor BackgroundColor() const;

    // 0-based; 0 without a movie.
    int FrameNum() const;
    // Clamped into the movie's frames; ignored without a movie.
    void SetFrameNum(int frame);
    // 0 without a movie.
    int TotalFrames() const;

    // Advances one frame per tick at the movie's frame rate, from the last
    // frame back to the first.
    void Play();
    void Stop();
    bool IsPlaying() const;
    // Milliseconds between ticks while playing.
    int FrameInterval() const;

    swf::StageQuality Quality() const;
    void SetQuality(swf::StageQuality quality);
    // The stage in pixels at 72 dpi; empty without a movie.
    QSize StageSize() const;

    // The current frame as the control shows it in a rectangle of that size:
    // the stage scaled to fit with its aspect kept, centred, the background
    // colour around it.
    void PaintTo(QPainter &painter, const QRect &target) const;
    QImage PaintToImage(const QSize &size) const;
    // Where the stage lands inside target.
    QRect StageRect(const QRect &target) const;

    void SetPaintHook(PaintHook hook);

    // The movie as the control shows it (its background colour in force),
    // for a player of its own; null without a movie.
    std::shared_ptr<const swf::Movie> ShownMovie() const { return m_shown; }

    QSize sizeHint() const override;

signals:
    void FrameChanged(int frame);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void tick();
    void unload();
    void rebuildPlayer(int frame);

    // The movie as read; the player may run a copy with the background
    // replaced.
    std::shared_ptr<const swf::Movie> m_movie;
    std::shared_ptr<const swf::Movie> m_shown;
    std::unique_ptr<swf::Player> m_player;
    QString m_path;
    QString m_error;
    QStringList m_warnings;
    QString m_bgColor; // "" or "#RRGGBB"
    swf::StageQuality m_quality = swf::StageQuality::High;
    QTimer m_timer;
    PaintHook m_hook;
};
