#include "engines/flashplayer/SwfBitReader.h"

#include <bit>
#include <cstring>

namespace swf {

void BitReader::align()
{
    if (m_bit) {
        ++m_pos;
        m_bit = 0;
    }
}

uint32_t BitReader::ub(unsigned bits)
{
    if (bits > 32)
        throw ReadError("bit field wider than 32 bits");
    uint64_t value = 0;
    while (bits > 0) {
        if (m_pos >= m_size)
            throw ReadError("bit field runs past the end");
        const unsigned available = 8 - m_bit;
        const unsigned take = bits < available ? bits : available;
        const unsigned shift = available - take;
        const uint32_t chunk = (uint32_t(m_data[m_pos]) >> shift) & ((1u << take) - 1);
        value = value << take | chunk;
        bits -= take;
        m_bit += take;
        if (m_bit == 8) {
            m_bit = 0;
            ++m_pos;
        }
    }
    return uint32_t(value);
}

int32_t BitReader::sb(unsigned bits)
{
    const uint32_t raw = ub(bits);
    if (bits == 0 || bits == 32)
        return int32_t(raw);
    const uint32_t sign = 1u << (bits - 1);
    return int32_t((raw ^ sign) - sign);
}

double BitReader::fb(unsigned bits)
{
    return sb(bits) / 65536.0;
}

const uint8_t *BitReader::need(size_t count)
{
    align();
    if (count > m_size - m_pos)
        throw ReadError("data runs past the end");
    const uint8_t *at = m_data + m_pos;
    m_pos += count;
    return at;
}

uint8_t BitReader::u8()
{
    return *need(1);
}

uint16_t BitReader::u16()
{
    const uint8_t *p = need(2);
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t BitReader::u32()
{
    const uint8_t *p = need(4);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float BitReader::f32()
{
    return std::bit_cast<float>(u32());
}

uint32_t BitReader::encodedU32()
{
    uint32_t value = 0;
    for (unsigned i = 0; i < 5; ++i) {
        const uint8_t byte = u8();
        value |= uint32_t(byte & 0x7F) << (7 * i); // the fifth byte's high bits fall off
        if (!(byte & 0x80))
            break;
    }
    return value;
}

QByteArray BitReader::string()
{
    align();
    const void *nul = m_pos < m_size ? std::memchr(m_data + m_pos, 0, m_size - m_pos) : nullptr;
    if (!nul)
        throw ReadError("string without its terminating null");
    const size_t length = size_t(static_cast<const uint8_t *>(nul) - (m_data + m_pos));
    QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(length));
    m_pos += length + 1;
    return out;
}

QByteArray BitReader::bytes(size_t count)
{
    const uint8_t *p = need(count);
    return QByteArray(reinterpret_cast<const char *>(p), qsizetype(count));
}

QByteArray BitReader::rest()
{
    align();
    return bytes(m_size - m_pos);
}

void BitReader::skip(size_t count)
{
    need(count);
}

BitReader BitReader::sub(size_t count)
{
    const uint8_t *p = need(count);
    return BitReader(p, count);
}

BitReader BitReader::slice(size_t from, size_t count) const
{
    if (from > m_size || count > m_size - from)
        throw ReadError("range outside the data");
    return BitReader(m_data + from, count);
}

void BitReader::seek(size_t position)
{
    if (position > m_size)
        throw ReadError("position outside the data");
    m_pos = position;
    m_bit = 0;
}

} // namespace swf
