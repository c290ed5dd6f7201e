#include "platform/Endpoint.h"

#include "platform/PlatformError.h"
#include "platform/TempFolder.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QtEndian>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <limits>
#include <sys/types.h>
#include <unistd.h>

// Wire format, both directions: a frame is a big-endian quint32 payload length
// followed by the payload. A payload starts with its kind byte; the reply
// repeats the kind.
//   activate   request: kind                       reply: kind
//   copy-data  request: kind, quint32 id, bytes    reply: kind, qint32 result
//   message    request: kind, qint32 param         reply: kind, qint32 result
//   rectangle  request: kind                       reply: kind, qint32 x, y, width, height
// Anything else, or a length beyond the cap, ends the connection.

namespace platform {

namespace {

enum Kind : quint8 { Activate = 1, CopyData = 2, Message = 3, Rectangle = 4 };

// Command lines are small; this only stops a peer from making us buffer without end.
constexpr qsizetype kMaxCopyData = 1024 * 1024;
constexpr quint32 kMaxPayload = 1 + 4 + kMaxCopyData;
constexpr quint32 kMaxReply = 1 + 16;
constexpr int kConnectMs = 2000;
constexpr int kReplyMs = 10000;
constexpr int kPollMs = 30;

void putU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 getU32(const QByteArray &in, qsizetype at)
{
    return qFromBigEndian<quint32>(in.constData() + at);
}

QByteArray frame(const QByteArray &payload)
{
    QByteArray out;
    out.reserve(4 + payload.size());
    putU32(out, quint32(payload.size()));
    return out + payload;
}

// Answers one request; nullopt when it is malformed.
std::optional<QByteArray> answer(EndpointServer *server, const QByteArray &request)
{
    const quint8 kind = quint8(request.at(0));
    QByteArray reply(1, char(kind));
    switch (kind) {
    case Activate:
        if (request.size() != 1)
            return std::nullopt;
        if (server->onActivate)
            server->onActivate();
        return reply;
    case CopyData: {
        if (request.size() < 5)
            return std::nullopt;
        const int result = server->onCopyData ? server->onCopyData(getU32(request, 1), request.mid(5)) : 0;
        putU32(reply, quint32(result));
        return reply;
    }
    case Message: {
        if (request.size() != 5)
            return std::nullopt;
        const int param = int(getU32(request, 1));
        putU32(reply, quint32(server->onMessage ? server->onMessage(param) : 0));
        return reply;
    }
    case Rectangle: {
        if (request.size() != 1)
            return std::nullopt;
        const QRect r = server->onRectangle ? server->onRectangle() : QRect();
        for (int v : {r.x(), r.y(), r.width(), r.height()})
            putU32(reply, quint32(v));
        return reply;
    }
    default:
        return std::nullopt;
    }
}

struct Connection {
    QByteArray buffer;
    bool busy = false;
};

void pump(EndpointServer *server, QLocalSocket *socket, std::shared_ptr<Connection> connection)
{
    // A handler may spin an event loop; the outer call picks up what arrives meanwhile.
    if (connection->busy)
        return;
    connection->busy = true;
    QPointer<EndpointServer> serverAlive(server);
    QPointer<QLocalSocket> socketAlive(socket);
    for (;;) {
        connection->buffer += socket->readAll();
        if (connection->buffer.size() < 4)
            break;
        const quint32 length = getU32(connection->buffer, 0);
        if (length == 0 || length > kMaxPayload) {
            socket->abort();
            return;
        }
        if (quint64(connection->buffer.size()) < 4 + quint64(length))
            break;
        const QByteArray request = connection->buffer.mid(4, length);
        connection->buffer.remove(0, 4 + qsizetype(length));
        const auto reply = answer(server, request);
        if (!serverAlive || !socketAlive)
            return;
        if (!reply) {
            socket->abort();
            return;
        }
        socket->write(frame(*reply));
        // The owner may quit right after answering; do not leave the reply queued.
        socket->flush();
    }
    connection->busy = false;
}

bool validTarget(AppHandle target)
{
    // 0 and negative numbers are process groups to kill(); never a window.
    return target > 0 && target <= std::numeric_limits<pid_t>::max();
}

std::optional<QString> pathOf(AppHandle target)
{
    if (!validTarget(target))
        return std::nullopt;
    try {
        return endpointPath(target);
    } catch (const PlatformError &) {
        return std::nullopt;
    }
}

int remaining(const QDeadlineTimer &deadline)
{
    return int(qMax<qint64>(0, deadline.remainingTime()));
}

class EndpointClient final : public IEndpointClient {
public:
    bool activate(AppHandle target) override
    {
        return call(target, QByteArray(1, char(Activate))).has_value();
    }

    std::optional<int> copyData(AppHandle target, quint32 id, const QByteArray &data) override
    {
        if (data.size() > kMaxCopyData)
            return std::nullopt;
        QByteArray request(1, char(CopyData));
        putU32(request, id);
        request += data;
        return intReply(call(target, request));
    }

    std::optional<int> message(AppHandle target, int param) override
    {
        QByteArray request(1, char(Message));
        putU32(request, quint32(param));
        return intReply(call(target, request));
    }

    std::optional<QRect> rectangle(AppHandle target) override
    {
        const auto reply = call(target, QByteArray(1, char(Rectangle)));
        if (!reply || reply->size() != 17)
            return std::nullopt;
        return QRect(int(getU32(*reply, 1)), int(getU32(*reply, 5)), int(getU32(*reply, 9)), int(getU32(*reply, 13)));
    }

    bool waitForInputIdle(AppHandle target, int timeoutMs) override
    {
        const auto path = pathOf(target);
        if (!path)
            return false;
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            if (!processAlive(target))
                return false;
            QLocalSocket socket;
            socket.connectToServer(*path);
            if (socket.waitForConnected(kPollMs)) {
                socket.abort();
                return true;
            }
            if (timeoutMs >= 0 && clock.elapsed() >= timeoutMs)
                return false;
            const timespec pause{0, kPollMs * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }

private:
    static std::optional<int> intReply(const std::optional<QByteArray> &reply)
    {
        if (!reply || reply->size() != 5)
            return std::nullopt;
        return int(getU32(*reply, 1));
    }

    // Sends one request on a fresh connection and waits for its reply; works
    // without a running event loop.
    static std::optional<QByteArray> call(AppHandle target, const QByteArray &request)
    {
        const auto path = pathOf(target);
        if (!path)
            return std::nullopt;
        QLocalSocket socket;
        socket.connectToServer(*path);
        if (!socket.waitForConnected(kConnectMs))
            return std::nullopt;

        const QDeadlineTimer deadline(kReplyMs);
        socket.write(frame(request));
        while (socket.bytesToWrite() > 0) {
            if (deadline.hasExpired() || !socket.waitForBytesWritten(remaining(deadline)))
                return std::nullopt;
        }

        QByteArray buffer;
        for (;;) {
            buffer += socket.readAll();
            if (buffer.size() >= 4) {
                const quint32 length = getU32(buffer, 0);
                if (length == 0 || length > kMaxReply)
                    return std::nullopt;
                if (buffer.size() >= 4 + qsizetype(length)) {
                    const QByteArray reply = buffer.mid(4, length);
                    if (reply.at(0) != request.at(0))
                        return std::nullopt;
                    return reply;
                }
            }
            if (deadline.hasExpired())
                return std::nullopt;
            if (!socket.waitForReadyRead(remaining(deadline)) && socket.bytesAvailable() == 0)
                return std::nullopt;
        }
    }
};

} // namespace

bool processAlive(AppHandle pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0 || close + 2 >= text.size())
        return true;
    const char state = text.at(close + 2);
    return state != 'Z' && state != 'X';
}

AppHandle ownAppHandle()
{
    return AppHandle(::getpid());
}

QString endpointPath(AppHandle handle)
{
    return privateTempFolder() + QStringLiteral("endpoint-%1").arg(handle);
}

EndpointServer::EndpointServer(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &EndpointServer::serve);
}

EndpointServer::~EndpointServer()
{
    // Removes the socket file, so waiting clients stop finding us.
    m_server->close();
}

bool EndpointServer::listen(QString *error)
{
    m_server->close();
    QString path;
    try {
        path = endpointPath(handle());
    } catch (const PlatformError &e) {
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
    // A file left by an earlier process with our id would block the name.
    QLocalServer::removeServer(path);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        if (error)
            *error = QStringLiteral("The endpoint %1 cannot be opened (%2).").arg(path, m_server->errorString());
        return false;
    }
    return true;
}

AppHandle EndpointServer::handle() const
{
    return ownAppHandle();
}

void EndpointServer::serve()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        auto connection = std::make_shared<Connection>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket,
                [this, socket, connection] { pump(this, socket, connection); });
        // Bytes may have come with the connection itself.
        if (socket->bytesAvailable() > 0)
            pump(this, socket, connection);
    }
}

std::unique_ptr<IEndpointClient> makeEndpointClient()
{
    return std::make_unique<EndpointClient>();
}

} // namespace platform
