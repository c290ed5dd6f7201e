#include "platform/NamedLock.h"

#include "platform/PlatformError.h"
#include "platform/TempFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

class FileLock final : public INamedLock {
public:
    explicit FileLock(int fd) : m_fd(fd) {}
    ~FileLock() override { ::close(m_fd); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool lock() override { return apply(LOCK_EX) == 0; }
    bool tryLock() override { return apply(LOCK_EX | LOCK_NB) == 0; }
    void unlock() override { apply(LOCK_UN); }

private:
    int apply(int operation)
    {
        int rc;
        do {
            rc = ::flock(m_fd, operation);
        } while (rc != 0 && errno == EINTR);
        return rc;
    }

    int m_fd;
};

} // namespace

std::unique_ptr<INamedLock> openNamedLock(const QString &name)
{
    if (name.isEmpty() || name.contains(u'/') || name.contains(QChar(0)))
        throw PlatformError(QStringLiteral("\"%1\" cannot name a lock; use a plain name without \"/\".").arg(name).toStdString());
    const QString path = privateTempFolder() + name + QStringLiteral(".lock");
    // The file stays behind: removing a lock file lets two holders in at once.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        throw PlatformError(QStringLiteral("The lock file %1 cannot be opened (%2); check the temporary folder.")
                                .arg(path, QString::fromLocal8Bit(std::strerror(errno)))
                                .toStdString());
    }
    return std::make_unique<FileLock>(fd);
}

} // namespace platform
