#pragma once
// What the renderer's files share: the prepared forms of characters, the
// surfaces drawn on, and the renderer's state with its caches. Private to
// the renderer.

#include "engines/flashplayer/SwfRenderer.h"

#include "engines/flashplayer/SwfAliasedFill.h"
#include "engines/flashplayer/SwfHtmlText.h"
#include "engines/flashplayer/SwfShapes.h"
#include "engines/flashplayer/SwfVideo.h"

#include <QBrush>
#include <QByteArray>
#include <QGradient>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace swf {

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

inline bool finite(const QTransform &t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22())
        && std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23())
        && std::isfinite(t.m33());
}

// Whole device pixels covering r grown by margin, within clip; worked out
// in floating point, as bounds far off the device exceed int.
inline QRect deviceRect(const QRectF &r, double margin, const QRect &clip)
{
    const QRectF grown = r.adjusted(-margin, -margin, margin, margin) & QRectF(clip);
    return grown.isEmpty() ? QRect() : grown.toAlignedRect() & clip;
}

// Paths magnified far past the device make QPainter work in proportion to
// their size there; beyond this many pixels out only what lies over the
// device is drawn.
constexpr double kMaxDeviceCoordinate = 1 << 22;
constexpr int kMaxClippedElements = 20000;

inline bool farBeyond(const QRectF &device)
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
inline double scaleOf(const QTransform &t)
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
    // The 256 steps of a gradient, by its records, interpolation and
    // colour transform: making them costs more than drawing the fill.
    static constexpr size_t kMaxGradientSteps = 512;
    mutable std::map<QByteArray, QGradientStops> gradientSteps;
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

    // ---- caches (SwfRenderCaches.cpp) ----
    QImage bitmap(uint16_t id);
    QImage tintedBitmap(uint16_t id, const Cx &cx);
    QImage edgedBitmap(uint16_t id, const Cx &cx);
    std::shared_ptr<PreparedShape> prepare(const ShapeData &data, std::vector<ShapeLayer> layers);
    std::shared_ptr<PreparedShape> prepare(std::vector<bool> sharedEdges, std::vector<ShapeLayer> layers);
    static qint64 elementCount(const PreparedShape &shape);
    std::shared_ptr<PreparedShape> shape(const Shape &s);
    std::shared_ptr<PreparedShape> morph(const MorphShape &m, uint16_t ratio);
    const QPainterPath *glyph(uint16_t fontId, uint32_t index);
    std::shared_ptr<PreparedText> text(const Text &t);

    // ---- text fields (SwfTextLayout.cpp) ----
    // How text of one format is measured and outlined, in twips.
    struct TextFace {
        std::function<double(const QString &)> measure;
        std::function<void(QPainterPath &, const QString &, double, double)> outline;
        double ascent = 0;
        double descent = 0;
    };
    const Font *embeddedFont(const QString &face, bool bold, bool italic) const;
    std::optional<TextFace> textFace(const EditText &e, const TextFormat &format);
    std::shared_ptr<PreparedText> editText(const EditText &e);

    // ---- brushes and shapes (SwfShapeDrawing.cpp) ----
    bool smoothBitmaps(bool fillSmoothed) const
    {
        return quality == StageQuality::Best || (quality == StageQuality::High && fillSmoothed);
    }
    static QGradientStops gradientStops(const Gradient &g, const Cx &cx);
    QBrush gradientBrush(const FillStyle &fill, const Cx &cx) const;
    QBrush bitmapBrush(const FillStyle &fill, const Cx &cx, double &opacity);
    QBrush fillBrush(const FillStyle &fill, const Cx &cx, double &opacity);
    static QPen penFor(const LineStyle &style, const QBrush &brush);
    static const QPainterPath &outlineOf(PreparedStroke &stroke, const QPen &pen);
    void fillOne(QPainter &p, const PreparedFill &fill, const Cx &cx, bool mask);
    static void clearArea(QImage &image, const QRect &area);
    bool fillTogether(Surface &s, const PreparedShape &shape, size_t l, const QTransform &world, const Cx &cx);
    void drawShape(Surface &s, PreparedShape &shape, const QTransform &world, const Cx &cx, bool mask);
    double lineWidthOnDevice(const LineStyle &style, const QTransform &world, double deviceScale) const;
    static void drawHinted(QPainter &p, const PreparedStroke &stroke, QPen pen, const QTransform &toSurface,
                           double width);
    void drawFarShape(Surface &s, PreparedShape &shape, const QTransform &world, const Cx &cx, bool mask);

    // ---- layers, masks and blend modes (SwfCompositing.cpp) ----
    // A layer over part of the surface's device area, transparent.
    struct Layer {
        LayerBuffers::Lease pixels; // outlives the painter and the image on it
        QImage image;
        QPainter painter;
        Surface surface;
    };
    bool beginLayer(Layer &layer, const Surface &under, const QRect &rect, bool group);
    void drawMasked(Surface &s, const DisplayObject &maskObject, const std::vector<DisplayObject> &list,
                    size_t from, size_t to, const QTransform &parent, const Cx &cx);
    void drawLayered(Surface &s, const DisplayObject &o, const QTransform &parent, const QTransform &world,
                     const Cx &cx);
    static void transformPixels(QImage &image, const Cx &cx);
    void composite(Surface &s, const QImage &image, const QPoint &at, BlendMode mode, double opacity = 1);
    static void subtract(QImage &dst, const QImage &src, const QPoint &at, double opacity);

    // ---- the display list and the other characters (SwfRenderer.cpp) ----
    void drawList(Surface &s, const std::vector<DisplayObject> &list, const QTransform &parent, const Cx &cx,
                  bool mask);
    void drawRange(Surface &s, const std::vector<DisplayObject> &list, size_t from, size_t to,
                   const QTransform &parent, const Cx &cx, bool mask);
    void drawObject(Surface &s, const DisplayObject &o, const QTransform &parent, const Cx &parentCx, bool mask);
    void drawOpaqueBackground(Surface &s, const DisplayObject &o, const QTransform &world, const Cx &cx);
    std::optional<NineSlice> nineSliceFor(const DisplayObject &sprite, const QTransform &world);
    void drawContent(Surface &s, const DisplayObject &o, const QTransform &world, const Cx &cx, bool mask);
    QRectF deviceBounds(const DisplayObject &o, const QTransform &parent, int depth);
    void drawText(Surface &s, const PreparedText &text, const QTransform &world, const Cx &cx, bool mask);
    void drawBitmap(Surface &s, uint16_t id, const QTransform &world, const Cx &cx, bool mask);
    void drawVideo(Surface &s, const VideoStream &video, uint16_t ratio, const QTransform &world, const Cx &cx,
                   bool mask);
    // Twips; a stream that declares no size shows at its pictures' size.
    static QRectF videoArea(const VideoStream &video, QSize picture)
    {
        const QSize size = video.width > 0 && video.height > 0 ? QSize(video.width, video.height) : picture;
        return QRectF(0, 0, size.width() * 20.0, size.height() * 20.0);
    }
    // Without anti-aliasing the player's own rasteriser decides which
    // pixels a fill covers; Qt's would differ along many edges.
    static void fillPath(QPainter &p, const QPainterPath &path, const QBrush &brush)
    {
        if (p.testRenderHint(QPainter::Antialiasing))
            p.fillPath(path, brush);
        else
            AliasedFill::fill(p, path, brush);
    }
    void setHints(QPainter &p) const
    {
        const bool aa = quality != StageQuality::Low;
        p.setRenderHint(QPainter::Antialiasing, aa);
        p.setRenderHint(QPainter::TextAntialiasing, aa);
        p.setRenderHint(QPainter::SmoothPixmapTransform, quality == StageQuality::Best);
    }
};

} // namespace swf
