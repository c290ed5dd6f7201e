#include "SheetFixture.h"
#include "sheet/LabelPatterns.h"

namespace {

const auto *const qtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

TEST(RemoveLabelFlag, TakesOneNeighbouringSpace)
{
    struct Case {
        const char *text, *flag, *expected;
    };
    const Case cases[] = {
        {"Scene <L> end", "<L>", "Scene end"},
        {"<L> *", "<L>", "*"},
        {"Frame <L>", "<L>", "Frame"},
        {"<l>", "<L>", ""},
        {"a <st> b <ST>c", "<ST>", "a bc"},
        {"x  <S>  y", "<S>", "x   y"},
        {"<S><S> z", "<S>", "z"},
        {"<ST> keeps", "<S>", "<ST> keeps"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RemoveLabelFlag(c.text, c.flag), QString(c.expected)) << c.text << " / " << c.flag;
}

class LabelExpansion : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedScenes = Scenes;
        savedName = MovieFileName;
        savedMode = IsSWFMode;
    }
    void TearDown() override
    {
        Scenes = savedScenes;
        MovieFileName = savedName;
        IsSWFMode = savedMode;
    }

    static TSceneInfo Scene(const QString &name, int first, int count)
    {
        TSceneInfo s;
        s.Name = name;
        s.FirstFrame = first;
        s.FrameCount = count;
        for (int i = 0; i < count; ++i)
            s.FrameLabels << QString();
        return s;
    }

    TSceneInfoArr savedScenes;
    QString savedName;
    bool savedMode = false;
};

TEST_F(LabelExpansion, SwfMode)
{
    IsSWFMode = true;
    struct Case {
        const char *file, *pattern, *label;
        int frameIndex;
        const char *expected;
    };
    const Case cases[] = {
        {"c:\\movies\\intro.swf", "<F> Frame <N>", "", 11, "\"intro.swf\" Frame 12"},
        {"/home/u/intro.swf", "<f> Frame <n>", "", 0, "\"intro.swf\" Frame 1"},
        {"intro.swf", "<S> Frame <NS>", "", 3, "Frame"},
        {"intro.swf", "<ST> Frame <L>", "", 3, "Frame"},
        {"intro.swf", "<ST> Frame <L>", "Go", 3, "Frame Go"},
        {"intro.swf", "frame <n>", "", 4, "frame 5"},
        {"intro.swf", "Plain text", "Go", 4, "Plain text"},
        // A label is rescanned for <N> only when the pattern holds it.
        {"intro.swf", "<L> / <N>", "at <N>", 6, "at 7 / 7"},
        {"intro.swf", "<L>", "at <N>", 6, "at <N>"},
        // The file name is rescanned by every later flag the pattern holds.
        {"/m/a<N>.swf", "<F> <N>", "", 1, "\"a2.swf\" 2"},
        {"/m/a<N>.swf", "<F>", "", 1, "\"a<N>.swf\""},
        {"/m/a<L>.swf", "<F> <L>", "", 1, "\"a.swf\""},
    };
    for (const Case &c : cases) {
        MovieFileName = c.file;
        Scenes = {Scene(QString(), 0, 20)};
        Scenes[0].FrameLabels[c.frameIndex] = c.label;
        TFrameSelection selection;
        selection.Frames = FramesOfScene(20);
        ExpandLabelTexts(selection, c.pattern, "<N> *");
        EXPECT_EQ(selection.Frames[c.frameIndex].LabelText, QString(c.expected)) << c.pattern << " / " << c.file;
    }
}

TEST_F(LabelExpansion, FlaMode)
{
    IsSWFMode = false;
    MovieFileName = "C:\\work\\show.fla";
    Scenes = {Scene("Intro", 0, 40), Scene(QString(), 40, 10), Scene("<N>", 50, 5)};
    Scenes[0].FrameLabels[2] = "<ST>";
    Scenes[0].FrameLabels[3] = "<S>";
    Scenes[1].FrameLabels[4] = "go";
    struct Case {
        const char *pattern;
        int scene, frameIndex;
        bool key;
        const char *expected;
    };
    const Case cases[] = {
        {"<S> Frame <NS>", 1, 4, false, "2 Frame 5"},
        {"Frame <N>", 1, 4, false, "Frame 45"},
        {"<ST> Frame <L> *", 1, 3, true, "Frame *"},
        {"<ST> Frame <L> *", 1, 4, true, "Frame go *"},
        {"<ST> Frame <L>", 0, 5, false, "Intro Frame"},
        {"<F> Frame <N>", 0, 0, false, "\"show.fla\" Frame 1"},
        {"<st>-<s>-<ns>-<n>", 2, 1, false, "<N>-3-2-52"},
        // A label brought in before later flags is rescanned by them...
        {"<L> <ST>", 0, 2, false, "Intro Intro"},
        // ...but never for a flag the pattern did not hold.
        {"<L>", 0, 3, false, "<S>"},
        {"<L> <S>", 0, 3, false, "1 1"},
        // A scene title comes last and stays as it is.
        {"<ST> <N>", 2, 0, false, "<N> 51"},
    };
    for (const Case &c : cases) {
        TFrameSelection selection;
        selection.Frames = FramesOfScene(1, c.scene);
        selection.Frames[0].FrameIndex = c.frameIndex;
        selection.Frames[0].IsKeyFrame = c.key;
        // The other pattern must not be the one used.
        const QString other = QStringLiteral("wrong <N>");
        ExpandLabelTexts(selection, c.key ? other : QString(c.pattern), c.key ? QString(c.pattern) : other);
        EXPECT_EQ(selection.Frames[0].LabelText, QString(c.expected)) << c.pattern;
    }
}

TEST_F(LabelExpansion, KeyPatternUnusedInSwfMode)
{
    IsSWFMode = true;
    MovieFileName = "a.swf";
    Scenes = {Scene(QString(), 0, 3)};
    TFrameSelection selection;
    selection.Frames = FramesOfScene(3);
    selection.Frames[1].IsKeyFrame = true;
    ExpandLabelTexts(selection, "F<N>", "K<N>");
    EXPECT_EQ(selection.Frames[1].LabelText, QString("F2"));
}

class LabelOperations : public LabelExpansion {
protected:
    void SetUp() override
    {
        LabelExpansion::SetUp();
        IsSWFMode = true;
        MovieFileName = "intro.swf";
        Scenes = {Scene(QString(), 0, 12)};
        Scenes[0].FrameLabels[10] = "A much longer frame label";
        selection.Frames = FramesOfScene(12);
        s.NonKeyFrameLabel = "Frame <L>";
    }
    TSheetSettings s = PlainSettings();
    TFrameSelection selection;
};

TEST_F(LabelOperations, LabelsOffClearEverything)
{
    s.LabelFrames = false;
    for (auto op : {&UpdateFrameLabels, &ExpandFrameLabels, &MeasureFrameLabels}) {
        for (TFrame &f : selection.Frames)
            f.LabelText = "old";
        selection.LabelWidth = selection.LabelHeight = 9;
        op(selection, s);
        for (const TFrame &f : selection.Frames)
            EXPECT_TRUE(f.LabelText.isEmpty());
        EXPECT_EQ(selection.LabelWidth, 0);
        EXPECT_EQ(selection.LabelHeight, 0);
    }
}

TEST_F(LabelOperations, ExtentIsTheWidestAndTallestLabel)
{
    s.LabelFrames = true;
    UpdateFrameLabels(selection, s);
    EXPECT_EQ(selection.Frames[0].LabelText, QString("Frame"));
    EXPECT_EQ(selection.Frames[10].LabelText, QString("Frame A much longer frame label"));
    const QFont font = s.LabelFont;
    const QSize widest = MeasureLabel(selection.Frames[10].LabelText, font);
    EXPECT_EQ(selection.LabelWidth, widest.width());
    EXPECT_EQ(selection.LabelHeight, widest.height());
    EXPECT_GT(widest.width(), MeasureLabel("Frame", font).width());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A new font is measured without expanding again.
    selection.Frames[0].LabelText = "x";
    s.LabelFont = QFont(QStringLiteral("DejaVu Sans"), 24);
    MeasureFrameLabels(selection, s);
    EXPECT_EQ(selection.Frames[0].LabelText, QString("x"));
    EXPECT_GT(selection.LabelWidth, widest.width() * 3 / 2);
    EXPECT_GT(selection.LabelHeight, widest.height() * 3 / 2);
}

TEST_F(LabelOperations, EmptySelectionMeasuresNothing)
{
    s.LabelFrames = true;
    selection.Frames.clear();
    ExpandFrameLabels(selection, s);
    EXPECT_EQ(selection.LabelWidth, 0);
    EXPECT_EQ(selection.LabelHeight, 0);
}

TEST(MeasureLabel, PointsAtTheFontSize)
{
    const QFont font(QStringLiteral("DejaVu Sans"), 10);
    EXPECT_EQ(MeasureLabel(QString(), font).width(), 0);
    const QSize small = MeasureLabel("Frame 12", font);
    QFont big(font);
    big.setPointSize(20);
    const QSize large = MeasureLabel("Frame 12", big);
    // Twice the size, twice the extent, give or take the rounding up.
    EXPECT_NEAR(large.width(), 2 * small.width(), 2);
    EXPECT_NEAR(large.height(), 2 * small.height(), 2);
    // A 10 point font's line is some 10 to 14 points high at any screen.
    EXPECT_GE(small.height(), 10);
    EXPECT_LE(small.height(), 14);
}

} // namespace
