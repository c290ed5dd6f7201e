#pragma once
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <array>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

// Builds movie files from parts (the demonstration movie, test movies), so
// no third-party movie is ever needed.
// Values that do not fit the field asked for throw std::invalid_argument:
// a test must never get silently different bytes than it described.

// Bit fields, most significant bit first. Byte writes start on the next
// whole byte; the partial byte is padded with zero bits.
class BitWriter {
public:
    BitWriter &writeUB(uint32_t value, unsigned bits);
    BitWriter &writeSB(int32_t value, unsigned bits);
    BitWriter &writeFB(double value, unsigned bits); // 16.16 fixed point
    BitWriter &align();
    BitWriter &writeByte(uint8_t value);
    BitWriter &writeBytes(const QByteArray &bytes);

    QByteArray bytes() const { return m_bytes; }
    size_t bitLength() const;

    // The fewest bits that hold the value; zero needs none.
    static unsigned bitsForUB(uint32_t value);
    static unsigned bitsForSB(int32_t value);
    static unsigned bitsForFB(double value);
    static int32_t toFixed16(double value);

private:
    void writeBits(uint32_t value, unsigned bits);

    QByteArray m_bytes;
    unsigned m_usedBits = 0; // bits taken in the last byte; 0 when aligned
};

struct SwfRect {
    int32_t xmin = 0;
    int32_t xmax = 0;
    int32_t ymin = 0;
    int32_t ymax = 0;
};

struct SwfMatrix;
struct SwfCxform;

// The body of one tag, little-endian for multi-byte fields.
class TagBody {
public:
    TagBody &ui8(uint8_t value);
    TagBody &ui16(uint16_t value);
    TagBody &ui32(uint32_t value);
    TagBody &si16(int16_t value);
    TagBody &si32(int32_t value);
    TagBody &fixed8(double value); // 8.8
    TagBody &fixed(double value);  // 16.16
    TagBody &rgb(uint8_t red, uint8_t green, uint8_t blue);
    TagBody &rgba(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
    TagBody &string(const QByteArray &utf8); // null-terminated
    TagBody &raw(const QByteArray &bytes);

    TagBody &ub(uint32_t value, unsigned bits);
    TagBody &sb(int32_t value, unsigned bits);
    TagBody &fb(double value, unsigned bits);
    TagBody &align();

    // Without bits, the fewest that hold all four values.
    TagBody &rect(const SwfRect &rect, std::optional<unsigned> bits = std::nullopt);

    TagBody &f32(float value);
    TagBody &encodedU32(uint32_t value); // 7 bits a byte, low bits first
    // MATRIX and CXFORM / CXFORMWITHALPHA with the fewest bits; they start
    // on a whole byte.
    TagBody &matrix(const SwfMatrix &matrix);
    TagBody &cxform(const SwfCxform &cxform, bool withAlpha);

    QByteArray bytes() const { return m_bits.bytes(); }
    qsizetype size() const { return m_bits.bytes().size(); }

private:
    BitWriter m_bits;
};

namespace SwfTag {
enum : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObject = 4,
    RemoveObject = 5,
    DefineBits = 6,
    DefineButton = 7,
    JPEGTables = 8,
    SetBackgroundColor = 9,
    DefineFont = 10,
    DefineText = 11,
    DoAction = 12,
    DefineFontInfo = 13,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    DefineShape2 = 22,
    DefineButtonCxform = 23,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineText2 = 33,
    DefineButton2 = 34,
    DefineBitsJPEG3 = 35,
    DefineBitsLossless2 = 36,
    DefineEditText = 37,
    DefineSprite = 39,
    DefineVideoStream = 60,
    VideoFrame = 61,
    FrameLabel = 43,
    DefineMorphShape = 46,
    DefineFont2 = 48,
    DefineFontInfo2 = 62,
    FileAttributes = 69,
    PlaceObject3 = 70,
    DefineFont3 = 75,
    DoABC = 82,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
    DefineSceneAndFrameLabelData = 86,
    DefineFontName = 88,
    DefineBitsJPEG4 = 90,
};
}

// ---- descriptions of the structures the tag helpers below encode ----

struct SwfMatrix {
    std::optional<std::pair<double, double>> scale;  // scaleX, scaleY
    std::optional<std::pair<double, double>> rotate; // rotateSkew0, rotateSkew1
    int32_t translateX = 0;
    int32_t translateY = 0;
};

// Multipliers (8.8, 256 = 1) and additions: red, green, blue, alpha; alpha
// is left out when written without alpha.
struct SwfCxform {
    std::optional<std::array<int16_t, 4>> multiply;
    std::optional<std::array<int16_t, 4>> add;
};

struct SwfRgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct SwfGradientStop {
    uint8_t ratio = 0;
    SwfRgba color;
};

// One FILLSTYLE. Colours are written as RGB before DefineShape3.
struct SwfFillStyle {
    uint8_t type = 0x00;
    SwfRgba color;
    SwfMatrix matrix; // gradient or bitmap
    uint8_t spread = 0;
    uint8_t interpolation = 0;
    std::vector<SwfGradientStop> stops;
    double focalPoint = 0;
    uint16_t bitmapId = 0;

    static SwfFillStyle solid(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
};

// LINESTYLE; in DefineShape4 LINESTYLE2 with the further fields.
struct SwfLineStyle {
    uint16_t width = 20;
    SwfRgba color;
    uint8_t startCap = 0, endCap = 0, join = 0;
    double miterLimit = 0; // join 2 only
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    std::optional<SwfFillStyle> fill;
};

struct SwfStyleArrays {
    std::vector<SwfFillStyle> fills;
    std::vector<SwfLineStyle> lines;
};

// Shape records as a list of steps; bit widths are worked out on writing.
class SwfShape {
public:
    SwfStyleArrays styles;

    SwfShape &moveTo(int32_t x, int32_t y);
    // Style indices are 1-based; 0 clears.
    SwfShape &setStyles(std::optional<uint32_t> fill0, std::optional<uint32_t> fill1,
                        std::optional<uint32_t> line = std::nullopt);
    // One style change record with every field it is given.
    SwfShape &change(std::optional<std::pair<int32_t, int32_t>> moveTo, std::optional<uint32_t> fill0,
                     std::optional<uint32_t> fill1, std::optional<uint32_t> line,
                     std::optional<SwfStyleArrays> newStyles = std::nullopt);
    SwfShape &line(int32_t dx, int32_t dy);
    SwfShape &curve(int32_t controlDx, int32_t controlDy, int32_t anchorDx, int32_t anchorDy);
    // Straight edges through absolute points from the current position.
    SwfShape &polygon(std::initializer_list<std::pair<int32_t, int32_t>> deltas);

    // SHAPEWITHSTYLE for DefineShape of that version.
    void writeWithStyles(TagBody &body, int shapeVersion) const;
    // SHAPE: bit counts and records only (glyphs, morph edges). Without
    // counts, the fewest for the style arrays given.
    void writeBare(TagBody &body, std::optional<unsigned> fillBits = std::nullopt,
                   std::optional<unsigned> lineBits = std::nullopt, int shapeVersion = 1) const;

    static void writeFillStyle(TagBody &body, const SwfFillStyle &fill, int shapeVersion);
    static void writeStyleArrays(TagBody &body, const SwfStyleArrays &styles, int shapeVersion);

private:
    struct Step {
        enum Kind { Change, Straight, Curved } kind = Change;
        std::optional<std::pair<int32_t, int32_t>> moveTo;
        std::optional<uint32_t> fill0, fill1, line;
        std::optional<SwfStyleArrays> newStyles;
        int32_t v[4] = {};
    };
    void writeRecords(TagBody &body, unsigned fillBits, unsigned lineBits, int shapeVersion) const;
    std::vector<Step> m_steps;
};

// PlaceObject2 (or 3 with the further fields). Filters are a whole
// FILTERLIST, built by the caller.
struct SwfPlace {
    uint16_t depth = 1;
    bool move = false;
    std::optional<uint16_t> characterId;
    std::optional<SwfMatrix> matrix;
    std::optional<SwfCxform> cxform;
    std::optional<uint16_t> ratio;
    std::optional<QByteArray> name;
    std::optional<uint16_t> clipDepth;
    bool hasClipActions = false; // sets the flag and appends an empty list
    // PlaceObject3
    std::optional<QByteArray> className;
    bool hasImage = false;
    std::optional<QByteArray> filterList;
    std::optional<uint8_t> blendMode;
    std::optional<uint8_t> cacheAsBitmap;
    std::optional<uint8_t> visible;
    std::optional<SwfRgba> backgroundColor;
};

struct SwfGlyph {
    SwfShape shape;
    uint16_t code = 0;
    int16_t advance = 0;
    SwfRect bounds;
};

struct SwfKerning {
    uint16_t left = 0, right = 0;
    int16_t adjustment = 0;
};

// DefineFont2 / DefineFont3.
struct SwfFont {
    uint16_t id = 1;
    QByteArray name;
    bool shiftJis = false, smallText = false, ansi = false, wideOffsets = false, wideCodes = true;
    bool italic = false, bold = false;
    uint8_t language = 1;
    std::vector<SwfGlyph> glyphs;
    bool hasLayout = false;
    uint16_t ascent = 0, descent = 0;
    int16_t leading = 0;
    std::vector<SwfKerning> kerning;
};

struct SwfTextRecord {
    std::optional<uint16_t> fontId; // with height
    uint16_t height = 240;
    std::optional<SwfRgba> color;
    std::optional<int16_t> x, y;
    std::vector<std::pair<uint32_t, int32_t>> glyphs; // index, advance
};

struct SwfEditText {
    uint16_t id = 1;
    SwfRect bounds;
    bool wordWrap = false, multiline = false, password = false, readOnly = false;
    bool autoSize = false, noSelect = false, border = false, wasStatic = false, html = false,
         useOutlines = false;
    std::optional<uint16_t> fontId;
    std::optional<QByteArray> fontClass;
    uint16_t fontHeight = 240; // written with a font or font class
    std::optional<SwfRgba> color;
    std::optional<uint16_t> maxLength;
    struct Layout {
        uint8_t align = 0;
        uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
        int16_t leading = 0;
    };
    std::optional<Layout> layout;
    QByteArray variableName;
    std::optional<QByteArray> initialText;
};

struct SwfMorphFill {
    uint8_t type = 0x00;
    SwfRgba startColor, endColor;
    SwfMatrix startMatrix, endMatrix;
    uint8_t spread = 0, interpolation = 0;
    std::vector<std::pair<SwfGradientStop, SwfGradientStop>> stops;
    double startFocal = 0, endFocal = 0;
    uint16_t bitmapId = 0;
};

struct SwfMorphLine {
    uint16_t startWidth = 20, endWidth = 20;
    SwfRgba startColor, endColor;
    // DefineMorphShape2 only:
    uint8_t startCap = 0, endCap = 0, join = 0;
    double miterLimit = 0;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    std::optional<SwfMorphFill> fill;
};

struct SwfMorph {
    uint16_t id = 1;
    SwfRect startBounds, endBounds;
    SwfRect startEdgeBounds, endEdgeBounds; // version 2
    bool usesNonScalingStrokes = false, usesScalingStrokes = false;
    std::vector<SwfMorphFill> fills;
    std::vector<SwfMorphLine> lines;
    SwfShape start; // styles unused; indices refer to the morph styles
    SwfShape end;   // moves and edges only
};

struct SwfButtonRecord {
    uint8_t states = 0x01; // hitTest 8, down 4, over 2, up 1
    uint16_t characterId = 1;
    uint16_t depth = 1;
    SwfMatrix matrix;
    SwfCxform cxform; // DefineButton2
    std::optional<QByteArray> filterList;
    std::optional<uint8_t> blendMode;
};

// A frame script's action records, ended by ActionEndFlag when written.
class SwfActions {
public:
    SwfActions &stop() { return record(0x07); }
    SwfActions &play() { return record(0x06); }
    SwfActions &nextFrame() { return record(0x04); }
    SwfActions &previousFrame() { return record(0x05); }
    SwfActions &gotoFrame(uint16_t frame); // 0-based
    SwfActions &gotoLabel(const QByteArray &label);
    SwfActions &setTarget(const QByteArray &path); // empty: back to the script's own timeline
    // Any other record: codes from 0x80 carry a length and data.
    SwfActions &record(uint8_t code, const QByteArray &data = {});

    QByteArray bytes() const { return m_bytes + QByteArray(1, '\0'); }

private:
    QByteArray m_bytes;
};

class SwfWriter {
public:
    enum class Compression { None, Zlib, Lzma };

    // 13 is the first version that may be LZMA-compressed, so the default
    // suits every compression.
    SwfWriter &setVersion(uint8_t version);
    // Written instead of the signature the compression calls for.
    SwfWriter &setSignature(const QByteArray &threeBytes);
    // Written instead of the true uncompressed length.
    SwfWriter &setFileLength(std::optional<uint32_t> length);
    SwfWriter &setFrameSize(const SwfRect &twips, std::optional<unsigned> bits = std::nullopt);
    SwfWriter &setFrameRate(double framesPerSecond);
    SwfWriter &setFrameRate(uint8_t whole, uint8_t fraction);
    // Without a count, the number of ShowFrame tags added.
    SwfWriter &setFrameCount(std::optional<uint16_t> count);

    // Bodies of 63 bytes or more always get the long header.
    SwfWriter &addTag(uint16_t code, const QByteArray &body = {}, bool longHeader = false);
    SwfWriter &addTag(uint16_t code, const TagBody &body, bool longHeader = false);

    SwfWriter &setBackgroundColor(uint8_t red, uint8_t green, uint8_t blue);
    SwfWriter &showFrame();
    SwfWriter &frameLabel(const QByteArray &name, bool namedAnchor = false);
    SwfWriter &doAction(const SwfActions &actions);
    SwfWriter &end();

    // Definitions and display-list tags, from the descriptions above.
    SwfWriter &defineShape(int version, uint16_t id, const SwfRect &bounds, const SwfShape &shape);
    // Flags: 4 fill winding rule, 2 non-scaling strokes, 1 scaling strokes.
    SwfWriter &defineShape4(uint16_t id, const SwfRect &bounds, const SwfRect &edgeBounds, uint8_t flags,
                            const SwfShape &shape);
    SwfWriter &defineMorphShape(int version, const SwfMorph &morph);
    SwfWriter &placeObject(uint16_t characterId, uint16_t depth, const SwfMatrix &matrix,
                           std::optional<SwfCxform> cxform = std::nullopt);
    SwfWriter &placeObject2(const SwfPlace &place);
    SwfWriter &placeObject3(const SwfPlace &place);
    SwfWriter &removeObject(uint16_t characterId, uint16_t depth);
    SwfWriter &removeObject2(uint16_t depth);
    // Frame count defaults to the ShowFrame tags in the inner writer.
    SwfWriter &defineSprite(uint16_t id, const SwfWriter &inner, std::optional<uint16_t> frameCount = std::nullopt);
    // pixels are uncompressed (palette first for format 3) and compressed here.
    SwfWriter &defineBitsLossless(int version, uint16_t id, uint8_t format, uint16_t width, uint16_t height,
                                  const QByteArray &pixels, uint16_t colorTableSize = 0);
    SwfWriter &jpegTables(const QByteArray &tables);
    SwfWriter &defineBits(uint16_t id, const QByteArray &jpeg);
    SwfWriter &defineBitsJpeg2(uint16_t id, const QByteArray &image);
    // alpha is uncompressed, one byte per pixel; compressed here.
    SwfWriter &defineBitsJpeg3(uint16_t id, const QByteArray &jpeg, const QByteArray &alpha);
    SwfWriter &defineBitsJpeg4(uint16_t id, const QByteArray &jpeg, double deblocking, const QByteArray &alpha);
    // DefineFont: glyph shapes with one fill style.
    SwfWriter &defineFont1(uint16_t id, const std::vector<SwfShape> &glyphs);
    // Flags: small text 0x20, Shift-JIS 0x10, ANSI 0x08, italic 0x04, bold
    // 0x02, wide codes 0x01.
    SwfWriter &defineFontInfo(int version, uint16_t id, const QByteArray &name, uint8_t flags,
                              const std::vector<uint16_t> &codes, uint8_t language = 1);
    SwfWriter &defineFont(int version, const SwfFont &font); // 2 or 3
    SwfWriter &defineFontName(uint16_t id, const QByteArray &name, const QByteArray &copyright);
    SwfWriter &defineText(int version, uint16_t id, const SwfRect &bounds, const SwfMatrix &matrix,
                          const std::vector<SwfTextRecord> &records);
    SwfWriter &defineEditText(const SwfEditText &text);
    SwfWriter &defineSceneAndFrameLabelData(const std::vector<std::pair<uint32_t, QByteArray>> &scenes,
                                            const std::vector<std::pair<uint32_t, QByteArray>> &labels);
    SwfWriter &defineButton(uint16_t id, const std::vector<SwfButtonRecord> &records);
    SwfWriter &defineButton2(uint16_t id, bool trackAsMenu, const std::vector<SwfButtonRecord> &records);
    // Codec 2 Sorenson H.263, 3 Screen Video, 4 VP6, 5 VP6 with alpha, 6
    // Screen Video 2; deblocking 0..7.
    SwfWriter &defineVideoStream(uint16_t id, uint16_t frameCount, uint16_t width, uint16_t height, uint8_t codec,
                                 bool smoothing = false, uint8_t deblocking = 0);
    SwfWriter &videoFrame(uint16_t streamId, uint16_t frameNumber, const QByteArray &data);

    // The tags added so far, as they would follow the header.
    QByteArray tags() const { return m_tags; }
    // A JPEG file split into a tables-only stream (its quantisation and
    // Huffman tables) and the abbreviated image stream.
    static void splitJpegTables(const QByteArray &jpeg, QByteArray &tables, QByteArray &image);

    // Everything after the first 8 bytes, uncompressed: frame size, rate,
    // count and the tags, exactly as added (no End is implied).
    QByteArray body() const;
    QByteArray bytes(Compression compression = Compression::None) const;
    bool save(const QString &path, Compression compression = Compression::None) const;

    static QByteArray tagRecord(uint16_t code, const QByteArray &body, bool longHeader = false);
    static QByteArray zlibCompress(const QByteArray &data);
    // The five property bytes followed by the raw LZMA stream.
    static QByteArray lzmaCompress(const QByteArray &data);

private:
    uint8_t m_version = 13;
    std::optional<QByteArray> m_signature;
    std::optional<uint32_t> m_fileLength;
    SwfRect m_frameSize{0, 11000, 0, 8000};
    std::optional<unsigned> m_frameSizeBits;
    uint8_t m_rateWhole = 12;
    uint8_t m_rateFraction = 0;
    std::optional<uint16_t> m_frameCount;
    uint16_t m_showFrames = 0;
    QByteArray m_tags;
};

// Filters for SwfPlace::filterList and SwfButtonRecord::filterList. Flags
// bytes are as in the file: inner 0x80, knockout 0x40, composite source
// 0x20, then the pass count in the low bits.
namespace SwfFilter {
QByteArray list(const std::vector<QByteArray> &filters);
QByteArray dropShadow(const SwfRgba &color, double blurX, double blurY, double angle, double distance,
                      double strength, uint8_t flags);
QByteArray blur(double blurX, double blurY, uint8_t passes);
QByteArray glow(const SwfRgba &color, double blurX, double blurY, double strength, uint8_t flags);
// Four rows of five: red, green, blue, alpha, offset (0..255).
QByteArray colorMatrix(const std::array<float, 20> &matrix);
} // namespace SwfFilter
