#pragma once
// The text of a text field as paragraphs of formatted spans: plain text
// split at its line breaks, or the small HTML a field marked as HTML holds.

#include "engines/flashplayer/SwfTypes.h"

#include <QString>

#include <vector>

namespace swf {

struct TextFormat {
    QString face;        // a font name; empty for the field's own font
    double height = 240; // twips
    Color color;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const TextFormat &) const = default;
};

struct TextSpan {
    QString text;
    TextFormat format;
};

struct TextParagraph {
    TextAlign align = TextAlign::Left;
    std::vector<TextSpan> spans; // none for an empty line
};

// One paragraph per line of text (CR, LF and CRLF all break), each one span
// in the field's format.
std::vector<TextParagraph> plainParagraphs(const QString &text, const TextFormat &base, TextAlign align);

// The player's HTML: P (ALIGN) and BR break lines; FONT (FACE, SIZE in
// pixels, absolute or +n/-n, COLOR #RRGGBB), B, I and U format; LI starts a
// bulleted line. Other tags are dropped and their text kept; character
// entities (named and numeric) are decoded; line breaks in the source also
// break. Unclosed or stray closing tags do no harm.
std::vector<TextParagraph> htmlParagraphs(const QString &html, const TextFormat &base, TextAlign align);

} // namespace swf
