#include "core/FrameChoice.h"

#include <gtest/gtest.h>

namespace {
using F = TFrameFilter;

// Scenes one after another in the movie, none labelled.
TSceneInfoArr movie(const QVector<QPair<int32_t, IntArr>> &scenes, int32_t firstFrame = 0)
{
    TSceneInfoArr arr;
    for (const auto &[count, keys] : scenes) {
        arr.append({QString(), count, firstFrame, keys, QStringList(count, QString())});
        firstFrame += count;
    }
    return arr;
}

// "scene.frame=movie", a "*" for key frames, one per chosen frame.
std::string render(const TFrameChoice &choice)
{
    QStringList parts;
    for (const TChosenFrame &f : choice.Frames)
        parts << QStringLiteral("%1.%2=%3%4").arg(f.SceneIndex).arg(f.FrameIndex).arg(f.MovieFrame).arg(f.IsKeyFrame ? QStringLiteral("*") : QString());
    return parts.join(' ').toStdString();
}

IntArr range(int32_t first, int32_t last)
{
    IntArr v;
    for (int32_t i = first; i <= last; ++i)
        v << i;
    return v;
}
} // namespace

struct OneSceneCase {
    int32_t firstFrame, frameCount;
    F filter;
    int32_t n;
    const char *text;
    IntArr movieFrames;
};
void PrintTo(const OneSceneCase &c, std::ostream *os)
{
    *os << FrameFilterCaption(c.filter).toStdString() << " n=" << c.n << " \"" << c.text << "\" of " << c.frameCount;
}

class FrameChoiceOneScene : public ::testing::TestWithParam<OneSceneCase> {};

TEST_P(FrameChoiceOneScene, PicksTheFiltersFrames)
{
    const OneSceneCase &c = GetParam();
    const TSceneInfoArr scenes = movie({{c.frameCount, {}}}, c.firstFrame);
    const TFrameChoice choice = ChooseFrames(scenes, {0}, c.filter, c.n, QString::fromUtf8(c.text));
    ASSERT_TRUE(choice.Error.isEmpty());
    IntArr got;
    for (const TChosenFrame &f : choice.Frames) {
        EXPECT_EQ(f.FrameIndex, f.MovieFrame - c.firstFrame);
        got << f.MovieFrame;
    }
    EXPECT_EQ(got, c.movieFrames);
}

INSTANTIATE_TEST_SUITE_P(
    FrameChoice, FrameChoiceOneScene,
    ::testing::Values(
        OneSceneCase{0, 25, F::ATotalOf, 10, "", {0, 3, 5, 8, 11, 13, 16, 19, 21, 24}},
        OneSceneCase{0, 4, F::ATotalOf, 10, "", {0, 1, 2, 3}},          // more asked than shown
        OneSceneCase{0, 4, F::ATotalOf, 2147483647, "", {0, 1, 2, 3}},
        OneSceneCase{0, 5, F::ATotalOf, 1, "", {0}},
        OneSceneCase{0, 1, F::ATotalOf, 5, "", {0}},
        OneSceneCase{0, 4, F::ATotalOf, 3, "", {0, 2, 3}},              // 1.5 goes up to even
        OneSceneCase{0, 6, F::ATotalOf, 3, "", {0, 2, 5}},              // 2.5 goes down to even
        OneSceneCase{0, 10, F::ATotalOf, 5, "", {0, 2, 4, 7, 9}},       // 4.5 too
        OneSceneCase{0, 25, F::OneFrameFromEvery, 10, "", {0, 10, 24}},
        OneSceneCase{0, 20, F::OneFrameFromEvery, 10, "", {0, 19}},       // 19 div 10 + 1 = 2
        OneSceneCase{0, 25, F::OneFrameFromEvery, 25, "", {24}},
        OneSceneCase{0, 3, F::OneFrameFromEvery, 2147483647, "", {2}},
        OneSceneCase{0, 1, F::OneFrameFromEvery, 1, "", {0}},
        OneSceneCase{0, 3, F::OneFrameFromEvery, 0, "", {0, 1, 2}},     // no value counts as 1
        OneSceneCase{0, 5, F::AllFrames, 0, "", {0, 1, 2, 3, 4}},
        OneSceneCase{0, 0, F::AllFrames, 0, "", {}},
        OneSceneCase{0, 10, F::SelectedFrames, 0, "7-5,1,1,0", {0, 4, 5, 6}},
        OneSceneCase{0, 10, F::SelectedFrames, 0, "3,50,99", {2}},
        OneSceneCase{0, 10, F::SelectedFrames, 0, "1-2147483647", range(0, 9)},
        OneSceneCase{0, 10, F::SelectedFrames, 0, "99999999999999999999999,2", {1}},
        OneSceneCase{0, 10, F::SelectedFrames, 0, " 2 , 4  6,\"9-8\"\t10 ", {1, 3, 5, 7, 8, 9}},
        // A capture from movie frame 41 on: numbers count in the movie.
        OneSceneCase{40, 10, F::SelectedFrames, 0, "40,41,50,51", {40, 49}},
        OneSceneCase{40, 10, F::OneFrameFromEvery, 4, "", {40, 44, 49}}));

struct ScenesCase {
    IntArr shown;
    F filter;
    int32_t n;
    const char *text;
    const char *expected;
};
void PrintTo(const ScenesCase &c, std::ostream *os)
{
    *os << FrameFilterCaption(c.filter).toStdString() << " n=" << c.n << " \"" << c.text << "\" -> " << c.expected;
}

class FrameChoiceScenes : public ::testing::TestWithParam<ScenesCase> {};

// Scene 2 is empty; scene 1 (movie frames 3-6) is hidden in most rows.
TEST_P(FrameChoiceScenes, PositionsMapToSceneAndMovieFrame)
{
    const TSceneInfoArr scenes = movie({{3, {0, 2}}, {4, {1, 0}}, {0, {}}, {5, {0, 3}}, {2, {1}}});
    const ScenesCase &c = GetParam();
    const TFrameChoice choice = ChooseFrames(scenes, c.shown, c.filter, c.n, QString::fromUtf8(c.text));
    EXPECT_TRUE(choice.Error.isEmpty());
    EXPECT_EQ(render(choice), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    FrameChoice, FrameChoiceScenes,
    ::testing::Values(
        ScenesCase{{0, 2, 3, 4}, F::AllFrames, 0, "", "0.0=0* 0.1=1 0.2=2* 3.0=7* 3.1=8 3.2=9 3.3=10* 3.4=11 4.0=12 4.1=13*"},
        ScenesCase{{0, 2, 3, 4}, F::KeyFrames, 0, "", "0.0=0* 0.2=2* 3.0=7* 3.3=10* 4.1=13*"},
        ScenesCase{{1, 3}, F::KeyFrames, 0, "", "1.0=3* 1.1=4* 3.0=7* 3.3=10*"},
        ScenesCase{{0, 2, 3, 4}, F::OneFrameFromEvery, 2, "", "0.0=0* 0.2=2* 3.1=8 3.3=10* 4.1=13*"},
        ScenesCase{{0, 2, 3, 4}, F::ATotalOf, 3, "", "0.0=0* 3.1=8 4.1=13*"},
        ScenesCase{{0, 3}, F::SelectedFrames, 0, "1-20", "0.0=0* 0.1=1 0.2=2* 3.0=7* 3.1=8 3.2=9 3.3=10* 3.4=11"},
        ScenesCase{{0, 2, 3, 4}, F::SelectedFrames, 0, "4-7,13", "4.0=12"},       // hidden scene dropped
        ScenesCase{{1, 3}, F::SelectedFrames, 0, "1,4,12,13", "1.0=3* 3.4=11"},   // below and beyond
        ScenesCase{{}, F::AllFrames, 0, "", ""},
        ScenesCase{{}, F::SelectedFrames, 0, "1", ""},
        ScenesCase{{2}, F::ATotalOf, 1, "", ""},
        ScenesCase{{2}, F::OneFrameFromEvery, 10, "", ""}));

TEST(FrameChoiceHugeValues, NeitherOverflowsNorAllocatesBeyondTheMovie)
{
    const TSceneInfoArr scenes = movie({{kMaxMovieFrames, {}}});
    const TFrameChoice total = ChooseFrames(scenes, {0}, F::ATotalOf, 2147483647, {});
    ASSERT_EQ(total.Frames.size(), kMaxMovieFrames);
    for (int i = 0; i < kMaxMovieFrames; ++i)
        ASSERT_EQ(total.Frames[i].MovieFrame, i);
    EXPECT_EQ(render(ChooseFrames(scenes, {0}, F::OneFrameFromEvery, 2147483647, {})), "0.65534=65534");
    EXPECT_EQ(ChooseFrames(scenes, {0}, F::SelectedFrames, 0, "2147483647-1,0-99999999999").Frames.size(), kMaxMovieFrames);
    EXPECT_EQ(ParseSelectedFrames("1-2147483647")->size(), kMaxMovieFrames);
    EXPECT_EQ(*ParseSelectedFrames("2147483647-3", 5), (IntArr{3, 4, 5}));
}

TEST(FrameChoiceSelectedFrames, ParsesSortedWithoutDuplicates)
{
    EXPECT_EQ(*ParseSelectedFrames("7-5,1,1,0"), (IntArr{0, 1, 5, 6, 7}));
    EXPECT_EQ(*ParseSelectedFrames("2-4 3-6,\"9\""), (IntArr{2, 3, 4, 5, 6, 9}));
}

TEST(FrameChoiceSelectedFrames, InvalidTextIsAnErrorWhateverIsShown)
{
    const TSceneInfoArr scenes = movie({{10, {}}});
    for (const char *text : {"", "   ", "5-", "-5", "1,,2", "1,", ",1", "a", "1-2-3", "+5", "1.5", "\"\"", "\"1,2\"",
                             "\"1 - 2\"", "\xd9\xa3"}) {
        EXPECT_FALSE(ParseSelectedFrames(QString::fromUtf8(text))) << text;
        for (const IntArr &shown : {IntArr{0}, IntArr{}}) {
            const TFrameChoice choice = ChooseFrames(scenes, shown, F::SelectedFrames, 0, QString::fromUtf8(text));
            EXPECT_EQ(choice.Error, "Invalid frame range.") << text;
            EXPECT_TRUE(choice.Frames.isEmpty());
        }
    }
}

TEST(FrameChoiceScenesShown, AllOrTheCheckedOnesInSceneOrder)
{
    EXPECT_EQ(ShownScenes(4, true, {}), (IntArr{0, 1, 2, 3}));
    EXPECT_EQ(ShownScenes(4, false, {3, 0, 3, 9, -1}), (IntArr{0, 3}));
    EXPECT_EQ(ShownScenes(4, false, {}), IntArr{});
}

TEST(FrameChoiceFilters, CaptionsInListOrder)
{
    const QStringList expected{"Key Frames (*)", "A Total of", "One Frame From Every", "Selected Frames", "All Frames"};
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(FrameFilterCaption(TFrameFilter(i)), expected[i]);
        EXPECT_EQ(FrameFilterFromCaption(expected[i]), TFrameFilter(i));
    }
    EXPECT_FALSE(FrameFilterFromCaption("Key Frames"));
}

TEST(FrameChoiceCaptions, BothModesWithLabelAndKeyFrameMarks)
{
    TSceneInfoArr swf = movie({{20, {}}});
    EXPECT_EQ(FrameCaption(swf, MakeChosenFrame(swf, 0, 11), true), "F 12");
    swf[0].FrameLabels[11] = "intro";
    EXPECT_EQ(FrameCaption(swf, MakeChosenFrame(swf, 0, 11), true), "+ F 12");

    // Frame 5 of scene 2 is frame 37 of the file.
    TSceneInfoArr fla = movie({{32, {0}}, {10, {0, 4}}});
    EXPECT_EQ(FrameCaption(fla, MakeChosenFrame(fla, 1, 4), false), "2. F 5/37 *");
    EXPECT_EQ(FrameCaption(fla, MakeChosenFrame(fla, 1, 5), false), "2. F 6/38");
    fla[1].FrameLabels[4] = fla[1].FrameLabels[5] = "end";
    EXPECT_EQ(FrameCaption(fla, MakeChosenFrame(fla, 1, 5), false), "+ 2. F 6/38");
    fla[1].KeyFrames = {0};
    EXPECT_EQ(FrameCaption(fla, MakeChosenFrame(fla, 1, 4), false), "+ 2. F 5/37");
}
