// Passwords and permissions: the RC4 40-bit and 128-bit handlers with the
// permission bits the program sends.
#include <gtest/gtest.h>

#include "EngineHarness.h"

using namespace wpdftest;

namespace {

std::map<std::string, std::string> encryptionOf(const std::string &pdf, const std::string &password)
{
    auto r = shell("qpdf --show-encryption --password=" + quote(password) + " " + quote(pdf));
    std::map<std::string, std::string> out;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);) {
        auto sep = line.find(": ");
        if (sep == std::string::npos)
            sep = line.find(" = ");
        if (sep != std::string::npos)
            out[line.substr(0, sep)] = line.substr(sep + (line[sep] == ':' ? 2 : 3));
    }
    return out;
}

} // namespace

struct SecurityCase {
    const char *name;
    int32_t security;
    int32_t bits;
    const char *revision;
    const char *printLow, *printHigh, *extract, *modifyOther, *annotations;
};

class WpdfSecurity : public ::testing::TestWithParam<SecurityCase> {};

TEST_P(WpdfSecurity, PermissionsAndPasswordsApply)
{
    const auto &c = GetParam();
    TempDir dir;
    std::string out = dir.file("locked.pdf");
    std::string jpeg = makeJpeg(24, 24, 9);
    Settings s;
    s.encryption = c.bits;
    s.security = c.security;
    s.userPassword = s.ownerPassword = "pässword";
    {
        EngineRun run;
        run.send(s);
        ASSERT_EQ(run.begin(out), 0);
        ASSERT_EQ(run.page(200, 200), 0);
        ASSERT_EQ(run.image(10, 10, 24, 24, jpeg), 0);
        ASSERT_EQ(run.metafile(EmfBuilder().font(1, -10, u"DejaVu Sans").select(1).text(10, 100, u"Secret").bytes()),
                  0);
        ASSERT_EQ(run.finish(out), 0);
    }
    auto e = encryptionOf(out, "pässword");
    EXPECT_EQ(e["R"], c.revision);
    EXPECT_EQ(e["print low resolution"], c.printLow);
    EXPECT_EQ(e["print high resolution"], c.printHigh);
    EXPECT_EQ(e["extract for any purpose"], c.extract);
    EXPECT_EQ(e["modify other"], c.modifyOther);
    EXPECT_EQ(e["modify annotations"], c.annotations);

    EXPECT_EQ(shell("qpdf --check --password=" + quote("pässword") + " " + quote(out)).status, 0);
    EXPECT_NE(shell("qpdf --check " + quote(out)).status, 0) << "opens without the password";
    EXPECT_NE(shell("qpdf --check --password=wrong " + quote(out)).status, 0);

    // Decrypted, the picture and the text are what went in.
    PdfFile pdf(out, "pässword");
    auto images = pdf.images(0);
    ASSERT_EQ(images.size(), 1u);
    auto raw = images.begin()->second.getRawStreamData();
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(raw->getBuffer()), raw->getSize()), jpeg);
    EXPECT_NE(shell("pdftotext -upw " + quote("pässword") + " " + quote(out) + " -").output.find("Secret"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, WpdfSecurity,
    ::testing::Values(
        SecurityCase{"Rc40PrintOnly", 0, 1 | 2, "2", "allowed", "allowed", "not allowed", "not allowed", "not allowed"},
        SecurityCase{"Rc40Nothing", 0, 1, "2", "not allowed", "not allowed", "not allowed", "not allowed",
                     "not allowed"},
        SecurityCase{"Rc40Everything", 0, 1 | 2 | 4 | 8 | 16, "2", "allowed", "allowed", "allowed", "allowed",
                     "allowed"},
        SecurityCase{"Rc128PrintCopy", 1, 1 | 2 | 8, "3", "allowed", "allowed", "allowed", "not allowed",
                     "not allowed"},
        SecurityCase{"Rc128LowQualityPrint", 1, 1 | 2 | 32, "3", "allowed", "not allowed", "not allowed",
                     "not allowed", "not allowed"},
        SecurityCase{"Rc128ChangeForms", 1, 1 | 4 | 16, "3", "not allowed", "not allowed", "not allowed", "allowed",
                     "allowed"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WpdfSecurityOff, PermissionBitsWithoutEncryptFlagLeaveTheFileOpen)
{
    TempDir dir;
    std::string out = dir.file("open.pdf");
    Settings s;
    s.encryption = 2 | 8;
    s.userPassword = s.ownerPassword = "unused";
    {
        EngineRun run;
        run.send(s);
        ASSERT_EQ(run.begin(out), 0);
        ASSERT_EQ(run.page(100, 100), 0);
        ASSERT_EQ(run.finish(out), 0);
    }
    EXPECT_EQ(shell("qpdf --check " + quote(out)).status, 0);
    EXPECT_NE(shell("qpdf --show-encryption " + quote(out)).output.find("File is not encrypted"), std::string::npos);
}
