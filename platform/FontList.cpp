#include "platform/FontList.h"

#include <QFileInfo>
#include <QStringList>

#include <fontconfig/fontconfig.h>

namespace platform {
namespace {

QString styleWords(QString style)
{
    style.replace(QStringLiteral("Oblique"), QStringLiteral("Italic"));
    const QStringList regular{QStringLiteral("Regular"), QStringLiteral("Book"), QStringLiteral("Normal"),
                              QStringLiteral("Roman"), QStringLiteral("Medium")};
    return regular.contains(style, Qt::CaseInsensitive) ? QString() : style;
}

} // namespace

QVector<FontEntry> installedFontEntries()
{
    QVector<FontEntry> entries;
    FcPattern *pattern = FcPatternCreate();
    FcObjectSet *objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_FONTFORMAT, nullptr);
    FcFontSet *set = FcFontList(nullptr, pattern, objects);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8 *family = nullptr, *style = nullptr, *file = nullptr, *format = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch ||
            FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
            continue;
        FcPatternGetString(set->fonts[i], FC_STYLE, 0, &style);
        FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format);
        const QString kind = format && QByteArray(reinterpret_cast<const char *>(format)) == "CFF"
                                 ? QStringLiteral("OpenType")
                                 : QStringLiteral("TrueType");
        const QString words = style ? styleWords(QString::fromUtf8(reinterpret_cast<const char *>(style))) : QString();
        QString name = QString::fromUtf8(reinterpret_cast<const char *>(family));
        if (!words.isEmpty())
            name += QLatin1Char(' ') + words;
        entries.push_back({name + QStringLiteral(" (%1)").arg(kind),
                           QFileInfo(QString::fromUtf8(reinterpret_cast<const char *>(file))).absoluteFilePath()});
    }
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return entries;
}

} // namespace platform
