#include "pdfengine/Canvas.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <stdexcept>

#include "EmfParse.h"

using namespace emftest;

namespace {

void ensureGuiApp()
{
    static int argc = 1;
    static char arg0[] = "pdfengine_tests";
    static char *argv[] = {arg0, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

const QSize kPage(595, 842);
const QSize kFrame(20990, 29704);

std::vector<Record> records(const QByteArray &bytes)
{
    std::vector<Record> out;
    std::string why;
    EXPECT_TRUE(split(bytes, out, &why)) << why;
    return out;
}

std::vector<uint32_t> types(const std::vector<Record> &r)
{
    std::vector<uint32_t> t;
    for (auto &x : r)
        t.push_back(x.type);
    return t;
}

TEST(MetafileCanvas, RecordsFontChangesTextStateAndText)
{
    ensureGuiApp();
    TMetafileCanvas c(kPage, kFrame);
    QFont label(QStringLiteral("DejaVu Sans"), 12);
    label.setBold(true);
    label.setItalic(true);
    c.SetFont(label, 0x000000FF);
    c.SetTextAlign(TA_CENTER | TA_TOP);
    c.TextOut(297, 700, QStringLiteral("Frame 12"));
    QFont second(QStringLiteral("DejaVu Serif"), 9);
    second.setUnderline(true);
    c.SetFont(second, 0x00FF0000);
    c.SetTextAlign(TA_LEFT | TA_TOP);
    c.TextOut(40, 50, QStringLiteral("x"));

    const QByteArray bytes = c.Bytes();
    auto r = records(bytes);
    using namespace emf;
    EXPECT_EQ(types(r), (std::vector<uint32_t>{EMR_HEADER, EMR_SETBKMODE, EMR_EXTCREATEFONTINDIRECTW,
                                               EMR_SELECTOBJECT, EMR_SETTEXTCOLOR, EMR_SETTEXTALIGN, EMR_EXTTEXTOUTW,
                                               EMR_EXTCREATEFONTINDIRECTW, EMR_SELECTOBJECT, EMR_DELETEOBJECT,
                                               EMR_SETTEXTCOLOR, EMR_SETTEXTALIGN, EMR_EXTTEXTOUTW, EMR_EOF}));
    ASSERT_EQ(r.size(), 14u);
    EXPECT_EQ(u32(r[1].bytes, 8), emf::TRANSPARENT);

    Font f = font(r[2]);
    EXPECT_EQ(f.height, -12); // em height in points
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(f.italic, 1);
    EXPECT_EQ(f.underline, 0);
    EXPECT_EQ(f.face, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(u32(r[3].bytes, 8), f.index);
    EXPECT_EQ(u32(r[4].bytes, 8), 0x0000FFu);
    EXPECT_EQ(u32(r[5].bytes, 8), TA_CENTER | TA_TOP);

    Text t = text(r[6]);
    EXPECT_EQ(t.x, 297);
    EXPECT_EQ(t.y, 700);
    EXPECT_EQ(t.text, QStringLiteral("Frame 12"));
    QFont measured = label;
    measured.setPixelSize(12);
    const double advance = QFontMetricsF(measured).horizontalAdvance(QStringLiteral("Frame 12"));
    EXPECT_NEAR(std::accumulate(t.dx.begin(), t.dx.end(), 0), advance, 1.0);
    for (int32_t d : t.dx)
        EXPECT_GT(d, 0);

    // The old font goes only after the new one is selected.
    Font g = font(r[7]);
    EXPECT_EQ(g.height, -9);
    EXPECT_EQ(g.weight, 400);
    EXPECT_EQ(g.underline, 1);
    EXPECT_EQ(u32(r[8].bytes, 8), g.index);
    EXPECT_EQ(u32(r[9].bytes, 8), f.index);
    EXPECT_NE(g.index, f.index);
    EXPECT_EQ(u32(r[10].bytes, 8), 0xFF0000u);

    // Header bounds: the centred label hangs down from its top edge.
    EXPECT_EQ(i32(bytes, 8), 40);                     // the "x" is leftmost
    EXPECT_EQ(i32(bytes, 12), 50);                    // and topmost
    EXPECT_NEAR(i32(bytes, 16), 297 + advance / 2, 1.5);
    EXPECT_GE(i32(bytes, 20), 700 + 12);
    EXPECT_LE(i32(bytes, 20), 700 + 12 * 2);
    EXPECT_EQ(u32(bytes, 48), uint32_t(bytes.size()));
}

TEST(MetafileCanvas, PicturesAreRefusedRatherThanLost)
{
    TMetafileCanvas c(kPage, kFrame);
    QImage img(4, 4, QImage::Format_RGB32);
    EXPECT_THROW(c.DrawImageStretched(QRect(0, 0, 10, 10), img), std::logic_error);
}

TEST(MetafileCanvas, WorksWithoutGuiApplication)
{
    if (qApp)
        GTEST_SKIP() << "needs a process without a GUI application (run alone)";
    TMetafileCanvas c(kPage, kFrame);
    c.SetFont(QFont(QStringLiteral("DejaVu Sans"), 10), 0);
    c.TextOut(5, 6, QStringLiteral("abc"));
    auto r = records(c.Bytes());
    Text t = text(r[r.size() - 2]);
    EXPECT_EQ(t.text, QStringLiteral("abc"));
    EXPECT_EQ(t.dx, (std::vector<int32_t>{0, 0, 0}));
}

// Ink extent of pixels that differ clearly from white.
QRect inkRect(const QImage &img)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 160)
                r = r.united(QRect(x, y, 1, 1));
    return r;
}

QImage whitePage()
{
    QImage img(300, 120, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    return img;
}

// A font whose pixel height on the preview canvas is about `pixels`.
QFont previewFont(int pixels)
{
    return QFont(QStringLiteral("DejaVu Sans"),
                 int(std::lround(pixels * 72.0 / TImageCanvas::ScreenPixelsPerInch())));
}

TEST(ImageCanvas, TextFollowsAlignmentSizeAndColour)
{
    ensureGuiApp();
    QImage img = whitePage();
    {
        TImageCanvas c(img);
        c.SetFont(previewFont(24), 0x000000FF);
        c.SetTextAlign(TA_CENTER | TA_TOP);
        c.TextOut(100, 30, QStringLiteral("HHHH"));
    }
    QRect ink = inkRect(img);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR((ink.left() + ink.right()) / 2.0, 100, 2);
    EXPECT_GE(ink.top(), 30);
    EXPECT_LE(ink.top(), 30 + 10);
    // Cap height of a 24-pixel face, whatever the screen's resolution.
    EXPECT_GE(ink.height(), 15);
    EXPECT_LE(ink.height(), 20);
    const QColor centre = img.pixelColor(ink.left() + 1, ink.center().y());
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.blue(), 80);

    QImage right = whitePage();
    {
        TImageCanvas c(right);
        c.SetFont(previewFont(24), 0);
        c.SetTextAlign(TA_RIGHT | TA_BASELINE);
        c.TextOut(250, 80, QStringLiteral("HHHH"));
    }
    ink = inkRect(right);
    EXPECT_LE(ink.right(), 250);
    EXPECT_GE(ink.right(), 244);
    EXPECT_GE(ink.bottom(), 78); // the baseline is the bottom of "H"
    EXPECT_LE(ink.bottom(), 80);

    QImage bottom = whitePage();
    {
        TImageCanvas c(bottom);
        c.SetFont(previewFont(24), 0);
        c.SetTextAlign(TA_LEFT | TA_BOTTOM);
        c.TextOut(20, 100, QStringLiteral("HHHH"));
    }
    ink = inkRect(bottom);
    EXPECT_GE(ink.left(), 20);
    EXPECT_LE(ink.left(), 24);
    EXPECT_LT(ink.bottom(), 100 - 3); // the descent lies below the baseline
}

TEST(ImageCanvas, PictureIsStretchedIntoItsBox)
{
    QImage img = whitePage();
    QImage blue(2, 2, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    {
        TImageCanvas c(img);
        c.DrawImageStretched(QRect(10, 10, 50, 20), blue);
    }
    EXPECT_EQ(img.pixelColor(30, 20), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(12, 28), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(61, 20), QColor(Qt::white));
}

} // namespace
