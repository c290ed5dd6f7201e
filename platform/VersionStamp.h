#pragma once
#include <cstdint>

namespace platform {

// Layout of the ".tessory_version" section that each deliverable carries.
struct VersionStampRecord {
    char magic[8];        // "TSYVER1\0"
    uint16_t version[4];  // major, minor, release, build; little-endian
};
static_assert(sizeof(VersionStampRecord) == 16);

inline constexpr char kVersionSectionName[] = ".tessory_version";

} // namespace platform
