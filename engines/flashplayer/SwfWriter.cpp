#include "engines/flashplayer/SwfWriter.h"

#include <QFile>
#include <QtEndian>

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void misuse(const std::string &what)
{
    throw std::invalid_argument(what);
}

QByteArray le16(uint16_t value)
{
    QByteArray out(2, '\0');
    qToLittleEndian<quint16>(value, out.data());
    return out;
}

QByteArray le32(uint32_t value)
{
    QByteArray out(4, '\0');
    qToLittleEndian<quint32>(value, out.data());
    return out;
}

} // namespace

// ---- BitWriter ----

void BitWriter::writeBits(uint32_t value, unsigned bits)
{
    for (unsigned i = bits; i-- > 0;) {
        if (m_usedBits == 0)
            m_bytes.append('\0');
        if ((value >> i) & 1u)
            m_bytes.back() = char(uint8_t(m_bytes.back()) | (0x80u >> m_usedBits));
        m_usedBits = (m_usedBits + 1) % 8;
    }
}

BitWriter &BitWriter::writeUB(uint32_t value, unsigned bits)
{
    if (bits > 32 || bitsForUB(value) > bits)
        misuse("UB value " + std::to_string(value) + " does not fit " + std::to_string(bits) + " bits");
    writeBits(value, bits);
    return *this;
}

BitWriter &BitWriter::writeSB(int32_t value, unsigned bits)
{
    if (bits > 32 || bitsForSB(value) > bits)
        misuse("SB value " + std::to_string(value) + " does not fit " + std::to_string(bits) + " bits");
    writeBits(uint32_t(value), bits); // the low bits are the two's complement
    return *this;
}

BitWriter &BitWriter::writeFB(double value, unsigned bits)
{
    return writeSB(toFixed16(value), bits);
}

BitWriter &BitWriter::align()
{
    m_usedBits = 0;
    return *this;
}

BitWriter &BitWriter::writeByte(uint8_t value)
{
    align();
    m_bytes.append(char(value));
    return *this;
}

BitWriter &BitWriter::writeBytes(const QByteArray &bytes)
{
    align();
    m_bytes.append(bytes);
    return *this;
}

size_t BitWriter::bitLength() const
{
    const size_t whole = size_t(m_bytes.size()) * 8;
    return m_usedBits == 0 ? whole : whole - 8 + m_usedBits;
}

unsigned BitWriter::bitsForUB(uint32_t value)
{
    return unsigned(std::bit_width(value));
}

unsigned BitWriter::bitsForSB(int32_t value)
{
    if (value == 0)
        return 0;
    // One sign bit plus the magnitude bits; ~value maps -1 to 0, -2 to 1...
    const uint32_t magnitude = value < 0 ? ~uint32_t(value) : uint32_t(value);
    return bitsForUB(magnitude) + 1;
}

unsigned BitWriter::bitsForFB(double value)
{
    return bitsForSB(toFixed16(value));
}

int32_t BitWriter::toFixed16(double value)
{
    const double scaled = std::round(value * 65536.0);
    if (!(scaled >= double(std::numeric_limits<int32_t>::min())
          && scaled <= double(std::numeric_limits<int32_t>::max())))
        misuse("16.16 value out of range");
    return int32_t(scaled);
}

// ---- TagBody ----

TagBody &TagBody::ui8(uint8_t value)
{
    m_bits.writeByte(value);
    return *this;
}

TagBody &TagBody::ui16(uint16_t value)
{
    m_bits.writeBytes(le16(value));
    return *this;
}

TagBody &TagBody::ui32(uint32_t value)
{
    m_bits.writeBytes(le32(value));
    return *this;
}

TagBody &TagBody::si16(int16_t value)
{
    return ui16(uint16_t(value));
}

TagBody &TagBody::si32(int32_t value)
{
    return ui32(uint32_t(value));
}

TagBody &TagBody::fixed8(double value)
{
    const double scaled = std::round(value * 256.0);
    if (scaled < -32768.0 || scaled > 32767.0)
        misuse("8.8 value out of range");
    return si16(int16_t(scaled));
}

TagBody &TagBody::fixed(double value)
{
    return si32(BitWriter::toFixed16(value));
}

TagBody &TagBody::rgb(uint8_t red, uint8_t green, uint8_t blue)
{
    return ui8(red).ui8(green).ui8(blue);
}

TagBody &TagBody::rgba(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha)
{
    return rgb(red, green, blue).ui8(alpha);
}

TagBody &TagBody::string(const QByteArray &utf8)
{
    if (utf8.contains('\0'))
        misuse("strings end at their first null byte");
    m_bits.writeBytes(utf8);
    return ui8(0);
}

TagBody &TagBody::raw(const QByteArray &bytes)
{
    m_bits.writeBytes(bytes);
    return *this;
}

TagBody &TagBody::ub(uint32_t value, unsigned bits)
{
    m_bits.writeUB(value, bits);
    return *this;
}

TagBody &TagBody::sb(int32_t value, unsigned bits)
{
    m_bits.writeSB(value, bits);
    return *this;
}

TagBody &TagBody::fb(double value, unsigned bits)
{
    m_bits.writeFB(value, bits);
    return *this;
}

TagBody &TagBody::align()
{
    m_bits.align();
    return *this;
}

TagBody &TagBody::rect(const SwfRect &r, std::optional<unsigned> bits)
{
    unsigned n = bits.value_or(std::max({BitWriter::bitsForSB(r.xmin), BitWriter::bitsForSB(r.xmax),
                                         BitWriter::bitsForSB(r.ymin), BitWriter::bitsForSB(r.ymax)}));
    if (n > 31)
        misuse("a rectangle holds at most 31-bit values");
    m_bits.align();
    m_bits.writeUB(n, 5).writeSB(r.xmin, n).writeSB(r.xmax, n).writeSB(r.ymin, n).writeSB(r.ymax, n);
    m_bits.align();
    return *this;
}

// ---- SwfWriter ----

SwfWriter &SwfWriter::setVersion(uint8_t version)
{
    m_version = version;
    return *this;
}

SwfWriter &SwfWriter::setSignature(const QByteArray &threeBytes)
{
    if (threeBytes.size() != 3)
        misuse("a signature is three bytes");
    m_signature = threeBytes;
    return *this;
}

SwfWriter &SwfWriter::setFileLength(std::optional<uint32_t> length)
{
    m_fileLength = length;
    return *this;
}

SwfWriter &SwfWriter::setFrameSize(const SwfRect &twips, std::optional<unsigned> bits)
{
    TagBody().rect(twips, bits); // reject what cannot be written now, not at output
    m_frameSize = twips;
    m_frameSizeBits = bits;
    return *this;
}

SwfWriter &SwfWriter::setFrameRate(double framesPerSecond)
{
    const double scaled = std::round(framesPerSecond * 256.0);
    if (scaled < 0.0 || scaled > 65535.0)
        misuse("frame rate out of range");
    const auto fixed = uint16_t(scaled);
    return setFrameRate(uint8_t(fixed >> 8), uint8_t(fixed & 0xFF));
}

SwfWriter &SwfWriter::setFrameRate(uint8_t whole, uint8_t fraction)
{
    m_rateWhole = whole;
    m_rateFraction = fraction;
    return *this;
}

SwfWriter &SwfWriter::setFrameCount(std::optional<uint16_t> count)
{
    m_frameCount = count;
    return *this;
}

SwfWriter &SwfWriter::addTag(uint16_t code, const QByteArray &body, bool longHeader)
{
    m_tags.append(tagRecord(code, body, longHeader));
    if (code == SwfTag::ShowFrame)
        ++m_showFrames;
    return *this;
}

SwfWriter &SwfWriter::addTag(uint16_t code, const TagBody &body, bool longHeader)
{
    return addTag(code, body.bytes(), longHeader);
}

SwfWriter &SwfWriter::setBackgroundColor(uint8_t red, uint8_t green, uint8_t blue)
{
    return addTag(SwfTag::SetBackgroundColor, TagBody().rgb(red, green, blue));
}

SwfWriter &SwfWriter::showFrame()
{
    return addTag(SwfTag::ShowFrame);
}

SwfWriter &SwfWriter::frameLabel(const QByteArray &name, bool namedAnchor)
{
    TagBody body;
    body.string(name);
    if (namedAnchor)
        body.ui8(1);
    return addTag(SwfTag::FrameLabel, body);
}

SwfWriter &SwfWriter::doAction(const SwfActions &actions)
{
    return addTag(SwfTag::DoAction, actions.bytes());
}

SwfActions &SwfActions::record(uint8_t code, const QByteArray &data)
{
    if (code < 0x80 && !data.isEmpty())
        throw std::invalid_argument("an action below 0x80 carries no data");
    if (data.size() > 0xFFFF)
        throw std::invalid_argument("action data longer than 65535 bytes");
    m_bytes.append(char(code));
    if (code >= 0x80) {
        m_bytes.append(char(data.size() & 0xFF)).append(char(data.size() >> 8));
        m_bytes.append(data);
    }
    return *this;
}

SwfActions &SwfActions::gotoFrame(uint16_t frame)
{
    return record(0x81, QByteArray(1, char(frame & 0xFF)) + char(frame >> 8));
}

SwfActions &SwfActions::gotoLabel(const QByteArray &label)
{
    return record(0x8C, label + '\0');
}

SwfActions &SwfActions::setTarget(const QByteArray &path)
{
    return record(0x8B, path + '\0');
}

SwfWriter &SwfWriter::end()
{
    return addTag(SwfTag::End);
}

QByteArray SwfWriter::tagRecord(uint16_t code, const QByteArray &body, bool longHeader)
{
    if (code > 0x3FF)
        misuse("tag codes have 10 bits");
    QByteArray out;
    if (!longHeader && body.size() < 0x3F) {
        out = le16(uint16_t(code << 6 | body.size()));
    } else {
        if (quint64(body.size()) > std::numeric_limits<uint32_t>::max())
            misuse("tag body too long");
        out = le16(uint16_t(code << 6 | 0x3F)) + le32(uint32_t(body.size()));
    }
    return out + body;
}

QByteArray SwfWriter::body() const
{
    TagBody header;
    header.rect(m_frameSize, m_frameSizeBits)
        .ui8(m_rateFraction)
        .ui8(m_rateWhole)
        .ui16(m_frameCount.value_or(m_showFrames));
    return header.bytes() + m_tags;
}

QByteArray SwfWriter::zlibCompress(const QByteArray &data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), '\0');
    if (compress2(reinterpret_cast<Bytef *>(out.data()), &size,
                  reinterpret_cast<const Bytef *>(data.constData()), uLong(data.size()),
                  Z_BEST_COMPRESSION)
        != Z_OK)
        throw std::runtime_error("zlib compression failed");
    out.truncate(qsizetype(size));
    return out;
}

QByteArray SwfWriter::lzmaCompress(const QByteArray &data)
{
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, LZMA_PRESET_DEFAULT))
        throw std::runtime_error("LZMA preset unavailable");
    options.dict_size = 1u << 20; // test movies are small; keeps the encoder light

    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK)
        throw std::runtime_error("LZMA encoder failed to start");
    QByteArray out(qsizetype(lzma_stream_buffer_bound(size_t(data.size()))) + 64, '\0');
    stream.next_in = reinterpret_cast<const uint8_t *>(data.constData());
    stream.avail_in = size_t(data.size());
    stream.next_out = reinterpret_cast<uint8_t *>(out.data());
    stream.avail_out = size_t(out.size());
    const lzma_ret rc = lzma_code(&stream, LZMA_FINISH);
    const size_t written = size_t(out.size()) - stream.avail_out;
    lzma_end(&stream);
    if (rc != LZMA_STREAM_END)
        throw std::runtime_error("LZMA compression failed");
    // The .lzma header is 5 property bytes and an 8-byte size; movies keep
    // only the properties.
    out.truncate(qsizetype(written));
    return out.left(5) + out.mid(13);
}

QByteArray SwfWriter::bytes(Compression compression) const
{
    static const char *const signatures[] = {"FWS", "CWS", "ZWS"};
    const QByteArray payload = body();
    QByteArray out = m_signature.value_or(QByteArray(signatures[int(compression)]));
    out.append(char(m_version));
    out.append(le32(m_fileLength.value_or(uint32_t(8 + payload.size()))));
    switch (compression) {
    case Compression::None:
        out.append(payload);
        break;
    case Compression::Zlib:
        out.append(zlibCompress(payload));
        break;
    case Compression::Lzma: {
        const QByteArray packed = lzmaCompress(payload);
        out.append(le32(uint32_t(packed.size() - 5)));
        out.append(packed);
        break;
    }
    }
    return out;
}

bool SwfWriter::save(const QString &path, Compression compression) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray data = bytes(compression);
    return file.write(data) == data.size() && file.flush();
}

// ---- structures for tag helpers ----

namespace {

unsigned fewestSB(std::initializer_list<int32_t> values)
{
    unsigned bits = 0;
    for (int32_t v : values)
        bits = std::max(bits, BitWriter::bitsForSB(v));
    return bits;
}

void rgbOrRgba(TagBody &body, const SwfRgba &c, bool alpha)
{
    body.rgb(c.r, c.g, c.b);
    if (alpha)
        body.ui8(c.a);
}

void styleCount(TagBody &body, size_t count)
{
    if (count >= 0xFF)
        body.ui8(0xFF).ui16(uint16_t(count));
    else
        body.ui8(uint8_t(count));
}

} // namespace

TagBody &TagBody::f32(float value)
{
    return ui32(std::bit_cast<uint32_t>(value));
}

TagBody &TagBody::encodedU32(uint32_t value)
{
    do {
        const uint8_t low = value & 0x7F;
        value >>= 7;
        ui8(uint8_t(low | (value ? 0x80 : 0)));
    } while (value);
    return *this;
}

TagBody &TagBody::matrix(const SwfMatrix &m)
{
    m_bits.align();
    for (const auto *pair : {&m.scale, &m.rotate}) {
        m_bits.writeUB(pair->has_value() ? 1 : 0, 1);
        if (!pair->has_value())
            continue;
        const unsigned bits = std::max(BitWriter::bitsForFB((*pair)->first), BitWriter::bitsForFB((*pair)->second));
        if (bits > 31)
            misuse("matrix value too large");
        m_bits.writeUB(bits, 5).writeFB((*pair)->first, bits).writeFB((*pair)->second, bits);
    }
    const unsigned bits = fewestSB({m.translateX, m.translateY});
    if (bits > 31)
        misuse("translation too large");
    m_bits.writeUB(bits, 5).writeSB(m.translateX, bits).writeSB(m.translateY, bits);
    return *this;
}

TagBody &TagBody::cxform(const SwfCxform &c, bool withAlpha)
{
    const size_t n = withAlpha ? 4 : 3;
    unsigned bits = 0;
    for (const auto *terms : {&c.multiply, &c.add}) {
        if (*terms) {
            for (size_t i = 0; i < n; ++i)
                bits = std::max(bits, BitWriter::bitsForSB((**terms)[i]));
        }
    }
    if (bits > 15)
        misuse("colour transform terms hold at most 15 bits");
    m_bits.align();
    m_bits.writeUB(c.add ? 1 : 0, 1).writeUB(c.multiply ? 1 : 0, 1).writeUB(bits, 4);
    for (const auto *terms : {&c.multiply, &c.add}) {
        if (*terms) {
            for (size_t i = 0; i < n; ++i)
                m_bits.writeSB((**terms)[i], bits);
        }
    }
    return *this;
}

SwfFillStyle SwfFillStyle::solid(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    SwfFillStyle fill;
    fill.color = SwfRgba{r, g, b, a};
    return fill;
}

// ---- SwfShape ----

SwfShape &SwfShape::moveTo(int32_t x, int32_t y)
{
    return change(std::pair{x, y}, std::nullopt, std::nullopt, std::nullopt);
}

SwfShape &SwfShape::setStyles(std::optional<uint32_t> fill0, std::optional<uint32_t> fill1,
                              std::optional<uint32_t> line)
{
    return change(std::nullopt, fill0, fill1, line);
}

SwfShape &SwfShape::change(std::optional<std::pair<int32_t, int32_t>> moveTo, std::optional<uint32_t> fill0,
                           std::optional<uint32_t> fill1, std::optional<uint32_t> line,
                           std::optional<SwfStyleArrays> newStyles)
{
    if (!moveTo && !fill0 && !fill1 && !line && !newStyles)
        misuse("a style change with no fields would end the shape");
    Step step;
    step.moveTo = moveTo;
    step.fill0 = fill0;
    step.fill1 = fill1;
    step.line = line;
    step.newStyles = std::move(newStyles);
    m_steps.push_back(std::move(step));
    return *this;
}

SwfShape &SwfShape::line(int32_t dx, int32_t dy)
{
    Step step;
    step.kind = Step::Straight;
    step.v[0] = dx;
    step.v[1] = dy;
    m_steps.push_back(step);
    return *this;
}

SwfShape &SwfShape::curve(int32_t controlDx, int32_t controlDy, int32_t anchorDx, int32_t anchorDy)
{
    Step step;
    step.kind = Step::Curved;
    step.v[0] = controlDx;
    step.v[1] = controlDy;
    step.v[2] = anchorDx;
    step.v[3] = anchorDy;
    m_steps.push_back(step);
    return *this;
}

SwfShape &SwfShape::polygon(std::initializer_list<std::pair<int32_t, int32_t>> deltas)
{
    for (const auto &[dx, dy] : deltas)
        line(dx, dy);
    return *this;
}

void SwfShape::writeFillStyle(TagBody &body, const SwfFillStyle &fill, int shapeVersion)
{
    body.ui8(fill.type);
    switch (fill.type) {
    case 0x00:
        rgbOrRgba(body, fill.color, shapeVersion >= 3);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        body.matrix(fill.matrix);
        body.align().ub(fill.spread, 2).ub(fill.interpolation, 2).ub(uint32_t(fill.stops.size()), 4);
        for (const auto &stop : fill.stops) {
            body.ui8(stop.ratio);
            rgbOrRgba(body, stop.color, shapeVersion >= 3);
        }
        if (fill.type == 0x13)
            body.fixed8(fill.focalPoint);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        body.ui16(fill.bitmapId).matrix(fill.matrix);
        break;
    default:
        break; // an unknown type, on purpose
    }
}

void SwfShape::writeStyleArrays(TagBody &body, const SwfStyleArrays &styles, int shapeVersion)
{
    styleCount(body, styles.fills.size());
    for (const auto &fill : styles.fills)
        writeFillStyle(body, fill, shapeVersion);
    styleCount(body, styles.lines.size());
    for (const auto &line : styles.lines) {
        body.ui16(line.width);
        if (shapeVersion < 4) {
            rgbOrRgba(body, line.color, shapeVersion >= 3);
            continue;
        }
        body.ub(line.startCap, 2).ub(line.join, 2).ub(line.fill ? 1 : 0, 1).ub(line.noHScale, 1)
            .ub(line.noVScale, 1).ub(line.pixelHinting, 1).ub(0, 5).ub(line.noClose, 1).ub(line.endCap, 2);
        if (line.join == 2)
            body.fixed8(line.miterLimit);
        if (line.fill)
            writeFillStyle(body, *line.fill, shapeVersion);
        else
            rgbOrRgba(body, line.color, true);
    }
}

void SwfShape::writeRecords(TagBody &body, unsigned fillBits, unsigned lineBits, int shapeVersion) const
{
    for (const Step &step : m_steps) {
        if (step.kind == Step::Change) {
            body.ub(0, 1).ub(step.newStyles ? 1 : 0, 1).ub(step.line ? 1 : 0, 1).ub(step.fill1 ? 1 : 0, 1)
                .ub(step.fill0 ? 1 : 0, 1).ub(step.moveTo ? 1 : 0, 1);
            if (step.moveTo) {
                const unsigned bits = fewestSB({step.moveTo->first, step.moveTo->second});
                body.ub(bits, 5).sb(step.moveTo->first, bits).sb(step.moveTo->second, bits);
            }
            if (step.fill0)
                body.ub(*step.fill0, fillBits);
            if (step.fill1)
                body.ub(*step.fill1, fillBits);
            if (step.line)
                body.ub(*step.line, lineBits);
            if (step.newStyles) {
                writeStyleArrays(body, *step.newStyles, shapeVersion);
                fillBits = BitWriter::bitsForUB(uint32_t(step.newStyles->fills.size()));
                lineBits = BitWriter::bitsForUB(uint32_t(step.newStyles->lines.size()));
                body.ub(fillBits, 4).ub(lineBits, 4);
            }
        } else if (step.kind == Step::Straight) {
            const int32_t dx = step.v[0];
            const int32_t dy = step.v[1];
            const unsigned bits = std::max(2u, fewestSB({dx, dy}));
            body.ub(1, 1).ub(1, 1).ub(bits - 2, 4);
            if (dx != 0 && dy != 0)
                body.ub(1, 1).sb(dx, bits).sb(dy, bits);
            else if (dx == 0)
                body.ub(0, 1).ub(1, 1).sb(dy, bits);
            else
                body.ub(0, 1).ub(0, 1).sb(dx, bits);
        } else {
            const unsigned bits = std::max(2u, fewestSB({step.v[0], step.v[1], step.v[2], step.v[3]}));
            body.ub(1, 1).ub(0, 1).ub(bits - 2, 4);
            for (int32_t v : step.v)
                body.sb(v, bits);
        }
    }
    body.ub(0, 6).align();
}

void SwfShape::writeWithStyles(TagBody &body, int shapeVersion) const
{
    writeStyleArrays(body, styles, shapeVersion);
    writeBare(body, std::nullopt, std::nullopt, shapeVersion);
}

void SwfShape::writeBare(TagBody &body, std::optional<unsigned> fillBits, std::optional<unsigned> lineBits,
                         int shapeVersion) const
{
    // Wide enough for the arrays and for every index the first records use.
    uint32_t fills = uint32_t(styles.fills.size());
    uint32_t lines = uint32_t(styles.lines.size());
    for (const Step &step : m_steps) {
        fills = std::max({fills, step.fill0.value_or(0), step.fill1.value_or(0)});
        lines = std::max(lines, step.line.value_or(0));
        if (step.newStyles)
            break; // later records use the new arrays' widths
    }
    const unsigned fb = fillBits.value_or(BitWriter::bitsForUB(fills));
    const unsigned lb = lineBits.value_or(BitWriter::bitsForUB(lines));
    body.ub(fb, 4).ub(lb, 4);
    writeRecords(body, fb, lb, shapeVersion);
}

// ---- SwfWriter: definitions and display list ----

namespace {

void writeMorphFill(TagBody &body, const SwfMorphFill &f)
{
    body.ui8(f.type);
    switch (f.type) {
    case 0x00:
        rgbOrRgba(body, f.startColor, true);
        rgbOrRgba(body, f.endColor, true);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        body.matrix(f.startMatrix).matrix(f.endMatrix);
        body.align().ub(f.spread, 2).ub(f.interpolation, 2).ub(uint32_t(f.stops.size()), 4);
        for (const auto &[a, b] : f.stops) {
            body.ui8(a.ratio);
            rgbOrRgba(body, a.color, true);
            body.ui8(b.ratio);
            rgbOrRgba(body, b.color, true);
        }
        if (f.type == 0x13)
            body.fixed8(f.startFocal).fixed8(f.endFocal);
        break;
    default:
        body.ui16(f.bitmapId).matrix(f.startMatrix).matrix(f.endMatrix);
        break;
    }
}

void writeButtonRecord(TagBody &body, const SwfButtonRecord &r, int version)
{
    body.ui8(uint8_t(r.states | (r.filterList ? 0x10 : 0) | (r.blendMode ? 0x20 : 0)));
    body.ui16(r.characterId).ui16(r.depth).matrix(r.matrix);
    if (version >= 2)
        body.cxform(r.cxform, true);
    if (r.filterList)
        body.raw(*r.filterList);
    if (r.blendMode)
        body.ui8(*r.blendMode);
}

void writePlace(TagBody &body, const SwfPlace &p, int version)
{
    const uint8_t flags = uint8_t((p.hasClipActions ? 0x80 : 0) | (p.clipDepth ? 0x40 : 0) | (p.name ? 0x20 : 0)
                                  | (p.ratio ? 0x10 : 0) | (p.cxform ? 0x08 : 0) | (p.matrix ? 0x04 : 0)
                                  | (p.characterId ? 0x02 : 0) | (p.move ? 0x01 : 0));
    body.ui8(flags);
    if (version >= 3) {
        body.ui8(uint8_t((p.backgroundColor ? 0x40 : 0) | (p.visible ? 0x20 : 0) | (p.hasImage ? 0x10 : 0)
                         | (p.className ? 0x08 : 0) | (p.cacheAsBitmap ? 0x04 : 0) | (p.blendMode ? 0x02 : 0)
                         | (p.filterList ? 0x01 : 0)));
    }
    body.ui16(p.depth);
    if (version >= 3 && p.className)
        body.string(*p.className);
    if (p.characterId)
        body.ui16(*p.characterId);
    if (p.matrix)
        body.matrix(*p.matrix);
    if (p.cxform)
        body.cxform(*p.cxform, true);
    if (p.ratio)
        body.ui16(*p.ratio);
    if (p.name)
        body.string(*p.name);
    if (p.clipDepth)
        body.ui16(*p.clipDepth);
    if (version >= 3) {
        if (p.filterList)
            body.raw(*p.filterList);
        if (p.blendMode)
            body.ui8(*p.blendMode);
        if (p.cacheAsBitmap)
            body.ui8(*p.cacheAsBitmap);
        if (p.visible)
            body.ui8(*p.visible);
        if (p.backgroundColor)
            rgbOrRgba(body, *p.backgroundColor, true);
    }
    if (p.hasClipActions)
        body.ui16(0).ui32(0).ui32(0); // no events, then the end of the list
}

} // namespace

SwfWriter &SwfWriter::defineShape(int version, uint16_t id, const SwfRect &bounds, const SwfShape &shape)
{
    static const uint16_t codes[] = {0, SwfTag::DefineShape, SwfTag::DefineShape2, SwfTag::DefineShape3,
                                     SwfTag::DefineShape4};
    if (version < 1 || version > 4)
        misuse("DefineShape versions are 1 to 4");
    if (version == 4)
        return defineShape4(id, bounds, bounds, 0, shape);
    TagBody body;
    body.ui16(id).rect(bounds);
    shape.writeWithStyles(body, version);
    return addTag(codes[version], body);
}

SwfWriter &SwfWriter::defineShape4(uint16_t id, const SwfRect &bounds, const SwfRect &edgeBounds, uint8_t flags,
                                   const SwfShape &shape)
{
    TagBody body;
    body.ui16(id).rect(bounds).rect(edgeBounds).ui8(flags);
    shape.writeWithStyles(body, 4);
    return addTag(SwfTag::DefineShape4, body);
}

SwfWriter &SwfWriter::defineMorphShape(int version, const SwfMorph &m)
{
    TagBody body;
    body.ui16(m.id).rect(m.startBounds).rect(m.endBounds);
    if (version >= 2) {
        body.rect(m.startEdgeBounds).rect(m.endEdgeBounds);
        body.ui8(uint8_t((m.usesNonScalingStrokes ? 2 : 0) | (m.usesScalingStrokes ? 1 : 0)));
    }
    TagBody styles;
    styleCount(styles, m.fills.size());
    for (const auto &fill : m.fills)
        writeMorphFill(styles, fill);
    styleCount(styles, m.lines.size());
    for (const auto &line : m.lines) {
        styles.ui16(line.startWidth).ui16(line.endWidth);
        if (version < 2) {
            rgbOrRgba(styles, line.startColor, true);
            rgbOrRgba(styles, line.endColor, true);
            continue;
        }
        styles.ub(line.startCap, 2).ub(line.join, 2).ub(line.fill ? 1 : 0, 1).ub(line.noHScale, 1)
            .ub(line.noVScale, 1).ub(line.pixelHinting, 1).ub(0, 5).ub(line.noClose, 1).ub(line.endCap, 2);
        if (line.join == 2)
            styles.fixed8(line.miterLimit);
        if (line.fill) {
            writeMorphFill(styles, *line.fill);
        } else {
            rgbOrRgba(styles, line.startColor, true);
            rgbOrRgba(styles, line.endColor, true);
        }
    }
    m.start.writeBare(styles, BitWriter::bitsForUB(uint32_t(m.fills.size())),
                      BitWriter::bitsForUB(uint32_t(m.lines.size())));
    TagBody endEdges;
    m.end.writeBare(endEdges, 0u, 0u);
    body.ui32(uint32_t(styles.size())).raw(styles.bytes()).raw(endEdges.bytes());
    return addTag(version >= 2 ? SwfTag::DefineMorphShape2 : SwfTag::DefineMorphShape, body);
}

SwfWriter &SwfWriter::placeObject(uint16_t characterId, uint16_t depth, const SwfMatrix &matrix,
                                  std::optional<SwfCxform> cxform)
{
    TagBody body;
    body.ui16(characterId).ui16(depth).matrix(matrix);
    if (cxform)
        body.cxform(*cxform, false);
    return addTag(SwfTag::PlaceObject, body);
}

SwfWriter &SwfWriter::placeObject2(const SwfPlace &place)
{
    TagBody body;
    writePlace(body, place, 2);
    return addTag(SwfTag::PlaceObject2, body);
}

SwfWriter &SwfWriter::placeObject3(const SwfPlace &place)
{
    TagBody body;
    writePlace(body, place, 3);
    return addTag(SwfTag::PlaceObject3, body);
}

SwfWriter &SwfWriter::removeObject(uint16_t characterId, uint16_t depth)
{
    return addTag(SwfTag::RemoveObject, TagBody().ui16(characterId).ui16(depth));
}

SwfWriter &SwfWriter::removeObject2(uint16_t depth)
{
    return addTag(SwfTag::RemoveObject2, TagBody().ui16(depth));
}

SwfWriter &SwfWriter::defineSprite(uint16_t id, const SwfWriter &inner, std::optional<uint16_t> frameCount)
{
    return addTag(SwfTag::DefineSprite,
                  TagBody().ui16(id).ui16(frameCount.value_or(inner.m_showFrames)).raw(inner.tags()));
}

SwfWriter &SwfWriter::defineBitsLossless(int version, uint16_t id, uint8_t format, uint16_t width, uint16_t height,
                                         const QByteArray &pixels, uint16_t colorTableSize)
{
    TagBody body;
    body.ui16(id).ui8(format).ui16(width).ui16(height);
    if (format == 3) {
        if (colorTableSize < 1 || colorTableSize > 256)
            misuse("a colour table has 1 to 256 entries");
        body.ui8(uint8_t(colorTableSize - 1));
    }
    body.raw(zlibCompress(pixels));
    return addTag(version >= 2 ? SwfTag::DefineBitsLossless2 : SwfTag::DefineBitsLossless, body);
}

SwfWriter &SwfWriter::jpegTables(const QByteArray &tables)
{
    return addTag(SwfTag::JPEGTables, tables);
}

SwfWriter &SwfWriter::defineBits(uint16_t id, const QByteArray &jpeg)
{
    return addTag(SwfTag::DefineBits, TagBody().ui16(id).raw(jpeg));
}

SwfWriter &SwfWriter::defineBitsJpeg2(uint16_t id, const QByteArray &image)
{
    return addTag(SwfTag::DefineBitsJPEG2, TagBody().ui16(id).raw(image));
}

SwfWriter &SwfWriter::defineBitsJpeg3(uint16_t id, const QByteArray &jpeg, const QByteArray &alpha)
{
    return addTag(SwfTag::DefineBitsJPEG3,
                  TagBody().ui16(id).ui32(uint32_t(jpeg.size())).raw(jpeg).raw(zlibCompress(alpha)));
}

SwfWriter &SwfWriter::defineBitsJpeg4(uint16_t id, const QByteArray &jpeg, double deblocking, const QByteArray &alpha)
{
    return addTag(SwfTag::DefineBitsJPEG4, TagBody()
                                               .ui16(id)
                                               .ui32(uint32_t(jpeg.size()))
                                               .fixed8(deblocking)
                                               .raw(jpeg)
                                               .raw(zlibCompress(alpha)));
}

SwfWriter &SwfWriter::defineFont1(uint16_t id, const std::vector<SwfShape> &glyphs)
{
    std::vector<QByteArray> shapes;
    for (const auto &glyph : glyphs) {
        TagBody shape;
        glyph.writeBare(shape, 1u, 0u);
        shapes.push_back(shape.bytes());
    }
    TagBody body;
    body.ui16(id);
    size_t offset = 2 * shapes.size();
    for (const auto &shape : shapes) {
        body.ui16(uint16_t(offset));
        offset += size_t(shape.size());
    }
    for (const auto &shape : shapes)
        body.raw(shape);
    return addTag(SwfTag::DefineFont, body);
}

SwfWriter &SwfWriter::defineFontInfo(int version, uint16_t id, const QByteArray &name, uint8_t flags,
                                     const std::vector<uint16_t> &codes, uint8_t language)
{
    TagBody body;
    body.ui16(id).ui8(uint8_t(name.size())).raw(name).ui8(flags);
    if (version >= 2)
        body.ui8(language);
    for (uint16_t code : codes) {
        if (flags & 0x01)
            body.ui16(code);
        else
            body.ui8(uint8_t(code));
    }
    return addTag(version >= 2 ? SwfTag::DefineFontInfo2 : SwfTag::DefineFontInfo, body);
}

SwfWriter &SwfWriter::defineFont(int version, const SwfFont &f)
{
    TagBody body;
    body.ui16(f.id);
    body.ui8(uint8_t((f.hasLayout ? 0x80 : 0) | (f.shiftJis ? 0x40 : 0) | (f.smallText ? 0x20 : 0)
                     | (f.ansi ? 0x10 : 0) | (f.wideOffsets ? 0x08 : 0) | (f.wideCodes ? 0x04 : 0)
                     | (f.italic ? 0x02 : 0) | (f.bold ? 0x01 : 0)));
    body.ui8(f.language).ui8(uint8_t(f.name.size())).raw(f.name).ui16(uint16_t(f.glyphs.size()));
    std::vector<QByteArray> shapes;
    for (const auto &glyph : f.glyphs) {
        TagBody shape;
        glyph.shape.writeBare(shape, 1u, 0u);
        shapes.push_back(shape.bytes());
    }
    const size_t width = f.wideOffsets ? 4 : 2;
    size_t offset = width * (shapes.size() + 1);
    const auto writeOffset = [&](size_t value) {
        if (f.wideOffsets)
            body.ui32(uint32_t(value));
        else
            body.ui16(uint16_t(value));
    };
    for (const auto &shape : shapes) {
        writeOffset(offset);
        offset += size_t(shape.size());
    }
    writeOffset(offset); // the code table
    for (const auto &shape : shapes)
        body.raw(shape);
    const auto writeCode = [&](uint16_t code) {
        if (f.wideCodes)
            body.ui16(code);
        else
            body.ui8(uint8_t(code));
    };
    for (const auto &glyph : f.glyphs)
        writeCode(glyph.code);
    if (f.hasLayout) {
        body.ui16(f.ascent).ui16(f.descent).si16(f.leading);
        for (const auto &glyph : f.glyphs)
            body.si16(glyph.advance);
        for (const auto &glyph : f.glyphs)
            body.rect(glyph.bounds);
        body.ui16(uint16_t(f.kerning.size()));
        for (const auto &k : f.kerning) {
            writeCode(k.left);
            writeCode(k.right);
            body.si16(k.adjustment);
        }
    }
    return addTag(version >= 3 ? SwfTag::DefineFont3 : SwfTag::DefineFont2, body);
}

SwfWriter &SwfWriter::defineFontName(uint16_t id, const QByteArray &name, const QByteArray &copyright)
{
    return addTag(SwfTag::DefineFontName, TagBody().ui16(id).string(name).string(copyright));
}

SwfWriter &SwfWriter::defineText(int version, uint16_t id, const SwfRect &bounds, const SwfMatrix &matrix,
                                 const std::vector<SwfTextRecord> &records)
{
    unsigned glyphBits = 0;
    unsigned advanceBits = 0;
    for (const auto &record : records) {
        for (const auto &[index, advance] : record.glyphs) {
            glyphBits = std::max(glyphBits, BitWriter::bitsForUB(index));
            advanceBits = std::max(advanceBits, BitWriter::bitsForSB(advance));
        }
    }
    TagBody body;
    body.ui16(id).rect(bounds).matrix(matrix).ui8(uint8_t(glyphBits)).ui8(uint8_t(advanceBits));
    for (const auto &r : records) {
        body.ui8(uint8_t(0x80 | (r.fontId ? 0x08 : 0) | (r.color ? 0x04 : 0) | (r.y ? 0x02 : 0) | (r.x ? 0x01 : 0)));
        if (r.fontId)
            body.ui16(*r.fontId);
        if (r.color)
            rgbOrRgba(body, *r.color, version >= 2);
        if (r.x)
            body.si16(*r.x);
        if (r.y)
            body.si16(*r.y);
        if (r.fontId)
            body.ui16(r.height);
        if (r.glyphs.size() > 255)
            misuse("a text record holds at most 255 glyphs");
        body.ui8(uint8_t(r.glyphs.size()));
        for (const auto &[index, advance] : r.glyphs)
            body.ub(index, glyphBits).sb(advance, advanceBits);
        body.align();
    }
    body.ui8(0);
    return addTag(version >= 2 ? SwfTag::DefineText2 : SwfTag::DefineText, body);
}

SwfWriter &SwfWriter::defineEditText(const SwfEditText &e)
{
    TagBody body;
    body.ui16(e.id).rect(e.bounds);
    body.ui8(uint8_t((e.initialText ? 0x80 : 0) | (e.wordWrap ? 0x40 : 0) | (e.multiline ? 0x20 : 0)
                     | (e.password ? 0x10 : 0) | (e.readOnly ? 0x08 : 0) | (e.color ? 0x04 : 0)
                     | (e.maxLength ? 0x02 : 0) | (e.fontId ? 0x01 : 0)));
    body.ui8(uint8_t((e.fontClass ? 0x80 : 0) | (e.autoSize ? 0x40 : 0) | (e.layout ? 0x20 : 0)
                     | (e.noSelect ? 0x10 : 0) | (e.border ? 0x08 : 0) | (e.wasStatic ? 0x04 : 0)
                     | (e.html ? 0x02 : 0) | (e.useOutlines ? 0x01 : 0)));
    if (e.fontId)
        body.ui16(*e.fontId);
    if (e.fontClass)
        body.string(*e.fontClass);
    if (e.fontId || e.fontClass)
        body.ui16(e.fontHeight);
    if (e.color)
        rgbOrRgba(body, *e.color, true);
    if (e.maxLength)
        body.ui16(*e.maxLength);
    if (e.layout)
        body.ui8(e.layout->align).ui16(e.layout->leftMargin).ui16(e.layout->rightMargin).ui16(e.layout->indent)
            .si16(e.layout->leading);
    body.string(e.variableName);
    if (e.initialText)
        body.string(*e.initialText);
    return addTag(SwfTag::DefineEditText, body);
}

SwfWriter &SwfWriter::defineSceneAndFrameLabelData(const std::vector<std::pair<uint32_t, QByteArray>> &scenes,
                                                   const std::vector<std::pair<uint32_t, QByteArray>> &labels)
{
    TagBody body;
    for (const auto *list : {&scenes, &labels}) {
        body.encodedU32(uint32_t(list->size()));
        for (const auto &[number, name] : *list)
            body.encodedU32(number).string(name);
    }
    return addTag(SwfTag::DefineSceneAndFrameLabelData, body);
}

SwfWriter &SwfWriter::defineButton(uint16_t id, const std::vector<SwfButtonRecord> &records)
{
    TagBody body;
    body.ui16(id);
    for (const auto &r : records)
        writeButtonRecord(body, r, 1);
    body.ui8(0).ui8(0); // end of records, then an empty action list
    return addTag(SwfTag::DefineButton, body);
}

SwfWriter &SwfWriter::defineVideoStream(uint16_t id, uint16_t frameCount, uint16_t width, uint16_t height,
                                        uint8_t codec, bool smoothing, uint8_t deblocking)
{
    return addTag(SwfTag::DefineVideoStream,
                  TagBody().ui16(id).ui16(frameCount).ui16(width).ui16(height).ui8(
                      uint8_t((deblocking & 0x07) << 1 | (smoothing ? 1 : 0))).ui8(codec));
}

SwfWriter &SwfWriter::videoFrame(uint16_t streamId, uint16_t frameNumber, const QByteArray &data)
{
    return addTag(SwfTag::VideoFrame, TagBody().ui16(streamId).ui16(frameNumber).raw(data));
}

SwfWriter &SwfWriter::defineButton2(uint16_t id, bool trackAsMenu, const std::vector<SwfButtonRecord> &records)
{
    TagBody body;
    body.ui16(id).ui8(trackAsMenu ? 1 : 0).ui16(0);
    for (const auto &r : records)
        writeButtonRecord(body, r, 2);
    body.ui8(0);
    return addTag(SwfTag::DefineButton2, body);
}

void SwfWriter::splitJpegTables(const QByteArray &jpeg, QByteArray &tables, QByteArray &image)
{
    const auto *p = reinterpret_cast<const uint8_t *>(jpeg.constData());
    const qsizetype n = jpeg.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        misuse("not a JPEG file");
    tables = QByteArray("\xFF\xD8", 2);
    image = QByteArray("\xFF\xD8", 2);
    qsizetype i = 2;
    while (i + 4 <= n && p[i] == 0xFF && p[i + 1] != 0xDA) {
        const qsizetype length = qsizetype(p[i + 2] << 8 | p[i + 3]);
        const bool table = p[i + 1] == 0xDB || p[i + 1] == 0xC4;
        (table ? tables : image).append(jpeg.mid(i, 2 + length));
        i += 2 + length;
    }
    tables.append("\xFF\xD9", 2);
    image.append(jpeg.mid(i));
}

// ---- filters ----

namespace SwfFilter {

QByteArray list(const std::vector<QByteArray> &filters)
{
    if (filters.size() > 255)
        misuse("a filter list holds at most 255 filters");
    TagBody body;
    body.ui8(uint8_t(filters.size()));
    for (const QByteArray &f : filters)
        body.raw(f);
    return body.bytes();
}

QByteArray dropShadow(const SwfRgba &color, double blurX, double blurY, double angle, double distance,
                      double strength, uint8_t flags)
{
    TagBody body;
    body.ui8(0).rgba(color.r, color.g, color.b, color.a).fixed(blurX).fixed(blurY).fixed(angle).fixed(distance)
        .fixed8(strength).ui8(flags);
    return body.bytes();
}

QByteArray blur(double blurX, double blurY, uint8_t passes)
{
    if (passes > 31)
        misuse("blur passes take 5 bits");
    TagBody body;
    body.ui8(1).fixed(blurX).fixed(blurY).ui8(uint8_t(passes << 3));
    return body.bytes();
}

QByteArray glow(const SwfRgba &color, double blurX, double blurY, double strength, uint8_t flags)
{
    TagBody body;
    body.ui8(2).rgba(color.r, color.g, color.b, color.a).fixed(blurX).fixed(blurY).fixed8(strength).ui8(flags);
    return body.bytes();
}

QByteArray colorMatrix(const std::array<float, 20> &matrix)
{
    TagBody body;
    body.ui8(6);
    for (float v : matrix)
        body.f32(v);
    return body.bytes();
}

} // namespace SwfFilter
