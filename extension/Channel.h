#pragma once
// Both ends of the call channel over the shared record: the wizard posts a
// call and waits for it to be done; the host waits for the next call. Each
// side watches its peer's process, so neither waits for a peer that is gone.
#include "extension/CallRecord.h"
#include "platform/Endpoint.h"

#include <cstdint>

namespace extension {

inline constexpr int kPollMs = 30;

// Wizard side. Returns when the host acknowledged the call, or at once when
// the host has gone (then the wizard is told and asked to end).
class WizardChannel {
public:
    // The host that marked the run, if it has marked it yet.
    void noteHost(uint32_t activeHostWindow);
    void call(CallRecord &record, const char *name, const int32_t *args, uint32_t count);
    // The call posted on unload; nothing to do when no host was ever seen.
    void exitCall(CallRecord &record);
    bool hostGone() const { return m_hostGone; }

private:
    void giveUp(CallRecord &record);
    platform::AppHandle m_host = 0;
    bool m_hostGone = false;
};

enum class HostWait { CallPending, WizardGone };

// Host side: waits until a call is pending, serving the thread's events
// between the polls, or until the wizard's process has ended.
HostWait waitForCall(const CallRecord &record, platform::AppHandle wizard);

// Lets the calling thread's event queue run, where it has one.
void serveEvents();

} // namespace extension
