#pragma once
#include "engines/flashplayer/SwfTypes.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace swf {

// Limits that keep a damaged or hostile file from costing unbounded memory
// or time. Past them the reader drops content with a warning.
namespace limits {
// The uncompressed movie, whatever its header claims.
inline constexpr size_t kMaxMovieBytes = size_t(256) << 20;
// Files larger than this are not opened at all.
inline constexpr qint64 kMaxFileBytes = qint64(512) << 20;
// Memory the parsed model may take, counted roughly per element.
inline constexpr size_t kMaxModelBytes = size_t(256) << 20;
inline constexpr size_t kMaxShapeRecords = 1'000'000;
inline constexpr size_t kMaxTextGlyphs = 1'000'000;
inline constexpr int kMaxBitmapSide = 8192;
inline constexpr int64_t kMaxBitmapPixels = int64_t(64) << 20;
inline constexpr int kMaxSpriteNesting = 8;
inline constexpr size_t kMaxWarnings = 100;
} // namespace limits

// The limits above that a caller may lower (or raise).
struct ReadLimits {
    size_t maxMovieBytes = limits::kMaxMovieBytes;
    size_t maxModelBytes = limits::kMaxModelBytes;
    size_t maxShapeRecords = limits::kMaxShapeRecords;
    size_t maxTextGlyphs = limits::kMaxTextGlyphs;
};

// Reads a whole movie file's bytes. A movie that cannot be read at all (no
// movie signature, header unreadable) comes back with error set; otherwise
// with everything that could be read and warnings for what could not.
Movie readMovie(const QByteArray &fileBytes, const ReadLimits &readLimits = {});

// The same for a file; error (when given) receives Movie::error or why the
// file could not be opened.
Movie readMovieFile(const QString &path, QString *error = nullptr, const ReadLimits &readLimits = {});

// A name for a tag code, for messages ("DefineShape3"); "Tag 123" when
// unknown.
QString tagName(uint16_t code);

// Width and height from the header of a JPEG, PNG or GIF image (as found in
// DefineBits tags); false when the header cannot be found.
bool probeImageSize(const QByteArray &image, int &width, int &height);
ImageFormat detectImageFormat(const QByteArray &image);

} // namespace swf
