#pragma once
#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

namespace platform {

// A named block of memory shared between processes (the stand-in for a named
// file mapping). created() tells whether this opening made the block new:
// either it did not exist, or it was left over by processes that are all gone
// (then it is zero-filled again). The last user to close it removes it.
class ISharedBlock {
public:
    virtual ~ISharedBlock() = default;
    virtual void *data() = 0;
    virtual size_t size() const = 0;
    virtual bool created() const = 0;
    // Grows or shrinks the block for every user; others see the new size
    // after remap(). Returns false on failure (the old mapping stays valid).
    virtual bool resize(size_t newSize) = 0;
    // Maps the block again at its current size (after another user resized it).
    virtual bool remap() = 0;
};

// POSIX shared memory object "/<name>.<uid>", mode 0600 (should another user
// hold that name, "/<name>.<uid>.1" and so on). Every user holds a shared
// flock on it; a block that nobody holds is stale. Returns nullptr and sets
// *error (one sentence) on failure.
std::unique_ptr<ISharedBlock> openSharedBlock(const QString &name, size_t size, QString *error);

// In-memory twin: blocks of the same name within one process share storage,
// so tests can play two users in one process.
std::unique_ptr<ISharedBlock> openMemorySharedBlock(const QString &name, size_t size);

} // namespace platform
