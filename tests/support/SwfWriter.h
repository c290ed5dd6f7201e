#pragma once
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

// Builds movie files for tests, so no third-party movie is ever needed.
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

    QByteArray bytes() const { return m_bits.bytes(); }
    qsizetype size() const { return m_bits.bytes().size(); }

private:
    BitWriter m_bits;
};

namespace SwfTag {
enum : uint16_t {
    End = 0,
    ShowFrame = 1,
    SetBackgroundColor = 9,
    FrameLabel = 43,
};
}

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
    SwfWriter &end();

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
