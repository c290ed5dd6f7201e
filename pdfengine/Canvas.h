#pragma once
// The drawing surface a page is drawn on: the PDF page's metafile, or the
// page picture of the preview. Coordinates are page points, origin top left.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include <cstdint>

#include "pdfengine/EmfWriter.h"

// Text alignment flags, as the metafile records carry them.
inline constexpr uint32_t TA_LEFT = 0;
inline constexpr uint32_t TA_RIGHT = 2;
inline constexpr uint32_t TA_CENTER = 6;
inline constexpr uint32_t TA_TOP = 0;
inline constexpr uint32_t TA_BOTTOM = 8;
inline constexpr uint32_t TA_BASELINE = 24;

class TCanvas {
public:
    virtual ~TCanvas() = default;
    // color is a COLORREF, 0x00BBGGRR. The font's point size is its em height
    // in page points.
    virtual void SetFont(const QFont &font, uint32_t color) = 0;
    virtual void SetTextAlign(uint32_t flags) = 0;
    // (x, y) is the reference point the alignment flags refer to.
    virtual void TextOut(int x, int y, const QString &text) = 0;
    virtual void DrawImageStretched(const QRect &rect, const QImage &image) = 0;
};

// Records the page as an enhanced metafile in page points (72 per inch).
class TMetafileCanvas : public TCanvas {
public:
    // pageSize in points; frame in hundredths of a millimetre.
    TMetafileCanvas(QSize pageSize, QSize frame);
    void SetFont(const QFont &font, uint32_t color) override;
    void SetTextAlign(uint32_t flags) override;
    void TextOut(int x, int y, const QString &text) override;
    // Pictures reach the PDF as their JPEG data (DrawJPEG); drawing one here
    // would lose it silently, so this throws std::logic_error.
    void DrawImageStretched(const QRect &rect, const QImage &image) override;

    int PixelsPerInch() const { return 72; }
    // The complete metafile so far.
    QByteArray Bytes() const { return m_emf.Bytes(); }

private:
    TEmfWriter m_emf;
    QFont m_font;
    uint32_t m_fontIndex = 0; // 0: none created yet
    uint32_t m_align = TA_LEFT | TA_TOP;
};

// Paints the preview's page picture, one pixel per point. Font sizes are
// taken at ScreenPixelsPerInch(), as a screen-compatible bitmap would; the
// preview scales label fonts by 72 / ScreenPixelsPerInch() to come back to
// one pixel per point.
class TImageCanvas : public TCanvas {
public:
    explicit TImageCanvas(QImage &image);
    void SetFont(const QFont &font, uint32_t color) override;
    void SetTextAlign(uint32_t flags) override;
    void TextOut(int x, int y, const QString &text) override;
    void DrawImageStretched(const QRect &rect, const QImage &image) override;

    // The primary screen's logical resolution, 96 without a screen.
    static double ScreenPixelsPerInch();

private:
    QPainter m_painter;
    uint32_t m_align = TA_LEFT | TA_TOP;
};
