#include "core/InstanceManager.h"

#include "core/Startup.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {
// Field offsets of the shared table (all 32-bit little-endian).
enum { OffActive = 0, OffMax = 4, OffCount = 8, OffCapacity = 12 };

enum Message { AskFocus = 1, AfterFocus = 2, ReleaseTable = 3, RetakeTable = 4 };

int32_t get(const void *base, size_t offset)
{
    int32_t v;
    std::memcpy(&v, static_cast<const char *>(base) + offset, 4);
    return qFromLittleEndian(v);
}

void put(void *base, size_t offset, int32_t v)
{
    v = qToLittleEndian(v);
    std::memcpy(static_cast<char *>(base) + offset, &v, 4);
}
} // namespace

// Every count and capacity in the table is checked against the mapping: a
// damaged table must not send reads past its end.
struct TAMInstanceManager::Table {
    platform::ISharedBlock *block;
    char *p() const { return static_cast<char *>(block->data()); }
    int room() const
    {
        const size_t size = block->size();
        return size < TableHeader ? 0 : int(std::min<size_t>((size - TableHeader) / 4, MaxCapacity));
    }
    // A table another instance grew is mapped again before it is read.
    bool fresh() const
    {
        if (block->size() < TableHeader)
            return false;
        const size_t want = size_t(std::clamp(get(p(), OffCapacity), 0, int(MaxCapacity))) * 4 + TableHeader;
        return block->size() >= want || block->remap();
    }
    int capacity() const { return room() == 0 ? 0 : std::clamp(get(p(), OffCapacity), 0, room()); }
    int count() const { return room() == 0 ? 0 : std::clamp(get(p(), OffCount), 0, capacity()); }
    platform::AppHandle entry(int i) const { return uint32_t(get(p(), TableHeader + 4 * size_t(i))); }
    void setEntry(int i, platform::AppHandle h) { put(p(), TableHeader + 4 * size_t(i), int32_t(uint32_t(h))); }
};

TAMInstanceManager::Services TAMInstanceManager::systemServices(platform::IEndpointClient *client)
{
    Services s;
    s.openLock = [](const QString &name) { return platform::openNamedLock(name); };
    s.openBlock = [](const QString &name, size_t size, QString *error) {
        return platform::openSharedBlock(name, size, error);
    };
    s.client = client;
    s.ownHandle = platform::ownAppHandle();
    return s;
}

TAMInstanceManager::TAMInstanceManager(Services services) : m_services(std::move(services)) {}

TAMInstanceManager::~TAMInstanceManager() = default;

TAMInstanceManager::Table TAMInstanceManager::table()
{
    return Table{m_block.get()};
}

quint32 TAMInstanceManager::MessageId() const
{
    // Registered messages live in 0xC000..0xFFFF; the number only has to be
    // the same for every copy that uses the same unique string.
    quint32 h = 2166136261u;
    for (QChar c : UniqueString) {
        h ^= c.unicode();
        h *= 16777619u;
    }
    return 0xC000 + h % 0x4000;
}

bool TAMInstanceManager::Start(const QString &rawCommandLine)
{
    if (UniqueString.isEmpty())
        throw InstanceManagerError("Empty unique string!");
    if (MaxInstances <= 0)
        throw InstanceManagerError("MaxInstances must be greater than 0!");

    m_openClose = m_services.openLock(UniqueString + QStringLiteral("OpenCloseMutex"));
    m_dataAccess = m_services.openLock(UniqueString + QStringLiteral("DataAccessMutex"));
    platform::NamedLockGuard openClose(*m_openClose);
    if (!openClose.held())
        throw InstanceManagerError("Cannot lock the instance table of Tessory; restart the computer session if this persists.");

    QString error;
    m_block = m_services.openBlock(UniqueString, TableHeader + InitialCapacity * 4, &error);
    if (!m_block)
        throw InstanceManagerError(error.toStdString());

    bool active;
    int maxInstances;
    std::vector<platform::AppHandle> others;
    {
        platform::NamedLockGuard data(*m_dataAccess);
        Table t = table();
        if (m_block->created()) {
            put(t.p(), OffActive, Active ? 1 : 0);
            put(t.p(), OffMax, MaxInstances);
            put(t.p(), OffCount, 1);
            put(t.p(), OffCapacity, InitialCapacity);
            t.setEntry(0, m_services.ownHandle);
            m_registered = true;
            return true;
        }
        if (!t.fresh())
            throw InstanceManagerError("Cannot open global data!");
        active = (get(t.p(), OffActive) & 0xFF) != 0;
        maxInstances = get(t.p(), OffMax);
        for (int i = 0; i < t.count(); ++i)
            others.push_back(t.entry(i));
    }
    (void)maxInstances;

    bool allowed = true;
    if (active) {
        QByteArray data = rawCommandLine.toUtf8();
        data.append('\0');
        for (platform::AppHandle h : others) {
            // A copy that does not answer (hung, or living under another
            // temporary folder) cannot take the command line over; it must
            // not keep the user from starting the wizard either.
            const auto reply = m_services.client->copyData(h, MessageId(), data);
            if (reply && *reply == 0)
                allowed = false;
        }
    }

    if (!allowed) {
        if (!others.empty()) {
            const platform::AppHandle last = others.back();
            const auto focusAllowed = m_services.client->message(last, AskFocus);
            if (focusAllowed && *focusAllowed != 0) {
                m_services.client->activate(last);
                m_services.client->message(last, AfterFocus);
            }
        }
        m_block.reset();
        return false;
    }

    platform::NamedLockGuard data(*m_dataAccess);
    Table t = table();
    if (!t.fresh())
        throw InstanceManagerError("Cannot open global data!");
    // A damaged header is mended before it is relied on.
    const int mendedCount = t.count();
    put(t.p(), OffCapacity, t.capacity());
    put(t.p(), OffCount, mendedCount);
    if (t.count() >= t.capacity()) {
        const int newCapacity = std::min<int>(std::max<int>(t.capacity(), InitialCapacity) * 2, MaxCapacity);
        for (int i = 0; i < t.count(); ++i)
            m_services.client->message(t.entry(i), ReleaseTable);
        const bool grown = m_block->resize(TableHeader + size_t(newCapacity) * 4);
        for (int i = 0; i < t.count(); ++i)
            m_services.client->message(t.entry(i), RetakeTable);
        if (!grown)
            throw InstanceManagerError("Cannot open global data!");
        t = table();
        put(t.p(), OffCapacity, newCapacity);
    }
    if (t.count() >= t.capacity())
        throw InstanceManagerError("Cannot open global data!");
    const int count = t.count();
    t.setEntry(count, m_services.ownHandle);
    put(t.p(), OffCount, count + 1);
    m_registered = true;
    return true;
}

void TAMInstanceManager::Stop()
{
    if (!m_registered || !m_block)
        return;
    m_registered = false;
    platform::NamedLockGuard openClose(*m_openClose);
    platform::NamedLockGuard data(*m_dataAccess);
    Table t = table();
    t.fresh();
    const int count = t.count();
    int found = -1;
    for (int i = 0; i < count; ++i)
        if (t.entry(i) == m_services.ownHandle)
            found = i;
    if (found < 0) {
        m_block.reset();
        throw InstanceManagerError("Cannot find application handle!");
    }
    for (int i = found; i + 1 < count; ++i)
        t.setEntry(i, t.entry(i + 1));
    t.setEntry(count - 1, 0);
    put(t.p(), OffCount, count - 1);
    m_block.reset();
}

int TAMInstanceManager::HandleCopyData(quint32 id, const QByteArray &data)
{
    if (id != MessageId() || !m_block)
        return 0;
    QByteArray text = data;
    if (text.endsWith('\0'))
        text.chop(1);
    const QStringList list = SplitCommaText(QString::fromUtf8(text));
    bool allow;
    {
        platform::NamedLockGuard guard(*m_dataAccess);
        Table t = table();
        t.fresh();
        allow = t.count() < MaxInstances;
    }
    if (OnNewInstance)
        OnNewInstance(0, list, allow);
    return allow ? 1 : 0;
}

int TAMInstanceManager::HandleMessage(int param)
{
    switch (param) {
    case AskFocus:
        return 1; // nobody objects to being focused
    case RetakeTable:
        if (m_block)
            m_block->remap();
        return 1;
    default:
        return 0;
    }
}
