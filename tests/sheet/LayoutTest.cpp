#include "SheetFixture.h"
#include "sheet/PDFCreator.h"

#include <QCoreApplication>
#include <QLineEdit>

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
        steps.c.showStepOf = [this](QWidget *control) { shownSteps.push_back(control); };
        creator.SetControls(steps.c);
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
        steps.c.chbxSetFramesPerPage->setChecked(true);
        steps.c.spedtColumnsPerPage->setValue(columns);
        steps.c.spedtRowsPerPage->setValue(rows);
    }
    void Margins(int left, int top, int right, int bottom)
    {
        steps.c.spedtPageLeftMargin->setValue(left);
        steps.c.spedtPageTopMargin->setValue(top);
        steps.c.spedtPageRightMargin->setValue(right);
        steps.c.spedtPageBottomMargin->setValue(bottom);
    }
    TBox Picture(int column, int row) const { return creator.PictureBoxes().at(column).at(row); }

    TStepControls steps;
    TFrameSelection selection;
    TPDFCreator creator{&selection};
    QStringList messages;
    QVector<QWidget *> shownSteps;
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
    ASSERT_TRUE(creator.CalculateLayout(nullptr));
    EXPECT_EQ(creator.PageWidth(), 595);
    EXPECT_EQ(creator.PageHeight(), 842);
    EXPECT_EQ(creator.Columns(), 1);
    EXPECT_EQ(creator.Rows(), 1);
    EXPECT_EQ(Picture(0, 0), (TBox{0, 0, 595, 433}));
    EXPECT_TRUE(creator.LabelBoxes().isEmpty());
    EXPECT_EQ(creator.PageCount(), 4);

    steps.c.rgOrientation->SetItemIndex(2);
    ASSERT_TRUE(creator.CalculateLayout(steps.c.rgOrientation));
    EXPECT_EQ(creator.PageWidth(), 842);
    EXPECT_EQ(creator.PageHeight(), 595);
    EXPECT_EQ(Picture(0, 0), (TBox{0, 0, 818, 595}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Layout, AutoTurnsOnlyWhenStrictlyBetter)
{
    // A square page gives the same scale both ways: no turn, so the margins
    // stay where they are.
    steps.c.spedtPageHeight->setValue(210);
    Margins(10, 0, 0, 0);
    MovieWidth = MovieHeight = 100;
    steps.c.rgOrientation->SetItemIndex(2);
    ASSERT_TRUE(creator.CalculateLayout(nullptr));
    EXPECT_EQ(Picture(0, 0).Left, 28);
    EXPECT_EQ(Picture(0, 0).Top, 0);
}

TEST_F(Layout, PictureSizeRoundsHalvesToEven)
{
    // 205 mm = 581 points, so a 2 x 1 movie scales to 581 x 290.5.
    steps.c.spedtPageWidth->setValue(205);
    MovieWidth = 2;
    MovieHeight = 1;
    Grid(1, 1);
    ASSERT_TRUE(creator.CalculateLayout(nullptr));
    EXPECT_EQ(Picture(0, 0), (TBox{0, 0, 581, 290}));
}

TEST_F(Layout, MarginTurnsWithThePage)
{
    // L 10, T 30, R 20, B 40 mm: X 28, Y 85, usable 510 x 643 points.
    Margins(10, 30, 20, 40);
    steps.c.rgOrientation->SetItemIndex(2);
    struct Case {
        int lastExplicit, left, top;
    };
    const Case cases[] = {
        {0, 842 - 85 - 643, 28}, // from portrait: the bottom margin comes left
        {1, 85, 595 - 28 - 510}, // from landscape: the top margin comes left
    };
    for (const Case &c : cases) {
        steps.c.rgOrientation->SetTag(c.lastExplicit);
        ASSERT_TRUE(creator.CalculateLayout(nullptr));
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
    ASSERT_TRUE(creator.CalculateLayout(nullptr));
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
        ASSERT_TRUE(creator.CalculateLayout(nullptr));
        EXPECT_EQ(creator.Columns(), c.columns) << c.frames;
        EXPECT_EQ(creator.Rows(), c.rows) << c.frames;
        EXPECT_EQ(creator.PageCount(), c.pages) << c.frames;
        EXPECT_EQ(Picture(0, 0), (TBox{17, 0, 17 + 289, 100})) << c.frames;
    }
}

TEST_F(Layout, CellsWithSpacesAndLabels)
{
    // S = 3, T = 6 points; label 40 x 12; 2 x 2 on A4 without margins.
    steps.c.spedtImageSpace->setValue(1);
    steps.c.spedtTextSpace->setValue(2);
    steps.c.chbxLabelFrames->setChecked(true);
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
        steps.c.chbxCenterPageContents->setChecked(c.centre);
        ASSERT_TRUE(creator.CalculateLayout(nullptr));
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
    steps.c.spedtPageWidth->setValue(205);
    steps.c.spedtPageHeight->setValue(296);
    steps.c.chbxCenterPageContents->setChecked(true);
    MovieWidth = 2;
    MovieHeight = 1;
    ASSERT_TRUE(creator.CalculateLayout(nullptr));
    EXPECT_EQ(Picture(0, 0), (TBox{0, 274, 581, 274 + 290}));
}

TEST_F(Layout, LabelMayBeAsWideAsThePicture)
{
    steps.c.chbxLabelFrames->setChecked(true);
    selection.LabelHeight = 0;
    selection.LabelWidth = 595;
    EXPECT_TRUE(creator.CalculateLayout(steps.c.cmbxNonKeyFrameLabel));
    selection.LabelWidth = 596;
    EXPECT_FALSE(creator.CalculateLayout(steps.c.cmbxNonKeyFrameLabel));
    EXPECT_FALSE(creator.LayoutValid());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The label of the non-key frames is too long or"));
}

TEST_F(Layout, MarginFailureNamesTheChangedControl)
{
    struct Case {
        QSpinBox *margin;
        int value;
        const char *message;
    };
    const Case cases[] = {
        {steps.c.spedtPageLeftMargin, 210, "The left page margin is too large.\nSet smaller left page margin."},
        {steps.c.spedtPageRightMargin, 250, "The right page margin is too large.\nSet smaller right page margin."},
        {steps.c.spedtPageTopMargin, 297, "The top page margin is too large.\nSet smaller top page margin."},
        {steps.c.spedtPageBottomMargin, 300, "The bottom page margin is too large.\nSet smaller bottom page margin."},
    };
    for (const Case &c : cases) {
        messages.clear();
        c.margin->setValue(c.value);
        EXPECT_FALSE(creator.CalculateLayout(c.margin));
        EXPECT_EQ(messages, QStringList{c.message});
        c.margin->setValue(0);
        EXPECT_TRUE(creator.CalculateLayout(c.margin));
    }
}

TEST_F(Layout, FirstBreakingControlIsKept)
{
    Margins(5, 0, 5, 0);
    ASSERT_TRUE(creator.CalculateLayout(nullptr));
    steps.c.spedtPageWidth->setValue(10);
    EXPECT_FALSE(creator.CalculateLayout(steps.c.spedtPageWidth));
    steps.c.spedtPageTopMargin->setValue(300);
    EXPECT_FALSE(creator.CalculateLayout(steps.c.spedtPageTopMargin));
    const QString width = "The page width is too small.\nSet larger page width.";
    EXPECT_EQ(messages, (QStringList{width, width}));
    EXPECT_FALSE(creator.CreatePDF());
    EXPECT_EQ(messages.last(), width);

    // A success forgets it.
    steps.c.spedtPageWidth->setValue(210);
    steps.c.spedtPageTopMargin->setValue(0);
    ASSERT_TRUE(creator.CalculateLayout(nullptr));
    steps.c.spedtPageTopMargin->setValue(300);
    EXPECT_FALSE(creator.CalculateLayout(steps.c.spedtPageTopMargin));
    EXPECT_TRUE(messages.last().startsWith("The top page margin"));
}

TEST_F(Layout, MessagePerControl)
{
    const QString general =
        "The page preview cannot be created.\nSet smaller page dimensions or different page orientation\n"
        "or smaller page margins or  smaller font of the frame labels\nor shorter frame labels or less frames per page.";
    const TLayoutControls &c = steps.c;
    struct Case {
        QWidget *control;
        bool labelsOn, gridOn;
        QString message;
    };
    const Case cases[] = {
        {c.cmbxPageSize, false, false, "The dimensions of the page are too small.\nSet a page size with larger dimensions."},
        {c.spedtPageHeight, false, false, "The page height is too small.\nSet larger page height."},
        {c.rgOrientation, false, false, "The dimensions of the page are too small.\nSet different page orientation."},
        {c.spedtImageSpace, false, false, "The space around images is too large.\nSet smaller space around images."},
        {c.spedtTextSpace, false, false,
         "The space around image labels is too large.\nSet smaller space around image labels."},
        {c.chbxLabelFrames, true, false,
         "The font of the frame labels is too large or the frame labels are too long.\n"
         "Set smaller font of the frame labels or shorter frame labels."},
        {c.chbxLabelFrames, false, false, general},
        {c.cmbxKeyFrameLabel, true, false,
         "The label of the key frames is too long or the font of the frame labels is too large.\n"
         "Set shorter label of the key frames or smaller font of the frame labels."},
        {c.bitbtnEditNonKeyFrameLabel, true, false,
         "The label of the non-key frames is too long.\nSet shorter label of the non-key frames or press the Cancel button."},
        {c.bitbtnEditKeyFrameLabel, true, false,
         "The label of key frames is too long.\nSet shorter label of the key frames or press the Cancel button."},
        {c.bitbtnImageLabelsFont, true, false,
         "The font of the frame labels is too large.\nSet smaller font of the frame labels or press the Cancel button."},
        {c.chbxSetFramesPerPage, false, true, "Too many frames per page.\nSet less columns or rows per page."},
        {c.chbxSetFramesPerPage, false, false, general},
        {c.spedtColumnsPerPage, false, true, "Too many columns per page.\nSet less columns per page."},
        {c.spedtRowsPerPage, false, true, "Too many rows per page.\nSet less rows per page."},
        {c.chbxCenterPageContents, false, false, general},
        {&steps.layoutStep, false, false, general},
    };
    for (const Case &k : cases) {
        TPDFCreator fresh(&selection);
        fresh.SetControls(steps.c);
        steps.c.chbxLabelFrames->setChecked(k.labelsOn);
        steps.c.chbxSetFramesPerPage->setChecked(k.gridOn);
        // No usable height: every control's change fails.
        steps.c.spedtPageBottomMargin->setValue(297);
        messages.clear();
        shownSteps.clear();
        EXPECT_FALSE(fresh.CalculateLayout(k.control));
        EXPECT_EQ(messages, QStringList{k.message}) << k.control->metaObject()->className();
        // Only the specific messages bring up the control's step.
        EXPECT_EQ(shownSteps.size(), k.message == general ? 0 : 1);
    }
}

TEST_F(Layout, NoRecordedControlNoMessage)
{
    steps.c.spedtPageBottomMargin->setValue(297);
    EXPECT_FALSE(creator.CalculateLayout(nullptr));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Layout, ButtonsAreClickedAgainLater)
{
    steps.c.chbxLabelFrames->setChecked(true);
    selection.LabelWidth = 10000;
    int clicks = 0;
    QObject::connect(steps.c.bitbtnImageLabelsFont, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    EXPECT_FALSE(creator.CalculateLayout(steps.c.bitbtnImageLabelsFont));
    EXPECT_EQ(clicks, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);
}

TEST_F(Layout, SpinEditGetsFocusWithItsTextSelected)
{
    steps.pageStep.show();
    steps.pageStep.activateWindow();
    steps.c.spedtPageLeftMargin->setValue(300);
    EXPECT_FALSE(creator.CalculateLayout(steps.c.spedtPageLeftMargin));
    EXPECT_EQ(shownSteps, QVector<QWidget *>{steps.c.spedtPageLeftMargin});
    QCoreApplication::processEvents();
    EXPECT_TRUE(steps.c.spedtPageLeftMargin->hasFocus());
    auto *edit = steps.c.spedtPageLeftMargin->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->selectedText(), QString("300"));
}

TEST_F(Layout, NoMovieFrameGivesTheGeneralMessage)
{
    MovieWidth = 0;
    EXPECT_FALSE(creator.CalculateLayout(steps.c.spedtPageWidth));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The page preview cannot be created."));
}

TEST_F(Layout, PictureTooSmallToDrawFails)
{
    // Thousands of columns leave a positive scale but pictures of no pixel.
    Grid(5000, 1);
    EXPECT_FALSE(creator.CalculateLayout(steps.c.spedtColumnsPerPage));
    EXPECT_EQ(messages, QStringList{"Too many columns per page.\nSet less columns per page."});
}

} // namespace
