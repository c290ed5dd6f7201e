#include "platform/SharedMemory.h"

#include "platform/PlatformError.h"
#include "platform/TempFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int retryFlock(int fd, int operation)
{
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

QString systemText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A file descriptor mapped whole into memory. Both kinds of block share it, so
// the in-memory twin behaves like the real thing down to resizing: a mapping
// stays valid (and shared) up to its old size until remap().
class MappedBlock : public ISharedBlock {
public:
    MappedBlock(int fd, bool created) : m_fd(fd), m_created(created) {}
    ~MappedBlock() override
    {
        unmap();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MappedBlock(const MappedBlock &) = delete;
    MappedBlock &operator=(const MappedBlock &) = delete;

    void *data() override { return m_data; }
    size_t size() const override { return m_size; }
    bool created() const override { return m_created; }

    bool resize(size_t newSize) override
    {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return false;
        if (::ftruncate(m_fd, off_t(newSize)) != 0)
            return false;
        if (!mapTo(newSize)) {
            // Keep the object no smaller than the mapping that stays in use.
            if (::ftruncate(m_fd, st.st_size) != 0) {
                // Nothing more can be done; the caller learns of the failure.
            }
            return false;
        }
        return true;
    }

    bool remap() override
    {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return false;
        return mapTo(size_t(st.st_size));
    }

    bool mapTo(size_t newSize)
    {
        if (m_data && newSize == m_size)
            return true;
        if (newSize == 0) {
            unmap();
            return true;
        }
        void *p = m_data ? ::mremap(m_data, m_size, newSize, MREMAP_MAYMOVE)
                         : ::mmap(nullptr, newSize, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (p == MAP_FAILED)
            return false;
        m_data = p;
        m_size = newSize;
        return true;
    }

protected:
    void unmap()
    {
        if (m_data)
            ::munmap(m_data, m_size);
        m_data = nullptr;
        m_size = 0;
    }

    int m_fd;

private:
    bool m_created;
    void *m_data = nullptr;
    size_t m_size = 0;
};

// Serialises opening and closing of one block name between processes, so the
// stale check and the last-user check never interleave.
class Guard {
public:
    explicit Guard(const QByteArray &path)
    {
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd >= 0 && retryFlock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Guard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

class PosixBlock final : public MappedBlock {
public:
    PosixBlock(int fd, bool created, QByteArray objectName, QByteArray guardPath)
        : MappedBlock(fd, created), m_objectName(std::move(objectName)), m_guardPath(std::move(guardPath))
    {
    }
    ~PosixBlock() override { close(true); }

    // Leaves the block, removing it when no other user holds it. Callers that
    // already hold the guard pass false: flock would wait for them forever.
    void close(bool takeGuard)
    {
        if (m_fd < 0)
            return;
        unmap();
        std::optional<Guard> guard;
        if (takeGuard)
            guard.emplace(m_guardPath);
        // Without the guard the check below still holds; the guard only keeps
        // a concurrent opener from seeing the object vanish under it.
        if (retryFlock(m_fd, LOCK_EX | LOCK_NB) == 0)
            ::shm_unlink(m_objectName.constData());
        ::close(m_fd);
        m_fd = -1;
    }

private:
    QByteArray m_objectName;
    QByteArray m_guardPath;
};

constexpr int kNameCandidates = 8;

QByteArray objectNameOf(const QString &name, int candidate)
{
    QByteArray object = '/' + QFile::encodeName(name) + '.' + QByteArray::number(geteuid());
    if (candidate > 0)
        object += '.' + QByteArray::number(candidate);
    return object;
}

bool validName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(QChar(0)) && name != u"." && name != u".."
        && QFile::encodeName(name).size() <= 200;
}

} // namespace

std::unique_ptr<ISharedBlock> openSharedBlock(const QString &name, size_t size, QString *error)
{
    auto fail = [error](const QString &sentence) -> std::unique_ptr<ISharedBlock> {
        if (error)
            *error = sentence;
        return nullptr;
    };
    if (!validName(name))
        return fail(QStringLiteral("\"%1\" cannot name a shared memory block.").arg(name));

    QString folder;
    try {
        folder = privateTempFolder();
    } catch (const PlatformError &e) {
        return fail(QString::fromStdString(e.what()));
    }
    const QByteArray guardPath = QFile::encodeName(folder + QStringLiteral("shm-") + name + QStringLiteral(".guard"));

    Guard guard(guardPath);
    if (!guard.held())
        return fail(QStringLiteral("The lock for shared memory block %1 cannot be taken (%2).").arg(name, systemText()));

    // POSIX names are machine-wide, so each user has names of their own. One
    // that another user has taken is passed over for the next of a fixed
    // sequence, which every program of this user follows alike.
    bool created = true;
    int fd = -1;
    QByteArray objectName;
    for (int candidate = 0; candidate < kNameCandidates && fd < 0; ++candidate) {
        objectName = objectNameOf(name, candidate);
        created = true;
        fd = ::shm_open(objectName.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            // 0600 whatever the umask, or the next user could not open it.
            (void)::fchmod(fd, 0600);
            break;
        }
        if (errno != EEXIST)
            return fail(QStringLiteral("Shared memory block %1 cannot be opened (%2).").arg(name, systemText()));
        created = false;
        fd = ::shm_open(objectName.constData(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0 && errno != EACCES)
            return fail(QStringLiteral("Shared memory block %1 cannot be opened (%2).").arg(name, systemText()));
        struct stat owner {};
        if (fd >= 0 && (::fstat(fd, &owner) != 0 || owner.st_uid != geteuid())) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        return fail(QStringLiteral("Every name for shared memory block %1 is taken by other users; ask the "
                                   "administrator to remove the objects named %2 in /dev/shm.")
                        .arg(name, QFile::decodeName(objectNameOf(name, 0).mid(1)) + QStringLiteral("*")));

    auto discard = [&](const QString &sentence, bool remove) {
        // A block made by this call must not outlive a failed open.
        if (remove)
            ::shm_unlink(objectName.constData());
        ::close(fd);
        return fail(sentence);
    };

    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return discard(QStringLiteral("Shared memory block %1 cannot be examined (%2).").arg(name, systemText()), created);

    if (!created) {
        if (retryFlock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Left over by users that are all gone: start afresh.
            created = true;
            if (::ftruncate(fd, 0) != 0)
                return discard(QStringLiteral("Shared memory block %1 cannot be cleared (%2).").arg(name, systemText()), true);
        } else if (errno != EWOULDBLOCK) {
            return discard(QStringLiteral("Shared memory block %1 cannot be locked (%2).").arg(name, systemText()), false);
        }
    }
    if (retryFlock(fd, LOCK_SH) != 0)
        return discard(QStringLiteral("Shared memory block %1 cannot be locked (%2).").arg(name, systemText()), created);

    // An existing block larger than asked for is mapped whole; a smaller one
    // is grown, as the caller relies on the size it asked for.
    size_t mapSize = size;
    if (!created && size_t(st.st_size) > size)
        mapSize = size_t(st.st_size);
    if ((created || size_t(st.st_size) < size) && ::ftruncate(fd, off_t(mapSize)) != 0)
        return discard(QStringLiteral("Shared memory block %1 cannot be given its size (%2).").arg(name, systemText()), created);

    auto block = std::make_unique<PosixBlock>(fd, created, objectName, guardPath);
    if (!block->mapTo(mapSize)) {
        const QString sentence = QStringLiteral("Shared memory block %1 cannot be mapped (%2).").arg(name, systemText());
        block->close(false);
        return fail(sentence);
    }
    return block;
}

namespace {

// Name -> memory file and the number of blocks open on it.
struct MemoryRegistry {
    std::mutex mutex;
    std::map<QString, std::pair<int, int>> files;
};

MemoryRegistry &memoryRegistry()
{
    static MemoryRegistry registry;
    return registry;
}

class MemoryBlock final : public MappedBlock {
public:
    MemoryBlock(int fd, bool created, QString name) : MappedBlock(fd, created), m_name(std::move(name)) {}
    ~MemoryBlock() override
    {
        MemoryRegistry &registry = memoryRegistry();
        std::lock_guard lock(registry.mutex);
        const auto it = registry.files.find(m_name);
        if (it != registry.files.end() && --it->second.second == 0) {
            ::close(it->second.first);
            registry.files.erase(it);
        }
    }

private:
    QString m_name;
};

} // namespace

std::unique_ptr<ISharedBlock> openMemorySharedBlock(const QString &name, size_t size)
{
    MemoryRegistry &registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.files.find(name);
    const bool created = it == registry.files.end();
    if (created) {
        const int fd = ::memfd_create("tessory-block", MFD_CLOEXEC);
        if (fd < 0)
            return nullptr;
        it = registry.files.emplace(name, std::pair{fd, 0}).first;
    }
    const int shared = it->second.first;
    // Each block owns a descriptor of its own; the registry keeps the file.
    const int fd = ::fcntl(shared, F_DUPFD_CLOEXEC, 0);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || (size_t(st.st_size) < size && ::ftruncate(fd, off_t(size)) != 0)) {
        if (fd >= 0)
            ::close(fd);
        if (created) {
            ::close(shared);
            registry.files.erase(it);
        }
        return nullptr;
    }
    ++it->second.second;
    auto block = std::make_unique<MemoryBlock>(fd, created, name);
    if (!block->remap())
        return nullptr; // the destructor drops the registration
    return block;
}

} // namespace platform
