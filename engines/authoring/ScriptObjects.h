#pragma once
// The objects behind fl, a document and its timelines, as scripts reach
// them through ScriptApi.
#include "engines/authoring/PublishProfile.h"

#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVector>

namespace authoring {

class Document;
class ScriptApi;

class ScriptFlash : public QObject {
    Q_OBJECT
public:
    explicit ScriptFlash(ScriptApi &api) : m_api(api) {}
    Q_INVOKABLE QJSValue getDocumentDOM() const;
    Q_INVOKABLE void trace(const QJSValue &message) const;

private:
    ScriptApi &m_api;
};

// Script objects of a document; a closed document makes them throw.
class ScriptPart : public QObject {
    Q_OBJECT
public:
    ScriptPart(ScriptApi &api, Document &document, QObject *parent)
        : QObject(parent), m_api(api), m_document(&document)
    {
    }

protected:
    // nullptr after throwing when the document is gone.
    Document *document() const;
    ScriptApi &m_api;

private:
    QPointer<Document> m_document;
};

class ScriptTimeline : public ScriptPart {
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(int frameCount READ frameCount CONSTANT)
    Q_PROPERTY(int layerCount READ layerCount CONSTANT)
    Q_PROPERTY(QJSValue layers READ layers CONSTANT)
    Q_PROPERTY(QJSValue currentFrame READ currentFrame WRITE setCurrentFrame)
public:
    ScriptTimeline(ScriptApi &api, Document &document, int scene, QObject *parent);
    QString name() const;
    int frameCount() const;
    int layerCount() const { return 2; }
    QJSValue layers();
    QJSValue currentFrame() const;
    void setCurrentFrame(const QJSValue &frame);

private:
    int m_scene;
    QJSValue m_layers;
};

class ScriptDocument : public ScriptPart {
    Q_OBJECT
    Q_PROPERTY(QString path READ path CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(int width READ width CONSTANT)
    Q_PROPERTY(int height READ height CONSTANT)
    Q_PROPERTY(QJSValue timelines READ timelines CONSTANT)
    Q_PROPERTY(QJSValue currentTimeline READ currentTimeline WRITE setCurrentTimeline)
    Q_PROPERTY(QJSValue publishProfiles READ publishProfilesValue)
    Q_PROPERTY(QString currentPublishProfile READ currentPublishProfile WRITE setCurrentPublishProfile)
public:
    ScriptDocument(ScriptApi &api, Document &document, QObject *parent);
    QString path() const;
    QString name() const;
    int width() const;
    int height() const;
    QJSValue timelines();
    QJSValue currentTimeline() const;
    void setCurrentTimeline(const QJSValue &index);
    QStringList publishProfiles() const;
    QJSValue publishProfilesValue() const;
    QString currentPublishProfile() const;
    void setCurrentPublishProfile(const QString &name);

    Q_INVOKABLE void editScene(const QJSValue &index);
    Q_INVOKABLE QJSValue getTimeline();
    // The index of the imported profile among publishProfiles; one of the
    // same name is replaced.
    Q_INVOKABLE int importPublishProfile(const QString &uri);
    Q_INVOKABLE void publish();

private:
    QJSValue m_timelines;
    QVector<PublishProfile> m_profiles;
    int m_currentProfile = 0;
};

} // namespace authoring
