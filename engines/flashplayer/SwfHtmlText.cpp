#include "engines/flashplayer/SwfHtmlText.h"

#include <QRegularExpression>

#include <algorithm>

namespace swf {
namespace {

// Builds paragraphs span by span, merging neighbours of one format.
class ParagraphBuilder {
public:
    explicit ParagraphBuilder(TextAlign align) { m_out.push_back(TextParagraph{align, {}}); }

    void add(const QString &text, const TextFormat &format)
    {
        if (text.isEmpty())
            return;
        auto &spans = m_out.back().spans;
        if (!spans.empty() && spans.back().format == format)
            spans.back().text += text;
        else
            spans.push_back(TextSpan{text, format});
    }
    void breakLine(TextAlign align) { m_out.push_back(TextParagraph{align, {}}); }
    // The alignment of the line being built, when a P tag opens on it.
    void setAlign(TextAlign align) { m_out.back().align = align; }
    bool lineIsEmpty() const { return m_out.back().spans.empty(); }

    std::vector<TextParagraph> take() { return std::move(m_out); }

private:
    std::vector<TextParagraph> m_out;
};

QString decodeEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9a-fA-F]{1,6}|#[0-9]{1,7}|[a-zA-Z]{2,6});"));
    QString out;
    qsizetype from = 0;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += QStringView(text).mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const QString name = m.captured(1);
        char32_t code = 0;
        if (name.startsWith(QLatin1String("#x")))
            code = name.mid(2).toUInt(nullptr, 16);
        else if (name.startsWith(QLatin1Char('#')))
            code = name.mid(1).toUInt();
        else if (name == QLatin1String("lt"))
            code = '<';
        else if (name == QLatin1String("gt"))
            code = '>';
        else if (name == QLatin1String("amp"))
            code = '&';
        else if (name == QLatin1String("quot"))
            code = '"';
        else if (name == QLatin1String("apos"))
            code = '\'';
        else if (name == QLatin1String("nbsp"))
            code = 0xA0;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            out += m.captured(0); // not one the player knows: left as written
        else
            out += QString::fromUcs4(&code, 1);
    }
    out += QStringView(text).mid(from);
    return out;
}

std::optional<TextAlign> alignNamed(const QString &name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("left"))
        return TextAlign::Left;
    if (n == QLatin1String("right"))
        return TextAlign::Right;
    if (n == QLatin1String("center"))
        return TextAlign::Center;
    if (n == QLatin1String("justify"))
        return TextAlign::Justify;
    return std::nullopt;
}

// Attributes of a tag's inside ("font face='x' size=12"), names lower-cased.
std::vector<std::pair<QString, QString>> attributesOf(const QString &inside)
{
    static const QRegularExpression attribute(
        QStringLiteral("([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'>]+))"));
    std::vector<std::pair<QString, QString>> out;
    auto it = attribute.globalMatch(inside);
    while (it.hasNext()) {
        const auto m = it.next();
        QString value = m.captured(2);
        if (value.isNull())
            value = m.captured(3);
        if (value.isNull())
            value = m.captured(4);
        out.emplace_back(m.captured(1).toLower(), decodeEntities(value));
    }
    return out;
}

void applyFont(TextFormat &format, const std::vector<std::pair<QString, QString>> &attributes)
{
    for (const auto &[name, value] : attributes) {
        if (name == QLatin1String("face")) {
            // A list of names: the first is the one meant.
            const QString first = value.section(QLatin1Char(','), 0, 0).trimmed();
            if (!first.isEmpty())
                format.face = first;
        } else if (name == QLatin1String("size")) {
            const QString v = value.trimmed();
            bool ok = false;
            const double n = v.toDouble(&ok);
            if (!ok)
                continue;
            const double pixels = (v.startsWith(QLatin1Char('+')) || v.startsWith(QLatin1Char('-')))
                                      ? format.height / 20 + n
                                      : n;
            format.height = std::clamp(pixels, 1.0, 1000.0) * 20;
        } else if (name == QLatin1String("color")) {
            QString v = value.trimmed();
            if (v.startsWith(QLatin1Char('#')))
                v.remove(0, 1);
            bool ok = false;
            const uint rgb = v.toUInt(&ok, 16);
            if (ok && v.size() == 6)
                format.color = Color{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), format.color.alpha};
        }
    }
}

} // namespace

std::vector<TextParagraph> plainParagraphs(const QString &text, const TextFormat &base, TextAlign align)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    ParagraphBuilder out(align);
    const QStringList lines = t.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out.breakLine(align);
        out.add(lines[i], base);
    }
    return out.take();
}

std::vector<TextParagraph> htmlParagraphs(const QString &html, const TextFormat &base, TextAlign align)
{
    static const QRegularExpression tag(QStringLiteral("<(/?)\\s*([A-Za-z][A-Za-z0-9]*)([^>]*)>"));
    // Formats opened by tags still open, innermost last; each knows its tag
    // so that a closing tag undoes what its opening did, however nested.
    struct Open {
        QString name;
        TextFormat format;
    };
    std::vector<Open> open;
    const auto current = [&]() -> const TextFormat & { return open.empty() ? base : open.back().format; };
    TextAlign paragraphAlign = align;
    ParagraphBuilder out(align);

    const auto addText = [&](QStringView raw) {
        QString text = decodeEntities(raw.toString());
        text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                out.breakLine(paragraphAlign);
            out.add(lines[i], current());
        }
    };

    qsizetype from = 0;
    auto it = tag.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        addText(QStringView(html).mid(from, m.capturedStart() - from));
        from = m.capturedEnd();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();

        if (name == QLatin1String("br")) {
            out.breakLine(paragraphAlign);
            continue;
        }
        if (name == QLatin1String("p") || name == QLatin1String("li")) {
            if (closing) {
                out.breakLine(align);
                paragraphAlign = align;
                continue;
            }
            if (!out.lineIsEmpty())
                out.breakLine(paragraphAlign);
            if (name == QLatin1String("p")) {
                for (const auto &[attr, value] : attributesOf(m.captured(3)))
                    if (attr == QLatin1String("align"))
                        paragraphAlign = alignNamed(value).value_or(paragraphAlign);
            }
            out.setAlign(paragraphAlign);
            if (name == QLatin1String("li"))
                out.add(QStringLiteral("\u2022 "), current());
            continue;
        }
        const bool formats = name == QLatin1String("font") || name == QLatin1String("b") || name == QLatin1String("i")
                          || name == QLatin1String("u");
        if (!formats)
            continue; // the text of other tags (A, SPAN, TEXTFORMAT...) shows as it is
        if (closing) {
            const auto match = std::find_if(open.rbegin(), open.rend(), [&](const Open &o) { return o.name == name; });
            if (match != open.rend())
                open.erase(std::next(match).base(), open.end());
            continue;
        }
        TextFormat format = current();
        if (name == QLatin1String("font"))
            applyFont(format, attributesOf(m.captured(3)));
        else if (name == QLatin1String("b"))
            format.bold = true;
        else if (name == QLatin1String("i"))
            format.italic = true;
        else
            format.underline = true;
        if (open.size() < 256) // deeper nesting only keeps the format it has
            open.push_back(Open{name, format});
    }
    addText(QStringView(html).mid(from));

    std::vector<TextParagraph> paragraphs = out.take();
    // A closing P at the very end ends the text; it adds no empty line.
    if (paragraphs.size() > 1 && paragraphs.back().spans.empty())
        paragraphs.pop_back();
    return paragraphs;
}

} // namespace swf
