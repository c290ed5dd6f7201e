#include "engines/authoring/Session.h"

#include "engines/authoring/Document.h"
#include "engines/authoring/ExtensionHost.h"
#include "engines/authoring/Publisher.h"
#include "engines/authoring/ScriptApi.h"

#include <QJSEngine>

namespace authoring {

Session::Session(const QString &keepPublishedFolder, QObject *parent)
    : QObject(parent),
      m_engine(std::make_unique<QJSEngine>()),
      m_publisher(std::make_unique<Publisher>(keepPublishedFolder)),
      m_extensions(std::make_unique<ExtensionHost>(*m_engine)),
      m_api(std::make_unique<ScriptApi>(*m_engine, *m_publisher))
{
}

Session::~Session()
{
    unloadExtensions();
    m_api->setDocument(nullptr);
}

bool Session::openDocument(const QString &path, QString *error)
{
    auto document = Document::open(path, error);
    if (!document)
        return false;
    m_api->setDocument(document.get());
    m_document = std::move(document);
    emit documentChanged();
    return true;
}

void Session::closeDocument()
{
    m_api->setDocument(nullptr);
    m_document.reset();
    emit documentChanged();
}

QStringList Session::loadExtensions(const QString &folder)
{
    return m_extensions->loadFolder(folder);
}

void Session::unloadExtensions()
{
    m_extensions->unloadAll();
}

std::optional<QString> Session::runCommand(const QString &path)
{
    if (m_running)
        return QStringLiteral("%1: another command is still running.").arg(path);
    m_running = true;
    auto result = m_api->runFile(path);
    m_running = false;
    return result;
}

} // namespace authoring
