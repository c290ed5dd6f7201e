// Shapes: fill and line brushes (colours, gradients, bitmaps) and the
// filling and stroking of prepared paths.
#include "engines/flashplayer/SwfRendererImpl.h"

#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QRadialGradient>

#include <cstring>

namespace swf {
// The gradient's colours in the player's 256 flat steps; a single stop when
// the gradient has one colour.
QGradientStops Renderer::Impl::gradientStops(const Gradient &g, const Cx &cx)
{
    // A record at or before the one it follows moves one step after it, so
    // that each gets a step of its own, as in the player; those pushed past
    // the end are never reached.
    struct Stop {
        int ratio;
        Color color;
    };
    std::vector<Stop> records;
    for (const GradientRecord &r : g.records) {
        const int ratio = records.empty() ? r.ratio : std::max(int(r.ratio), records.back().ratio + 1);
        if (ratio > 255)
            break;
        records.push_back({ratio, r.color});
    }
    if (records.size() == 1)
        return {{0.0, cx.apply(records.front().color)}};
    // The player looks colours up in a table of 256 steps rather than
    // blending continuously: each step is one flat colour.
    const bool linearRgb = g.interpolation == InterpolationMode::LinearRgb;
    const auto lin = [](int v) { return std::pow(v / 255.0, 2.2); };
    const auto srgb = [](double v) { return int(std::lround(std::pow(v, 1 / 2.2) * 255)); };
    const auto mix = [&](const QColor &a, const QColor &b, double t) {
        const auto along = [&](int x, int y) {
            return linearRgb ? srgb(lin(x) + (lin(y) - lin(x)) * t) : int(std::lround(x + (y - x) * t));
        };
        return QColor(along(a.red(), b.red()), along(a.green(), b.green()), along(a.blue(), b.blue()),
                      int(std::lround(a.alpha() + (b.alpha() - a.alpha()) * t)));
    };
    QGradientStops stops;
    stops.reserve(512);
    size_t k = 0;
    for (int i = 0; i < 256; ++i) {
        while (k + 1 < records.size() && records[k + 1].ratio <= i)
            ++k;
        QColor c = cx.apply(records[k].color);
        if (k + 1 < records.size() && i > records[k].ratio)
            c = mix(c, cx.apply(records[k + 1].color),
                    (i - records[k].ratio) / double(records[k + 1].ratio - records[k].ratio));
        stops.append({i / 256.0, c});
        stops.append({(i + 1) / 256.0 - 1e-7, c});
    }
    return stops;
}

QBrush Renderer::Impl::gradientBrush(const FillStyle &fill, const Cx &cx) const
{
    const Gradient &g = fill.gradient;
    if (g.records.empty())
        return Qt::NoBrush;
    if (g.records.size() == 1)
        return QBrush(cx.apply(g.records.front().color));
    QByteArray key;
    key.reserve(qsizetype(g.records.size() * 5 + 1 + sizeof(Cx)));
    for (const GradientRecord &r : g.records)
        key.append(char(r.ratio)).append(char(r.color.red)).append(char(r.color.green)).append(char(r.color.blue))
            .append(char(r.color.alpha));
    key.append(char(g.interpolation));
    key.append(reinterpret_cast<const char *>(&cx), sizeof(Cx));
    auto found = gradientSteps.find(key);
    if (found == gradientSteps.end()) {
        if (gradientSteps.size() >= kMaxGradientSteps)
            gradientSteps.clear();
        found = gradientSteps.emplace(key, gradientStops(g, cx)).first;
    }
    const QGradientStops &stops = found->second;
    if (stops.size() == 1)
        return QBrush(stops.front().second);
    const QTransform m = g.matrix.toTransform();
    if (!m.isInvertible() || !finite(m))
        return QBrush(stops.back().second);
    std::unique_ptr<QGradient> gradient;
    if (fill.type == FillStyleType::LinearGradient) {
        gradient = std::make_unique<QLinearGradient>(-16384, 0, 16384, 0);
    } else {
        const double focal =
            fill.type == FillStyleType::FocalRadialGradient ? std::clamp(g.focalPoint, -0.98, 0.98) : 0.0;
        gradient = std::make_unique<QRadialGradient>(QPointF(0, 0), 16384, QPointF(focal * 16384, 0));
    }
    gradient->setStops(stops);
    gradient->setSpread(g.spread == SpreadMode::Reflect  ? QGradient::ReflectSpread
                        : g.spread == SpreadMode::Repeat ? QGradient::RepeatSpread
                                                         : QGradient::PadSpread);
    QBrush brush(*gradient);
    brush.setTransform(m);
    return brush;
}

// Bitmap brushes come back with the opacity to paint them at.
QBrush Renderer::Impl::bitmapBrush(const FillStyle &fill, const Cx &cx, double &opacity)
{
    QTransform m = fill.bitmapMatrix.toTransform();
    if (!m.isInvertible() || !finite(m))
        return Qt::NoBrush;
    const bool alphaOnly = cx.alphaOnly();
    if (alphaOnly)
        opacity = cx.m[3];
    QImage image;
    if (fill.bitmapRepeats()) {
        image = alphaOnly ? bitmap(fill.bitmapId) : tintedBitmap(fill.bitmapId, cx);
    } else {
        // Texture brushes always tile, so smoothing would blend each edge
        // with the opposite one; a border repeating the edge pixels
        // gives the clamped edges of a bitmap that does not repeat.
        image = edgedBitmap(fill.bitmapId, alphaOnly ? Cx() : cx);
        m = QTransform::fromTranslate(-1, -1) * m;
    }
    if (image.isNull())
        return Qt::NoBrush;
    QBrush brush(image);
    brush.setTransform(m);
    return brush;
}

QBrush Renderer::Impl::fillBrush(const FillStyle &fill, const Cx &cx, double &opacity)
{
    if (fill.isGradient())
        return gradientBrush(fill, cx);
    if (fill.isBitmap())
        return bitmapBrush(fill, cx, opacity);
    return QBrush(cx.apply(fill.color));
}

QPen Renderer::Impl::penFor(const LineStyle &style, const QBrush &brush)
{
    QPen pen(brush, style.width);
    pen.setCapStyle(style.startCap == CapStyle::None     ? Qt::FlatCap
                    : style.startCap == CapStyle::Square ? Qt::SquareCap
                                                         : Qt::RoundCap);
    pen.setJoinStyle(style.join == JoinStyle::Bevel   ? Qt::BevelJoin
                     : style.join == JoinStyle::Miter ? Qt::MiterJoin
                                                      : Qt::RoundJoin);
    if (style.join == JoinStyle::Miter)
        pen.setMiterLimit(std::max(1.0, style.miterLimit));
    return pen;
}

const QPainterPath &Renderer::Impl::outlineOf(PreparedStroke &stroke, const QPen &pen)
{
    if (!stroke.outline) {
        QPainterPathStroker stroker(pen);
        stroker.setCurveThreshold(2); // a tenth of a stage pixel
        stroke.outline = stroker.createStroke(stroke.path);
        stroke.outline->setFillRule(Qt::WindingFill);
    }
    return *stroke.outline;
}

void Renderer::Impl::fillOne(QPainter &p, const PreparedFill &fill, const Cx &cx, bool mask)
{
    if (mask) {
        fillPath(p, fill.path, Qt::black);
        return;
    }
    double opacity = 1;
    const QBrush brush = fillBrush(*fill.style, cx, opacity);
    if (brush.style() == Qt::NoBrush)
        return;
    if (fill.style->isBitmap())
        p.setRenderHint(QPainter::SmoothPixmapTransform, smoothBitmaps(fill.style->bitmapSmoothed));
    if (opacity != 1)
        p.setOpacity(opacity);
    fillPath(p, fill.path, brush);
    if (opacity != 1)
        p.setOpacity(1);
}

// Fills of one shape that share edges, each drawn anti-aliased on its
// own, let the background show through along the shared edges. Added
// up in a scratch layer their coverages make a whole, as the player's
// own rasteriser gives them.
void Renderer::Impl::clearArea(QImage &image, const QRect &area)
{
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memset(image.scanLine(y) + size_t(r.left()) * 4, 0, size_t(r.width()) * 4);
}

bool Renderer::Impl::fillTogether(Surface &s, const PreparedShape &shape, size_t l, const QTransform &world,
                                  const Cx &cx)
{
    const QRect rect = deviceRect(world.mapRect(shape.fillBounds[l]), 1, s.clip);
    if (rect.isEmpty())
        return true;
    if (!scratchArea.contains(rect)) {
        scratchArea = stageClip;
        sum = QImage(scratchArea.size(), QImage::Format_ARGB32_Premultiplied);
        part = QImage(scratchArea.size(), QImage::Format_ARGB32_Premultiplied);
        if (sum.isNull() || part.isNull() || !scratchArea.contains(rect)) {
            scratchArea = QRect();
            sum = part = QImage();
            return false;
        }
    }
    const QTransform toScratch = QTransform::fromTranslate(-scratchArea.left(), -scratchArea.top());
    const QRect local = rect.translated(-scratchArea.topLeft());
    clearArea(sum, local);
    QPainter total(&sum);
    bool first = true;
    for (const PreparedFill &fill : shape.fills[l]) {
        // Each fill alone, then added: QPainter's Plus mode does not add
        // partial coverage, but adds whole images exactly.
        const QRect area = deviceRect(world.mapRect(fill.bounds), 1, rect);
        if (area.isEmpty())
            continue;
        const QRect areaLocal = area.translated(-scratchArea.topLeft());
        QPainter p;
        QPainter &painter = first ? total : p;
        if (!first) {
            clearArea(part, areaLocal);
            p.begin(&part);
        } else {
            total.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        setHints(painter);
        painter.setPen(Qt::NoPen);
        painter.setWorldTransform(world * toScratch);
        fillOne(painter, fill, cx, false);
        if (!first) {
            p.end();
            total.resetTransform();
            total.setCompositionMode(QPainter::CompositionMode_Plus);
            total.drawImage(areaLocal.topLeft(), part, areaLocal);
        }
        first = false;
    }
    total.end();
    QPainter &out = *s.painter;
    out.setWorldTransform(QTransform::fromTranslate(-s.origin.x(), -s.origin.y()));
    out.drawImage(rect.topLeft(), sum, local);
    return true;
}

void Renderer::Impl::drawShape(Surface &s, PreparedShape &shape, const QTransform &world, const Cx &cx, bool mask)
{
    if (farBeyond(world.mapRect(shape.bounds))) {
        drawFarShape(s, shape, world, cx, mask);
        return;
    }
    QPainter &p = *s.painter;
    const double deviceScale = scaleOf(world);
    for (size_t l = 0; l < shape.layers.size(); ++l) {
        const bool together =
            !mask && shape.fills[l].size() > 1 && shape.sharedEdges[l] && quality != StageQuality::Low;
        if (!together || !fillTogether(s, shape, l, world, cx)) {
            p.setWorldTransform(s.toSurface(world));
            for (const PreparedFill &fill : shape.fills[l])
                fillOne(p, fill, cx, mask);
        }
        p.setWorldTransform(s.toSurface(world));
        for (PreparedStroke &stroke : shape.strokes[l]) {
            const LineStyle &style = *stroke.style;
            double opacity = 1;
            QBrush brush = mask ? QBrush(Qt::black)
                         : style.fill ? fillBrush(*style.fill, cx, opacity)
                                      : QBrush(cx.apply(style.color));
            if (brush.style() == Qt::NoBrush)
                continue;
            QPen pen = penFor(style, brush);
            if (opacity != 1)
                p.setOpacity(opacity);
            if (style.pixelHinting) {
                drawHinted(p, stroke, pen, s.toSurface(world), lineWidthOnDevice(style, world, deviceScale));
                p.setWorldTransform(s.toSurface(world));
            } else if (style.noHScale || style.noVScale) {
                pen.setCosmetic(true);
                pen.setWidthF(std::max(1.0, lineWidthOnDevice(style, world, deviceScale)));
                p.strokePath(stroke.path, pen);
            } else if (style.width * deviceScale < 1) {
                // The player never draws a line thinner than a pixel.
                pen.setCosmetic(true);
                pen.setWidthF(1);
                p.strokePath(stroke.path, pen);
            } else {
                fillPath(p, outlineOf(stroke, pen), brush);
            }
            if (opacity != 1)
                p.setOpacity(1);
        }
    }
}

// Device pixels. Lines that do not scale keep their stage width whatever
// the object's scale; those that scale one way only take that way's.
double Renderer::Impl::lineWidthOnDevice(const LineStyle &style, const QTransform &world, double deviceScale) const
{
    if (style.noHScale && style.noVScale)
        return style.width / 20.0 * stageScale;
    if (style.noHScale)
        return style.width * std::hypot(world.m21(), world.m22());
    if (style.noVScale)
        return style.width * std::hypot(world.m11(), world.m12());
    return style.width * deviceScale;
}

// A line with pixel hinting: a whole number of pixels wide, its points
// on pixel centres (odd widths) or pixel corners (even), so that it
// stays crisp instead of smeared over two rows of pixels.
void Renderer::Impl::drawHinted(QPainter &p, const PreparedStroke &stroke, QPen pen, const QTransform &toSurface,
                                double width)
{
    const double pixels = std::max(1.0, std::round(width));
    const bool odd = std::fmod(pixels, 2) == 1;
    const auto snap = [odd](double v) { return odd ? std::floor(v) + 0.5 : std::round(v); };
    QPainterPath path = toSurface.map(stroke.path);
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        path.setElementPositionAt(i, snap(e.x), snap(e.y));
    }
    QBrush brush = pen.brush(); // gradients and bitmaps stay where they were
    brush.setTransform(brush.transform() * toSurface);
    pen.setBrush(brush);
    pen.setWidthF(pixels);
    pen.setCosmetic(false);
    p.setWorldTransform(QTransform());
    p.strokePath(path, pen);
}

// A shape magnified far past the device: its visible part alone, every
// line as an outline.
void Renderer::Impl::drawFarShape(Surface &s, PreparedShape &shape, const QTransform &world, const Cx &cx, bool mask)
{
    const Visible visible(world, s.clip);
    if (!visible.ok)
        return;
    QPainter &p = *s.painter;
    p.setWorldTransform(s.toSurface(world));
    for (size_t l = 0; l < shape.layers.size(); ++l) {
        for (const PreparedFill &fill : shape.fills[l]) {
            PreparedFill part = fill;
            part.path = visible.of(fill.path);
            if (!part.path.isEmpty())
                fillOne(p, part, cx, mask);
        }
        for (PreparedStroke &stroke : shape.strokes[l]) {
            const LineStyle &style = *stroke.style;
            double opacity = 1;
            const QBrush brush = mask ? QBrush(Qt::black)
                               : style.fill ? fillBrush(*style.fill, cx, opacity)
                                            : QBrush(cx.apply(style.color));
            if (brush.style() == Qt::NoBrush)
                continue;
            const QPainterPath outline = visible.of(outlineOf(stroke, penFor(style, brush)));
            if (opacity != 1)
                p.setOpacity(opacity);
            fillPath(p, outline, brush);
            if (opacity != 1)
                p.setOpacity(1);
        }
    }
}

} // namespace swf
