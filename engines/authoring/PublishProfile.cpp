#include "engines/authoring/PublishProfile.h"

#include "engines/flashplayer/SwfPlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <QXmlStreamReader>

namespace authoring {

namespace {

// Extensions write the path into the URI as it is, unescaped; a path that
// holds "%" or "#" only survives when it is not decoded.
QString localPathOf(const QString &uri)
{
    const QUrl url(uri, QUrl::TolerantMode);
    if (!url.isValid() || !url.isLocalFile())
        return {};
    const QString decoded = url.toLocalFile();
    const QString raw = uri.mid(int(qstrlen("file://")));
    return QFileInfo::exists(decoded) || !QFileInfo::exists(raw) ? decoded : raw;
}

} // namespace

std::optional<PublishProfile> readPublishProfile(const QString &uri, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<PublishProfile> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!uri.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        return fail(QStringLiteral("The publish profile \"%1\" is not a file:// URI.").arg(uri));
    const QString path = localPathOf(uri);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The publish profile \"%1\" cannot be opened: %2.")
                        .arg(path.isEmpty() ? uri : path, file.errorString()));

    // Element text by name within its section.
    QHash<QString, QString> values;
    QString profileName;
    QXmlStreamReader xml(&file);
    QString section;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString element = xml.name().toString();
        if (element == QLatin1String("flash_profile")) {
            profileName = xml.attributes().value(QLatin1String("name")).toString();
        } else if (element == QLatin1String("PublishFormatProperties")
                   || element == QLatin1String("PublishJpegProperties")) {
            section = element;
        } else if (!section.isEmpty()) {
            values.insert(section + u'/' + element, xml.readElementText(QXmlStreamReader::SkipChildElements));
        }
    }
    if (xml.hasError())
        return fail(QStringLiteral("The publish profile \"%1\" is not valid XML (line %2: %3).")
                        .arg(path)
                        .arg(xml.lineNumber())
                        .arg(xml.errorString()));

    PublishProfile p;
    p.name = profileName.isEmpty() ? QStringLiteral("Imported profile") : profileName;
    bool ok = true;
    const auto number = [&](const char *key, int low, int high, int *out) {
        const QString text = values.value(QLatin1String(key)).trimmed();
        bool valid = false;
        const int v = text.toInt(&valid);
        if (!valid || v < low || v > high) {
            if (ok && error)
                *error = QStringLiteral("The publish profile \"%1\" has %2 %3 (%4 to %5 expected).")
                             .arg(path, text.isEmpty() ? QStringLiteral("no value for") : QStringLiteral("a bad value for"),
                                  QString::fromLatin1(key).section(u'/', 1))
                             .arg(low)
                             .arg(high);
            ok = false;
        }
        *out = v;
    };
    int flag = 0;
    number("PublishFormatProperties/jpeg", 0, 1, &flag);
    p.jpeg = flag == 1;
    if (!p.jpeg)
        return ok ? std::optional(p) : std::nullopt;
    p.jpegFileName = values.value(QStringLiteral("PublishFormatProperties/jpegFileName"));
    if (p.jpegFileName.trimmed().isEmpty())
        return fail(QStringLiteral("The publish profile \"%1\" names no JPEG file.").arg(path));
    int match = 0;
    if (values.contains(QStringLiteral("PublishJpegProperties/MatchMovieDim")))
        number("PublishJpegProperties/MatchMovieDim", 0, 1, &match);
    p.matchMovie = match == 1;
    if (!p.matchMovie) {
        number("PublishJpegProperties/Width", 1, swf::kMaxPictureSide, &p.width);
        number("PublishJpegProperties/Height", 1, swf::kMaxPictureSide, &p.height);
    }
    number("PublishJpegProperties/Quality", 0, 100, &p.quality);
    return ok ? std::optional(p) : std::nullopt;
}

} // namespace authoring
