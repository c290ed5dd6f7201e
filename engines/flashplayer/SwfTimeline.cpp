#include "engines/flashplayer/SwfTimeline.h"

#include <QStringList>

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
    if (tag.name)
        object.name = *tag.name;
}

size_t countObjects(const std::vector<DisplayObject> &list)
{
    size_t n = list.size();
    for (const DisplayObject &o : list)
        n += countObjects(o.children);
    return n;
}

bool hasScript(const std::vector<Frame> &frames, int frame)
{
    return frame >= 0 && size_t(frame) < frames.size() && !frames[size_t(frame)].actions.empty();
}

// Depth paths from the main timeline to the sprites whose script is due,
// each before those inside it; the flags stay set.
void collectDue(const std::vector<DisplayObject> &list, std::vector<uint16_t> &path,
                std::vector<std::vector<uint16_t>> &out)
{
    for (const DisplayObject &o : list) {
        if (o.kind != DisplayObject::Kind::Sprite)
            continue;
        path.push_back(o.depth);
        if (o.scriptDue)
            out.push_back(path);
        collectDue(o.children, path, out);
        path.pop_back();
    }
}

void clearDue(std::vector<DisplayObject> &list)
{
    for (DisplayObject &o : list) {
        o.scriptDue = false;
        clearDue(o.children);
    }
}

// Up to 8 and older players compare instance names and labels without
// regard to case.
bool sameName(const QString &a, const QString &b, bool anyCase)
{
    return a.compare(b, anyCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
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
    markDue(state.scriptDue, m_movie->frames, 0, budget);
    runScripts(state, budget);
    return state;
}

void Timeline::advance(TimelineState &state) const
{
    const size_t live = objectCount(state);
    Budget budget{live < kMaxObjects ? kMaxObjects - live : 0};
    stepChildren(state.objects, 1, budget);
    ++state.tick;
    if (state.playing && m_movie->frames.size() > 1) {
        const Clip main{&m_movie->frames, &state.frame, &state.playing, &state.scriptDue, &state.objects, 1};
        if (state.frame + 1 < frameCount()) {
            ++state.frame;
            applyFrame(state.objects, m_movie->frames[size_t(state.frame)], state.frame, 1, budget);
            markDue(state.scriptDue, m_movie->frames, state.frame, budget);
        } else {
            rebuildTo(main, 0, budget);
        }
    }
    runScripts(state, budget);
}

void Timeline::markDue(bool &due, const std::vector<Frame> &frames, int frame, Budget &budget) const
{
    if (hasScript(frames, frame)) {
        due = true;
        ++budget.scriptsDue;
    }
}

void Timeline::rebuildTo(Clip clip, int frame, Budget &budget) const
{
    std::vector<DisplayObject> previous = std::move(*clip.children);
    clip.children->clear();
    budget.remaining += countObjects(previous);
    for (int f = 0; f <= frame; ++f)
        applyFrame(*clip.children, (*clip.frames)[size_t(f)], f, clip.nesting, budget, &previous);
    *clip.frame = frame;
    markDue(*clip.scriptDue, *clip.frames, frame, budget);
}

void Timeline::gotoFrame(Clip clip, int frame, Budget &budget) const
{
    const int count = int(std::min<size_t>(clip.frames->size(), size_t(1) << 30));
    frame = std::clamp(frame, 0, std::max(count - 1, 0));
    if (count == 0 || frame == *clip.frame)
        return;
    // Forward through the frames between; back by building the list anew.
    const int cost = frame > *clip.frame ? frame - *clip.frame : frame + 1;
    if (cost > kMaxGotoFrames - budget.gotoFrames)
        return;
    budget.gotoFrames += cost;
    if (frame < *clip.frame) {
        rebuildTo(clip, frame, budget);
        return;
    }
    for (int f = *clip.frame + 1; f <= frame; ++f)
        applyFrame(*clip.children, (*clip.frames)[size_t(f)], f, clip.nesting, budget);
    *clip.frame = frame;
    markDue(*clip.scriptDue, *clip.frames, frame, budget);
}

std::optional<Timeline::Clip> Timeline::clipAt(TimelineState &state, const std::vector<uint16_t> &path) const
{
    Clip clip{&m_movie->frames, &state.frame, &state.playing, &state.scriptDue, &state.objects, 1};
    for (uint16_t depth : path) {
        const auto it = findDepth(*clip.children, depth);
        if (it == clip.children->end() || it->depth != depth || it->kind != DisplayObject::Kind::Sprite)
            return std::nullopt;
        const Sprite *sprite = m_movie->character<Sprite>(it->characterId);
        if (!sprite || clip.nesting >= kMaxNesting)
            return std::nullopt;
        clip = Clip{&sprite->frames, &it->frame, &it->playing, &it->scriptDue, &it->children, clip.nesting + 1};
    }
    return clip;
}

// Paths of slashes ("/menu/button", "../x") or dots ("_root.menu",
// "_parent.x"), from the main timeline or from the script's own.
std::optional<std::vector<uint16_t>> Timeline::targetPath(TimelineState &state, const std::vector<uint16_t> &from,
                                                          const QString &target) const
{
    std::vector<uint16_t> path = from;
    QString rest = target.trimmed();
    if (rest.startsWith(QLatin1Char('/'))) {
        path.clear();
        rest.remove(0, 1);
    }
    const bool anyCase = m_movie->version < 7;
    const bool slashes = rest.contains(QLatin1Char('/'));
    for (const QString &part : rest.split(QLatin1Char(slashes ? '/' : '.'), Qt::SkipEmptyParts)) {
        if ((slashes && part == QLatin1String("..")) || sameName(part, QStringLiteral("_parent"), true)) {
            if (path.empty())
                return std::nullopt;
            path.pop_back();
        } else if (sameName(part, QStringLiteral("_root"), true) || sameName(part, QStringLiteral("_level0"), true)) {
            path.clear();
        } else if (!sameName(part, QStringLiteral("this"), true) && part != QLatin1String(".")) {
            const std::optional<Clip> clip = clipAt(state, path);
            if (!clip || path.size() >= size_t(kMaxNesting))
                return std::nullopt;
            const auto &children = *clip->children;
            const auto child = std::find_if(children.begin(), children.end(), [&](const DisplayObject &o) {
                return o.kind == DisplayObject::Kind::Sprite && !o.name.isEmpty() && sameName(o.name, part, anyCase);
            });
            if (child == children.end())
                return std::nullopt;
            path.push_back(child->depth);
        }
    }
    return path;
}

void Timeline::runScripts(TimelineState &state, Budget &budget) const
{
    // A round runs every script due, outer ones first; the gotos of a
    // round make the scripts of the next.
    while (budget.scriptsDue > 0 && budget.scriptRuns < kMaxScriptRuns && budget.actions < kMaxActions) {
        budget.scriptsDue = 0;
        std::vector<std::vector<uint16_t>> due;
        if (state.scriptDue)
            due.emplace_back();
        std::vector<uint16_t> path;
        collectDue(state.objects, path, due);
        if (due.empty())
            break;
        for (const std::vector<uint16_t> &owner : due) {
            if (budget.scriptRuns >= kMaxScriptRuns || budget.actions >= kMaxActions)
                break;
            runScript(state, owner, budget);
        }
    }
    // Beyond the bounds scripts are dropped, not left for the next frame.
    if (budget.scriptsDue > 0) {
        state.scriptDue = false;
        clearDue(state.objects);
    }
    budget.scriptsDue = 0;
}

void Timeline::runScript(TimelineState &state, const std::vector<uint16_t> &owner, Budget &budget) const
{
    const std::optional<Clip> self = clipAt(state, owner);
    if (!self || !*self->scriptDue)
        return;
    *self->scriptDue = false;
    ++budget.scriptRuns;
    // The movie's frames outlive every change the actions make.
    const Frame &frame = (*self->frames)[size_t(*self->frame)];
    std::optional<std::vector<uint16_t>> target = owner;
    for (const TimelineAction &action : frame.actions) {
        if (++budget.actions > kMaxActions)
            return;
        using Kind = TimelineAction::Kind;
        if (action.kind == Kind::SetTarget) {
            target = action.name.isEmpty() ? std::optional(owner) : targetPath(state, owner, action.name);
            continue;
        }
        const std::optional<Clip> clip = target ? clipAt(state, *target) : std::nullopt;
        if (!clip)
            continue; // a target that is not there: its actions go nowhere
        switch (action.kind) {
        case Kind::Stop: *clip->playing = false; break;
        case Kind::Play: *clip->playing = true; break;
        case Kind::GotoFrame:
            *clip->playing = false;
            gotoFrame(*clip, int(std::min<uint32_t>(action.frame, 1u << 30)), budget);
            break;
        case Kind::GotoLabel: {
            // A label the timeline lacks leaves it as it is.
            const bool anyCase = m_movie->version < 7;
            const std::vector<Frame> &frames = *clip->frames;
            for (size_t f = 0; f < frames.size(); ++f) {
                const auto &labels = frames[f].labels;
                if (std::any_of(labels.begin(), labels.end(),
                                [&](const FrameLabel &l) { return sameName(l.name, action.name, anyCase); })) {
                    *clip->playing = false;
                    gotoFrame(*clip, int(f), budget);
                    break;
                }
            }
            break;
        }
        case Kind::NextFrame:
            *clip->playing = false;
            gotoFrame(*clip, *clip->frame + 1, budget);
            break;
        case Kind::PreviousFrame:
            *clip->playing = false;
            gotoFrame(*clip, *clip->frame - 1, budget);
            break;
        case Kind::SetTarget: break;
        }
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
        if (keepers && kept != keepers->end() && kept->depth == tag.depth && kept->birthFrame == frameIndex
            && kept->characterId == object.characterId) {
            // Counted before the loop began; still there.
            object.kind = kept->kind;
            object.frame = kept->frame;
            object.playing = kept->playing;
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
        if (nesting < kMaxNesting && !sprite->frames.empty()) {
            applyFrame(object.children, sprite->frames.front(), 0, nesting + 1, budget);
            markDue(object.scriptDue, sprite->frames, 0, budget);
        }
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
    if (object.kind != DisplayObject::Kind::Sprite || nesting >= kMaxNesting || !object.playing)
        return;
    const Sprite *sprite = m_movie->character<Sprite>(object.characterId);
    if (!sprite || sprite->frames.size() <= 1)
        return;
    const size_t next = size_t(object.frame) + 1;
    if (next < sprite->frames.size()) {
        object.frame = int(next);
        applyFrame(object.children, sprite->frames[next], int(next), nesting + 1, budget);
        markDue(object.scriptDue, sprite->frames, int(next), budget);
        return;
    }
    // Looping back: the first frame's list again, where instances that date
    // from the first frame carry on playing.
    rebuildTo(Clip{&sprite->frames, &object.frame, &object.playing, &object.scriptDue, &object.children, nesting + 1},
              0, budget);
}

// ---- FrameSeeker ----

FrameSeeker::FrameSeeker(std::shared_ptr<const Movie> movie)
    : m_timeline(std::move(movie)), m_state(m_timeline.initialState())
{
    keep();
}

void FrameSeeker::keep()
{
    if (m_state.tick % m_interval != 0 || m_snapshots.count(m_state.tick))
        return;
    m_snapshotObjects += Timeline::objectCount(m_state);
    m_snapshots.emplace(m_state.tick, m_state);
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

void FrameSeeker::seek(int tick)
{
    const int n = std::clamp(tick, 0, kMaxPlayedFrames - 1);
    if (n == m_state.tick)
        return;
    // The nearest snapshot at or before n, unless playing on from here is
    // no longer than from there. The first frame is always kept.
    auto it = m_snapshots.upper_bound(n);
    if (it != m_snapshots.begin()) {
        --it;
        if (n < m_state.tick || it->first > m_state.tick)
            m_state = it->second;
    } else {
        m_state = m_timeline.initialState();
    }
    while (m_state.tick < n)
        step();
}

} // namespace swf
