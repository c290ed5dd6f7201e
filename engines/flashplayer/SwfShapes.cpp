#include "engines/flashplayer/SwfShapes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace swf {
namespace {

struct Pos {
    int64_t x = 0;
    int64_t y = 0;
    bool operator==(const Pos &) const = default;
    auto operator<=>(const Pos &) const = default;
};

struct Edge {
    Pos from;
    Pos control; // curves only
    Pos to;
    bool curve = false;

    Edge reversed() const { return Edge{to, control, from, curve}; }
};

void append(QPainterPath &path, const Edge &e)
{
    if (e.curve)
        path.quadTo(double(e.control.x), double(e.control.y), double(e.to.x), double(e.to.y));
    else
        path.lineTo(double(e.to.x), double(e.to.y));
}

// Chains directed edges into closed subpaths. Any chaining that uses every
// edge once fills the same area under either fill rule; following the
// drawing order where it can keeps the subpaths the author drew.
QPainterPath assembleFill(const std::vector<Edge> &edges, Qt::FillRule rule)
{
    QPainterPath path;
    path.setFillRule(rule);
    const size_t n = edges.size();
    std::vector<uint32_t> byStart(n);
    std::iota(byStart.begin(), byStart.end(), 0u);
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&](uint32_t a, uint32_t b) { return edges[a].from < edges[b].from; });
    // Per run of equal start points, the first entry not yet tried.
    std::vector<size_t> cursor(n);
    std::iota(cursor.begin(), cursor.end(), size_t(0));
    std::vector<bool> used(n, false);

    const auto findFrom = [&](const Pos &p) -> int64_t {
        const auto it = std::lower_bound(byStart.begin(), byStart.end(), p,
                                         [&](uint32_t e, const Pos &q) { return edges[e].from < q; });
        const size_t run = size_t(it - byStart.begin());
        if (run == n || !(edges[byStart[run]].from == p))
            return -1;
        size_t &c = cursor[run];
        while (c < n && edges[byStart[c]].from == p) {
            if (!used[byStart[c]])
                return byStart[c];
            ++c;
        }
        return -1;
    };

    for (size_t first = 0; first < n; ++first) {
        if (used[first])
            continue;
        const Pos start = edges[first].from;
        path.moveTo(double(start.x), double(start.y));
        size_t current = first;
        for (;;) {
            used[current] = true;
            append(path, edges[current]);
            const Pos end = edges[current].to;
            if (end == start)
                break;
            int64_t next = -1;
            if (current + 1 < n && !used[current + 1] && edges[current + 1].from == end)
                next = int64_t(current + 1);
            else
                next = findFrom(end);
            if (next < 0)
                break; // an open outline: closing it is the best guess
            current = size_t(next);
        }
        path.closeSubpath();
    }
    return path;
}

QPainterPath assembleStroke(const std::vector<std::vector<Edge>> &subpaths, bool noClose)
{
    QPainterPath path;
    for (const auto &edges : subpaths) {
        const Pos start = edges.front().from;
        path.moveTo(double(start.x), double(start.y));
        for (const Edge &e : edges)
            append(path, e);
        if (!noClose && edges.back().to == start)
            path.closeSubpath();
    }
    return path;
}

class PathBuilder {
public:
    PathBuilder(Qt::FillRule rule, bool glyph) : m_rule(rule), m_glyph(glyph) {}

    void run(const ShapeData &shape)
    {
        useStyles(&shape.styles);
        Pos at;
        uint32_t fill0 = 0;
        uint32_t fill1 = 0;
        uint32_t line = 0;
        for (const ShapeRecord &record : shape.records) {
            if (const auto *change = std::get_if<StyleChangeRecord>(&record)) {
                if (change->newStyles) {
                    flush();
                    useStyles(change->newStyles.get());
                    fill0 = fill1 = line = 0;
                }
                if (change->moveTo)
                    at = Pos{change->moveTo->x, change->moveTo->y};
                if (change->fillStyle0)
                    fill0 = *change->fillStyle0;
                if (change->fillStyle1)
                    fill1 = *change->fillStyle1;
                if (change->lineStyle)
                    line = *change->lineStyle;
            } else if (const auto *straight = std::get_if<StraightEdgeRecord>(&record)) {
                const Pos to{at.x + straight->deltaX, at.y + straight->deltaY};
                add(Edge{at, at, to, false}, fill0, fill1, line);
                at = to;
            } else if (const auto *curved = std::get_if<CurvedEdgeRecord>(&record)) {
                const Pos control{at.x + curved->controlDeltaX, at.y + curved->controlDeltaY};
                const Pos to{control.x + curved->anchorDeltaX, control.y + curved->anchorDeltaY};
                add(Edge{at, control, to, true}, fill0, fill1, line);
                at = to;
            }
        }
        flush();
    }

    std::vector<ShapeLayer> layers;
    std::vector<Edge> glyphEdges;

private:
    void useStyles(const ShapeStyles *styles)
    {
        m_styles = styles;
        m_fills.assign(styles->fillStyles.size(), {});
        m_strokes.assign(styles->lineStyles.size(), {});
    }

    void add(const Edge &edge, uint32_t fill0, uint32_t fill1, uint32_t line)
    {
        if (m_glyph) {
            // The same fill on both sides is an inner edge: it bounds nothing.
            if ((fill0 != 0) != (fill1 != 0))
                glyphEdges.push_back(fill1 ? edge : edge.reversed());
            return;
        }
        if (fill0 != fill1) {
            if (fill0 >= 1 && fill0 <= m_fills.size())
                m_fills[fill0 - 1].push_back(edge.reversed());
            if (fill1 >= 1 && fill1 <= m_fills.size())
                m_fills[fill1 - 1].push_back(edge);
        }
        if (line >= 1 && line <= m_strokes.size()) {
            auto &subpaths = m_strokes[line - 1];
            if (subpaths.empty() || !(subpaths.back().back().to == edge.from))
                subpaths.emplace_back();
            subpaths.back().push_back(edge);
        }
    }

    void flush()
    {
        if (m_glyph || !m_styles)
            return;
        ShapeLayer layer;
        for (size_t i = 0; i < m_fills.size(); ++i) {
            if (!m_fills[i].empty())
                layer.fills.push_back(FillPath{m_styles->fillStyles[i], assembleFill(m_fills[i], m_rule)});
        }
        for (size_t i = 0; i < m_strokes.size(); ++i) {
            if (!m_strokes[i].empty()) {
                const LineStyle &style = m_styles->lineStyles[i];
                layer.strokes.push_back(StrokePath{style, assembleStroke(m_strokes[i], style.noClose)});
            }
        }
        if (!layer.fills.empty() || !layer.strokes.empty())
            layers.push_back(std::move(layer));
        m_fills.assign(m_fills.size(), {});
        m_strokes.assign(m_strokes.size(), {});
    }

    Qt::FillRule m_rule;
    bool m_glyph;
    const ShapeStyles *m_styles = nullptr;
    std::vector<std::vector<Edge>> m_fills;
    std::vector<std::vector<std::vector<Edge>>> m_strokes;
};

// ---- morphs ----

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

uint8_t lerp8(uint8_t a, uint8_t b, double t)
{
    return uint8_t(std::clamp(std::lround(lerp(a, b, t)), 0L, 255L));
}

int32_t clamp32(double v)
{
    if (!(v > double(std::numeric_limits<int32_t>::min())))
        return std::numeric_limits<int32_t>::min();
    if (!(v < double(std::numeric_limits<int32_t>::max())))
        return std::numeric_limits<int32_t>::max();
    return int32_t(std::lround(v));
}

Color lerpColor(const Color &a, const Color &b, double t)
{
    return Color{lerp8(a.red, b.red, t), lerp8(a.green, b.green, t), lerp8(a.blue, b.blue, t),
                 lerp8(a.alpha, b.alpha, t)};
}

Matrix lerpMatrix(const Matrix &a, const Matrix &b, double t)
{
    Matrix m;
    m.scaleX = lerp(a.scaleX, b.scaleX, t);
    m.rotateSkew0 = lerp(a.rotateSkew0, b.rotateSkew0, t);
    m.rotateSkew1 = lerp(a.rotateSkew1, b.rotateSkew1, t);
    m.scaleY = lerp(a.scaleY, b.scaleY, t);
    m.translateX = clamp32(lerp(a.translateX, b.translateX, t));
    m.translateY = clamp32(lerp(a.translateY, b.translateY, t));
    return m;
}

FillStyle lerpFill(const FillStyle &a, const FillStyle &b, double t)
{
    FillStyle f = a;
    f.color = lerpColor(a.color, b.color, t);
    f.gradient.matrix = lerpMatrix(a.gradient.matrix, b.gradient.matrix, t);
    const size_t stops = std::min(a.gradient.records.size(), b.gradient.records.size());
    f.gradient.records.resize(stops);
    for (size_t i = 0; i < stops; ++i) {
        f.gradient.records[i].ratio = lerp8(a.gradient.records[i].ratio, b.gradient.records[i].ratio, t);
        f.gradient.records[i].color = lerpColor(a.gradient.records[i].color, b.gradient.records[i].color, t);
    }
    f.gradient.focalPoint = lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    f.bitmapMatrix = lerpMatrix(a.bitmapMatrix, b.bitmapMatrix, t);
    return f;
}

struct Point64 {
    double x = 0;
    double y = 0;
};

Point64 lerpPoint(const Pos &a, const Pos &b, double t)
{
    return Point64{lerp(double(a.x), double(b.x), t), lerp(double(a.y), double(b.y), t)};
}

// An edge in absolute terms; straight edges become curves with their
// control point halfway when paired with a curve.
struct AbsEdge {
    Pos from;
    Point64 control;
    Pos to;
    bool curve = false;
};

AbsEdge absolute(const ShapeRecord &record, const Pos &at)
{
    AbsEdge e;
    e.from = at;
    if (const auto *s = std::get_if<StraightEdgeRecord>(&record)) {
        e.to = Pos{at.x + s->deltaX, at.y + s->deltaY};
        e.control = Point64{(double(at.x) + double(e.to.x)) / 2, (double(at.y) + double(e.to.y)) / 2};
    } else if (const auto *c = std::get_if<CurvedEdgeRecord>(&record)) {
        const Pos control{at.x + c->controlDeltaX, at.y + c->controlDeltaY};
        e.control = Point64{double(control.x), double(control.y)};
        e.to = Pos{control.x + c->anchorDeltaX, control.y + c->anchorDeltaY};
        e.curve = true;
    } else {
        e.to = at;
        e.control = Point64{double(at.x), double(at.y)};
    }
    return e;
}

} // namespace

std::vector<ShapeLayer> buildShapePaths(const ShapeData &shape, Qt::FillRule rule)
{
    PathBuilder builder(rule, false);
    builder.run(shape);
    return std::move(builder.layers);
}

std::vector<ShapeLayer> buildShapePaths(const Shape &shape)
{
    return buildShapePaths(shape.data, shape.usesFillWindingRule ? Qt::WindingFill : Qt::OddEvenFill);
}

QPainterPath buildGlyphPath(const ShapeData &glyph)
{
    PathBuilder builder(Qt::OddEvenFill, true);
    builder.run(glyph);
    return assembleFill(builder.glyphEdges, Qt::OddEvenFill);
}

ShapeData morphShapeAt(const MorphShape &morph, double t)
{
    t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0);
    ShapeData out;
    for (const auto &fill : morph.fillStyles)
        out.styles.fillStyles.push_back(lerpFill(fill.start, fill.end, t));
    for (const auto &line : morph.lineStyles) {
        LineStyle style = line.start;
        style.width = uint16_t(std::clamp(std::lround(lerp(line.start.width, line.end.width, t)), 0L, 65535L));
        style.color = lerpColor(line.start.color, line.end.color, t);
        if (line.start.fill && line.end.fill)
            style.fill = lerpFill(*line.start.fill, *line.end.fill, t);
        out.styles.lineStyles.push_back(std::move(style));
    }

    const auto &ends = morph.endRecords;
    size_t j = 0;
    Pos startAt;
    Pos endAt;
    Pos emitted; // where the output pen is, rounded as emitted
    const auto place = [&](const Pos &a, const Pos &b) {
        const Point64 p = lerpPoint(a, b, t);
        return Pos{clamp32(p.x), clamp32(p.y)};
    };
    out.records.reserve(morph.startRecords.size());
    for (const ShapeRecord &record : morph.startRecords) {
        if (const auto *change = std::get_if<StyleChangeRecord>(&record)) {
            StyleChangeRecord result;
            result.fillStyle0 = change->fillStyle0;
            result.fillStyle1 = change->fillStyle1;
            result.lineStyle = change->lineStyle;
            bool endMoved = false;
            if (j < ends.size()) {
                if (const auto *endChange = std::get_if<StyleChangeRecord>(&ends[j])) {
                    ++j;
                    if (endChange->moveTo) {
                        endAt = Pos{endChange->moveTo->x, endChange->moveTo->y};
                        endMoved = true;
                    }
                }
            }
            if (change->moveTo) {
                startAt = Pos{change->moveTo->x, change->moveTo->y};
                if (!endMoved)
                    endAt = startAt;
            }
            if (change->moveTo || endMoved) {
                emitted = place(startAt, endAt);
                result.moveTo = Point{int32_t(emitted.x), int32_t(emitted.y)};
            }
            out.records.emplace_back(std::move(result));
            continue;
        }
        // The matching end edge; stray moves on the way are followed.
        const ShapeRecord *endRecord = nullptr;
        while (j < ends.size()) {
            const ShapeRecord &candidate = ends[j++];
            if (const auto *endChange = std::get_if<StyleChangeRecord>(&candidate)) {
                if (endChange->moveTo)
                    endAt = Pos{endChange->moveTo->x, endChange->moveTo->y};
                continue;
            }
            endRecord = &candidate;
            break;
        }
        const AbsEdge a = absolute(record, startAt);
        const AbsEdge b = endRecord ? absolute(*endRecord, endAt) : absolute(StyleChangeRecord{}, endAt);
        const Pos to = place(a.to, b.to);
        if (!a.curve && !b.curve) {
            out.records.emplace_back(StraightEdgeRecord{clamp32(double(to.x - emitted.x)),
                                                        clamp32(double(to.y - emitted.y))});
        } else {
            const Pos control{clamp32(lerp(a.control.x, b.control.x, t)), clamp32(lerp(a.control.y, b.control.y, t))};
            out.records.emplace_back(CurvedEdgeRecord{clamp32(double(control.x - emitted.x)),
                                                      clamp32(double(control.y - emitted.y)),
                                                      clamp32(double(to.x - control.x)),
                                                      clamp32(double(to.y - control.y))});
        }
        emitted = to;
        startAt = a.to;
        endAt = b.to;
    }
    return out;
}

} // namespace swf
