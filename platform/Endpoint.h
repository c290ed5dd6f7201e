#pragma once
#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;

namespace platform {

// A "window handle" that crosses processes: the process id of the program
// that owns the window.
using AppHandle = qint64;

AppHandle ownAppHandle();

// Whether the process behind a handle still runs; a zombie counts as gone.
bool processAlive(AppHandle pid);

// The application endpoint every wizard and host process opens: a local
// socket in the private temporary folder named after the process id. It
// answers on the owning thread's event loop:
//   activate      raise and focus the visible window
//   copy-data     an identifier and bytes (a command line); replies an int
//   message       a registered-message parameter; replies an int
//   rectangle     screen geometry of the main window
class EndpointServer : public QObject {
    Q_OBJECT
public:
    explicit EndpointServer(QObject *parent = nullptr);
    ~EndpointServer() override;
    // Starts listening; false and *error when the socket cannot be made.
    bool listen(QString *error);
    AppHandle handle() const;

    std::function<void()> onActivate;
    std::function<int(quint32 id, const QByteArray &data)> onCopyData;
    std::function<int(int param)> onMessage;
    std::function<QRect()> onRectangle;

private:
    void serve();
    QLocalServer *m_server = nullptr;
};

// Talks to another process's endpoint. Every call blocks until the peer
// answered; nullopt/false when it cannot be reached or does not answer in
// time.
class IEndpointClient {
public:
    virtual ~IEndpointClient() = default;
    virtual bool activate(AppHandle target) = 0;
    virtual std::optional<int> copyData(AppHandle target, quint32 id, const QByteArray &data) = 0;
    virtual std::optional<int> message(AppHandle target, int param) = 0;
    virtual std::optional<QRect> rectangle(AppHandle target) = 0;
    // Waits until the target's endpoint accepts a connection, polling every
    // 30 ms; false when the process ends first or timeoutMs (>= 0) passes.
    virtual bool waitForInputIdle(AppHandle target, int timeoutMs = -1) = 0;
};

std::unique_ptr<IEndpointClient> makeEndpointClient();

// Socket path of a process's endpoint.
QString endpointPath(AppHandle handle);

} // namespace platform
