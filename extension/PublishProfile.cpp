#include "extension/PublishProfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace extension {

QString xmlEscaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&apos;"); break;
        default: out += c;
        }
    }
    return out;
}

QString profileText(const QString &tempBase, int32_t width, int32_t height, int32_t quality)
{
    const QString t2 = QStringLiteral("\t\t"), t3 = QStringLiteral("\t\t\t");
    const QStringList lines{
        QStringLiteral("<?xml version=\"1.0\"?>"),
        t2 + QStringLiteral("<flash_profile version=\"1.0\" name=\"Tessory Profile\">"),
        t2 + QStringLiteral("<PublishFormatProperties enabled=\"true\">"),
        t3 + QStringLiteral("<defaultNames>0</defaultNames>"),
        t3 + QStringLiteral("<flash>0</flash>"),
        t3 + QStringLiteral("<generator>0</generator>"),
        t3 + QStringLiteral("<projectorWin>0</projectorWin>"),
        t3 + QStringLiteral("<projectorMac>0</projectorMac>"),
        t3 + QStringLiteral("<html>0</html>"),
        t3 + QStringLiteral("<gif>0</gif>"),
        t3 + QStringLiteral("<jpeg>1</jpeg>"),
        t3 + QStringLiteral("<png>0</png>"),
        t3 + QStringLiteral("<qt>0</qt>"),
        t3 + QStringLiteral("<rnwk>0</rnwk>"),
        t3 + QStringLiteral("<jpegDefaultName>0</jpegDefaultName>"),
        t3 + QStringLiteral("<jpegFileName>%1.jpg</jpegFileName>").arg(xmlEscaped(tempBase)),
        t2 + QStringLiteral("</PublishFormatProperties>"),
        t2 + QStringLiteral("<PublishJpegProperties enabled=\"true\">"),
        t3 + QStringLiteral("<Width>%1</Width>").arg(width),
        t3 + QStringLiteral("<Height>%1</Height>").arg(height),
        t3 + QStringLiteral("<Progressive>0</Progressive>"),
        t3 + QStringLiteral("<DPI>4718592</DPI>"),
        t3 + QStringLiteral("<Size>0</Size>"),
        t3 + QStringLiteral("<Quality>%1</Quality>").arg(quality),
        t3 + QStringLiteral("<MatchMovieDim>0</MatchMovieDim>"),
        t2 + QStringLiteral("</PublishJpegProperties>"),
        t2 + QStringLiteral("</flash_profile>"),
    };
    return lines.join(QLatin1Char('\n'));
}

QString profileUri(const QString &profilePath)
{
    return QStringLiteral("file://") + QFileInfo(profilePath).absoluteFilePath();
}

ProfileWrite writeProfile(const QString &path, const QString &text)
{
    if (path.isEmpty())
        return ProfileWrite::CannotOpen;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return ProfileWrite::CannotOpen;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return ProfileWrite::CannotWrite;
    file.close();
    return file.error() == QFileDevice::NoError ? ProfileWrite::Written : ProfileWrite::CannotClose;
}

QString profileWriteMessage(ProfileWrite result)
{
    switch (result) {
    case ProfileWrite::Written: break;
    case ProfileWrite::CannotOpen: return QStringLiteral("setImageResolutionAndQuality(): Cannot open profile file");
    case ProfileWrite::CannotWrite:
        return QStringLiteral("setImageResolutionAndQuality(): Cannot write profile file contents");
    case ProfileWrite::CannotClose: return QStringLiteral("setImageResolutionAndQuality(): Cannot close profile file");
    }
    return QString();
}

} // namespace extension
