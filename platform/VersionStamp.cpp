// Compiled into each deliverable (tessory_stamp_version in CMake); the
// STAMP_* values come from the project version.
#include "VersionStamp.h"

__attribute__((section(".tessory_version"), used))
static const platform::VersionStampRecord tessoryVersionStamp = {
    {'T', 'S', 'Y', 'V', 'E', 'R', '1', '\0'},
    {STAMP_MAJOR, STAMP_MINOR, STAMP_RELEASE, STAMP_BUILD}};
