#include "engines/flashplayer/SwfTimeline.h"

#include <algorithm>

namespace swf {
namespace {

std::vector<DisplayObject>::iterator findDepth(std::vector<DisplayObject> &list, uint16_t depth)
{
    return std::lower_bound(list.begin(), list.end(), depth,
                            [](const DisplayObject &o, uint16_t d) { return o.depth < d; });
}

void applyFields(DisplayObject &object, const PlaceObject &tag)
{
    if (tag.matrix)
        object.matrix = *tag.matrix;
    if (tag.colorTransform)
        object.colorTransform = *tag.colorTransform;
    if (tag.ratio)
        object.ratio = *tag.ratio;
    if (tag.clipDepth)
        object.clipDepth = *tag.clipDepth;
    if (tag.filters)
        object.filters = tag.filters->empty() ? nullptr : std::make_shared<const std::vector<Filter>>(*tag.filters);
    if (tag.blendMode)
        object.blendMode = *tag.blendMode;
    if (tag.cacheAsBitmap)
        object.cacheAsBitmap = *tag.cacheAsBitmap;
    if (tag.visible)
        object.visible = *tag.visible;
    if (tag.backgroundColor)
        object.opaqueBackground = *tag.backgroundColor;
}

size_t countObjects(const std::vector<DisplayObject> &list)
{
    size_t n = list.size();
    for (const DisplayObject &o : list)
        n += countObjects(o.children);
    return n;
}

} // namespace

Timeline::Timeline(std::shared_ptr<const Movie> movie) : m_movie(std::move(movie)) {}

int Timeline::frameCount() const
{
    return std::max<int>(1, int(std::min<size_t>(m_movie->frames.size(), size_t(1) << 30)));
}

TimelineState Timeline::initialState() const
{
    TimelineState state;
    Budget budget{kMaxObjects};
    if (!m_movie->frames.empty())
        applyFrame(state.objects, m_movie->frames.front(), 0, 1, budget);
    return state;
}

void Timeline::advance(TimelineState &state) const
{
    const size_t live = objectCount(state);
    Budget budget{live < kMaxObjects ? kMaxObjects - live : 0};
    stepChildren(state.objects, 1, budget);
    if (state.frame + 1 < frameCount()) {
        ++state.frame;
        applyFrame(state.objects, m_movie->frames[size_t(state.frame)], state.frame, 1, budget);
    }
}

size_t Timeline::objectCount(const TimelineState &state)
{
    return countObjects(state.objects);
}

void Timeline::applyFrame(std::vector<DisplayObject> &list, const Frame &frame, int frameIndex, int nesting,
                          Budget &budget, std::vector<DisplayObject> *keepers) const
{
    for (const DisplayTag &tag : frame.tags) {
        if (const auto *placeTag = std::get_if<PlaceObject>(&tag)) {
            place(list, *placeTag, frameIndex, nesting, budget, keepers);
        } else if (const auto *remove = std::get_if<RemoveObject>(&tag)) {
            const auto it = findDepth(list, remove->depth);
            if (it != list.end() && it->depth == remove->depth)
                list.erase(it);
        }
    }
}

void Timeline::place(std::vector<DisplayObject> &list, const PlaceObject &tag, int frameIndex, int nesting,
                     Budget &budget, std::vector<DisplayObject> *keepers) const
{
    auto it = findDepth(list, tag.depth);
    const bool exists = it != list.end() && it->depth == tag.depth;
    if (tag.characterId && (!tag.move || !exists)) {
        DisplayObject object;
        object.depth = tag.depth;
        object.characterId = *tag.characterId;
        object.birthFrame = frameIndex;
        applyFields(object, tag);
        const auto kept = keepers ? findDepth(*keepers, tag.depth) : std::vector<DisplayObject>::iterator();
        if (keepers && kept != keepers->end() && kept->depth == tag.depth && kept->birthFrame == 0
            && kept->characterId == object.characterId) {
            // Counted before the loop began; still there.
            object.kind = kept->kind;
            object.frame = kept->frame;
            object.children = std::move(kept->children);
            budget.remaining -= std::min(budget.remaining, 1 + countObjects(object.children));
        } else {
            if (budget.remaining == 0)
                return;
            --budget.remaining;
            instantiate(object, nesting, budget);
        }
        if (exists) {
            *it = std::move(object);
        } else {
            it = findDepth(list, tag.depth); // instantiate never touches this list
            list.insert(it, std::move(object));
        }
        return;
    }
    if (!exists || !tag.move)
        return;
    DisplayObject &object = *it;
    if (tag.characterId && *tag.characterId != object.characterId) {
        // Another character at the same depth: a new instance with the
        // placement it replaces.
        object.characterId = *tag.characterId;
        object.children.clear();
        object.frame = 0;
        object.kind = DisplayObject::Kind::Other;
        object.birthFrame = frameIndex;
        instantiate(object, nesting, budget);
    }
    applyFields(object, tag);
}

void Timeline::instantiate(DisplayObject &object, int nesting, Budget &budget) const
{
    const auto found = m_movie->characters.find(object.characterId);
    if (found == m_movie->characters.end())
        return;
    if (const auto *sprite = std::get_if<Sprite>(&found->second)) {
        object.kind = DisplayObject::Kind::Sprite;
        object.frame = 0;
        if (nesting < kMaxNesting && !sprite->frames.empty())
            applyFrame(object.children, sprite->frames.front(), 0, nesting + 1, budget);
    } else if (const auto *button = std::get_if<Button>(&found->second)) {
        object.kind = DisplayObject::Kind::Button;
        if (nesting >= kMaxNesting)
            return;
        for (size_t i = 0; i < button->records.size(); ++i) {
            const ButtonRecord &record = button->records[i];
            if (!record.up)
                continue;
            if (budget.remaining == 0)
                return;
            --budget.remaining;
            DisplayObject child;
            child.depth = record.depth;
            child.characterId = record.characterId;
            child.matrix = record.matrix;
            if (record.colorTransform)
                child.colorTransform = *record.colorTransform;
            else if (button->colorTransforms.size() == 1)
                child.colorTransform = button->colorTransforms.front(); // one for the whole button
            else if (i < button->colorTransforms.size())
                child.colorTransform = button->colorTransforms[i];
            if (!record.filters.empty())
                child.filters = std::make_shared<const std::vector<Filter>>(record.filters);
            child.blendMode = record.blendMode;
            instantiate(child, nesting + 1, budget);
            // Records may share a depth; the later one stands above.
            auto at = std::upper_bound(object.children.begin(), object.children.end(), child.depth,
                                       [](uint16_t d, const DisplayObject &o) { return d < o.depth; });
            object.children.insert(at, std::move(child));
        }
    }
}

void Timeline::stepChildren(std::vector<DisplayObject> &list, int nesting, Budget &budget) const
{
    for (DisplayObject &object : list) {
        if (object.kind != DisplayObject::Kind::Other)
            step(object, nesting, budget);
    }
}

void Timeline::step(DisplayObject &object, int nesting, Budget &budget) const
{
    stepChildren(object.children, nesting + 1, budget);
    if (object.kind != DisplayObject::Kind::Sprite || nesting >= kMaxNesting)
        return;
    const Sprite *sprite = m_movie->character<Sprite>(object.characterId);
    if (!sprite || sprite->frames.size() <= 1)
        return;
    const size_t next = size_t(object.frame) + 1;
    if (next < sprite->frames.size()) {
        object.frame = int(next);
        applyFrame(object.children, sprite->frames[next], int(next), nesting + 1, budget);
        return;
    }
    // Looping back: the first frame's list again, where instances that date
    // from the first frame carry on playing.
    std::vector<DisplayObject> previous = std::move(object.children);
    object.children.clear();
    object.frame = 0;
    budget.remaining += countObjects(previous);
    applyFrame(object.children, sprite->frames.front(), 0, nesting + 1, budget, &previous);
}

// ---- FrameSeeker ----

FrameSeeker::FrameSeeker(std::shared_ptr<const Movie> movie)
    : m_timeline(std::move(movie)), m_state(m_timeline.initialState())
{
    keep();
}

void FrameSeeker::keep()
{
    if (m_state.frame % m_interval != 0 || m_snapshots.count(m_state.frame))
        return;
    m_snapshotObjects += Timeline::objectCount(m_state);
    m_snapshots.emplace(m_state.frame, m_state);
    while (m_snapshotObjects > kMaxSnapshotObjects && m_snapshots.size() > 1 && m_interval < (1 << 24)) {
        m_interval *= 2;
        m_snapshotObjects = 0;
        for (auto it = m_snapshots.begin(); it != m_snapshots.end();) {
            if (it->first % m_interval != 0) {
                it = m_snapshots.erase(it);
            } else {
                m_snapshotObjects += Timeline::objectCount(it->second);
                ++it;
            }
        }
    }
}

void FrameSeeker::step()
{
    m_timeline.advance(m_state);
    ++m_steps;
    keep();
}

void FrameSeeker::seek(int frame)
{
    const int n = std::clamp(frame, 0, frameCount() - 1);
    if (n == m_state.frame)
        return;
    // The nearest snapshot at or before n, unless playing on from here is
    // no longer than from there. The first frame is always kept.
    auto it = m_snapshots.upper_bound(n);
    if (it != m_snapshots.begin()) {
        --it;
        if (n < m_state.frame || it->first > m_state.frame)
            m_state = it->second;
    } else {
        m_state = m_timeline.initialState();
    }
    while (m_state.frame < n)
        step();
}

} // namespace swf
