// Pages, pictures and document information as they come out in the file.
#include <gtest/gtest.h>

#include <fstream>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include "EngineHarness.h"

using namespace wpdftest;

namespace {

std::string rawData(QPDFObjectHandle stream)
{
    auto b = stream.getRawStreamData();
    return std::string(reinterpret_cast<const char *>(b->getBuffer()), b->getSize());
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

TEST(WpdfDocument, PagesKeepTheirSizeAndPicturesTheirBytesAndPlaces)
{
    TempDir dir;
    std::string out = dir.file("sheet.pdf");
    struct Frame {
        int page, number, x, y, w, h;
    };
    const std::vector<std::pair<int, int>> sizes = {{595, 842}, {842, 595}, {300, 200}};
    const std::vector<Frame> frames = {{0, 1, 36, 36, 200, 150},  {0, 2, 300, 36, 200, 150},
                                       {1, 3, 10, 20, 400, 300},  {2, 4, 0, 0, 300, 200},
                                       {2, 5, 150, 100, 75, 50}};
    std::map<int, std::string> jpegs;
    {
        EngineRun run;
        run.send(Settings{});
        ASSERT_EQ(run.begin(out), 0);
        for (int p = 0; p < 3; ++p) {
            ASSERT_EQ(run.page(sizes[p].first, sizes[p].second), 0);
            for (auto &f : frames)
                if (f.page == p) {
                    jpegs[f.number] = makeJpeg(40 + f.number, 30 + f.number, f.number);
                    EXPECT_EQ(run.image(f.x, f.y, f.w, f.h, jpegs[f.number], 2, 40 + f.number, 30 + f.number), 0);
                }
            ASSERT_EQ(run.endPage(), 0);
        }
        ASSERT_EQ(run.finish(out), 0);
        EXPECT_FALSE(run.hasMessage(1));
    }
    // Only the finished file is left: no spool or temporary files.
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"sheet.pdf"});

    PdfFile pdf(out);
    ASSERT_EQ(pdf.pages().size(), 3u);
    for (int p = 0; p < 3; ++p) {
        auto box = pdf.mediaBox(p);
        EXPECT_EQ(box, (std::array<double, 4>{0, 0, double(sizes[p].first), double(sizes[p].second)}));
        auto images = pdf.images(p);
        auto places = pdf.placements(p);
        int index = 0;
        for (auto &f : frames) {
            if (f.page != p)
                continue;
            std::string name = "/Im" + std::to_string(++index);
            ASSERT_TRUE(images.count(name)) << name << " on page " << p;
            auto dict = images[name].getDict();
            EXPECT_EQ(dict.getKey("/Filter").getName(), "/DCTDecode");
            EXPECT_EQ(dict.getKey("/ColorSpace").getName(), "/DeviceRGB");
            EXPECT_EQ(dict.getKey("/Width").getIntValue(), 40 + f.number);
            EXPECT_EQ(dict.getKey("/Height").getIntValue(), 30 + f.number);
            EXPECT_EQ(dict.getKey("/BitsPerComponent").getIntValue(), 8);
            EXPECT_EQ(rawData(images[name]), jpegs[f.number]) << "frame " << f.number;
            ASSERT_TRUE(places.count(name));
            auto m = places[name];
            EXPECT_DOUBLE_EQ(m.a, f.w);
            EXPECT_DOUBLE_EQ(m.d, f.h);
            EXPECT_DOUBLE_EQ(m.b, 0);
            EXPECT_DOUBLE_EQ(m.c, 0);
            EXPECT_DOUBLE_EQ(m.e, f.x);
            EXPECT_DOUBLE_EQ(m.f, sizes[p].second - f.y - f.h) << "top-left origin converted";
        }
        EXPECT_EQ(images.size(), static_cast<size_t>(index));
    }
    // And a reader that decodes the pictures agrees with the colour of each frame.
    auto list = shell("pdfimages -list " + quote(out));
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.output.find("jpeg"), std::string::npos) << list.output;
}

TEST(WpdfDocument, PicturesInFilesAreReadWhenWrittenAndMustNotChangeBefore)
{
    TempDir dir;
    const std::string picture = dir.file("picture.jpg");
    const std::string jpeg = makeJpeg(64, 48, 7);
    std::ofstream(picture, std::ios::binary) << jpeg;
    for (const bool changed : {false, true}) {
        const std::string out = dir.file("sheet.pdf");
        std::ofstream(out, std::ios::binary) << "earlier sheet";
        EngineRun run;
        run.send(Settings{});
        ASSERT_EQ(run.begin(out), 0);
        ASSERT_EQ(run.page(300, 300), 0);
        ASSERT_EQ(run.imageFile(10, 10, 128, 96, picture), 0);
        EXPECT_EQ(run.imageFile(10, 10, 128, 96, dir.file("absent.jpg")), 3) << "a missing file is no picture";
        EXPECT_EQ(run.imageFile(10, 10, 128, 96, dir.path()), 3) << "nor is a folder";
        ASSERT_EQ(run.endPage(), 0);
        if (changed)
            std::ofstream(picture, std::ios::binary) << makeJpeg(64, 48, 9) << "longer";
        const intptr_t written = run.finish(out);
        if (changed) {
            EXPECT_NE(written, 0) << "a picture that changed must not pass for the one placed";
            EXPECT_EQ(shell("cat " + quote(out)).output, "earlier sheet");
            continue;
        }
        ASSERT_EQ(written, 0);
        PdfFile pdf(out);
        auto images = pdf.images(0);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(rawData(images.begin()->second), jpeg) << "the file's bytes, unchanged";
        EXPECT_EQ(images.begin()->second.getDict().getKey("/Width").getIntValue(), 64);
    }
}

TEST(WpdfDocument, ColourSpaceFollowsTheJpegComponents)
{
    TempDir dir;
    std::string out = dir.file("spaces.pdf");
    std::string gray = makeJpeg(16, 16, 7, 1), cmyk = makeJpeg(16, 16, 8, 4);
    {
        EngineRun run;
        run.send(Settings{});
        ASSERT_EQ(run.begin(out), 0);
        ASSERT_EQ(run.page(200, 200), 0);
        EXPECT_EQ(run.image(0, 0, 50, 50, gray), 0);
        EXPECT_EQ(run.image(60, 0, 50, 50, cmyk), 0);
        ASSERT_EQ(run.finish(out), 0);
    }
    PdfFile pdf(out);
    auto images = pdf.images(0);
    ASSERT_EQ(images.size(), 2u);
    auto g = images["/Im1"].getDict(), c = images["/Im2"].getDict();
    EXPECT_EQ(g.getKey("/ColorSpace").getName(), "/DeviceGray");
    EXPECT_FALSE(g.hasKey("/Decode"));
    EXPECT_EQ(c.getKey("/ColorSpace").getName(), "/DeviceCMYK");
    // libjpeg marks CMYK data with the Adobe marker, which means inverted values.
    ASSERT_TRUE(c.getKey("/Decode").isArray());
    EXPECT_EQ(c.getKey("/Decode").unparse(), "[ 1 0 1 0 1 0 1 0 ]");
    EXPECT_EQ(rawData(images["/Im1"]), gray);
    EXPECT_EQ(rawData(images["/Im2"]), cmyk);
}

TEST(WpdfDocument, InformationAndViewerSettingsAreWritten)
{
    TempDir dir;
    std::string out = dir.file("info.pdf");
    Settings s;
    s.title = "Kontaktbogen – Übersicht";
    s.author = "Zoë Author";
    s.subject = "Frames";
    s.keywords = "flash, frames";
    s.producer = "Tessory 1.0";
    s.creationDate = "D:20230405060708";
    s.modDate = "D:20230405060709";
    s.pageMode = 1;
    s.zoom = 1;
    {
        EngineRun run;
        run.send(s);
        ASSERT_EQ(run.begin(out), 0);
        ASSERT_EQ(run.page(100, 100), 0);
        ASSERT_EQ(run.finish(out), 0);
    }
    PdfFile pdf(out);
    EXPECT_EQ(pdf.info("/Title"), s.title);
    EXPECT_EQ(pdf.info("/Author"), s.author);
    EXPECT_EQ(pdf.info("/Subject"), s.subject);
    EXPECT_EQ(pdf.info("/Keywords"), s.keywords);
    EXPECT_EQ(pdf.info("/Producer"), s.producer);
    EXPECT_EQ(pdf.info("/CreationDate"), s.creationDate);
    EXPECT_EQ(pdf.info("/ModDate"), s.modDate);
    auto root = pdf.pdf.getRoot();
    EXPECT_EQ(root.getKey("/PageMode").getName(), "/UseOutlines");
    auto open = root.getKey("/OpenAction");
    ASSERT_TRUE(open.isArray());
    EXPECT_EQ(open.getArrayItem(0).getObjGen(), pdf.pages()[0].getObjGen());
    EXPECT_EQ(open.getArrayItem(1).getName(), "/Fit");
    EXPECT_NE(shell("pdfinfo " + quote(out)).output.find("Kontaktbogen – Übersicht"), std::string::npos);
}

TEST(WpdfDocument, MemoryModeHandsOutTheSameDocument)
{
    std::string jpeg = makeJpeg(20, 20, 3);
    EngineRun run;
    run.send(Settings{});
    ASSERT_EQ(run.action(4533, 0), 0);
    ASSERT_EQ(run.page(200, 300), 0);
    ASSERT_EQ(run.image(0, 0, 20, 20, jpeg), 0);
    ASSERT_EQ(run.endPage(), 0);
    ASSERT_EQ(run.action(4534), 0);
    intptr_t size = run.action(4537, 0, nullptr);
    ASSERT_GT(size, 0);
    std::string buffer(static_cast<size_t>(size), '\0');
    EXPECT_EQ(run.action(4537, size, buffer.data()), size);
    EXPECT_EQ(buffer.compare(0, 5, "%PDF-"), 0);
    QPDF pdf;
    pdf.processMemoryFile("memory", buffer.data(), buffer.size());
    ASSERT_EQ(pdf.getAllPages().size(), 1u);
    auto images = QPDFPageObjectHelper(pdf.getAllPages()[0]).getImages();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(rawData(images.begin()->second), jpeg);
    EXPECT_EQ(run.action(4539), 0);
}

// Picture data go to disk as they arrive: a thousand pages of 100 KB pictures
// must not keep those 100 MB in memory.
TEST(WpdfDocument, ManyPagesKeepMemoryFlat)
{
    TempDir dir;
    std::string out = dir.file("many.pdf");
    const int pages = 1000;
    std::vector<std::string> pictures;
    for (int i = 0; i < 4; ++i)
        pictures.push_back(makeJpeg(320, 320, i + 1, 3, true, 92));
    size_t pictureBytes = 0;
    long before = 0, afterPages = 0, afterWrite = 0;
    {
        EngineRun run;
        run.send(Settings{});
        ASSERT_EQ(run.begin(out), 0);
        before = residentKb();
        for (int p = 0; p < pages; ++p) {
            ASSERT_EQ(run.page(595, 842), 0);
            const std::string &jpeg = pictures[static_cast<size_t>(p) % pictures.size()];
            ASSERT_EQ(run.image(20, 20, 300, 300, jpeg), 0);
            pictureBytes += jpeg.size();
            ASSERT_EQ(run.endPage(), 0);
        }
        afterPages = residentKb();
        ASSERT_EQ(run.action(4534), 0);
        ASSERT_EQ(run.action(4538, 0, out.data()), 0);
        afterWrite = residentKb();
        ASSERT_EQ(run.action(4539), 0);
    }
    ASSERT_GT(pictureBytes, 90u * 1024 * 1024);
    std::printf("[ figures  ] %d pages, %.1f MB of pictures; resident set grew %.1f MB while adding "
                "pages and %.1f MB in all after writing\n",
                pages, pictureBytes / 1048576.0, (afterPages - before) / 1024.0, (afterWrite - before) / 1024.0);
#if !defined(__SANITIZE_ADDRESS__)
    // (The sanitizer's quarantine keeps freed buffers resident, so the figure
    // only means something in a plain build.)
    EXPECT_LT((afterPages - before) * 1024.0, pictureBytes / 4.0);
    EXPECT_LT((afterWrite - before) * 1024.0, pictureBytes / 4.0);
#endif

    PdfFile pdf(out);
    ASSERT_EQ(pdf.pages().size(), static_cast<size_t>(pages));
    for (int p : {0, 1, 2, 3, pages - 1}) {
        auto images = pdf.images(p);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(rawData(images.begin()->second), pictures[static_cast<size_t>(p) % pictures.size()]) << "page " << p;
    }
}
