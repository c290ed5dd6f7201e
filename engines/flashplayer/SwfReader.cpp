#include "engines/flashplayer/SwfReader.h"

#include "engines/flashplayer/SwfBitReader.h"

#include <QFile>
#include <QFileInfo>

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace swf {
namespace {

enum TagCode : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObjectTag = 4,
    RemoveObjectTag = 5,
    DefineBits = 6,
    DefineButton = 7,
    JPEGTables = 8,
    SetBackgroundColor = 9,
    DefineFont = 10,
    DefineText = 11,
    DoAction = 12,
    DefineFontInfo = 13,
    DefineSound = 14,
    StartSound = 15,
    DefineButtonSound = 17,
    SoundStreamHead = 18,
    SoundStreamBlock = 19,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    DefineShape2 = 22,
    DefineButtonCxform = 23,
    Protect = 24,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineText2 = 33,
    DefineButton2 = 34,
    DefineBitsJPEG3 = 35,
    DefineBitsLossless2 = 36,
    DefineEditText = 37,
    DefineSprite = 39,
    ProductInfo = 41,
    FrameLabelTag = 43,
    SoundStreamHead2 = 45,
    DefineMorphShape = 46,
    DefineFont2 = 48,
    ExportAssets = 56,
    ImportAssets = 57,
    EnableDebugger = 58,
    DoInitAction = 59,
    DefineVideoStream = 60,
    VideoFrame = 61,
    DefineFontInfo2 = 62,
    DebugID = 63,
    EnableDebugger2 = 64,
    ScriptLimits = 65,
    SetTabIndex = 66,
    FileAttributes = 69,
    PlaceObject3 = 70,
    ImportAssets2 = 71,
    DoABCDefine = 72,
    DefineFontAlignZones = 73,
    CSMTextSettings = 74,
    DefineFont3 = 75,
    SymbolClass = 76,
    Metadata = 77,
    DefineScalingGrid = 78,
    DoABC = 82,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
    DefineSceneAndFrameLabelData = 86,
    DefineBinaryData = 87,
    DefineFontName = 88,
    StartSound2 = 89,
    DefineBitsJPEG4 = 90,
    DefineFont4 = 91,
    EnableTelemetry = 93,
    PlaceObject4 = 94,
};

struct TagNameEntry {
    uint16_t code;
    const char *name;
};

constexpr TagNameEntry kTagNames[] = {
    {End, "End"},
    {ShowFrame, "ShowFrame"},
    {DefineShape, "DefineShape"},
    {PlaceObjectTag, "PlaceObject"},
    {RemoveObjectTag, "RemoveObject"},
    {DefineBits, "DefineBits"},
    {DefineButton, "DefineButton"},
    {JPEGTables, "JPEGTables"},
    {SetBackgroundColor, "SetBackgroundColor"},
    {DefineFont, "DefineFont"},
    {DefineText, "DefineText"},
    {DoAction, "DoAction"},
    {DefineFontInfo, "DefineFontInfo"},
    {DefineSound, "DefineSound"},
    {StartSound, "StartSound"},
    {DefineButtonSound, "DefineButtonSound"},
    {SoundStreamHead, "SoundStreamHead"},
    {SoundStreamBlock, "SoundStreamBlock"},
    {DefineBitsLossless, "DefineBitsLossless"},
    {DefineBitsJPEG2, "DefineBitsJPEG2"},
    {DefineShape2, "DefineShape2"},
    {DefineButtonCxform, "DefineButtonCxform"},
    {Protect, "Protect"},
    {PlaceObject2, "PlaceObject2"},
    {RemoveObject2, "RemoveObject2"},
    {DefineShape3, "DefineShape3"},
    {DefineText2, "DefineText2"},
    {DefineButton2, "DefineButton2"},
    {DefineBitsJPEG3, "DefineBitsJPEG3"},
    {DefineBitsLossless2, "DefineBitsLossless2"},
    {DefineEditText, "DefineEditText"},
    {DefineSprite, "DefineSprite"},
    {ProductInfo, "ProductInfo"},
    {FrameLabelTag, "FrameLabel"},
    {SoundStreamHead2, "SoundStreamHead2"},
    {DefineMorphShape, "DefineMorphShape"},
    {DefineFont2, "DefineFont2"},
    {ExportAssets, "ExportAssets"},
    {ImportAssets, "ImportAssets"},
    {EnableDebugger, "EnableDebugger"},
    {DoInitAction, "DoInitAction"},
    {DefineVideoStream, "DefineVideoStream"},
    {VideoFrame, "VideoFrame"},
    {DefineFontInfo2, "DefineFontInfo2"},
    {DebugID, "DebugID"},
    {EnableDebugger2, "EnableDebugger2"},
    {ScriptLimits, "ScriptLimits"},
    {SetTabIndex, "SetTabIndex"},
    {FileAttributes, "FileAttributes"},
    {PlaceObject3, "PlaceObject3"},
    {ImportAssets2, "ImportAssets2"},
    {DoABCDefine, "DoABCDefine"},
    {DefineFontAlignZones, "DefineFontAlignZones"},
    {CSMTextSettings, "CSMTextSettings"},
    {DefineFont3, "DefineFont3"},
    {SymbolClass, "SymbolClass"},
    {Metadata, "Metadata"},
    {DefineScalingGrid, "DefineScalingGrid"},
    {DoABC, "DoABC"},
    {DefineShape4, "DefineShape4"},
    {DefineMorphShape2, "DefineMorphShape2"},
    {DefineSceneAndFrameLabelData, "DefineSceneAndFrameLabelData"},
    {DefineBinaryData, "DefineBinaryData"},
    {DefineFontName, "DefineFontName"},
    {StartSound2, "StartSound2"},
    {DefineBitsJPEG4, "DefineBitsJPEG4"},
    {DefineFont4, "DefineFont4"},
    {EnableTelemetry, "EnableTelemetry"},
    {PlaceObject4, "PlaceObject4"},
};

// Read and set aside without a word: sound and metadata do not show on a
// frame picture.
bool isQuietlySkipped(uint16_t code)
{
    switch (code) {
    case ExportAssets:
    case Protect:
    case EnableDebugger:
    case EnableDebugger2:
    case EnableTelemetry:
    case ScriptLimits:
    case SetTabIndex:
    case Metadata:
    case ProductInfo:
    case DebugID:
    case DefineFontAlignZones:
    case CSMTextSettings:
    case DefineBinaryData:
    case DefineSound:
    case StartSound:
    case StartSound2:
    case DefineButtonSound:
    case SoundStreamHead:
    case SoundStreamHead2:
    case SoundStreamBlock:
        return true;
    default:
        return false;
    }
}

// ---- decompression ----

struct Unpacked {
    QByteArray data;
    QString problem; // why it stopped early, if it did
};

// Grows out towards limit without trusting any size the file declares.
bool growOutput(QByteArray &out, size_t used, size_t limit)
{
    if (used < size_t(out.size()))
        return true;
    if (used >= limit)
        return false;
    const size_t grown = std::min(limit, std::max<size_t>(used * 2, 64 * 1024));
    out.resize(qsizetype(grown));
    return true;
}

Unpacked inflateMovie(const uint8_t *in, size_t size, size_t limit, size_t expected)
{
    Unpacked result;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        result.problem = QStringLiteral("the decompressor could not start");
        return result;
    }
    const std::unique_ptr<z_stream, int (*)(z_stream *)> release(&zs, inflateEnd);

    QByteArray out;
    out.resize(qsizetype(std::min({limit, expected, size * 4 + 64 * 1024})));
    size_t used = 0;
    const uint8_t *next = in;
    size_t left = size;
    for (;;) {
        if (!growOutput(out, used, limit)) {
            result.problem = QStringLiteral("it unpacks to more than %1 MiB; the rest is ignored")
                                 .arg(limit >> 20);
            break;
        }
        // zlib counts in 32 bits; feed it in slices.
        const uInt inSlice = uInt(std::min<size_t>(left, 1u << 30));
        const uInt outSlice = uInt(std::min<size_t>(size_t(out.size()) - used, 1u << 30));
        zs.next_in = const_cast<Bytef *>(next);
        zs.avail_in = inSlice;
        zs.next_out = reinterpret_cast<Bytef *>(out.data()) + used;
        zs.avail_out = outSlice;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const bool progress = zs.avail_in != inSlice || zs.avail_out != outSlice;
        next += inSlice - zs.avail_in;
        left -= inSlice - zs.avail_in;
        used += outSlice - zs.avail_out;
        if (rc == Z_STREAM_END)
            break;
        if ((rc == Z_OK || rc == Z_BUF_ERROR) && left == 0 && !progress) {
            result.problem = QStringLiteral("the compressed data ends early");
            break;
        }
        if ((rc == Z_OK || rc == Z_BUF_ERROR) && progress)
            continue;
        result.problem = QStringLiteral("the compressed data is damaged after %1 bytes").arg(used);
        break;
    }
    out.truncate(qsizetype(used));
    result.data = std::move(out);
    return result;
}

// A raw LZMA1 stream after five property bytes, usually without an end
// marker: it ends where the declared length or the input does.
Unpacked unpackLzmaMovie(const uint8_t *props, const uint8_t *in, size_t size, size_t limit)
{
    Unpacked result;
    lzma_filter filters[2] = {};
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, props, 5) != LZMA_OK) {
        result.problem = QStringLiteral("the compression properties are invalid");
        return result;
    }
    const std::unique_ptr<void, void (*)(void *)> options(filters[0].options, std::free);
    // The window need not exceed the output; a damaged header must not make
    // the decoder reserve gigabytes.
    auto *lzmaOptions = static_cast<lzma_options_lzma *>(filters[0].options);
    lzmaOptions->dict_size = uint32_t(std::clamp<size_t>(std::min<size_t>(lzmaOptions->dict_size, limit),
                                                         LZMA_DICT_SIZE_MIN, size_t(1) << 30));

    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&ls, filters) != LZMA_OK) {
        result.problem = QStringLiteral("the decompressor could not start");
        return result;
    }
    const std::unique_ptr<lzma_stream, void (*)(lzma_stream *)> release(&ls, lzma_end);

    QByteArray out;
    out.resize(qsizetype(std::min(limit, size * 4 + 64 * 1024)));
    size_t used = 0;
    ls.next_in = in;
    ls.avail_in = size;
    while (used < limit) {
        if (!growOutput(out, used, limit))
            break;
        ls.next_out = reinterpret_cast<uint8_t *>(out.data()) + used;
        ls.avail_out = size_t(out.size()) - used;
        const size_t before = ls.avail_out;
        const size_t inBefore = ls.avail_in;
        const lzma_ret rc = lzma_code(&ls, LZMA_RUN);
        used += before - ls.avail_out;
        if (rc == LZMA_STREAM_END)
            break;
        if (rc != LZMA_OK) {
            result.problem = QStringLiteral("the compressed data is damaged after %1 bytes").arg(used);
            break;
        }
        if (ls.avail_out == before && ls.avail_in == inBefore)
            break; // input used up
    }
    out.truncate(qsizetype(used));
    result.data = std::move(out);
    return result;
}

// ---- image headers ----

uint16_t be16(const uint8_t *p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

uint32_t be32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool isStartOfFrame(uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool probeJpegSize(const uint8_t *p, size_t n, int &width, int &height)
{
    size_t i = 0;
    while (i + 4 <= n) {
        if (p[i] != 0xFF) {
            ++i; // tolerate stray bytes between streams
            continue;
        }
        const uint8_t marker = p[i + 1];
        if (marker == 0xFF || marker == 0xD8 || marker == 0xD9 || marker == 0x01
            || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x00) {
            i += marker == 0xFF ? 1 : 2;
            continue;
        }
        const size_t length = be16(p + i + 2);
        if (isStartOfFrame(marker)) {
            if (i + 9 > n || length < 7)
                return false;
            height = be16(p + i + 5);
            width = be16(p + i + 7);
            return true;
        }
        if (marker == 0xDA || length < 2)
            return false; // image data before any frame header
        i += 2 + length;
    }
    return false;
}

// ---- the tag parser ----

class Parser {
public:
    Parser(Movie &movie, const ReadLimits &limits) : m_movie(movie), m_limits(limits) {}

    void readTags(BitReader &in, qint64 base, std::vector<Frame> &frames, int nesting);
    void warn(qint64 offset, uint16_t code, const QString &message);

private:
    struct TagContext {
        qint64 offset = 0;
        uint16_t code = 0;
    };

    void warnHere(const QString &message) { warn(m_tag.offset, m_tag.code, message); }
    void charge(size_t bytes);
    template <class T>
    void chargeFor(size_t count = 1) { charge(sizeof(T) * count); }
    QString text(const QByteArray &raw) const;
    void define(uint16_t id, Character &&character);
    void readVideoStream(BitReader &in);
    void readVideoFrame(BitReader &in);

    void handleTag(uint16_t code, BitReader &body, qint64 bodyOffset, Frame &frame, int nesting);

public:
    // building blocks
    static Rect readRect(BitReader &in);
    static Matrix readMatrix(BitReader &in);
    static ColorTransform readColorTransform(BitReader &in, bool withAlpha);
    static Color readRgb(BitReader &in);
    static Color readRgba(BitReader &in);

private:
    Filter readFilter(BitReader &in);
    std::vector<Filter> readFilterList(BitReader &in);
    static BlendMode readBlendMode(BitReader &in);

    // shapes
    FillStyle readFillStyle(BitReader &in, int shapeVersion);
    Gradient readGradient(BitReader &in, int shapeVersion, bool focal);
    LineStyle readLineStyle(BitReader &in, int shapeVersion);
    void readLineStyle2Flags(BitReader &in, LineStyle &style, bool &hasFill);
    ShapeStyles readShapeStyles(BitReader &in, int shapeVersion, unsigned &fillBits, unsigned &lineBits);
    // Appends records up to the end record; false when they broke off early
    // (what was read stays).
    bool readShapeRecords(BitReader &in, int shapeVersion, unsigned fillBits, unsigned lineBits,
                          bool allowNewStyles, std::vector<ShapeRecord> &out);
    bool readBareShape(BitReader &in, ShapeData &shape);
    std::pair<FillStyle, FillStyle> readMorphFillStyle(BitReader &in);
    std::pair<LineStyle, LineStyle> readMorphLineStyle(BitReader &in, int morphVersion);

    // tags
    PlaceObject readPlaceObject1(BitReader &in);
    PlaceObject readPlaceObject23(BitReader &in, uint8_t version);
    void readFrameLabel(BitReader &in, Frame &frame);
    void readShape(BitReader &in, uint8_t version);
    void readMorphShape(BitReader &in, uint8_t version);
    void readJpeg(BitReader &in, BitmapKind kind);
    void readLossless(BitReader &in, BitmapKind kind);
    void readFont1(BitReader &in);
    void readFont23(BitReader &in, uint8_t version);
    void readFontInfo(BitReader &in, uint8_t version);
    void readFontName(BitReader &in);
    void readText(BitReader &in, uint8_t version);
    void readEditText(BitReader &in);
    void readSprite(BitReader &in, qint64 bodyOffset, int nesting);
    void readButton(BitReader &in, uint8_t version);
    void readDoAction(BitReader &in, Frame &frame);
    void readButtonCxform(BitReader &in);
    void readSceneAndFrameLabels(BitReader &in);
    bool registerBitmap(Bitmap &&bitmap);

    Movie &m_movie;
    const ReadLimits &m_limits;
    TagContext m_tag;
    size_t m_used = 0;
    bool m_exhausted = false;
    bool m_exhaustionReported = false;
    int m_mainFrame = 0; // the main timeline's frame being read
};

void Parser::warn(qint64 offset, uint16_t code, const QString &message)
{
    if (m_movie.warnings.size() >= limits::kMaxWarnings) {
        ++m_movie.droppedWarnings;
        return;
    }
    m_movie.warnings.push_back(Warning{offset, code, message, m_mainFrame});
}

void Parser::charge(size_t bytes)
{
    m_used += bytes;
    if (m_used > m_limits.maxModelBytes) {
        m_exhausted = true;
        throw ReadError("the movie holds more than the reader takes in");
    }
}

QString Parser::text(const QByteArray &raw) const
{
    // Before version 6 strings were in the author's code page; Latin-1 is
    // the common case.
    return m_movie.version >= 6 ? QString::fromUtf8(raw) : QString::fromLatin1(raw);
}

void Parser::define(uint16_t id, Character &&character)
{
    if (m_movie.characters.contains(id)) {
        warnHere(QStringLiteral("character %1 is defined again; the first definition is kept").arg(id));
        return;
    }
    m_movie.characters.emplace(id, std::move(character));
}

void Parser::readTags(BitReader &in, qint64 base, std::vector<Frame> &frames, int nesting)
{
    Frame pending;
    bool ended = false;
    while (!m_exhausted && !in.atEnd()) {
        if (nesting == 0)
            m_mainFrame = int(frames.size());
        const qint64 tagOffset = base + qint64(in.position());
        uint16_t code = 0;
        size_t length = 0;
        try {
            const uint16_t header = in.u16();
            code = header >> 6;
            length = header & 0x3F;
            if (length == 0x3F)
                length = in.u32();
        } catch (const ReadError &) {
            warn(tagOffset, code, QStringLiteral("the data ends inside a tag header"));
            break;
        }
        if (length > in.remaining()) {
            warn(tagOffset, code,
                 QStringLiteral("%1 is cut off (%2 of %3 bytes present); dropped")
                     .arg(tagName(code))
                     .arg(in.remaining())
                     .arg(length));
            break;
        }
        const qint64 bodyOffset = base + qint64(in.position());
        BitReader body = in.sub(length);
        if (code == End) {
            ended = true;
            break;
        }
        const TagContext outer = m_tag;
        m_tag = TagContext{tagOffset, code};
        try {
            if (code == ShowFrame) {
                chargeFor<Frame>();
                frames.push_back(std::move(pending));
                pending = Frame();
            } else {
                handleTag(code, body, bodyOffset, pending, nesting);
            }
        } catch (const ReadError &e) {
            if (!m_exhausted)
                warnHere(QStringLiteral("%1 is damaged (%2); skipped").arg(tagName(code), QString::fromUtf8(e.what())));
        }
        m_tag = outer;
    }
    if (m_exhausted) {
        if (!m_exhaustionReported)
            warn(base + qint64(in.position()), 0,
                 QStringLiteral("the movie is larger than the reader takes in (%1 KiB of content); the rest is dropped")
                     .arg(m_limits.maxModelBytes >> 10));
        m_exhaustionReported = true;
        return;
    }
    if (!ended)
        warn(base + qint64(in.position()), 0,
             nesting == 0 ? QStringLiteral("the movie ends without an End tag")
                          : QStringLiteral("a sprite ends without an End tag"));
    if (!pending.tags.empty() || !pending.labels.empty() || !pending.actions.empty())
        frames.push_back(std::move(pending));
}

void Parser::handleTag(uint16_t code, BitReader &body, qint64 bodyOffset, Frame &frame, int nesting)
{
    switch (code) {
    case PlaceObjectTag:
        chargeFor<PlaceObject>();
        frame.tags.emplace_back(readPlaceObject1(body));
        return;
    case PlaceObject2:
        chargeFor<PlaceObject>();
        frame.tags.emplace_back(readPlaceObject23(body, 2));
        return;
    case PlaceObject3:
        chargeFor<PlaceObject>();
        frame.tags.emplace_back(readPlaceObject23(body, 3));
        return;
    case PlaceObject4:
        chargeFor<PlaceObject>();
        frame.tags.emplace_back(readPlaceObject23(body, 4));
        return;
    case RemoveObjectTag: {
        chargeFor<RemoveObject>();
        RemoveObject remove;
        remove.version = 1;
        remove.characterId = body.u16();
        remove.depth = body.u16();
        frame.tags.emplace_back(remove);
        return;
    }
    case RemoveObject2: {
        chargeFor<RemoveObject>();
        RemoveObject remove;
        remove.version = 2;
        remove.depth = body.u16();
        frame.tags.emplace_back(remove);
        return;
    }
    case FrameLabelTag:
        readFrameLabel(body, frame);
        return;
    case SetBackgroundColor:
        if (!m_movie.backgroundColor && nesting == 0)
            m_movie.backgroundColor = readRgb(body);
        return;
    case JPEGTables:
        if (m_movie.jpegTables.isEmpty()) {
            charge(body.remaining());
            m_movie.jpegTables = body.rest();
        }
        return;
    case FileAttributes:
        if (nesting == 0)
            m_movie.actionScript3 = (body.u32() & 0x08) != 0;
        return;
    case DefineSceneAndFrameLabelData:
        if (nesting == 0)
            readSceneAndFrameLabels(body);
        return;
    case DefineShape:
        return readShape(body, 1);
    case DefineShape2:
        return readShape(body, 2);
    case DefineShape3:
        return readShape(body, 3);
    case DefineShape4:
        return readShape(body, 4);
    case DefineMorphShape:
        return readMorphShape(body, 1);
    case DefineMorphShape2:
        return readMorphShape(body, 2);
    case DefineBits:
        return readJpeg(body, BitmapKind::Jpeg);
    case DefineBitsJPEG2:
        return readJpeg(body, BitmapKind::Jpeg2);
    case DefineBitsJPEG3:
        return readJpeg(body, BitmapKind::Jpeg3);
    case DefineBitsJPEG4:
        return readJpeg(body, BitmapKind::Jpeg4);
    case DefineBitsLossless:
        return readLossless(body, BitmapKind::Lossless);
    case DefineBitsLossless2:
        return readLossless(body, BitmapKind::Lossless2);
    case DefineFont:
        return readFont1(body);
    case DefineFont2:
        return readFont23(body, 2);
    case DefineFont3:
        return readFont23(body, 3);
    case DefineFontInfo:
        return readFontInfo(body, 1);
    case DefineFontInfo2:
        return readFontInfo(body, 2);
    case DefineFontName:
        return readFontName(body);
    case DefineText:
        return readText(body, 1);
    case DefineText2:
        return readText(body, 2);
    case DefineEditText:
        return readEditText(body);
    case DefineSprite:
        return readSprite(body, bodyOffset, nesting);
    case DefineButton:
        return readButton(body, 1);
    case DefineButton2:
        return readButton(body, 2);
    case DefineButtonCxform:
        return readButtonCxform(body);
    case DefineScalingGrid: {
        const uint16_t id = body.u16();
        charge(64); // a map node
        m_movie.scalingGrids.emplace(id, readRect(body));
        return;
    }
    case ImportAssets:
    case ImportAssets2:
        warnHere(QStringLiteral("characters imported from another movie are not loaded"));
        return;
    case DefineFont4:
        ++m_movie.scripts.fonts4;
        warnHere(QStringLiteral("%1 is not supported; skipped").arg(tagName(code)));
        return;
    case DoAction:
        return readDoAction(body, frame);
    case DoInitAction:
        ++m_movie.scripts.initScripts;
        return;
    case DoABC:
    case DoABCDefine:
        ++m_movie.scripts.abcScripts;
        return;
    case SymbolClass:
        ++m_movie.scripts.symbolClasses;
        return;
    case DefineVideoStream:
        return readVideoStream(body);
    case VideoFrame:
        return readVideoFrame(body);
    default:
        if (!isQuietlySkipped(code))
            warnHere(QStringLiteral("unknown tag %1 skipped").arg(code));
        return;
    }
}

// ---- building blocks ----

Rect Parser::readRect(BitReader &in)
{
    in.align();
    const unsigned bits = in.ub(5);
    Rect r;
    r.xMin = in.sb(bits);
    r.xMax = in.sb(bits);
    r.yMin = in.sb(bits);
    r.yMax = in.sb(bits);
    return r;
}

Matrix Parser::readMatrix(BitReader &in)
{
    in.align();
    Matrix m;
    if (in.flag()) {
        const unsigned bits = in.ub(5);
        m.scaleX = in.fb(bits);
        m.scaleY = in.fb(bits);
    }
    if (in.flag()) {
        const unsigned bits = in.ub(5);
        m.rotateSkew0 = in.fb(bits);
        m.rotateSkew1 = in.fb(bits);
    }
    const unsigned bits = in.ub(5);
    m.translateX = in.sb(bits);
    m.translateY = in.sb(bits);
    return m;
}

ColorTransform Parser::readColorTransform(BitReader &in, bool withAlpha)
{
    in.align();
    ColorTransform cx;
    const bool hasAdd = in.flag();
    const bool hasMultiply = in.flag();
    const unsigned bits = in.ub(4); // at most 15: the values fit 16 bits
    if (hasMultiply) {
        cx.redMultiplier = int16_t(in.sb(bits));
        cx.greenMultiplier = int16_t(in.sb(bits));
        cx.blueMultiplier = int16_t(in.sb(bits));
        if (withAlpha)
            cx.alphaMultiplier = int16_t(in.sb(bits));
    }
    if (hasAdd) {
        cx.redAdd = int16_t(in.sb(bits));
        cx.greenAdd = int16_t(in.sb(bits));
        cx.blueAdd = int16_t(in.sb(bits));
        if (withAlpha)
            cx.alphaAdd = int16_t(in.sb(bits));
    }
    return cx;
}

Color Parser::readRgb(BitReader &in)
{
    Color c;
    c.red = in.u8();
    c.green = in.u8();
    c.blue = in.u8();
    return c;
}

Color Parser::readRgba(BitReader &in)
{
    Color c = readRgb(in);
    c.alpha = in.u8();
    return c;
}

BlendMode Parser::readBlendMode(BitReader &in)
{
    const uint8_t value = in.u8();
    // Unknown modes draw as normal.
    if (value < uint8_t(BlendMode::Normal) || value > uint8_t(BlendMode::HardLight))
        return BlendMode::Normal;
    return BlendMode(value);
}

Filter Parser::readFilter(BitReader &in)
{
    const uint8_t id = in.u8();
    switch (id) {
    case 0: {
        DropShadowFilter f;
        f.color = readRgba(in);
        f.blurX = in.fixed16();
        f.blurY = in.fixed16();
        f.angle = in.fixed16();
        f.distance = in.fixed16();
        f.strength = in.fixed8();
        const uint8_t flags = in.u8();
        f.innerShadow = flags & 0x80;
        f.knockout = flags & 0x40;
        f.compositeSource = flags & 0x20;
        f.passes = flags & 0x1F;
        return f;
    }
    case 1: {
        BlurFilter f;
        f.blurX = in.fixed16();
        f.blurY = in.fixed16();
        f.passes = in.u8() >> 3;
        return f;
    }
    case 2: {
        GlowFilter f;
        f.color = readRgba(in);
        f.blurX = in.fixed16();
        f.blurY = in.fixed16();
        f.strength = in.fixed8();
        const uint8_t flags = in.u8();
        f.innerGlow = flags & 0x80;
        f.knockout = flags & 0x40;
        f.compositeSource = flags & 0x20;
        f.passes = flags & 0x1F;
        return f;
    }
    case 3: {
        BevelFilter f;
        f.shadowColor = readRgba(in);
        f.highlightColor = readRgba(in);
        f.blurX = in.fixed16();
        f.blurY = in.fixed16();
        f.angle = in.fixed16();
        f.distance = in.fixed16();
        f.strength = in.fixed8();
        const uint8_t flags = in.u8();
        f.innerShadow = flags & 0x80;
        f.knockout = flags & 0x40;
        f.compositeSource = flags & 0x20;
        f.onTop = flags & 0x10;
        f.passes = flags & 0x0F;
        return f;
    }
    case 4:
    case 7: {
        GradientFilterData f;
        const uint8_t count = in.u8();
        chargeFor<GradientFilterStop>(count);
        f.stops.resize(count);
        for (auto &stop : f.stops)
            stop.color = readRgba(in);
        for (auto &stop : f.stops)
            stop.ratio = in.u8();
        f.blurX = in.fixed16();
        f.blurY = in.fixed16();
        f.angle = in.fixed16();
        f.distance = in.fixed16();
        f.strength = in.fixed8();
        const uint8_t flags = in.u8();
        f.innerShadow = flags & 0x80;
        f.knockout = flags & 0x40;
        f.compositeSource = flags & 0x20;
        f.onTop = flags & 0x10;
        f.passes = flags & 0x0F;
        if (id == 4)
            return GradientGlowFilter{f};
        return GradientBevelFilter{f};
    }
    case 5: {
        ConvolutionFilter f;
        f.matrixX = in.u8();
        f.matrixY = in.u8();
        f.divisor = in.f32();
        f.bias = in.f32();
        const size_t count = size_t(f.matrixX) * f.matrixY;
        if (count * 4 > in.remaining())
            throw ReadError("convolution matrix runs past the end");
        chargeFor<float>(count);
        f.matrix.resize(count);
        for (float &v : f.matrix)
            v = in.f32();
        f.defaultColor = readRgba(in);
        const uint8_t flags = in.u8();
        f.clamp = flags & 0x02;
        f.preserveAlpha = flags & 0x01;
        return f;
    }
    case 6: {
        ColorMatrixFilter f;
        for (float &v : f.matrix)
            v = in.f32();
        return f;
    }
    default:
        throw ReadError("unknown filter " + std::to_string(id));
    }
}

std::vector<Filter> Parser::readFilterList(BitReader &in)
{
    const uint8_t count = in.u8();
    chargeFor<Filter>(count);
    std::vector<Filter> filters;
    filters.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        filters.push_back(readFilter(in));
    return filters;
}

// ---- shapes ----

Gradient Parser::readGradient(BitReader &in, int shapeVersion, bool focal)
{
    Gradient g;
    g.matrix = readMatrix(in);
    const uint8_t flags = in.u8();
    const uint8_t spread = flags >> 6;
    g.spread = spread <= 2 ? SpreadMode(spread) : SpreadMode::Pad;
    g.interpolation = ((flags >> 4) & 3) == 1 ? InterpolationMode::LinearRgb : InterpolationMode::Rgb;
    const unsigned count = flags & 0x0F;
    chargeFor<GradientRecord>(count);
    g.records.resize(count);
    for (auto &record : g.records) {
        record.ratio = in.u8();
        record.color = shapeVersion >= 3 ? readRgba(in) : readRgb(in);
    }
    if (focal)
        g.focalPoint = in.fixed8();
    return g;
}

FillStyle Parser::readFillStyle(BitReader &in, int shapeVersion)
{
    FillStyle fill;
    const uint8_t type = in.u8();
    switch (type) {
    case 0x00:
        fill.color = shapeVersion >= 3 ? readRgba(in) : readRgb(in);
        break;
    case 0x10:
    case 0x12:
    case 0x13: // focal gradients also work before DefineShape4
        fill.gradient = readGradient(in, shapeVersion, type == 0x13);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        fill.bitmapId = in.u16();
        fill.bitmapMatrix = readMatrix(in);
        fill.bitmapSmoothed = m_movie.version >= 8 && !(type & 0x02);
        break;
    default:
        throw ReadError("unknown fill style type " + std::to_string(type));
    }
    fill.type = FillStyleType(type);
    return fill;
}

void Parser::readLineStyle2Flags(BitReader &in, LineStyle &style, bool &hasFill)
{
    const auto cap = [](unsigned v) { return v <= 2 ? CapStyle(v) : CapStyle::Round; };
    const uint8_t first = in.u8();
    const uint8_t second = in.u8();
    style.startCap = cap(first >> 6);
    const unsigned join = (first >> 4) & 3;
    style.join = join <= 2 ? JoinStyle(join) : JoinStyle::Round;
    hasFill = first & 0x08;
    style.noHScale = first & 0x04;
    style.noVScale = first & 0x02;
    style.pixelHinting = first & 0x01;
    style.noClose = second & 0x04;
    style.endCap = cap(second & 3);
    if (style.join == JoinStyle::Miter)
        style.miterLimit = in.fixed8();
}

LineStyle Parser::readLineStyle(BitReader &in, int shapeVersion)
{
    LineStyle style;
    style.width = in.u16();
    if (shapeVersion < 4) {
        style.color = shapeVersion >= 3 ? readRgba(in) : readRgb(in);
        return style;
    }
    bool hasFill = false;
    readLineStyle2Flags(in, style, hasFill);
    if (hasFill) {
        chargeFor<FillStyle>();
        style.fill = readFillStyle(in, shapeVersion);
    } else {
        style.color = readRgba(in);
    }
    return style;
}

ShapeStyles Parser::readShapeStyles(BitReader &in, int shapeVersion, unsigned &fillBits, unsigned &lineBits)
{
    ShapeStyles styles;
    size_t fills = in.u8();
    if (fills == 0xFF && shapeVersion >= 2)
        fills = in.u16();
    chargeFor<FillStyle>(fills);
    styles.fillStyles.reserve(std::min<size_t>(fills, in.remaining()));
    for (size_t i = 0; i < fills; ++i)
        styles.fillStyles.push_back(readFillStyle(in, shapeVersion));
    size_t lines = in.u8();
    if (lines == 0xFF)
        lines = in.u16();
    chargeFor<LineStyle>(lines);
    styles.lineStyles.reserve(std::min<size_t>(lines, in.remaining()));
    for (size_t i = 0; i < lines; ++i)
        styles.lineStyles.push_back(readLineStyle(in, shapeVersion));
    const uint8_t bits = in.u8();
    fillBits = bits >> 4;
    lineBits = bits & 0x0F;
    return styles;
}

bool Parser::readShapeRecords(BitReader &in, int shapeVersion, unsigned fillBits, unsigned lineBits,
                              bool allowNewStyles, std::vector<ShapeRecord> &out)
{
    try {
        for (;;) {
            if (out.size() >= m_limits.maxShapeRecords) {
                warnHere(QStringLiteral("a shape has more than %1 records; the rest is dropped")
                             .arg(m_limits.maxShapeRecords));
                return true;
            }
            if (in.flag()) {
                const bool straight = in.flag();
                const unsigned bits = in.ub(4) + 2;
                if (straight) {
                    StraightEdgeRecord edge;
                    if (in.flag()) {
                        edge.deltaX = in.sb(bits);
                        edge.deltaY = in.sb(bits);
                    } else if (in.flag()) {
                        edge.deltaY = in.sb(bits);
                    } else {
                        edge.deltaX = in.sb(bits);
                    }
                    chargeFor<ShapeRecord>();
                    out.emplace_back(edge);
                } else {
                    CurvedEdgeRecord edge;
                    edge.controlDeltaX = in.sb(bits);
                    edge.controlDeltaY = in.sb(bits);
                    edge.anchorDeltaX = in.sb(bits);
                    edge.anchorDeltaY = in.sb(bits);
                    chargeFor<ShapeRecord>();
                    out.emplace_back(edge);
                }
                continue;
            }
            const unsigned flags = in.ub(5);
            if (flags == 0)
                return true;
            StyleChangeRecord change;
            if (flags & 0x01) {
                const unsigned bits = in.ub(5);
                Point to;
                to.x = in.sb(bits);
                to.y = in.sb(bits);
                change.moveTo = to;
            }
            if (flags & 0x02)
                change.fillStyle0 = in.ub(fillBits);
            if (flags & 0x04)
                change.fillStyle1 = in.ub(fillBits);
            if (flags & 0x08)
                change.lineStyle = in.ub(lineBits);
            if (flags & 0x10) {
                // Also found in DefineShape1 from third-party tools, and
                // played there, so only glyphs and morphs refuse it.
                if (!allowNewStyles)
                    throw ReadError("new styles where a shape cannot have them");
                chargeFor<ShapeStyles>();
                change.newStyles = std::make_shared<const ShapeStyles>(
                    readShapeStyles(in, shapeVersion, fillBits, lineBits));
            }
            chargeFor<ShapeRecord>();
            out.emplace_back(std::move(change));
        }
    } catch (const ReadError &) {
        if (m_exhausted)
            throw;
        return false;
    }
}

bool Parser::readBareShape(BitReader &in, ShapeData &shape)
{
    const uint8_t bits = in.u8();
    return readShapeRecords(in, 1, bits >> 4, bits & 0x0F, false, shape.records);
}

void Parser::readShape(BitReader &in, uint8_t version)
{
    Shape shape;
    shape.version = version;
    shape.id = in.u16();
    shape.bounds = readRect(in);
    shape.edgeBounds = shape.bounds;
    if (version >= 4) {
        shape.edgeBounds = readRect(in);
        const uint8_t flags = in.u8();
        shape.usesFillWindingRule = flags & 0x04;
        shape.usesNonScalingStrokes = flags & 0x02;
        shape.usesScalingStrokes = flags & 0x01;
    }
    unsigned fillBits = 0;
    unsigned lineBits = 0;
    shape.data.styles = readShapeStyles(in, version, fillBits, lineBits);
    if (!readShapeRecords(in, version, fillBits, lineBits, true, shape.data.records))
        warnHere(QStringLiteral("the records of shape %1 break off after %2; kept")
                     .arg(shape.id)
                     .arg(shape.data.records.size()));
    define(shape.id, std::move(shape));
}

std::pair<FillStyle, FillStyle> Parser::readMorphFillStyle(BitReader &in)
{
    FillStyle start;
    FillStyle end;
    const uint8_t type = in.u8();
    switch (type) {
    case 0x00:
        start.color = readRgba(in);
        end.color = readRgba(in);
        break;
    case 0x10:
    case 0x12:
    case 0x13: {
        start.gradient.matrix = readMatrix(in);
        end.gradient.matrix = readMatrix(in);
        const uint8_t flags = in.u8();
        const uint8_t spread = flags >> 6;
        start.gradient.spread = spread <= 2 ? SpreadMode(spread) : SpreadMode::Pad;
        start.gradient.interpolation =
            ((flags >> 4) & 3) == 1 ? InterpolationMode::LinearRgb : InterpolationMode::Rgb;
        end.gradient.spread = start.gradient.spread;
        end.gradient.interpolation = start.gradient.interpolation;
        const unsigned count = flags & 0x0F;
        chargeFor<GradientRecord>(2 * count);
        for (unsigned i = 0; i < count; ++i) {
            GradientRecord a;
            a.ratio = in.u8();
            a.color = readRgba(in);
            GradientRecord b;
            b.ratio = in.u8();
            b.color = readRgba(in);
            start.gradient.records.push_back(a);
            end.gradient.records.push_back(b);
        }
        if (type == 0x13) {
            start.gradient.focalPoint = in.fixed8();
            end.gradient.focalPoint = in.fixed8();
        }
        break;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        start.bitmapId = end.bitmapId = in.u16();
        start.bitmapMatrix = readMatrix(in);
        end.bitmapMatrix = readMatrix(in);
        start.bitmapSmoothed = end.bitmapSmoothed = m_movie.version >= 8 && !(type & 0x02);
        break;
    default:
        throw ReadError("unknown fill style type " + std::to_string(type));
    }
    start.type = end.type = FillStyleType(type);
    return {std::move(start), std::move(end)};
}

std::pair<LineStyle, LineStyle> Parser::readMorphLineStyle(BitReader &in, int morphVersion)
{
    LineStyle start;
    LineStyle end;
    start.width = in.u16();
    end.width = in.u16();
    if (morphVersion < 2) {
        start.color = readRgba(in);
        end.color = readRgba(in);
        return {start, end};
    }
    bool hasFill = false;
    readLineStyle2Flags(in, start, hasFill);
    const uint16_t endWidth = end.width;
    end = start;
    end.width = endWidth;
    if (hasFill) {
        chargeFor<FillStyle>(2);
        auto fills = readMorphFillStyle(in);
        start.fill = std::move(fills.first);
        end.fill = std::move(fills.second);
    } else {
        start.color = readRgba(in);
        end.color = readRgba(in);
    }
    return {std::move(start), std::move(end)};
}

void Parser::readMorphShape(BitReader &in, uint8_t version)
{
    MorphShape morph;
    morph.version = version;
    morph.id = in.u16();
    morph.startBounds = readRect(in);
    morph.endBounds = readRect(in);
    morph.startEdgeBounds = morph.startBounds;
    morph.endEdgeBounds = morph.endBounds;
    if (version >= 2) {
        morph.startEdgeBounds = readRect(in);
        morph.endEdgeBounds = readRect(in);
        const uint8_t flags = in.u8();
        morph.usesNonScalingStrokes = flags & 0x02;
        morph.usesScalingStrokes = flags & 0x01;
    }
    const uint32_t endOffset = in.u32();
    const size_t endEdgesAt = in.position() + size_t(endOffset);

    size_t fills = in.u8();
    if (fills == 0xFF)
        fills = in.u16();
    chargeFor<MorphFillStyle>(fills);
    morph.fillStyles.reserve(std::min<size_t>(fills, in.remaining()));
    for (size_t i = 0; i < fills; ++i) {
        auto pair = readMorphFillStyle(in);
        morph.fillStyles.push_back(MorphFillStyle{std::move(pair.first), std::move(pair.second)});
    }
    size_t lines = in.u8();
    if (lines == 0xFF)
        lines = in.u16();
    chargeFor<MorphLineStyle>(lines);
    morph.lineStyles.reserve(std::min<size_t>(lines, in.remaining()));
    for (size_t i = 0; i < lines; ++i) {
        auto pair = readMorphLineStyle(in, version);
        morph.lineStyles.push_back(MorphLineStyle{std::move(pair.first), std::move(pair.second)});
    }

    ShapeData start;
    const bool startWhole = readBareShape(in, start);
    morph.startRecords = std::move(start.records);
    // The offset finds the end edges even when the start edges broke off.
    in.align();
    if (endOffset != 0 && endEdgesAt <= in.size() && endEdgesAt >= in.position())
        in.skip(endEdgesAt - in.position());
    ShapeData end;
    const bool endWhole = readBareShape(in, end);
    morph.endRecords = std::move(end.records);
    if (!startWhole || !endWhole)
        warnHere(QStringLiteral("the edges of morph shape %1 break off; kept what was read").arg(morph.id));
    define(morph.id, std::move(morph));
}

// ---- bitmaps ----

bool Parser::registerBitmap(Bitmap &&bitmap)
{
    if (bitmap.width > limits::kMaxBitmapSide || bitmap.height > limits::kMaxBitmapSide
        || int64_t(bitmap.width) * bitmap.height > limits::kMaxBitmapPixels) {
        warnHere(QStringLiteral("bitmap %1 claims %2 x %3 pixels, more than the limit of %4 x %4; skipped")
                     .arg(bitmap.id)
                     .arg(bitmap.width)
                     .arg(bitmap.height)
                     .arg(limits::kMaxBitmapSide));
        return false;
    }
    charge(size_t(bitmap.data.size()) + size_t(bitmap.alphaData.size()) + sizeof(Bitmap));
    define(bitmap.id, std::move(bitmap));
    return true;
}

void Parser::readJpeg(BitReader &in, BitmapKind kind)
{
    Bitmap bitmap;
    bitmap.kind = kind;
    bitmap.id = in.u16();
    if (kind == BitmapKind::Jpeg3 || kind == BitmapKind::Jpeg4) {
        const uint32_t imageSize = in.u32();
        if (kind == BitmapKind::Jpeg4)
            bitmap.deblocking = in.u16() / 256.0;
        if (imageSize > in.remaining())
            throw ReadError("image data runs past the end");
        bitmap.data = in.bytes(imageSize);
        bitmap.alphaData = in.rest();
    } else {
        bitmap.data = in.rest();
    }
    bitmap.format = detectImageFormat(bitmap.data);
    int width = 0;
    int height = 0;
    if (probeImageSize(bitmap.data, width, height)) {
        bitmap.width = width;
        bitmap.height = height;
    }
    registerBitmap(std::move(bitmap));
}

void Parser::readLossless(BitReader &in, BitmapKind kind)
{
    Bitmap bitmap;
    bitmap.kind = kind;
    bitmap.id = in.u16();
    const uint8_t format = in.u8();
    if (format < 3 || format > 5)
        throw ReadError("unknown lossless format " + std::to_string(format));
    bitmap.losslessFormat = LosslessFormat(format);
    bitmap.width = in.u16();
    bitmap.height = in.u16();
    if (bitmap.losslessFormat == LosslessFormat::ColorMapped8)
        bitmap.colorTableSize = uint16_t(in.u8() + 1);
    bitmap.data = in.rest();
    registerBitmap(std::move(bitmap));
}

// ---- fonts and text ----

void Parser::readFont1(BitReader &in)
{
    Font font;
    font.version = 1;
    font.emSquare = 1024;
    font.id = in.u16();
    // Glyph shapes sit at offsets from the start of the offset table; the
    // first offset also gives the number of glyphs.
    const size_t tableSize = in.remaining();
    if (tableSize >= 2) {
        BitReader table = in.sub(tableSize);
        const size_t count = table.u16() / 2;
        std::vector<size_t> offsets{count * 2};
        for (size_t i = 1; i < count; ++i)
            offsets.push_back(table.u16());
        chargeFor<Glyph>(count);
        font.glyphs.resize(count);
        size_t broken = 0;
        for (size_t i = 0; i < count; ++i) {
            const size_t from = offsets[i];
            const size_t to = i + 1 < count ? offsets[i + 1] : tableSize;
            try {
                if (from >= to || to > tableSize)
                    throw ReadError("glyph outside the tag");
                BitReader glyph = table.slice(from, to - from);
                if (!readBareShape(glyph, font.glyphs[i].shape))
                    ++broken;
            } catch (const ReadError &) {
                if (m_exhausted)
                    throw;
                ++broken;
            }
        }
        if (broken)
            warnHere(QStringLiteral("%1 glyphs of font %2 are damaged").arg(broken).arg(font.id));
    }
    define(font.id, std::move(font));
}

void Parser::readFont23(BitReader &in, uint8_t version)
{
    Font font;
    font.version = version;
    font.emSquare = version == 3 ? 20480 : 1024;
    font.id = in.u16();
    const uint8_t flags = in.u8();
    font.hasLayout = flags & 0x80;
    font.shiftJis = flags & 0x40;
    font.smallText = flags & 0x20;
    font.ansi = flags & 0x10;
    font.wideOffsets = flags & 0x08;
    font.wideCodes = flags & 0x04;
    font.italic = flags & 0x02;
    font.bold = flags & 0x01;
    font.languageCode = in.u8();
    QByteArray name = in.bytes(in.u8());
    if (const qsizetype nul = name.indexOf('\0'); nul >= 0)
        name.truncate(nul); // often written with a terminator
    font.name = text(name);
    const size_t count = in.u16();
    // Every glyph has an offset: a count the tag cannot hold is damage, not
    // something to allocate for.
    if (count * (font.wideOffsets ? 4 : 2) > in.remaining())
        throw ReadError("more glyphs than the tag holds");
    chargeFor<Glyph>(count);
    font.glyphs.resize(count);

    const auto offset = [&] { return font.wideOffsets ? in.u32() : uint32_t(in.u16()); };
    const size_t tableStart = in.position();
    bool whole = true;
    try {
        if (count > 0) {
            std::vector<uint32_t> offsets(count);
            for (auto &o : offsets)
                o = offset();
            const uint32_t codeTableOffset = offset();
            const size_t tableSize = in.size() - tableStart;
            const size_t headerSize = in.position() - tableStart;
            bool byOffsets = codeTableOffset <= tableSize && offsets.front() >= headerSize
                             && offsets.back() <= codeTableOffset;
            for (size_t i = 1; byOffsets && i < count; ++i)
                byOffsets = offsets[i - 1] <= offsets[i];
            if (byOffsets) {
                size_t broken = 0;
                for (size_t i = 0; i < count; ++i) {
                    const size_t to = i + 1 < count ? offsets[i + 1] : codeTableOffset;
                    try {
                        BitReader glyph = in.slice(tableStart + offsets[i], to - offsets[i]);
                        if (!readBareShape(glyph, font.glyphs[i].shape))
                            ++broken;
                    } catch (const ReadError &) {
                        if (m_exhausted)
                            throw;
                        ++broken;
                    }
                }
                if (broken)
                    warnHere(QStringLiteral("%1 glyphs of font %2 are damaged").arg(broken).arg(font.id));
                in.seek(tableStart + codeTableOffset);
            } else {
                // Offsets that make no sense: the shapes follow one another.
                for (auto &glyph : font.glyphs) {
                    if (!readBareShape(in, glyph.shape))
                        throw ReadError("glyph shapes break off");
                }
            }
            for (auto &glyph : font.glyphs)
                glyph.code = font.wideCodes ? in.u16() : in.u8();
        } else if (in.remaining() >= (font.wideOffsets ? 4u : 2u) + (font.hasLayout ? 8u : 0u)) {
            offset(); // an empty font may or may not carry its code table offset
        }
        if (font.hasLayout) {
            font.ascent = in.u16();
            font.descent = in.u16();
            font.leading = in.s16();
            for (auto &glyph : font.glyphs)
                glyph.advance = in.s16();
            for (auto &glyph : font.glyphs)
                glyph.bounds = readRect(in);
            const size_t kerning = in.u16();
            chargeFor<KerningRecord>(kerning);
            for (size_t i = 0; i < kerning; ++i) {
                KerningRecord k;
                k.leftCode = font.wideCodes ? in.u16() : in.u8();
                k.rightCode = font.wideCodes ? in.u16() : in.u8();
                k.adjustment = in.s16();
                font.kerning.push_back(k);
            }
        }
    } catch (const ReadError &) {
        if (m_exhausted)
            throw;
        whole = false;
    }
    if (!whole)
        warnHere(QStringLiteral("the tables of font %1 break off; kept what was read").arg(font.id));
    define(font.id, std::move(font));
}

void Parser::readFontInfo(BitReader &in, uint8_t version)
{
    const uint16_t id = in.u16();
    QByteArray name = in.bytes(in.u8());
    if (const qsizetype nul = name.indexOf('\0'); nul >= 0)
        name.truncate(nul);
    const uint8_t flags = in.u8();
    const uint8_t language = version >= 2 ? in.u8() : 0;
    const auto it = m_movie.characters.find(id);
    Font *font = it == m_movie.characters.end() ? nullptr : std::get_if<Font>(&it->second);
    if (!font) {
        warnHere(QStringLiteral("font information for %1, which is not a font; ignored").arg(id));
        return;
    }
    font->name = text(name);
    font->smallText = flags & 0x20;
    font->shiftJis = flags & 0x10;
    font->ansi = flags & 0x08;
    font->italic = flags & 0x04;
    font->bold = flags & 0x02;
    font->wideCodes = flags & 0x01;
    font->languageCode = language;
    font->hasFontInfo = true;
    for (auto &glyph : font->glyphs) {
        if (in.remaining() < (font->wideCodes ? 2u : 1u))
            break;
        glyph.code = font->wideCodes ? in.u16() : in.u8();
    }
}

void Parser::readFontName(BitReader &in)
{
    const uint16_t id = in.u16();
    const QString name = text(in.string());
    const QString copyright = in.atEnd() ? QString() : text(in.string());
    const auto it = m_movie.characters.find(id);
    Font *font = it == m_movie.characters.end() ? nullptr : std::get_if<Font>(&it->second);
    if (!font) {
        warnHere(QStringLiteral("a font name for %1, which is not a font; ignored").arg(id));
        return;
    }
    font->name = name;
    font->copyright = copyright;
}

void Parser::readText(BitReader &in, uint8_t version)
{
    Text t;
    t.version = version;
    t.id = in.u16();
    t.bounds = readRect(in);
    t.matrix = readMatrix(in);
    const uint8_t glyphBits = in.u8();
    const uint8_t advanceBits = in.u8();
    if (glyphBits > 32 || advanceBits > 32)
        throw ReadError("glyph fields wider than 32 bits");
    size_t glyphs = 0;
    try {
        for (;;) {
            const uint8_t flags = in.u8();
            if (flags == 0)
                break;
            TextRecord record;
            if (flags & 0x08)
                record.fontId = in.u16();
            if (flags & 0x04)
                record.color = version >= 2 ? readRgba(in) : readRgb(in);
            if (flags & 0x01)
                record.xOffset = in.s16();
            if (flags & 0x02)
                record.yOffset = in.s16();
            if (flags & 0x08)
                record.height = in.u16();
            const uint8_t count = in.u8();
            glyphs += count;
            if (glyphs > m_limits.maxTextGlyphs)
                throw ReadError("too many glyphs");
            chargeFor<TextRecord>();
            chargeFor<GlyphEntry>(count);
            record.glyphs.resize(count);
            for (auto &entry : record.glyphs) {
                entry.index = in.ub(glyphBits);
                entry.advance = in.sb(advanceBits);
            }
            t.records.push_back(std::move(record));
        }
    } catch (const ReadError &) {
        if (m_exhausted)
            throw;
        warnHere(QStringLiteral("the records of text %1 break off after %2; kept").arg(t.id).arg(t.records.size()));
    }
    define(t.id, std::move(t));
}

void Parser::readVideoStream(BitReader &in)
{
    VideoStream video;
    video.id = in.u16();
    video.frameCount = in.u16();
    video.width = in.u16();
    video.height = in.u16();
    const uint8_t flags = in.u8();
    video.deblocking = (flags >> 1) & 0x07;
    video.smoothing = flags & 0x01;
    video.codec = in.u8();
    chargeFor<VideoStream>();
    if (video.codec < uint8_t(VideoCodec::SorensonH263) || video.codec > uint8_t(VideoCodec::ScreenVideo2))
        warnHere(QStringLiteral("video %1 uses codec %2, which is not known; it is not drawn")
                     .arg(video.id)
                     .arg(video.codec));
    define(video.id, std::move(video));
}

void Parser::readVideoFrame(BitReader &in)
{
    const uint16_t streamId = in.u16();
    const uint16_t frameNumber = in.u16();
    auto it = m_movie.characters.find(streamId);
    VideoStream *video = it == m_movie.characters.end() ? nullptr : std::get_if<VideoStream>(&it->second);
    if (!video) {
        warnHere(QStringLiteral("a video frame for %1, which is not a video defined before it; skipped").arg(streamId));
        return;
    }
    if (video->frames.contains(frameNumber)) {
        warnHere(QStringLiteral("frame %1 of video %2 is given again; the first is kept").arg(frameNumber).arg(streamId));
        return;
    }
    charge(in.remaining() + 64);
    video->frames.emplace(frameNumber, in.rest());
}

void Parser::readEditText(BitReader &in)
{
    EditText e;
    e.id = in.u16();
    e.bounds = readRect(in);
    const uint8_t first = in.u8();
    const uint8_t second = in.u8();
    const bool hasText = first & 0x80;
    e.wordWrap = first & 0x40;
    e.multiline = first & 0x20;
    e.password = first & 0x10;
    e.readOnly = first & 0x08;
    const bool hasTextColor = first & 0x04;
    const bool hasMaxLength = first & 0x02;
    const bool hasFont = first & 0x01;
    const bool hasFontClass = second & 0x80;
    e.autoSize = second & 0x40;
    const bool hasLayout = second & 0x20;
    e.noSelect = second & 0x10;
    e.border = second & 0x08;
    e.wasStatic = second & 0x04;
    e.html = second & 0x02;
    e.useOutlines = second & 0x01;
    if (hasFont)
        e.fontId = in.u16();
    if (hasFontClass)
        e.fontClass = text(in.string());
    if (hasFont || hasFontClass)
        e.fontHeight = in.u16();
    if (hasTextColor)
        e.textColor = readRgba(in);
    if (hasMaxLength)
        e.maxLength = in.u16();
    if (hasLayout) {
        EditTextLayout layout;
        const uint8_t align = in.u8();
        layout.align = align <= 3 ? TextAlign(align) : TextAlign::Left;
        layout.leftMargin = in.u16();
        layout.rightMargin = in.u16();
        layout.indent = in.u16();
        layout.leading = in.s16();
        e.layout = layout;
    }
    e.variableName = text(in.string());
    if (hasText) {
        const QByteArray initial = in.string();
        charge(size_t(initial.size()) * 2);
        e.initialText = text(initial);
    }
    define(e.id, std::move(e));
}

void Parser::readSprite(BitReader &in, qint64 bodyOffset, int nesting)
{
    Sprite sprite;
    sprite.id = in.u16();
    sprite.frameCount = in.u16();
    if (nesting + 1 > limits::kMaxSpriteNesting) {
        warnHere(QStringLiteral("sprite %1 nests deeper than %2 levels; skipped")
                     .arg(sprite.id)
                     .arg(limits::kMaxSpriteNesting));
        return;
    }
    chargeFor<Sprite>();
    const qint64 tagsOffset = bodyOffset + qint64(in.position());
    BitReader tags = in.sub(in.remaining());
    readTags(tags, tagsOffset, sprite.frames, nesting + 1);
    define(sprite.id, std::move(sprite));
}

void Parser::readButton(BitReader &in, uint8_t version)
{
    Button button;
    button.version = version;
    button.id = in.u16();
    if (version >= 2) {
        button.trackAsMenu = in.u8() & 0x01;
        if (in.u16() != 0) // where the actions start; they need a user's clicks
            ++m_movie.scripts.eventScripts;
    }
    try {
        for (;;) {
            const uint8_t flags = in.u8();
            if (flags == 0)
                break;
            ButtonRecord record;
            record.hitTest = flags & 0x08;
            record.down = flags & 0x04;
            record.over = flags & 0x02;
            record.up = flags & 0x01;
            record.characterId = in.u16();
            record.depth = in.u16();
            record.matrix = readMatrix(in);
            if (version >= 2) {
                record.colorTransform = readColorTransform(in, true);
                if (flags & 0x10)
                    record.filters = readFilterList(in);
                if (flags & 0x20)
                    record.blendMode = readBlendMode(in);
            }
            chargeFor<ButtonRecord>();
            button.records.push_back(std::move(record));
        }
    } catch (const ReadError &) {
        if (m_exhausted)
            throw;
        warnHere(QStringLiteral("the records of button %1 break off after %2; kept")
                     .arg(button.id)
                     .arg(button.records.size()));
    }
    define(button.id, std::move(button));
}

void Parser::readButtonCxform(BitReader &in)
{
    const uint16_t id = in.u16();
    const auto it = m_movie.characters.find(id);
    Button *button = it == m_movie.characters.end() ? nullptr : std::get_if<Button>(&it->second);
    if (!button) {
        warnHere(QStringLiteral("a colour transform for %1, which is not a button; ignored").arg(id));
        return;
    }
    // Several may follow, one per record.
    while (!in.atEnd()) {
        try {
            chargeFor<ColorTransform>();
            button->colorTransforms.push_back(readColorTransform(in, false));
        } catch (const ReadError &) {
            if (m_exhausted)
                throw;
            break;
        }
    }
}

void Parser::readSceneAndFrameLabels(BitReader &in)
{
    std::vector<Scene> scenes;
    std::vector<LabelledFrame> labels;
    const uint32_t sceneCount = in.encodedU32();
    for (uint32_t i = 0; i < sceneCount; ++i) {
        chargeFor<Scene>();
        Scene scene;
        scene.frameOffset = in.encodedU32();
        scene.name = text(in.string());
        scenes.push_back(std::move(scene));
    }
    const uint32_t labelCount = in.encodedU32();
    for (uint32_t i = 0; i < labelCount; ++i) {
        chargeFor<LabelledFrame>();
        LabelledFrame label;
        label.frame = in.encodedU32();
        label.name = text(in.string());
        labels.push_back(std::move(label));
    }
    if (m_movie.scenes.empty() && m_movie.frameLabels.empty()) {
        m_movie.scenes = std::move(scenes);
        m_movie.frameLabels = std::move(labels);
    }
}

// ---- display list ----

PlaceObject Parser::readPlaceObject1(BitReader &in)
{
    PlaceObject place;
    place.version = 1;
    place.characterId = in.u16();
    place.depth = in.u16();
    place.matrix = readMatrix(in);
    if (!in.atEnd())
        place.colorTransform = readColorTransform(in, false);
    return place;
}

PlaceObject Parser::readPlaceObject23(BitReader &in, uint8_t version)
{
    PlaceObject place;
    place.version = version;
    const uint8_t flags = in.u8();
    const uint8_t more = version >= 3 ? in.u8() : 0;
    place.depth = in.u16();
    const bool hasCharacter = flags & 0x02;
    place.hasImage = more & 0x10;
    // The class name also stands in for a missing character when the
    // placed thing is an image.
    if ((more & 0x08) || (place.hasImage && !hasCharacter))
        place.className = text(in.string());
    place.move = flags & 0x01;
    if (hasCharacter)
        place.characterId = in.u16();
    if (flags & 0x04)
        place.matrix = readMatrix(in);
    if (flags & 0x08)
        place.colorTransform = readColorTransform(in, true);
    if (flags & 0x10)
        place.ratio = in.u16();
    if (flags & 0x20)
        place.name = text(in.string());
    if (flags & 0x40)
        place.clipDepth = in.u16();
    if (more & 0x01)
        place.filters = readFilterList(in);
    if (more & 0x02)
        place.blendMode = readBlendMode(in);
    if (more & 0x04)
        place.cacheAsBitmap = in.u8() != 0;
    if (more & 0x20)
        place.visible = in.u8() != 0;
    if (more & 0x40)
        place.backgroundColor = readRgba(in);
    place.hasClipActions = flags & 0x80;
    if (place.hasClipActions)
        ++m_movie.scripts.eventScripts;
    return place;
}

// The timeline actions of a frame script, up to its first branch; every
// other action is counted as not run.
void Parser::readDoAction(BitReader &in, Frame &frame)
{
    ++m_movie.scripts.frameScripts;
    using Kind = TimelineAction::Kind;
    bool branched = false;
    while (!in.atEnd()) {
        const uint8_t code = in.u8();
        if (code == 0)
            break;
        BitReader data = in.sub(code >= 0x80 ? in.u16() : 0);
        if (branched) {
            ++m_movie.scripts.actionsNotRun;
            continue;
        }
        TimelineAction action;
        switch (code) {
        case 0x04: action.kind = Kind::NextFrame; break;
        case 0x05: action.kind = Kind::PreviousFrame; break;
        case 0x06: action.kind = Kind::Play; break;
        case 0x07: action.kind = Kind::Stop; break;
        case 0x81:
            action.kind = Kind::GotoFrame;
            action.frame = data.u16();
            break;
        case 0x8C:
            action.kind = Kind::GotoLabel;
            action.name = text(data.string());
            break;
        case 0x8B:
            action.kind = Kind::SetTarget;
            action.name = text(data.string());
            break;
        case 0x8A: // WaitForFrame: every frame is loaded, so what it guards runs
            continue;
        case 0x99: // Jump
        case 0x9D: // If
        case 0x8D: // WaitForFrame2
        case 0x9B: // DefineFunction
        case 0x8E: // DefineFunction2
        case 0x94: // With
        case 0x8F: // Try
            branched = true;
            ++m_movie.scripts.actionsNotRun;
            continue;
        default:
            ++m_movie.scripts.actionsNotRun;
            continue;
        }
        chargeFor<TimelineAction>();
        charge(size_t(action.name.size()) * 2);
        frame.actions.push_back(std::move(action));
    }
}

void Parser::readFrameLabel(BitReader &in, Frame &frame)
{
    FrameLabel label;
    label.name = text(in.string());
    label.namedAnchor = !in.atEnd() && in.u8() != 0;
    chargeFor<FrameLabel>();
    frame.labels.push_back(std::move(label));
}

} // namespace

QString tagName(uint16_t code)
{
    for (const auto &entry : kTagNames) {
        if (entry.code == code)
            return QString::fromLatin1(entry.name);
    }
    return QStringLiteral("Tag %1").arg(code);
}

ImageFormat detectImageFormat(const QByteArray &image)
{
    static const char png[] = "\x89PNG\r\n\x1a\n";
    if (image.startsWith("\xFF\xD8") || image.startsWith("\xFF\xD9\xFF\xD8"))
        return ImageFormat::Jpeg;
    if (image.startsWith(QByteArray(png, 8)))
        return ImageFormat::Png;
    if (image.startsWith("GIF8"))
        return ImageFormat::Gif;
    return ImageFormat::Unknown;
}

bool probeImageSize(const QByteArray &image, int &width, int &height)
{
    const auto *p = reinterpret_cast<const uint8_t *>(image.constData());
    const size_t n = size_t(image.size());
    const auto toInt = [](uint32_t v) { return int(std::min<uint32_t>(v, 0x7FFFFFFF)); };
    switch (detectImageFormat(image)) {
    case ImageFormat::Jpeg:
        return probeJpegSize(p, n, width, height);
    case ImageFormat::Png:
        if (n < 24 || std::memcmp(p + 12, "IHDR", 4) != 0)
            return false;
        width = toInt(be32(p + 16));
        height = toInt(be32(p + 20));
        return true;
    case ImageFormat::Gif:
        if (n < 10)
            return false;
        width = p[6] | p[7] << 8;
        height = p[8] | p[9] << 8;
        return true;
    case ImageFormat::Unknown:
        break;
    }
    return false;
}

Movie readMovie(const QByteArray &fileBytes, const ReadLimits &readLimits)
{
    Movie movie;
    const auto *bytes = reinterpret_cast<const uint8_t *>(fileBytes.constData());
    const size_t size = size_t(fileBytes.size());
    if (size < 8) {
        movie.error = QStringLiteral("The file is too short to be a Flash movie.");
        return movie;
    }
    if (fileBytes.startsWith("FWS"))
        movie.compression = Compression::None;
    else if (fileBytes.startsWith("CWS"))
        movie.compression = Compression::Zlib;
    else if (fileBytes.startsWith("ZWS"))
        movie.compression = Compression::Lzma;
    else {
        movie.error = QStringLiteral("The file is not a Flash movie.");
        return movie;
    }
    movie.version = bytes[3];
    movie.fileLength = uint32_t(bytes[4]) | uint32_t(bytes[5]) << 8 | uint32_t(bytes[6]) << 16
                       | uint32_t(bytes[7]) << 24;
    const size_t declared = movie.fileLength > 8 ? movie.fileLength - 8 : 0;
    const size_t cap = readLimits.maxMovieBytes;

    Parser parser(movie, readLimits);
    QByteArray data;
    QString problem;
    switch (movie.compression) {
    case Compression::None:
        // A view: everything the model keeps is copied out of it.
        data = QByteArray::fromRawData(fileBytes.constData() + 8, qsizetype(std::min(size - 8, cap)));
        if (size - 8 > cap)
            problem = QStringLiteral("it is larger than %1 MiB; the rest is ignored").arg(cap >> 20);
        break;
    case Compression::Zlib: {
        Unpacked unpacked = inflateMovie(bytes + 8, size - 8, cap, declared ? declared : cap);
        data = std::move(unpacked.data);
        problem = unpacked.problem;
        break;
    }
    case Compression::Lzma: {
        if (size < 17) {
            movie.error = QStringLiteral("The movie's header is incomplete.");
            return movie;
        }
        // A declared length is all that ends a stream without an end mark.
        const size_t limit = declared ? std::min(declared, cap) : cap;
        Unpacked unpacked = unpackLzmaMovie(bytes + 12, bytes + 17, size - 17, limit);
        data = std::move(unpacked.data);
        problem = unpacked.problem;
        break;
    }
    }
    if (data.isEmpty() && !problem.isEmpty()) {
        movie.error = QStringLiteral("The compressed movie is damaged and cannot be read.");
        return movie;
    }
    if (!problem.isEmpty())
        parser.warn(8, 0, QStringLiteral("the movie data: %1").arg(problem));
    if (uint64_t(data.size()) + 8 != movie.fileLength)
        parser.warn(4, 0,
                    QStringLiteral("the header gives a length of %1 bytes, the movie has %2")
                        .arg(movie.fileLength)
                        .arg(data.size() + 8));

    BitReader in(data);
    try {
        movie.frameSize = Parser::readRect(in);
        movie.frameRate = in.u16() / 256.0;
        movie.frameCount = in.u16();
    } catch (const ReadError &) {
        movie.error = QStringLiteral("The movie's header is incomplete.");
        return movie;
    }
    parser.readTags(in, 8, movie.frames, 0);
    return movie;
}

Movie readMovieFile(const QString &path, QString *error, const ReadLimits &readLimits)
{
    Movie movie;
    const QFileInfo info(path);
    const auto fail = [&](const QString &message) {
        movie.error = message;
        if (error)
            *error = message;
        return movie;
    };
    if (!info.exists())
        return fail(QStringLiteral("The movie \"%1\" does not exist.").arg(info.fileName()));
    // Regular files only: a pipe or device could block forever.
    if (!info.isFile())
        return fail(QStringLiteral("\"%1\" is not a movie file.").arg(info.fileName()));
    if (info.size() > limits::kMaxFileBytes)
        return fail(QStringLiteral("The movie \"%1\" is too large to read.").arg(info.fileName()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The movie \"%1\" could not be opened: %2").arg(info.fileName(), file.errorString()));
    const QByteArray bytes = file.read(limits::kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("The movie \"%1\" could not be read: %2").arg(info.fileName(), file.errorString()));
    if (bytes.size() > limits::kMaxFileBytes)
        return fail(QStringLiteral("The movie \"%1\" is too large to read.").arg(info.fileName()));
    movie = readMovie(bytes, readLimits);
    if (error)
        *error = movie.error;
    return movie;
}

} // namespace swf
