#include "engines/authoring/ScriptApi.h"

#include "engines/authoring/Document.h"
#include "engines/authoring/Publisher.h"
#include "engines/authoring/ScriptObjects.h"

#include <QFile>
#include <QJSEngine>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>

namespace authoring {

namespace {

// Wraps a target so that a name it lacks throws instead of reading as
// undefined; methods stay bound to the target.
const char kGuard[] = R"JS(
(function (target, what) {
    "use strict";
    function missing(key) {
        var name = /^[0-9]+$/.test(key) ? what + "[" + key + "]" : what + "." + key;
        return new TypeError(name + " is not available in this authoring host.");
    }
    return new Proxy(target, {
        get: function (t, key) {
            if (typeof key === "symbol" || key === "toJSON")
                return t[key];
            if (!(key in t))
                throw missing(key);
            var v = t[key];
            return typeof v === "function" ? v.bind(t) : v;
        },
        set: function (t, key, v) {
            if (typeof key === "symbol" || !(key in t))
                throw missing(key);
            t[key] = v;
            return true;
        }
    });
})
)JS";

const char kAlert[] = "(function (api) { return function alert(message) { api.alert(String(message)); }; })";

// A whole number where an index belongs; nothing for text, fractions and
// the like, which would otherwise turn into 0.
std::optional<int> indexOf(const QJSValue &v)
{
    if (!v.isNumber())
        return std::nullopt;
    const double d = v.toNumber();
    if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 1e9)
        return std::nullopt;
    return int(d);
}

QJSValue frameObject(const ScriptApi &api, const FrameSpan &span, bool labels)
{
    QJSValue frame = api.engine().newObject();
    frame.setProperty(QStringLiteral("startFrame"), span.start);
    frame.setProperty(QStringLiteral("duration"), span.duration);
    frame.setProperty(QStringLiteral("name"), span.label);
    frame.setProperty(QStringLiteral("labelType"),
                      labels && !span.label.isEmpty() ? QStringLiteral("name") : QStringLiteral("none"));
    return api.guarded(frame, QStringLiteral("frame"));
}

// The frames of a layer: one entry a frame, the frames of a span sharing
// one object, as the authoring tool gives them.
QJSValue layerObject(const ScriptApi &api, const QString &name, const QString &type, const QVector<FrameSpan> &spans,
                     int frameCount, bool labels)
{
    QJSValue frames = api.engine().newArray(uint(frameCount));
    for (const FrameSpan &span : spans) {
        const QJSValue frame = frameObject(api, span, labels);
        for (int f = span.start; f < span.start + span.duration; ++f)
            frames.setProperty(uint(f), frame);
    }
    QJSValue layer = api.engine().newObject();
    layer.setProperty(QStringLiteral("name"), name);
    layer.setProperty(QStringLiteral("layerType"), type);
    layer.setProperty(QStringLiteral("frameCount"), frameCount);
    layer.setProperty(QStringLiteral("frames"), api.guarded(frames, QStringLiteral("frames")));
    return api.guarded(layer, QStringLiteral("layer"));
}

} // namespace

// --- fl ---

QJSValue ScriptFlash::getDocumentDOM() const
{
    return m_api.getDocumentDOM();
}

void ScriptFlash::trace(const QJSValue &message) const
{
    m_api.trace(message.toString());
}

Document *ScriptPart::document() const
{
    if (!m_document)
        m_api.throwError(QStringLiteral("The document was closed."));
    return m_document;
}

// --- timeline ---

ScriptTimeline::ScriptTimeline(ScriptApi &api, Document &document, int scene, QObject *parent)
    : ScriptPart(api, document, parent), m_scene(scene)
{
}

QString ScriptTimeline::name() const
{
    const Document *d = document();
    return d ? d->scenes()[m_scene].Name : QString();
}

int ScriptTimeline::frameCount() const
{
    const Document *d = document();
    return d ? d->scenes()[m_scene].FrameCount : 0;
}

QJSValue ScriptTimeline::layers()
{
    const Document *d = document();
    if (!d)
        return {};
    if (m_layers.isUndefined()) {
        // Labels on a guide layer of their own, so that its frames, cut at
        // every label, do not count as the scene's key frames.
        const TSceneInfo &scene = d->scenes()[m_scene];
        m_layers = m_api.engine().newArray(2);
        m_layers.setProperty(0, layerObject(m_api, QStringLiteral("Labels"), QStringLiteral("guide"),
                                            labelSpans(scene), scene.FrameCount, true));
        m_layers.setProperty(1, layerObject(m_api, QStringLiteral("Layer 1"), QStringLiteral("normal"),
                                            keyFrameSpans(scene), scene.FrameCount, false));
        m_layers = m_api.guarded(m_layers, QStringLiteral("layers"));
    }
    return m_layers;
}

QJSValue ScriptTimeline::currentFrame() const
{
    const Document *d = document();
    return d ? QJSValue(d->currentFrame(m_scene)) : QJSValue();
}

void ScriptTimeline::setCurrentFrame(const QJSValue &frame)
{
    Document *d = document();
    const auto index = indexOf(frame);
    if (d && (!index || !d->setCurrentFrame(m_scene, *index)))
        m_api.throwError(QStringLiteral("currentFrame must be a frame of the timeline \"%1\" (0 to %2), not %3.")
                             .arg(name())
                             .arg(frameCount() - 1)
                             .arg(frame.toString()));
}

// --- document ---

ScriptDocument::ScriptDocument(ScriptApi &api, Document &document, QObject *parent)
    : ScriptPart(api, document, parent)
{
    PublishProfile standard;
    standard.name = QStringLiteral("Default");
    m_profiles << standard;
}

QString ScriptDocument::path() const
{
    const Document *d = document();
    return d ? d->path() : QString();
}

QString ScriptDocument::name() const
{
    const Document *d = document();
    return d ? d->name() : QString();
}

int ScriptDocument::width() const
{
    const Document *d = document();
    return d ? d->stageSize().width() : 0;
}

int ScriptDocument::height() const
{
    const Document *d = document();
    return d ? d->stageSize().height() : 0;
}

QJSValue ScriptDocument::timelines()
{
    Document *d = document();
    if (!d)
        return {};
    if (m_timelines.isUndefined()) {
        m_timelines = m_api.engine().newArray(uint(d->scenes().size()));
        for (int i = 0; i < d->scenes().size(); ++i)
            m_timelines.setProperty(uint(i), m_api.wrap(new ScriptTimeline(m_api, *d, i, this), QStringLiteral("timeline")));
        m_timelines = m_api.guarded(m_timelines, QStringLiteral("timelines"));
    }
    return m_timelines;
}

QJSValue ScriptDocument::currentTimeline() const
{
    const Document *d = document();
    return d ? QJSValue(d->currentScene()) : QJSValue();
}

void ScriptDocument::setCurrentTimeline(const QJSValue &index)
{
    editScene(index);
}

void ScriptDocument::editScene(const QJSValue &index)
{
    Document *d = document();
    const auto scene = indexOf(index);
    if (d && (!scene || !d->setCurrentScene(*scene)))
        m_api.throwError(QStringLiteral("There is no scene %1; the document has scenes 0 to %2.")
                             .arg(index.toString())
                             .arg(d->scenes().size() - 1));
}

QJSValue ScriptDocument::getTimeline()
{
    const Document *d = document();
    const QJSValue all = timelines();
    return d ? all.property(uint(d->currentScene())) : QJSValue();
}

QStringList ScriptDocument::publishProfiles() const
{
    QStringList names;
    for (const PublishProfile &p : m_profiles)
        names << p.name;
    return names;
}

QJSValue ScriptDocument::publishProfilesValue() const
{
    return m_api.engine().toScriptValue(publishProfiles());
}

QString ScriptDocument::currentPublishProfile() const
{
    return m_profiles[m_currentProfile].name;
}

void ScriptDocument::setCurrentPublishProfile(const QString &name)
{
    const int index = int(publishProfiles().indexOf(name));
    if (index < 0)
        m_api.throwError(QStringLiteral("There is no publish profile \"%1\".").arg(name));
    else
        m_currentProfile = index;
}

int ScriptDocument::importPublishProfile(const QString &uri)
{
    QString error;
    const auto profile = readPublishProfile(uri, &error);
    if (!profile) {
        m_api.throwError(error);
        return -1;
    }
    int index = int(publishProfiles().indexOf(profile->name));
    if (index < 0) {
        index = int(m_profiles.size());
        m_profiles << *profile;
    } else {
        m_profiles[index] = *profile;
    }
    return index;
}

void ScriptDocument::publish()
{
    const Document *d = document();
    QString error;
    if (d && !m_api.publisher().publish(*d, m_profiles[m_currentProfile], &error))
        m_api.throwError(error);
}

// --- the interface ---

ScriptApi::ScriptApi(QJSEngine &engine, Publisher &publisher, QObject *parent)
    : QObject(parent), m_engine(engine), m_publisher(publisher)
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    m_guard = m_engine.evaluate(QString::fromLatin1(kGuard));
    m_flash = new ScriptFlash(*this);
    m_flash->setParent(this);
    QJSValue global = m_engine.globalObject();
    global.setProperty(QStringLiteral("fl"), wrap(m_flash, QStringLiteral("fl")));
    global.setProperty(QStringLiteral("alert"),
                       m_engine.evaluate(QString::fromLatin1(kAlert)).call({m_engine.newQObject(this)}));
}

ScriptApi::~ScriptApi() = default;

QJSValue ScriptApi::guarded(const QJSValue &target, const QString &what) const
{
    return m_guard.call({target, what});
}

QJSValue ScriptApi::wrap(QObject *object, const QString &what) const
{
    QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    return guarded(m_engine.newQObject(object), what);
}

void ScriptApi::throwError(const QString &message) const
{
    m_engine.throwError(QJSValue::GenericError, message);
}

void ScriptApi::setDocument(Document *document)
{
    if (document == m_document && (document || !m_scriptDocument))
        return;
    // Kept (by parent) after the document goes: a script holding it then
    // hears that the document was closed.
    m_scriptDocument = nullptr;
    m_documentValue = QJSValue(QJSValue::NullValue);
    m_document = document;
    if (document) {
        m_scriptDocument = new ScriptDocument(*this, *document, this);
        m_documentValue = wrap(m_scriptDocument, QStringLiteral("document"));
    }
}

QJSValue ScriptApi::getDocumentDOM()
{
    // A document closed behind our back counts as none.
    if (!m_document && m_scriptDocument)
        setDocument(nullptr);
    return m_scriptDocument ? m_documentValue : QJSValue(QJSValue::NullValue);
}

void ScriptApi::trace(const QString &message) const
{
    if (onTrace) {
        onTrace(message);
        return;
    }
    std::fprintf(stdout, "%s\n", message.toUtf8().constData());
    std::fflush(stdout);
}

void ScriptApi::alert(const QString &message) const
{
    if (onAlert) {
        onAlert(message);
        return;
    }
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

std::optional<QString> ScriptApi::runFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: the script cannot be read: %2.").arg(path, file.errorString());
    QStringList stack;
    const QJSValue result = m_engine.evaluate(QString::fromUtf8(file.readAll()), path, 1, &stack);
    if (!result.isError() && stack.isEmpty())
        return std::nullopt;
    // Errors carry their line; anything else thrown has only the stack,
    // whose frames read "function@file:line".
    QString line = result.property(QStringLiteral("lineNumber")).toString();
    if (!result.isError() || line.isEmpty() || line == QLatin1String("undefined"))
        line = stack.value(0).section(u':', -1);
    // Calling a name the guard refuses gets the engine's own message
    // wrapped around the guard's.
    static const QRegularExpression wrapped(QStringLiteral("^TypeError: Property '.*' of object (TypeError: .* is not "
                                                           "available in this authoring host\\.) is not a function$"));
    const auto refused = wrapped.match(result.toString());
    return QStringLiteral("%1:%2: %3").arg(path, line, refused.hasMatch() ? refused.captured(1) : result.toString());
}

} // namespace authoring
