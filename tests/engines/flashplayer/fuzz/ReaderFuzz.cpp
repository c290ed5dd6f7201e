// Fuzz entry: reads a movie, runs every conversion on what it finds, then
// plays a few frames and draws them small.

#include "engines/flashplayer/SwfBitmaps.h"
#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "engines/flashplayer/SwfShapes.h"

#include <QPainter>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

template <class... Ts>
struct Visitor : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Visitor(Ts...) -> Visitor<Ts...>;

void convert(const swf::Movie &movie)
{
    for (const auto &entry : movie.characters) {
        std::visit(Visitor{[](const swf::Shape &s) { swf::buildShapePaths(s); },
                           [](const swf::MorphShape &m) {
                               swf::buildShapePaths(swf::morphShapeAt(m, 0.0));
                               swf::buildShapePaths(swf::morphShapeAt(m, 0.37));
                           },
                           [](const swf::Font &f) {
                               for (const auto &glyph : f.glyphs)
                                   swf::buildGlyphPath(glyph.shape);
                           },
                           [&](const swf::Bitmap &b) { swf::decodeBitmap(b, movie.jpegTables); },
                           [](const auto &) {}},
                   entry.second);
    }
}

// The first frames, a jump back and the last frame, in two qualities.
void play(std::shared_ptr<const swf::Movie> movie)
{
    swf::Player player(std::move(movie));
    const int frames = std::min(player.frameCount(), 4);
    for (int f = 0; f < frames; ++f) {
        player.gotoFrame(f);
        player.renderImage(QSize(64, 48), f % 2 ? swf::StageQuality::Low : swf::StageQuality::High);
    }
    player.gotoFrame(0);
    player.gotoFrame(player.frameCount() - 1);
    QImage image(40, 30, QImage::Format_RGB32);
    QPainter painter(&image);
    player.render(painter, QRectF(2.5, 1.5, 35, 27), swf::StageQuality::Best);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // Lower limits than a user gets: the same code paths, with less memory
    // to touch per input.
    swf::ReadLimits limits;
    limits.maxMovieBytes = 16 << 20;
    limits.maxModelBytes = 64 << 20;
    auto movie = std::make_shared<swf::Movie>(swf::readMovie(bytes, limits));
    convert(*movie);
    play(std::move(movie));
    return 0;
}
