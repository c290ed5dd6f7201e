#include "platform/Module.h"

#include "platform/FileVersion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <link.h>

namespace platform {

std::unique_ptr<Module> Module::load(const QString &path, QString *error)
{
    ::dlerror();
    void *handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char *text = ::dlerror();
            *error = text ? QString::fromLocal8Bit(text) : QStringLiteral("%1 cannot be loaded.").arg(path);
        }
        return nullptr;
    }
    return std::unique_ptr<Module>(new Module(handle));
}

Module::~Module()
{
    ::dlclose(m_handle);
}

void *Module::symbol(const char *name) const
{
    return ::dlsym(m_handle, name);
}

QString modulePathOf(const void *address)
{
    Dl_info info{};
    link_map *map = nullptr;
    if (!address || ::dladdr1(address, &info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) == 0)
        return QString();
    // The program itself has no name of its own in the link map; dladdr
    // answers with argv[0], which may be relative or not a path at all.
    if (map && map->l_name && map->l_name[0] == '\0')
        return ownExecutablePath();
    if (!info.dli_fname || info.dli_fname[0] == '\0')
        return QString();
    const QString name = QFile::decodeName(info.dli_fname);
    return QDir::isAbsolutePath(name) ? QDir::cleanPath(name) : QFileInfo(name).absoluteFilePath();
}

} // namespace platform
