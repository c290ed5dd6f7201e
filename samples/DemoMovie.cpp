#include "DemoMovie.h"

#include "engines/flashplayer/SwfWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <set>

namespace demo {
namespace {

constexpr int32_t kTwips = 20;
constexpr int32_t px(double pixels) { return int32_t(std::lround(pixels * kTwips)); }

// Character ids.
enum : uint16_t {
    kSky = 1,
    kSun,
    kPattern,       // the bitmap
    kPatternCard,   // a shape filled with it
    kFont,
    kTitle,
    kSubtitle,
    kCaption,
    kPinwheel,
    kPinwheelSprite,
    kMorph,
    kMask,
    kStripes,
};

// Depths on the main timeline.
enum : uint16_t {
    dSky = 1,
    dSun = 2,
    dText = 10,
    dSprite = 11,
    dCard = 12,
    dMorph = 13,
    dSubtitle = 14,
    dMask = 30,
    dStripes = 31, // the only depth the mask clips
};

// Edges from absolute points; the writer takes deltas.
class Pen {
public:
    explicit Pen(SwfShape &shape, int32_t x = 0, int32_t y = 0) : m_shape(shape), m_x(x), m_y(y) {}
    Pen &move(int32_t x, int32_t y)
    {
        m_shape.moveTo(x, y);
        m_x = x;
        m_y = y;
        return *this;
    }
    Pen &lineTo(int32_t x, int32_t y)
    {
        m_shape.line(x - m_x, y - m_y);
        m_x = x;
        m_y = y;
        return *this;
    }
    Pen &curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y)
    {
        m_shape.curve(cx - m_x, cy - m_y, x - cx, y - cy);
        m_x = x;
        m_y = y;
        return *this;
    }

private:
    SwfShape &m_shape;
    int32_t m_x;
    int32_t m_y;
};

// Clockwise on screen (y grows downwards), so fill 1 lies inside.
void rectangle(SwfShape &shape, int32_t x, int32_t y, int32_t w, int32_t h)
{
    Pen(shape).move(x, y).lineTo(x + w, y).lineTo(x + w, y + h).lineTo(x, y + h).lineTo(x, y);
}

// Eight quadratic arcs, clockwise from the rightmost point. Anchors are
// rounded once, so the outline closes exactly.
void circle(SwfShape &shape, int32_t cx, int32_t cy, int32_t r)
{
    const double step = std::numbers::pi / 4;
    const double reach = r / std::cos(step / 2);
    Pen pen(shape);
    pen.move(cx + r, cy);
    for (int k = 1; k <= 8; ++k) {
        const double mid = (k - 0.5) * step;
        const double end = k * step;
        pen.curveTo(cx + int32_t(std::lround(reach * std::cos(mid))), cy + int32_t(std::lround(reach * std::sin(mid))),
                    k == 8 ? cx + r : cx + int32_t(std::lround(r * std::cos(end))),
                    k == 8 ? cy : cy + int32_t(std::lround(r * std::sin(end))));
    }
}

SwfMatrix at(double xPixels, double yPixels)
{
    return SwfMatrix{.translateX = px(xPixels), .translateY = px(yPixels)};
}

SwfMatrix rotated(double degrees, double xPixels, double yPixels)
{
    const double a = degrees * std::numbers::pi / 180;
    SwfMatrix m = at(xPixels, yPixels);
    m.scale = std::pair{std::cos(a), std::cos(a)};
    m.rotate = std::pair{std::sin(a), -std::sin(a)};
    return m;
}

// Alpha multiplier only: 256 opaque, 0 invisible.
SwfCxform fade(int alpha)
{
    return SwfCxform{.multiply = std::array<int16_t, 4>{256, 256, 256, int16_t(std::clamp(alpha, 0, 256))}};
}

// ---- characters ----

void defineSky(SwfWriter &w)
{
    SwfShape sky;
    // Linear gradient along the gradient square's x axis, turned to run from
    // the top of the stage to the bottom.
    const double s = double(px(kStageHeight)) / 32768;
    sky.styles.fills = {SwfFillStyle{.type = 0x10,
                                     .matrix = SwfMatrix{.scale = std::pair{0.0, 0.0},
                                                         .rotate = std::pair{s, -s},
                                                         .translateX = px(kStageWidth / 2.0),
                                                         .translateY = px(kStageHeight / 2.0)},
                                     .stops = {{0, {70, 130, 200, 255}},
                                               {150, {170, 205, 235, 255}},
                                               {255, {250, 225, 180, 255}}}}};
    sky.setStyles(std::nullopt, 1u);
    rectangle(sky, 0, 0, px(kStageWidth), px(kStageHeight));
    w.defineShape(3, kSky, {0, px(kStageWidth), 0, px(kStageHeight)}, sky);
}

void defineSun(SwfWriter &w)
{
    const int32_t r = px(45);
    SwfShape sun;
    const double s = 2.0 * r / 32768;
    sun.styles.fills = {SwfFillStyle{.type = 0x12,
                                     .matrix = SwfMatrix{.scale = std::pair{s, s}},
                                     .stops = {{0, {255, 255, 230, 255}},
                                               {110, {255, 215, 80, 255}},
                                               {200, {255, 150, 40, 200}},
                                               {255, {255, 120, 30, 0}}}}};
    sun.setStyles(std::nullopt, 1u);
    circle(sun, 0, 0, r);
    w.defineShape(3, kSun, {-r, r, -r, r}, sun);
}

// A 64 x 64 pattern of rings and bands, computed here.
void definePattern(SwfWriter &w)
{
    constexpr int side = 64;
    QByteArray pixels;
    pixels.reserve(side * side * 4);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double dx = x - side / 2 + 0.5;
            const double dy = y - side / 2 + 0.5;
            const double ring = 0.5 + 0.5 * std::sin(std::sqrt(dx * dx + dy * dy) * 0.6);
            const double band = 0.5 + 0.5 * std::cos((x + 2 * y) * 0.15);
            pixels.append(char(255)); // alpha; opaque, so premultiplying changes nothing
            pixels.append(char(std::lround(60 + 190 * ring)));
            pixels.append(char(std::lround(40 + 150 * band * (1 - ring))));
            pixels.append(char(std::lround(90 + 160 * band)));
        }
    }
    w.defineBitsLossless(2, kPattern, 5, side, side, pixels);

    // Shown at two screen pixels per bitmap pixel.
    SwfShape card;
    card.styles.fills = {SwfFillStyle{.type = 0x41, .matrix = SwfMatrix{.scale = std::pair{40.0, 40.0}},
                                      .bitmapId = kPattern}};
    card.styles.lines = {SwfLineStyle{.width = px(2), .color = {40, 40, 60, 255}}};
    card.setStyles(std::nullopt, 1u, 1u);
    rectangle(card, 0, 0, px(128), px(128));
    w.defineShape(3, kPatternCard, {-px(1), px(129), -px(1), px(129)}, card);
}

// ---- the font: block letters on a 5 x 7 grid, drawn as shapes ----

struct Letter {
    char code;
    std::array<const char *, 7> rows;
};

constexpr Letter kLetters[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
};

// DefineFont3 units: 20480 to the em. Cells of 2400 put the capitals at
// 0.82 em; the advance leaves one empty column.
constexpr int32_t kEm = 20480;
constexpr int32_t kCell = 2400;
constexpr int32_t kAdvance = 6 * kCell;

const char *const kTitleText = "TESSORY DEMO";
const char *const kSubtitleText = "FRAMES TO PAPER";
const char *const kCaptionText = "SCENE TWO";

SwfShape glyphShape(const Letter &letter)
{
    SwfShape shape;
    shape.setStyles(std::nullopt, 1u);
    // One rectangle per run of set cells in a row; the baseline is y = 0.
    for (int row = 0; row < 7; ++row) {
        const char *cells = letter.rows[size_t(row)];
        for (int col = 0; col < 5;) {
            if (cells[col] != '#') {
                ++col;
                continue;
            }
            int end = col;
            while (end < 5 && cells[end] == '#')
                ++end;
            rectangle(shape, col * kCell, (row - 7) * kCell, (end - col) * kCell, kCell);
            col = end;
        }
    }
    return shape;
}

// Glyph index per character code, for the letters the texts use.
std::map<char, uint32_t> defineFont(SwfWriter &w)
{
    std::set<char> used;
    for (const char *text : {kTitleText, kSubtitleText, kCaptionText})
        for (const char *c = text; *c; ++c)
            used.insert(*c);

    SwfFont font{.id = kFont, .name = "Tessory Blocks", .hasLayout = true, .ascent = uint16_t(8 * kCell),
                 .descent = uint16_t(2 * kCell), .leading = int16_t(kCell)};
    std::map<char, uint32_t> index;
    if (used.count(' ')) {
        index[' '] = uint32_t(font.glyphs.size());
        font.glyphs.push_back(SwfGlyph{SwfShape{}, ' ', int16_t(kAdvance), {}});
    }
    for (const Letter &letter : kLetters) {
        if (!used.count(letter.code))
            continue;
        index[letter.code] = uint32_t(font.glyphs.size());
        font.glyphs.push_back(
            SwfGlyph{glyphShape(letter), uint16_t(letter.code), int16_t(kAdvance), {0, 5 * kCell, -7 * kCell, 0}});
    }
    w.defineFont(3, font);
    w.defineFontName(kFont, "Tessory Blocks", "Drawn for the Tessory demonstration movie");
    return index;
}

// A one-line static text, centred on x = 0 with its baseline at y = 0.
void defineText(SwfWriter &w, uint16_t id, const char *text, double heightPixels, SwfRgba color,
                const std::map<char, uint32_t> &glyphs)
{
    const int32_t height = px(heightPixels);
    const int32_t advance = int32_t(std::lround(double(kAdvance) * height / kEm));
    const int32_t count = int32_t(std::strlen(text));
    // The last column of the last letter is empty: leave it out of the width.
    const int32_t width = count * advance - advance / 6;
    SwfTextRecord record{.fontId = kFont, .height = uint16_t(height), .color = color,
                         .x = int16_t(-width / 2), .y = 0};
    for (const char *c = text; *c; ++c)
        record.glyphs.emplace_back(glyphs.at(*c), advance);
    const int32_t capHeight = int32_t(std::lround(7.0 * kCell * height / kEm));
    w.defineText(2, id, {-width / 2, width - width / 2, -capHeight, 0}, SwfMatrix{}, {record});
}

// Four coloured blades and a hub, turning inside a sprite of 24 frames.
void definePinwheel(SwfWriter &w)
{
    const int32_t r = px(55);
    SwfShape wheel;
    wheel.styles.fills = {SwfFillStyle::solid(230, 70, 70), SwfFillStyle::solid(250, 190, 50),
                          SwfFillStyle::solid(70, 170, 90), SwfFillStyle::solid(60, 110, 210),
                          SwfFillStyle::solid(250, 250, 250)};
    wheel.styles.lines = {SwfLineStyle{.width = px(1.5), .color = {30, 30, 50, 255}}};
    for (uint32_t blade = 0; blade < 4; ++blade) {
        // Each blade: from the hub out along one axis, then back at a slant.
        const double a = blade * std::numbers::pi / 2;
        const auto pt = [&](double along, double across) {
            return std::pair{int32_t(std::lround(along * std::cos(a) - across * std::sin(a))),
                             int32_t(std::lround(along * std::sin(a) + across * std::cos(a)))};
        };
        const auto [x1, y1] = pt(r, 0);
        const auto [cx, cy] = pt(r, r * 0.55);
        const auto [x2, y2] = pt(r * 0.55, r * 0.55);
        wheel.change(std::pair{0, 0}, 0u, blade + 1, 1u);
        Pen(wheel).lineTo(x1, y1).curveTo(cx, cy, x2, y2).lineTo(0, 0);
    }
    wheel.setStyles(0u, 5u, 1u);
    circle(wheel, 0, 0, px(8));
    w.defineShape(3, kPinwheel, {-r - px(1), r + px(1), -r - px(1), r + px(1)}, wheel);

    SwfWriter inner;
    for (int frame = 0; frame < 24; ++frame) {
        SwfPlace place{.depth = 1, .move = frame > 0, .matrix = rotated(frame * 15.0, 0, 0)};
        if (frame == 0)
            place.characterId = kPinwheel;
        inner.placeObject2(place).showFrame();
    }
    inner.end();
    w.defineSprite(kPinwheelSprite, inner);
}

// A square whose sides bulge into a circle while it turns from red to blue.
// Both outlines have eight curved edges, paired one to one.
void defineMorph(SwfWriter &w)
{
    const int32_t a = px(52);
    const int32_t r = px(65);
    SwfMorph morph;
    morph.id = kMorph;
    morph.startBounds = {-a - px(2), a + px(2), -a - px(2), a + px(2)};
    morph.endBounds = {-r - px(2), r + px(2), -r - px(2), r + px(2)};
    morph.fills = {SwfMorphFill{.startColor = {220, 60, 60, 255}, .endColor = {50, 90, 220, 255}}};
    morph.lines = {SwfMorphLine{.startWidth = uint16_t(px(3)), .endWidth = uint16_t(px(1)),
                                .startColor = {90, 20, 20, 255}, .endColor = {20, 30, 90, 255}}};

    // The square's anchors: side midpoints and corners, clockwise from the right.
    const std::array<std::pair<int32_t, int32_t>, 8> square = {
        {{a, 0}, {a, a}, {0, a}, {-a, a}, {-a, 0}, {-a, -a}, {0, -a}, {a, -a}}};
    // One record for the styles and the first move, as the end outline has
    // one record for its move.
    morph.start.change(square[0], std::nullopt, 1u, 1u);
    Pen start(morph.start, square[0].first, square[0].second);
    for (size_t k = 1; k <= 8; ++k) {
        const auto &[x0, y0] = square[k - 1];
        const auto &[x1, y1] = square[k % 8];
        start.curveTo((x0 + x1) / 2, (y0 + y1) / 2, x1, y1);
    }
    circle(morph.end, 0, 0, r);
    w.defineMorphShape(1, morph);
}

void defineMaskAndStripes(SwfWriter &w)
{
    SwfShape mask;
    mask.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
    mask.setStyles(std::nullopt, 1u);
    circle(mask, 0, 0, px(62));
    w.defineShape(3, kMask, {-px(62), px(62), -px(62), px(62)}, mask);

    SwfShape stripes;
    const std::array<SwfRgba, 4> colours = {{{240, 90, 60, 255}, {250, 230, 120, 255}, {60, 160, 200, 255},
                                             {120, 70, 170, 255}}};
    for (const SwfRgba &c : colours)
        stripes.styles.fills.push_back(SwfFillStyle::solid(c.r, c.g, c.b));
    for (int i = 0; i < 13; ++i) {
        stripes.setStyles(std::nullopt, uint32_t(i % 4 + 1));
        rectangle(stripes, px(20 * i), 0, px(20), px(140));
    }
    w.defineShape(3, kStripes, {0, px(260), 0, px(140)}, stripes);
}

// ---- the timeline ----

void sceneOne(SwfWriter &w, int frame)
{
    const int f = frame;
    if (f == 0) {
        w.placeObject2(SwfPlace{.depth = dText, .characterId = kTitle, .matrix = at(275, 110),
                                .cxform = fade(0)});
        w.placeObject2(SwfPlace{.depth = dSprite, .characterId = kPinwheelSprite, .matrix = at(455, 300)});
    } else if (f <= 23) {
        // The title fades in over the first second.
        w.placeObject2(SwfPlace{.depth = dText, .move = true, .cxform = fade(256 * f / 23)});
    }
    if (f == 12)
        w.placeObject2(SwfPlace{.depth = dSubtitle, .characterId = kSubtitle, .matrix = at(275, 150)});
    // The bitmap card slides in from the left, then rests.
    if (f <= 24) {
        const double x = -130 + 170.0 * f / 24;
        SwfPlace card{.depth = dCard, .move = f > 0, .matrix = at(x, 200)};
        if (f == 0)
            card.characterId = kPatternCard;
        w.placeObject2(card);
    }
}

void sceneTwo(SwfWriter &w, int frame)
{
    const int f = frame - kSceneFrames;
    // The caption's red glows and dims once a second.
    const int16_t red = int16_t(std::lround(110 * (1 - std::cos(f * std::numbers::pi / 12))));
    const SwfCxform glow{.add = std::array<int16_t, 4>{red, 0, 0, 0}};
    if (f == 0) {
        w.removeObject2(dText).removeObject2(dSubtitle);
        w.placeObject2(SwfPlace{.depth = dText, .characterId = kCaption, .matrix = at(275, 70), .cxform = glow});
        w.placeObject2(SwfPlace{.depth = dSprite, .move = true, .matrix = at(470, 330)});
        w.placeObject2(SwfPlace{.depth = dCard, .move = true, .matrix = at(40, 262)});
        w.placeObject2(SwfPlace{.depth = dStripes, .characterId = kStripes, .matrix = at(30, 110)});
    } else {
        w.placeObject2(SwfPlace{.depth = dText, .move = true, .cxform = glow});
    }
    // The morph goes to the circle and back every two seconds.
    const double phase = 0.5 - 0.5 * std::cos(f * std::numbers::pi / 24);
    SwfPlace morph{.depth = dMorph, .move = f > 0, .matrix = at(420, 180),
                   .ratio = uint16_t(std::lround(65535 * phase))};
    if (f == 0)
        morph.characterId = kMorph;
    w.placeObject2(morph);
    // A round window travels over the stripes.
    const double maskX = 30 + 62 + (260 - 124) * (0.5 - 0.5 * std::cos(f * std::numbers::pi / 16));
    SwfPlace mask{.depth = dMask, .move = f > 0, .matrix = at(maskX, 180)};
    if (f == 0) {
        mask.characterId = kMask;
        mask.clipDepth = dStripes;
    }
    w.placeObject2(mask);
    // The card fades out over the last second.
    if (f >= 24)
        w.placeObject2(SwfPlace{.depth = dCard, .move = true, .cxform = fade(256 * (47 - f) / 23)});
}

} // namespace

QByteArray demoMovie()
{
    SwfWriter w;
    w.setVersion(10)
        .setFrameSize({0, px(kStageWidth), 0, px(kStageHeight)})
        .setFrameRate(double(kFrameRate));
    w.addTag(SwfTag::FileAttributes, TagBody().ui32(0));
    w.defineSceneAndFrameLabelData({{0, "Intro"}, {uint32_t(kSceneFrames), "Showcase"}},
                                   {{0, "intro"}, {24, "title"}, {uint32_t(kSceneFrames), "showcase"},
                                    {uint32_t(kSceneFrames + 24), "fade-out"}});
    w.setBackgroundColor(250, 246, 238);

    defineSky(w);
    defineSun(w);
    definePattern(w);
    const auto glyphs = defineFont(w);
    defineText(w, kTitle, kTitleText, 56, {30, 40, 90, 255}, glyphs);
    defineText(w, kSubtitle, kSubtitleText, 22, {60, 60, 80, 255}, glyphs);
    defineText(w, kCaption, kCaptionText, 44, {30, 40, 90, 255}, glyphs);
    definePinwheel(w);
    defineMorph(w);
    defineMaskAndStripes(w);

    w.placeObject2(SwfPlace{.depth = dSky, .characterId = kSky});
    for (int frame = 0; frame < kFrameCount; ++frame) {
        switch (frame) {
        case 0: w.frameLabel("intro"); break;
        case 24: w.frameLabel("title"); break;
        case kSceneFrames: w.frameLabel("showcase"); break;
        case kSceneFrames + 24: w.frameLabel("fade-out"); break;
        default: break;
        }
        // The sun crosses the sky once over the whole movie.
        const double t = double(frame) / (kFrameCount - 1);
        SwfPlace sun{.depth = dSun, .move = frame > 0,
                     .matrix = at(50 + 450 * t, 95 - 60 * std::sin(t * std::numbers::pi))};
        if (frame == 0)
            sun.characterId = kSun;
        w.placeObject2(sun);
        if (frame < kSceneFrames)
            sceneOne(w, frame);
        else
            sceneTwo(w, frame);
        w.showFrame();
    }
    w.end();
    return w.bytes(SwfWriter::Compression::Zlib);
}

} // namespace demo
