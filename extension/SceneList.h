#pragma once
// The scenes of runUI's fourth argument, read from script values, and the
// control-character text that carries them on the wizard's command line.
#include "extension/HostTable.h"

#include <QString>
#include <optional>
#include <vector>

namespace extension {

struct SceneLabel {
    QString name;
    int32_t start = 0;
    int32_t duration = 0;
};

struct SceneEntry {
    QString name;
    int32_t frameCount = 0;
    std::vector<int32_t> keyFrames;
    std::vector<SceneLabel> labels;
};

// Every piece ends with its terminator; the wizard's reader gives it back.
QString encodeSceneList(const std::vector<SceneEntry> &scenes);

// Reads count scenes from the array; nullopt and *failure (the message of
// the read that failed) otherwise.
std::optional<std::vector<SceneEntry>> readScenes(const HostTable &host, JSContext *cx, JSObject *scenes,
                                                  int32_t count, QString *failure);

} // namespace extension
