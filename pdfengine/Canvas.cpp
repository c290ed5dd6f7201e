#include "pdfengine/Canvas.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <stdexcept>

namespace {

QColor fromColorRef(uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Em height in whole points; fonts given in pixels are taken as points, as
// one pixel is one point on both canvases.
int emHeight(const QFont &font)
{
    if (font.pointSizeF() > 0)
        return std::max(1, int(std::lround(font.pointSizeF())));
    return std::max(1, font.pixelSize());
}

// Left and top of a text's box from its reference point and the alignment.
QPointF alignedTopLeft(QPointF ref, uint32_t align, double width, double ascent, double descent)
{
    double x = ref.x();
    switch (align & TA_CENTER) {
    case TA_CENTER: x -= width / 2; break;
    case TA_RIGHT: x -= width; break;
    default: break;
    }
    double y = ref.y();
    switch (align & TA_BASELINE) {
    case TA_BASELINE: y -= ascent; break;
    case TA_BOTTOM: y -= ascent + descent; break;
    default: break;
    }
    return {x, y};
}

} // namespace

TMetafileCanvas::TMetafileCanvas(QSize pageSize, QSize frame) : m_emf(pageSize, frame)
{
    // The canvas's brush is clear: text leaves the page behind it visible.
    m_emf.SetBkMode(emf::TRANSPARENT);
}

void TMetafileCanvas::SetFont(const QFont &font, uint32_t color)
{
    emf::LogFontW lf;
    lf.height = -emHeight(font);
    lf.weight = std::clamp(int(font.weight()), 1, 1000);
    lf.italic = font.italic() ? 1 : 0;
    lf.underline = font.underline() ? 1 : 0;
    lf.strikeOut = font.strikeOut() ? 1 : 0;
    lf.pitchAndFamily = font.fixedPitch() ? emf::FIXED_PITCH : 0;
    lf.faceName = font.family();
    // A device context deletes the font it replaces only once the new one is in.
    const uint32_t previous = m_fontIndex;
    m_fontIndex = m_emf.CreateFont(lf);
    m_emf.SelectObject(m_fontIndex);
    if (previous)
        m_emf.DeleteObject(previous);
    m_emf.SetTextColor(color);
    m_font = font;
    m_font.setPixelSize(-lf.height);
}

void TMetafileCanvas::SetTextAlign(uint32_t flags)
{
    m_align = flags;
    m_emf.SetTextAlign(flags);
}

void TMetafileCanvas::TextOut(int x, int y, const QString &text)
{
    std::vector<int32_t> dx(size_t(text.size()), 0);
    const double em = m_font.pixelSize() > 0 ? m_font.pixelSize() : 12;
    double width = 0, ascent = em * 0.8, descent = em * 0.2;
    // Font metrics need the application's font database; a process without a
    // GUI application still gets a valid record, with zero spacing.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) && m_fontIndex) {
        QFontMetricsF fm(m_font);
        ascent = fm.ascent();
        descent = fm.descent();
        // Advances of growing prefixes keep kerning, so the spacing adds up
        // to the width of the whole text; long texts go character by character.
        const bool byPrefix = text.size() <= 256;
        long placed = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            const qsizetype end = i + (pair ? 2 : 1);
            if (byPrefix)
                width = fm.horizontalAdvance(text.left(end));
            else
                width += fm.horizontalAdvance(text.mid(i, end - i));
            const long edge = std::lround(width);
            dx[size_t(i)] = int32_t(edge - placed); // a low surrogate keeps 0
            placed = edge;
            i = end - 1;
        }
    } else {
        width = em * 0.5 * double(text.size());
    }
    const QPointF topLeft = alignedTopLeft(QPointF(x, y), m_align, width, ascent, descent);
    const QRect bounds = QRectF(topLeft, QSizeF(width, ascent + descent)).toAlignedRect();
    m_emf.ExtTextOutW(QPoint(x, y), text, dx, bounds);
}

void TMetafileCanvas::DrawImageStretched(const QRect &, const QImage &)
{
    throw std::logic_error("Pictures are placed on a PDF page with DrawJPEG, not drawn on its canvas.");
}

TImageCanvas::TImageCanvas(QImage &image) : m_painter(&image)
{
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.setBackgroundMode(Qt::TransparentMode);
}

double TImageCanvas::ScreenPixelsPerInch()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchY();
    return 96;
}

void TImageCanvas::SetFont(const QFont &font, uint32_t color)
{
    QFont f = font;
    f.setPixelSize(std::max(1, int(std::lround(emHeight(font) * ScreenPixelsPerInch() / 72.0))));
    m_painter.setFont(f);
    m_painter.setPen(fromColorRef(color));
}

void TImageCanvas::SetTextAlign(uint32_t flags) { m_align = flags; }

void TImageCanvas::TextOut(int x, int y, const QString &text)
{
    QFontMetricsF fm(m_painter.font(), m_painter.device());
    const QPointF topLeft = alignedTopLeft(QPointF(x, y), m_align, fm.horizontalAdvance(text), fm.ascent(),
                                           fm.descent());
    m_painter.drawText(QPointF(topLeft.x(), topLeft.y() + fm.ascent()), text);
}

void TImageCanvas::DrawImageStretched(const QRect &rect, const QImage &image)
{
    m_painter.drawImage(QRectF(rect), image);
}
