#pragma once
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace swf {

// Thrown when a read would pass the end of the data; the reader catches it
// per tag.
struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads bit fields (most significant bit first) and little-endian whole
// bytes from a view that it never reads past. Whole-byte reads start on the
// next byte boundary, as the format requires. The viewed bytes must outlive
// the reader.
class BitReader {
public:
    BitReader() = default;
    BitReader(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    explicit BitReader(const QByteArray &bytes)
        : m_data(reinterpret_cast<const uint8_t *>(bytes.constData())), m_size(size_t(bytes.size()))
    {
    }

    size_t size() const { return m_size; }
    // The next whole byte; a partly read byte counts as read.
    size_t position() const { return m_pos + (m_bit ? 1 : 0); }
    size_t remaining() const { return m_size - position(); }
    bool atEnd() const { return position() >= m_size; }

    void align();

    uint32_t ub(unsigned bits); // up to 32 bits
    int32_t sb(unsigned bits);  // up to 32 bits, sign-extended
    double fb(unsigned bits);   // signed 16.16
    bool flag() { return ub(1) != 0; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    int16_t s16() { return int16_t(u16()); }
    int32_t s32() { return int32_t(u32()); }
    double fixed8() { return s16() / 256.0; }
    double fixed16() { return s32() / 65536.0; }
    float f32();
    uint32_t encodedU32(); // 1 to 5 bytes, 7 bits each, low bits first

    // Bytes up to the next null byte, which is consumed but not returned.
    QByteArray string();
    QByteArray bytes(size_t count);
    QByteArray rest();
    void skip(size_t count);
    // A reader over the next count bytes, which this one then skips.
    BitReader sub(size_t count);
    // A reader over bytes [from, from + count) of this view; position
    // unchanged.
    BitReader slice(size_t from, size_t count) const;
    // Moves to a whole byte of this view.
    void seek(size_t position);

private:
    const uint8_t *need(size_t count);

    const uint8_t *m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;  // byte holding the next bit
    unsigned m_bit = 0; // bits already taken from m_data[m_pos]
};

} // namespace swf
