#pragma once
// A publish profile as the authoring tool imports it: which formats are
// published and how the JPEG picture is made.
#include <QString>

#include <optional>

namespace authoring {

struct PublishProfile {
    QString name;
    bool jpeg = false;
    QString jpegFileName; // as written, unescaped; relative to the document's folder
    int width = 0;
    int height = 0;
    int quality = 0;
    bool matchMovie = false; // the stage's own size instead of width x height
};

// The profile in the file a file:// URI names; nullopt and one sentence
// in *error when it cannot be read or lacks a value publishing needs.
std::optional<PublishProfile> readPublishProfile(const QString &uri, QString *error);

} // namespace authoring
