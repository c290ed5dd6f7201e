// Which pixels a fill without anti-aliasing covers.
#include "engines/flashplayer/SwfAliasedFill.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace {

using swf::AliasedFill;

QPainterPath polygon(std::initializer_list<QPointF> points, Qt::FillRule rule = Qt::OddEvenFill)
{
    QPainterPath path;
    path.setFillRule(rule);
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

std::set<std::pair<int, int>> pixelsOf(const std::vector<AliasedFill::Run> &runs)
{
    std::set<std::pair<int, int>> out;
    for (const AliasedFill::Run &r : runs)
        for (int x = r.x0; x < r.x1; ++x)
            out.insert({x, r.y});
    return out;
}

bool covers(const QPainterPath &path, int x, int y, const QTransform &t = {})
{
    return pixelsOf(AliasedFill::runs(path, t, QRect(0, 0, 400, 400))).count({x, y}) > 0;
}

TEST(AliasedFill, DecidesCentresNearAnEdgeOnTheGridsOfThePlayer)
{
    const struct {
        const char *what;
        QPainterPath path;
        QTransform toDevice;
        QPoint pixel;
        bool covered;
    } cases[] = {
        // Exactly, the centre (261.5, 63.5) lies 0.00024 px right of the
        // edge; with the ends on the 1/256 grid it lies left of it.
        {"a centre a hair inside, outside on the grid",
         polygon({{261.85, 61.15}, {258.75, 81.95}, {300, 81.95}, {300, 61.15}}), {}, {261, 63}, false},
        {"its neighbour", polygon({{261.85, 61.15}, {258.75, 81.95}, {300, 81.95}, {300, 61.15}}), {}, {262, 63}, true},
        // An edge scaled to 10.52 px moves to the whole twip at 10.5, where
        // the centre of pixel 10 belongs to the area right of it.
        {"an edge moved onto a centre goes right", polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
         QTransform::fromScale(1.052, 1), {10, 5}, false},
        {"the area right of it", polygon({{10, 0}, {20, 0}, {20, 10}, {10, 10}}), QTransform::fromScale(1.052, 1),
         {10, 5}, true},
        {"a centre on a bottom edge goes below", polygon({{0, 0}, {10, 0}, {10, 5.5}, {0, 5.5}}), {}, {3, 5}, false},
        {"a centre on a top edge stays", polygon({{0, 5.5}, {10, 5.5}, {10, 9}, {0, 9}}), {}, {3, 5}, true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(covers(c.path, c.pixel.x(), c.pixel.y(), c.toDevice), c.covered) << c.what;
}

TEST(AliasedFill, FollowsTheFillRuleWhereSubpathsOverlap)
{
    QPainterPath twice = polygon({{0, 0}, {20, 0}, {20, 20}, {0, 20}});
    twice.addPolygon(QPolygonF({QPointF(10, 10), QPointF(30, 10), QPointF(30, 30), QPointF(10, 30)}));
    twice.closeSubpath();
    EXPECT_FALSE(covers(twice, 15, 15)) << "odd-even leaves the overlap empty";
    EXPECT_TRUE(covers(twice, 5, 5));
    twice.setFillRule(Qt::WindingFill);
    EXPECT_TRUE(covers(twice, 15, 15));
    // Two squares side by side make one run, not two.
    QPainterPath sideBySide = polygon({{0, 0}, {10, 0}, {10, 1}, {0, 1}});
    sideBySide.addPolygon(QPolygonF({QPointF(10, 0), QPointF(20, 0), QPointF(20, 1), QPointF(10, 1)}));
    EXPECT_EQ(AliasedFill::runs(sideBySide, {}, QRect(0, 0, 40, 40)),
              (std::vector<AliasedFill::Run>{{0, 0, 20}}));
}

TEST(AliasedFill, CurvesStayWithinATenthOfAPixel)
{
    // Qt's circle is four cubics: too few chords would cut well inside it.
    QPainterPath circle;
    circle.addEllipse(QPointF(200, 200), 150, 150);
    const auto pixels = pixelsOf(AliasedFill::runs(circle, {}, QRect(0, 0, 400, 400)));
    int checked = 0;
    for (int y = 40; y < 360; ++y)
        for (int x = 40; x < 360; ++x) {
            const double d = std::hypot(x + 0.5 - 200, y + 0.5 - 200) - 150;
            if (std::abs(d) < AliasedFill::kFlatness + 0.01)
                continue;
            ++checked;
            ASSERT_EQ(pixels.count({x, y}) > 0, d < 0) << x << "," << y;
        }
    EXPECT_GT(checked, 100000);
}

TEST(AliasedFill, StaysInsideTheClipWhateverTheCoordinates)
{
    const QRect clip(0, 0, 100, 50);
    const auto huge = AliasedFill::runs(polygon({{-1e12, -1e12}, {1e12, -1e12}, {1e12, 1e12}, {-1e12, 1e12}}), {},
                                        clip);
    ASSERT_EQ(huge.size(), 50u);
    for (const auto &r : huge)
        EXPECT_TRUE(r.x0 == 0 && r.x1 == 100) << r.y;
    // Edges wholly above the clip count for no row of it.
    QPainterPath above = polygon({{20, -10}, {30, -10}, {30, -5}, {20, -5}});
    const QPainterPath below = polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    above.addPath(below);
    EXPECT_EQ(AliasedFill::runs(above, {}, clip), AliasedFill::runs(below, {}, clip));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(AliasedFill::runs(polygon({{0, 0}, {nan, 0}, {50, 50}}), {}, clip).empty());
    EXPECT_TRUE(AliasedFill::runs(polygon({{0, 0}, {1e10, 0}, {50, 50}}), QTransform::fromScale(1e300, 1e300), clip)
                    .empty())
        << "beyond the largest double";
    EXPECT_TRUE(AliasedFill::runs(polygon({{0, 0}, {50, 0}, {50, 50}}), QTransform::fromScale(0, 1), clip).empty());
}

TEST(AliasedFill, PaintsTheRunsWithTheBrushAsThePainterPlacesIt)
{
    // A gradient in the shape's units, across its width; the painter's own
    // fill gives the colours to expect (its edges differ).
    QLinearGradient ramp(0, 0, 100, 0);
    ramp.setColorAt(0, Qt::red);
    ramp.setColorAt(1, Qt::blue);
    const QTransform place = QTransform::fromScale(0.5, 0.5) * QTransform::fromTranslate(7, 3);
    const struct {
        const char *what;
        QPainterPath shape;
    } cases[] = {{"many runs", polygon({{0, 0}, {100, 0}, {60, 80}, {0, 60}})},
                 {"one rectangle", polygon({{0, 0}, {100, 0}, {100, 60}, {0, 60}})}};
    for (const auto &c : cases) {
        const auto paint = [&](bool ours) {
            QImage image(80, 60, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter p(&image);
            // The window, world transform and brush origin all count.
            p.setWindow(0, 0, 160, 120);
            p.setWorldTransform(place * QTransform::fromScale(2, 2));
            p.setBrushOrigin(10, 0);
            if (ours)
                AliasedFill::fill(p, c.shape, QBrush(ramp));
            else
                p.fillPath(c.shape, QBrush(ramp));
            EXPECT_EQ(p.worldTransform(), place * QTransform::fromScale(2, 2)) << c.what;
            EXPECT_EQ(p.brushOrigin(), QPointF(10, 0)) << c.what;
            return image;
        };
        const QImage ours = paint(true), painter = paint(false);
        const auto pixels = pixelsOf(AliasedFill::runs(c.shape, place, ours.rect()));
        int compared = 0;
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x) {
                const QColor mine = ours.pixelColor(x, y), theirs = painter.pixelColor(x, y);
                ASSERT_EQ(mine != QColor(Qt::white), pixels.count({x, y}) > 0) << c.what << " " << x << "," << y;
                if (mine == QColor(Qt::white) || theirs == QColor(Qt::white))
                    continue;
                ++compared;
                ASSERT_NEAR(mine.blue(), theirs.blue(), 2) << c.what << " " << x << "," << y;
                ASSERT_NEAR(mine.red(), theirs.red(), 2) << c.what << " " << x << "," << y;
            }
        EXPECT_GT(compared, 1000) << c.what;
    }
}

} // namespace
