#include "engines/flashplayer/SwfRenderer.h"

#include "engines/flashplayer/SwfBitmaps.h"
#include "engines/flashplayer/SwfFilters.h"
#include "engines/flashplayer/SwfHtmlText.h"
#include "engines/flashplayer/SwfShapes.h"
#include "engines/flashplayer/SwfVideo.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>

namespace swf {
namespace {

// ---- colour transforms ----

// Multiply and add per channel (red, green, blue, alpha); adds in 0..255.
struct Cx {
    float m[4] = {1, 1, 1, 1};
    float a[4] = {0, 0, 0, 0};

    static Cx from(const ColorTransform &t)
    {
        Cx c;
        c.m[0] = t.redMultiplier / 256.0f;
        c.m[1] = t.greenMultiplier / 256.0f;
        c.m[2] = t.blueMultiplier / 256.0f;
        c.m[3] = t.alphaMultiplier / 256.0f;
        c.a[0] = t.redAdd;
        c.a[1] = t.greenAdd;
        c.a[2] = t.blueAdd;
        c.a[3] = t.alphaAdd;
        return c;
    }
    // This transform first, then outer.
    Cx then(const Cx &outer) const
    {
        Cx c;
        // Kept finite: deep nesting could multiply past float's range.
        const auto bound = [](float v, float limit) { return v > -limit ? (v < limit ? v : limit) : -limit; };
        for (int i = 0; i < 4; ++i) {
            c.m[i] = bound(m[i] * outer.m[i], 1e6f);
            c.a[i] = bound(a[i] * outer.m[i] + outer.a[i], 1e9f);
        }
        return c;
    }
    bool isIdentity() const { return alphaOnly() && m[3] == 1; }
    // Nothing but an alpha multiplier in [0, 1]: a painter opacity.
    bool alphaOnly() const
    {
        return m[0] == 1 && m[1] == 1 && m[2] == 1 && a[0] == 0 && a[1] == 0 && a[2] == 0 && a[3] == 0
            && m[3] >= 0 && m[3] <= 1;
    }
    static int channel(float v) { return v > 0 ? (v < 255 ? int(std::lround(v)) : 255) : 0; }
    QColor apply(const Color &c) const
    {
        return QColor(channel(c.red * m[0] + a[0]), channel(c.green * m[1] + a[1]), channel(c.blue * m[2] + a[2]),
                      channel(c.alpha * m[3] + a[3]));
    }
    bool operator<(const Cx &o) const
    {
        if (!std::equal(std::begin(m), std::end(m), std::begin(o.m)))
            return std::lexicographical_compare(std::begin(m), std::end(m), std::begin(o.m), std::end(o.m));
        return std::lexicographical_compare(std::begin(a), std::end(a), std::begin(o.a), std::end(o.a));
    }
};

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

bool finite(const QTransform &t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22())
        && std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23())
        && std::isfinite(t.m33());
}

// Whole device pixels covering r grown by margin, within clip; worked out
// in floating point, as bounds far off the device exceed int.
QRect deviceRect(const QRectF &r, double margin, const QRect &clip)
{
    const QRectF grown = r.adjusted(-margin, -margin, margin, margin) & QRectF(clip);
    return grown.isEmpty() ? QRect() : grown.toAlignedRect() & clip;
}

// Paths magnified far past the device make QPainter work in proportion to
// their size there; beyond this many pixels out only what lies over the
// device is drawn.
constexpr double kMaxDeviceCoordinate = 1 << 22;
constexpr int kMaxClippedElements = 20000;

bool farBeyond(const QRectF &device)
{
    return !(std::abs(device.left()) < kMaxDeviceCoordinate && std::abs(device.right()) < kMaxDeviceCoordinate
             && std::abs(device.top()) < kMaxDeviceCoordinate && std::abs(device.bottom()) < kMaxDeviceCoordinate);
}

// What of a path (in the units world maps from) lies over clip, with a
// margin; empty when that cannot be worked out cheaply.
struct Visible {
    QPainterPath area;
    bool ok = false;

    Visible(const QTransform &world, const QRect &clip)
    {
        bool invertible = false;
        const QTransform back = world.inverted(&invertible);
        if (!invertible)
            return;
        const QRectF local = back.mapRect(QRectF(clip).adjusted(-4, -4, 4, 4));
        if (!std::isfinite(local.left()) || !std::isfinite(local.right()) || !std::isfinite(local.top())
            || !std::isfinite(local.bottom()))
            return;
        area.addRect(local);
        ok = true;
    }
    QPainterPath of(const QPainterPath &path) const
    {
        if (!ok || path.elementCount() > kMaxClippedElements)
            return {};
        return path.intersected(area);
    }
};

// Device pixels per unit along the transform, on average.
double scaleOf(const QTransform &t)
{
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

// ---- prepared characters ----

struct PreparedFill {
    const FillStyle *style = nullptr;
    QPainterPath path;
    QRectF bounds;
};

struct PreparedStroke {
    const LineStyle *style = nullptr;
    QPainterPath path;
    // The line's outline in shape space, made on first use: filling it is
    // much cheaper than stroking the path again for every frame.
    std::optional<QPainterPath> outline;
};

struct PreparedShape {
    std::vector<ShapeLayer> layers; // owns the styles the entries point into
    std::vector<std::vector<PreparedFill>> fills;
    std::vector<std::vector<PreparedStroke>> strokes;
    std::vector<QRectF> fillBounds; // per layer
    std::vector<bool> sharedEdges;  // per layer: two fills meet along an edge
    QRectF bounds;
};

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

struct TextRun {
    QPainterPath path;
    Color color;
};

struct PreparedText {
    std::vector<TextRun> runs;
    QRectF bounds;
    // Edit fields with a border: a white box with a black frame.
    std::optional<QRectF> box;
    // Text fields show nothing beyond their edges.
    std::optional<QRectF> clip;
};

// Bitmap fills that do not repeat paint only over the bitmap itself; the
// intersection is worked out for outlines up to this size.
constexpr int kMaxClipElements = 4000;
// Text beyond this many outline elements is left out: a million glyphs of
// a detailed font would take gigabytes.
constexpr qint64 kMaxTextElements = 4'000'000;
// Filters on one object beyond these are skipped.
constexpr size_t kMaxFilters = 16;

// Where drawing goes: the caller's device, or an offscreen layer.
struct Surface {
    QPainter *painter = nullptr;
    QImage *image = nullptr; // our own layer; null for the caller's device
    QPoint origin;           // device position of the layer's top left
    QRect clip;              // device area worth drawing
    bool group = false;      // a Layer group: Alpha and Erase blends apply
    int nesting = 0;         // layers below this one

    QTransform toSurface(const QTransform &world) const
    {
        return origin.isNull() ? world : world * QTransform::fromTranslate(-origin.x(), -origin.y());
    }
};

// The mapping of a sprite with a scaling grid: in the sprite's own space,
// each axis is cut at the grid's edges; the outer parts are shrunk by the
// sprite's scale, so that they keep their size once scaled, and the middle
// takes up what is left.
struct NineSlice {
    struct Axis {
        double low, high;         // the content's extent
        double gridLow, gridHigh; // the grid's edges
        double scale;
        double map(double v) const
        {
            if (v <= gridLow)
                return low + (v - low) / scale;
            if (v >= gridHigh)
                return high - (high - v) / scale;
            const double from = low + (gridLow - low) / scale;
            const double to = high - (high - gridHigh) / scale;
            return from + (v - gridLow) * (to - from) / (gridHigh - gridLow);
        }
        // The outer parts fit in the scaled extent.
        bool fits() const
        {
            return gridLow > low && gridHigh < high && gridHigh > gridLow
                && (gridLow - low) / scale + (high - gridHigh) / scale <= high - low;
        }
    };
    Axis x, y;
    QTransform spriteWorld;

    static std::optional<NineSlice> make(const QRectF &content, const QRectF &grid, double sx, double sy,
                                         const QTransform &world)
    {
        if (content.isEmpty() || grid.isEmpty())
            return std::nullopt;
        NineSlice n{{content.left(), content.right(), grid.left(), grid.right(), sx},
                    {content.top(), content.bottom(), grid.top(), grid.bottom(), sy},
                    world};
        if (!n.x.fits() || !n.y.fits())
            return std::nullopt;
        return n;
    }

    QPainterPath map(const QPainterPath &path, const QTransform &toSprite) const
    {
        QPainterPath out = toSprite.map(path);
        for (int i = 0; i < out.elementCount(); ++i) {
            const QPainterPath::Element e = out.elementAt(i);
            out.setElementPositionAt(i, x.map(e.x), y.map(e.y));
        }
        return out;
    }

    // The layers of a shape placed in the sprite by `toSprite`, moved into
    // the sprite's space; gradients and bitmaps go along undistorted.
    std::vector<ShapeLayer> apply(std::vector<ShapeLayer> layers, const QTransform &toSprite) const
    {
        const auto follow = [&](Matrix &m) {
            const QTransform t = m.toTransform() * toSprite;
            m = Matrix{t.m11(), t.m12(), t.m21(), t.m22(), int32_t(std::lround(std::clamp(t.dx(), -2e9, 2e9))),
                       int32_t(std::lround(std::clamp(t.dy(), -2e9, 2e9)))};
        };
        const auto moveStyle = [&](FillStyle &style) {
            follow(style.gradient.matrix);
            follow(style.bitmapMatrix);
        };
        for (ShapeLayer &layer : layers) {
            for (FillPath &fill : layer.fills) {
                fill.path = map(fill.path, toSprite);
                moveStyle(fill.style);
            }
            for (StrokePath &stroke : layer.strokes) {
                stroke.path = map(stroke.path, toSprite);
                if (stroke.style.fill)
                    moveStyle(*stroke.style.fill);
            }
        }
        return layers;
    }
};

// Pixels for offscreen layers, kept from frame to frame: a fresh image per
// layer meant megabytes of newly mapped pages a frame, and the page faults
// cost more than the drawing.
class LayerBuffers {
public:
    class Lease {
    public:
        Lease() = default;
        Lease(LayerBuffers *owner, std::unique_ptr<uint32_t[]> data, size_t size)
            : m_owner(owner), m_data(std::move(data)), m_size(size)
        {
        }
        Lease(Lease &&other) noexcept = default;
        Lease &operator=(Lease &&other) noexcept
        {
            giveBack();
            m_owner = other.m_owner;
            m_data = std::move(other.m_data);
            m_size = other.m_size;
            return *this;
        }
        ~Lease() { giveBack(); }
        explicit operator bool() const { return bool(m_data); }
        uint32_t *data() const { return m_data.get(); }

    private:
        void giveBack()
        {
            if (m_owner && m_data)
                m_owner->keep(std::move(m_data), m_size);
        }
        LayerBuffers *m_owner = nullptr;
        std::unique_ptr<uint32_t[]> m_data;
        size_t m_size = 0;
    };

    // The smallest kept buffer of at least `pixels`, or a new one; empty
    // when memory runs out.
    Lease take(size_t pixels)
    {
        auto best = m_free.end();
        for (auto it = m_free.begin(); it != m_free.end(); ++it) {
            if (it->size >= pixels && (best == m_free.end() || it->size < best->size))
                best = it;
        }
        if (best != m_free.end()) {
            Lease lease(this, std::move(best->data), best->size);
            m_keptPixels -= best->size;
            m_free.erase(best);
            return lease;
        }
        std::unique_ptr<uint32_t[]> data(new (std::nothrow) uint32_t[std::max<size_t>(pixels, 1)]);
        if (!data)
            return {};
        return Lease(this, std::move(data), pixels);
    }

    // At most this many pixels stay kept; the largest buffers go first.
    void setLimit(size_t pixels)
    {
        m_limit = pixels;
        trim();
    }

private:
    struct Buffer {
        std::unique_ptr<uint32_t[]> data;
        size_t size;
    };
    void keep(std::unique_ptr<uint32_t[]> data, size_t size)
    {
        m_free.push_back(Buffer{std::move(data), size});
        m_keptPixels += size;
        trim();
    }
    void trim()
    {
        while (m_keptPixels > m_limit && !m_free.empty()) {
            auto largest = std::max_element(m_free.begin(), m_free.end(),
                                            [](const Buffer &a, const Buffer &b) { return a.size < b.size; });
            m_keptPixels -= largest->size;
            m_free.erase(largest);
        }
    }
    std::vector<Buffer> m_free;
    size_t m_keptPixels = 0;
    size_t m_limit = 0;
};

} // namespace

struct Renderer::Impl {
    std::shared_ptr<const Movie> movie;
    StageQuality quality = StageQuality::High;
    double stageScale = 1; // device pixels per stage pixel
    QTransform stageToDevice; // twips to device pixels, the stage alone

    struct CachedBitmap {
        QImage image;
        uint64_t lastUse = 0;
    };
    static constexpr qint64 kBitmapBudget = qint64(1) << 30;
    static constexpr qint64 kTintedBudget = qint64(128) << 20;
    // Path elements of kept morph positions; their line outlines, made when
    // drawn, take several times more.
    static constexpr qint64 kMorphElementBudget = 1'000'000;
    std::map<uint16_t, CachedBitmap> bitmaps;
    qint64 bitmapBytes = 0;
    uint64_t useClock = 0;
    std::map<std::pair<uint16_t, Cx>, QImage> tintedBitmaps;
    std::map<std::pair<uint16_t, Cx>, QImage> edgedBitmaps; // bordered for clamped fills
    qint64 tintedBytes = 0; // both of the above
    qint64 morphElements = 0;
    std::map<uint16_t, std::shared_ptr<PreparedShape>> shapes;
    std::map<std::pair<uint16_t, uint16_t>, std::shared_ptr<PreparedShape>> morphs;
    std::map<std::pair<uint16_t, uint32_t>, QPainterPath> glyphs;
    std::map<uint16_t, std::shared_ptr<PreparedText>> texts;
    // Decoders hold a few pictures each; a movie of many streams keeps the
    // most recently drawn.
    struct KeptDecoder {
        std::unique_ptr<VideoDecoder> decoder;
        uint64_t lastUse = 0;
    };
    static constexpr size_t kMaxVideoDecoders = 16;
    std::map<uint16_t, KeptDecoder> videos;
    // Device area of the current drawing, and the scratch layer over it.
    QRect stageClip;
    // Offscreen layer pixels one frame may still use.
    qint64 layerPixelsLeft = 0;
    qint64 filterWorkLeft = 0;
    QImage sum;
    QImage part;
    QRect scratchArea;
    LayerBuffers layerBuffers;
    // The scaling grid of the sprite whose shapes are being drawn.
    std::optional<NineSlice> nineSlice;

    explicit Impl(std::shared_ptr<const Movie> m) : movie(std::move(m)) {}

    // ---- caches ----

    // Decoded once and kept; past the budget the least recently drawn
    // bitmaps go (and are decoded again should they come back).
    QImage bitmap(uint16_t id)
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

    QImage tintedBitmap(uint16_t id, const Cx &cx)
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

    std::shared_ptr<PreparedShape> prepare(const ShapeData &data, std::vector<ShapeLayer> layers)
    {
        return prepare(sharedEdgesOf(data), std::move(layers));
    }

    std::shared_ptr<PreparedShape> prepare(std::vector<bool> sharedEdges, std::vector<ShapeLayer> layers)
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

    static qint64 elementCount(const PreparedShape &shape)
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

    std::shared_ptr<PreparedShape> shape(const Shape &s)
    {
        auto &slot = shapes[s.id];
        if (!slot)
            slot = prepare(s.data, buildShapePaths(s));
        return slot;
    }

    std::shared_ptr<PreparedShape> morph(const MorphShape &m, uint16_t ratio)
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

    const QPainterPath *glyph(uint16_t fontId, uint32_t index)
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

    std::shared_ptr<PreparedText> text(const Text &t)
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

    // How text of one format is measured and outlined, in twips.
    struct TextFace {
        std::function<double(const QString &)> measure;
        std::function<void(QPainterPath &, const QString &, double, double)> outline;
        double ascent = 0;
        double descent = 0;
    };

    // An embedded font by name, the one of the asked style first.
    const Font *embeddedFont(const QString &face, bool bold, bool italic) const
    {
        const Font *any = nullptr;
        for (const auto &[id, character] : movie->characters) {
            const Font *font = std::get_if<Font>(&character);
            if (!font || font->glyphs.empty() || font->name.compare(face, Qt::CaseInsensitive) != 0)
                continue;
            if (font->bold == bold && font->italic == italic)
                return font;
            if (!any)
                any = font;
        }
        return any;
    }

    // Nothing when the text cannot be drawn (a system font without the
    // application's font database).
    std::optional<TextFace> textFace(const EditText &e, const TextFormat &format)
    {
        const Font *fieldFont = e.fontId ? movie->character<Font>(*e.fontId) : nullptr;
        const double height = format.height;
        TextFace face;
        const Font *font = fieldFont;
        if (!format.face.isEmpty() && fieldFont && !fieldFont->glyphs.empty())
            font = embeddedFont(format.face, format.bold, format.italic);
        if (font && !font->glyphs.empty()) {
            const double em = font->emSquare > 0 ? font->emSquare : 1024;
            const double scale = height / em;
            face.ascent = height * 0.8;
            face.descent = height * 0.2;
            if (font->hasLayout && font->ascent + font->descent > 0) {
                face.ascent = font->ascent * scale;
                face.descent = font->descent * scale;
            }
            auto byCode = std::make_shared<std::unordered_map<uint32_t, uint32_t>>();
            for (uint32_t i = 0; i < font->glyphs.size(); ++i)
                byCode->emplace(font->glyphs[i].code, i);
            const uint16_t fid = font->id;
            auto advanceOf = [this, font, fid, scale](uint32_t index) {
                const Glyph &g = font->glyphs[index];
                if (g.advance)
                    return *g.advance * scale;
                const QPainterPath *p = glyph(fid, index);
                return p ? (p->boundingRect().right() + 64) * scale : 512 * scale;
            };
            face.measure = [byCode, advanceOf, height](const QString &text) {
                double w = 0;
                for (const QChar ch : text) {
                    const auto found = byCode->find(ch.unicode());
                    w += found != byCode->end() ? advanceOf(found->second) : height / 2;
                }
                return w;
            };
            face.outline = [this, byCode, advanceOf, height, scale, fid](QPainterPath &path, const QString &text,
                                                                          double x, double baseline) {
                for (const QChar ch : text) {
                    const auto found = byCode->find(ch.unicode());
                    if (found == byCode->end()) {
                        x += height / 2;
                        continue;
                    }
                    if (const QPainterPath *g = glyph(fid, found->second))
                        path.addPath(QTransform(scale, 0, 0, scale, x, baseline).map(*g));
                    x += advanceOf(found->second);
                }
            };
            return face;
        }
        // A device font; fonts need the application's font database.
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            return std::nullopt;
        QString family = !format.face.isEmpty() ? format.face : fieldFont ? fieldFont->name : QString();
        // The player's generic device font names.
        if (family.isEmpty() || family == QLatin1String("_sans"))
            family = QStringLiteral("Sans Serif");
        else if (family == QLatin1String("_serif"))
            family = QStringLiteral("Serif");
        else if (family == QLatin1String("_typewriter"))
            family = QStringLiteral("Monospace");
        QFont qfont(family);
        qfont.setPixelSize(std::max(1, int(std::lround(height))));
        qfont.setBold(format.bold || (fieldFont && fieldFont->bold));
        qfont.setItalic(format.italic || (fieldFont && fieldFont->italic));
        const QFontMetricsF metrics(qfont);
        face.ascent = metrics.ascent();
        face.descent = metrics.descent();
        face.measure = [metrics](const QString &text) { return metrics.horizontalAdvance(text); };
        face.outline = [qfont](QPainterPath &path, const QString &text, double x, double baseline) {
            path.addText(x, baseline, qfont, text);
        };
        return face;
    }

    std::shared_ptr<PreparedText> editText(const EditText &e)
    {
        auto &slot = texts[e.id];
        if (slot)
            return slot;
        slot = std::make_shared<PreparedText>();
        QRectF box = e.bounds.toRectF();
        slot->bounds = box;

        const EditTextLayout layout = e.layout.value_or(EditTextLayout{});
        TextFormat base;
        base.height = e.fontHeight.value_or(240);
        base.color = e.textColor.value_or(Color{0, 0, 0, 255});
        const QString content = e.initialText.value_or(QString());
        std::vector<TextParagraph> paragraphs =
            e.html ? htmlParagraphs(content, base, layout.align) : plainParagraphs(content, base, layout.align);
        if (!e.multiline) { // one line: the breaks are spaces
            for (size_t i = 1; i < paragraphs.size(); ++i) {
                paragraphs[0].spans.push_back(TextSpan{QStringLiteral(" "), base});
                for (TextSpan &span : paragraphs[i].spans)
                    paragraphs[0].spans.push_back(std::move(span));
            }
            paragraphs.resize(1);
        }
        qsizetype characters = 0;
        for (TextParagraph &paragraph : paragraphs) {
            for (TextSpan &span : paragraph.spans) {
                if (e.password)
                    span.text.fill(QLatin1Char('*'));
                span.text.truncate(std::max<qsizetype>(0, 20000 - characters));
                characters += span.text.size();
            }
        }

        // One face per format in use; pieces point at them as more are added.
        std::deque<std::pair<TextFormat, std::optional<TextFace>>> faces;
        const auto faceOf = [&](const TextFormat &format) -> const TextFace * {
            for (const auto &[f, face] : faces)
                if (f == format)
                    return face ? &*face : nullptr;
            faces.emplace_back(format, textFace(e, format));
            return faces.back().second ? &*faces.back().second : nullptr;
        };
        const TextFace *baseFace = faceOf(base);
        if (!baseFace)
            return slot;

        // Words and the spaces between them, each of one format.
        struct Piece {
            QString text;
            const TextFormat *format;
            const TextFace *face;
            double width;
            bool space;
        };
        struct Line {
            std::vector<Piece> pieces;
            TextAlign align;
            bool first; // of its paragraph: indented
        };
        const double gutter = 40;
        const double left = box.left() + gutter + layout.leftMargin;
        const double right = box.right() - gutter - layout.rightMargin;
        std::vector<Line> lines;
        for (const TextParagraph &paragraph : paragraphs) {
            Line line{{}, paragraph.align, true};
            std::vector<Piece> word;
            double lineWidth = 0;
            double wordWidth = 0;
            const auto endWord = [&] {
                const double room = right - left - (line.first ? layout.indent : 0);
                if (e.wordWrap && !line.pieces.empty() && lineWidth + wordWidth > room) {
                    while (!line.pieces.empty() && line.pieces.back().space)
                        line.pieces.pop_back();
                    lines.push_back(std::move(line));
                    line = Line{{}, paragraph.align, false};
                    lineWidth = 0;
                }
                for (Piece &p : word)
                    line.pieces.push_back(std::move(p));
                lineWidth += wordWidth;
                word.clear();
                wordWidth = 0;
            };
            for (const TextSpan &span : paragraph.spans) {
                const TextFace *face = faceOf(span.format);
                if (!face)
                    continue;
                qsizetype at = 0;
                while (at < span.text.size()) {
                    const bool space = span.text[at] == QLatin1Char(' ');
                    qsizetype end = at;
                    while (end < span.text.size() && (span.text[end] == QLatin1Char(' ')) == space)
                        ++end;
                    const QString text = span.text.mid(at, end - at);
                    at = end;
                    const double width = face->measure(text);
                    if (space) {
                        endWord();
                        line.pieces.push_back(Piece{text, &span.format, face, width, true});
                        lineWidth += width;
                    } else {
                        word.push_back(Piece{text, &span.format, face, width, false});
                        wordWidth += width;
                    }
                }
            }
            endWord();
            while (!line.pieces.empty() && line.pieces.back().space)
                line.pieces.pop_back();
            lines.push_back(std::move(line));
        }

        // Each line on a baseline its tallest text sets; paths by colour.
        std::vector<std::pair<Color, QPainterPath>> paths;
        const auto pathFor = [&](const Color &c) -> QPainterPath & {
            for (auto &[colour, path] : paths)
                if (colour == c)
                    return path;
            paths.emplace_back(c, QPainterPath());
            paths.back().second.setFillRule(Qt::WindingFill);
            return paths.back().second;
        };
        double top = box.top() + gutter;
        double textLeft = right;
        double textRight = left;
        for (const Line &line : lines) {
            double ascent = 0;
            double descent = 0;
            double width = 0;
            for (const Piece &p : line.pieces) {
                ascent = std::max(ascent, p.face->ascent);
                descent = std::max(descent, p.face->descent);
                width += p.width;
            }
            if (line.pieces.empty()) {
                ascent = baseFace->ascent;
                descent = baseFace->descent;
            }
            const double baseline = top + ascent;
            double x = left + (line.first ? layout.indent : 0);
            if (line.align == TextAlign::Right)
                x = right - width;
            else if (line.align == TextAlign::Center)
                x = (left + right - width) / 2;
            if (!line.pieces.empty()) {
                textLeft = std::min(textLeft, x);
                textRight = std::max(textRight, x + width);
            }
            for (const Piece &p : line.pieces) {
                QPainterPath &path = pathFor(p.format->color);
                if (!p.space)
                    p.face->outline(path, p.text, x, baseline);
                if (p.format->underline)
                    path.addRect(QRectF(x, baseline + p.format->height * 0.1, p.width,
                                        std::max(20.0, p.format->height / 16)));
                x += p.width;
            }
            top = baseline + descent + layout.leading;
            if (!e.autoSize && top > box.bottom() + (ascent + descent) * 4)
                break; // far below the field: nothing more shows
        }

        if (e.autoSize) {
            // The field grows to hold its text: downwards, and sideways
            // when lines do not wrap.
            box.setBottom(std::max(box.bottom(), top + gutter));
            if (!e.wordWrap && textLeft <= textRight) {
                box.setLeft(std::min(box.left(), textLeft - gutter - layout.leftMargin));
                box.setRight(std::max(box.right(), textRight + gutter + layout.rightMargin));
            }
        } else {
            slot->clip = box; // text beyond the field's edges is hidden
        }
        if (e.border)
            slot->box = box;
        slot->bounds = box;
        for (auto &[colour, path] : paths) {
            if (path.isEmpty())
                continue;
            if (e.autoSize)
                slot->bounds |= path.boundingRect();
            slot->runs.push_back(TextRun{std::move(path), colour});
        }
        return slot;
    }

    // ---- brushes ----

    QBrush gradientBrush(const FillStyle &fill, const Cx &cx) const
    {
        const Gradient &g = fill.gradient;
        if (g.records.empty())
            return Qt::NoBrush;
        if (g.records.size() == 1)
            return QBrush(cx.apply(g.records.front().color));
        std::vector<GradientRecord> records = g.records;
        std::stable_sort(records.begin(), records.end(),
                         [](const GradientRecord &a, const GradientRecord &b) { return a.ratio < b.ratio; });
        QGradientStops stops;
        double last = -1;
        const auto add = [&](double at, const QColor &c) {
            // Equal positions make hard edges; keep them in order.
            at = std::clamp(std::max(at, last + 1e-6), 0.0, 1.0);
            if (at <= last)
                return;
            stops.append({at, c});
            last = at;
        };
        const bool linearRgb = g.interpolation == InterpolationMode::LinearRgb;
        for (size_t i = 0; i < records.size(); ++i) {
            const QColor c = cx.apply(records[i].color);
            if (linearRgb && i > 0) {
                const QColor p = cx.apply(records[i - 1].color);
                const auto lin = [](int v) { return std::pow(v / 255.0, 2.2); };
                const auto srgb = [](double v) { return int(std::lround(std::pow(v, 1 / 2.2) * 255)); };
                for (int k = 1; k < 8; ++k) {
                    const double t = k / 8.0;
                    const double at = (records[i - 1].ratio + (records[i].ratio - records[i - 1].ratio) * t) / 255.0;
                    add(at, QColor(srgb(lin(p.red()) + (lin(c.red()) - lin(p.red())) * t),
                                   srgb(lin(p.green()) + (lin(c.green()) - lin(p.green())) * t),
                                   srgb(lin(p.blue()) + (lin(c.blue()) - lin(p.blue())) * t),
                                   int(std::lround(p.alpha() + (c.alpha() - p.alpha()) * t))));
                }
            }
            add(records[i].ratio / 255.0, c);
        }
        const QTransform m = g.matrix.toTransform();
        if (!m.isInvertible() || !finite(m))
            return QBrush(cx.apply(records.back().color));
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
    QBrush bitmapBrush(const FillStyle &fill, const Cx &cx, double &opacity)
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

    QImage edgedBitmap(uint16_t id, const Cx &cx)
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

    bool smoothBitmaps(bool fillSmoothed) const
    {
        return quality == StageQuality::Best || (quality == StageQuality::High && fillSmoothed);
    }

    QBrush fillBrush(const FillStyle &fill, const Cx &cx, double &opacity)
    {
        if (fill.isGradient())
            return gradientBrush(fill, cx);
        if (fill.isBitmap())
            return bitmapBrush(fill, cx, opacity);
        return QBrush(cx.apply(fill.color));
    }

    // ---- drawing ----

    static QPen penFor(const LineStyle &style, const QBrush &brush)
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

    static const QPainterPath &outlineOf(PreparedStroke &stroke, const QPen &pen)
    {
        if (!stroke.outline) {
            QPainterPathStroker stroker(pen);
            stroker.setCurveThreshold(2); // a tenth of a stage pixel
            stroke.outline = stroker.createStroke(stroke.path);
            stroke.outline->setFillRule(Qt::WindingFill);
        }
        return *stroke.outline;
    }

    void fillOne(QPainter &p, const PreparedFill &fill, const Cx &cx, bool mask)
    {
        if (mask) {
            p.fillPath(fill.path, Qt::black);
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
        p.fillPath(fill.path, brush);
        if (opacity != 1)
            p.setOpacity(1);
    }

    // Fills of one shape that share edges, each drawn anti-aliased on its
    // own, let the background show through along the shared edges. Added
    // up in a scratch layer their coverages make a whole, as the player's
    // own rasteriser gives them.
    static void clearArea(QImage &image, const QRect &area)
    {
        const QRect r = area & image.rect();
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memset(image.scanLine(y) + size_t(r.left()) * 4, 0, size_t(r.width()) * 4);
    }

    bool fillTogether(Surface &s, const PreparedShape &shape, size_t l, const QTransform &world, const Cx &cx)
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

    void drawShape(Surface &s, PreparedShape &shape, const QTransform &world, const Cx &cx, bool mask)
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
                    p.fillPath(outlineOf(stroke, pen), brush);
                }
                if (opacity != 1)
                    p.setOpacity(1);
            }
        }
    }

    // Device pixels. Lines that do not scale keep their stage width whatever
    // the object's scale; those that scale one way only take that way's.
    double lineWidthOnDevice(const LineStyle &style, const QTransform &world, double deviceScale) const
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
    static void drawHinted(QPainter &p, const PreparedStroke &stroke, QPen pen, const QTransform &toSurface,
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
    void drawFarShape(Surface &s, PreparedShape &shape, const QTransform &world, const Cx &cx, bool mask)
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
                p.fillPath(outline, brush);
                if (opacity != 1)
                    p.setOpacity(1);
            }
        }
    }

    void drawText(Surface &s, const PreparedText &text, const QTransform &world, const Cx &cx, bool mask)
    {
        if (farBeyond(world.mapRect(text.bounds))) {
            const Visible visible(world, s.clip);
            s.painter->setWorldTransform(s.toSurface(world));
            for (const TextRun &run : text.runs)
                s.painter->fillPath(visible.of(run.path), mask ? QColor(Qt::black) : cx.apply(run.color));
            return;
        }
        QPainter &p = *s.painter;
        p.setWorldTransform(s.toSurface(world));
        if (text.box && !mask) {
            p.fillRect(*text.box, cx.apply(Color{255, 255, 255, 255}));
            QPen frame(cx.apply(Color{0, 0, 0, 255}), 0);
            p.setPen(frame);
            p.setBrush(Qt::NoBrush);
            p.drawRect(*text.box);
            p.setPen(Qt::NoPen);
        }
        if (text.clip) {
            p.save();
            p.setClipRect(*text.clip, Qt::IntersectClip);
        }
        for (const TextRun &run : text.runs)
            p.fillPath(run.path, mask ? QColor(Qt::black) : cx.apply(run.color));
        if (text.clip)
            p.restore();
    }

    void drawBitmap(Surface &s, uint16_t id, const QTransform &world, const Cx &cx, bool mask)
    {
        const QImage image = bitmap(id);
        if (image.isNull())
            return;
        QPainter &p = *s.painter;
        p.setWorldTransform(s.toSurface(QTransform::fromScale(20, 20) * world));
        if (mask) {
            p.fillRect(image.rect(), Qt::black);
            return;
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform, smoothBitmaps(true));
        if (cx.alphaOnly()) {
            p.setOpacity(cx.m[3]);
            p.drawImage(0, 0, image);
            p.setOpacity(1);
        } else {
            p.drawImage(0, 0, tintedBitmap(id, cx));
        }
    }

    // The stream's picture for the frame the ratio names, stretched over
    // the stream's size.
    void drawVideo(Surface &s, const VideoStream &video, uint16_t ratio, const QTransform &world, const Cx &cx,
                   bool mask)
    {
        auto found = videos.find(video.id);
        if (found == videos.end()) {
            if (videos.size() >= kMaxVideoDecoders) { // the least recently drawn stream starts over if it returns
                videos.erase(std::min_element(videos.begin(), videos.end(), [](const auto &a, const auto &b) {
                    return a.second.lastUse < b.second.lastUse;
                }));
            }
            found = videos.emplace(video.id, KeptDecoder{std::make_unique<VideoDecoder>(video), 0}).first;
        }
        found->second.lastUse = ++useClock;
        QImage picture = found->second.decoder->frame(ratio);
        if (picture.isNull())
            return;
        const QRectF area = videoArea(video, picture.size());
        QPainter &p = *s.painter;
        p.setWorldTransform(s.toSurface(world));
        if (mask) {
            p.fillRect(area, Qt::black);
            return;
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform, smoothBitmaps(video.smoothing));
        if (cx.alphaOnly()) {
            p.setOpacity(cx.m[3]);
            p.drawImage(area, picture);
            p.setOpacity(1);
        } else {
            transformPixels(picture, cx);
            p.drawImage(area, picture);
        }
    }

    // Twips; a stream that declares no size shows at its pictures' size.
    static QRectF videoArea(const VideoStream &video, QSize picture)
    {
        const QSize size = video.width > 0 && video.height > 0 ? QSize(video.width, video.height) : picture;
        return QRectF(0, 0, size.width() * 20.0, size.height() * 20.0);
    }

    // The object's extent on the device, children included.
    QRectF deviceBounds(const DisplayObject &o, const QTransform &parent, int depth)
    {
        const QTransform world = o.matrix.toTransform() * parent;
        if (!finite(world) || depth > Timeline::kMaxNesting + 2)
            return {};
        if (o.kind != DisplayObject::Kind::Other) {
            QRectF r;
            for (const DisplayObject &child : o.children)
                r |= deviceBounds(child, world, depth + 1);
            return r;
        }
        const auto found = movie->characters.find(o.characterId);
        if (found == movie->characters.end())
            return {};
        QRectF local;
        if (const auto *sh = std::get_if<Shape>(&found->second))
            local = shape(*sh)->bounds;
        else if (const auto *m = std::get_if<MorphShape>(&found->second))
            local = morph(*m, o.ratio)->bounds;
        else if (const auto *t = std::get_if<Text>(&found->second))
            local = text(*t)->bounds;
        else if (const auto *e = std::get_if<EditText>(&found->second))
            local = editText(*e)->bounds;
        else if (const auto *b = std::get_if<Bitmap>(&found->second)) {
            const QImage image = bitmap(b->id);
            local = QRectF(0, 0, image.width() * 20.0, image.height() * 20.0);
        } else if (const auto *v = std::get_if<VideoStream>(&found->second))
            local = videoArea(*v, QSize());
        return world.mapRect(local);
    }

    void drawList(Surface &s, const std::vector<DisplayObject> &list, const QTransform &parent, const Cx &cx,
                  bool mask)
    {
        for (size_t i = 0; i < list.size(); ++i) {
            const DisplayObject &o = list[i];
            if (o.clipDepth == 0) {
                if (o.visible)
                    drawObject(s, o, parent, cx, mask);
                continue;
            }
            size_t end = i + 1;
            while (end < list.size() && list[end].depth <= o.clipDepth)
                ++end;
            if (!mask)
                drawMasked(s, o, list, i + 1, end, parent, cx);
            else
                drawRange(s, list, i + 1, end, parent, cx, mask); // masks within a mask: their content counts
            i = end - 1;
        }
    }

    void drawRange(Surface &s, const std::vector<DisplayObject> &list, size_t from, size_t to,
                   const QTransform &parent, const Cx &cx, bool mask)
    {
        for (size_t j = from; j < to; ++j) {
            if (list[j].visible && list[j].clipDepth == 0)
                drawObject(s, list[j], parent, cx, mask);
        }
    }

    // A layer over part of the surface's device area, transparent.
    struct Layer {
        LayerBuffers::Lease pixels; // outlives the painter and the image on it
        QImage image;
        QPainter painter;
        Surface surface;
    };

    bool beginLayer(Layer &layer, const Surface &under, const QRect &rect, bool group)
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

    void drawMasked(Surface &s, const DisplayObject &maskObject, const std::vector<DisplayObject> &list,
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

    void drawObject(Surface &s, const DisplayObject &o, const QTransform &parent, const Cx &parentCx, bool mask)
    {
        const QTransform world = o.matrix.toTransform() * parent;
        if (!finite(world))
            return;
        const Cx cx = mask ? Cx() : Cx::from(o.colorTransform).then(parentCx);
        const bool layered = !mask && (o.hasFilters() || o.blendMode != BlendMode::Normal);
        if (layered && s.nesting < kMaxLayerNesting) {
            drawLayered(s, o, parent, world, cx);
            return;
        }
        if (layered && (o.blendMode == BlendMode::Alpha || o.blendMode == BlendMode::Erase))
            return; // only meaningful inside a layer
        if (o.opaqueBackground && !mask)
            drawOpaqueBackground(s, o, world, cx);
        drawContent(s, o, world, cx, mask);
    }

    void drawOpaqueBackground(Surface &s, const DisplayObject &o, const QTransform &world, const Cx &cx)
    {
        bool invertible = false;
        const QTransform toLocal = o.matrix.toTransform().inverted(&invertible);
        if (!invertible)
            return;
        const QRectF local = deviceBounds(o, toLocal, 0); // the bounds in the object's own space
        if (local.isEmpty())
            return;
        s.painter->setWorldTransform(s.toSurface(world));
        s.painter->fillRect(local, cx.apply(*o.opaqueBackground));
    }

    // A sprite with a scaling grid, scaled: its corners keep their size,
    // its edges stretch one way and its centre both. Drawn neither rotated
    // nor skewed, nor flipped, nor squeezed below its corners' size;
    // otherwise the sprite scales as a whole.
    std::optional<NineSlice> nineSliceFor(const DisplayObject &sprite, const QTransform &world)
    {
        if (sprite.kind != DisplayObject::Kind::Sprite)
            return std::nullopt;
        const auto grid = movie->scalingGrids.find(sprite.characterId);
        if (grid == movie->scalingGrids.end())
            return std::nullopt;
        const QTransform &stage = stageToDevice;
        if (world.m12() != 0 || world.m21() != 0 || stage.m12() != 0 || stage.m21() != 0 || stage.m11() <= 0
            || stage.m22() <= 0)
            return std::nullopt;
        // The sprite's scale on the stage, whatever the stage's on the device.
        const double sx = world.m11() / stage.m11();
        const double sy = world.m22() / stage.m22();
        if (sx <= 0 || sy <= 0 || (std::abs(sx - 1) < 1e-9 && std::abs(sy - 1) < 1e-9))
            return std::nullopt;
        QRectF content;
        for (const DisplayObject &child : sprite.children)
            content |= deviceBounds(child, QTransform(), 0);
        return NineSlice::make(content, grid->second.toRectF(), sx, sy, world);
    }

    void drawContent(Surface &s, const DisplayObject &o, const QTransform &world, const Cx &cx, bool mask)
    {
        if (o.kind != DisplayObject::Kind::Other) {
            // The grid reaches the sprite's own shapes, not those of
            // sprites inside it.
            const std::optional<NineSlice> outer = std::exchange(nineSlice, nineSliceFor(o, world));
            drawList(s, o.children, world, cx, mask);
            nineSlice = outer;
            return;
        }
        const auto found = movie->characters.find(o.characterId);
        if (found == movie->characters.end())
            return;
        if (nineSlice && (std::holds_alternative<Shape>(found->second)
                          || std::holds_alternative<MorphShape>(found->second))) {
            const auto *sh = std::get_if<Shape>(&found->second);
            const std::shared_ptr<PreparedShape> whole =
                sh ? shape(*sh) : morph(std::get<MorphShape>(found->second), o.ratio);
            const auto sliced = prepare(whole->sharedEdges, nineSlice->apply(whole->layers, o.matrix.toTransform()));
            drawShape(s, *sliced, nineSlice->spriteWorld, cx, mask);
            return;
        }
        if (const auto *sh = std::get_if<Shape>(&found->second))
            drawShape(s, *shape(*sh), world, cx, mask);
        else if (const auto *m = std::get_if<MorphShape>(&found->second))
            drawShape(s, *morph(*m, o.ratio), world, cx, mask);
        else if (const auto *t = std::get_if<Text>(&found->second))
            drawText(s, *text(*t), world, cx, mask);
        else if (const auto *e = std::get_if<EditText>(&found->second))
            drawText(s, *editText(*e), world, cx, mask);
        else if (std::holds_alternative<Bitmap>(found->second))
            drawBitmap(s, o.characterId, world, cx, mask);
        else if (const auto *v = std::get_if<VideoStream>(&found->second))
            drawVideo(s, *v, o.ratio, world, cx, mask);
    }

    void drawLayered(Surface &s, const DisplayObject &o, const QTransform &parent, const QTransform &world,
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
    static void transformPixels(QImage &image, const Cx &cx)
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

    void composite(Surface &s, const QImage &image, const QPoint &at, BlendMode mode, double opacity = 1)
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

    static void subtract(QImage &dst, const QImage &src, const QPoint &at, double opacity)
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

    void setHints(QPainter &p) const
    {
        const bool aa = quality != StageQuality::Low;
        p.setRenderHint(QPainter::Antialiasing, aa);
        p.setRenderHint(QPainter::TextAntialiasing, aa);
        p.setRenderHint(QPainter::SmoothPixmapTransform, quality == StageQuality::Best);
    }
};

Renderer::Renderer(std::shared_ptr<const Movie> movie) : d(std::make_unique<Impl>(std::move(movie))) {}

Renderer::~Renderer() = default;

void Renderer::render(QPainter &painter, const QRectF &target, const TimelineState &state, StageQuality quality,
                      QImage *deviceImage)
{
    if (!painter.isActive() || !target.isValid())
        return;
    const Movie &movie = *d->movie;
    d->quality = quality;
    painter.save();
    const QTransform callerTransform = painter.worldTransform();
    const QColor background = movie.backgroundColor
                                  ? QColor(movie.backgroundColor->red, movie.backgroundColor->green,
                                           movie.backgroundColor->blue)
                                  : QColor(Qt::white);
    painter.fillRect(target, background);
    const QRectF stage = movie.frameSize.toRectF();
    if (stage.width() <= 0 || stage.height() <= 0 || !finite(callerTransform)) {
        painter.restore();
        return;
    }
    const QTransform stageToTarget = QTransform::fromTranslate(-stage.left(), -stage.top())
                                   * QTransform::fromScale(target.width() / stage.width(),
                                                           target.height() / stage.height())
                                   * QTransform::fromTranslate(target.left(), target.top());
    const QTransform base = stageToTarget * callerTransform;
    d->stageScale = scaleOf(base) * 20;
    d->stageToDevice = base;

    // Device pixels worth drawing: layers are never larger than this.
    QRect clip = callerTransform.mapRect(target).toAlignedRect();
    if (const QPaintDevice *device = painter.device())
        clip &= QRect(0, 0, device->width(), device->height());
    if (painter.hasClipping())
        clip &= callerTransform.mapRect(painter.clipBoundingRect()).toAlignedRect();
    painter.setClipRect(target, Qt::IntersectClip); // nothing spills beyond the stage
    d->setHints(painter);
    painter.setPen(Qt::NoPen);

    if (deviceImage
        && (painter.device() != deviceImage || !callerTransform.isIdentity()
            || deviceImage->format() != QImage::Format_ARGB32_Premultiplied))
        deviceImage = nullptr;
    d->stageClip = clip;
    const qint64 area = std::max<qint64>(qint64(clip.width()) * clip.height(), 1 << 16);
    d->layerPixelsLeft = area * kLayerAreas;
    d->filterWorkLeft = area * kFilterAreas;
    d->layerBuffers.setLimit(size_t(area) * kKeptLayerAreas);
    Surface surface{&painter, deviceImage, QPoint(), clip, false, 0};
    d->drawList(surface, state.objects, base, Cx(), false);
    painter.restore();
}

} // namespace swf
