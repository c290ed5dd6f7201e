#pragma once
// The JPEG publish profile the authoring tool applies before it exports
// frames for the wizard.
#include <QString>
#include <cstdint>

namespace extension {

// The 27 lines joined by "\n", no line feed after the last.
QString profileText(const QString &tempBase, int32_t width, int32_t height, int32_t quality);

// & < > " ' as XML entities.
QString xmlEscaped(const QString &text);

// "file://" and the absolute path, nothing escaped.
QString profileUri(const QString &profilePath);

enum class ProfileWrite { Written, CannotOpen, CannotWrite, CannotClose };

// Replaces the file with text in UTF-8.
ProfileWrite writeProfile(const QString &path, const QString &text);

// The message for a failed write.
QString profileWriteMessage(ProfileWrite result);

} // namespace extension
