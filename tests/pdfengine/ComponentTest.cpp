// The export component against a fake engine library that logs every call.
#include "pdfengine/WPPDFR2.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "EmfParse.h"

namespace {

struct Call {
    std::string entry;
    std::vector<std::string> args;
    std::string sig() const
    {
        bool withId = entry == "SetIProp" || entry == "SetSProp" || entry == "Action";
        return withId && !args.empty() ? entry + " " + args[0] : entry;
    }
};

QByteArray unhex(const std::string &s)
{
    return s == "-" ? QByteArray() : QByteArray::fromHex(QByteArray::fromStdString(s));
}

int32_t at(const QByteArray &b, int offset) { return emftest::i32(b, offset); }

bool zeros(const QByteArray &b, int from, int to)
{
    for (int i = from; i < to; ++i)
        if (b[i] != 0)
            return false;
    return true;
}

const char *const kEnv[] = {"FAKE_WPDF_INIT_RESULT", "FAKE_WPDF_FAIL_ACTION", "FAKE_WPDF_NOTE_ACTION",
                            "FAKE_WPDF_INPUT_PAGES", "FAKE_WPDF_IMAGE_RESULT", "FAKE_WPDF_MESSAGE"};

class FakeEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("FAKE_WPDF_LOG", QFile::encodeName(dir.filePath("calls.log")));
        for (const char *v : kEnv)
            qunsetenv(v);
        SetEngineLibraryPath(QStringLiteral(FAKE_WPDF_PATH));
    }
    void TearDown() override
    {
        SetEngineLibraryPath(QString());
        for (const char *v : kEnv)
            qunsetenv(v);
    }

    std::vector<Call> calls() const
    {
        std::vector<Call> out;
        std::ifstream in(QFile::encodeName(dir.filePath("calls.log")).toStdString());
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            Call c;
            words >> c.entry;
            for (std::string w; words >> w;)
                c.args.push_back(w);
            EXPECT_TRUE(c.args.empty() || c.args.back() != "BADHANDLE") << line;
            out.push_back(c);
        }
        return out;
    }
    std::vector<std::string> sigs() const
    {
        std::vector<std::string> out;
        for (auto &c : calls())
            out.push_back(c.sig());
        return out;
    }
    size_t count(const std::string &sig) const
    {
        auto s = sigs();
        return size_t(std::count(s.begin(), s.end(), sig));
    }

    QString out() const { return dir.filePath(QStringLiteral("sheet.pdf")); }

    QTemporaryDir dir;
};

// The settings the PDF writer gives the component.
void configureLikeTheWriter(TWPPDFPrinter &pdf, const QString &file, const QString &front)
{
    pdf.SetModes({wpExactTextPositioning, wpNoTextRectClipping, wpDontAdjustTextSpacing, wpNoTextScaling});
    pdf.SetCanvasReference(wprefScreen);
    pdf.SetFontMode(wpEmbedSubsetTrueType_UsedChar);
    pdf.SetEncryption({wpEncryptFile, wpEnablePrinting, wpEnableCopying});
    pdf.SetSecurity(wpp128bit);
    pdf.SetOwnerPassword(QStringLiteral("s\u00ebcret"));
    pdf.SetUserPassword(QStringLiteral("s\u00ebcret"));
    pdf.SetInputfileMode(pwAppendToInput);
    pdf.SetInputFile(front);
    pdf.Info().Title = QStringLiteral("Walk cycle");
    pdf.Info().Author = QStringLiteral("Ann B\u00e4r");
    pdf.Info().Subject = QStringLiteral("S");
    pdf.Info().Keywords = QStringLiteral("k1 k2");
    pdf.Info().Producer = QStringLiteral("Tessory");
    pdf.Info().CreationDate = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    pdf.Info().ModDate = QDateTime(QDate(2024, 11, 12), QTime(13, 14, 15));
    pdf.Info().Strings = QStringList{QStringLiteral("Line one"), QStringLiteral("Line two")};
    pdf.SetFilename(file);
}

TEST_F(FakeEngine, OneRunCallsTheEngineInOrderWithItsRecords)
{
    const QByteArray jpeg[2] = {QByteArray("\xFF\xD8 first \xFF\xD9"), QByteArray("\xFF\xD8 second picture \xFF\xD9")};
    const QSize pages[2] = {QSize(595, 842), QSize(842, 595)};
    const QString front = dir.filePath(QStringLiteral("front.pdf"));
    uintptr_t component = 0;
    {
        TWPPDFPrinter pdf;
        component = reinterpret_cast<uintptr_t>(static_cast<TWPCustomPDFExport *>(&pdf));
        configureLikeTheWriter(pdf, out(), front);
        pdf.BeginDoc();
        for (int p = 0; p < 2; ++p) {
            pdf.StartPage(pages[p].width(), pages[p].height(), 0, 72, 72);
            EXPECT_EQ(pdf.DrawJPEG(10 + p, 20, wpImageJPEG, int(jpeg[p].size()), jpeg[p].constData(), 64, 48, 100, 150),
                      0);
            pdf.Canvas().SetFont(QFont(QStringLiteral("DejaVu Sans"), 11), 0);
            pdf.Canvas().SetTextAlign(TA_CENTER | TA_TOP);
            pdf.Canvas().TextOut(297, 130, QStringLiteral("Frame %1").arg(p + 1));
            pdf.EndPage();
        }
        pdf.EndDoc();
        EXPECT_EQ(pdf.PageCount(), 2);
        EXPECT_NE(sigs().back(), "unload"); // freed with the component only
    }

    std::vector<std::string> expected = {"load", "Initialize"};
    for (int id : {1, 2, 3, 14, 4, 6, 7, 15, 12, 25, 26, 27, 9, 8, 21})
        expected.push_back("SetIProp " + std::to_string(id));
    for (int id : {1, 2, 3, 4, 5, 6, 7, 9, 11, 10, 12, 14, 16})
        expected.push_back("SetSProp " + std::to_string(id));
    expected.insert(expected.end(), {"SetIProp 10", "Action 4533"});
    for (int p = 0; p < 2; ++p)
        expected.insert(expected.end(),
                        {"InitializePage", "Action 4535", "Action 4549", "Action 4544", "Action 4536"});
    expected.insert(expected.end(), {"Action 4534", "Action 4538", "Action 4539", "Finalize", "unload"});
    const auto c = calls();
    ASSERT_EQ(sigs(), expected);

    EXPECT_EQ(c[1].args, (std::vector<std::string>{"0", "0", "0", "1", "1", QByteArray::number(qulonglong(component), 16).toStdString()}));

    std::map<int, int> ints;
    std::map<int, QByteArray> texts;
    for (size_t i = 2; i < 31; ++i) {
        ASSERT_EQ(c[i].args.size(), 2u);
        ASSERT_NE(c[i].args[1], "NULL") << "empty texts are sent as empty texts";
        if (c[i].entry == "SetIProp")
            ints[std::stoi(c[i].args[0])] = std::stoi(c[i].args[1]);
        else
            texts[std::stoi(c[i].args[0])] = unhex(c[i].args[1]);
    }
    EXPECT_EQ(ints, (std::map<int, int>{{1, 0}, {2, 0}, {3, 0}, {14, 0}, {4, 5}, {6, 0}, {7, 1 | 2 | 8}, {15, 1},
                                        {12, 0}, {25, 0}, {26, 8 | 16 | 128 | 8192}, {27, 0}, {9, 0}, {8, 1},
                                        {21, 0}, {10, 200}}));
    EXPECT_EQ(texts, (std::map<int, QByteArray>{{1, QStringLiteral("Ann B\u00e4r").toUtf8()},
                                                {2, "D:20240102030405"},
                                                {3, "D:20241112131415"},
                                                {4, "Tessory"},
                                                {5, "Walk cycle"},
                                                {6, "S"},
                                                {7, "k1 k2"},
                                                {9, ""},
                                                {11, QStringLiteral("s\u00ebcret").toUtf8()},
                                                {10, QStringLiteral("s\u00ebcret").toUtf8()},
                                                {12, QFile::encodeName(front)},
                                                {14, ""},
                                                {16, "Line one\nLine two"}}));
    EXPECT_EQ(unhex(c[31].args[1]), QFile::encodeName(out()));

    for (int p = 0; p < 2; ++p) {
        const size_t base = 32 + 5 * size_t(p);
        // Page record.
        ASSERT_EQ(c[base].args[0], "0");
        const QByteArray page = unhex(c[base].args[1]);
        ASSERT_EQ(page.size(), 37);
        EXPECT_EQ(at(page, 0), pages[p].width());
        EXPECT_EQ(at(page, 4), pages[p].height());
        EXPECT_EQ(at(page, 8), 72);
        EXPECT_EQ(at(page, 12), 72);
        EXPECT_EQ(at(page, 16), 0);
        EXPECT_EQ(uint32_t(at(page, 20)), 0x80000010u);
        EXPECT_TRUE(zeros(page, 24, 37));
        // Image record: 64 bytes, the data pointer 8 bytes wide at 32.
        const QByteArray image = unhex(c[base + 2].args[2]);
        ASSERT_EQ(image.size(), 64);
        EXPECT_EQ(at(image, 0), 10 + p);
        EXPECT_EQ(at(image, 4), 20);
        EXPECT_EQ(at(image, 8), 150); // display width
        EXPECT_EQ(at(image, 12), 100);
        EXPECT_TRUE(zeros(image, 16, 32));
        EXPECT_EQ(at(image, 40), jpeg[p].size());
        EXPECT_EQ(at(image, 44), 2);
        EXPECT_EQ(at(image, 48), 64);
        EXPECT_EQ(at(image, 52), 48);
        EXPECT_TRUE(zeros(image, 56, 64));
        EXPECT_EQ(unhex(c[base + 2].args[3]), jpeg[p]); // read through the pointer
        // Metafile record and the page canvas's metafile.
        const QByteArray emf = unhex(c[base + 3].args[1]);
        const QByteArray record = unhex(c[base + 3].args[2]);
        ASSERT_EQ(record.size(), 576);
        EXPECT_TRUE(zeros(record, 0, 24)); // x, y and both sizes 0
        EXPECT_EQ(at(record, 24), 72);
        EXPECT_EQ(at(record, 28), 72);
        EXPECT_TRUE(zeros(record, 32, 576));
        std::vector<emftest::Record> recs;
        ASSERT_TRUE(emftest::split(emf, recs));
        EXPECT_EQ(emftest::u32(emf, 48), uint32_t(emf.size()));
        EXPECT_EQ(emftest::i32(emf, 72), pages[p].width()); // device size in points
        EXPECT_EQ(recs.back().type, uint32_t(emf::EMR_EOF));
        bool labelled = false;
        for (auto &r : recs)
            if (r.type == emf::EMR_EXTTEXTOUTW) {
                auto t = emftest::text(r);
                labelled = t.text == QStringLiteral("Frame %1").arg(p + 1) && t.x == 297 && t.y == 130;
            }
        EXPECT_TRUE(labelled);
    }
    EXPECT_EQ(c[43].args[1], "0");
    EXPECT_EQ(unhex(c[43].args[2]), QFile::encodeName(out())); // 4538: the name is the record
}

TEST_F(FakeEngine, OneLibraryLoadServesEveryDocumentOfAComponent)
{
    TWPPDFPrinter pdf;
    pdf.SetFilename(out());
    for (int run = 0; run < 2; ++run) {
        pdf.BeginDoc();
        pdf.BeginDoc(); // already open: nothing happens
        EXPECT_TRUE(pdf.InDocument());
        pdf.StartPage(100, 100);
        pdf.EndPage();
        pdf.EndDoc();
        pdf.EndDoc(); // already ended: nothing happens
        EXPECT_FALSE(pdf.InDocument());
    }
    EXPECT_EQ(count("load"), 1u);
    EXPECT_EQ(count("Initialize"), 2u);
    EXPECT_EQ(count("Action 4533"), 2u);
    EXPECT_EQ(count("Action 4539"), 2u);
    EXPECT_EQ(count("Finalize"), 2u);
    EXPECT_EQ(count("unload"), 0u);
}

TEST_F(FakeEngine, ImmediateSettersReachOnlyARunningEngine)
{
    TWPPDFPrinter pdf;
    pdf.SetFilename(out());
    pdf.SetJPEGQuality(wpJPEG_50);
    EXPECT_TRUE(calls().empty());
    pdf.BeginDoc();
    const size_t before = calls().size();
    pdf.SetModes({wpAlwaysHighResPDF});
    pdf.SetOptions({wpCreateAutoLinks});
    pdf.SetJPEGQuality(wpJPEG_75);
    pdf.SetMergeStart(QStringLiteral("M"));
    pdf.SetAutoLaunch(false); // no immediate effect
    auto c = calls();
    ASSERT_EQ(c.size(), before + 4);
    EXPECT_EQ(c[before].args, (std::vector<std::string>{"26", "1024"}));
    EXPECT_EQ(c[before + 1].args, (std::vector<std::string>{"27", "1"}));
    EXPECT_EQ(c[before + 2].args, (std::vector<std::string>{"12", "4"}));
    EXPECT_EQ(c[before + 3].sig(), "SetSProp 14");
    EXPECT_EQ(unhex(c[before + 3].args[1]), "M");
    pdf.EndDoc();
    const size_t after = calls().size();
    pdf.SetModes({});
    EXPECT_EQ(calls().size(), after);
}

TEST(Modes, HighResolutionModesExcludeEachOther)
{
    TWPPDFPrinter pdf;
    EXPECT_EQ(pdf.Modes(), TWPDevModes{wpClipRectSupport});
    // Never is new: it wins over Always.
    pdf.SetModes({wpAlwaysHighResPDF, wpNeverHighResPDF, wpNeverFill});
    EXPECT_EQ(pdf.Modes(), (TWPDevModes{wpNeverHighResPDF, wpNeverFill}));
    // Never was already there: Always is the new one and wins.
    pdf.SetModes({wpAlwaysHighResPDF, wpNeverHighResPDF});
    EXPECT_EQ(pdf.Modes(), TWPDevModes{wpAlwaysHighResPDF});
    pdf.SetModes({wpNeverHighResPDF});
    EXPECT_EQ(pdf.Modes(), TWPDevModes{wpNeverHighResPDF});
    pdf.SetModes({wpAlwaysHighResPDF});
    EXPECT_EQ(pdf.Modes(), TWPDevModes{wpAlwaysHighResPDF});
}

std::string raised(const std::function<void()> &fn, QString *detail = nullptr)
{
    try {
        fn();
    } catch (const EWPPDFError &e) {
        if (detail)
            *detail = e.Detail();
        return e.what();
    }
    return "(nothing raised)";
}

TEST_F(FakeEngine, LoadFailuresNameTheLibrary)
{
    TWPPDFPrinter pdf;
    pdf.SetFilename(out());
    QString detail;
    SetEngineLibraryPath(dir.filePath(QStringLiteral("missing/wPDF200A.so")));
    EXPECT_EQ(raised([&] { pdf.BeginDoc(); }, &detail),
              "DLL \"wPDF200A.DLL\" was not found. PDF Export is not possible.");
    EXPECT_FALSE(detail.isEmpty()); // the loader's reason

    SetEngineLibraryPath(QStringLiteral(FAKE_WPDF_INCOMPLETE_PATH));
    EXPECT_EQ(raised([&] { pdf.BeginDoc(); }), "DLL \"wPDF200A.DLL\" is not compatible. PDF Export is not possible.");
    EXPECT_EQ(sigs(), (std::vector<std::string>{"load", "unload"})); // freed again, never initialised
    EXPECT_FALSE(pdf.InDocument());

    // The reading entry is optional.
    SetEngineLibraryPath(QStringLiteral(FAKE_WPDF_NOPROCESS_PATH));
    pdf.BeginDoc();
    EXPECT_TRUE(pdf.InDocument());
    pdf.EndDoc();
}

TEST_F(FakeEngine, EngineFailuresAreRaisedAndLeaveNoInstance)
{
    TWPPDFPrinter pdf;
    pdf.SetFilename(out());
    qputenv("FAKE_WPDF_INIT_RESULT", "0");
    EXPECT_EQ(raised([&] { pdf.BeginDoc(); }), "Initialization of PDF Engine failed");
    EXPECT_EQ(count("SetIProp 1"), 0u);
    qunsetenv("FAKE_WPDF_INIT_RESULT");

    qputenv("FAKE_WPDF_FAIL_ACTION", "4533");
    qputenv("FAKE_WPDF_MESSAGE", "The front PDF file cannot be read.");
    QString detail;
    EXPECT_EQ(raised([&] { pdf.BeginDoc(); }, &detail), "Error in BeginDoc!");
    EXPECT_EQ(detail, QStringLiteral("The front PDF file cannot be read."));
    EXPECT_FALSE(pdf.InDocument());
    EXPECT_EQ(sigs().back(), "Finalize");
    pdf.EndDoc(); // outside a document: nothing
    EXPECT_EQ(sigs().back(), "Finalize");

    // A file that could not be written is not a finished document, but the
    // document is still closed and the instance released.
    qputenv("FAKE_WPDF_FAIL_ACTION", "4538");
    qputenv("FAKE_WPDF_MESSAGE", "The PDF file could not be written: No space left on device");
    pdf.BeginDoc();
    EXPECT_EQ(raised([&] { pdf.EndDoc(); }), "The PDF file could not be written: No space left on device");
    auto s = sigs();
    EXPECT_EQ(std::vector<std::string>(s.end() - 3, s.end()),
              (std::vector<std::string>{"Action 4538", "Action 4539", "Finalize"}));
    EXPECT_FALSE(pdf.InDocument());

    // A page the engine refused is not drawn on silently.
    qputenv("FAKE_WPDF_FAIL_ACTION", "4535");
    qunsetenv("FAKE_WPDF_MESSAGE");
    pdf.BeginDoc();
    EXPECT_EQ(raised([&] { pdf.StartPage(100, 100); }), "Error in StartPage!");
    EXPECT_FALSE(pdf.InPage());
    qunsetenv("FAKE_WPDF_FAIL_ACTION");
    pdf.EndDoc();
}

TEST_F(FakeEngine, MisuseIsRefusedBeforeReachingTheEngine)
{
    TWPPDFPrinter pdf;
    EXPECT_EQ(raised([&] { pdf.BeginDoc(); }), "No filename or InMemoryMode was specified!");
    EXPECT_TRUE(calls().empty()); // not even loaded
    EXPECT_EQ(raised([&] { pdf.StartPage(100, 100); }), "StartPage is only allowed within StartDoc and EndDoc!");
    EXPECT_EQ(pdf.DrawJPEG(0, 0, wpImageJPEG, 3, "abc", 1, 1, 1, 1), -1);

    pdf.SetFilename(out());
    pdf.BeginDoc();
    EXPECT_THROW(pdf.Canvas(), EWPPDFError); // no page begun
    pdf.StartPage(200, 100);
    const size_t before = calls().size();
    EXPECT_EQ(pdf.DrawJPEG(0, 0, wpImageJPEG, 0, "abc", 1, 1, 1, 1), -1);
    EXPECT_EQ(pdf.DrawJPEG(0, 0, wpImageJPEG, -5, "abc", 1, 1, 1, 1), -1);
    EXPECT_EQ(pdf.DrawJPEG(0, 0, 3, 3, "abc", 1, 1, 1, 1), -1);
    // A metafile whose header claims more bytes than it has.
    QByteArray emf = TMetafileCanvas(QSize(10, 10), QSize(353, 353)).Bytes();
    EXPECT_EQ(pdf.DrawMetafile(0, 0, 72, 72, emf.left(emf.size() - 4)), -1);
    EXPECT_EQ(calls().size(), before);

    qputenv("FAKE_WPDF_IMAGE_RESULT", "3");
    EXPECT_EQ(pdf.DrawJPEG(0, 0, wpImageKind1, 3, "abc", 1, 1, 1, 1), 3);
    EXPECT_EQ(pdf.DrawJPEG(0, 0, wpImageKind2, 3, "abc", 1, 1, 1, 1), 3);
    auto c = calls();
    EXPECT_EQ(at(unhex(c[c.size() - 2].args[2]), 44), 7);
    EXPECT_EQ(at(unhex(c[c.size() - 1].args[2]), 44), 6);

    // A second StartPage first ends the open page, keeping its canvas.
    pdf.Canvas().TextOut(1, 1, QStringLiteral("kept"));
    pdf.StartPage(200, 100);
    auto s = sigs();
    EXPECT_EQ(std::vector<std::string>(s.end() - 4, s.end()),
              (std::vector<std::string>{"Action 4544", "Action 4536", "InitializePage", "Action 4535"}));
    pdf.EndDoc();
    EXPECT_EQ(raised([&] { pdf.StartPage(100, 100); }), "StartPage is only allowed within StartDoc and EndDoc!");
}

TEST_F(FakeEngine, MemoryModeFetchesTheDocumentInsteadOfWritingAFile)
{
    TWPPDFPrinter pdf;
    pdf.SetInMemoryMode(true);
    pdf.BeginDoc();
    pdf.EndDoc();
    auto c = calls();
    auto s = sigs();
    auto begin = std::find(s.begin(), s.end(), "Action 4533");
    ASSERT_NE(begin, s.end());
    EXPECT_EQ(c[size_t(begin - s.begin())].args[1], "NULL");
    EXPECT_EQ(std::vector<std::string>(begin + 1, s.end()),
              (std::vector<std::string>{"Action 4534", "Action 4537", "Action 4537", "Action 4539", "Finalize"}));
    EXPECT_EQ(pdf.MemoryDocument(), QByteArray("%PDF-fake"));
}

TEST_F(FakeEngine, CallbackReportsPagesAndMessagesAndHoldsBackExceptions)
{
    qputenv("FAKE_WPDF_INPUT_PAGES", "7");
    qputenv("FAKE_WPDF_NOTE_ACTION", "4535");
    qputenv("FAKE_WPDF_MESSAGE", "A note from the engine.");
    TWPPDFPrinter pdf;
    pdf.SetFilename(out());
    QStringList heard;
    pdf.SetOnError([&](TWPCustomPDFExport *sender, const QString &text, int value) {
        EXPECT_EQ(sender, &pdf);
        heard << QStringLiteral("%1/%2").arg(text).arg(value);
    });
    pdf.BeginDoc();
    EXPECT_EQ(pdf.InputPageCount(), 7);
    pdf.StartPage(100, 100);
    EXPECT_EQ(heard, QStringList{QStringLiteral("A note from the engine./7")});

    // A handler that throws: the engine's call returns first, then it is raised.
    pdf.SetOnError([](TWPCustomPDFExport *, const QString &, int) { throw std::runtime_error("handler failed"); });
    try {
        pdf.StartPage(100, 100);
        ADD_FAILURE() << "nothing raised";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "handler failed");
    }
    EXPECT_EQ(sigs().back(), "Action 4535");
    pdf.SetOnError(nullptr);
    pdf.EndPage();
    pdf.EndDoc();
    EXPECT_EQ(sigs().back(), "Finalize");
}

TEST_F(FakeEngine, DebugModeCopiesEveryPlacedMetafile)
{
    TWPPDFPrinter pdf;
    pdf.SetFilename(out());
    pdf.SetDebugMode(true);
    pdf.SetDebugMetafilePath(dir.filePath(QStringLiteral("debug")));
    QStringList heard;
    pdf.SetOnError([&](TWPCustomPDFExport *, const QString &text, int) { heard << text; });
    pdf.BeginDoc();
    for (int p = 1; p <= 2; ++p) {
        pdf.StartPage(100, 100);
        pdf.Canvas().TextOut(5, 5, QStringLiteral("p%1").arg(p));
        pdf.EndPage();
    }
    pdf.EndDoc();
    const QString page2 = dir.filePath(QStringLiteral("debug/Page2.EMF"));
    EXPECT_EQ(heard.size(), 2);
    EXPECT_EQ(heard.value(1), QStringLiteral("Wrote debug file: ") + page2);
    QFile f(page2);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto c = calls();
    const auto placed = std::find_if(c.rbegin(), c.rend(), [](const Call &x) { return x.sig() == "Action 4544"; });
    ASSERT_NE(placed, c.rend());
    EXPECT_EQ(f.readAll(), unhex(placed->args[1]));
}

TEST(EngineSearch, ProgramFolderFirstThenSystemSearch)
{
    EXPECT_EQ(EngineFileName(QStringLiteral("wPDF200A.DLL")), QStringLiteral("wPDF200A.so"));
    EXPECT_EQ(EngineFileName(QStringLiteral("other.dll")), QStringLiteral("other.so"));
    const QStringList c = EngineLibraryCandidates(QString::fromLatin1(wppdf::kLibraryName));
    ASSERT_EQ(c.size(), 2);
    EXPECT_EQ(QFileInfo(c[0]).absolutePath(), QDir(QString::fromLocal8Bit(TEST_BINARY_DIR)).absolutePath());
    EXPECT_EQ(QFileInfo(c[0]).fileName(), QStringLiteral("wPDF200A.so"));
    EXPECT_EQ(c[1], QStringLiteral("wPDF200A.so"));
}

} // namespace
