#include "PlatformFixture.h"

#include "platform/NamedLock.h"
#include "platform/PlatformError.h"

#include <poll.h>

using platform::openNamedLock;

namespace {

class NamedLockTest : public PlatformFixture {};

TEST_F(NamedLockTest, HeldElsewhereUntilTheHolderDies)
{
    Child holder([] {
        static auto lock = openNamedLock("pictures");
        return lock->tryLock();
    });
    ASSERT_TRUE(holder.ready());
    auto lock = openNamedLock("pictures");
    EXPECT_FALSE(lock->tryLock());
    EXPECT_TRUE(openNamedLock("other")->tryLock());
    holder.kill();
    ASSERT_TRUE(lock->tryLock());

    // Another opening in this process is excluded too, until unlock.
    auto second = openNamedLock("pictures");
    EXPECT_FALSE(second->tryLock());
    lock->unlock();
    EXPECT_TRUE(second->tryLock());
}

TEST_F(NamedLockTest, LockWaitsForTheHolderToLetGo)
{
    auto held = openNamedLock("queue");
    ASSERT_TRUE(held->lock());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t waiter = ::fork();
    ASSERT_GE(waiter, 0);
    if (waiter == 0) {
        const char got = openNamedLock("queue")->lock() ? 'L' : 'F';
        ::_exit(::write(fds[1], &got, 1) == 1 ? 0 : 1);
    }
    pollfd pfd{fds[0], POLLIN, 0};
    EXPECT_EQ(::poll(&pfd, 1, 300), 0) << "got a lock that was held";
    held->unlock();
    char got = 0;
    EXPECT_EQ(::poll(&pfd, 1, 5000), 1);
    EXPECT_EQ(::read(fds[0], &got, 1), 1);
    EXPECT_EQ(got, 'L');
    ::close(fds[0]);
    ::close(fds[1]);
    ::waitpid(waiter, nullptr, 0);
}

TEST_F(NamedLockTest, NamesThatAreNotPlainFileNamesAreRefused)
{
    EXPECT_THROW(openNamedLock(""), platform::PlatformError);
    EXPECT_THROW(openNamedLock("../escape"), platform::PlatformError);
    EXPECT_FALSE(QFile::exists(root() + "/tmp/escape.lock"));
}

} // namespace
