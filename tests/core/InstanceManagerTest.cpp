#include "core/InstanceManager.h"

#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <cstring>
#include <map>

namespace {
// Routes endpoint calls to managers living in this process, by handle.
class FakeClient : public platform::IEndpointClient {
public:
    std::map<platform::AppHandle, TAMInstanceManager *> peers;
    std::vector<std::pair<platform::AppHandle, int>> messages;
    std::vector<platform::AppHandle> activated;
    std::optional<int> forcedReply;

    bool activate(platform::AppHandle t) override
    {
        activated.push_back(t);
        return peers.count(t) != 0;
    }
    std::optional<int> copyData(platform::AppHandle t, quint32 id, const QByteArray &data) override
    {
        if (forcedReply)
            return forcedReply;
        auto it = peers.find(t);
        if (it == peers.end())
            return std::nullopt;
        return it->second->HandleCopyData(id, data);
    }
    std::optional<int> message(platform::AppHandle t, int param) override
    {
        messages.emplace_back(t, param);
        auto it = peers.find(t);
        if (it == peers.end())
            return std::nullopt;
        return it->second->HandleMessage(param);
    }
    std::optional<QRect> rectangle(platform::AppHandle) override { return std::nullopt; }
    bool waitForInputIdle(platform::AppHandle, int) override { return true; }
};

class InstanceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        qputenv("TMPDIR", tmp.path().toUtf8());
        unique = QUuid::createUuid().toString(); // a table of our own, in memory
    }

    std::unique_ptr<TAMInstanceManager> make(platform::AppHandle handle, int maxInstances = 1)
    {
        TAMInstanceManager::Services s;
        s.openLock = [](const QString &name) { return platform::openNamedLock(name); };
        s.openBlock = [](const QString &name, size_t size, QString *) { return platform::openMemorySharedBlock(name, size); };
        s.client = &client;
        s.ownHandle = handle;
        auto m = std::make_unique<TAMInstanceManager>(s);
        m->UniqueString = unique;
        m->MaxInstances = maxInstances;
        client.peers[handle] = m.get();
        return m;
    }

    QTemporaryDir tmp;
    QString unique;
    FakeClient client;
};
} // namespace

TEST_F(InstanceManagerTest, SecondCopyHandsOverItsCommandLineAndIsRefused)
{
    auto first = make(100);
    QStringList received;
    first->OnNewInstance = [&](platform::AppHandle, const QStringList &list, bool &) { received = list; };
    ASSERT_TRUE(first->Start("\"/opt/Kavrel\""));

    auto second = make(200);
    EXPECT_FALSE(second->Start("\"/opt/Kavrel\" \"/home/me/my movie.swf\""));
    EXPECT_EQ(received, (QStringList{"/opt/Kavrel", "/home/me/my movie.swf"}));
    // The refused copy asks the running one to come forward.
    EXPECT_EQ(client.activated, std::vector<platform::AppHandle>{100});
    ASSERT_EQ(client.messages.size(), 2u);
    EXPECT_EQ(client.messages[0], std::make_pair(platform::AppHandle(100), 1));
    EXPECT_EQ(client.messages[1], std::make_pair(platform::AppHandle(100), 2));
    first->Stop();
}

TEST_F(InstanceManagerTest, AnUnreachablePeerIsPassedOver)
{
    auto first = make(100);
    ASSERT_TRUE(first->Start("a"));
    client.peers.erase(100); // its endpoint does not answer
    auto second = make(200);
    EXPECT_TRUE(second->Start("b"));
    EXPECT_TRUE(client.activated.empty());
    // Once registered, the second copy answers the third, which is refused.
    client.peers[100] = first.get();
    auto third = make(300);
    EXPECT_FALSE(third->Start("c"));
    second->Stop();
    first->Stop();
}

TEST_F(InstanceManagerTest, AZeroReplyRefusesEvenWhenOthersAllow)
{
    auto first = make(100, 5);
    ASSERT_TRUE(first->Start("a"));
    client.forcedReply = 0;
    auto second = make(200, 5);
    EXPECT_FALSE(second->Start("b"));
    client.forcedReply.reset();
    first->Stop();
}

TEST_F(InstanceManagerTest, MoreInstancesGrowTheTable)
{
    std::vector<std::unique_ptr<TAMInstanceManager>> all;
    for (int i = 0; i < 12; ++i) {
        all.push_back(make(1000 + i, 20));
        ASSERT_TRUE(all.back()->Start("x")) << i;
    }
    // The eleventh copy doubled the capacity and told every other copy.
    int retakes = 0;
    for (const auto &[h, p] : client.messages)
        retakes += p == 4;
    EXPECT_EQ(retakes, 10);
    for (auto &m : all)
        EXPECT_NO_THROW(m->Stop());
}

TEST_F(InstanceManagerTest, ADamagedTableIsReadOnlyWithinItsMapping)
{
    // Count and capacity far beyond the mapping, and negative ones: start-up
    // reads no slot past the table's end and registers where there is room.
    const std::pair<int32_t, int32_t> damage[] = {{1 << 30, 1 << 30}, {-5, -5}, {3, 1 << 30}, {1 << 30, 4}};
    for (const auto &[count, capacity] : damage) {
        unique = QUuid::createUuid().toString();
        auto first = make(100, 20);
        ASSERT_TRUE(first->Start("a"));
        auto view = platform::openMemorySharedBlock(unique, 0);
        ASSERT_TRUE(view);
        std::memcpy(static_cast<char *>(view->data()) + 8, &count, 4);
        std::memcpy(static_cast<char *>(view->data()) + 12, &capacity, 4);

        auto second = make(200, 20);
        EXPECT_NO_THROW(EXPECT_TRUE(second->Start("b"))) << count << " / " << capacity;
        ASSERT_TRUE(view->remap());
        const int32_t *table = static_cast<const int32_t *>(view->data());
        EXPECT_LE(size_t(table[3]) * 4 + 16, view->size()) << "the capacity mended";
        EXPECT_LE(table[2], table[3]);
        EXPECT_NO_THROW(second->Stop());
    }
}

TEST_F(InstanceManagerTest, RestartAfterEveryoneLeftIsAFirstStartAgain)
{
    {
        auto first = make(100);
        ASSERT_TRUE(first->Start("a"));
        first->Stop();
    }
    auto again = make(300);
    EXPECT_TRUE(again->Start("b"));
    EXPECT_TRUE(client.activated.empty());
    again->Stop();
}

TEST_F(InstanceManagerTest, WrongIdentifierOrMissingEntryIsNoHandover)
{
    auto first = make(100);
    bool called = false;
    first->OnNewInstance = [&](platform::AppHandle, const QStringList &, bool &) { called = true; };
    ASSERT_TRUE(first->Start("a"));
    EXPECT_EQ(first->HandleCopyData(first->MessageId() ^ 1, "x"), 0);
    EXPECT_FALSE(called);
    first->Stop();
    EXPECT_NO_THROW(first->Stop()); // a second stop is nothing
}

TEST_F(InstanceManagerTest, ComponentChecksItsProperties)
{
    auto m = make(1);
    m->UniqueString.clear();
    try {
        m->Start("x");
        FAIL();
    } catch (const InstanceManagerError &e) {
        EXPECT_STREQ(e.what(), "Empty unique string!");
    }
    m->UniqueString = unique;
    m->MaxInstances = 0;
    try {
        m->Start("x");
        FAIL();
    } catch (const InstanceManagerError &e) {
        EXPECT_STREQ(e.what(), "MaxInstances must be greater than 0!");
    }
}
