#include "PlatformFixture.h"

#include "platform/Shell.h"

#include <QFile>

namespace {

class ShellTest : public PlatformFixture {
protected:
    void touch(const QString &path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    }
    QStringList left(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(ShellTest, DeletesOnlyMatchingFilesAndLinks)
{
    const QString dir = root() + "/pics";
    QDir().mkpath(dir + "/VELUMOR_folder.jpg");
    touch(dir + "/VELUMOR_folder.jpg/inside.jpg");
    touch(dir + "/VELUMOR1.jpg");
    touch(dir + "/VELUMOR22.jpg");
    touch(dir + "/.VELUMOR_hidden.jpg");
    touch(dir + "/velumor3.jpg");
    touch(dir + "/VELUMOR4.jpg.png");
    touch(dir + "/XVELUMOR5.jpg");
    touch(root() + "/target.jpg");
    ASSERT_TRUE(QFile::link(root() + "/target.jpg", dir + "/VELUMOR_link.jpg"));
    ASSERT_TRUE(QFile::link(root() + "/gone.jpg", dir + "/VELUMOR_dangling.jpg"));

    EXPECT_EQ(platform::shellDeleteFiles(dir + "/VELUMOR*.jpg"), 4);
    EXPECT_EQ(left(dir), (QStringList{".VELUMOR_hidden.jpg", "VELUMOR4.jpg.png", "VELUMOR_folder.jpg", "XVELUMOR5.jpg", "velumor3.jpg"}));
    EXPECT_TRUE(QFile::exists(dir + "/VELUMOR_folder.jpg/inside.jpg"));
    EXPECT_TRUE(QFile::exists(root() + "/target.jpg"));
}

TEST_F(ShellTest, WildcardsAreThoseOfTheWindowsShell)
{
    const QString dir = root() + "/w";
    QDir().mkpath(dir);
    const QStringList names = {"a[1].bmp", "a1.bmp", "ab.bmp", "abc.bmp", "a*x.bmp", "a*.bmpx", ".a.bmp"};
    struct Case {
        QString pattern;
        QStringList removed;
    };
    const Case cases[] = {
        {"a[1].bmp", {"a[1].bmp"}},
        {"a?.bmp", {"a1.bmp", "ab.bmp"}},
        {"a*x.bmp", {"a*x.bmp"}},
        {"a*.bmp", {"a*x.bmp", "a1.bmp", "a[1].bmp", "ab.bmp", "abc.bmp"}},
        {"*", names},
        {"", {}},
    };
    for (const Case &c : cases) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        for (const QString &n : names)
            touch(dir + "/" + n);
        EXPECT_EQ(platform::shellDeleteFiles(dir + "/" + c.pattern), c.removed.size()) << c.pattern.toStdString();
        for (const QString &n : names)
            EXPECT_EQ(QFile::exists(dir + "/" + n), !c.removed.contains(n)) << c.pattern.toStdString() << " " << n.toStdString();
    }
}

TEST_F(ShellTest, NothingToOpenIsNotOpened)
{
    EXPECT_FALSE(platform::shellOpen(root() + "/no such file.chm"));
    EXPECT_FALSE(platform::shellOpen(QString()));
}

} // namespace
