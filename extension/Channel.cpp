#include "extension/Channel.h"

#include "extension/Messages.h"

#include <QCoreApplication>
#include <QThread>

namespace extension {

namespace {

// A wizard started without a host marking its run gets this long before it
// gives up on its call.
constexpr int kUnmarkedPasses = 1000 / kPollMs;

void pause()
{
    QThread::msleep(kPollMs);
}

} // namespace

void serveEvents()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WizardChannel::noteHost(uint32_t activeHostWindow)
{
    // The host clears the mark when it fetches "exit" but still owes the
    // acknowledgement, so the first host seen stays the one watched.
    if (m_host == 0 && activeHostWindow != 0)
        m_host = platform::AppHandle(activeHostWindow);
}

void WizardChannel::call(CallRecord &record, const char *name, const int32_t *args, uint32_t count)
{
    if (m_hostGone || !name || !*name)
        return;
    noteHost(record.activeHostWindow());
    record.post(name, args, count);
    int unmarked = 0;
    while (record.pending()) {
        pause();
        noteHost(record.activeHostWindow());
        const bool gone = m_host != 0 ? !platform::processAlive(m_host) : ++unmarked > kUnmarkedPasses;
        if (gone) {
            giveUp(record);
            return;
        }
    }
}

void WizardChannel::exitCall(CallRecord &record)
{
    noteHost(record.activeHostWindow());
    if (m_host != 0)
        call(record, "exit", nullptr, 0);
}

void WizardChannel::giveUp(CallRecord &record)
{
    m_hostGone = true;
    // Withdrawn, so a later run does not find our call waiting.
    record.acknowledge();
    showMessage(QStringLiteral("The authoring tool has closed, so Tessory cannot get frames from it any more; "
                               "Tessory closes now."));
    // By name: a queued functor would run our code after the library is
    // unloaded.
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, "quit", Qt::QueuedConnection);
}

HostWait waitForCall(const CallRecord &record, platform::AppHandle wizard)
{
    for (;;) {
        if (record.pending())
            return HostWait::CallPending;
        if (!platform::processAlive(wizard))
            return HostWait::WizardGone;
        pause();
        serveEvents();
    }
}

} // namespace extension
