#include "core/Startup.h"

#include <gtest/gtest.h>

namespace {
const QChar Q1(0x01), SCENE(0x02), FIELD(0x03), ITEM(0x04);

QString str(const char *s) { return QString::fromUtf8(s); }
} // namespace

struct SplitCase {
    const char *line;
    QStringList expected;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsLikeTheLauncher)
{
    EXPECT_EQ(SplitCommandLine(str(GetParam().line)), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"", {}}, SplitCase{"   \t ", {}}, SplitCase{"prog", {"prog"}},
        SplitCase{"prog a b", {"prog", "a", "b"}},
        SplitCase{"\"C:\\My Movies\\x.swf\"", {"C:\\My Movies\\x.swf"}},
        SplitCase{"prog \"\" next", {"prog", "next"}},           // empty quoted argument skipped
        SplitCase{"prog a\"b c\"d", {"prog", "ab cd"}},           // quotes inside an argument
        SplitCase{"prog \"unterminated arg", {"prog", "unterminated arg"}},
        SplitCase{"a\tb\nc\x01" "d", {"a", "b", "c", "d"}},       // control characters separate
        SplitCase{"\"a\x03" "b\"", {"a\x03" "b"}},                // ...but not inside quotes
        SplitCase{"\"\"\"\"", {}}));

TEST(JoinCommandLine, RoundTripsThroughTheSplitter)
{
    const QStringList args{"/opt/tessory/Kavrel", "/home/u/my movie.fla", "550", "400",
                           QString("S1") + FIELD + "3" + FIELD + FIELD + FIELD + SCENE, "0", "12345"};
    EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
}

TEST(SplitCommaText, BlanksAndCommasSeparateQuotesGroup)
{
    EXPECT_EQ(SplitCommaText("\"/bin/Kavrel\" \"/tmp/a b.swf\""), (QStringList{"/bin/Kavrel", "/tmp/a b.swf"}));
    EXPECT_EQ(SplitCommaText("a,b c"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaText("a,,b"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\""), (QStringList{"say \"hi\""}));
    EXPECT_EQ(SplitCommaText(""), QStringList{});
}

TEST(SplitTerminated, DropsTheUnterminatedTail)
{
    EXPECT_EQ(SplitTerminated("", ';'), QStringList{});
    EXPECT_EQ(SplitTerminated("a;b;", ';'), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitTerminated("a;b", ';'), (QStringList{"a"}));
    EXPECT_EQ(SplitTerminated(";;", ';'), (QStringList{"", ""}));
}

TEST(ParseSceneList, DecodesTheLaunchExample)
{
    const QString list = QString("Scene 1") + FIELD + "10" + FIELD + "0" + ITEM + "5" + ITEM + FIELD + "intro" + ITEM +
                         "0" + ITEM + "5" + ITEM + FIELD + SCENE;
    const TSceneInfoArr scenes = ParseSceneList(list);
    ASSERT_EQ(scenes.size(), 1);
    EXPECT_EQ(scenes[0].Name, "Scene 1");
    EXPECT_EQ(scenes[0].FrameCount, 10);
    EXPECT_EQ(scenes[0].KeyFrames, (IntArr{0, 5}));
    ASSERT_EQ(scenes[0].FrameLabels.size(), 10);
    for (int f = 0; f < 10; ++f)
        EXPECT_EQ(scenes[0].FrameLabels[f], f < 5 ? "intro" : "") << f;
}

static QString scene(const QString &name, int count, const QString &labels)
{
    return name + FIELD + QString::number(count) + FIELD + FIELD + labels + FIELD + SCENE;
}

TEST(ParseSceneList, EdgeCases)
{
    EXPECT_TRUE(ParseSceneList("").isEmpty());

    // First frames accumulate; an empty label field gives only empty labels.
    const TSceneInfoArr three = ParseSceneList(scene("a", 10, "") + scene("b", 5, "") + scene("c", 7, ""));
    ASSERT_EQ(three.size(), 3);
    EXPECT_EQ(three[0].FirstFrame, 0);
    EXPECT_EQ(three[1].FirstFrame, 10);
    EXPECT_EQ(three[2].FirstFrame, 15);
    EXPECT_EQ(three[1].FrameLabels, QStringList(5, QString()));

    // 0x01 stands for a double quote in names and labels.
    const TSceneInfoArr quoted = ParseSceneList(scene(QString("say ") + Q1 + "hi" + Q1, 2, QString("x") + Q1 + ITEM + "1" + ITEM + "1" + ITEM));
    EXPECT_EQ(quoted[0].Name, "say \"hi\"");
    EXPECT_EQ(quoted[0].FrameLabels, (QStringList{"", "x\""}));

    // A label triple cut short is ignored; spans are clipped to the scene.
    const TSceneInfoArr cut = ParseSceneList(scene("s", 3, QString("a") + ITEM + "0" + ITEM + "1" + ITEM + "b" + ITEM + "1" + ITEM));
    EXPECT_EQ(cut[0].FrameLabels, (QStringList{"a", "", ""}));
    const TSceneInfoArr clipped = ParseSceneList(scene("s", 3, QString("a") + ITEM + "-2" + ITEM + "3" + ITEM + "b" + ITEM + "2" + ITEM + "99" + ITEM));
    EXPECT_EQ(clipped[0].FrameLabels, (QStringList{"a", "", "b"}));
    const TSceneInfoArr huge = ParseSceneList(scene("s", 2, QString("a") + ITEM + "2147483647" + ITEM + "2147483647" + ITEM));
    EXPECT_EQ(huge[0].FrameLabels, (QStringList{"", ""}));
}

TEST(ParseSceneList, RefusesMoreFramesThanAMovieCanHold)
{
    // 2^31 frames would make a label list of 2^31 entries.
    EXPECT_THROW(ParseSceneList(scene("s", 2147483647, "")), StartupError);
    // The limit counts all scenes together.
    EXPECT_EQ(ParseSceneList(scene("a", 40000, "") + scene("b", 25535, "")).size(), 2);
    EXPECT_THROW(ParseSceneList(scene("a", 40000, "") + scene("b", 25536, "")), StartupError);
}

TEST(ParseSceneList, RefusesNonNumericFields)
{
    const QString badCount = QString("s") + FIELD + "ten" + FIELD + FIELD + FIELD + SCENE;
    EXPECT_THROW(ParseSceneList(badCount), StartupError);
    const QString badKey = QString("s") + FIELD + "3" + FIELD + "1x" + ITEM + FIELD + FIELD + SCENE;
    EXPECT_THROW(ParseSceneList(badKey), StartupError);
    const QString negative = QString("s") + FIELD + "-3" + FIELD + FIELD + FIELD + SCENE;
    EXPECT_THROW(ParseSceneList(negative), StartupError);
}

TEST(LaunchIntegers, DecimalOnly)
{
    EXPECT_EQ(ParseLaunchInteger("550", "w"), 550);
    EXPECT_EQ(ParseLaunchInteger("-7", "w"), -7);
    for (const char *bad : {"", "12px", "0x10", " 5", "99999999999", "+", "$1F"})
        EXPECT_THROW(ParseLaunchInteger(bad, "w"), StartupError) << bad;
    EXPECT_EQ(ParseLaunchUnsigned("4294967295", "h"), 4294967295u);
    for (const char *bad : {"-1", "+1", "4294967296", "x"})
        EXPECT_THROW(ParseLaunchUnsigned(bad, "h"), StartupError) << bad;
}

TEST(ModeDecision, SixArgumentsWithAControlCharacter)
{
    const QString list = QString("s") + FIELD + "1" + FIELD + FIELD + FIELD + SCENE;
    const QStringList fla{"prog", "doc.fla", "550", "400", list, "0", "77"};
    EXPECT_TRUE(IsFlaLaunch(fla, JoinCommandLine(fla)));
    QStringList noMark = fla;
    noMark[4] = "plain";
    EXPECT_FALSE(IsFlaLaunch(noMark, JoinCommandLine(noMark)));
    QStringList five = fla;
    five.removeAt(1); // an empty document path is not counted
    EXPECT_FALSE(IsFlaLaunch(five, JoinCommandLine(five)));
    QStringList seven = fla;
    seven << "extra";
    EXPECT_FALSE(IsFlaLaunch(seven, JoinCommandLine(seven)));
}

TEST(SharedModel, FlaLaunchFillsTheModelAndRejectsBadNumbers)
{
    const QString list = QString("Main") + FIELD + "4" + FIELD + "0" + ITEM + FIELD + FIELD + SCENE;
    QStringList args{"/nowhere/Kavrel", "/docs/intro.fla", "550", "400", list, "0", "99"};
    InitSharedModel(args, JoinCommandLine(args), "/nowhere/Kavrel");
    EXPECT_FALSE(IsSWFMode);
    EXPECT_EQ(MovieFileName, "/docs/intro.fla");
    EXPECT_EQ(MovieWidth, 550);
    EXPECT_EQ(Scenes.size(), 1);
    EXPECT_EQ(AppTitle, "Tessory v0.0"); // no readable version: "0.0"
    ASSERT_NE(FrameSelection, nullptr);
    EXPECT_EQ(FrameSelection->FrameCount(), 0);
    FreeFrameSelection();

    args[2] = "wide";
    EXPECT_THROW(InitSharedModel(args, JoinCommandLine(args), "/nowhere/Kavrel"), StartupError);
    FreeFrameSelection();

    const QStringList swf{"/nowhere/Kavrel", "movie.swf"};
    InitSharedModel(swf, JoinCommandLine(swf), "/nowhere/Kavrel");
    EXPECT_TRUE(IsSWFMode);
    ASSERT_EQ(Scenes.size(), 1);
    EXPECT_EQ(Scenes[0].FrameCount, 0);
    FreeFrameSelection();
    ClearSharedModel();
}
