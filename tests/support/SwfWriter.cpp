#include "support/SwfWriter.h"

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
