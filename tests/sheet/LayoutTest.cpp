#include "SheetFixture.h"
#include "sheet/PDFCreator.h"


namespace {

class Layout : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedWidth = MovieWidth;
        savedHeight = MovieHeight;
        MovieWidth = 550;
        MovieHeight = 400;
        selection.Frames = FramesOfScene(4);
        creator.SetHost(&host);
        savedSink = SetErrorSink([this](const QString &text) { messages << text; });
    }
    void TearDown() override
    {
        SetErrorSink(savedSink);
        MovieWidth = savedWidth;
        MovieHeight = savedHeight;
    }

    void Grid(int columns, int rows)
    {
        s.SetFramesPerPage = true;
        s.Columns = columns;
        s.Rows = rows;
    }
    void Margins(int left, int top, int right, int bottom)
    {
        s.LeftMargin = left;
        s.TopMargin = top;
        s.RightMargin = right;
        s.BottomMargin = bottom;
    }
    TBox Picture(int column, int row) const { return creator.PictureBoxes().at(column).at(row); }

    TSheetSettings s = PlainSettings();
    TTestSheetHost host{s};
    TFrameSelection selection;
    TPDFCreator creator{&selection};
    QStringList messages;
    ErrorSink savedSink;
    int32_t savedWidth = 0, savedHeight = 0;
};

TEST(MmToPoints, HalvesAwayFromZero)
{
    struct Case {
        int64_t mm, points;
    };
    // A result too large for an int is refused as MulDiv refuses it.
    const Case cases[] = {{0, 0}, {1, 3}, {210, 595}, {297, 842}, {127, 360}, {-1, -3}, {-210, -595},
                          {INT_MAX, -1}};
    for (const Case &c : cases)
        EXPECT_EQ(TPDFCreator::MmToPoints(c.mm), c.points) << c.mm;
}

TEST_F(Layout, A4PortraitAndAuto)
{
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    EXPECT_EQ(creator.PageWidth(), 595);
    EXPECT_EQ(creator.PageHeight(), 842);
    EXPECT_EQ(creator.Columns(), 1);
    EXPECT_EQ(creator.Rows(), 1);
    EXPECT_EQ(Picture(0, 0), (TBox{0, 0, 595, 433}));
    EXPECT_TRUE(creator.LabelBoxes().isEmpty());
    EXPECT_EQ(creator.PageCount(), 4);

    s.Orientation = TOrientation(2);
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::Orientation));
    EXPECT_EQ(creator.PageWidth(), 842);
    EXPECT_EQ(creator.PageHeight(), 595);
    EXPECT_EQ(Picture(0, 0), (TBox{0, 0, 818, 595}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Layout, AutoTurnsOnlyWhenStrictlyBetter)
{
    // A square page gives the same scale both ways: no turn, so the margins
    // stay where they are.
    s.PageHeight = 210;
    Margins(10, 0, 0, 0);
    MovieWidth = MovieHeight = 100;
    s.Orientation = TOrientation(2);
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    EXPECT_EQ(Picture(0, 0).Left, 28);
    EXPECT_EQ(Picture(0, 0).Top, 0);
}

TEST_F(Layout, PictureSizeRoundsHalvesToEven)
{
    // 205 mm = 581 points, so a 2 x 1 movie scales to 581 x 290.5.
    s.PageWidth = 205;
    MovieWidth = 2;
    MovieHeight = 1;
    Grid(1, 1);
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    EXPECT_EQ(Picture(0, 0), (TBox{0, 0, 581, 290}));
}

TEST_F(Layout, MarginTurnsWithThePage)
{
    // L 10, T 30, R 20, B 40 mm: X 28, Y 85, usable 510 x 643 points.
    Margins(10, 30, 20, 40);
    s.Orientation = TOrientation(2);
    struct Case {
        int lastExplicit, left, top;
    };
    const Case cases[] = {
        {0, 842 - 85 - 643, 28}, // from portrait: the bottom margin comes left
        {1, 85, 595 - 28 - 510}, // from landscape: the top margin comes left
    };
    for (const Case &c : cases) {
        s.OrientationTag = TOrientation(c.lastExplicit);
        ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
        EXPECT_EQ(creator.PageWidth(), 842);
        EXPECT_EQ(creator.PageHeight(), 595);
        EXPECT_EQ(Picture(0, 0).Left, c.left) << c.lastExplicit;
        EXPECT_EQ(Picture(0, 0).Top, c.top) << c.lastExplicit;
        // The turned usable area is 643 x 510: the picture spans its width.
        EXPECT_EQ(Picture(0, 0).Right - Picture(0, 0).Left, 643);
    }
}

TEST_F(Layout, FittedGridKeepsTheOneByOneSize)
{
    // k = 595 / 200: a 595 x 149 picture, five of which fit down the page.
    MovieWidth = 200;
    MovieHeight = 50;
    selection.Frames = FramesOfScene(12);
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    EXPECT_EQ(creator.Columns(), 1);
    EXPECT_EQ(creator.Rows(), 5);
    EXPECT_EQ(creator.PageCount(), 3);
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(Picture(0, j), (TBox{0, 149 * j, 595, 149 * j + 149})) << j;
}

TEST_F(Layout, PagesForTheChosenGrid)
{
    // 204 mm usable (578 points): two 289 x 100 pictures across.
    Margins(6, 0, 0, 0);
    MovieWidth = 289;
    MovieHeight = 100;
    Grid(2, 2);
    struct Case {
        int frames, columns, rows, pages;
    };
    const Case cases[] = {{1, 1, 1, 1}, {4, 2, 2, 1}, {7, 2, 2, 2}, {8, 2, 2, 2}, {9, 2, 2, 3}};
    for (const Case &c : cases) {
        selection.Frames = FramesOfScene(c.frames);
        ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
        EXPECT_EQ(creator.Columns(), c.columns) << c.frames;
        EXPECT_EQ(creator.Rows(), c.rows) << c.frames;
        EXPECT_EQ(creator.PageCount(), c.pages) << c.frames;
        EXPECT_EQ(Picture(0, 0), (TBox{17, 0, 17 + 289, 100})) << c.frames;
    }
}

TEST_F(Layout, ColumnsRunAcrossAndRowsDown)
{
    // 3 x 2, not square, so columns and rows cannot be mixed up unseen:
    // k = min(595 / 300, 842 / 200), 198-point squares.
    MovieWidth = MovieHeight = 100;
    selection.Frames = FramesOfScene(6);
    Grid(3, 2);
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    EXPECT_EQ(creator.Columns(), 3);
    EXPECT_EQ(creator.Rows(), 2);
    EXPECT_EQ(creator.PageCount(), 1);
    EXPECT_EQ(Picture(2, 0), (TBox{396, 0, 594, 198}));
    EXPECT_EQ(Picture(0, 1), (TBox{0, 198, 198, 396}));
}

TEST_F(Layout, CellsWithSpacesAndLabels)
{
    // S = 3, T = 6 points; label 40 x 12; 2 x 2 on A4 without margins.
    s.ImageSpace = 1;
    s.TextSpace = 2;
    s.LabelFrames = true;
    selection.LabelWidth = 40;
    selection.LabelHeight = 12;
    MovieWidth = 100;
    MovieHeight = 100;
    Grid(2, 2);
    // k = min((595 - 12) / 200, (842 - 2 * 30) / 200) = 2.915: 292 x 292.
    struct Case {
        bool centre;
        int x, y;
    };
    // Spare width 595 - 2 * 298 = -1 halves to 0; spare height
    // 842 - 2 * 322 = 198 halves to 99.
    const Case cases[] = {{false, 3, 3}, {true, 3, 3 + 99}};
    for (const Case &c : cases) {
        s.CenterPageContents = c.centre;
        ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 2; ++j) {
                const TBox picture{c.x + i * 298, c.y + j * 322, c.x + i * 298 + 292, c.y + j * 322 + 292};
                EXPECT_EQ(Picture(i, j), picture) << c.centre << i << j;
                const TBox label{picture.Left, picture.Bottom + 9, picture.Right, picture.Bottom + 21};
                EXPECT_EQ(creator.LabelBoxes().at(i).at(j), label) << c.centre << i << j;
            }
        }
    }
}

TEST_F(Layout, CentringTruncatesTowardZero)
{
    // 296 mm = 839 points high; a 2 x 1 movie 581 points wide leaves
    // 839 - 290 = 549, which halves to 274.
    Grid(1, 1);
    s.PageWidth = 205;
    s.PageHeight = 296;
    s.CenterPageContents = true;
    MovieWidth = 2;
    MovieHeight = 1;
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    EXPECT_EQ(Picture(0, 0), (TBox{0, 274, 581, 274 + 290}));
}

TEST_F(Layout, LabelMayBeAsWideAsThePicture)
{
    s.LabelFrames = true;
    selection.LabelHeight = 0;
    selection.LabelWidth = 595;
    EXPECT_TRUE(creator.CalculateLayout(s, TSheetSetting::NonKeyFrameLabel));
    selection.LabelWidth = 596;
    EXPECT_FALSE(creator.CalculateLayout(s, TSheetSetting::NonKeyFrameLabel));
    EXPECT_FALSE(creator.LayoutValid());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The label of the non-key frames is too long or"));
}

TEST_F(Layout, MarginFailureNamesTheChangedSetting)
{
    struct Case {
        int TSheetSettings::*margin;
        TSheetSetting setting;
        int value;
        const char *message;
    };
    const Case cases[] = {
        {&TSheetSettings::LeftMargin, TSheetSetting::LeftMargin, 210,
         "The left page margin is too large.\nSet smaller left page margin."},
        {&TSheetSettings::RightMargin, TSheetSetting::RightMargin, 250,
         "The right page margin is too large.\nSet smaller right page margin."},
        {&TSheetSettings::TopMargin, TSheetSetting::TopMargin, 297,
         "The top page margin is too large.\nSet smaller top page margin."},
        {&TSheetSettings::BottomMargin, TSheetSetting::BottomMargin, 300,
         "The bottom page margin is too large.\nSet smaller bottom page margin."},
    };
    for (const Case &c : cases) {
        messages.clear();
        s.*c.margin = c.value;
        EXPECT_FALSE(creator.CalculateLayout(s, c.setting));
        EXPECT_EQ(messages, QStringList{c.message});
        EXPECT_EQ(creator.FailingSetting(), c.setting);
        s.*c.margin = 0;
        EXPECT_TRUE(creator.CalculateLayout(s, c.setting));
    }
}

TEST_F(Layout, FirstBreakingControlIsKept)
{
    Margins(5, 0, 5, 0);
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    s.PageWidth = 10;
    EXPECT_FALSE(creator.CalculateLayout(s, TSheetSetting::PageWidth));
    s.TopMargin = 300;
    EXPECT_FALSE(creator.CalculateLayout(s, TSheetSetting::TopMargin));
    const QString width = "The page width is too small.\nSet larger page width.";
    EXPECT_EQ(messages, (QStringList{width, width}));
    EXPECT_FALSE(creator.CreatePDF(s, host.Pictures()));
    EXPECT_EQ(messages.last(), width);

    // A success forgets it.
    s.PageWidth = 210;
    s.TopMargin = 0;
    ASSERT_TRUE(creator.CalculateLayout(s, TSheetSetting::None));
    s.TopMargin = 300;
    EXPECT_FALSE(creator.CalculateLayout(s, TSheetSetting::TopMargin));
    EXPECT_TRUE(messages.last().startsWith("The top page margin"));
}

TEST_F(Layout, MessagePerSetting)
{
    const QString general =
        "The page preview cannot be created.\nSet smaller page dimensions or different page orientation\n"
        "or smaller page margins or  smaller font of the frame labels\nor shorter frame labels or less frames per page.";
    using S = TSheetSetting;
    struct Case {
        TSheetSetting setting;
        bool labelsOn, gridOn;
        QString message;
    };
    const Case cases[] = {
        {S::PageSize, false, false, "The dimensions of the page are too small.\nSet a page size with larger dimensions."},
        {S::PageHeight, false, false, "The page height is too small.\nSet larger page height."},
        {S::Orientation, false, false, "The dimensions of the page are too small.\nSet different page orientation."},
        {S::ImageSpace, false, false, "The space around images is too large.\nSet smaller space around images."},
        {S::TextSpace, false, false,
         "The space around image labels is too large.\nSet smaller space around image labels."},
        {S::LabelFrames, true, false,
         "The font of the frame labels is too large or the frame labels are too long.\n"
         "Set smaller font of the frame labels or shorter frame labels."},
        {S::LabelFrames, false, false, general},
        {S::KeyFrameLabel, true, false,
         "The label of the key frames is too long or the font of the frame labels is too large.\n"
         "Set shorter label of the key frames or smaller font of the frame labels."},
        {S::EditNonKeyFrameLabel, true, false,
         "The label of the non-key frames is too long.\nSet shorter label of the non-key frames or press the Cancel button."},
        {S::EditKeyFrameLabel, true, false,
         "The label of key frames is too long.\nSet shorter label of the key frames or press the Cancel button."},
        {S::LabelFont, true, false,
         "The font of the frame labels is too large.\nSet smaller font of the frame labels or press the Cancel button."},
        {S::SetFramesPerPage, false, true, "Too many frames per page.\nSet less columns or rows per page."},
        {S::SetFramesPerPage, false, false, general},
        {S::Columns, false, true, "Too many columns per page.\nSet less columns per page."},
        {S::Rows, false, true, "Too many rows per page.\nSet less rows per page."},
        {S::CenterPageContents, false, false, general},
        {S::Other, false, false, general},
    };
    for (const Case &k : cases) {
        TPDFCreator fresh(&selection);
        fresh.SetHost(&host);
        s.LabelFrames = k.labelsOn;
        s.SetFramesPerPage = k.gridOn;
        // No usable height: every setting's change fails.
        s.BottomMargin = 297;
        messages.clear();
        host.reported.clear();
        EXPECT_FALSE(fresh.CalculateLayout(s, k.setting));
        EXPECT_EQ(messages, QStringList{k.message}) << int(k.setting);
        // Only the specific messages are the host's to show with its setting.
        EXPECT_EQ(host.reported.size(), k.message == general ? 0u : 1u) << int(k.setting);
    }
}

TEST_F(Layout, NoRecordedControlNoMessage)
{
    s.BottomMargin = 297;
    EXPECT_FALSE(creator.CalculateLayout(s, TSheetSetting::None));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Layout, NoMovieFrameGivesTheGeneralMessage)
{
    MovieWidth = 0;
    EXPECT_FALSE(creator.CalculateLayout(s, TSheetSetting::PageWidth));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The page preview cannot be created."));
}

TEST_F(Layout, PictureTooSmallToDrawFails)
{
    // Thousands of columns leave a positive scale but pictures of no pixel.
    Grid(5000, 1);
    EXPECT_FALSE(creator.CalculateLayout(s, TSheetSetting::Columns));
    EXPECT_EQ(messages, QStringList{"Too many columns per page.\nSet less columns per page."});
}

} // namespace
