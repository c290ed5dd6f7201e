#pragma once
// Shared by the player tests: small movies from the writer, played and drawn.

#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "engines/flashplayer/SwfWriter.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <memory>

namespace swftest {

// A stage of w x h pixels (20 twips each), so one stage pixel is one image
// pixel when drawn at the stage size.
inline SwfWriter stageOf(int w, int h)
{
    SwfWriter writer;
    writer.setVersion(10).setFrameSize({0, w * 20, 0, h * 20});
    return writer;
}

inline std::shared_ptr<const swf::Movie> load(SwfWriter writer)
{
    writer.end();
    auto movie = std::make_shared<swf::Movie>(swf::readMovie(writer.bytes()));
    EXPECT_TRUE(movie->ok()) << movie->error.toStdString();
    EXPECT_TRUE(movie->warnings.empty()) << movie->warnings.front().message.toStdString();
    return movie;
}

// A solid square, twips, with the fill on the inside.
inline SwfShape solidSquare(int32_t x, int32_t y, int32_t side, const SwfRgba &c)
{
    SwfShape shape;
    shape.styles.fills = {SwfFillStyle::solid(c.r, c.g, c.b, c.a)};
    shape.setStyles(0u, 1u).moveTo(x, y).polygon({{side, 0}, {0, side}, {-side, 0}, {0, -side}});
    return shape;
}

inline SwfWriter &defineSquare(SwfWriter &w, uint16_t id, int32_t x, int32_t y, int32_t side, const SwfRgba &c)
{
    return w.defineShape(3, id, {x, x + side, y, y + side}, solidSquare(x, y, side, c));
}

inline SwfMatrix at(int32_t x, int32_t y)
{
    return SwfMatrix{.translateX = x, .translateY = y};
}

inline ::testing::AssertionResult colourNear(const QImage &image, int x, int y, const QColor &expected,
                                             int tolerance = 2)
{
    if (!image.rect().contains(x, y))
        return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is outside the image";
    const QColor c = image.pixelColor(x, y);
    const int worst = std::max({std::abs(c.red() - expected.red()), std::abs(c.green() - expected.green()),
                                std::abs(c.blue() - expected.blue()), std::abs(c.alpha() - expected.alpha())});
    if (worst <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is rgba(" << c.red() << ", " << c.green() << ", " << c.blue() << ", "
           << c.alpha() << "), expected rgba(" << expected.red() << ", " << expected.green() << ", "
           << expected.blue() << ", " << expected.alpha() << ") within " << tolerance;
}

inline const QColor kWhite(255, 255, 255);

} // namespace swftest
