// Offscreen layers: masks, filters and blend modes, and putting the finished
// layer onto what lies beneath.
#include "engines/flashplayer/SwfRendererImpl.h"

#include "engines/flashplayer/SwfFilters.h"

namespace swf {
bool Renderer::Impl::beginLayer(Layer &layer, const Surface &under, const QRect &rect, bool group)
{
    const qint64 pixels = qint64(rect.width()) * rect.height();
    if (pixels > layerPixelsLeft)
        return false; // a frame of thousands of layers: the rest go plain
    layerPixelsLeft -= pixels;
    layer.pixels = layerBuffers.take(size_t(pixels));
    if (!layer.pixels)
        return false;
    layer.image = QImage(reinterpret_cast<uchar *>(layer.pixels.data()), rect.width(), rect.height(),
                         qsizetype(rect.width()) * 4, QImage::Format_ARGB32_Premultiplied);
    layer.image.fill(Qt::transparent);
    layer.painter.begin(&layer.image);
    setHints(layer.painter);
    layer.painter.setPen(Qt::NoPen);
    layer.surface = Surface{&layer.painter, &layer.image, rect.topLeft(), rect, group, under.nesting + 1};
    return true;
}

void Renderer::Impl::drawMasked(Surface &s, const DisplayObject &maskObject, const std::vector<DisplayObject> &list,
                                size_t from, size_t to, const QTransform &parent, const Cx &cx)
{
    if (from == to)
        return;
    const QRect rect = deviceRect(deviceBounds(maskObject, parent, 0), 0, s.clip);
    if (rect.isEmpty())
        return;
    Layer content;
    Layer shape;
    if (s.nesting >= kMaxLayerNesting || !beginLayer(content, s, rect, s.group)
        || !beginLayer(shape, s, rect, false)) {
        s.painter->save();
        s.painter->setWorldTransform(QTransform::fromTranslate(-s.origin.x(), -s.origin.y()));
        s.painter->setClipRect(rect.translated(-s.origin), Qt::IntersectClip);
        drawRange(s, list, from, to, parent, cx, false);
        s.painter->restore();
        return;
    }
    drawRange(content.surface, list, from, to, parent, cx, false);
    drawObject(shape.surface, maskObject, parent, Cx(), true);
    shape.painter.end();
    content.painter.resetTransform();
    content.painter.setOpacity(1);
    content.painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    content.painter.drawImage(0, 0, shape.image);
    content.painter.end();
    composite(s, content.image, rect.topLeft(), BlendMode::Normal);
}

void Renderer::Impl::drawLayered(Surface &s, const DisplayObject &o, const QTransform &parent, const QTransform &world,
                                 const Cx &cx)
{
    int margin = 0;
    if (o.filters) {
        for (size_t i = 0; i < std::min(kMaxFilters, o.filters->size()); ++i)
            margin += filterMargin((*o.filters)[i], stageScale);
    }
    const QRectF bounds = deviceBounds(o, parent, 0);
    if (bounds.isEmpty())
        return;
    const QRect rect = deviceRect(bounds, margin, s.clip);
    if (rect.isEmpty())
        return;
    if ((o.blendMode == BlendMode::Alpha || o.blendMode == BlendMode::Erase) && !s.group)
        return; // no layer beneath to take the alpha from
    Layer layer;
    if (!beginLayer(layer, s, rect, true)) {
        if (o.blendMode != BlendMode::Alpha && o.blendMode != BlendMode::Erase)
            drawContent(s, o, world, cx, false);
        return;
    }
    // The colour transform acts on the finished layer, as on one
    // picture: overlapping children do not show through each other.
    if (o.opaqueBackground)
        drawOpaqueBackground(layer.surface, o, world, Cx());
    drawContent(layer.surface, o, world, Cx(), false);
    layer.painter.end();
    if (o.filters) {
        const qint64 area = qint64(layer.image.width()) * layer.image.height();
        for (size_t i = 0; i < std::min(kMaxFilters, o.filters->size()); ++i) {
            const qint64 cost = area * filterCost((*o.filters)[i]);
            if (cost > filterWorkLeft)
                break; // a frame of hundreds of blurs: the rest go without
            filterWorkLeft -= cost;
            applyFilter(layer.image, (*o.filters)[i], stageScale);
        }
    }
    double opacity = 1;
    if (cx.alphaOnly())
        opacity = cx.m[3];
    else
        transformPixels(layer.image, cx);
    composite(s, layer.image, rect.topLeft(), o.blendMode, opacity);
}

// Covered pixels only: the layer's transparent margin is not part of
// the object.
void Renderer::Impl::transformPixels(QImage &image, const Cx &cx)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            const QRgb p = qUnpremultiply(line[x]);
            const Color c{uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p)), uint8_t(qAlpha(p))};
            line[x] = qPremultiply(cx.apply(c).rgba());
        }
    }
}

void Renderer::Impl::composite(Surface &s, const QImage &image, const QPoint &at, BlendMode mode, double opacity)
{
    QPainter &p = *s.painter;
    p.save();
    p.setWorldTransform(QTransform::fromTranslate(-s.origin.x(), -s.origin.y()));
    p.setOpacity(opacity);
    const QImage *source = &image;
    QImage white;
    QPainter::CompositionMode op = QPainter::CompositionMode_SourceOver;
    switch (mode) {
    case BlendMode::Multiply: op = QPainter::CompositionMode_Multiply; break;
    case BlendMode::Screen: op = QPainter::CompositionMode_Screen; break;
    case BlendMode::Lighten: op = QPainter::CompositionMode_Lighten; break;
    case BlendMode::Darken: op = QPainter::CompositionMode_Darken; break;
    case BlendMode::Difference: op = QPainter::CompositionMode_Difference; break;
    case BlendMode::Add: op = QPainter::CompositionMode_Plus; break;
    case BlendMode::Overlay: op = QPainter::CompositionMode_Overlay; break;
    case BlendMode::HardLight: op = QPainter::CompositionMode_HardLight; break;
    case BlendMode::Alpha: op = QPainter::CompositionMode_DestinationIn; break;
    case BlendMode::Erase: op = QPainter::CompositionMode_DestinationOut; break;
    case BlendMode::Invert: {
        // The difference with white where the object is turns what is
        // beneath into its inverse, by the object's coverage.
        white = QImage(image.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < image.height(); ++y) {
            const auto *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            auto *out = reinterpret_cast<QRgb *>(white.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int a = qAlpha(in[x]);
                out[x] = qRgba(a, a, a, a);
            }
        }
        source = &white;
        op = QPainter::CompositionMode_Difference;
        break;
    }
    case BlendMode::Subtract:
        if (s.image) {
            p.restore();
            subtract(*s.image, image, at - s.origin, opacity);
            return;
        }
        op = QPainter::CompositionMode_Difference; // the nearest a foreign device offers
        break;
    default: break;
    }
    p.setCompositionMode(op);
    p.drawImage(at, *source);
    p.restore();
}

void Renderer::Impl::subtract(QImage &dst, const QImage &src, const QPoint &at, double opacity)
{
    const int k = int(std::lround(std::clamp(opacity, 0.0, 1.0) * 256));
    const QRect area = QRect(at, src.size()) & dst.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *d = reinterpret_cast<QRgb *>(dst.scanLine(y));
        const auto *sl = reinterpret_cast<const QRgb *>(src.constScanLine(y - at.y()));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb a = d[x];
            const QRgb b = sl[x - at.x()];
            if (qAlpha(b) == 0)
                continue;
            d[x] = qRgba(std::max(0, qRed(a) - (qRed(b) * k >> 8)), std::max(0, qGreen(a) - (qGreen(b) * k >> 8)),
                         std::max(0, qBlue(a) - (qBlue(b) * k >> 8)), qAlpha(a));
        }
    }
}

} // namespace swf
