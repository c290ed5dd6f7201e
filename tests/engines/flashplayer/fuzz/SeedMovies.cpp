#include "SeedMovies.h"

#include "engines/flashplayer/SwfWriter.h"
#include "support/VideoEncoder.h"

#include <QBuffer>
#include <QImage>

namespace swfseed {
namespace {

SwfShape box(int32_t x, int32_t y, int32_t s, uint32_t fill, uint32_t line)
{
    SwfShape shape;
    shape.setStyles(0u, fill, line).moveTo(x, y).polygon({{s, 0}, {0, s}, {-s, 0}, {0, -s}});
    return shape;
}

QByteArray smallJpeg()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(qRgb(90, 160, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

QByteArray filterList()
{
    TagBody b;
    b.ui8(3);
    b.ui8(0).rgba(0, 0, 0, 128).fixed(4).fixed(4).fixed(0.78).fixed(4).fixed8(1).ui8(0x01);
    b.ui8(5).ui8(2).ui8(2).f32(1).f32(0).f32(1).f32(0).f32(0).f32(1).rgba(0, 0, 0, 0).ui8(2);
    b.ui8(7).ui8(2).rgba(255, 0, 0, 255).rgba(0, 0, 255, 255).ui8(0).ui8(255).fixed(2).fixed(2).fixed(1).fixed(1)
        .fixed8(1).ui8(0x11);
    return b.bytes();
}

void addShapes(SwfWriter &w)
{
    SwfShape a = box(0, 0, 400, 1, 1);
    a.styles.fills = {SwfFillStyle::solid(200, 0, 0), SwfFillStyle{.type = 0x10, .stops = {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}}}};
    a.styles.lines = {SwfLineStyle{.width = 40, .color = {0, 0, 0, 255}}};
    a.change(std::pair{200, 0}, 1u, 2u, 0u).line(0, 400).curve(100, 100, -50, 80);
    w.defineShape(1, 1, {0, 400, 0, 400}, a);

    SwfShape b = box(0, 0, 100, 1, 0);
    b.styles.fills = {SwfFillStyle{.type = 0x41, .matrix = SwfMatrix{.scale = std::pair{20.0, 20.0}}, .bitmapId = 10}};
    SwfStyleArrays next;
    next.fills = {SwfFillStyle::solid(0, 0, 255, 128)};
    next.lines = {SwfLineStyle{.width = 20}};
    b.change(std::nullopt, std::nullopt, std::nullopt, std::nullopt, next);
    b.setStyles(std::nullopt, 1u, 1u).moveTo(50, 50).polygon({{100, 0}, {0, 100}, {-100, -100}});
    w.defineShape(3, 2, {0, 150, 0, 150}, b);

    SwfShape c = box(-50, -50, 100, 1, 1);
    c.styles.fills = {SwfFillStyle{.type = 0x13, .matrix = SwfMatrix{.scale = std::pair{0.1, 0.1}},
                                   .spread = 1, .stops = {{0, {1, 2, 3, 4}}, {255, {5, 6, 7, 8}}}, .focalPoint = 0.5}};
    c.styles.lines = {SwfLineStyle{.width = 30, .startCap = 1, .endCap = 2, .join = 2, .miterLimit = 3,
                                   .fill = SwfFillStyle::solid(9, 9, 9)}};
    w.defineShape4(3, {-50, 50, -50, 50}, {-40, 40, -40, 40}, 0x05, c);

    SwfMorph m;
    m.id = 4;
    m.startBounds = {0, 100, 0, 100};
    m.endBounds = {0, 200, 0, 200};
    m.fills = {SwfMorphFill{.startColor = {255, 0, 0, 255}, .endColor = {0, 255, 0, 255}}};
    m.lines = {SwfMorphLine{.startWidth = 20, .endWidth = 60}};
    m.start.setStyles(std::nullopt, 1u, 1u).moveTo(0, 0).polygon({{100, 0}, {0, 100}, {-100, 0}, {0, -100}});
    m.end.moveTo(0, 0).curve(100, -20, 100, 20).polygon({{0, 200}, {-200, 0}, {0, -200}});
    w.defineMorphShape(2, m);
}

void addText(SwfWriter &w)
{
    SwfFont font{.id = 20, .name = "Seed", .hasLayout = true, .ascent = 800, .descent = 200,
                 .kerning = {{'a', 'b', -10}}};
    font.glyphs.push_back(SwfGlyph{box(0, -700, 500, 1, 0), 'a', 550, {0, 500, -700, -200}});
    font.glyphs.push_back(SwfGlyph{box(0, -600, 400, 1, 0), 'b', 450, {0, 400, -600, -200}});
    w.defineFont(3, font).defineFontName(20, "Seed Sans", "none");
    w.defineFont1(21, {box(0, -500, 400, 1, 0)}).defineFontInfo(2, 21, "Old", 0x01, {'x'});
    w.defineText(2, 22, {0, 2000, -800, 200}, SwfMatrix{.translateX = 10},
                 {SwfTextRecord{.fontId = 20, .height = 400, .color = SwfRgba{0, 0, 0, 255}, .x = 0, .y = 300,
                                .glyphs = {{0, 550}, {1, 450}}}});
    w.defineEditText(SwfEditText{.id = 23, .bounds = {0, 3000, 0, 600}, .wordWrap = true, .html = true,
                                 .useOutlines = true, .fontId = 20, .color = SwfRgba{10, 10, 10, 255},
                                 .maxLength = 50, .layout = SwfEditText::Layout{1, 20, 20, 0, 40},
                                 .variableName = "v", .initialText = QByteArray("<p align=\"center\"><font face=\"Seed Sans\" size=\"+2\" "
                                                              "color=\"#ff0000\">a<b>b</b></font><u>ab</u><br>"
                                                              "&amp;&#98;</p><li>a</li>")});
}

void addBitmaps(SwfWriter &w)
{
    w.defineBitsLossless(1, 10, 3, 3, 2, QByteArray::fromHex("ff000000ff00" "00010000" "01000000"), 2);
    w.defineBitsLossless(2, 11, 5, 2, 2, QByteArray::fromHex("ff102030" "80402010" "00000000" "ffffffff"));
    w.defineBitsLossless(1, 12, 4, 2, 1, QByteArray::fromHex("7c0003e0"));
    const QByteArray jpeg = smallJpeg();
    QByteArray tables;
    QByteArray image;
    SwfWriter::splitJpegTables(jpeg, tables, image);
    w.jpegTables(tables).defineBits(13, image);
    w.defineBitsJpeg2(14, jpeg);
    w.defineBitsJpeg3(15, jpeg, QByteArray(64, '\x80'));
}

void addTimeline(SwfWriter &w)
{
    SwfWriter inner;
    inner.placeObject2(SwfPlace{.depth = 1, .characterId = 1, .matrix = SwfMatrix{.translateX = 5}})
        .showFrame()
        .placeObject2(SwfPlace{.depth = 1, .move = true, .matrix = SwfMatrix{.rotate = std::pair{0.5, -0.5}}})
        .doAction(SwfActions().setTarget("..").gotoLabel("second").play().setTarget("").previousFrame())
        .showFrame()
        .end();
    w.defineSprite(30, inner);
    w.defineButton2(31, false,
                    {SwfButtonRecord{.states = 0x0F, .characterId = 2, .depth = 1, .filterList = filterList(),
                                     .blendMode = 3}});
    w.defineButton(32, {SwfButtonRecord{.states = 0x01, .characterId = 1}});
    w.defineSceneAndFrameLabelData({{0, "Scene 1"}}, {{0, "start"}});
    w.frameLabel("start");
    w.placeObject(1, 1, SwfMatrix{.scale = std::pair{1.5, 1.5}}, SwfCxform{.multiply = std::array<int16_t, 4>{128, 128, 128, 256}});
    w.placeObject2(SwfPlace{.depth = 2, .characterId = 4, .ratio = 30000, .name = QByteArray("m"), .clipDepth = 5});
    w.placeObject3(SwfPlace{.depth = 3, .characterId = 30, .cxform = SwfCxform{.add = std::array<int16_t, 4>{10, 10, 10, 0}},
                            .name = QByteArray("s"), .className = QByteArray("C"), .filterList = filterList(), .blendMode = 8,
                            .cacheAsBitmap = 1, .visible = 1, .backgroundColor = SwfRgba{1, 2, 3, 255}});
    w.placeObject2(SwfPlace{.depth = 4, .characterId = 22}).placeObject2(SwfPlace{.depth = 5, .characterId = 23});
    w.placeObject2(SwfPlace{.depth = 6, .characterId = 3}).placeObject2(SwfPlace{.depth = 7, .characterId = 31});
    // Timeline actions at the main timeline and at the sprite, then actions
    // that are passed over and a branch.
    w.doAction(SwfActions()
                   .setTarget("/s")
                   .stop()
                   .setTarget("_root.s")
                   .nextFrame()
                   .setTarget("")
                   .gotoFrame(1)
                   .play()
                   .record(0x96, QByteArray(2, '\0'))
                   .record(0x99, QByteArray(2, '\0'))
                   .stop());
    w.showFrame();
    w.removeObject(1, 1).removeObject2(2).frameLabel("second", true);
    w.doAction(SwfActions().gotoLabel("start").play()).showFrame();
}

// A stream of each codec the tests can encode, three frames each, moved on
// a frame per frame; one more of pictures narrower than the colour
// converter's vector width.
void addVideo(SwfWriter &w)
{
    const auto picturesOf = [](QSize size) {
        std::vector<QImage> pictures;
        for (const QColor c : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(c);
            pictures.push_back(image);
        }
        return pictures;
    };
    const auto screen = swftest::encodeVideo(swftest::TestVideoCodec::ScreenVideo, picturesOf(QSize(32, 32)), 2);
    const auto sorenson = swftest::encodeVideo(swftest::TestVideoCodec::SorensonH263, picturesOf(QSize(32, 32)), 2);
    const auto narrow = swftest::encodeVideo(swftest::TestVideoCodec::SorensonH263, picturesOf(QSize(8, 8)), 2);
    w.defineVideoStream(40, 3, 32, 32, 3).defineVideoStream(41, 3, 32, 32, 2, true, 1);
    w.defineVideoStream(42, 3, 8, 8, 2);
    for (uint16_t i = 0; i < 3; ++i) {
        w.videoFrame(40, i, screen[i]).videoFrame(41, i, sorenson[i]).videoFrame(42, i, narrow[i]);
        if (i == 0)
            w.placeObject2(SwfPlace{.depth = 1, .characterId = 40, .ratio = 0})
                .placeObject2(SwfPlace{.depth = 2, .characterId = 41, .matrix = SwfMatrix{.translateX = 700}, .ratio = 0})
                .placeObject2(SwfPlace{.depth = 3, .characterId = 42, .matrix = SwfMatrix{.translateY = 700}, .ratio = 0});
        else
            w.placeObject2(SwfPlace{.depth = 1, .move = true, .ratio = i})
                .placeObject2(SwfPlace{.depth = 2, .move = true, .ratio = i})
                .placeObject2(SwfPlace{.depth = 3, .move = true, .ratio = i});
        w.showFrame();
    }
}

} // namespace

QByteArray richMovie()
{
    SwfWriter w;
    w.setVersion(10).setBackgroundColor(250, 250, 250);
    addShapes(w);
    addText(w);
    addBitmaps(w);
    addTimeline(w);
    w.end();
    return w.bytes();
}

std::vector<QByteArray> seedMovies()
{
    std::vector<SwfWriter> writers(4);
    writers[0].setVersion(10);
    addShapes(writers[0]);
    writers[0].placeObject2(SwfPlace{.depth = 1, .characterId = 1}).showFrame().end();
    writers[1].setVersion(6);
    addText(writers[1]);
    addBitmaps(writers[1]);
    writers[1].showFrame().end();
    writers[2].setVersion(9);
    addTimeline(writers[2]);
    writers[2].end();
    writers[3].setVersion(8);
    addVideo(writers[3]);
    writers[3].end();

    std::vector<QByteArray> seeds{richMovie()};
    for (const auto &w : writers)
        seeds.push_back(w.bytes());
    const size_t plain = seeds.size();
    for (size_t i = 0; i < plain; ++i) {
        // Compressed forms of the same bodies.
        const QByteArray body = seeds[i].mid(8);
        QByteArray zlib = seeds[i].left(8) + SwfWriter::zlibCompress(body);
        zlib[0] = 'C';
        seeds.push_back(zlib);
        const QByteArray packed = SwfWriter::lzmaCompress(body);
        QByteArray lzma = seeds[i].left(8);
        lzma[0] = 'Z';
        const uint32_t size = uint32_t(packed.size() - 5);
        lzma.append(char(size & 0xFF)).append(char(size >> 8 & 0xFF)).append(char(size >> 16 & 0xFF)).append(char(size >> 24));
        seeds.push_back(lzma + packed);
    }
    return seeds;
}

} // namespace swfseed
