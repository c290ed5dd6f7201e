#include "engines/authoring/Publisher.h"

#include "engines/authoring/Document.h"
#include "engines/authoring/PublishProfile.h"
#include "engines/flashplayer/SwfPlayer.h"
#include "platform/JpegImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace authoring {

namespace {

bool writeWhole(const QString &path, const QByteArray &bytes, QString *why)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *why = file.errorString();
    return false;
}

} // namespace

bool Publisher::publish(const Document &document, const PublishProfile &profile, QString *error)
{
    QString why;
    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!profile.jpeg)
        return fail(QStringLiteral("The publish profile \"%1\" publishes no JPEG picture; import and choose one "
                                   "that does.")
                        .arg(profile.name));
    const QString target = QDir(QFileInfo(document.path()).absolutePath()).absoluteFilePath(profile.jpegFileName);
    const QSize size = profile.matchMovie ? document.stageSize() : QSize(profile.width, profile.height);

    QByteArray jpeg;
    if (!size.isEmpty() && swf::pictureSizeAllowed(size)) {
        const QImage picture = document.drawCurrentFrame(size);
        if (!picture.isNull())
            jpeg = platform::encodeJpeg(picture, std::max(1, profile.quality), &why);
    }
    if (jpeg.isEmpty() || !writeWhole(target, jpeg, &why)) {
        QFile::remove(target);
        if (jpeg.isEmpty())
            return fail(QStringLiteral("A picture of %1 x %2 pixels cannot be drawn%3.")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
        return fail(QStringLiteral("The picture cannot be written to \"%1\": %2.").arg(target, why));
    }
    if (!m_keepFolder.isEmpty()) {
        const QString copy = QDir(m_keepFolder).filePath(QStringLiteral("published-%1.jpg").arg(m_published + 1, 4, 10, QLatin1Char('0')));
        if (!writeWhole(copy, jpeg, &why))
            return fail(QStringLiteral("The published picture cannot be kept as \"%1\": %2.").arg(copy, why));
    }
    ++m_published;
    return true;
}

} // namespace authoring
