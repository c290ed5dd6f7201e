#pragma once
// The 52-byte record through which the wizard posts one call at a time to
// the authoring tool. Both processes map it; there is no lock, only the
// order of the writes.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {
class ISharedBlock;
}

namespace extension {

struct SharedCallRecord {
    uint32_t activeHostWindow; // host's handle while a wizard run lasts, else 0
    char functionName[32];     // first byte 0: no call pending
    int32_t args[3];
    uint32_t argCount;
};
static_assert(offsetof(SharedCallRecord, activeHostWindow) == 0);
static_assert(offsetof(SharedCallRecord, functionName) == 4);
static_assert(offsetof(SharedCallRecord, args) == 36);
static_assert(offsetof(SharedCallRecord, argCount) == 48);
static_assert(sizeof(SharedCallRecord) == 52);

inline constexpr char kCallRecordName[] = "TessoryMemoryMappedFile";
inline constexpr size_t kMaxCallName = sizeof(SharedCallRecord::functionName) - 1;
inline constexpr uint32_t kMaxCallArgs = 3;

struct PendingCall {
    QByteArray name;
    std::vector<int32_t> args;
};

class CallRecord {
public:
    // nullptr and *error (one sentence) when the block cannot be had.
    static std::unique_ptr<CallRecord> open(QString *error);
    ~CallRecord();

    uint32_t activeHostWindow() const;
    void setActiveHostWindow(uint32_t handle);

    // Count and arguments first, the name last: a peer that sees the name
    // also sees the rest. Names and counts beyond the record are cut.
    void post(const char *name, const int32_t *args, uint32_t count);
    bool pending() const;
    // The pending call as the wizard wrote it; meaningful once pending().
    PendingCall read() const;
    void acknowledge();

private:
    explicit CallRecord(std::unique_ptr<platform::ISharedBlock> block);
    std::unique_ptr<platform::ISharedBlock> m_block;
    SharedCallRecord *m_record;
};

} // namespace extension
