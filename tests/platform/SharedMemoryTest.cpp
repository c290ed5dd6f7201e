#include "PlatformFixture.h"

#include "platform/SharedMemory.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

using platform::ISharedBlock;

namespace {

char *bytes(ISharedBlock &block)
{
    return static_cast<char *>(block.data());
}

bool allZero(ISharedBlock &block)
{
    return std::all_of(bytes(block), bytes(block) + block.size(), [](char c) { return c == 0; });
}

class SharedMemoryTest : public PlatformFixture {
protected:
    void SetUp() override
    {
        PlatformFixture::SetUp();
        static int counter = 0;
        m_name = QString("tessory-test-%1-%2").arg(getpid()).arg(++counter);
    }
    void TearDown() override
    {
        for (const QString &object : {objectName(), objectName() + ".1"})
            ::shm_unlink(("/" + object).toUtf8().constData());
        PlatformFixture::TearDown();
    }
    // Per user: POSIX names are machine-wide.
    QString objectName(uid_t uid = geteuid()) const { return QString("%1.%2").arg(m_name).arg(uid); }
    bool objectExists() const { return QFile::exists("/dev/shm/" + objectName()); }
    std::unique_ptr<ISharedBlock> open(size_t size)
    {
        QString error;
        auto block = platform::openSharedBlock(m_name, size, &error);
        EXPECT_NE(block, nullptr) << error.toStdString();
        return block;
    }
    // A child process that holds the block with "child" written into it.
    std::unique_ptr<Child> holder(size_t size)
    {
        return std::make_unique<Child>([this, size] {
            static std::unique_ptr<ISharedBlock> held;
            held = platform::openSharedBlock(m_name, size, nullptr);
            return held && std::strcpy(bytes(*held), "child");
        });
    }

    QString m_name;
};

TEST_F(SharedMemoryTest, UsersShareTheBlockAndTheLastOneRemovesIt)
{
    const mode_t oldMask = ::umask(0777);
    auto first = open(4096);
    ::umask(oldMask);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->created());
    EXPECT_EQ(first->size(), 4096u);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName("/dev/shm/" + objectName()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    auto second = open(4096);
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->created());
    std::strcpy(bytes(*first), "first");
    std::strcpy(bytes(*second) + 100, "second");
    EXPECT_STREQ(bytes(*second), "first");
    EXPECT_STREQ(bytes(*first) + 100, "second");

    first.reset();
    EXPECT_TRUE(objectExists());
    second.reset();
    EXPECT_FALSE(objectExists());
}

TEST_F(SharedMemoryTest, AnotherProcessSharesItUntilItDies)
{
    auto child = holder(4096);
    ASSERT_TRUE(child->ready());
    auto block = open(4096);
    ASSERT_TRUE(block);
    EXPECT_FALSE(block->created());
    EXPECT_STREQ(bytes(*block), "child");
    child->kill();
    block.reset();
    EXPECT_FALSE(objectExists());
}

class StaleBlockTest : public SharedMemoryTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StaleBlockTest, IsTakenAsNewAndZeroFilled)
{
    if (GetParam()) {
        auto child = holder(8192);
        ASSERT_TRUE(child->ready());
    } else {
        const int fd = ::shm_open(("/" + objectName()).toUtf8().constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 8192), 0);
        ASSERT_EQ(::write(fd, "leftover", 8), 8);
        ::close(fd);
    }
    ASSERT_TRUE(objectExists());
    auto block = open(4096);
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->created());
    EXPECT_EQ(block->size(), 4096u);
    EXPECT_TRUE(allZero(*block));
}

INSTANTIATE_TEST_SUITE_P(Holders, StaleBlockTest, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "KilledHolder" : "NeverLocked"; });

TEST_F(SharedMemoryTest, OtherUsersNeitherShareNorBlockTheBlock)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "playing a second user needs root";
    const uid_t other = 65534;
    char base[] = "/tmp/tessory-users-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    ASSERT_EQ(::chmod(base, 01777), 0);
    // The other user holds a block of the same name, and has planted one
    // under this user's name.
    auto child = std::make_unique<Child>([&] {
        ::setenv("TMPDIR", base, 1);
        if (::setresgid(other, other, other) != 0 || ::setresuid(other, other, other) != 0)
            return false;
        static std::unique_ptr<ISharedBlock> held;
        held = platform::openSharedBlock(m_name, 4096, nullptr);
        const int planted = ::shm_open(("/" + objectName(0)).toUtf8().constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
        return held && held->created() && planted >= 0 && std::strcpy(bytes(*held), "other user");
    });
    ASSERT_TRUE(child->ready());
    EXPECT_TRUE(QFile::exists("/dev/shm/" + objectName(other)));

    auto block = open(4096);
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->created()) << "not the other user's block";
    EXPECT_TRUE(allZero(*block));
    EXPECT_TRUE(QFile::exists("/dev/shm/" + objectName() + ".1")) << "the planted name passed over";
    auto again = open(4096);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->created()) << "this user's programs still meet";

    // What the other user leaves behind when killed changes nothing here.
    child->kill();
    EXPECT_TRUE(open(4096));
    ::shm_unlink(("/" + objectName(other)).toUtf8().constData());
    ::shm_unlink(("/" + objectName(0)).toUtf8().constData());
    QDir(base).removeRecursively();
}

TEST_F(SharedMemoryTest, SizesFollowTheLargestRequestAndResize)
{
    auto a = open(100);
    auto b = open(5000);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->size(), 5000u);
    ASSERT_TRUE(a->remap());
    EXPECT_EQ(a->size(), 5000u);
    EXPECT_EQ(open(10)->size(), 5000u);

    bytes(*a)[0] = 'x';
    ASSERT_TRUE(a->resize(3 * 4096));
    bytes(*a)[3 * 4096 - 1] = 'z';
    // Until it remaps, the other keeps a working mapping of the old size.
    EXPECT_EQ(b->size(), 5000u);
    EXPECT_EQ(bytes(*b)[0], 'x');
    ASSERT_TRUE(b->remap());
    ASSERT_EQ(b->size(), 3u * 4096);
    EXPECT_EQ(bytes(*b)[3 * 4096 - 1], 'z');

    ASSERT_TRUE(b->resize(10));
    ASSERT_TRUE(a->remap());
    EXPECT_EQ(a->size(), 10u);
    EXPECT_EQ(bytes(*a)[0], 'x');

    for (const QString &bad : {QString(), QString("a/b"), QString(300, 'n')}) {
        QString error;
        EXPECT_EQ(platform::openSharedBlock(bad, 64, &error), nullptr);
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST_F(SharedMemoryTest, MemoryTwinBehavesLikeTheRealBlock)
{
    auto first = platform::openMemorySharedBlock(m_name, 64);
    auto second = platform::openMemorySharedBlock(m_name, 64);
    auto unrelated = platform::openMemorySharedBlock(m_name + "-other", 64);
    ASSERT_TRUE(first && second && unrelated);
    EXPECT_TRUE(first->created());
    EXPECT_FALSE(second->created());
    EXPECT_TRUE(unrelated->created());
    std::strcpy(bytes(*first), "shared");
    EXPECT_STREQ(bytes(*second), "shared");
    EXPECT_TRUE(allZero(*unrelated));

    ASSERT_TRUE(first->resize(100000));
    bytes(*first)[99999] = 'e';
    std::strcpy(bytes(*second), "old mapping");
    EXPECT_STREQ(bytes(*first), "old mapping");
    ASSERT_TRUE(second->remap());
    ASSERT_EQ(second->size(), 100000u);
    EXPECT_EQ(bytes(*second)[99999], 'e');

    first.reset();
    second.reset();
    auto again = platform::openMemorySharedBlock(m_name, 64);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->created());
    EXPECT_TRUE(allZero(*again));
}

} // namespace
