#include "PlatformFixture.h"

#include "platform/Endpoint.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

#include <spawn.h>

extern char **environ;

using platform::AppHandle;

namespace {

// endpoint_peer in a process of its own; killed and reaped when it goes away.
class Peer {
public:
    explicit Peer(const char *exitAfterMs = nullptr)
    {
        const char *argv[] = {ENDPOINT_PEER_PATH, exitAfterMs ? "--exit-after" : nullptr, exitAfterMs, nullptr};
        if (::posix_spawn(&m_pid, ENDPOINT_PEER_PATH, nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
            m_pid = -1;
    }
    ~Peer()
    {
        if (m_pid > 0 && ::kill(m_pid, SIGKILL) == 0)
            ::waitpid(m_pid, nullptr, 0);
    }
    AppHandle pid() const { return m_pid; }
    bool exitsWithin(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (::waitpid(m_pid, nullptr, WNOHANG) != m_pid) {
            if (clock.elapsed() > ms)
                return false;
            QThread::msleep(10);
        }
        m_pid = -1;
        return true;
    }

private:
    pid_t m_pid = -1;
};

// Requests as the wire carries them: length, kind, big-endian fields.
QByteArray message(quint8 param)
{
    return QByteArray::fromHex("000000050300000000").replace(8, 1, QByteArray(1, char(param)));
}

class EndpointTest : public PlatformFixture {
protected:
    static void SetUpTestSuite()
    {
        // The client must work with an application object but no running loop.
        static int argc = 1;
        static char name[] = "platform_tests";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
    void SetUp() override
    {
        PlatformFixture::SetUp();
        m_peer.emplace(); // after the environment is set: it must share our temporary folder
        ASSERT_GT(m_peer->pid(), 0);
        ASSERT_TRUE(m_client->waitForInputIdle(m_peer->pid(), 20000));
    }
    std::unique_ptr<QLocalSocket> rawConnection()
    {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(platform::endpointPath(m_peer->pid()));
        EXPECT_TRUE(socket->waitForConnected(2000));
        return socket;
    }
    static QByteArray read(QLocalSocket &socket, qsizetype size)
    {
        QByteArray got;
        while (got.size() < size && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(5000)))
            got += socket.read(size - got.size());
        return got;
    }

    std::unique_ptr<platform::IEndpointClient> m_client = platform::makeEndpointClient();
    std::optional<Peer> m_peer;
};

TEST_F(EndpointTest, AnswersEveryKindOfRequest)
{
    const AppHandle peer = m_peer->pid();
    EXPECT_TRUE(m_client->activate(peer));
    EXPECT_TRUE(m_client->activate(peer));
    EXPECT_EQ(m_client->message(peer, 1), 2); // activations seen
    EXPECT_EQ(m_client->message(peer, 42), -42);
    EXPECT_EQ(m_client->copyData(peer, 0xfeedbeef, "a command line"), 14);
    EXPECT_EQ(m_client->message(peer, 2), int(0xfeedbeef)); // last identifier
    EXPECT_EQ(m_client->rectangle(peer), QRect(10, -20, 300, 400));

    const QByteArray largest(1024 * 1024, 'd');
    EXPECT_EQ(m_client->copyData(peer, 5, largest), largest.size());
    EXPECT_EQ(m_client->copyData(peer, 6, largest + 'x'), std::nullopt);
    EXPECT_EQ(m_client->message(peer, 2), 5);

    EXPECT_EQ(m_client->message(peer, 99), 0); // asks it to leave
    const QString path = platform::endpointPath(peer);
    EXPECT_TRUE(m_peer->exitsWithin(5000));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(EndpointTest, WaitForInputIdleStopsWhenTheProcessEndsOrTimeRunsOut)
{
    Peer quitter("300");
    QElapsedTimer clock;
    clock.start();
    // Unreaped, the quitter lingers as a zombie; that must count as gone.
    EXPECT_FALSE(m_client->waitForInputIdle(quitter.pid(), 60000));
    EXPECT_LT(clock.elapsed(), 10000);

    Peer sleeper("20000");
    clock.restart();
    EXPECT_FALSE(m_client->waitForInputIdle(sleeper.pid(), 300));
    EXPECT_GE(clock.elapsed(), 290);

    // This process has no endpoint; 0 and negative numbers are no process at all.
    EXPECT_EQ(m_client->message(platform::ownAppHandle(), 1), std::nullopt);
    for (AppHandle target : {AppHandle(0), AppHandle(-1), AppHandle(1) << 40}) {
        clock.restart();
        EXPECT_EQ(m_client->message(target, 1), std::nullopt) << target;
        EXPECT_FALSE(m_client->waitForInputIdle(target, 10000)) << target;
        EXPECT_LT(clock.elapsed(), 3000) << target;
    }
}

TEST_F(EndpointTest, RequestsArriveInPiecesOrSeveralAtOnce)
{
    auto socket = rawConnection();
    for (char byte : message(7)) {
        socket->write(&byte, 1);
        socket->waitForBytesWritten(1000);
        QThread::msleep(5);
    }
    EXPECT_EQ(read(*socket, 9).toHex(), "0000000503fffffff9");
    socket->write(message(1) + message(3) + QByteArray::fromHex("0000000104"));
    EXPECT_EQ(read(*socket, 9 + 9 + 21).toHex(),
              "000000050300000000" "0000000503fffffffd" "0000001104" "0000000a" "ffffffec" "0000012c" "00000190");
}

class MalformedRequestTest : public EndpointTest, public ::testing::WithParamInterface<std::pair<const char *, bool>> {};

TEST_P(MalformedRequestTest, IsRefusedAndTheServerCarriesOn)
{
    const auto [hex, dropped] = GetParam();
    {
        auto socket = rawConnection();
        socket->write(QByteArray::fromHex(hex));
        ASSERT_TRUE(socket->waitForBytesWritten(2000));
        if (dropped)
            EXPECT_TRUE(socket->state() == QLocalSocket::UnconnectedState || socket->waitForDisconnected(5000));
        else
            EXPECT_FALSE(socket->waitForReadyRead(300));
    }
    EXPECT_EQ(m_client->message(m_peer->pid(), 41), -41);
}

INSTANTIATE_TEST_SUITE_P(Cases, MalformedRequestTest, ::testing::Values(
    std::pair{"ffffffff03", true},            // length beyond any cap
    std::pair{"0010000602", true},            // copy-data one byte over the cap
    std::pair{"00000000", true},              // empty request
    std::pair{"000000017f", true},            // unknown kind
    std::pair{"000000020300", true},          // message without its parameter
    std::pair{"000000020400", true},          // rectangle with a tail
    std::pair{"00000006030000000100", true},  // message with a tail
    std::pair{"00000003020000", true},        // copy-data without its identifier
    std::pair{"0000000a0300", false}));       // cut short, then the client leaves

} // namespace
