#pragma once
// Pictures drawn by the movie engine straight at the sheet's resolution and
// encoded at its quality, for tools that have the movie and no capture: no
// round trip through 150-dpi files, so it is faster and sharper.
#include "sheet/PictureSource.h"

#include <memory>

namespace swf {
class Player;
}
namespace platform {
class JpegRecoder;
}

class TRenderedPictures final : public TPictureSource {
public:
    // Frames are numbered in the movie as the scenes of the shared model
    // say (FrameIndex + the scene's FirstFrame); movieSize is the frame in
    // pixels at 72 dpi.
    TRenderedPictures(swf::Player &player, QSize movieSize);
    ~TRenderedPictures() override;
    void BeginRun(int resolution, int quality) override;
    void EndRun() override;
    QVector<TPdfPicture> PdfPictures(std::span<const TFrame> frames) override;
    QImage PreviewPicture(const TFrame &frame, QSize size) override;
    double StoredBytes(const TFrame &) override { return 0; }
    double ConvertedBytes(const TFrame &frame, int resolution, int quality) override;
    // Frames drawn so far.
    int Drawn() const { return m_drawn; }

private:
    struct Encoders;
    static int MovieFrameOf(const TFrame &frame);
    QImage Draw(const TFrame &frame, QSize size);
    swf::Player &m_player;
    QSize m_movieSize;
    QSize m_size;
    int m_quality = 70;
    QImage m_picture;
    std::unique_ptr<Encoders> m_encoders;
    int m_drawn = 0;
};
