// The demonstration movie carries every kind of content it is meant to show,
// and reads without a single warning.
#include "DemoMovie.h"

#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

const swf::Movie &movie()
{
    static const swf::Movie read = swf::readMovie(demo::demoMovie());
    return read;
}

template <class T>
std::vector<const T *> all()
{
    std::vector<const T *> found;
    for (const auto &[id, character] : movie().characters)
        if (const T *c = std::get_if<T>(&character))
            found.push_back(c);
    return found;
}

// Every PlaceObject of the main timeline.
std::vector<swf::PlaceObject> placements()
{
    std::vector<swf::PlaceObject> out;
    for (const auto &frame : movie().frames)
        for (const auto &tag : frame.tags)
            if (const auto *place = std::get_if<swf::PlaceObject>(&tag))
                out.push_back(*place);
    return out;
}

bool hasFill(swf::FillStyleType type)
{
    for (const swf::Shape *shape : all<swf::Shape>())
        for (const auto &fill : shape->data.styles.fillStyles)
            if (fill.type == type)
                return true;
    return false;
}

TEST(DemoMovie, ReadsCleanlyWithTheStatedHeader)
{
    const swf::Movie &m = movie();
    ASSERT_TRUE(m.ok()) << qPrintable(m.error);
    for (const auto &w : m.warnings)
        ADD_FAILURE() << qPrintable(swf::tagName(w.tagCode)) << " at " << w.offset << ": " << qPrintable(w.message);
    EXPECT_EQ(m.compression, swf::Compression::Zlib);
    EXPECT_EQ(m.frameSize.width(), demo::kStageWidth * 20);
    EXPECT_EQ(m.frameSize.height(), demo::kStageHeight * 20);
    EXPECT_DOUBLE_EQ(m.frameRate, demo::kFrameRate);
    EXPECT_EQ(m.frameCount, demo::kFrameCount);
    EXPECT_EQ(int(m.frames.size()), demo::kFrameCount);
    EXPECT_GE(demo::kFrameCount, 48);
    EXPECT_LE(demo::kFrameCount, 120);
}

TEST(DemoMovie, HasTwoScenesAndLabelsThatAgreeWithTheTimeline)
{
    const swf::Movie &m = movie();
    ASSERT_EQ(m.scenes.size(), 2u);
    EXPECT_EQ(m.scenes[0].frameOffset, 0u);
    EXPECT_EQ(m.scenes[1].frameOffset, uint32_t(demo::kSceneFrames));
    EXPECT_NE(m.scenes[0].name, m.scenes[1].name);
    ASSERT_GE(m.frameLabels.size(), 2u);
    // Each label of the scene data is also a FrameLabel tag on that frame.
    for (const auto &label : m.frameLabels) {
        ASSERT_LT(label.frame, m.frames.size());
        const auto &tags = m.frames[label.frame].labels;
        EXPECT_TRUE(std::any_of(tags.begin(), tags.end(), [&](const auto &l) { return l.name == label.name; }))
            << qPrintable(label.name);
    }
}

TEST(DemoMovie, ShowsGradientsBitmapTextSpriteMorphAndMask)
{
    EXPECT_TRUE(hasFill(swf::FillStyleType::LinearGradient));
    EXPECT_TRUE(hasFill(swf::FillStyleType::RadialGradient));
    EXPECT_TRUE(hasFill(swf::FillStyleType::ClippedBitmap));

    const auto bitmaps = all<swf::Bitmap>();
    ASSERT_EQ(bitmaps.size(), 1u);
    EXPECT_EQ(bitmaps[0]->kind, swf::BitmapKind::Lossless2);
    EXPECT_GT(bitmaps[0]->width, 0);

    // The font's glyphs are outlines made here; each text's glyphs exist.
    const auto fonts = all<swf::Font>();
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_GE(fonts[0]->glyphs.size(), 10u);
    for (const auto &glyph : fonts[0]->glyphs)
        EXPECT_TRUE(glyph.code == ' ' || !glyph.shape.records.empty()) << char(glyph.code);
    const auto texts = all<swf::Text>();
    ASSERT_GE(texts.size(), 2u);
    for (const swf::Text *text : texts)
        for (const auto &record : text->records)
            for (const auto &entry : record.glyphs)
                EXPECT_LT(entry.index, fonts[0]->glyphs.size());

    const auto sprites = all<swf::Sprite>();
    ASSERT_EQ(sprites.size(), 1u);
    EXPECT_GT(sprites[0]->frames.size(), 1u);
    ASSERT_EQ(all<swf::MorphShape>().size(), 1u);

    const auto places = placements();
    // A mask, a morph placed at several ratios, and an alpha fade.
    EXPECT_TRUE(std::any_of(places.begin(), places.end(), [](const auto &p) { return p.clipDepth.has_value(); }));
    std::set<uint16_t> ratios;
    std::set<int16_t> alphas;
    for (const auto &p : places) {
        if (p.ratio)
            ratios.insert(*p.ratio);
        if (p.colorTransform)
            alphas.insert(p.colorTransform->alphaMultiplier);
    }
    EXPECT_GT(ratios.size(), 10u);
    EXPECT_TRUE(alphas.count(0));
    EXPECT_TRUE(alphas.count(256));
    EXPECT_GT(alphas.size(), 10u);
}

// One picture drawn over frame after frame, as the capture does, must hold
// what each frame drawn alone holds: nothing left from the frame before in
// the picture or in the layers (mask, fades) the renderer keeps for reuse.
TEST(DemoMovie, FramesDrawnInTurnOverOnePictureMatchFramesDrawnAlone)
{
    const auto shared = std::make_shared<const swf::Movie>(movie());
    const QSize size(275, 200);
    swf::Player inTurn(shared);
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    const uchar *const pixels = picture.constBits();
    for (int frame = 0; frame < inTurn.frameCount(); ++frame) {
        inTurn.gotoFrame(frame);
        inTurn.renderInto(picture);
        swf::Player alone(shared);
        alone.gotoFrame(frame);
        ASSERT_EQ(picture, alone.renderImage(size)) << "frame " << frame + 1;
    }
    EXPECT_EQ(picture.constBits(), pixels) << "the picture's buffer was replaced";

    // A copy held elsewhere keeps its frame; a picture of another format
    // comes back in the player's own.
    const QImage before = picture;
    inTurn.gotoFrame(0);
    inTurn.renderInto(picture);
    EXPECT_NE(before, picture);
    QImage rgb(size, QImage::Format_RGB32);
    inTurn.renderInto(rgb);
    EXPECT_EQ(rgb.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(rgb, picture);
}

} // namespace
