#pragma once
#include <QString>

namespace platform {

// The private per-user temporary folder ${TMPDIR:-/tmp}/tessory-<uid>/, with
// its trailing "/". Created with mode 0700 when missing. Throws PlatformError
// when the path is a symbolic link, not a folder, owned by another user or
// open to others, or cannot be created. Wizard, extension library and host
// all call this, so their picture names meet.
QString privateTempFolder();

} // namespace platform
