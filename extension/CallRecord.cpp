#include "extension/CallRecord.h"

#include "platform/SharedMemory.h"

#include <atomic>
#include <cstring>

namespace extension {

namespace {

template <typename T>
std::atomic_ref<T> shared(T &field)
{
    static_assert(std::atomic_ref<T>::is_always_lock_free, "the peer process cannot share a lock");
    return std::atomic_ref<T>(field);
}

} // namespace

std::unique_ptr<CallRecord> CallRecord::open(QString *error)
{
    auto block = platform::openSharedBlock(QString::fromLatin1(kCallRecordName), sizeof(SharedCallRecord), error);
    if (!block)
        return nullptr;
    auto record = std::unique_ptr<CallRecord>(new CallRecord(std::move(block)));
    // A block that existed belongs to a running peer and is left as it is.
    if (record->m_block->created())
        std::memset(record->m_record, 0, sizeof(SharedCallRecord));
    return record;
}

CallRecord::CallRecord(std::unique_ptr<platform::ISharedBlock> block)
    : m_block(std::move(block)), m_record(static_cast<SharedCallRecord *>(m_block->data()))
{
}

CallRecord::~CallRecord() = default;

uint32_t CallRecord::activeHostWindow() const
{
    return shared(m_record->activeHostWindow).load(std::memory_order_acquire);
}

void CallRecord::setActiveHostWindow(uint32_t handle)
{
    shared(m_record->activeHostWindow).store(handle, std::memory_order_release);
}

void CallRecord::post(const char *name, const int32_t *args, uint32_t count)
{
    if (!args)
        count = 0;
    count = std::min(count, kMaxCallArgs);
    const size_t length = name ? ::strnlen(name, kMaxCallName) : 0;
    if (length == 0)
        return;
    shared(m_record->argCount).store(count, std::memory_order_relaxed);
    for (uint32_t i = 0; i < count; ++i)
        shared(m_record->args[i]).store(args[i], std::memory_order_relaxed);
    for (size_t i = 1; i < length; ++i)
        shared(m_record->functionName[i]).store(name[i], std::memory_order_relaxed);
    shared(m_record->functionName[length]).store('\0', std::memory_order_relaxed);
    shared(m_record->functionName[0]).store(name[0], std::memory_order_release);
}

bool CallRecord::pending() const
{
    return shared(m_record->functionName[0]).load(std::memory_order_acquire) != '\0';
}

PendingCall CallRecord::read() const
{
    PendingCall call;
    for (size_t i = 0; i <= kMaxCallName; ++i) {
        const char c = shared(m_record->functionName[i]).load(i == 0 ? std::memory_order_acquire
                                                                      : std::memory_order_relaxed);
        if (c == '\0')
            break;
        call.name += c;
    }
    const uint32_t count = std::min(shared(m_record->argCount).load(std::memory_order_relaxed), kMaxCallArgs);
    for (uint32_t i = 0; i < count; ++i)
        call.args.push_back(shared(m_record->args[i]).load(std::memory_order_relaxed));
    return call;
}

void CallRecord::acknowledge()
{
    shared(m_record->functionName[0]).store('\0', std::memory_order_release);
}

} // namespace extension
