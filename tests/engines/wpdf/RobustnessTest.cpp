// Misuse and damaged input: wrong handles, actions out of order, data that are
// not JPEG, damaged metafiles, output that cannot be written.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "EngineHarness.h"

using namespace wpdftest;

TEST(WpdfHandles, UnknownAndFinalizedHandlesAreIgnored)
{
    auto &lib = EngineLibrary::get();
    EXPECT_EQ(lib.initialize(0, 0, 0, 2, nullptr, nullptr), 0) << "the constant must be 1";
    Handle h = lib.initialize(0, 0, 0, 1, nullptr, nullptr);
    ASSERT_NE(h, 0);
    Handle other = lib.initialize(0, 0, 0, 1, nullptr, nullptr);
    ASSERT_NE(other, h);
    lib.finalize(h);
    lib.finalize(h);
    lib.finalize(0);
    int local = 0;
    const Handle bogus = reinterpret_cast<Handle>(&local);
    for (Handle dead : {h, Handle(0), bogus}) {
        lib.setIProp(dead, 4, 5);
        lib.setSProp(dead, 5, "title");
        lib.initializePage(dead, 0, nullptr);
        EXPECT_NE(lib.action(dead, 4533, reinterpret_cast<intptr_t>("/tmp/x.pdf"), nullptr), 0);
        EXPECT_NE(lib.action(dead, 4535, 0, nullptr), 0);
    }
    EXPECT_EQ(lib.processPdf(other, "x.pdf"), 0);
    EXPECT_EQ(lib.wptexec(other, 0, 0), 0);
    // A live handle still works after the misuse around it.
    TempDir dir;
    std::string out = dir.file("ok.pdf");
    lib.setIProp(other, 4, 0);
    ASSERT_EQ(lib.action(other, 4533, reinterpret_cast<intptr_t>(out.c_str()), nullptr), 0);
    ASSERT_EQ(lib.action(other, 4535, 0, nullptr), 0); // default page size
    ASSERT_EQ(lib.action(other, 4538, 0, out.data()), 0);
    lib.finalize(other);
    EXPECT_EQ(PdfFile(out).pages().size(), 1u);
}

TEST(WpdfHandles, ActionsOutOfOrderFailWithAMessage)
{
    TempDir dir;
    std::string out = dir.file("order.pdf");
    EngineRun run;
    run.send(Settings{});
    EXPECT_NE(run.page(100, 100), 0);
    EXPECT_NE(run.image(0, 0, 10, 10, makeJpeg(8, 8, 1)), 0);
    EXPECT_NE(run.endPage(), 0);
    EXPECT_NE(run.action(4534), 0);
    EXPECT_NE(run.action(4538, 0, out.data()), 0);
    EXPECT_NE(run.action(9999), 0);
    EXPECT_TRUE(run.hasMessage(1));
    ASSERT_EQ(run.begin(out), 0);
    EXPECT_NE(run.begin(out), 0) << "a second document while one is open";
    EXPECT_NE(run.image(0, 0, 10, 10, makeJpeg(8, 8, 1)), 0) << "no page begun yet";
    EXPECT_NE(run.metafile(EmfBuilder().bytes()), 0);
    EXPECT_NE(run.page(0, 100), 0) << "a page without width";
    EXPECT_NE(run.page(100, -5), 0);
    ASSERT_EQ(run.page(100, 100), 0);
    ASSERT_EQ(run.page(120, 100), 0) << "begins the next page, ending the open one";
    ASSERT_EQ(run.finish(out), 0);
    EXPECT_EQ(PdfFile(out).pages().size(), 2u);
}

struct BadPictureCase {
    const char *name;
    int kind;
};

class WpdfBadPicture : public ::testing::TestWithParam<BadPictureCase> {};

TEST_P(WpdfBadPicture, IsRefusedAndNothingPlaced)
{
    std::string good = makeJpeg(32, 32, 5);
    std::string data;
    int32_t kind = 2;
    switch (GetParam().kind) {
    case 0: data = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, 'x'); break;
    case 1: {
        std::mt19937 r(7);
        for (int i = 0; i < 500; ++i)
            data.push_back(static_cast<char>(r()));
        break;
    }
    case 2: {
        // Cut inside the frame header.
        auto sof = good.find("\xFF\xC0");
        data = good.substr(0, sof + 6);
        break;
    }
    case 3: data = good; kind = 7; break;
    case 4: data.clear(); break;
    case 5: data = "\xFF\xD8\xFF\xD9"; break;
    case 6: {
        // A marker length running past the end.
        data = good.substr(0, 2) + std::string("\xFF\xE0\xFF\xF0", 4) + "JFIF";
        break;
    }
    case 7: {
        // Twelve bits per component in the frame header.
        data = good;
        data[data.find("\xFF\xC0") + 4] = 12;
        break;
    }
    }
    TempDir dir;
    std::string out = dir.file("bad.pdf");
    EngineRun run;
    run.send(Settings{});
    ASSERT_EQ(run.begin(out), 0);
    ASSERT_EQ(run.page(200, 200), 0);
    EXPECT_NE(run.image(0, 0, 50, 50, data, kind, 32, 32), 0);
    EXPECT_TRUE(run.hasMessage(1));
    EXPECT_EQ(run.image(60, 0, 50, 50, good), 0) << "the page goes on";
    ASSERT_EQ(run.finish(out), 0);
    PdfFile pdf(out);
    EXPECT_EQ(pdf.images(0).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WpdfBadPicture,
    ::testing::Values(BadPictureCase{"Png", 0}, BadPictureCase{"Noise", 1}, BadPictureCase{"TruncatedFrameHeader", 2},
                      BadPictureCase{"OtherKind", 3}, BadPictureCase{"NoData", 4}, BadPictureCase{"NoFrame", 5},
                      BadPictureCase{"SegmentPastEnd", 6}, BadPictureCase{"TwelveBits", 7}),
    [](const auto &info) { return std::string(info.param.name); });

namespace {

std::string labelsEmf()
{
    return EmfBuilder()
        .font(1, -12, u"DejaVu Sans")
        .select(1)
        .bkMode(1)
        .textAlign(6)
        .text(100, 100, u"First")
        .font(2, -12, u"DejaVu Sans", 700, true, true)
        .select(2)
        .deleteObject(1)
        .text(100, 200, u"Second")
        .bytes();
}

void setU32(std::string &s, size_t at, uint32_t v) { std::memcpy(s.data() + at, &v, 4); }

// Offset of the n-th record (0 = header).
size_t recordAt(const std::string &emf, int n)
{
    size_t pos = 0;
    for (int i = 0; i < n; ++i) {
        uint32_t size;
        std::memcpy(&size, emf.data() + pos + 4, 4);
        pos += size;
    }
    return pos;
}

} // namespace

TEST(WpdfMetafile, DamageKeepsWhatCameBeforeIt)
{
    const std::string good = labelsEmf();
    // Records: 0 header, 1 font, 2 select, 3 bkmode, 4 align, 5 "First", 6 font,
    // 7 select, 8 delete, 9 "Second", 10 EOF.
    struct Damage {
        const char *name;
        std::function<void(std::string &)> apply;
        bool secondSurvives;
    };
    const std::vector<Damage> damages = {
        {"record size zero", [](std::string &e) { setU32(e, recordAt(e, 9) + 4, 0); }, false},
        {"record size past the end", [](std::string &e) { setU32(e, recordAt(e, 9) + 4, 0x7FFFFFF0); }, false},
        {"odd record size", [](std::string &e) { setU32(e, recordAt(e, 6) + 4, 103); }, false},
        {"string offset outside", [](std::string &e) { setU32(e, recordAt(e, 9) + 48, 0xFFFFFFF0); }, false},
        {"character count huge", [](std::string &e) { setU32(e, recordAt(e, 9) + 44, 0x40000000); }, false},
        {"font record short", [](std::string &e) { setU32(e, recordAt(e, 6) + 4, 12); }, false},
        {"declared size short", [](std::string &e) { setU32(e, 48, static_cast<uint32_t>(recordAt(e, 6))); }, false},
        {"no end record", [](std::string &e) { e.resize(recordAt(e, 10)); setU32(e, 48, static_cast<uint32_t>(e.size())); }, true},
    };
    for (auto &d : damages) {
        SCOPED_TRACE(d.name);
        std::string emf = good;
        d.apply(emf);
        TempDir dir;
        std::string out = dir.file("damaged.pdf");
        EngineRun run;
        run.send(Settings{});
        ASSERT_EQ(run.begin(out), 0);
        ASSERT_EQ(run.page(400, 400), 0);
        EXPECT_NE(run.metafile(emf), 0) << "damage is reported";
        EXPECT_TRUE(run.hasMessage(1));
        ASSERT_EQ(run.finish(out), 0);
        auto text = shell("pdftotext " + quote(out) + " -").output;
        EXPECT_NE(text.find("First"), std::string::npos) << text;
        EXPECT_EQ(text.find("Second") != std::string::npos, d.secondSurvives) << text;
    }
}

TEST(WpdfMetafile, NotAMetafileIsRefused)
{
    TempDir dir;
    std::string out = dir.file("x.pdf");
    std::string good = labelsEmf();
    std::string badSignature = good, tooLarge = good, smallerThanHeader = good;
    setU32(badSignature, 40, 0x12345678);
    setU32(tooLarge, 48, 0x7FFFFFFF);
    setU32(smallerThanHeader, 48, 40);
    std::string zeros(200, '\0');
    EngineRun run;
    run.send(Settings{});
    ASSERT_EQ(run.begin(out), 0);
    ASSERT_EQ(run.page(400, 400), 0);
    for (auto *emf : {&badSignature, &tooLarge, &smallerThanHeader, &zeros})
        EXPECT_NE(run.metafile(*emf), 0);
    EXPECT_NE(run.action(4544, 0, nullptr), 0) << "no metafile at all";
    ASSERT_EQ(run.finish(out), 0);
    EXPECT_EQ(shell("pdftotext " + quote(out) + " -").output.find("First"), std::string::npos);
}

// Random damage anywhere in the records must never crash the engine (and
// under the sanitizers, never read outside the metafile).
TEST(WpdfMetafile, RandomDamageNeverCrashes)
{
    const std::string good = labelsEmf();
    TempDir dir;
    std::string out = dir.file("fuzz.pdf");
    EngineRun run;
    run.send(Settings{});
    ASSERT_EQ(run.begin(out), 0);
    ASSERT_EQ(run.page(400, 400), 0);
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        std::string emf = good;
        int flips = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < flips; ++i) {
            // Leave the header's signature and size alone, so the records get read.
            size_t at = 88 + random() % (emf.size() - 88);
            emf[at] = static_cast<char>(random());
        }
        run.metafile(emf);
    }
    EXPECT_EQ(run.finish(out), 0);
    EXPECT_EQ(shell("qpdf --check " + quote(out)).status, 0);
}

TEST(WpdfOutput, UnwritableTargetFailsAndLeavesNothing)
{
    TempDir dir;
    std::string missingFolder = dir.file("no/such/folder/sheet.pdf");
    std::filesystem::create_directory(dir.path() / "taken.pdf");
    std::string isFolder = dir.file("taken.pdf");
    for (const std::string &target : {missingFolder, isFolder}) {
        SCOPED_TRACE(target);
        EngineRun run;
        run.send(Settings{});
        ASSERT_EQ(run.begin(dir.file("begun.pdf")), 0);
        ASSERT_EQ(run.page(100, 100), 0);
        ASSERT_EQ(run.image(0, 0, 10, 10, makeJpeg(10, 10, 2)), 0);
        EXPECT_EQ(run.action(4534), 0);
        EXPECT_NE(run.action(4538, 0, const_cast<char *>(target.c_str())), 0);
        ASSERT_TRUE(run.hasMessage(1));
        EXPECT_NE(run.messages().back().text.find(target), std::string::npos) << run.messages().back().text;
        EXPECT_EQ(run.action(4539), 0);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"taken.pdf"});
        EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "taken.pdf"));
    }
    // A missing folder is already refused when the document is begun.
    EngineRun run;
    run.send(Settings{});
    EXPECT_NE(run.begin(missingFolder), 0);
    ASSERT_TRUE(run.hasMessage(1));
    EXPECT_NE(run.messages().back().text.find(missingFolder), std::string::npos);
}
