#include "engines/flashplayer/SwfAliasedFill.h"

#include <QPainter>
#include <QPaintDevice>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace swf {
namespace {

// Far enough for any stage; shapes magnified beyond it are cut to what
// is visible before they get here.
constexpr double kLimit = double(1 << 22);
constexpr int kMaxSegmentsPerCurve = 1024;
constexpr int64_t kUnit = AliasedFill::kSubpixels;
constexpr int64_t kHalf = kUnit / 2;

int64_t toGrid(double v)
{
    const double twips = std::round(std::clamp(v, -kLimit, kLimit) * 20);
    return int64_t(std::llround(twips * kUnit / 20));
}

int64_t floorDiv(int64_t a, int64_t b) // b > 0
{
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

int64_t ceilDiv(int64_t a, int64_t b) { return -floorDiv(-a, b); }

struct Edge {
    int64_t x0, y0, x1, y1; // grid units, y0 < y1
    int winding;
    int64_t firstRow, lastRow;
};

class Edges {
public:
    std::vector<Edge> list;

    void moveTo(QPointF p)
    {
        close();
        start = last = grid(p);
        open = true;
    }
    void lineTo(QPointF p) { add(grid(p)); }
    void close()
    {
        if (open)
            add(start);
        open = false;
    }

private:
    struct Point {
        int64_t x, y;
    };
    Point start{}, last{};
    bool open = false;

    static Point grid(QPointF p) { return {toGrid(p.x()), toGrid(p.y())}; }
    void add(Point to)
    {
        if (!open) { // a line without a move starts at the origin, as in a path
            start = last = {0, 0};
            open = true;
        }
        const Point from = last;
        last = to;
        if (from.y == to.y)
            return;
        Edge e = from.y < to.y ? Edge{from.x, from.y, to.x, to.y, 1, 0, 0} : Edge{to.x, to.y, from.x, from.y, -1, 0, 0};
        // Rows whose centre line y0 <= c < y1 crosses.
        e.firstRow = ceilDiv(e.y0 - kHalf, kUnit);
        e.lastRow = ceilDiv(e.y1 - kHalf, kUnit) - 1;
        if (e.firstRow <= e.lastRow)
            list.push_back(e);
    }
};

bool finitePoint(QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

Edges edgesOf(const QPainterPath &path, const QTransform &toDevice)
{
    Edges edges;
    QPointF at;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = toDevice.map(QPointF(e.x, e.y));
        if (e.isMoveTo()) {
            edges.moveTo(p);
            at = p;
        } else if (e.isLineTo()) {
            edges.lineTo(p);
            at = p;
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPointF c1 = p;
            const QPointF c2 = toDevice.map(QPointF(path.elementAt(i + 1).x, path.elementAt(i + 1).y));
            const QPointF to = toDevice.map(QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y));
            i += 2;
            // Equal steps of t, as many as keep every chord within the
            // flatness of the curve.
            const QPointF d1 = at - 2 * c1 + c2, d2 = c1 - 2 * c2 + to;
            const double bend = std::max(std::hypot(d1.x(), d1.y()), std::hypot(d2.x(), d2.y()));
            const double steps = std::ceil(std::sqrt(6 * bend / (8 * AliasedFill::kFlatness)));
            const int n = std::isfinite(steps) ? std::clamp(int(steps), 1, kMaxSegmentsPerCurve) : 1;
            for (int k = 1; k < n; ++k) {
                const double t = double(k) / n, u = 1 - t;
                edges.lineTo(u * u * u * at + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * to);
            }
            edges.lineTo(to);
            at = to;
        }
    }
    edges.close();
    return edges;
}

} // namespace

std::vector<AliasedFill::Run> AliasedFill::runs(const QPainterPath &path, const QTransform &toDevice,
                                                const QRect &clip)
{
    std::vector<Run> out;
    if (clip.isEmpty() || path.isEmpty())
        return out;
    for (int i = 0; i < path.elementCount(); ++i)
        if (!finitePoint(toDevice.map(QPointF(path.elementAt(i).x, path.elementAt(i).y))))
            return out;
    Edges edges = edgesOf(path, toDevice);
    std::vector<Edge> &list = edges.list;
    if (list.empty())
        return out;
    std::sort(list.begin(), list.end(), [](const Edge &a, const Edge &b) { return a.firstRow < b.firstRow; });
    int64_t lastRow = list.front().lastRow;
    for (const Edge &e : list)
        lastRow = std::max(lastRow, e.lastRow);
    const int64_t top = std::max<int64_t>(list.front().firstRow, clip.top());
    const int64_t bottom = std::min<int64_t>(lastRow, clip.bottom());
    const bool evenOdd = path.fillRule() == Qt::OddEvenFill;
    const int64_t left = clip.left(), right = int64_t(clip.right()) + 1;

    std::vector<const Edge *> active;
    std::vector<std::pair<int64_t, int>> crossings;
    size_t next = 0;
    for (int64_t row = top; row <= bottom; ++row) {
        while (next < list.size() && list[next].firstRow <= row)
            active.push_back(&list[next++]);
        std::erase_if(active, [row](const Edge *e) { return e->lastRow < row; });
        crossings.clear();
        const int64_t centre = row * kUnit + kHalf;
        for (const Edge *e : active) {
            // The first pixel whose centre is at or right of the crossing.
            const int64_t dy = e->y1 - e->y0;
            const int64_t first = ceilDiv((e->x0 - kHalf) * dy + (centre - e->y0) * (e->x1 - e->x0), kUnit * dy);
            crossings.push_back({first, e->winding});
        }
        std::sort(crossings.begin(), crossings.end());
        int winding = 0;
        for (size_t k = 0; k + 1 < crossings.size(); ++k) {
            winding += crossings[k].second;
            if (evenOdd ? (winding & 1) == 0 : winding == 0)
                continue;
            const int64_t x0 = std::max(crossings[k].first, left);
            const int64_t x1 = std::min(crossings[k + 1].first, right);
            if (x0 >= x1)
                continue;
            if (!out.empty() && out.back().y == row && out.back().x1 >= x0)
                out.back().x1 = std::max<int>(out.back().x1, int(x1));
            else
                out.push_back({int(row), int(x0), int(x1)});
        }
    }
    return out;
}

void AliasedFill::fill(QPainter &p, const QPainterPath &path, const QTransform &toDevice, const QBrush &brush)
{
    const QPaintDevice *device = p.device();
    if (!device || brush.style() == Qt::NoBrush)
        return;
    const std::vector<Run> filled = runs(path, toDevice, QRect(0, 0, device->width(), device->height()));
    if (filled.empty())
        return;
    // Runs that repeat on the rows below become one rectangle.
    std::vector<QRect> rects;
    std::vector<size_t> above, here;
    int row = filled.front().y;
    size_t k = 0;
    for (const Run &r : filled) {
        if (r.y != row) {
            above.swap(here);
            here.clear();
            if (r.y != row + 1)
                above.clear();
            row = r.y;
            k = 0;
        }
        while (k < above.size() && rects[above[k]].left() < r.x0)
            ++k;
        if (k < above.size() && rects[above[k]].left() == r.x0 && rects[above[k]].right() == r.x1 - 1) {
            rects[above[k]].setBottom(r.y);
            here.push_back(above[k++]);
        } else {
            rects.emplace_back(r.x0, r.y, r.x1 - r.x0, 1);
            here.push_back(rects.size() - 1);
        }
    }
    const QTransform world = p.worldTransform();
    const QPen pen = p.pen();
    const QBrush oldBrush = p.brush();
    const QPointF origin = p.brushOrigin();
    QBrush placed = brush;
    placed.setTransform(brush.transform() * toDevice);
    p.setWorldTransform(QTransform());
    p.setPen(Qt::NoPen);
    p.setBrush(placed);
    p.setBrushOrigin(0, 0);
    p.drawRects(rects.data(), int(rects.size()));
    p.setBrushOrigin(origin);
    p.setBrush(oldBrush);
    p.setPen(pen);
    p.setWorldTransform(world);
}

} // namespace swf
