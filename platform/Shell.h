#pragma once
#include <QString>

namespace platform {

// Opens a file with the desktop's default application; false when none could
// be started.
bool shellOpen(const QString &path);

// Deletes, silently and permanently, the regular files (and links) whose full
// path matches pattern, a folder followed by a file-name wildcard such as
// "/tmp/tessory-1000/VELUMOR*.jpg". Folders are never touched; failures are
// ignored. Returns the number of files removed.
int shellDeleteFiles(const QString &pattern);

} // namespace platform
