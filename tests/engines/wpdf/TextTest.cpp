// Labels drawn on the page canvas: real text, placed by the alignment, in the
// fonts the font mode asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "EngineHarness.h"

using namespace wpdftest;

namespace {

constexpr uint32_t TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24;
// DejaVu Sans: usWinAscent 1901 and usWinDescent 483 of 2048 units.
constexpr double kAscent = 1901.0 / 2048, kDescent = 483.0 / 2048;

std::string writeLabels(const TempDir &dir, const Settings &s, const std::string &emf,
                        std::vector<Message> *messages = nullptr)
{
    std::string out = dir.file("labels.pdf");
    EngineRun run;
    run.send(s);
    EXPECT_EQ(run.begin(out), 0);
    EXPECT_EQ(run.page(595, 842), 0);
    EXPECT_EQ(run.metafile(emf), 0);
    EXPECT_EQ(run.endPage(), 0);
    EXPECT_EQ(run.finish(out), 0);
    if (messages)
        *messages = run.messages();
    return out;
}

struct FontLine {
    std::string name, type, encoding, emb, sub, uni;
};

// pdffonts lines: name, type (may hold spaces), encoding, emb, sub, uni, object, generation.
std::vector<FontLine> fontsOf(const std::string &pdf)
{
    auto r = shell("pdffonts " + quote(pdf));
    std::vector<FontLine> out;
    std::istringstream in(r.output);
    std::string line;
    std::getline(in, line);
    std::getline(in, line); // header and rule
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string t; fields >> t;)
            f.push_back(t);
        if (f.size() < 8)
            continue;
        size_t n = f.size();
        std::string type;
        for (size_t i = 1; i < n - 6; ++i)
            type += (type.empty() ? "" : " ") + f[i];
        out.push_back(FontLine{f[0], type, f[n - 6], f[n - 5], f[n - 4], f[n - 3]});
    }
    return out;
}

struct Extent {
    double xMin = 1e9, yMin = 1e9, xMax = -1e9, yMax = -1e9;
    std::string text;
};

Extent extentOf(const std::vector<Word> &words)
{
    Extent e;
    for (auto &w : words) {
        e.xMin = std::min(e.xMin, w.xMin);
        e.yMin = std::min(e.yMin, w.yMin);
        e.xMax = std::max(e.xMax, w.xMax);
        e.yMax = std::max(e.yMax, w.yMax);
        e.text += (e.text.empty() ? "" : " ") + w.text;
    }
    return e;
}

std::string systemFontFile(const std::string &family)
{
    return shell("fc-match -f '%{file}' " + quote(family)).output;
}

} // namespace

struct AlignmentCase {
    const char *name;
    uint32_t align;
};

class WpdfTextAlignment : public ::testing::TestWithParam<AlignmentCase> {};

TEST_P(WpdfTextAlignment, LabelSitsWhereTheAlignmentPutsIt)
{
    const uint32_t align = GetParam().align;
    const int x = 300, y = 400, size = 10;
    TempDir dir;
    std::string emf = EmfBuilder()
                          .font(1, -size, u"DejaVu Sans")
                          .select(1)
                          .bkMode(1)
                          .textAlign(align)
                          .text(x, y, u"Frame 12")
                          .bytes();
    std::string out = writeLabels(dir, Settings{}, emf);
    Extent e = extentOf(wordsOnPage(out, 1));
    ASSERT_EQ(e.text, "Frame 12");
    EXPECT_GT(e.xMax - e.xMin, 30);
    switch (align & 6) {
    case TA_CENTER: EXPECT_NEAR((e.xMin + e.xMax) / 2, x, 0.5); break;
    case TA_RIGHT: EXPECT_NEAR(e.xMax, x, 0.5); break;
    default: EXPECT_NEAR(e.xMin, x, 0.5); break;
    }
    // pdftotext's boxes run from ascent above to descent below the baseline.
    double baseline = e.yMin + kAscent * size;
    EXPECT_NEAR(e.yMax, baseline + kDescent * size, 0.5);
    switch (align & 24) {
    case TA_BASELINE: EXPECT_NEAR(baseline, y, 0.5); break;
    case TA_BOTTOM: EXPECT_NEAR(e.yMax, y, 0.5); break;
    default: EXPECT_NEAR(e.yMin, y, 0.5); break;
    }
}

INSTANTIATE_TEST_SUITE_P(Alignments, WpdfTextAlignment,
                         ::testing::Values(AlignmentCase{"CentreTop", TA_CENTER | TA_TOP},
                                           AlignmentCase{"LeftTop", TA_LEFT | TA_TOP},
                                           AlignmentCase{"RightBottom", TA_RIGHT | TA_BOTTOM},
                                           AlignmentCase{"CentreBaseline", TA_CENTER | TA_BASELINE}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(WpdfText, TrueTypeModeReferencesFontsInWinAnsi)
{
    TempDir dir;
    std::string emf = EmfBuilder()
                          .font(1, -12, u"DejaVu Sans")
                          .font(2, -12, u"DejaVu Sans", 700)
                          .select(1)
                          .textAlign(TA_CENTER)
                          .text(100, 100, u"Caf\u00e9 \u20ac5")
                          .select(2)
                          .text(100, 200, u"Bold")
                          .bytes();
    std::vector<Message> messages;
    std::string out = writeLabels(dir, Settings{}, emf, &messages);
    auto fonts = fontsOf(out);
    ASSERT_EQ(fonts.size(), 2u);
    for (auto &f : fonts) {
        EXPECT_EQ(f.type, "TrueType") << f.name;
        EXPECT_EQ(f.encoding, "WinAnsi") << f.name;
        EXPECT_EQ(f.emb, "no") << f.name;
    }
    EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(),
                            [](auto &f) { return f.name.find("Bold") != std::string::npos; }));
    auto text = shell("pdftotext " + quote(out) + " -").output;
    EXPECT_NE(text.find("Café €5"), std::string::npos) << text;
    EXPECT_NE(text.find("Bold"), std::string::npos);
    for (auto &m : messages)
        EXPECT_NE(m.kind, 1) << m.text;
}

TEST(WpdfText, SubsetModeEmbedsOnlyUsedGlyphsWithUnicodeMap)
{
    TempDir dir;
    Settings s;
    s.fontMode = 5;
    std::string emf = EmfBuilder()
                          .font(1, -11, u"DejaVu Sans")
                          .select(1)
                          .text(50, 50, u"Scene 2 \u2013 \u00c4rger \u03a9")
                          .bytes();
    std::string out = writeLabels(dir, s, emf);
    auto fonts = fontsOf(out);
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_EQ(fonts[0].type, "CID TrueType");
    EXPECT_EQ(fonts[0].encoding, "Identity-H");
    EXPECT_EQ(fonts[0].emb, "yes");
    EXPECT_EQ(fonts[0].sub, "yes");
    EXPECT_EQ(fonts[0].uni, "yes");
    const std::string &name = fonts[0].name;
    EXPECT_TRUE(name.size() == 17 && name.substr(6) == "+DejaVuSans" &&
                std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; }))
        << name;
    auto text = shell("pdftotext " + quote(out) + " -").output;
    EXPECT_NE(text.find("Scene 2 – Ärger Ω"), std::string::npos) << text;

    // The embedded program is a subset, far smaller than the font file.
    PdfFile pdf(out);
    auto font = pdf.pages()[0].getKey("/Resources").getKey("/Font");
    auto descendant = font.getKey(font.getKeys().begin()->c_str()).getKey("/DescendantFonts").getArrayItem(0);
    auto program = descendant.getKey("/FontDescriptor").getKey("/FontFile2");
    ASSERT_TRUE(program.isStream());
    auto data = program.getStreamData();
    auto original = std::filesystem::file_size(systemFontFile("DejaVu Sans"));
    EXPECT_LT(data->getSize(), original / 4);
    EXPECT_EQ(program.getDict().getKey("/Length1").getIntValue(), static_cast<long long>(data->getSize()));
}

TEST(WpdfText, TextBeyondWinAnsiEmbedsASubsetEvenInTrueTypeMode)
{
    TempDir dir;
    std::string emf = EmfBuilder()
                          .font(1, -12, u"DejaVu Sans")
                          .select(1)
                          .text(50, 50, u"Plain")
                          .text(50, 100, u"\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1 \u041c\u0438\u0440")
                          .bytes();
    std::vector<Message> messages;
    std::string out = writeLabels(dir, Settings{}, emf, &messages);
    auto text = shell("pdftotext " + quote(out) + " -").output;
    EXPECT_NE(text.find("Καλημέρα Мир"), std::string::npos) << text;
    EXPECT_NE(text.find("Plain"), std::string::npos);
    auto fonts = fontsOf(out);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(), [](auto &f) { return f.emb == "yes" && f.uni == "yes"; }));
    EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(), [](auto &f) { return f.emb == "no"; }));
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](auto &m) {
        return m.kind == 1 && m.text.find("WinAnsi") != std::string::npos;
    }));
}

TEST(WpdfText, ExcludedFontsStayReferencedInSubsetMode)
{
    TempDir dir;
    Settings s;
    s.fontMode = 5;
    s.excludedFonts = "Arial\nDejaVu Sans";
    std::string emf = EmfBuilder().font(1, -12, u"DejaVu Sans").select(1).text(10, 10, u"Label").bytes();
    auto fonts = fontsOf(writeLabels(dir, s, emf));
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_EQ(fonts[0].emb, "no");
}

TEST(WpdfText, ColourUnderlineAndStrikeOut)
{
    TempDir dir;
    const int size = 20;
    std::string emf = EmfBuilder()
                          .font(1, -size, u"DejaVu Sans", 400, false, true, true)
                          .select(1)
                          .bkMode(1)
                          .textColor(0x00FF0000) // blue, as 0x00BBGGRR
                          .textAlign(TA_LEFT | TA_BASELINE)
                          .text(100, 300, u"Struck")
                          .bytes();
    std::string out = writeLabels(dir, Settings{}, emf);
    PdfFile pdf(out);
    std::string content = pdf.content(0);
    EXPECT_NE(content.find("0 0 1 rg"), std::string::npos) << content;
    // Rectangles in text space, whose baseline is at y = 0.
    std::vector<std::array<double, 4>> rects;
    std::istringstream tokens(content);
    std::vector<std::string> recent;
    for (std::string t; tokens >> t;) {
        if (t == "f" && recent.size() >= 5 && recent.back() == "re") {
            size_t n = recent.size();
            rects.push_back({std::stod(recent[n - 5]), std::stod(recent[n - 4]), std::stod(recent[n - 3]),
                             std::stod(recent[n - 2])});
        }
        recent.push_back(t);
    }
    ASSERT_EQ(rects.size(), 2u) << content;
    Extent e = extentOf(wordsOnPage(out, 1));
    for (auto &r : rects) {
        EXPECT_NEAR(r[0], 0, 0.01);
        EXPECT_NEAR(r[2], e.xMax - e.xMin, 0.5) << "a line spans the text";
        EXPECT_GT(r[3], 0.5);
        EXPECT_LT(r[3], 3);
    }
    EXPECT_LT(rects[0][1] + rects[0][3], 0) << "underline below the baseline";
    EXPECT_GT(rects[1][1], size * 0.15) << "strike-out through the lower-case letters";
    EXPECT_LT(rects[1][1], size * 0.5);
}

TEST(WpdfText, EscapementTurnsTheTextAboutItsReferencePoint)
{
    TempDir dir;
    const int x = 200, y = 500;
    std::string emf = EmfBuilder()
                          .font(1, -12, u"DejaVu Sans", 400, false, false, false, 900)
                          .select(1)
                          .bkMode(1)
                          .textAlign(TA_LEFT | TA_BASELINE)
                          .text(x, y, u"Upwards")
                          .bytes();
    std::string out = writeLabels(dir, Settings{}, emf);
    Extent e = extentOf(wordsOnPage(out, 1));
    ASSERT_EQ(e.text, "Upwards");
    // Reading upwards from the reference point: tall and narrow, ending at it.
    EXPECT_GT(e.yMax - e.yMin, 3 * (e.xMax - e.xMin));
    EXPECT_NEAR(e.yMax, y, 0.5);
    EXPECT_LT(e.xMin, x);
    EXPECT_GT(e.xMax, x);
}
