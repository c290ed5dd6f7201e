#include <gtest/gtest.h>

#include "platform/FileVersion.h"
#include "platform/Module.h"

#include <QDir>
#include <QFileInfo>

namespace {

TEST(ModuleTest, LoadsLibrariesAndNamesTheFilesOfAddresses)
{
    QString error;
    auto libm = platform::Module::load("libm.so.6", &error);
    ASSERT_NE(libm, nullptr) << error.toStdString();
    const auto cosine = reinterpret_cast<double (*)(double)>(libm->symbol("cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(libm->symbol("no_such_symbol"), nullptr);

    const QFileInfo file(platform::modulePathOf(reinterpret_cast<const void *>(cosine)));
    EXPECT_TRUE(file.isAbsolute() && file.exists() && file.fileName().startsWith("libm")) << file.filePath().toStdString();
    // dladdr names the program by argv[0], which may be relative to where it started.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent("/"));
    EXPECT_EQ(platform::modulePathOf(reinterpret_cast<const void *>(&platform::ownExecutablePath)), platform::ownExecutablePath());
    QDir::setCurrent(cwd);
    EXPECT_EQ(platform::modulePathOf(nullptr), QString());

    EXPECT_EQ(platform::Module::load("/no/such/library.so", &error), nullptr);
    EXPECT_TRUE(error.contains("/no/such/library.so")) << error.toStdString();
}

} // namespace
