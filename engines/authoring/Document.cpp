#include "engines/authoring/Document.h"

#include "engines/flashplayer/SwfPlayer.h"
#include "engines/flashplayer/SwfReader.h"
#include "movie/MovieDocument.h"

#include <QFileInfo>

namespace authoring {

QVector<FrameSpan> keyFrameSpans(const TSceneInfo &scene)
{
    QVector<FrameSpan> spans;
    for (int k = 0; k < scene.KeyFrames.size(); ++k) {
        const int start = scene.KeyFrames[k];
        const int end = k + 1 < scene.KeyFrames.size() ? scene.KeyFrames[k + 1] : scene.FrameCount;
        if (start >= 0 && end > start && end <= scene.FrameCount)
            spans.push_back({start, end - start, {}});
    }
    return spans;
}

QVector<FrameSpan> labelSpans(const TSceneInfo &scene)
{
    QVector<FrameSpan> spans;
    for (int f = 0; f < scene.FrameCount; ++f) {
        const QString label = scene.FrameLabels.value(f);
        if (spans.isEmpty() || spans.back().label != label)
            spans.push_back({f, 0, label});
        ++spans.back().duration;
    }
    return spans;
}

std::unique_ptr<Document> Document::open(const QString &path, QString *error)
{
    QString why;
    const auto movie = std::make_shared<const swf::Movie>(swf::readMovieFile(path, &why));
    if (!movie->ok()) {
        // The reader names the file in some messages only.
        const QString file = QFileInfo(path).fileName();
        if (error)
            *error = why.contains(file) ? why
                                        : QStringLiteral("\"%1\" cannot be opened: %2%3")
                                              .arg(file, why.left(1).toLower(), why.mid(1));
        return nullptr;
    }
    std::unique_ptr<Document> d(new Document);
    d->m_path = QFileInfo(path).absoluteFilePath();
    d->m_scenes = DocumentScenes(*movie);
    d->m_frames.fill(0, d->m_scenes.size());
    d->m_player = std::make_unique<swf::Player>(movie);
    d->m_stage = d->m_player->stageSize();
    return d;
}

Document::~Document() = default;

QString Document::name() const
{
    return QFileInfo(m_path).fileName();
}

bool Document::setCurrentScene(int scene)
{
    if (scene < 0 || scene >= m_scenes.size())
        return false;
    if (scene != m_currentScene) {
        m_currentScene = scene;
        emit currentChanged();
    }
    return true;
}

int Document::currentFrame(int scene) const
{
    return m_frames.value(scene);
}

bool Document::setCurrentFrame(int scene, int frame)
{
    if (scene < 0 || scene >= m_scenes.size() || frame < 0 || frame >= m_scenes[scene].FrameCount)
        return false;
    if (m_frames[scene] != frame) {
        m_frames[scene] = frame;
        if (scene == m_currentScene)
            emit currentChanged();
    }
    return true;
}

QImage Document::drawCurrentFrame(QSize size) const
{
    const TSceneInfo &scene = m_scenes[m_currentScene];
    m_player->gotoFrame(scene.FirstFrame + m_frames[m_currentScene]);
    return m_player->renderImage(size).convertToFormat(QImage::Format_RGB32);
}

} // namespace authoring
