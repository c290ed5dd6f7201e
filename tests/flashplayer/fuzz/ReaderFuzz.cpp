// Fuzz entry: reads a movie and runs every conversion on what it finds.

#include "platform/flashplayer/SwfBitmaps.h"
#include "platform/flashplayer/SwfReader.h"
#include "platform/flashplayer/SwfShapes.h"

#include <cstddef>
#include <cstdint>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // Lower limits than a user gets: the same code paths, with less memory
    // to touch per input.
    swf::ReadLimits limits;
    limits.maxMovieBytes = 16 << 20;
    limits.maxModelBytes = 64 << 20;
    convert(swf::readMovie(bytes, limits));
    return 0;
}
