#pragma once
// Keeps the wizard to a limited number of running copies. The copies meet in
// a shared table named after UniqueString, guarded by two named locks (open-
// close for a whole start or exit, data-access for every touch of the table);
// a later copy hands its command line to the running ones through their
// application endpoints.
#include "platform/Endpoint.h"
#include "platform/NamedLock.h"
#include "platform/SharedMemory.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>

class InstanceManagerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TAMInstanceManager {
public:
    // The services the manager works through; tests give in-process twins.
    struct Services {
        std::function<std::unique_ptr<platform::INamedLock>(const QString &)> openLock;
        std::function<std::unique_ptr<platform::ISharedBlock>(const QString &, size_t, QString *)> openBlock;
        platform::IEndpointClient *client = nullptr;
        platform::AppHandle ownHandle = 0;
    };
    static Services systemServices(platform::IEndpointClient *client);

    explicit TAMInstanceManager(Services services);
    ~TAMInstanceManager();

    QString UniqueString;
    int MaxInstances = 1;
    bool Active = true;
    // (sender window, its command line as a list, Allow in and out)
    std::function<void(platform::AppHandle, const QStringList &, bool &)> OnNewInstance;

    // Runs the check. True: this instance goes on (it is registered). False:
    // it was refused and has already brought the running one forward.
    // Throws InstanceManagerError with the component's messages.
    bool Start(const QString &rawCommandLine);
    // Removes this instance from the table; throws when it is not there.
    void Stop();

    // The endpoint handlers of this instance.
    int HandleCopyData(quint32 id, const QByteArray &data);
    int HandleMessage(int param);

    // The registered message number of UniqueString.
    quint32 MessageId() const;

    // More copies than MaxCapacity could never be told apart on one screen;
    // a larger capacity in the table is damage.
    enum { TableHeader = 16, InitialCapacity = 10, MaxCapacity = 1 << 16 };

private:
    struct Table;
    Table table();
    Services m_services;
    std::unique_ptr<platform::INamedLock> m_openClose, m_dataAccess;
    std::unique_ptr<platform::ISharedBlock> m_block;
    bool m_registered = false;
};
