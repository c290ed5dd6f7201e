#pragma once
// The installed fonts as the system's font table names them: one entry per
// font file, "Family Style (TrueType)" -> the file's absolute path.
#include <QString>
#include <QVector>
#include <utility>

namespace platform {

using FontEntry = std::pair<QString, QString>; // value name, file
// In fontconfig's order; "Oblique" styles read as "Italic", and the regular
// style leaves the name at the family alone ("DejaVu Sans (TrueType)").
QVector<FontEntry> installedFontEntries();

} // namespace platform
