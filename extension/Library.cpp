// The library's two entries and its life in each process: the authoring
// tool (MM_InitWrapper) and the wizard (CallFlashFunction).
#include "extension/CallRecord.h"
#include "extension/Channel.h"
#include "extension/HostWindowFilter.h"
#include "extension/Messages.h"
#include "extension/ScriptFunctions.h"
#include "platform/PlatformError.h"
#include "platform/TempFolder.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace {

using namespace extension;

class Library {
public:
    Library()
    {
        // Made before us, so still there when we go.
        setMessageOwner(nullptr);
        hostState();
        QString error;
        m_record = CallRecord::open(&error);
        if (!m_record)
            showMessage(error);
        else
            m_wizard.noteHost(m_record->activeHostWindow());
        hostState().record = m_record.get();
    }

    ~Library()
    {
        if (!m_record)
            return;
        if (!hostState().initialised)
            m_wizard.exitCall(*m_record);
        delete m_filter.data();
        hostState().record = nullptr;
        m_record.reset();
    }

    void init()
    {
        HostState &host = hostState();
        host.initialised = true;
        try {
            host.tempBase = platform::privateTempFolder() + QStringLiteral("VELUMOR");
        } catch (const platform::PlatformError &e) {
            showMessage(QString::fromStdString(e.what()));
        }
        registerScriptFunctions();
        QWidget *window = findHostWindow();
        if (!window) {
            showMessage(QStringLiteral("MM_Init(): Cannot get Flash handle"));
            return;
        }
        setMessageOwner(window);
        if (m_filter)
            return;
        // On the application, as the window's children get the input.
        auto *filter = new HostWindowFilter(
            window,
            [] {
                const CallRecord *record = hostState().record;
                return record && record->activeHostWindow() == ownHostHandle();
            },
            &bringWizardForward);
        filter->setParent(window);
        qApp->installEventFilter(filter);
        m_filter = filter;
    }

    void call(const char *name, const int32_t *args, uint32_t count)
    {
        if (m_record)
            m_wizard.call(*m_record, name, args, count);
    }

private:
    std::unique_ptr<CallRecord> m_record;
    WizardChannel m_wizard;
    QPointer<QObject> m_filter;
};

Library library;

} // namespace

extern "C" {

__attribute__((visibility("default"))) void MM_InitWrapper(void *table, unsigned int size)
{
    try {
        hostState().table.copyFrom(table, size);
        library.init();
    } catch (...) {
        // Nothing may unwind into the host.
    }
}

__attribute__((visibility("default"))) void CallFlashFunction(const char *name, const int32_t *args, uint32_t count)
{
    try {
        library.call(name, args, count);
    } catch (...) {
    }
}
}
