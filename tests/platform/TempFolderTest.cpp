#include "PlatformFixture.h"

#include "platform/PlatformError.h"
#include "platform/TempFolder.h"

#include <sys/stat.h>

using platform::privateTempFolder;

namespace {

class TempFolderTest : public PlatformFixture {
protected:
    QString folder() const { return root() + "/tmp/tessory-" + QString::number(getuid()); }
    static mode_t modeOf(const QString &path)
    {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
};

TEST_F(TempFolderTest, CreatesAPrivateFolderWhateverTheUmask)
{
    for (mode_t mask : {mode_t(0), mode_t(0777)}) {
        QDir(folder()).removeRecursively();
        const mode_t old = ::umask(mask);
        const QString made = privateTempFolder();
        ::umask(old);
        EXPECT_EQ(made, folder() + "/");
        EXPECT_EQ(modeOf(folder()), mode_t(0700)) << "umask " << mask;
        EXPECT_EQ(privateTempFolder(), made);
    }
    setEnv("TMPDIR", root() + "/does/not/exist");
    EXPECT_THROW(privateTempFolder(), platform::PlatformError);
}

TEST_F(TempFolderTest, RefusesWhatOthersCouldHaveTamperedWith)
{
    const QByteArray path = QFile::encodeName(folder());
    const QByteArray elsewhere = QFile::encodeName(root() + "/elsewhere");
    ASSERT_EQ(::mkdir(elsewhere.constData(), 0700), 0);
    auto privateDir = [&](mode_t mode) { return ::mkdir(path.constData(), 0700) == 0 && ::chmod(path.constData(), mode) == 0; };
    const std::pair<const char *, std::function<bool()>> cases[] = {
        {"link to a private folder", [&] { return ::symlink(elsewhere.constData(), path.constData()) == 0; }},
        {"file", [&] { return QFile(folder()).open(QIODevice::WriteOnly); }},
        {"world-open folder", [&] { return privateDir(0777); }},
        {"group-readable folder", [&] { return privateDir(0750); }},
        {"another user's folder", [&] { return privateDir(0700) && ::chown(path.constData(), getuid() + 1, -1) == 0; }},
    };
    for (const auto &[what, plant] : cases) {
        ::unlink(path.constData());
        ::rmdir(path.constData());
        if (!plant()) {
            // Giving a folder away takes root.
            EXPECT_NE(geteuid(), 0u) << "cannot set up: " << what;
            continue;
        }
        try {
            privateTempFolder();
            ADD_FAILURE() << "accepted a " << what;
        } catch (const platform::PlatformError &e) {
            EXPECT_TRUE(QString(e.what()).contains(folder())) << e.what();
        }
    }
    // Nothing was repaired through the link.
    EXPECT_EQ(modeOf(root() + "/elsewhere"), mode_t(0700));
}

} // namespace
