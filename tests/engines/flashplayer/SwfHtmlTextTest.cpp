// Text field contents into paragraphs of formatted spans.
#include "engines/flashplayer/SwfHtmlText.h"

#include <gtest/gtest.h>

namespace {

using swf::TextAlign;
using swf::TextFormat;
using swf::TextParagraph;

const TextFormat kBase{QString(), 240, swf::Color{0, 0, 0, 255}};

// "text|text" per paragraph, spans joined by '|'.
QStringList texts(const std::vector<TextParagraph> &paragraphs)
{
    QStringList out;
    for (const auto &p : paragraphs) {
        QStringList spans;
        for (const auto &s : p.spans)
            spans << s.text;
        out << spans.join(QLatin1Char('|'));
    }
    return out;
}

TEST(FieldText, PlainTextBreaksAtEveryKindOfLineEnd)
{
    const auto paragraphs = swf::plainParagraphs(QStringLiteral("a\r\nb\rc\n\nd <b>"), kBase, TextAlign::Right);
    EXPECT_EQ(texts(paragraphs), (QStringList{"a", "b", "c", "", "d <b>"}));
    for (const auto &p : paragraphs) {
        EXPECT_EQ(p.align, TextAlign::Right);
        for (const auto &s : p.spans)
            EXPECT_EQ(s.format, kBase);
    }
}

TEST(FieldText, HtmlFormatsNestAndCloseInOrder)
{
    const auto paragraphs = swf::htmlParagraphs(
        QStringLiteral("<P ALIGN='center'><FONT FACE=\"Boxes, Sans\" SIZE=\"+4\" COLOR=\"#00FF80\">a<b>b<i>c</i></b>"
                       "</FONT><u>d</u></P>e"),
        kBase, TextAlign::Left);
    ASSERT_EQ(texts(paragraphs), (QStringList{"a|b|c|d", "e"}));
    const auto &spans = paragraphs[0].spans;
    EXPECT_EQ(paragraphs[0].align, TextAlign::Center);
    EXPECT_EQ(paragraphs[1].align, TextAlign::Left) << "the alignment ends with its paragraph";

    TextFormat font = kBase;
    font.face = QStringLiteral("Boxes");
    font.height = 240 + 4 * 20;
    font.color = swf::Color{0, 255, 128, 255};
    EXPECT_EQ(spans[0].format, font);
    TextFormat bold = font;
    bold.bold = true;
    EXPECT_EQ(spans[1].format, bold);
    TextFormat boldItalic = bold;
    boldItalic.italic = true;
    EXPECT_EQ(spans[2].format, boldItalic);
    TextFormat underline = kBase;
    underline.underline = true;
    EXPECT_EQ(spans[3].format, underline) << "closing FONT undid its size, colour and face";
    EXPECT_EQ(paragraphs[1].spans[0].format, kBase);
}

TEST(FieldText, HtmlBreaksBulletsAndEntities)
{
    EXPECT_EQ(texts(swf::htmlParagraphs(QStringLiteral("one<br>two<BR/>three\nfour"), kBase, TextAlign::Left)),
              (QStringList{"one", "two", "three", "four"}));
    EXPECT_EQ(texts(swf::htmlParagraphs(QStringLiteral("<p>a</p><p></p><p>b</p>"), kBase, TextAlign::Left)),
              (QStringList{"a", "", "b"}))
        << "an empty paragraph is an empty line; the last closing P adds none";
    EXPECT_EQ(texts(swf::htmlParagraphs(QStringLiteral("<li>one</li><li>two</li>"), kBase, TextAlign::Left)),
              (QStringList{QStringLiteral("\u2022 one"), QStringLiteral("\u2022 two")}));
    EXPECT_EQ(texts(swf::htmlParagraphs(QStringLiteral("&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&nbsp;&bogus;&#0;"),
                                        kBase, TextAlign::Left)),
              (QStringList{QStringLiteral("<&>\"'AB\u00a0&bogus;&#0;")}));
    EXPECT_EQ(texts(swf::htmlParagraphs(QStringLiteral("<a href='x'>link</a> <span class=\"c\">s</span>"
                                                       "<textformat leading='2'>t</textformat>"),
                                        kBase, TextAlign::Left)),
              (QStringList{"link st"}))
        << "other tags keep their text";
}

TEST(FieldText, DamagedHtmlStaysText)
{
    // A stray closing tag, an unclosed one, a bad size and colour, a lone '<'.
    const auto paragraphs = swf::htmlParagraphs(
        QStringLiteral("</b>a<i>b<font size='huge' color='#12'>c</font>d < e"), kBase, TextAlign::Left);
    ASSERT_EQ(texts(paragraphs), (QStringList{"a|bcd < e"})) << "a FONT that changes nothing adds no span";
    EXPECT_EQ(paragraphs[0].spans[0].format, kBase);
    TextFormat italic = kBase;
    italic.italic = true;
    EXPECT_EQ(paragraphs[0].spans[1].format, italic) << "an unclosed I lasts to the end";

    // Sizes are kept within what can be drawn.
    const auto huge = swf::htmlParagraphs(QStringLiteral("<font size='100000'>x</font><font size='-50'>y</font>"),
                                          kBase, TextAlign::Left);
    ASSERT_EQ(huge[0].spans.size(), 2u);
    EXPECT_EQ(huge[0].spans[0].format.height, 1000 * 20);
    EXPECT_EQ(huge[0].spans[1].format.height, 20);

    // Deep nesting costs nothing unbounded.
    QString deep;
    for (int i = 0; i < 5000; ++i)
        deep += QStringLiteral("<b>");
    deep += QStringLiteral("x");
    EXPECT_EQ(texts(swf::htmlParagraphs(deep, kBase, TextAlign::Left)), (QStringList{"x"}));
}

} // namespace
