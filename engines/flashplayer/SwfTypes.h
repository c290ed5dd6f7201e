#pragma once
// The movie as read from a file: plain data, nothing drawn or played.
//
// Units: coordinates and widths are twips (1/20 pixel) unless a field says
// otherwise. Fixed-point values of the file are given as double, except the
// colour transform, which keeps the file's 8.8 integers so a consumer can
// reproduce the player's integer arithmetic exactly.
//
// Map of this header:
//   basics         Rect, Point, Matrix, Color, ColorTransform
//   display list   PlaceObject (+ Filter, BlendMode), RemoveObject, Frame
//   shapes         FillStyle, LineStyle, ShapeRecord, ShapeData, Shape,
//                  MorphShape
//   characters     Bitmap, Font, Text, EditText, Sprite, Button
//   drawing        StageQuality
//   the movie      Movie (header, characters by id, main timeline, scenes,
//                  JPEG tables, warnings)
//
// Paths for drawing shapes are built from ShapeData by SwfShapes.h; images
// are decoded from Bitmap by SwfBitmaps.h.

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace swf {

struct Rect {
    int32_t xMin = 0;
    int32_t xMax = 0;
    int32_t yMin = 0;
    int32_t yMax = 0;

    int64_t width() const { return int64_t(xMax) - xMin; }
    int64_t height() const { return int64_t(yMax) - yMin; }
    QRectF toRectF() const { return QRectF(xMin, yMin, double(width()), double(height())); }
    bool operator==(const Rect &) const = default;
};

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point &) const = default;
};

// x' = scaleX * x + rotateSkew1 * y + translateX
// y' = rotateSkew0 * x + scaleY * y + translateY
struct Matrix {
    double scaleX = 1.0;
    double rotateSkew0 = 0.0;
    double rotateSkew1 = 0.0;
    double scaleY = 1.0;
    int32_t translateX = 0;
    int32_t translateY = 0;

    QTransform toTransform() const
    {
        return QTransform(scaleX, rotateSkew0, rotateSkew1, scaleY, translateX, translateY);
    }
    bool operator==(const Matrix &) const = default;
};

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;
    bool operator==(const Color &) const = default;
};

// result = clamp(channel * multiplier / 256 + add). Identity by default;
// a transform read without alpha terms keeps alpha at identity.
struct ColorTransform {
    int16_t redMultiplier = 256;
    int16_t greenMultiplier = 256;
    int16_t blueMultiplier = 256;
    int16_t alphaMultiplier = 256;
    int16_t redAdd = 0;
    int16_t greenAdd = 0;
    int16_t blueAdd = 0;
    int16_t alphaAdd = 0;
    bool operator==(const ColorTransform &) const = default;
};

// ---- filters (PlaceObject3, DefineButton2) ----

struct DropShadowFilter {
    Color color;
    double blurX = 0, blurY = 0;
    double angle = 0;    // radians
    double distance = 0; // pixels
    double strength = 0;
    bool innerShadow = false;
    bool knockout = false;
    bool compositeSource = false;
    uint8_t passes = 0;
};

struct BlurFilter {
    double blurX = 0, blurY = 0;
    uint8_t passes = 0;
};

struct GlowFilter {
    Color color;
    double blurX = 0, blurY = 0;
    double strength = 0;
    bool innerGlow = false;
    bool knockout = false;
    bool compositeSource = false;
    uint8_t passes = 0;
};

struct BevelFilter {
    Color shadowColor;
    Color highlightColor;
    double blurX = 0, blurY = 0;
    double angle = 0;
    double distance = 0;
    double strength = 0;
    bool innerShadow = false;
    bool knockout = false;
    bool compositeSource = false;
    bool onTop = false;
    uint8_t passes = 0;
};

struct GradientFilterStop {
    Color color;
    uint8_t ratio = 0;
};

// Shared by the gradient glow and gradient bevel filters.
struct GradientFilterData {
    std::vector<GradientFilterStop> stops;
    double blurX = 0, blurY = 0;
    double angle = 0;
    double distance = 0;
    double strength = 0;
    bool innerShadow = false;
    bool knockout = false;
    bool compositeSource = false;
    bool onTop = false;
    uint8_t passes = 0;
};
struct GradientGlowFilter : GradientFilterData {};
struct GradientBevelFilter : GradientFilterData {};

struct ConvolutionFilter {
    uint8_t matrixX = 0; // columns
    uint8_t matrixY = 0; // rows
    float divisor = 1;
    float bias = 0;
    std::vector<float> matrix; // matrixX * matrixY values, row by row
    Color defaultColor;
    bool clamp = false;
    bool preserveAlpha = false;
};

struct ColorMatrixFilter {
    std::array<float, 20> matrix{}; // 4 rows of 5: r, g, b, a, offset
};

// The alternative index equals the filter id in the file.
using Filter = std::variant<DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientGlowFilter,
                            ConvolutionFilter, ColorMatrixFilter, GradientBevelFilter>;

enum class BlendMode : uint8_t {
    Normal = 1, // the file's 0 reads as Normal too
    Layer,
    Multiply,
    Screen,
    Lighten,
    Darken,
    Difference,
    Add,
    Subtract,
    Invert,
    Alpha,
    Erase,
    Overlay,
    HardLight,
};

// ---- display list ----

// PlaceObject 1, 2, 3 (and 4, whose trailing data is not kept). Absent
// optionals were not in the tag: the object keeps what it had.
struct PlaceObject {
    uint8_t version = 2;
    uint16_t depth = 0;
    bool move = false; // modify (or, with a character, replace) what is at depth
    std::optional<uint16_t> characterId;
    std::optional<Matrix> matrix; // always present in version 1
    std::optional<ColorTransform> colorTransform;
    std::optional<uint16_t> ratio; // morph position 0..65535, or sprite ratio
    std::optional<QString> name;
    std::optional<uint16_t> clipDepth; // a mask for depths up to this one
    std::optional<std::vector<Filter>> filters;
    std::optional<BlendMode> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Color> backgroundColor; // opaque background of a cached bitmap
    std::optional<QString> className;
    bool hasImage = false;       // version 3: the class names a bitmap
    bool hasClipActions = false; // event scripts follow; not kept
};

struct RemoveObject {
    uint8_t version = 2;
    uint16_t depth = 0;
    std::optional<uint16_t> characterId; // version 1 only
};

using DisplayTag = std::variant<PlaceObject, RemoveObject>;

struct FrameLabel {
    QString name;
    bool namedAnchor = false;
};

// A frame script's action that steers a timeline: the only actions the
// player runs. A script's actions are kept up to the first that branches
// (their effect would depend on values the player does not compute).
struct TimelineAction {
    enum class Kind : uint8_t { Stop, Play, GotoFrame, GotoLabel, NextFrame, PreviousFrame, SetTarget };
    Kind kind = Kind::Stop;
    uint32_t frame = 0; // GotoFrame: 0-based
    QString name;       // GotoLabel: the label; SetTarget: the path, empty for the script's own timeline
};

// What happens on one frame, in file order. A ShowFrame ends a frame; what
// stands after the last ShowFrame forms one more frame. Actions run once
// the frame's display tags have been applied.
struct Frame {
    std::vector<DisplayTag> tags;
    std::vector<FrameLabel> labels;
    std::vector<TimelineAction> actions;
};

// ---- shapes ----

enum class FillStyleType : uint8_t {
    Solid = 0x00,
    LinearGradient = 0x10,
    RadialGradient = 0x12,
    FocalRadialGradient = 0x13,
    RepeatingBitmap = 0x40,
    ClippedBitmap = 0x41,
    NonSmoothedRepeatingBitmap = 0x42,
    NonSmoothedClippedBitmap = 0x43,
};

enum class SpreadMode : uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class InterpolationMode : uint8_t { Rgb = 0, LinearRgb = 1 };

struct GradientRecord {
    uint8_t ratio = 0;
    Color color;
    bool operator==(const GradientRecord &) const = default;
};

// The gradient square is -16384..16384 twips on both axes; the matrix maps
// it into shape space.
struct Gradient {
    Matrix matrix;
    SpreadMode spread = SpreadMode::Pad;
    InterpolationMode interpolation = InterpolationMode::Rgb;
    std::vector<GradientRecord> records;
    double focalPoint = 0; // -1..1, focal radial gradients only
};

struct FillStyle {
    FillStyleType type = FillStyleType::Solid;
    Color color; // solid fills
    Gradient gradient;
    uint16_t bitmapId = 0;
    Matrix bitmapMatrix; // maps bitmap pixels (at 20 twips each) to shape space
    // From the type, but players before version 8 never smooth bitmaps.
    bool bitmapSmoothed = false;

    bool isGradient() const { return uint8_t(type) >= 0x10 && uint8_t(type) <= 0x13; }
    bool isBitmap() const { return uint8_t(type) >= 0x40; }
    bool bitmapRepeats() const { return (uint8_t(type) & 1) == 0; }
};

enum class CapStyle : uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : uint8_t { Round = 0, Bevel = 1, Miter = 2 };

// LINESTYLE (DefineShape 1-3) or LINESTYLE2 (DefineShape4); the first
// leaves the LINESTYLE2-only fields at their defaults.
struct LineStyle {
    uint16_t width = 0;
    Color color; // unused when fill is set
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0; // miter joins only
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    std::optional<FillStyle> fill;
};

struct ShapeStyles {
    std::vector<FillStyle> fillStyles;
    std::vector<LineStyle> lineStyles;
};

// Style indices are 1-based into the style arrays in force; 0 means none.
// New style arrays (DefineShape2 and later) replace the ones in force.
struct StyleChangeRecord {
    std::optional<Point> moveTo; // absolute, in shape space
    std::optional<uint32_t> fillStyle0;
    std::optional<uint32_t> fillStyle1;
    std::optional<uint32_t> lineStyle;
    std::shared_ptr<const ShapeStyles> newStyles;
};

struct StraightEdgeRecord {
    int32_t deltaX = 0;
    int32_t deltaY = 0;
};

struct CurvedEdgeRecord {
    int32_t controlDeltaX = 0; // from the current point
    int32_t controlDeltaY = 0;
    int32_t anchorDeltaX = 0; // from the control point
    int32_t anchorDeltaY = 0;
};

using ShapeRecord = std::variant<StyleChangeRecord, StraightEdgeRecord, CurvedEdgeRecord>;

// SHAPEWITHSTYLE, or a bare SHAPE (glyphs, morph edges) with empty styles.
struct ShapeData {
    ShapeStyles styles;
    std::vector<ShapeRecord> records;
};

struct Shape {
    uint16_t id = 0;
    uint8_t version = 1; // DefineShape 1..4
    Rect bounds;
    Rect edgeBounds; // version 4; otherwise equal to bounds
    bool usesFillWindingRule = false;
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    ShapeData data;
};

// Start and end of each style; LINESTYLE2-only fields are equal in both.
struct MorphFillStyle {
    FillStyle start;
    FillStyle end;
};

struct MorphLineStyle {
    LineStyle start;
    LineStyle end;
};

// The end records carry only moves and edges, paired one to one with the
// start records' edges; styles come from the start records.
struct MorphShape {
    uint16_t id = 0;
    uint8_t version = 1; // DefineMorphShape 1..2
    Rect startBounds;
    Rect endBounds;
    Rect startEdgeBounds; // version 2; otherwise the bounds
    Rect endEdgeBounds;
    bool usesNonScalingStrokes = false;
    bool usesScalingStrokes = false;
    std::vector<MorphFillStyle> fillStyles;
    std::vector<MorphLineStyle> lineStyles;
    std::vector<ShapeRecord> startRecords;
    std::vector<ShapeRecord> endRecords;
};

// ---- bitmaps: kept encoded; SwfBitmaps.h decodes them ----

enum class BitmapKind : uint8_t {
    Jpeg,         // DefineBits: needs Movie::jpegTables
    Jpeg2,        // DefineBitsJPEG2: JPEG with its tables, PNG or GIF
    Jpeg3,        // DefineBitsJPEG3: as Jpeg2, plus a zlib alpha plane
    Jpeg4,        // DefineBitsJPEG4: as Jpeg3, plus a deblocking value
    Lossless,     // DefineBitsLossless: zlib pixels, no alpha
    Lossless2,    // DefineBitsLossless2: zlib pixels with premultiplied alpha
};

enum class ImageFormat : uint8_t { Unknown, Jpeg, Png, Gif };

// Lossless pixel layouts.
enum class LosslessFormat : uint8_t { ColorMapped8 = 3, Rgb15 = 4, Rgb32 = 5 };

struct Bitmap {
    uint16_t id = 0;
    BitmapKind kind = BitmapKind::Lossless;
    ImageFormat format = ImageFormat::Unknown; // JPEG kinds: what the data holds
    QByteArray data;      // image file bytes, or zlib pixels for lossless kinds
    QByteArray alphaData; // Jpeg3/Jpeg4: zlib, one byte per pixel
    double deblocking = 0; // Jpeg4
    LosslessFormat losslessFormat = LosslessFormat::Rgb32;
    uint16_t colorTableSize = 0; // ColorMapped8: number of palette entries
    // From the tag (lossless) or the image's own header; 0 when unknown.
    int width = 0;
    int height = 0;
};

// ---- text ----

struct Glyph {
    ShapeData shape; // em square: Font::emSquare units, baseline at y = 0
    uint16_t code = 0;
    std::optional<int16_t> advance; // with layout
    std::optional<Rect> bounds;     // with layout
};

struct KerningRecord {
    uint16_t leftCode = 0;
    uint16_t rightCode = 0;
    int16_t adjustment = 0;
};

// DefineFont 1/2/3, completed by DefineFontInfo 1/2 and DefineFontName.
struct Font {
    uint16_t id = 0;
    uint8_t version = 1;
    int emSquare = 1024; // 20480 for DefineFont3
    QString name;
    QString copyright;
    bool hasLayout = false;
    bool smallText = false;
    bool shiftJis = false;
    bool ansi = false;
    bool italic = false;
    bool bold = false;
    bool wideCodes = false;
    bool wideOffsets = false;
    uint8_t languageCode = 0;
    bool hasFontInfo = false; // DefineFontInfo supplied name, flags and codes
    std::vector<Glyph> glyphs;
    uint16_t ascent = 0; // with layout, in em-square units
    uint16_t descent = 0;
    int16_t leading = 0;
    std::vector<KerningRecord> kerning;
};

struct GlyphEntry {
    uint32_t index = 0; // into the font's glyphs
    int32_t advance = 0;
};

// Absent optionals carry over from the previous record.
struct TextRecord {
    std::optional<uint16_t> fontId;
    std::optional<Color> color;
    std::optional<int16_t> xOffset;
    std::optional<int16_t> yOffset;
    std::optional<uint16_t> height; // set together with fontId
    std::vector<GlyphEntry> glyphs;
};

struct Text {
    uint16_t id = 0;
    uint8_t version = 1; // DefineText 1..2 (2 has alpha in colours)
    Rect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
};

enum class TextAlign : uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };

struct EditTextLayout {
    TextAlign align = TextAlign::Left;
    uint16_t leftMargin = 0;
    uint16_t rightMargin = 0;
    uint16_t indent = 0;
    int16_t leading = 0;
};

struct EditText {
    uint16_t id = 0;
    Rect bounds;
    bool wordWrap = false;
    bool multiline = false;
    bool password = false;
    bool readOnly = false;
    bool autoSize = false;
    bool noSelect = false;
    bool border = false;
    bool wasStatic = false;
    bool html = false;
    bool useOutlines = false; // draw with the embedded font's glyphs
    std::optional<uint16_t> fontId;
    std::optional<QString> fontClass;
    std::optional<uint16_t> fontHeight;
    std::optional<Color> textColor;
    std::optional<uint16_t> maxLength;
    std::optional<EditTextLayout> layout;
    QString variableName;
    std::optional<QString> initialText; // HTML when html is set
};

// ---- sprites and buttons ----

struct Sprite {
    uint16_t id = 0;
    uint16_t frameCount = 0; // as declared; frames holds what was read
    std::vector<Frame> frames;
};

struct ButtonRecord {
    bool up = false;
    bool over = false;
    bool down = false;
    bool hitTest = false;
    uint16_t characterId = 0;
    uint16_t depth = 0;
    Matrix matrix;
    std::optional<ColorTransform> colorTransform; // DefineButton2
    std::vector<Filter> filters;
    BlendMode blendMode = BlendMode::Normal;
};

struct Button {
    uint16_t id = 0;
    uint8_t version = 1; // DefineButton 1..2
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records;
    // DefineButtonCxform: applied to the records in order (version 1).
    std::vector<ColorTransform> colorTransforms;
};

// ---- video ----

// The codec ids of DefineVideoStream.
enum class VideoCodec : uint8_t { SorensonH263 = 2, ScreenVideo = 3, Vp6 = 4, Vp6Alpha = 5, ScreenVideo2 = 6 };

// DefineVideoStream and its VideoFrame tags, wherever in the movie they
// are. A placed stream shows the frame its ratio names.
struct VideoStream {
    uint16_t id = 0;
    uint16_t frameCount = 0; // as declared
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t deblocking = 0;
    bool smoothing = false;
    uint8_t codec = 0; // a VideoCodec, or one this reader does not know
    std::map<uint16_t, QByteArray> frames; // by frame number
};

using Character = std::variant<Shape, MorphShape, Bitmap, Font, Text, EditText, Sprite, Button, VideoStream>;

// ---- drawing ----

// The player's stage qualities: Low draws without anti-aliasing and with
// unsmoothed bitmaps; High is the player's default.
enum class StageQuality { Low, Medium, High, Best };

// The most frames played from the first to reach one: over 12 hours at 24
// frames a second. Each costs a frame's timeline work, so a frame number
// in the billions would take hours.
inline constexpr int kMaxPlayedFrames = 1 << 20;

// ---- the movie ----

enum class Compression : uint8_t { None, Zlib, Lzma };

struct Warning {
    qint64 offset = 0; // of the tag's header, counted in the uncompressed file
    uint16_t tagCode = 0;
    QString message;
    int frame = 0; // of the main timeline, 0-based, that the tag belongs to
};

struct Scene {
    uint32_t frameOffset = 0; // first frame, 0-based
    QString name;
};

struct LabelledFrame {
    uint32_t frame = 0; // 0-based
    QString name;
};

// Scripts the movie holds that the player does not run, counted so that a
// user can be told why frames may differ from the Flash Player's.
struct ScriptUse {
    uint32_t frameScripts = 0;   // DoAction tags
    uint32_t actionsNotRun = 0;  // actions of frame scripts beyond the timeline actions run
    uint32_t initScripts = 0;    // DoInitAction: never run
    uint32_t eventScripts = 0;   // button and clip event handlers: need a user's input
    uint32_t abcScripts = 0;     // DoABC (ActionScript 3): never run
    uint32_t symbolClasses = 0;  // SymbolClass: characters that ActionScript 3 code creates
    uint32_t fonts4 = 0;         // DefineFont4: text that only ActionScript 3 lays out

    bool anyNotRun() const
    {
        return actionsNotRun || initScripts || eventScripts || abcScripts || symbolClasses;
    }
};

struct Movie {
    // Empty when the movie was read; otherwise nothing else is meaningful.
    QString error;

    uint8_t version = 0;
    Compression compression = Compression::None;
    uint32_t fileLength = 0; // as declared by the header
    Rect frameSize;
    double frameRate = 0; // frames per second
    uint16_t frameCount = 0; // as declared; frames holds what was read
    std::optional<Color> backgroundColor;
    bool actionScript3 = false;

    std::map<uint16_t, Character> characters;
    std::vector<Frame> frames;
    std::vector<Scene> scenes;               // DefineSceneAndFrameLabelData
    std::vector<LabelledFrame> frameLabels;  // DefineSceneAndFrameLabelData
    QByteArray jpegTables;                   // for BitmapKind::Jpeg
    // DefineScalingGrid: the centre rectangle of a sprite or button that
    // scales, the edges around it keeping their size; by character id.
    std::map<uint16_t, Rect> scalingGrids;

    ScriptUse scripts;

    std::vector<Warning> warnings; // the first ones only
    uint32_t droppedWarnings = 0;  // beyond those

    bool ok() const { return error.isEmpty(); }

    template <class T>
    const T *character(uint16_t id) const
    {
        const auto it = characters.find(id);
        return it == characters.end() ? nullptr : std::get_if<T>(&it->second);
    }
};

} // namespace swf
