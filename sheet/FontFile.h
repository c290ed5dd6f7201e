#pragma once
// Which file holds a font, found by the names of the installed-fonts table.
#include "platform/FontList.h"

#include <QString>
#include <QVector>

// The file of font name in the given style among entries (value name ->
// file; a relative file is taken inside fontsFolder). Empty when no entry
// names the font.
QString FindFontFile(const QString &name, bool bold, bool italic, const QVector<platform::FontEntry> &entries,
                     const QString &fontsFolder = QString());
// The same over the system's installed fonts.
QString FindFontFile(const QString &name, bool bold, bool italic);
