#include "PlatformFixture.h"

#include "platform/FileVersion.h"
#include "platform/Module.h"

#include <QFileInfo>

namespace {

int functionInThisProgram()
{
    return 42;
}

TEST(ModuleTest, LoadsFindsSymbolsAndNamesTheirFiles)
{
    QString error;
    auto libm = platform::Module::load("libm.so.6", &error);
    ASSERT_NE(libm, nullptr) << error.toStdString();
    using Cos = double (*)(double);
    const auto cosine = reinterpret_cast<Cos>(libm->symbol("cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(libm->symbol("no_such_symbol_here"), nullptr);

    const QString path = platform::modulePathOf(reinterpret_cast<const void *>(cosine));
    EXPECT_TRUE(QFileInfo(path).isAbsolute()) << path.toStdString();
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith("libm")) << path.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST(ModuleTest, ThisProgramIsNamedByItsFullPath)
{
    EXPECT_EQ(platform::modulePathOf(reinterpret_cast<const void *>(&functionInThisProgram)),
              platform::ownExecutablePath());
    EXPECT_EQ(platform::modulePathOf(nullptr), QString());
}

TEST(ModuleTest, FailureExplainsItself)
{
    QString error;
    EXPECT_EQ(platform::Module::load("/no/such/library.so", &error), nullptr);
    EXPECT_TRUE(error.contains("/no/such/library.so")) << error.toStdString();
    EXPECT_EQ(platform::Module::load("/no/such/library.so"), nullptr);
}

} // namespace
