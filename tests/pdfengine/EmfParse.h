#pragma once
// Reads metafile bytes back into records, independently of the writer, so
// tests can check what a reader of the format would see.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace emftest {

inline uint32_t u32(const QByteArray &b, qsizetype at)
{
    uint32_t v = 0;
    if (at >= 0 && at + 4 <= b.size())
        std::memcpy(&v, b.constData() + at, 4);
    return v;
}
inline int32_t i32(const QByteArray &b, qsizetype at) { return int32_t(u32(b, at)); }

inline QString utf16At(const QByteArray &b, qsizetype at, qsizetype units)
{
    QString s;
    for (qsizetype i = 0; i < units && at + 2 * i + 1 < b.size(); ++i)
        s.append(QChar(char16_t(uint8_t(b[at + 2 * i]) | (uint8_t(b[at + 2 * i + 1]) << 8))));
    return s;
}

struct Record {
    uint32_t type = 0;
    QByteArray bytes; // the whole record, from its type field
};

// Splits by the size fields; fails (returns false) on a size that is not a
// multiple of 4, smaller than 8, or runs past the end.
inline bool split(const QByteArray &emf, std::vector<Record> &out, std::string *why = nullptr)
{
    out.clear();
    qsizetype pos = 0;
    while (pos < emf.size()) {
        const uint32_t size = u32(emf, pos + 4);
        if (size < 8 || size % 4 || pos + qsizetype(size) > emf.size()) {
            if (why)
                *why = "bad record size " + std::to_string(size) + " at " + std::to_string(pos);
            return false;
        }
        out.push_back({u32(emf, pos), emf.mid(pos, size)});
        pos += size;
    }
    return true;
}

struct Font {
    uint32_t index = 0;
    int32_t height = 0, weight = 0;
    uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0, pitch = 0;
    QString face;
};

inline Font font(const Record &r)
{
    Font f;
    f.index = u32(r.bytes, 8);
    f.height = i32(r.bytes, 12);
    f.weight = i32(r.bytes, 28);
    f.italic = uint8_t(r.bytes[32]);
    f.underline = uint8_t(r.bytes[33]);
    f.strikeOut = uint8_t(r.bytes[34]);
    f.charSet = uint8_t(r.bytes[35]);
    f.pitch = uint8_t(r.bytes[39]);
    QString face = utf16At(r.bytes, 40, 32);
    f.face = face.left(face.indexOf(QChar(0)));
    return f;
}

struct Text {
    int32_t x = 0, y = 0;
    QString text;
    std::vector<int32_t> dx;
    uint32_t offString = 0, offDx = 0;
};

inline Text text(const Record &r)
{
    Text t;
    t.x = i32(r.bytes, 36);
    t.y = i32(r.bytes, 40);
    const uint32_t n = u32(r.bytes, 44);
    t.offString = u32(r.bytes, 48);
    t.offDx = u32(r.bytes, 72);
    t.text = utf16At(r.bytes, t.offString, n);
    for (uint32_t i = 0; i < n; ++i)
        t.dx.push_back(i32(r.bytes, t.offDx + 4 * i));
    return t;
}

} // namespace emftest
