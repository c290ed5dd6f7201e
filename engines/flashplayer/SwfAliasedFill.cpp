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

// Whole twips first, then the grid: 256 / 20 = 64 / 5, never a tie.
int64_t toGrid(double v)
{
    // (A NaN, from curves of enormous points, ends at the lower limit.)
    const double scaled = (v > -kLimit ? (v < kLimit ? v : kLimit) : -kLimit) * 20;
    const int64_t twips = int64_t(scaled + (scaled < 0 ? -0.5 : 0.5));
    const int64_t n = twips * (kUnit / 4);
    return n < 0 ? -((-n + 2) / 5) : (n + 2) / 5;
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

// An edge on the rows it crosses, kept whole in one cache line: a row's
// pass reads nothing else. The first pixel at or right of the crossing is
// quotient + (remainder > 0), over denominator = kUnit * (y1 - y0), and is
// stepped a row at a time without dividing.
struct alignas(64) Crossing {
    int64_t pixel;
    int64_t quotient, remainder, denominator, stepQuotient, stepRemainder;
    int64_t lastRow;
    int winding;

    Crossing(const Edge &e, int64_t row) : lastRow(e.lastRow), winding(e.winding)
    {
        const int64_t dy = e.y1 - e.y0;
        const int64_t dx = e.x1 - e.x0;
        denominator = kUnit * dy;
        const int64_t n = (e.x0 - kHalf) * dy + (row * kUnit + kHalf - e.y0) * dx;
        quotient = floorDiv(n, denominator);
        remainder = n - quotient * denominator;
        pixel = quotient + (remainder > 0);
        if (lastRow > row) { // most edges of a curve cross a row or two
            stepQuotient = floorDiv(kUnit * dx, denominator);
            stepRemainder = kUnit * dx - stepQuotient * denominator;
        } else {
            stepQuotient = stepRemainder = 0;
        }
    }
    void step()
    {
        // Without a branch: whether the remainder carries is a coin toss.
        remainder += stepRemainder;
        const int64_t carry = remainder >= denominator;
        remainder -= denominator & -carry;
        quotient += stepQuotient + carry;
        pixel = quotient + (remainder > 0);
    }
};

class Edges {
public:
    explicit Edges(std::vector<Edge> &into) : list(into) { list.clear(); }
    std::vector<Edge> &list;

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
        Edge e = from.y < to.y ? Edge{from.x, from.y, to.x, to.y, 1, 0, 0}
                               : Edge{to.x, to.y, from.x, from.y, -1, 0, 0};
        // Rows whose centre line y0 <= c < y1 crosses.
        e.firstRow = ceilDiv(e.y0 - kHalf, kUnit);
        e.lastRow = ceilDiv(e.y1 - kHalf, kUnit) - 1;
        if (e.firstRow <= e.lastRow)
            list.push_back(e);
    }
};

// False when a point does not map to a finite one.
bool edgesOf(const QPainterPath &path, const QTransform &toDevice, std::vector<Edge> &into)
{
    Edges edges(into);
    const bool affine = toDevice.type() <= QTransform::TxShear;
    const double m11 = toDevice.m11(), m12 = toDevice.m12(), m21 = toDevice.m21(), m22 = toDevice.m22(),
                 dx = toDevice.dx(), dy = toDevice.dy();
    bool finite = true;
    const auto map = [&](const QPainterPath::Element &e) {
        const QPointF p = affine ? QPointF(m11 * e.x + m21 * e.y + dx, m12 * e.x + m22 * e.y + dy)
                                 : toDevice.map(QPointF(e.x, e.y));
        finite = finite && std::isfinite(p.x()) && std::isfinite(p.y());
        return p;
    };
    const auto length = [](QPointF v) { return std::sqrt(v.x() * v.x() + v.y() * v.y()); };
    QPointF at;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = map(e);
        if (!finite)
            break;
        if (e.isMoveTo()) {
            edges.moveTo(p);
            at = p;
        } else if (e.isLineTo()) {
            edges.lineTo(p);
            at = p;
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPointF c1 = p;
            const QPointF c2 = map(path.elementAt(i + 1));
            const QPointF to = map(path.elementAt(i + 2));
            if (!finite)
                break;
            i += 2;
            // Equal steps of t, as many as keep every chord within the
            // flatness of the curve.
            const QPointF d1 = at - 2 * c1 + c2, d2 = c1 - 2 * c2 + to;
            const double bend = std::max(length(d1), length(d2));
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
    return finite;
}

void runsInto(std::vector<AliasedFill::Run> &out, const QPainterPath &path, const QTransform &toDevice,
              const QRect &clip)
{
    out.clear();
    if (clip.isEmpty() || path.isEmpty())
        return;
    // Kept from call to call: a frame fills many shapes.
    thread_local std::vector<Edge> list;
    thread_local std::vector<Crossing> active;
    thread_local std::vector<int32_t> firstOfRow, nextOfRow;
    if (!edgesOf(path, toDevice, list) || list.empty() || list.size() >= size_t(INT32_MAX))
        return;
    int64_t firstRow = list.front().firstRow, lastRow = list.front().lastRow;
    for (const Edge &e : list) {
        firstRow = std::min(firstRow, e.firstRow);
        lastRow = std::max(lastRow, e.lastRow);
    }
    const int64_t top = std::max<int64_t>(firstRow, clip.top());
    const int64_t bottom = std::min<int64_t>(lastRow, clip.bottom());
    if (top > bottom)
        return;
    const bool evenOdd = path.fillRule() == Qt::OddEvenFill;
    const int64_t left = clip.left(), right = int64_t(clip.right()) + 1;
    out.reserve(size_t(bottom - top + 1));
    // Each edge listed under the first row of the clip it crosses.
    firstOfRow.assign(size_t(bottom - top + 1), -1);
    nextOfRow.resize(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const Edge &e = list[i];
        if (e.lastRow < top || e.firstRow > bottom)
            continue;
        const size_t at = size_t(std::max(e.firstRow, top) - top);
        nextOfRow[i] = firstOfRow[at];
        firstOfRow[at] = int32_t(i);
    }

    // Edges crossing the current row, kept in the order of their
    // crossings: from one row to the next that order barely changes.
    active.clear();
    for (int64_t row = top; row <= bottom; ++row) {
        for (int32_t i = firstOfRow[size_t(row - top)]; i >= 0; i = nextOfRow[size_t(i)])
            active.emplace_back(list[size_t(i)], row);
        for (size_t k = 1; k < active.size(); ++k) {
            if (active[k - 1].pixel <= active[k].pixel)
                continue;
            const Crossing c = active[k];
            size_t j = k;
            for (; j > 0 && active[j - 1].pixel > c.pixel; --j)
                active[j] = active[j - 1];
            active[j] = c;
        }
        int winding = 0;
        for (size_t k = 0; k + 1 < active.size(); ++k) {
            winding += active[k].winding;
            if (evenOdd ? (winding & 1) == 0 : winding == 0)
                continue;
            const int64_t x0 = std::max(active[k].pixel, left);
            const int64_t x1 = std::min(active[k + 1].pixel, right);
            if (x0 >= x1)
                continue;
            if (!out.empty() && out.back().y == row && out.back().x1 >= x0)
                out.back().x1 = std::max<int>(out.back().x1, int(x1));
            else
                out.push_back({int(row), int(x0), int(x1)});
        }
        size_t kept = 0;
        for (size_t k = 0; k < active.size(); ++k) {
            if (active[k].lastRow > row) {
                if (kept != k)
                    active[kept] = active[k];
                active[kept++].step();
            }
        }
        active.erase(active.begin() + std::ptrdiff_t(kept), active.end());
    }
}

// Runs that repeat on the rows below become one rectangle.
void rectanglesOf(const std::vector<AliasedFill::Run> &runs, std::vector<QRect> &rects)
{
    thread_local std::vector<size_t> above, here; // open rectangles of the last row and this one
    rects.clear();
    above.clear();
    here.clear();
    int row = runs.front().y;
    size_t k = 0;
    for (const AliasedFill::Run &r : runs) {
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
}

} // namespace

std::vector<AliasedFill::Run> AliasedFill::runs(const QPainterPath &path, const QTransform &toDevice,
                                                const QRect &clip)
{
    std::vector<Run> out;
    runsInto(out, path, toDevice, clip);
    return out;
}

void AliasedFill::fill(QPainter &p, const QPainterPath &path, const QBrush &brush)
{
    const QPaintDevice *device = p.device();
    if (!device || brush.style() == Qt::NoBrush)
        return;
    const QTransform toDevice = p.deviceTransform();
    thread_local std::vector<Run> filled;
    thread_local std::vector<QRect> rects;
    runsInto(filled, path, toDevice, QRect(0, 0, device->width(), device->height()));
    if (filled.empty())
        return;
    rectanglesOf(filled, rects);
    // The painter's own filling of rectangles is as fast as any (a few at
    // a time faster still, with its shortcuts for plain colours and scaled
    // bitmaps); only its transforms, and for many rectangles its pen and
    // brush, are set aside for it. The brush is placed as the painter
    // places it: by its own transform, the brush origin, then the
    // painter's transforms.
    const QPointF origin = p.brushOrigin();
    QBrush placed = brush;
    if (brush.style() != Qt::SolidPattern)
        placed.setTransform(brush.transform() * QTransform::fromTranslate(origin.x(), origin.y()) * toDevice);
    const QTransform world = p.worldTransform();
    const bool view = p.viewTransformEnabled() && p.window() != p.viewport();
    if (view)
        p.setViewTransformEnabled(false);
    p.setWorldTransform(QTransform());
    if (!origin.isNull())
        p.setBrushOrigin(0, 0);
    if (rects.size() <= 8) {
        for (const QRect &r : rects)
            p.fillRect(r, placed);
    } else {
        const QPen pen = p.pen();
        const bool penOn = pen.style() != Qt::NoPen;
        const QBrush previous = p.brush();
        if (penOn)
            p.setPen(Qt::NoPen);
        p.setBrush(placed);
        p.drawRects(rects.data(), int(rects.size()));
        p.setBrush(previous);
        if (penOn)
            p.setPen(pen);
    }
    if (!origin.isNull())
        p.setBrushOrigin(origin);
    p.setWorldTransform(world);
    if (view)
        p.setViewTransformEnabled(true);
}

} // namespace swf
