// The front file: its pages come first and its outline is kept; a front file
// that cannot be used stops the document before anything is written.
#include <gtest/gtest.h>

#include <fstream>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "EngineHarness.h"

using namespace wpdftest;

namespace {

// A front file made by the engine itself, then given an outline with qpdf.
std::string makeFront(const TempDir &dir, int pages, bool withOutline)
{
    std::string plain = dir.file("front-plain.pdf");
    {
        EngineRun run;
        run.send(Settings{});
        EXPECT_EQ(run.begin(plain), 0);
        for (int p = 1; p <= pages; ++p) {
            EXPECT_EQ(run.page(300, 400), 0);
            EXPECT_EQ(run.metafile(EmfBuilder(300, 400)
                                       .font(1, -14, u"DejaVu Sans")
                                       .select(1)
                                       .text(20, 20, u"Front" + std::u16string(1, char16_t(u'0' + p)))
                                       .bytes()),
                      0);
        }
        EXPECT_EQ(run.finish(plain), 0);
    }
    if (!withOutline)
        return plain;
    QPDF q;
    q.processFile(plain.c_str());
    auto pagesList = q.getAllPages();
    auto outlines = q.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
    std::vector<QPDFObjectHandle> items;
    for (size_t i = 0; i < pagesList.size(); ++i) {
        auto dest = QPDFObjectHandle::newArray();
        dest.appendItem(pagesList[i]);
        dest.appendItem(QPDFObjectHandle::newName("/Fit"));
        auto item = q.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString("Chapter " + std::to_string(i + 1)));
        item.replaceKey("/Parent", outlines);
        item.replaceKey("/Dest", dest);
        items.push_back(item);
    }
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        items[i].replaceKey("/Next", items[i + 1]);
        items[i + 1].replaceKey("/Prev", items[i]);
    }
    outlines.replaceKey("/First", items.front());
    outlines.replaceKey("/Last", items.back());
    outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(static_cast<long long>(items.size())));
    q.getRoot().replaceKey("/Outlines", outlines);
    std::string path = dir.file("front.pdf");
    QPDFWriter w(q, path.c_str());
    w.write();
    return path;
}

} // namespace

TEST(WpdfFrontFile, FrontPagesComeFirstWithTheirOutline)
{
    TempDir dir;
    std::string front = makeFront(dir, 3, true);
    std::string out = dir.file("sheet.pdf");
    std::string jpeg = makeJpeg(30, 30, 11);
    std::vector<Message> messages;
    {
        EngineRun run;
        Settings s;
        s.inputFile = front;
        run.send(s);
        ASSERT_EQ(run.begin(out), 0);
        for (int p = 0; p < 2; ++p) {
            ASSERT_EQ(run.page(595, 842), 0);
            ASSERT_EQ(run.image(10, 10, 30, 30, jpeg), 0);
            ASSERT_EQ(run.endPage(), 0);
        }
        ASSERT_EQ(run.finish(out), 0);
        messages = run.messages();
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, 2);
    EXPECT_EQ(messages[0].value, 3) << "page count of the front file";

    PdfFile pdf(out);
    auto pages = pdf.pages();
    ASSERT_EQ(pages.size(), 5u);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(pdf.mediaBox(p)[2], 300);
        auto text = shell("pdftotext -f " + std::to_string(p + 1) + " -l " + std::to_string(p + 1) + " " +
                          quote(out) + " -").output;
        EXPECT_NE(text.find("Front" + std::to_string(p + 1)), std::string::npos) << text;
    }
    for (int p = 3; p < 5; ++p) {
        EXPECT_EQ(pdf.mediaBox(p)[2], 595);
        EXPECT_EQ(pdf.images(p).size(), 1u);
    }
    QPDFOutlineDocumentHelper outline(pdf.pdf);
    auto top = outline.getTopLevelOutlines();
    ASSERT_EQ(top.size(), 3u);
    for (size_t i = 0; i < top.size(); ++i) {
        EXPECT_EQ(top[i].getTitle(), "Chapter " + std::to_string(i + 1));
        EXPECT_EQ(top[i].getDestPage().getObjGen(), pages[i].getObjGen()) << "outline item " << i;
    }
}

struct BadFrontCase {
    const char *name;
    int kind; // 0 missing, 1 garbage, 2 truncated to its header, 3 encrypted, 4 empty
};

class WpdfBadFrontFile : public ::testing::TestWithParam<BadFrontCase> {};

TEST_P(WpdfBadFrontFile, BeginFailsWithAMessageAndWritesNothing)
{
    TempDir dir;
    std::string front = dir.file("front.pdf");
    switch (GetParam().kind) {
    case 0:
        break;
    case 1:
        std::ofstream(front) << "this is not a PDF file at all\n";
        break;
    case 2:
        std::ofstream(front) << "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R";
        break;
    case 3: {
        std::string plain = makeFront(dir, 1, false);
        Settings s;
        s.encryption = 1 | 2;
        s.userPassword = "";
        s.ownerPassword = "owner";
        EngineRun run;
        run.send(s);
        ASSERT_EQ(run.begin(front), 0);
        ASSERT_EQ(run.page(100, 100), 0);
        ASSERT_EQ(run.finish(front), 0);
        std::filesystem::remove(plain);
        break;
    }
    case 4:
        std::ofstream(front).flush();
        break;
    }
    auto before = dir.entries();
    std::string out = dir.file("sheet.pdf");
    EngineRun run;
    Settings s;
    s.inputFile = front;
    run.send(s);
    EXPECT_NE(run.begin(out), 0);
    ASSERT_FALSE(run.messages().empty());
    EXPECT_EQ(run.messages()[0].kind, 1);
    EXPECT_NE(run.messages()[0].text.find(front), std::string::npos) << run.messages()[0].text;
    EXPECT_FALSE(run.hasMessage(2));
    // Nothing may be drawn or written into a document that was not begun.
    EXPECT_NE(run.page(595, 842), 0);
    EXPECT_NE(run.action(4538, 0, out.data()), 0);
    EXPECT_EQ(dir.entries(), before);

    // The instance is still usable for a document without the front file.
    s.inputFile = "";
    run.send(s);
    ASSERT_EQ(run.begin(out), 0);
    ASSERT_EQ(run.page(100, 100), 0);
    EXPECT_EQ(run.finish(out), 0);
    EXPECT_EQ(PdfFile(out).pages().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WpdfBadFrontFile,
                         ::testing::Values(BadFrontCase{"Missing", 0}, BadFrontCase{"NotAPdf", 1},
                                           BadFrontCase{"Truncated", 2}, BadFrontCase{"Encrypted", 3},
                                           BadFrontCase{"Empty", 4}),
                         [](const auto &info) { return std::string(info.param.name); });

namespace {

const std::string kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const std::string kPage = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>";


// Each node lists the next twice, the last none: qpdf would walk 2^levels nodes.
std::vector<std::string> doublingTree(int levels)
{
    std::vector<std::string> o{kCatalog};
    for (int i = 2; i < levels + 2; ++i)
        o.push_back("<< /Type /Pages /Kids [" + std::to_string(i + 1) + " 0 R " + std::to_string(i + 1) + " 0 R] >>");
    o.push_back("<< /Type /Pages /Count 0 /Kids [] >>");
    return o;
}

// One page whose resources are a chain of `links` indirect dictionaries.
std::vector<std::string> resourceChain(int links)
{
    std::vector<std::string> o{kCatalog, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>",
                               "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources 4 0 R >>"};
    for (int i = 0; i < links; ++i)
        o.push_back(i + 1 < links ? "<< /Next " + std::to_string(i + 5) + " 0 R >>" : "<< >>");
    return o;
}

std::vector<std::string> flatPages(int count)
{
    std::string kids;
    for (int i = 0; i < count; ++i)
        kids += std::to_string(i + 3) + " 0 R ";
    std::vector<std::string> o{kCatalog, "<< /Type /Pages /Count " + std::to_string(count) + " /Kids [" + kids + "] >>"};
    o.insert(o.end(), static_cast<size_t>(count), kPage);
    return o;
}

// A page, then `second` in the page tree, with object 4 as given.
std::vector<std::string> secondKid(const std::string &second, const std::string &object4)
{
    return {kCatalog, "<< /Type /Pages /Count 2 /Kids [3 0 R " + second + "] >>", kPage, object4};
}

using Maker = std::function<std::string(const TempDir &)>; // makes the front file, returns its path

Maker raw(const std::function<std::vector<std::string>()> &bodies)
{
    return [bodies](const TempDir &dir) {
        writeRawPdf(dir.file("front.pdf"), bodies());
        return dir.file("front.pdf");
    };
}

struct RefusedFrontCase {
    const char *name;
    Maker make;
    const char *says;
};

} // namespace

class WpdfRefusedFrontFile : public ::testing::TestWithParam<RefusedFrontCase> {};

// In a child: before they were refused, some of these crashed or hung.
TEST_P(WpdfRefusedFrontFile, IsRefusedPromptlyInOneSentence)
{
    TempDir dir;
    std::string front = GetParam().make(dir), out = dir.file("sheet.pdf");
    auto child = inChild(
        [&] {
            EngineRun run;
            Settings s;
            s.inputFile = front;
            run.send(s);
            return Outcome{run.begin(out), run.messages()}.encode();
        },
        30);
    ASSERT_TRUE(child.finished) << child.status;
    Outcome o = Outcome::decode(child.output);
    EXPECT_NE(o.result, 0);
    ASSERT_EQ(o.messages.size(), 1u) << child.output;
    EXPECT_EQ(o.messages[0].kind * 10 + o.messages[0].value, 10) << "an error message";
    EXPECT_NE(o.messages[0].text.find("\"" + front + "\""), std::string::npos) << o.messages[0].text;
    EXPECT_NE(o.messages[0].text.find(GetParam().says), std::string::npos) << o.messages[0].text;
    EXPECT_FALSE(std::filesystem::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WpdfRefusedFrontFile,
    ::testing::Values(
        RefusedFrontCase{"DeepPageTree", raw([] { return rawpdf::deepPageTree(20000); }), "256"},
        RefusedFrontCase{"ResourceChain", raw([] { return resourceChain(100000); }), "nested"},
        RefusedFrontCase{"TooManyPages", raw([] { return flatPages(10001); }), "10000"},
        RefusedFrontCase{"MissingPage", raw([] { return secondKid("9 0 R", kPage); }), "not a page"},
        RefusedFrontCase{"NumberAsPage", raw([] { return secondKid("7", kPage); }), "not a page"},
        RefusedFrontCase{"StreamAsPage", raw([] { return secondKid("4 0 R", "<< /Type /Page /Length 2 >>\nstream\nq\n\nendstream"); }),
                         "not a page"},
        RefusedFrontCase{"FontAsPage", raw([] { return secondKid("4 0 R", "<< /Type /Font /Subtype /Type1 >>"); }), "not a page"},
        RefusedFrontCase{"UnparsablePage", raw([] { return secondKid("4 0 R", "!these bytes are no object"); }), "not a page"},
        RefusedFrontCase{"SharedPageTreeNode", raw([] { return doublingTree(64); }), "twice"},
        RefusedFrontCase{"PageTreeLoop", raw([] { return secondKid("4 0 R", "<< /Type /Pages /Kids [2 0 R] >>"); }), "loop"},
        RefusedFrontCase{"Fifo",
                         [](const TempDir &dir) {
                             EXPECT_EQ(mkfifo(dir.file("front.pdf").c_str(), 0600), 0);
                             return dir.file("front.pdf");
                         },
                         "not a file"},
        RefusedFrontCase{"DevZero", [](const TempDir &) { return std::string("/dev/zero"); }, "not a file"},
        RefusedFrontCase{"Folder",
                         [](const TempDir &dir) {
                             std::filesystem::create_directory(dir.file("front.pdf"));
                             return dir.file("front.pdf");
                         },
                         "not a file"}),
    [](const auto &info) { return std::string(info.param.name); });

// At the limits the front file is used, even where the caller's stack is too
// small for qpdf's recursion.
TEST(WpdfFrontFile, LargeFrontFilesWithinTheLimitsAreUsed)
{
    auto untyped = flatPages(1);
    untyped[2] = "<< /Parent 2 0 R /MediaBox [0 0 200 200] >>";
    const struct {
        const char *name;
        std::vector<std::string> bodies;
        int pages;
        bool repaired;
    } cases[] = {{"10000 pages", flatPages(10000), 10000, false},
                 {"page tree 250 deep", rawpdf::deepPageTree(250), 1, false},
                 {"resources 9000 deep", resourceChain(9000), 1, false},
                 {"page without /Type", untyped, 1, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string front = dir.file("front.pdf"), out = dir.file("sheet.pdf");
        writeRawPdf(front, c.bodies);
        auto child = inChild([&] {
            rlimit small{256 * 1024, RLIM_INFINITY};
            setrlimit(RLIMIT_STACK, &small);
            EngineRun run;
            Settings s;
            s.inputFile = front;
            run.send(s);
            intptr_t r = run.begin(out) == 0 && run.page(100, 100) == 0 ? run.finish(out) : -2;
            return Outcome{r, run.messages()}.encode();
        });
        ASSERT_TRUE(child.finished) << child.status;
        Outcome o = Outcome::decode(child.output);
        EXPECT_EQ(o.result, 0) << child.output;
        ASSERT_FALSE(o.messages.empty());
        EXPECT_EQ(o.messages.back().kind, 2);
        EXPECT_EQ(o.messages.back().value, c.pages);
        EXPECT_EQ(o.messages.size(), c.repaired ? 2u : 1u) << "only a repaired file is reported";
        EXPECT_EQ(PdfFile(out).pages().size(), static_cast<size_t>(c.pages + 1));
    }
}

// Picture data of the front file are read when the sheet is written; a front
// file cut short meanwhile must fail the write, not drop the pictures.
TEST(WpdfFrontFile, FrontFileTruncatedDuringTheRunFailsTheWrite)
{
    TempDir dir;
    std::string front = dir.file("front.pdf"), out = dir.file("sheet.pdf");
    {
        EngineRun run;
        run.send(Settings{});
        ASSERT_EQ(run.begin(front), 0);
        ASSERT_EQ(run.page(300, 300), 0);
        ASSERT_EQ(run.image(0, 0, 300, 300, makeJpeg(300, 300, 4, 3, true)), 0);
        ASSERT_EQ(run.finish(front), 0);
    }
    std::ofstream(out) << "the earlier sheet";
    EngineRun run;
    Settings s;
    s.inputFile = front;
    run.send(s);
    ASSERT_EQ(run.begin(out), 0);
    ASSERT_EQ(run.page(100, 100), 0);
    ASSERT_EQ(run.action(4534), 0);
    ASSERT_EQ(::truncate(front.c_str(), static_cast<off_t>(std::filesystem::file_size(front) / 2)), 0);
    size_t before = run.messages().size();
    EXPECT_NE(run.action(4538, 0, out.data()), 0);
    ASSERT_EQ(run.messages().size(), before + 1);
    const std::string &text = run.messages().back().text;
    EXPECT_NE(text.find("\"" + out + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"" + front + "\""), std::string::npos) << text;
    std::ifstream kept(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the earlier sheet");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"front.pdf", "sheet.pdf"}));
    EXPECT_EQ(run.action(4537), 0) << "nor in memory";
    EXPECT_EQ(run.messages().size(), before + 2);
}
