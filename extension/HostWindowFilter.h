#pragma once
// Keeps the authoring tool's main window inert while a wizard run lasts:
// what would activate it brings the wizard forward instead, and what the
// user would do to it is swallowed. Painting and timers go on.
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace extension {

inline constexpr char kHostWindowName[] = "SmartSketchMDIFrame";

enum class HostEventTreatment { Pass, BringWizardForward, Swallow };

HostEventTreatment treatmentOf(QEvent::Type type);

// The first top-level widget of the calling thread with the host's name.
QWidget *findHostWindow();

class HostWindowFilter : public QObject {
public:
    // runActive tells whether the run is in force now; bringWizardForward
    // activates the wizard.
    HostWindowFilter(QWidget *hostWindow, std::function<bool()> runActive, std::function<void()> bringWizardForward);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool belongsToHost(QObject *watched) const;
    QPointer<QWidget> m_host;
    std::function<bool()> m_runActive;
    std::function<void()> m_bringWizardForward;
};

} // namespace extension
