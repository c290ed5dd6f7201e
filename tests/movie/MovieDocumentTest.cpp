// A movie as the authoring tool's document: scenes, labels, key frames.
#include "movie/MovieDocument.h"

#include "engines/flashplayer/SwfReader.h"
#include "engines/flashplayer/SwfWriter.h"

#include <gtest/gtest.h>

namespace {

// Seven frames: a character placed, moved, a label, replaced, removed,
// nothing, another label.
SwfWriter timeline()
{
    SwfWriter w;
    w.setFrameSize({0, 2000, 0, 2000});
    for (uint16_t id = 1; id <= 2; ++id) {
        SwfShape box;
        box.styles.fills = {SwfFillStyle::solid(0, 0, 0)};
        box.setStyles(std::nullopt, 1u).moveTo(0, 0).polygon({{200, 0}, {0, 200}, {-200, 0}, {0, -200}});
        w.defineShape(1, id, {0, 200, 0, 200}, box);
    }
    w.placeObject2(SwfPlace{.depth = 1, .characterId = 1}).showFrame();
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .matrix = SwfMatrix{.translateX = 40}}).showFrame();
    w.frameLabel("look").showFrame();
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .characterId = 2}).showFrame();
    w.removeObject2(1).showFrame();
    w.showFrame();
    w.frameLabel("bye").showFrame();
    return w;
}

swf::Movie read(SwfWriter w)
{
    w.end();
    return swf::readMovie(w.bytes());
}

TEST(MovieDocument, ScenesCutLabelsAndEachStartsWithAKeyFrame)
{
    SwfWriter w = timeline();
    w.defineSceneAndFrameLabelData({{5, "End"}, {0, "Intro"}, {3, "Walk"}, {40, "Beyond"}}, {});
    const TSceneInfoArr scenes = DocumentScenes(read(w));
    ASSERT_EQ(scenes.size(), 3) << "the scene past the last frame is left out";
    struct Expected {
        const char *name;
        int first, count;
        IntArr keys;
        QStringList labels;
    };
    const Expected expected[] = {
        {"Intro", 0, 3, {0}, {"", "", "look"}},
        {"Walk", 3, 2, {0, 1}, {"", ""}}, // the label ends with its scene
        {"End", 5, 2, {0}, {"", "bye"}},
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(scenes[i].Name, expected[i].name);
        EXPECT_EQ(scenes[i].FirstFrame, expected[i].first) << i;
        EXPECT_EQ(scenes[i].FrameCount, expected[i].count) << i;
        EXPECT_EQ(scenes[i].KeyFrames, expected[i].keys) << i;
        EXPECT_EQ(scenes[i].FrameLabels, expected[i].labels) << i;
    }
}

TEST(MovieDocument, WithoutSceneDataOneSceneOrTheWholeMovie)
{
    const swf::Movie movie = read(timeline());
    const TSceneInfoArr scenes = DocumentScenes(movie);
    ASSERT_EQ(scenes.size(), 1);
    EXPECT_EQ(scenes[0].Name, "Scene 1");
    const TSceneInfo whole = WholeMovieScene(movie);
    EXPECT_EQ(whole.Name, QString());
    EXPECT_EQ(whole.FrameCount, 7);
    EXPECT_EQ(whole.KeyFrames, (IntArr{0, 3, 4}));
    EXPECT_EQ(whole.FrameLabels, (QStringList{"", "", "look", "look", "look", "look", "bye"}));
    EXPECT_EQ(scenes[0].KeyFrames, whole.KeyFrames);
}

} // namespace
