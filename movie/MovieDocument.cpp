#include "movie/MovieDocument.h"

#include "engines/flashplayer/SwfTypes.h"

#include <algorithm>

namespace {

int FrameCountOf(const swf::Movie &movie)
{
    // What the player shows: at least one frame, however few were read.
    return std::clamp(int(movie.frames.size()), 1, int(kMaxMovieFrames));
}

// Per frame of the movie: its label as it lasts, and whether it is a key
// frame; scene boundaries cut both.
struct Timeline {
    QStringList labels;
    QVector<bool> keys;
};

Timeline ReadTimeline(const swf::Movie &movie, const std::vector<int> &sceneStarts)
{
    const int count = FrameCountOf(movie);
    QStringList named(count);
    for (const swf::LabelledFrame &label : movie.frameLabels)
        if (label.frame < uint32_t(count))
            named[int(label.frame)] = label.name;
    Timeline t{QStringList(count), QVector<bool>(count, false)};
    QString current;
    for (int f = 0; f < count; ++f) {
        const bool sceneStart = std::binary_search(sceneStarts.begin(), sceneStarts.end(), f);
        if (sceneStart)
            current.clear();
        if (f < int(movie.frames.size())) {
            const swf::Frame &frame = movie.frames[size_t(f)];
            for (const swf::FrameLabel &label : frame.labels)
                if (!label.name.isEmpty()) {
                    current = label.name;
                    break;
                }
            if (frame.labels.empty() && !named[f].isEmpty())
                current = named[f];
            for (const swf::DisplayTag &tag : frame.tags) {
                const auto *place = std::get_if<swf::PlaceObject>(&tag);
                if (std::holds_alternative<swf::RemoveObject>(tag) || (place && place->characterId))
                    t.keys[f] = true;
            }
        } else if (!named[f].isEmpty()) {
            current = named[f];
        }
        t.labels[f] = current;
        t.keys[f] = t.keys[f] || sceneStart;
    }
    return t;
}

TSceneInfo SceneOf(const Timeline &t, const QString &name, int first, int end)
{
    TSceneInfo scene;
    scene.Name = name;
    scene.FirstFrame = first;
    scene.FrameCount = end - first;
    scene.FrameLabels = t.labels.mid(first, end - first);
    for (int f = first; f < end; ++f)
        if (t.keys[f])
            scene.KeyFrames << f - first;
    return scene;
}

} // namespace

TSceneInfoArr DocumentScenes(const swf::Movie &movie)
{
    const int count = FrameCountOf(movie);
    // Scenes in frame order; one starting past the end has no frames and is
    // left out, and the first always starts at the movie's first frame.
    std::vector<std::pair<int, QString>> starts;
    for (const swf::Scene &scene : movie.scenes)
        if (scene.frameOffset < uint32_t(count))
            starts.emplace_back(int(scene.frameOffset), scene.name);
    std::stable_sort(starts.begin(), starts.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    starts.erase(std::unique(starts.begin(), starts.end(), [](const auto &a, const auto &b) { return a.first == b.first; }),
                 starts.end());
    if (starts.empty())
        starts.emplace_back(0, QStringLiteral("Scene 1"));
    starts.front().first = 0;

    std::vector<int> offsets;
    for (const auto &start : starts)
        offsets.push_back(start.first);
    const Timeline t = ReadTimeline(movie, offsets);
    TSceneInfoArr scenes;
    for (size_t i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts[i + 1].first : count;
        scenes << SceneOf(t, starts[i].second, starts[i].first, end);
    }
    return scenes;
}

TSceneInfo WholeMovieScene(const swf::Movie &movie)
{
    const Timeline t = ReadTimeline(movie, {0});
    return SceneOf(t, QString(), 0, FrameCountOf(movie));
}
