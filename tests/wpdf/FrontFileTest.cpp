// The front file: its pages come first and its outline is kept; a front file
// that cannot be used stops the document before anything is written.
#include <gtest/gtest.h>

#include <fstream>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

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
