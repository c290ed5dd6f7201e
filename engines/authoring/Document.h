#pragma once
// A movie opened as the authoring tool's document: its scenes, labels and
// key frames as the tool shows them, and which scene and frame are current.
#include "core/Global.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QVector>

#include <memory>

namespace swf {
struct Movie;
class Player;
} // namespace swf

namespace authoring {

// A run of frames on one layer: from a key frame to the next, or a label
// for as long as it lasts (label empty where none holds).
struct FrameSpan {
    int start = 0;
    int duration = 0;
    QString label;
};

// The scene's frames cut at its key frames.
QVector<FrameSpan> keyFrameSpans(const TSceneInfo &scene);
// The scene's frames cut where the label changes.
QVector<FrameSpan> labelSpans(const TSceneInfo &scene);

class Document : public QObject {
    Q_OBJECT
public:
    // nullptr and one sentence naming the file when it cannot be read.
    static std::unique_ptr<Document> open(const QString &path, QString *error);
    ~Document() override;

    QString path() const { return m_path; }
    QString name() const;
    QSize stageSize() const { return m_stage; }
    const TSceneInfoArr &scenes() const { return m_scenes; }

    int currentScene() const { return m_currentScene; }
    // False when there is no such scene.
    bool setCurrentScene(int scene);
    // Each scene keeps its own playhead, 0-based within the scene.
    int currentFrame(int scene) const;
    bool setCurrentFrame(int scene, int frame);

    // The current scene's current frame drawn at size; null when it cannot
    // be drawn at that size.
    QImage drawCurrentFrame(QSize size) const;

signals:
    void currentChanged();

private:
    Document() = default;
    QString m_path;
    QSize m_stage;
    TSceneInfoArr m_scenes;
    QVector<int> m_frames;
    int m_currentScene = 0;
    std::unique_ptr<swf::Player> m_player;
};

} // namespace authoring
