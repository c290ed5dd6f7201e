// The thumbnail list as a user sees it: cells grabbed from the screen.
#include "controls/ThumbnailList.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/WidgetApp.h"

#include <memory>

namespace {

bool near(QRgb a, QColor b, int tolerance = 24)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

TEST(ThumbnailFit, NeverEnlargedShrunkByTheLongerRelativeSideCentred)
{
    const QRect area(10, 20, 100, 80);
    const std::pair<QSize, QRect> cases[] = {
        {QSize(40, 30), QRect(40, 45, 40, 30)},  // smaller: its own size, centred
        {QSize(200, 100), QRect(10, 35, 100, 50)}, // wider: the width fills
        {QSize(100, 160), QRect(35, 20, 50, 80)},  // taller: the height fills
        {QSize(100, 80), QRect(10, 20, 100, 80)},  // the same: as it is
    };
    for (const auto &[picture, expected] : cases)
        EXPECT_EQ(TThumbnailList::FitRect(picture, area), expected) << picture.width() << "x" << picture.height();
    EXPECT_TRUE(TThumbnailList::FitRect(QSize(10, 10), QRect(0, 0, 0, 5)).isNull());
}

class ThumbnailListShown : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureWidgetApplication(); }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const std::pair<const char *, QColor> pictures[] = {{"red.jpg", Qt::red}, {"green.png", Qt::green}};
        for (const auto &[name, colour] : pictures) {
            QImage image(300, 200, QImage::Format_RGB32);
            image.fill(colour);
            ASSERT_TRUE(image.save(dir.filePath(name)));
        }
        list.resize(457, 345);
        list.SetColumns(4);
        list.SetThumbnailSize(100);
        list.SetMultiSelect(true);
        list.AddThumbnail(dir.filePath("red.jpg"), "F 1");
        list.AddThumbnail(dir.filePath("green.png"), "a caption far longer than any cell is wide");
        list.AddThumbnail(dir.filePath("missing.jpg"), "F 3");
        for (int i = 3; i < 8; ++i)
            list.AddThumbnail(dir.filePath("red.jpg"), QString("F %1").arg(i + 1));
        list.show();
        QApplication::processEvents();
    }
    QImage grab() { return list.viewport()->grab().toImage(); }
    QRect cell(int i) { return list.visualItemRect(list.item(i)); }

    QTemporaryDir dir;
    TThumbnailList &list = *new TThumbnailList; // deleted with the test
    std::unique_ptr<TThumbnailList> owner{&list};
};

TEST_F(ThumbnailListShown, CellsShowTheirPicturesAndAMissingOneAnEmptyTile)
{
    const QImage shown = grab();
    const QColor base = list.palette().color(QPalette::Base);
    EXPECT_TRUE(near(shown.pixel(cell(0).center().x(), cell(0).top() + 30), Qt::red));
    EXPECT_TRUE(near(shown.pixel(cell(1).center().x(), cell(1).top() + 30), Qt::green));
    EXPECT_TRUE(near(shown.pixel(cell(2).center().x(), cell(2).top() + 30), base, 0)) << "missing file: empty tile";
    // The caption takes the bottom line: without it the picture reaches lower.
    const int low = cell(0).bottom() - 6;
    EXPECT_FALSE(near(shown.pixel(cell(0).left() + 5, low), Qt::red));
    list.SetShowCaption(false);
    QApplication::processEvents();
    EXPECT_TRUE(near(grab().pixel(cell(0).center().x(), cell(0).top() + 20), Qt::red));
    EXPECT_EQ(list.Picture(0).size(), QSize(100, 66)) << "decoded no larger than the cell, aspect kept";
    EXPECT_TRUE(list.Picture(2).isNull());
}

TEST_F(ThumbnailListShown, CellsFillAColumnTopToBottomThenTheNext)
{
    // 345 pixels hold three rows of 100.
    EXPECT_EQ(cell(1).topLeft() - cell(0).topLeft(), QPoint(0, 100));
    EXPECT_EQ(cell(3).topLeft() - cell(0).topLeft(), QPoint(100, 0));
    EXPECT_EQ(cell(0).size(), QSize(100, 100));
}

TEST_F(ThumbnailListShown, SelectionShowsOnlyWhenAskedAndCountsForTheUser)
{
    int clicks = 0;
    QObject::connect(&list, &TThumbnailList::Click, [&clicks] { ++clicks; });
    const QPoint edge(cell(3).left() + 1, cell(3).top() + 1);
    const QRgb before = grab().pixel(edge);
    list.SetSelected(3, true);
    list.SetSelected(5, true);
    EXPECT_EQ(list.SelCount(), 2);
    EXPECT_GE(clicks, 1);
    QApplication::processEvents();
    EXPECT_EQ(grab().pixel(edge), before) << "ShowSelection off: a selected cell looks like the others";
    list.SetShowSelection(true);
    QApplication::processEvents();
    EXPECT_TRUE(near(grab().pixel(edge), list.palette().color(QPalette::Highlight), 8));
    list.Clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.SelCount(), 0);
}

} // namespace
