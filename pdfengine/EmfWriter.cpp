#include "pdfengine/EmfWriter.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void putU32(QByteArray &b, uint32_t v)
{
    char raw[4];
    qToLittleEndian(v, raw);
    b.append(raw, 4);
}
void putI32(QByteArray &b, int32_t v) { putU32(b, static_cast<uint32_t>(v)); }
void putU16(QByteArray &b, uint16_t v)
{
    char raw[2];
    qToLittleEndian(v, raw);
    b.append(raw, 2);
}
void putF32(QByteArray &b, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    putU32(b, bits);
}
// Inclusive-inclusive, as the format keeps rectangles; an empty QRect gives
// the format's "no extent" (0, 0, -1, -1).
void putRect(QByteArray &b, const QRect &r)
{
    if (r.isEmpty()) {
        for (int32_t v : {0, 0, -1, -1})
            putI32(b, v);
        return;
    }
    putI32(b, r.left());
    putI32(b, r.top());
    putI32(b, r.right());
    putI32(b, r.bottom());
}
void pad4(QByteArray &b)
{
    while (b.size() % 4)
        b.append('\0');
}

} // namespace

uint32_t emf::DeclaredSize(const char *data, qsizetype size)
{
    if (!data || size < 88)
        return 0;
    const uint32_t type = qFromLittleEndian<uint32_t>(data);
    const uint32_t signature = qFromLittleEndian<uint32_t>(data + 40);
    const uint32_t declared = qFromLittleEndian<uint32_t>(data + 48);
    if (type != EMR_HEADER || signature != kSignature || declared < 88 || declared > uint64_t(size))
        return 0;
    return declared;
}

TEmfWriter::TEmfWriter(QSize deviceSize, QSize frame) : m_device(deviceSize), m_frame(frame), m_used(1, true) {}

void TEmfWriter::append(uint32_t type, const QByteArray &body)
{
    // Every record keeps a size that is a multiple of 4.
    QByteArray padded = body;
    pad4(padded);
    putU32(m_records, type);
    putU32(m_records, static_cast<uint32_t>(8 + padded.size()));
    m_records.append(padded);
    ++m_recordCount;
}

uint32_t TEmfWriter::CreateFont(const emf::LogFontW &f)
{
    auto freeSlot = std::find(m_used.begin() + 1, m_used.end(), false);
    uint32_t index = static_cast<uint32_t>(freeSlot - m_used.begin());
    if (freeSlot == m_used.end())
        m_used.push_back(true);
    else
        *freeSlot = true;

    QByteArray b;
    putU32(b, index);
    putI32(b, f.height);
    putI32(b, f.width);
    putI32(b, f.escapement);
    putI32(b, f.orientation);
    putI32(b, f.weight);
    for (uint8_t v : {f.italic, f.underline, f.strikeOut, f.charSet, f.outPrecision, f.clipPrecision,
                      f.quality, f.pitchAndFamily})
        b.append(static_cast<char>(v));
    const QString face = f.faceName.left(31);
    for (QChar c : face)
        putU16(b, c.unicode());
    for (qsizetype i = face.size(); i < 32; ++i)
        putU16(b, 0);
    append(emf::EMR_EXTCREATEFONTINDIRECTW, b);
    return index;
}

void TEmfWriter::SelectObject(uint32_t index)
{
    QByteArray b;
    putU32(b, index);
    append(emf::EMR_SELECTOBJECT, b);
}

void TEmfWriter::DeleteObject(uint32_t index)
{
    QByteArray b;
    putU32(b, index);
    append(emf::EMR_DELETEOBJECT, b);
    if (index > 0 && index < m_used.size())
        m_used[index] = false;
}

void TEmfWriter::SetTextColor(uint32_t colorRef)
{
    QByteArray b;
    putU32(b, colorRef & 0x00FFFFFF);
    append(emf::EMR_SETTEXTCOLOR, b);
}

void TEmfWriter::SetTextAlign(uint32_t flags)
{
    QByteArray b;
    putU32(b, flags);
    append(emf::EMR_SETTEXTALIGN, b);
}

void TEmfWriter::SetBkMode(uint32_t mode)
{
    QByteArray b;
    putU32(b, mode);
    append(emf::EMR_SETBKMODE, b);
}

void TEmfWriter::ExtTextOutW(QPoint reference, const QString &text, const std::vector<int32_t> &dx,
                             const QRect &bounds)
{
    const uint32_t n = static_cast<uint32_t>(text.size());
    constexpr uint32_t kFixed = 76; // record header up to and including offDx
    const uint32_t stringBytes = (2 * n + 3) & ~3u;

    QByteArray b;
    putRect(b, bounds);
    putU32(b, emf::GM_COMPATIBLE);
    // Hundredths of a millimetre per logical unit.
    const float sx = m_device.width() > 0 ? float(m_frame.width()) / float(m_device.width()) : 0.f;
    const float sy = m_device.height() > 0 ? float(m_frame.height()) / float(m_device.height()) : 0.f;
    putF32(b, sx);
    putF32(b, sy);
    putI32(b, reference.x());
    putI32(b, reference.y());
    putU32(b, n);
    putU32(b, kFixed);                // offString
    putU32(b, 0);                     // options: neither clipped nor opaque
    putRect(b, QRect());              // no clipping rectangle
    putU32(b, kFixed + stringBytes); // offDx
    for (QChar c : text)
        putU16(b, c.unicode());
    pad4(b);
    for (uint32_t i = 0; i < n; ++i)
        putI32(b, i < dx.size() ? dx[i] : 0);
    append(emf::EMR_EXTTEXTOUTW, b);
    if (!bounds.isEmpty())
        m_bounds = m_bounds.united(bounds);
}

QByteArray TEmfWriter::Bytes() const
{
    QByteArray eof;
    putU32(eof, emf::EMR_EOF);
    putU32(eof, emf::kEofBytes);
    putU32(eof, 0);  // no palette entries
    putU32(eof, 16); // where they would start
    putU32(eof, emf::kEofBytes);

    const uint32_t total = emf::kHeaderBytes + uint32_t(m_records.size()) + uint32_t(eof.size());
    QByteArray h;
    putU32(h, emf::EMR_HEADER);
    putU32(h, emf::kHeaderBytes);
    putRect(h, m_bounds);
    putRect(h, QRect(QPoint(0, 0), m_frame));
    putU32(h, emf::kSignature);
    putU32(h, emf::kVersion);
    putU32(h, total);
    putU32(h, m_recordCount + 2);
    putU16(h, static_cast<uint16_t>(m_used.size()));
    putU16(h, 0);
    putU32(h, 0); // no description
    putU32(h, 0);
    putU32(h, 0); // no palette
    putI32(h, m_device.width());
    putI32(h, m_device.height());
    putI32(h, static_cast<int32_t>(std::lround(m_frame.width() / 100.0)));
    putI32(h, static_cast<int32_t>(std::lround(m_frame.height() / 100.0)));
    putU32(h, 0); // no pixel format
    putU32(h, 0);
    putU32(h, 0); // not OpenGL
    putI32(h, m_frame.width() * 10);
    putI32(h, m_frame.height() * 10);
    Q_ASSERT(uint32_t(h.size()) == emf::kHeaderBytes);
    return h + m_records + eof;
}
