// Text fields: their formatted text broken into lines and outlined, with
// embedded fonts or the system's.
#include "engines/flashplayer/SwfRendererImpl.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>

#include <deque>
#include <unordered_map>

namespace swf {
// An embedded font by name, the one of the asked style first.
const Font *Renderer::Impl::embeddedFont(const QString &face, bool bold, bool italic) const
{
    const Font *any = nullptr;
    for (const auto &[id, character] : movie->characters) {
        const Font *font = std::get_if<Font>(&character);
        if (!font || font->glyphs.empty() || font->name.compare(face, Qt::CaseInsensitive) != 0)
            continue;
        if (font->bold == bold && font->italic == italic)
            return font;
        if (!any)
            any = font;
    }
    return any;
}

// Nothing when the text cannot be drawn (a system font without the
// application's font database).
std::optional<Renderer::Impl::TextFace> Renderer::Impl::textFace(const EditText &e, const TextFormat &format)
{
    const Font *fieldFont = e.fontId ? movie->character<Font>(*e.fontId) : nullptr;
    const double height = format.height;
    TextFace face;
    const Font *font = fieldFont;
    if (!format.face.isEmpty() && fieldFont && !fieldFont->glyphs.empty())
        font = embeddedFont(format.face, format.bold, format.italic);
    if (font && !font->glyphs.empty()) {
        const double em = font->emSquare > 0 ? font->emSquare : 1024;
        const double scale = height / em;
        face.ascent = height * 0.8;
        face.descent = height * 0.2;
        if (font->hasLayout && font->ascent + font->descent > 0) {
            face.ascent = font->ascent * scale;
            face.descent = font->descent * scale;
        }
        auto byCode = std::make_shared<std::unordered_map<uint32_t, uint32_t>>();
        for (uint32_t i = 0; i < font->glyphs.size(); ++i)
            byCode->emplace(font->glyphs[i].code, i);
        const uint16_t fid = font->id;
        auto advanceOf = [this, font, fid, scale](uint32_t index) {
            const Glyph &g = font->glyphs[index];
            if (g.advance)
                return *g.advance * scale;
            const QPainterPath *p = glyph(fid, index);
            return p ? (p->boundingRect().right() + 64) * scale : 512 * scale;
        };
        face.measure = [byCode, advanceOf, height](const QString &text) {
            double w = 0;
            for (const QChar ch : text) {
                const auto found = byCode->find(ch.unicode());
                w += found != byCode->end() ? advanceOf(found->second) : height / 2;
            }
            return w;
        };
        face.outline = [this, byCode, advanceOf, height, scale, fid](QPainterPath &path, const QString &text,
                                                                      double x, double baseline) {
            for (const QChar ch : text) {
                const auto found = byCode->find(ch.unicode());
                if (found == byCode->end()) {
                    x += height / 2;
                    continue;
                }
                if (const QPainterPath *g = glyph(fid, found->second))
                    path.addPath(QTransform(scale, 0, 0, scale, x, baseline).map(*g));
                x += advanceOf(found->second);
            }
        };
        return face;
    }
    // A device font; fonts need the application's font database.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return std::nullopt;
    QString family = !format.face.isEmpty() ? format.face : fieldFont ? fieldFont->name : QString();
    // The player's generic device font names.
    if (family.isEmpty() || family == QLatin1String("_sans"))
        family = QStringLiteral("Sans Serif");
    else if (family == QLatin1String("_serif"))
        family = QStringLiteral("Serif");
    else if (family == QLatin1String("_typewriter"))
        family = QStringLiteral("Monospace");
    QFont qfont(family);
    qfont.setPixelSize(std::max(1, int(std::lround(height))));
    qfont.setBold(format.bold || (fieldFont && fieldFont->bold));
    qfont.setItalic(format.italic || (fieldFont && fieldFont->italic));
    const QFontMetricsF metrics(qfont);
    face.ascent = metrics.ascent();
    face.descent = metrics.descent();
    face.measure = [metrics](const QString &text) { return metrics.horizontalAdvance(text); };
    face.outline = [qfont](QPainterPath &path, const QString &text, double x, double baseline) {
        path.addText(x, baseline, qfont, text);
    };
    return face;
}

std::shared_ptr<PreparedText> Renderer::Impl::editText(const EditText &e)
{
    auto &slot = texts[e.id];
    if (slot)
        return slot;
    slot = std::make_shared<PreparedText>();
    QRectF box = e.bounds.toRectF();
    slot->bounds = box;

    const EditTextLayout layout = e.layout.value_or(EditTextLayout{});
    TextFormat base;
    base.height = e.fontHeight.value_or(240);
    base.color = e.textColor.value_or(Color{0, 0, 0, 255});
    const QString content = e.initialText.value_or(QString());
    std::vector<TextParagraph> paragraphs =
        e.html ? htmlParagraphs(content, base, layout.align) : plainParagraphs(content, base, layout.align);
    if (!e.multiline) { // one line: the breaks are spaces
        for (size_t i = 1; i < paragraphs.size(); ++i) {
            paragraphs[0].spans.push_back(TextSpan{QStringLiteral(" "), base});
            for (TextSpan &span : paragraphs[i].spans)
                paragraphs[0].spans.push_back(std::move(span));
        }
        paragraphs.resize(1);
    }
    qsizetype characters = 0;
    for (TextParagraph &paragraph : paragraphs) {
        for (TextSpan &span : paragraph.spans) {
            if (e.password)
                span.text.fill(QLatin1Char('*'));
            span.text.truncate(std::max<qsizetype>(0, 20000 - characters));
            characters += span.text.size();
        }
    }

    // One face per format in use; pieces point at them as more are added.
    std::deque<std::pair<TextFormat, std::optional<TextFace>>> faces;
    const auto faceOf = [&](const TextFormat &format) -> const TextFace * {
        for (const auto &[f, face] : faces)
            if (f == format)
                return face ? &*face : nullptr;
        faces.emplace_back(format, textFace(e, format));
        return faces.back().second ? &*faces.back().second : nullptr;
    };
    const TextFace *baseFace = faceOf(base);
    if (!baseFace)
        return slot;

    // Words and the spaces between them, each of one format.
    struct Piece {
        QString text;
        const TextFormat *format;
        const TextFace *face;
        double width;
        bool space;
    };
    struct Line {
        std::vector<Piece> pieces;
        TextAlign align;
        bool first; // of its paragraph: indented
    };
    const double gutter = 40;
    const double left = box.left() + gutter + layout.leftMargin;
    const double right = box.right() - gutter - layout.rightMargin;
    std::vector<Line> lines;
    for (const TextParagraph &paragraph : paragraphs) {
        Line line{{}, paragraph.align, true};
        std::vector<Piece> word;
        double lineWidth = 0;
        double wordWidth = 0;
        const auto endWord = [&] {
            const double room = right - left - (line.first ? layout.indent : 0);
            if (e.wordWrap && !line.pieces.empty() && lineWidth + wordWidth > room) {
                while (!line.pieces.empty() && line.pieces.back().space)
                    line.pieces.pop_back();
                lines.push_back(std::move(line));
                line = Line{{}, paragraph.align, false};
                lineWidth = 0;
            }
            for (Piece &p : word)
                line.pieces.push_back(std::move(p));
            lineWidth += wordWidth;
            word.clear();
            wordWidth = 0;
        };
        for (const TextSpan &span : paragraph.spans) {
            const TextFace *face = faceOf(span.format);
            if (!face)
                continue;
            qsizetype at = 0;
            while (at < span.text.size()) {
                const bool space = span.text[at] == QLatin1Char(' ');
                qsizetype end = at;
                while (end < span.text.size() && (span.text[end] == QLatin1Char(' ')) == space)
                    ++end;
                const QString text = span.text.mid(at, end - at);
                at = end;
                const double width = face->measure(text);
                if (space) {
                    endWord();
                    line.pieces.push_back(Piece{text, &span.format, face, width, true});
                    lineWidth += width;
                } else {
                    word.push_back(Piece{text, &span.format, face, width, false});
                    wordWidth += width;
                }
            }
        }
        endWord();
        while (!line.pieces.empty() && line.pieces.back().space)
            line.pieces.pop_back();
        lines.push_back(std::move(line));
    }

    // Each line on a baseline its tallest text sets; paths by colour.
    std::vector<std::pair<Color, QPainterPath>> paths;
    const auto pathFor = [&](const Color &c) -> QPainterPath & {
        for (auto &[colour, path] : paths)
            if (colour == c)
                return path;
        paths.emplace_back(c, QPainterPath());
        paths.back().second.setFillRule(Qt::WindingFill);
        return paths.back().second;
    };
    double top = box.top() + gutter;
    double textLeft = right;
    double textRight = left;
    for (const Line &line : lines) {
        double ascent = 0;
        double descent = 0;
        double width = 0;
        for (const Piece &p : line.pieces) {
            ascent = std::max(ascent, p.face->ascent);
            descent = std::max(descent, p.face->descent);
            width += p.width;
        }
        if (line.pieces.empty()) {
            ascent = baseFace->ascent;
            descent = baseFace->descent;
        }
        const double baseline = top + ascent;
        double x = left + (line.first ? layout.indent : 0);
        if (line.align == TextAlign::Right)
            x = right - width;
        else if (line.align == TextAlign::Center)
            x = (left + right - width) / 2;
        if (!line.pieces.empty()) {
            textLeft = std::min(textLeft, x);
            textRight = std::max(textRight, x + width);
        }
        for (const Piece &p : line.pieces) {
            QPainterPath &path = pathFor(p.format->color);
            if (!p.space)
                p.face->outline(path, p.text, x, baseline);
            if (p.format->underline)
                path.addRect(QRectF(x, baseline + p.format->height * 0.1, p.width,
                                    std::max(20.0, p.format->height / 16)));
            x += p.width;
        }
        top = baseline + descent + layout.leading;
        if (!e.autoSize && top > box.bottom() + (ascent + descent) * 4)
            break; // far below the field: nothing more shows
    }

    if (e.autoSize) {
        // The field grows to hold its text: downwards, and sideways
        // when lines do not wrap.
        box.setBottom(std::max(box.bottom(), top + gutter));
        if (!e.wordWrap && textLeft <= textRight) {
            box.setLeft(std::min(box.left(), textLeft - gutter - layout.leftMargin));
            box.setRight(std::max(box.right(), textRight + gutter + layout.rightMargin));
        }
    } else {
        slot->clip = box; // text beyond the field's edges is hidden
    }
    if (e.border)
        slot->box = box;
    slot->bounds = box;
    for (auto &[colour, path] : paths) {
        if (path.isEmpty())
            continue;
        if (e.autoSize)
            slot->bounds |= path.boundingRect();
        slot->runs.push_back(TextRun{std::move(path), colour});
    }
    return slot;
}

} // namespace swf
