#include "sheet/FontFile.h"

#include <QDir>
#include <array>

namespace {

enum Kind { Regular, Bold, Italic, BoldItalic, NoKind };

Kind Classify(const QString &value, const QString &name)
{
    const auto starts = [&](const QString &prefix) { return value.startsWith(prefix, Qt::CaseInsensitive); };
    if (starts(name + QStringLiteral(" Bold Italic")))
        return BoldItalic;
    if (starts(name + QStringLiteral(" Bold")))
        return Bold;
    if (starts(name + QStringLiteral(" Italic")))
        return Italic;
    if (!starts(name))
        return NoKind;
    // "Name (…)": the family alone, not a longer family name.
    const qsizetype n = name.size();
    if (value.size() == n)
        return Regular;
    return value.size() > n + 2 && value.at(n + 1) == QLatin1Char('(') ? Regular : NoKind;
}

} // namespace

QString FindFontFile(const QString &name, bool bold, bool italic, const QVector<platform::FontEntry> &entries,
                     const QString &fontsFolder)
{
    std::array<QString, 4> found;
    for (const auto &[value, file] : entries) {
        const Kind kind = Classify(value, name);
        if (kind != NoKind)
            found[kind] = file; // a later one replaces an earlier one
    }
    static constexpr Kind orders[4][4] = {
        {Regular, Italic, Bold, BoldItalic},   // neither
        {Bold, Regular, BoldItalic, Italic},   // bold
        {Italic, Regular, BoldItalic, Bold},   // italic
        {BoldItalic, Bold, Italic, Regular},   // both
    };
    for (Kind kind : orders[(bold ? 1 : 0) + (italic ? 2 : 0)]) {
        const QString &file = found[kind];
        if (file.isEmpty())
            continue;
        if (QDir::isAbsolutePath(file) || fontsFolder.isEmpty())
            return file;
        return QDir(fontsFolder).filePath(file);
    }
    return {};
}

QString FindFontFile(const QString &name, bool bold, bool italic)
{
    return FindFontFile(name, bold, italic, platform::installedFontEntries());
}
