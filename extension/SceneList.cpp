#include "extension/SceneList.h"

namespace extension {

namespace {

const QChar kQuoteMark(0x01), kSceneEnd(0x02), kFieldEnd(0x03), kItemEnd(0x04);

// The terminators cannot travel inside a name: they would shift every field
// after them, so they become blanks. Double quotes travel as 0x01.
QString encodedName(QString name)
{
    for (QChar &c : name) {
        if (c == kQuoteMark || c == kSceneEnd || c == kFieldEnd || c == kItemEnd)
            c = QLatin1Char(' ');
        else if (c == QLatin1Char('"'))
            c = kQuoteMark;
    }
    return name;
}

// One failed read: its message goes to the caller.
struct ReadFailure {
    const char *message;
};

class SceneReader {
public:
    SceneReader(const HostTable &host, JSContext *cx) : m_host(host), m_cx(cx) {}

    jsval element(JSObject *array, uint32_t index, const char *message) const
    {
        return orFail(m_host.element(m_cx, array, index), message);
    }
    JSObject *object(jsval value, const char *message) const { return orFail(m_host.toObject(m_cx, value), message); }
    int32_t integer(jsval value, const char *message) const { return orFail(m_host.toInteger(m_cx, value), message); }
    QString text(jsval value, const char *message) const { return orFail(m_host.toText(m_cx, value), message); }
    int32_t length(JSObject *array, const char *message) const
    {
        return orFail(m_host.arrayLength(m_cx, array), message);
    }

    SceneEntry scene(JSObject *scenes, uint32_t i) const
    {
        JSObject *item = object(element(scenes, i, "runUI(): Cannot get secene array"),
                                "runUI(): Cannot convert secene array");
        SceneEntry scene;
        scene.name = text(element(item, 0, "runUI(): Cannot get secene name"), "runUI(): Cannot convert scene name");
        scene.frameCount = integer(element(item, 1, "runUI(): Cannot get number of frames in the scene"),
                                   "runUI(): Cannot convert number of frames in the scene");
        JSObject *keys = object(element(item, 2, "runUI(): Cannot get key frames"), "runUI(): Cannot convert key frames");
        const int32_t keyCount = length(keys, "runUI(): Cannot get number of key frames");
        for (int32_t k = 0; k < keyCount; ++k)
            scene.keyFrames.push_back(
                integer(element(keys, uint32_t(k), "runUI(): Cannot get key frame"), "runUI(): Cannot convert key frame"));
        JSObject *labels = object(element(item, 3, "runUI(): Cannot get frame labels"),
                                  "runUI(): Cannot convert frame labels");
        const int32_t triples = length(labels, "runUI(): Cannot get number of frame labels") / 3;
        for (int32_t j = 0; j < triples; ++j) {
            const uint32_t at = uint32_t(j) * 3;
            SceneLabel label;
            label.name = text(element(labels, at, "runUI(): Cannot get frame label"),
                              "runUI(): Cannot convert frame label");
            label.start = integer(element(labels, at + 1, "runUI(): Cannot get frame label start index"),
                                  "runUI(): Cannot convert frame label start index");
            label.duration = integer(element(labels, at + 2, "runUI(): Cannot get frame label duration"),
                                     "runUI(): Cannot convert frame label duration");
            scene.labels.push_back(label);
        }
        return scene;
    }

private:
    template <typename T>
    static T orFail(const std::optional<T> &value, const char *message)
    {
        if (!value)
            throw ReadFailure{message};
        return *value;
    }

    const HostTable &m_host;
    JSContext *m_cx;
};

} // namespace

QString encodeSceneList(const std::vector<SceneEntry> &scenes)
{
    QString list;
    for (const SceneEntry &scene : scenes) {
        list += encodedName(scene.name) + kFieldEnd;
        list += QString::number(scene.frameCount) + kFieldEnd;
        for (int32_t key : scene.keyFrames)
            list += QString::number(key) + kItemEnd;
        list += kFieldEnd;
        for (const SceneLabel &label : scene.labels) {
            list += encodedName(label.name) + kItemEnd;
            list += QString::number(label.start) + kItemEnd;
            list += QString::number(label.duration) + kItemEnd;
        }
        list += kFieldEnd;
        list += kSceneEnd;
    }
    return list;
}

std::optional<std::vector<SceneEntry>> readScenes(const HostTable &host, JSContext *cx, JSObject *scenes,
                                                  int32_t count, QString *failure)
{
    const SceneReader reader(host, cx);
    std::vector<SceneEntry> entries;
    try {
        for (int32_t i = 0; i < count; ++i)
            entries.push_back(reader.scene(scenes, uint32_t(i)));
    } catch (const ReadFailure &f) {
        if (failure)
            *failure = QString::fromLatin1(f.message);
        return std::nullopt;
    }
    return entries;
}

} // namespace extension
