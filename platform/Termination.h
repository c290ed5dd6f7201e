#pragma once
#include <QObject>

namespace platform {

// Turns SIGTERM, SIGINT and SIGHUP into an orderly end of the event loop
// (QCoreApplication::quit), so a session that ends or a Ctrl+C still runs
// the program's own shut-down (settings are saved). Call once, after the
// application object exists.
void quitOnTerminationSignals();

} // namespace platform
