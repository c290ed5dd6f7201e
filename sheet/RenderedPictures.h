#pragma once
// Pictures drawn by the movie engine straight at the sheet's resolution and
// encoded at its quality, for tools that have the movie and no capture: no
// round trip through 150-dpi files, so it is faster and sharper.
#include "sheet/PictureSource.h"

#include <QFuture>

#include <atomic>
#include <memory>

class QThreadPool;
namespace swf {
class Player;
}

class TRenderedPictures final : public TPictureSource {
public:
    // Frames are numbered in the movie as the scenes of the shared model
    // say (FrameIndex + the scene's FirstFrame); movieSize is the frame in
    // pixels at 72 dpi. Within a run the player is this source's alone.
    TRenderedPictures(swf::Player &player, QSize movieSize);
    ~TRenderedPictures() override;
    void BeginRun(int resolution, int quality) override;
    void EndRun() override;
    // Drawing starts at once, ahead of the pages, on a thread of its own.
    void Announce(std::span<const TFrame> frames) override;
    QVector<TPdfPicture> PdfPictures(std::span<const TFrame> frames) override;
    QImage PreviewPicture(const TFrame &frame, QSize size) override;
    double StoredBytes(const TFrame &) override { return 0; }
    double ConvertedBytes(const TFrame &frame, int resolution, int quality) override;
    // Frames drawn so far.
    int Drawn() const { return m_drawn; }

private:
    struct Encoded {
        TPdfPicture picture;
        QString error;
    };
    struct Run;
    static int MovieFrameOf(const TFrame &frame);
    QImage Draw(const TFrame &frame, QSize size);
    QFuture<Encoded> DrawAndEncode(const TFrame &frame, QThreadPool &encoders);

    swf::Player &m_player;
    QSize m_movieSize;
    QSize m_size;
    int m_quality = 70;
    QImage m_picture;
    std::unique_ptr<Run> m_run;
    std::atomic<int> m_drawn{0};
};
