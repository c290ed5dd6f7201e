#include "PlatformFixture.h"

#include "platform/Endpoint.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <QtEndian>

#include <spawn.h>

extern char **environ;

using platform::AppHandle;

namespace {

// endpoint_peer in a process of its own; killed and reaped when it goes away.
class Peer {
public:
    explicit Peer(const QStringList &arguments = {})
    {
        QList<QByteArray> storage{QByteArray(ENDPOINT_PEER_PATH)};
        for (const QString &a : arguments)
            storage << a.toUtf8();
        std::vector<char *> argv;
        for (QByteArray &s : storage)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, ENDPOINT_PEER_PATH, nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
    }
    ~Peer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    AppHandle pid() const { return m_pid; }

    bool exitsWithin(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return true;
            }
            QThread::msleep(10);
        }
        return false;
    }

private:
    pid_t m_pid = -1;
};

QByteArray frame(const QByteArray &payload)
{
    char length[4];
    qToBigEndian(quint32(payload.size()), length);
    return QByteArray(length, 4) + payload;
}

QByteArray messageRequest(qint32 param)
{
    char bytes[5] = {3};
    qToBigEndian(param, bytes + 1);
    return frame(QByteArray(bytes, 5));
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
        m_peer = std::make_unique<Peer>();
        ASSERT_GT(m_peer->pid(), 0);
        ASSERT_TRUE(m_client->waitForInputIdle(m_peer->pid(), 20000));
    }

    // A raw connection to the peer, for what a well-behaved client never sends.
    std::unique_ptr<QLocalSocket> rawConnection()
    {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(platform::endpointPath(m_peer->pid()));
        EXPECT_TRUE(socket->waitForConnected(2000));
        return socket;
    }

    static QByteArray readReply(QLocalSocket &socket, qsizetype size)
    {
        QByteArray reply;
        while (reply.size() < size && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(5000)))
            reply += socket.read(size - reply.size());
        return reply;
    }

    std::unique_ptr<platform::IEndpointClient> m_client = platform::makeEndpointClient();
    std::unique_ptr<Peer> m_peer;
};

TEST_F(EndpointTest, AnswersEveryKindOfRequest)
{
    const AppHandle peer = m_peer->pid();
    EXPECT_TRUE(m_client->activate(peer));
    EXPECT_TRUE(m_client->activate(peer));
    EXPECT_EQ(m_client->message(peer, 1), 2);
    EXPECT_EQ(m_client->message(peer, 42), -42);
    EXPECT_EQ(m_client->copyData(peer, 0xfeedbeef, "a command line"), 14);
    EXPECT_EQ(m_client->message(peer, 2), int(0xfeedbeef));
    EXPECT_EQ(m_client->copyData(peer, 1, QByteArray()), 0);
    EXPECT_EQ(m_client->rectangle(peer), QRect(10, -20, 300, 400));
}

TEST_F(EndpointTest, CarriesDataUpToTheCap)
{
    const AppHandle peer = m_peer->pid();
    const QByteArray largest(1024 * 1024, 'd');
    EXPECT_EQ(m_client->copyData(peer, 5, largest), largest.size());
    EXPECT_EQ(m_client->copyData(peer, 6, largest + 'x'), std::nullopt);
    EXPECT_EQ(m_client->message(peer, 2), 5);
}

TEST_F(EndpointTest, PeerLeavesOnRequestAndTakesItsSocketAlong)
{
    EXPECT_EQ(m_client->message(m_peer->pid(), 99), 0);
    const QString path = platform::endpointPath(m_peer->pid());
    ASSERT_TRUE(m_peer->exitsWithin(5000));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(EndpointTest, UnreachableTargetsAnswerNothing)
{
    // This process has no endpoint; 0 and -1 would be process groups to kill().
    for (AppHandle target : {platform::ownAppHandle(), AppHandle(0), AppHandle(-1)}) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(m_client->message(target, 1), std::nullopt) << target;
        EXPECT_FALSE(m_client->activate(target)) << target;
        EXPECT_FALSE(m_client->waitForInputIdle(target, 300)) << target;
        EXPECT_LT(clock.elapsed(), 3000) << target;
    }
}

TEST_F(EndpointTest, WaitForInputIdleStopsWhenTheProcessEndsOrTimeRunsOut)
{
    Peer quitter({"--exit-after", "300"});
    QElapsedTimer clock;
    clock.start();
    // Unreaped, the quitter lingers as a zombie; that must count as gone.
    EXPECT_FALSE(m_client->waitForInputIdle(quitter.pid(), 60000));
    EXPECT_LT(clock.elapsed(), 10000);

    Peer sleeper({"--exit-after", "20000"});
    clock.restart();
    EXPECT_FALSE(m_client->waitForInputIdle(sleeper.pid(), 300));
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(EndpointTest, RequestsArriveInPiecesOrSeveralAtOnce)
{
    auto socket = rawConnection();
    const QByteArray request = messageRequest(7);
    for (char byte : request) {
        socket->write(&byte, 1);
        socket->waitForBytesWritten(1000);
        QThread::msleep(5);
    }
    QByteArray expected(1, 3);
    expected += QByteArray::fromHex("fffffff9");
    EXPECT_EQ(readReply(*socket, 9), frame(expected));

    socket->write(messageRequest(1) + messageRequest(2) + frame(QByteArray(1, 4)));
    const QByteArray replies = readReply(*socket, 9 + 9 + 21);
    EXPECT_EQ(replies.left(18), frame(QByteArray::fromHex("0300000000")) + frame(QByteArray::fromHex("0300000000")));
    EXPECT_EQ(replies.mid(18, 5), QByteArray::fromHex("0000001104"));
}

struct Malformed {
    const char *what;
    QByteArray bytes;
    bool dropped; // the server ends the connection
};

class MalformedRequestTest : public EndpointTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedRequestTest, IsRefusedAndTheServerCarriesOn)
{
    {
        auto socket = rawConnection();
        socket->write(GetParam().bytes);
        ASSERT_TRUE(socket->waitForBytesWritten(2000));
        if (GetParam().dropped)
            EXPECT_TRUE(socket->state() == QLocalSocket::UnconnectedState || socket->waitForDisconnected(5000));
        else
            EXPECT_FALSE(socket->waitForReadyRead(300));
    }
    EXPECT_EQ(m_client->message(m_peer->pid(), 41), -41);
}

const Malformed kMalformed[] = {
    {"HugeLength", QByteArray::fromHex("ffffffff03"), true},
    {"LengthOverCap", QByteArray::fromHex("0010000602"), true},
    {"ZeroLength", QByteArray::fromHex("00000000"), true},
    {"UnknownKind", QByteArray::fromHex("000000017f"), true},
    {"ShortMessage", QByteArray::fromHex("000000020300"), true},
    {"LongRectangle", QByteArray::fromHex("000000020400"), true},
    {"ShortCopyData", QByteArray::fromHex("00000003020000"), true},
    {"TruncatedThenGone", QByteArray::fromHex("0000000a0300"), false},
};

INSTANTIATE_TEST_SUITE_P(Cases, MalformedRequestTest, ::testing::ValuesIn(kMalformed),
                         [](const auto &info) { return std::string(info.param.what); });

} // namespace
