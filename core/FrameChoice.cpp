#include "core/FrameChoice.h"

#include "core/Startup.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>

namespace {
const std::array<QString, 5> kFilterCaptions{
    QStringLiteral("Key Frames (*)"), QStringLiteral("A Total of"), QStringLiteral("One Frame From Every"),
    QStringLiteral("Selected Frames"), QStringLiteral("All Frames")};

// Frame numbers are held in 64 bits and saturate here: anything this large
// lies beyond every movie, so its exact value never matters.
constexpr int64_t kNumberCap = int64_t(1) << 40;

struct TFrameRange {
    int64_t First;
    int64_t Last;
};

std::optional<int64_t> parseNumber(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    int64_t value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = std::min(kNumberCap, value * 10 + (c.unicode() - '0'));
    }
    return value;
}

// The text's numbers as sorted, disjoint ranges, so that "1-2147483647"
// stays one entry until someone clips it.
std::optional<QVector<TFrameRange>> parseRanges(const QString &text)
{
    const QStringList elements = SplitCommaText(text);
    if (elements.isEmpty())
        return std::nullopt;
    QVector<TFrameRange> ranges;
    for (const QString &element : elements) {
        const qsizetype dash = element.indexOf(QLatin1Char('-'));
        const auto first = parseNumber(dash < 0 ? element : element.left(dash));
        const auto last = dash < 0 ? first : parseNumber(element.mid(dash + 1));
        if (!first || !last)
            return std::nullopt;
        ranges.append({std::min(*first, *last), std::max(*first, *last)});
    }
    std::sort(ranges.begin(), ranges.end(), [](const TFrameRange &a, const TFrameRange &b) { return a.First < b.First; });
    QVector<TFrameRange> merged;
    for (const TFrameRange &r : ranges) {
        if (!merged.isEmpty() && r.First <= merged.last().Last + 1)
            merged.last().Last = std::max(merged.last().Last, r.Last);
        else
            merged.append(r);
    }
    return merged;
}

struct TShownScene {
    int32_t Index;
    int64_t FirstFrame;
    int64_t FrameCount;
    int64_t Base;   // position of its first frame among the shown frames
    IntArr KeyFrames;   // ascending, without duplicates, within the scene
};

IntArr sortedKeyFrames(const TSceneInfo &scene)
{
    IntArr keys;
    for (int32_t k : scene.KeyFrames)
        if (k >= 0 && k < scene.FrameCount)
            keys.append(k);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}
} // namespace

QString FrameFilterCaption(TFrameFilter filter)
{
    return kFilterCaptions.at(size_t(filter));
}

std::optional<TFrameFilter> FrameFilterFromCaption(const QString &text)
{
    for (size_t i = 0; i < kFilterCaptions.size(); ++i)
        if (kFilterCaptions[i] == text)
            return TFrameFilter(i);
    return std::nullopt;
}

IntArr ShownScenes(int32_t sceneCount, bool allChecked, const IntArr &checkedScenes)
{
    IntArr shown;
    for (int32_t i = 0; i < sceneCount; ++i)
        if (allChecked || checkedScenes.contains(i))
            shown.append(i);
    return shown;
}

std::optional<IntArr> ParseSelectedFrames(const QString &text, int32_t maxFrame)
{
    const auto ranges = parseRanges(text);
    if (!ranges)
        return std::nullopt;
    IntArr numbers;
    for (const TFrameRange &r : *ranges)
        for (int64_t n = r.First; n <= std::min<int64_t>(r.Last, maxFrame); ++n)
            numbers.append(int32_t(n));
    return numbers;
}

TChosenFrame MakeChosenFrame(const TSceneInfoArr &scenes, int32_t sceneIndex, int32_t frameIndex)
{
    const TSceneInfo &scene = scenes.at(sceneIndex);
    return {sceneIndex, frameIndex, frameIndex + scene.FirstFrame, scene.KeyFrames.contains(frameIndex)};
}

TFrameChoice ChooseFrames(const TSceneInfoArr &scenes, const IntArr &shownScenes, TFrameFilter filter, int32_t n,
                          const QString &selectedFrames)
{
    TFrameChoice choice;
    QVector<TFrameRange> ranges;
    if (filter == TFrameFilter::SelectedFrames) {
        // The text is judged even when no frame is shown.
        auto parsed = parseRanges(selectedFrames);
        if (!parsed) {
            choice.Error = kInvalidFrameRange;
            return choice;
        }
        ranges = std::move(*parsed);
    }

    QVector<TShownScene> shown;
    int64_t E = 0;
    for (int32_t index : shownScenes) {
        if (index < 0 || index >= scenes.size())
            continue;
        const TSceneInfo &scene = scenes[index];
        const int64_t count = std::max(0, scene.FrameCount);
        shown.append({index, scene.FirstFrame, count, E, sortedKeyFrames(scene)});
        E += count;
    }
    const int64_t N = std::max(1, n);

    QVector<int64_t> positions;
    switch (filter) {
    case TFrameFilter::KeyFrames:
        for (const TShownScene &s : shown)
            for (int32_t k : s.KeyFrames)
                positions.append(s.Base + k);
        break;
    case TFrameFilter::ATotalOf:
        if (E == 0)
            break;
        if (E == 1 || N == 1) {
            positions.append(0);
        } else {
            const int64_t c = std::min(N, E);
            const double step = double(E - 1) / double(c - 1);
            positions.reserve(c);
            // nearbyint keeps the default rounding mode: halves to even.
            for (int64_t j = 0; j < c; ++j)
                positions.append(std::min(E - 1, int64_t(std::nearbyint(double(j) * step))));
        }
        break;
    case TFrameFilter::OneFrameFromEvery:
        if (E == 0)
            break;
        {
            const int64_t c = (E - 1) / N + 1;
            positions.reserve(c);
            for (int64_t j = 0; j < c - 1; ++j)
                positions.append(j * N);
            positions.append(E - 1);
        }
        break;
    case TFrameFilter::SelectedFrames:
        // A 1-based number outside the shown scenes has no position: below
        // the first, beyond the last or in a hidden scene between, it is
        // dropped. Clipping each range to a scene keeps a huge one cheap.
        for (const TShownScene &s : shown) {
            const int64_t low = s.FirstFrame + 1;
            const int64_t high = s.FirstFrame + s.FrameCount;
            for (const TFrameRange &r : ranges)
                for (int64_t number = std::max(r.First, low); number <= std::min(r.Last, high); ++number)
                    positions.append(s.Base + number - low);
        }
        break;
    case TFrameFilter::AllFrames:
        positions.reserve(E);
        for (int64_t p = 0; p < E; ++p)
            positions.append(p);
        break;
    }

    choice.Frames.reserve(positions.size());
    qsizetype s = 0;
    for (int64_t position : positions) {
        // Positions ascend, so the scene that holds one is found walking on.
        while (position >= shown[s].Base + shown[s].FrameCount)
            ++s;
        const TShownScene &scene = shown[s];
        const int32_t f = int32_t(position - scene.Base);
        choice.Frames.append({scene.Index, f, int32_t(f + scene.FirstFrame),
                              std::binary_search(scene.KeyFrames.begin(), scene.KeyFrames.end(), f)});
    }
    return choice;
}

QString FrameCaption(const TSceneInfoArr &scenes, const TChosenFrame &frame, bool swfMode)
{
    bool labelled = false;
    if (frame.SceneIndex >= 0 && frame.SceneIndex < scenes.size()) {
        const QStringList &labels = scenes[frame.SceneIndex].FrameLabels;
        labelled = frame.FrameIndex >= 0 && frame.FrameIndex < labels.size() && !labels[frame.FrameIndex].isEmpty();
    }
    const QString prefix = labelled ? QStringLiteral("+ ") : QString();
    if (swfMode)
        return prefix + QStringLiteral("F %1").arg(frame.MovieFrame + 1);
    return prefix + QStringLiteral("%1. F %2/%3%4")
                        .arg(frame.SceneIndex + 1)
                        .arg(frame.FrameIndex + 1)
                        .arg(frame.MovieFrame + 1)
                        .arg(frame.IsKeyFrame ? QStringLiteral(" *") : QString());
}
