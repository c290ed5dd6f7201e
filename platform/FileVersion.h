#pragma once
#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

struct FileVersion {
    uint16_t major = 0, minor = 0, release = 0, build = 0;
    bool operator==(const FileVersion &) const = default;
};

// Reads the file version that a deliverable carries in its ".tessory_version"
// ELF section, without loading the file. nullopt when the file cannot be
// read, is not ELF, or carries no stamp.
std::optional<FileVersion> readFileVersion(const QString &path);

// Path of the running program's own file.
QString ownExecutablePath();

} // namespace platform
