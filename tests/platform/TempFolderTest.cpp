#include "PlatformFixture.h"

#include "platform/PlatformError.h"
#include "platform/TempFolder.h"

#include <QFile>

#include <sys/stat.h>

using platform::privateTempFolder;

namespace {

class TempFolderTest : public PlatformFixture {
protected:
    QString expectedFolder() const { return root() + "/tmp/tessory-" + QString::number(getuid()); }

    mode_t modeOf(const QString &path)
    {
        struct stat st {};
        EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
        return st.st_mode & 07777;
    }
};

TEST_F(TempFolderTest, CreatesAPrivateFolderEvenUnderAPermissiveOrHarshUmask)
{
    for (mode_t mask : {mode_t(0), mode_t(0777)}) {
        QDir(expectedFolder()).removeRecursively();
        const mode_t old = ::umask(mask);
        const QString folder = privateTempFolder();
        ::umask(old);
        EXPECT_EQ(folder, expectedFolder() + "/");
        EXPECT_EQ(modeOf(expectedFolder()), mode_t(0700)) << "umask " << mask;
        // A second call accepts what the first made.
        EXPECT_EQ(privateTempFolder(), folder);
    }
}

TEST_F(TempFolderTest, TrailingSlashesInTmpdirDoNotDoubleUp)
{
    ::setenv("TMPDIR", QFile::encodeName(root() + "/tmp//").constData(), 1);
    EXPECT_EQ(privateTempFolder(), expectedFolder() + "/");
}

TEST_F(TempFolderTest, RefusesFoldersOthersCouldHaveTamperedWith)
{
    const QByteArray path = QFile::encodeName(expectedFolder());
    const QByteArray elsewhere = QFile::encodeName(root() + "/elsewhere");
    ASSERT_EQ(::mkdir(elsewhere.constData(), 0700), 0);

    struct Case {
        const char *what;
        std::function<bool()> plant;
        bool needsRoot = false;
    };
    const Case cases[] = {
        {"symlink to a private folder", [&] { return ::symlink(elsewhere.constData(), path.constData()) == 0; }},
        {"regular file", [&] { QFile f(expectedFolder()); return f.open(QIODevice::WriteOnly); }},
        {"world-open folder", [&] { return ::mkdir(path.constData(), 0700) == 0 && ::chmod(path.constData(), 0777) == 0; }},
        {"group-readable folder", [&] { return ::mkdir(path.constData(), 0700) == 0 && ::chmod(path.constData(), 0750) == 0; }},
        {"folder of another user", [&] { return ::mkdir(path.constData(), 0700) == 0 && ::chown(path.constData(), getuid() + 1, -1) == 0; }, true},
    };
    for (const Case &c : cases) {
        ::unlink(path.constData());
        ::rmdir(path.constData());
        if (!c.plant()) {
            if (c.needsRoot && geteuid() != 0)
                continue;
            ADD_FAILURE() << "cannot set up: " << c.what;
            continue;
        }
        try {
            privateTempFolder();
            ADD_FAILURE() << "accepted a " << c.what;
        } catch (const platform::PlatformError &e) {
            EXPECT_TRUE(QString(e.what()).contains(expectedFolder())) << e.what();
        }
    }
    // Nothing was repaired or followed.
    EXPECT_EQ(modeOf(root() + "/elsewhere"), mode_t(0700));
}

TEST_F(TempFolderTest, MissingTmpdirIsReported)
{
    ::setenv("TMPDIR", QFile::encodeName(root() + "/does/not/exist").constData(), 1);
    EXPECT_THROW(privateTempFolder(), platform::PlatformError);
}

} // namespace
