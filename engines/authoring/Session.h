#pragma once
// What the host window works on: the open document, the script engine with
// the script interface and the loaded extensions, and the publisher.
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QJSEngine;

namespace authoring {

class Document;
class ExtensionHost;
class Publisher;
class ScriptApi;

class Session : public QObject {
    Q_OBJECT
public:
    explicit Session(const QString &keepPublishedFolder = {}, QObject *parent = nullptr);
    ~Session() override;

    // Replaces the open document; false and one sentence naming the file
    // when it cannot be read (the open one stays then).
    bool openDocument(const QString &path, QString *error);
    void closeDocument();
    Document *document() const { return m_document.get(); }

    // One sentence for each library that could not be used.
    QStringList loadExtensions(const QString &folder);
    void unloadExtensions();

    // Runs a command script to its end; nothing when it ended normally,
    // else "file:line: message". One at a time: a script waiting in an
    // extension serves events, and a second one then is refused.
    std::optional<QString> runCommand(const QString &path);
    bool isRunning() const { return m_running; }

    ScriptApi &api() const { return *m_api; }
    QJSEngine &engine() const { return *m_engine; }

signals:
    void documentChanged();

private:
    std::unique_ptr<QJSEngine> m_engine;
    std::unique_ptr<Publisher> m_publisher;
    std::unique_ptr<ExtensionHost> m_extensions;
    std::unique_ptr<ScriptApi> m_api;
    std::unique_ptr<Document> m_document;
    bool m_running = false;
};

} // namespace authoring
