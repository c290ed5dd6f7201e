#include "extension/HostWindowFilter.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

namespace extension {

HostEventTreatment treatmentOf(QEvent::Type type)
{
    switch (type) {
    case QEvent::WindowActivate:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        return HostEventTreatment::BringWizardForward;
    // What the user does to the window, and its moving, sizing and closing.
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::ToolTip:
    case QEvent::WhatsThis:
    case QEvent::StatusTip:
    case QEvent::Close:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        return HostEventTreatment::Swallow;
    // Painting, timers, focus, showing and hiding, and Qt's own bookkeeping
    // (queued calls, deferred deletes, layouts) must go on.
    default:
        return HostEventTreatment::Pass;
    }
}

QWidget *findHostWindow()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(kHostWindowName))
            return widget;
    return nullptr;
}

HostWindowFilter::HostWindowFilter(QWidget *hostWindow, std::function<bool()> runActive,
                                   std::function<void()> bringWizardForward)
    : m_host(hostWindow), m_runActive(std::move(runActive)), m_bringWizardForward(std::move(bringWizardForward))
{
}

bool HostWindowFilter::belongsToHost(QObject *watched) const
{
    if (!m_host || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    return widget == m_host || m_host->isAncestorOf(widget);
}

bool HostWindowFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (!belongsToHost(watched) || !m_runActive())
        return false;
    switch (treatmentOf(event->type())) {
    case HostEventTreatment::Pass:
        return false;
    case HostEventTreatment::BringWizardForward:
        // Activation reaches every widget of the window; one answer is enough.
        if (event->type() != QEvent::WindowActivate || watched == m_host)
            m_bringWizardForward();
        break;
    case HostEventTreatment::Swallow:
        break;
    }
    // A close left accepted would still close the window; anything else
    // left ignored would go on to the parent widget.
    event->setAccepted(event->type() != QEvent::Close);
    return true;
}

} // namespace extension
