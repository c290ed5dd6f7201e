#include "PlatformFixture.h"

#include "platform/SharedMemory.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

using platform::ISharedBlock;

namespace {

bool allZero(ISharedBlock &block)
{
    const char *p = static_cast<const char *>(block.data());
    return std::all_of(p, p + block.size(), [](char c) { return c == 0; });
}

char *bytes(ISharedBlock &block)
{
    return static_cast<char *>(block.data());
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
        ::shm_unlink(objectName().constData());
        PlatformFixture::TearDown();
    }

    QByteArray objectName() const { return "/" + m_name.toUtf8(); }
    bool objectExists() const { return QFile::exists("/dev/shm/" + m_name); }

    std::unique_ptr<ISharedBlock> open(size_t size)
    {
        QString error;
        auto block = platform::openSharedBlock(m_name, size, &error);
        EXPECT_NE(block, nullptr) << error.toStdString();
        return block;
    }

    QString m_name;
};

TEST_F(SharedMemoryTest, UsersShareTheBlockAndTheLastOneRemovesIt)
{
    const mode_t oldMask = ::umask(0777);
    auto first = open(4096);
    ::umask(oldMask);
    ASSERT_TRUE(first && first->created());
    EXPECT_EQ(first->size(), 4096u);
    EXPECT_TRUE(allZero(*first));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName("/dev/shm/" + m_name).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    auto second = open(4096);
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->created());
    std::strcpy(bytes(*first), "from the first");
    std::strcpy(bytes(*second) + 100, "from the second");
    EXPECT_STREQ(bytes(*second), "from the first");
    EXPECT_STREQ(bytes(*first) + 100, "from the second");

    first.reset();
    EXPECT_TRUE(objectExists());
    EXPECT_STREQ(bytes(*second), "from the first");
    second.reset();
    EXPECT_FALSE(objectExists());
}

TEST_F(SharedMemoryTest, AnotherProcessSeesTheSameBlock)
{
    Child child([this] {
        QString error;
        static std::unique_ptr<ISharedBlock> held = platform::openSharedBlock(m_name, 4096, &error);
        if (!held || !held->created())
            return false;
        std::strcpy(static_cast<char *>(held->data()), "from the child");
        return true;
    });
    ASSERT_TRUE(child.ready());
    auto block = open(4096);
    ASSERT_TRUE(block);
    EXPECT_FALSE(block->created());
    EXPECT_STREQ(bytes(*block), "from the child");

    // The child dies without closing: the block is ours alone now.
    child.kill();
    EXPECT_STREQ(bytes(*block), "from the child");
    block.reset();
    EXPECT_FALSE(objectExists());
}

class StaleBlockTest : public SharedMemoryTest, public ::testing::WithParamInterface<int> {};

// 0: a holder that was killed; 1: an object nobody ever locked.
TEST_P(StaleBlockTest, IsTakenAsNewAndZeroFilled)
{
    std::optional<Child> holder;
    if (GetParam() == 0) {
        holder.emplace([this] {
            QString error;
            static std::unique_ptr<ISharedBlock> held = platform::openSharedBlock(m_name, 8192, &error);
            if (!held)
                return false;
            std::memset(held->data(), 0xab, held->size());
            return true;
        });
        ASSERT_TRUE(holder->ready());
        holder->kill();
    } else {
        const int fd = ::shm_open(objectName().constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
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
    block.reset();
    EXPECT_FALSE(objectExists());
}

INSTANTIATE_TEST_SUITE_P(Holders, StaleBlockTest, ::testing::Values(0, 1),
                         [](const auto &info) { return info.param == 0 ? "KilledHolder" : "NeverLocked"; });

TEST_F(SharedMemoryTest, SmallerBlockIsGrownLargerOneIsMappedWhole)
{
    auto small = open(100);
    auto grown = open(5000);
    ASSERT_TRUE(small && grown);
    EXPECT_EQ(grown->size(), 5000u);
    EXPECT_EQ(small->size(), 100u);
    ASSERT_TRUE(small->remap());
    EXPECT_EQ(small->size(), 5000u);
    auto modest = open(10);
    ASSERT_TRUE(modest);
    EXPECT_EQ(modest->size(), 5000u);
}

TEST_F(SharedMemoryTest, ResizeReachesOthersOnRemap)
{
    auto resizer = open(4096);
    auto other = open(4096);
    ASSERT_TRUE(resizer && other);
    bytes(*resizer)[0] = 'x';

    ASSERT_TRUE(resizer->resize(3 * 4096));
    bytes(*resizer)[3 * 4096 - 1] = 'z';
    // Until it remaps, the other user keeps a working mapping of the old size.
    EXPECT_EQ(other->size(), 4096u);
    EXPECT_EQ(bytes(*other)[0], 'x');
    ASSERT_TRUE(other->remap());
    ASSERT_EQ(other->size(), 3u * 4096);
    EXPECT_EQ(bytes(*other)[3 * 4096 - 1], 'z');

    ASSERT_TRUE(other->resize(10));
    ASSERT_TRUE(resizer->remap());
    EXPECT_EQ(resizer->size(), 10u);
    EXPECT_EQ(bytes(*resizer)[0], 'x');
}

TEST_F(SharedMemoryTest, UnusableNamesAreRefusedWithAReason)
{
    for (const QString &name : {QString(), QString("a/b"), QString(".."), QString(300, 'n')}) {
        QString error;
        EXPECT_EQ(platform::openSharedBlock(name, 64, &error), nullptr) << name.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST_F(SharedMemoryTest, MemoryTwinBehavesLikeTheRealBlock)
{
    const QString name = m_name + "-memory";
    auto first = platform::openMemorySharedBlock(name, 64);
    auto second = platform::openMemorySharedBlock(name, 64);
    auto unrelated = platform::openMemorySharedBlock(name + "-other", 64);
    ASSERT_TRUE(first && second && unrelated);
    EXPECT_TRUE(first->created());
    EXPECT_FALSE(second->created());
    EXPECT_TRUE(unrelated->created());
    std::strcpy(bytes(*first), "shared");
    EXPECT_STREQ(bytes(*second), "shared");
    EXPECT_TRUE(allZero(*unrelated));

    ASSERT_TRUE(first->resize(100000));
    bytes(*first)[99999] = 'e';
    // The old mapping is still the shared one up to its size.
    std::strcpy(bytes(*second), "before remap");
    EXPECT_STREQ(bytes(*first), "before remap");
    ASSERT_TRUE(second->remap());
    ASSERT_EQ(second->size(), 100000u);
    EXPECT_EQ(bytes(*second)[99999], 'e');

    first.reset();
    EXPECT_STREQ(bytes(*second), "before remap");
    second.reset();
    auto again = platform::openMemorySharedBlock(name, 64);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->created());
    EXPECT_EQ(again->size(), 64u);
    EXPECT_TRUE(allZero(*again));
}

} // namespace
