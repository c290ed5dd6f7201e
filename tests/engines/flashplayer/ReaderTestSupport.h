#pragma once
// Shared by the reader tests: movies from the writer, read back.

#include "engines/flashplayer/SwfReader.h"
#include "engines/flashplayer/SwfWriter.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace swftest {

inline QString warningText(const swf::Movie &movie)
{
    QStringList lines;
    for (const auto &w : movie.warnings)
        lines << QStringLiteral("@%1 %2: %3").arg(w.offset).arg(swf::tagName(w.tagCode), w.message);
    return lines.join('\n');
}

// Reads a complete writer movie (an End tag is added) that must read
// without a single warning.
inline swf::Movie readClean(SwfWriter writer, SwfWriter::Compression compression = SwfWriter::Compression::None)
{
    writer.end();
    swf::Movie movie = swf::readMovie(writer.bytes(compression));
    EXPECT_TRUE(movie.ok()) << movie.error.toStdString();
    EXPECT_TRUE(movie.warnings.empty()) << warningText(movie).toStdString();
    return movie;
}

inline bool hasWarning(const swf::Movie &movie, const QString &part)
{
    for (const auto &w : movie.warnings) {
        if (w.message.contains(part))
            return true;
    }
    return false;
}

// A square of side s at (x, y) drawn clockwise on screen (y down) with the
// given fill on its right-hand side.
inline SwfShape &square(SwfShape &shape, int32_t x, int32_t y, int32_t s)
{
    return shape.moveTo(x, y).polygon({{s, 0}, {0, s}, {-s, 0}, {0, -s}});
}

} // namespace swftest
