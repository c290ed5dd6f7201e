#pragma once
#include <QString>
#include <memory>

namespace platform {

// A loaded shared library (dlopen). Unloaded when destroyed.
class Module {
public:
    // nullptr and *error (dlerror text) when it cannot be loaded. A name
    // without "/" goes through the system's library search.
    static std::unique_ptr<Module> load(const QString &path, QString *error = nullptr);
    ~Module();
    void *symbol(const char *name) const;
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

private:
    explicit Module(void *handle) : m_handle(handle) {}
    void *m_handle;
};

// Full path of the file (program or library) that holds the given address.
QString modulePathOf(const void *address);

} // namespace platform
