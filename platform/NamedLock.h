#pragma once
#include <QString>
#include <memory>

namespace platform {

// A named mutex between processes: an flock-ed file in the private temporary
// folder, released by the kernel when its holder dies. Not recursive.
class INamedLock {
public:
    virtual ~INamedLock() = default;
    virtual bool lock() = 0;          // blocks; false on a system failure
    virtual bool tryLock() = 0;       // false when held elsewhere
    virtual void unlock() = 0;
};

// Throws PlatformError when the lock file cannot be opened.
std::unique_ptr<INamedLock> openNamedLock(const QString &name);

// Holds a lock for a scope.
class NamedLockGuard {
public:
    explicit NamedLockGuard(INamedLock &lock) : m_lock(lock) { m_held = m_lock.lock(); }
    ~NamedLockGuard() { if (m_held) m_lock.unlock(); }
    NamedLockGuard(const NamedLockGuard &) = delete;
    NamedLockGuard &operator=(const NamedLockGuard &) = delete;
    bool held() const { return m_held; }

private:
    INamedLock &m_lock;
    bool m_held;
};

} // namespace platform
