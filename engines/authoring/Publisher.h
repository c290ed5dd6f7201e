#pragma once
// Publishing a document's current frame as its publish profile says.
#include <QString>

namespace authoring {

class Document;
struct PublishProfile;

class Publisher {
public:
    // With keepFolder given, every picture is also copied there as
    // published-0001.jpg, published-0002.jpg, ...
    explicit Publisher(QString keepFolder = {}) : m_keepFolder(std::move(keepFolder)) {}

    // Draws the current scene's current frame and writes it as the JPEG
    // file the profile names, whole or not at all. False and one sentence
    // in *error otherwise; then no older picture is left under that name,
    // where it would pass for this frame.
    bool publish(const Document &document, const PublishProfile &profile, QString *error);

private:
    QString m_keepFolder;
    int m_published = 0;
};

} // namespace authoring
