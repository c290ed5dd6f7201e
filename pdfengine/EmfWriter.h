#pragma once
// Records the few EMF records the page canvas needs (MS-EMF layout, little
// endian). Logical units are device units (the default text mapping), so the
// device size given here is the unit of every coordinate.
#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

namespace emf {

enum RecordType : uint32_t {
    EMR_HEADER = 1,
    EMR_EOF = 14,
    EMR_SETBKMODE = 18,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SELECTOBJECT = 37,
    EMR_DELETEOBJECT = 40,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
};

inline constexpr uint32_t kSignature = 0x464D4520; // " EMF"
inline constexpr uint32_t kVersion = 0x00010000;
inline constexpr uint32_t kHeaderBytes = 108;      // with both header extensions
inline constexpr uint32_t kLogFontWBytes = 92;
inline constexpr uint32_t kFontRecordBytes = 12 + kLogFontWBytes;
inline constexpr uint32_t kEofBytes = 20;
inline constexpr uint32_t TRANSPARENT = 1;
inline constexpr uint32_t OPAQUE = 2;
inline constexpr uint32_t GM_COMPATIBLE = 1;
inline constexpr uint8_t DEFAULT_CHARSET = 1;
inline constexpr uint8_t FIXED_PITCH = 1;

struct LogFontW {
    int32_t height = 0; // negative: em height in logical units
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 400;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = DEFAULT_CHARSET;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    QString faceName; // at most 31 UTF-16 units are kept
};

// The total size an EMF header at data declares; 0 when the bytes are too
// short for a header, do not begin with one, or declare more than size.
uint32_t DeclaredSize(const char *data, qsizetype size);

} // namespace emf

class TEmfWriter {
public:
    // deviceSize: the drawing surface in logical units; frame: its size in
    // hundredths of a millimetre, from which the millimetre sizes follow.
    TEmfWriter(QSize deviceSize, QSize frame);

    // Returns the object index the font is known by (lowest free, from 1).
    uint32_t CreateFont(const emf::LogFontW &font);
    void SelectObject(uint32_t index);
    // Frees the index for reuse.
    void DeleteObject(uint32_t index);
    void SetTextColor(uint32_t colorRef);
    void SetTextAlign(uint32_t flags);
    void SetBkMode(uint32_t mode);
    // dx: one advance per UTF-16 unit (missing ones are written as 0).
    // bounds: the output's extent in logical units, for the header's bounds.
    void ExtTextOutW(QPoint reference, const QString &text, const std::vector<int32_t> &dx,
                     const QRect &bounds = QRect());

    // The complete metafile: the records so far, an EOF record, and a header
    // whose sizes, counts and bounds describe them. Recording may go on.
    QByteArray Bytes() const;

private:
    void append(uint32_t type, const QByteArray &body);

    QSize m_device;
    QSize m_frame;
    QByteArray m_records; // everything after the header
    uint32_t m_recordCount = 0;
    std::vector<bool> m_used; // object indexes in use; index 0 is reserved
    QRect m_bounds;           // union of the outputs' bounds
};
