// What the renderer keeps per character between frames: decoded and tinted
// bitmaps, prepared shapes and morph positions, glyph outlines, static text.
#include "engines/flashplayer/SwfRendererImpl.h"

#include "engines/flashplayer/SwfBitmaps.h"

#include <cstring>

namespace swf {
namespace {

QImage transformImage(const QImage &src, const Cx &cx)
{
    QImage out = src.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const Color c{uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p)), uint8_t(qAlpha(p))};
            line[x] = cx.apply(c).rgba();
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Per set of style arrays, whether an edge has different fills on its two
// sides: only then can anti-aliasing leave seams inside the shape.
std::vector<bool> sharedEdgesOf(const ShapeData &data)
{
    std::vector<bool> out;
    bool shared = false;
    uint32_t fill0 = 0;
    uint32_t fill1 = 0;
    bool drawn = false;
    for (const ShapeRecord &record : data.records) {
        if (const auto *change = std::get_if<StyleChangeRecord>(&record)) {
            if (change->newStyles) {
                if (drawn)
                    out.push_back(shared);
                shared = drawn = false;
                fill0 = fill1 = 0;
            }
            fill0 = change->fillStyle0.value_or(fill0);
            fill1 = change->fillStyle1.value_or(fill1);
        } else {
            drawn = true;
            shared = shared || (fill0 != 0 && fill1 != 0 && fill0 != fill1);
        }
    }
    out.push_back(shared);
    return out;
}

} // namespace

// Decoded once and kept; past the budget the least recently drawn
// bitmaps go (and are decoded again should they come back).
QImage Renderer::Impl::bitmap(uint16_t id)
{
    auto it = bitmaps.find(id);
    if (it == bitmaps.end()) {
        QImage image;
        if (const Bitmap *b = movie->character<Bitmap>(id))
            image = decodeBitmap(*b, movie->jpegTables);
        const qint64 bytes = image.sizeInBytes();
        while (bitmapBytes + bytes > kBitmapBudget && !bitmaps.empty()) {
            auto oldest = std::min_element(bitmaps.begin(), bitmaps.end(), [](const auto &a, const auto &b) {
                return a.second.lastUse < b.second.lastUse;
            });
            bitmapBytes -= oldest->second.image.sizeInBytes();
            bitmaps.erase(oldest);
        }
        bitmapBytes += bytes;
        it = bitmaps.emplace(id, CachedBitmap{std::move(image), 0}).first;
    }
    it->second.lastUse = ++useClock;
    return it->second.image;
}

QImage Renderer::Impl::tintedBitmap(uint16_t id, const Cx &cx)
{
    const auto key = std::make_pair(id, cx);
    auto it = tintedBitmaps.find(key);
    if (it != tintedBitmaps.end())
        return it->second;
    const QImage src = bitmap(id);
    if (src.isNull())
        return src;
    if (tintedBytes + src.sizeInBytes() > kTintedBudget) {
        tintedBitmaps.clear();
        edgedBitmaps.clear();
        tintedBytes = 0;
    }
    tintedBytes += src.sizeInBytes();
    return tintedBitmaps[key] = transformImage(src, cx);
}

QImage Renderer::Impl::edgedBitmap(uint16_t id, const Cx &cx)
{
    const auto key = std::make_pair(id, cx);
    auto it = edgedBitmaps.find(key);
    if (it != edgedBitmaps.end())
        return it->second;
    const QImage src = cx.isIdentity() ? bitmap(id) : tintedBitmap(id, cx);
    if (src.isNull())
        return src;
    QImage out(src.width() + 2, src.height() + 2, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    const QImage in = src.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(in.constScanLine(std::clamp(y - 1, 0, in.height() - 1)));
        auto *to = reinterpret_cast<QRgb *>(out.scanLine(y));
        to[0] = from[0];
        std::memcpy(to + 1, from, size_t(in.width()) * 4);
        to[out.width() - 1] = from[in.width() - 1];
    }
    if (tintedBytes + out.sizeInBytes() > kTintedBudget) {
        tintedBitmaps.clear();
        edgedBitmaps.clear();
        tintedBytes = 0;
    }
    tintedBytes += out.sizeInBytes();
    return edgedBitmaps[key] = out;
}

std::shared_ptr<PreparedShape> Renderer::Impl::prepare(const ShapeData &data, std::vector<ShapeLayer> layers)
{
    return prepare(sharedEdgesOf(data), std::move(layers));
}

std::shared_ptr<PreparedShape> Renderer::Impl::prepare(std::vector<bool> sharedEdges, std::vector<ShapeLayer> layers)
{
    auto out = std::make_shared<PreparedShape>();
    out->layers = std::move(layers);
    // Layers without edges are left out of the paths; then the counts
    // differ and every layer is treated as sharing edges.
    out->sharedEdges = std::move(sharedEdges);
    if (out->sharedEdges.size() != out->layers.size())
        out->sharedEdges.assign(out->layers.size(), true);
    QRectF bounds;
    for (const ShapeLayer &layer : out->layers) {
        auto &fills = out->fills.emplace_back();
        QRectF &layerFills = out->fillBounds.emplace_back();
        for (const FillPath &fill : layer.fills) {
            PreparedFill prepared{&fill.style, fill.path, fill.path.boundingRect()};
            if (fill.style.isBitmap() && !fill.style.bitmapRepeats()
                && fill.path.elementCount() < kMaxClipElements) {
                const QImage image = bitmap(fill.style.bitmapId);
                const QTransform m = fill.style.bitmapMatrix.toTransform();
                if (!image.isNull() && m.isInvertible() && finite(m)) {
                    QPainterPath area;
                    area.addPolygon(m.map(QPolygonF(QRectF(0, 0, image.width(), image.height()))));
                    area.closeSubpath();
                    prepared.path = fill.path.intersected(area);
                }
            }
            layerFills |= fill.path.boundingRect();
            bounds |= fill.path.boundingRect();
            fills.push_back(std::move(prepared));
        }
        auto &strokes = out->strokes.emplace_back();
        for (const StrokePath &stroke : layer.strokes) {
            const double half = std::max(stroke.style.width / 2.0, 20.0);
            bounds |= stroke.path.boundingRect().adjusted(-half, -half, half, half);
            strokes.push_back(PreparedStroke{&stroke.style, stroke.path, std::nullopt});
        }
    }
    out->bounds = bounds;
    return out;
}

qint64 Renderer::Impl::elementCount(const PreparedShape &shape)
{
    qint64 n = 0;
    for (const auto &fills : shape.fills)
        for (const PreparedFill &f : fills)
            n += f.path.elementCount();
    for (const auto &strokes : shape.strokes)
        for (const PreparedStroke &st : strokes)
            n += st.path.elementCount();
    return n;
}

std::shared_ptr<PreparedShape> Renderer::Impl::shape(const Shape &s)
{
    auto &slot = shapes[s.id];
    if (!slot)
        slot = prepare(s.data, buildShapePaths(s));
    return slot;
}

std::shared_ptr<PreparedShape> Renderer::Impl::morph(const MorphShape &m, uint16_t ratio)
{
    const auto key = std::make_pair(m.id, ratio);
    auto it = morphs.find(key);
    if (it != morphs.end())
        return it->second;
    const ShapeData data = morphShapeAt(m, morphPosition(ratio));
    auto prepared = prepare(data, buildShapePaths(data));
    const qint64 elements = elementCount(*prepared);
    if (morphs.size() >= 256 || morphElements + elements > kMorphElementBudget) {
        morphs.clear();
        morphElements = 0;
    }
    morphElements += elements;
    return morphs[key] = std::move(prepared);
}

const QPainterPath *Renderer::Impl::glyph(uint16_t fontId, uint32_t index)
{
    const Font *font = movie->character<Font>(fontId);
    if (!font || index >= font->glyphs.size())
        return nullptr;
    const auto key = std::make_pair(fontId, index);
    auto it = glyphs.find(key);
    if (it == glyphs.end()) {
        QPainterPath path = buildGlyphPath(font->glyphs[index].shape);
        path.setFillRule(Qt::WindingFill);
        it = glyphs.emplace(key, std::move(path)).first;
    }
    return &it->second;
}

std::shared_ptr<PreparedText> Renderer::Impl::text(const Text &t)
{
    auto &slot = texts[t.id];
    if (slot)
        return slot;
    slot = std::make_shared<PreparedText>();
    std::optional<uint16_t> fontId;
    double height = 0;
    Color color;
    double x = 0;
    double y = 0;
    qint64 elements = 0;
    QTransform matrix = t.matrix.toTransform();
    for (const TextRecord &record : t.records) {
        if (record.fontId)
            fontId = record.fontId;
        if (record.height)
            height = *record.height;
        if (record.color)
            color = *record.color;
        if (record.xOffset)
            x = *record.xOffset;
        if (record.yOffset)
            y = *record.yOffset;
        const Font *font = fontId ? movie->character<Font>(*fontId) : nullptr;
        const double em = font && font->emSquare > 0 ? font->emSquare : 1024;
        const double scale = height / em;
        QPainterPath run;
        run.setFillRule(Qt::WindingFill);
        for (const GlyphEntry &entry : record.glyphs) {
            const QPainterPath *g = fontId ? glyph(*fontId, entry.index) : nullptr;
            if (g && !g->isEmpty() && elements + g->elementCount() <= kMaxTextElements) {
                run.addPath(QTransform(scale, 0, 0, scale, x, y).map(*g));
                elements += g->elementCount();
            }
            x += entry.advance;
        }
        if (run.isEmpty())
            continue;
        run = matrix.map(run);
        if (!slot->runs.empty() && slot->runs.back().color == color)
            slot->runs.back().path.addPath(run);
        else
            slot->runs.push_back(TextRun{run, color});
        slot->bounds |= run.boundingRect();
    }
    return slot;
}

} // namespace swf
