#include "PlatformFixture.h"

#include "platform/Shell.h"

#include <sys/stat.h>

namespace {

class ShellTest : public PlatformFixture {
protected:
    static void touch(const QString &path) { QFile(path).open(QIODevice::WriteOnly); }
};

TEST_F(ShellTest, DeletesMatchingFilesAndLinksOnly)
{
    const QString dir = root() + "/pics";
    QDir().mkpath(dir + "/VELUMOR_folder.jpg");
    touch(dir + "/VELUMOR_folder.jpg/inside.jpg");
    for (const char *name : {"VELUMOR1.jpg", "VELUMOR22.jpg", ".VELUMOR_hidden.jpg", "velumor3.jpg", "VELUMOR4.jpg.png", "XVELUMOR5.jpg"})
        touch(dir + "/" + name);
    touch(root() + "/target.jpg");
    ASSERT_TRUE(QFile::link(root() + "/target.jpg", dir + "/VELUMOR_link.jpg"));
    ASSERT_TRUE(QFile::link(root() + "/gone.jpg", dir + "/VELUMOR_dangling.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/VELUMOR_pipe.jpg").constData(), 0600), 0);

    EXPECT_EQ(platform::shellDeleteFiles(dir + "/VELUMOR*.jpg"), 4);
    EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{".VELUMOR_hidden.jpg", "VELUMOR4.jpg.png", "VELUMOR_folder.jpg", "VELUMOR_pipe.jpg", "XVELUMOR5.jpg", "velumor3.jpg"}));
    EXPECT_TRUE(QFile::exists(dir + "/VELUMOR_folder.jpg/inside.jpg"));
    EXPECT_TRUE(QFile::exists(root() + "/target.jpg"));
}

TEST_F(ShellTest, WildcardsAreStarAndQuestionMarkOnly)
{
    const QStringList names = {"a[1].bmp", "a1.bmp", "ab.bmp", "abc.bmp", "a*x.bmp", "a*.bmpx"};
    const std::pair<QString, QStringList> cases[] = {
        {"a[1].bmp", {"a[1].bmp"}},
        {"a?.bmp", {"a1.bmp", "ab.bmp"}},
        {"a*x.bmp", {"a*x.bmp"}},
        {"a*.bmp", {"a[1].bmp", "a1.bmp", "ab.bmp", "abc.bmp", "a*x.bmp"}},
        {"*", names},
        {"", {}},
    };
    const QString dir = root() + "/w";
    for (const auto &[pattern, removed] : cases) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        for (const QString &n : names)
            touch(dir + "/" + n);
        EXPECT_EQ(platform::shellDeleteFiles(dir + "/" + pattern), removed.size()) << pattern.toStdString();
        for (const QString &n : names)
            EXPECT_NE(QFile::exists(dir + "/" + n), removed.contains(n)) << pattern.toStdString() << " " << n.toStdString();
    }
}

} // namespace
