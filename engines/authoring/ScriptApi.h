#pragma once
// The subset of the authoring tool's script interface that command scripts
// here use: fl, its document, the document's timelines with their layers
// and frames, publishing, fl.trace and alert. Reading or writing a name this
// host does not offer throws, so a script never goes on with undefined.
#include "engines/authoring/Document.h"

#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>

class QJSEngine;

namespace authoring {

class Publisher;
struct PublishProfile;
class ScriptDocument;
class ScriptFlash;

class ScriptApi : public QObject {
    Q_OBJECT
public:
    ScriptApi(QJSEngine &engine, Publisher &publisher, QObject *parent = nullptr);
    ~ScriptApi() override;

    // The document fl.getDocumentDOM() gives; nullptr for none. The
    // document must outlive its use here or be set anew first.
    void setDocument(Document *document);
    Document *document() const { return m_document; }

    // Where fl.trace and alert go; stdout and stderr when unset.
    std::function<void(const QString &)> onTrace;
    std::function<void(const QString &)> onAlert;

    // Runs a script file; nothing when it ended normally, else
    // "file:line: message".
    std::optional<QString> runFile(const QString &path);

    // For the script objects.
    QJSEngine &engine() const { return m_engine; }
    Publisher &publisher() const { return m_publisher; }
    // The target behind a guard that throws for names it lacks; what names
    // the target in messages ("document", "frame").
    QJSValue guarded(const QJSValue &target, const QString &what) const;
    QJSValue wrap(QObject *object, const QString &what) const;
    void throwError(const QString &message) const;

    QJSValue getDocumentDOM();
    void trace(const QString &message) const;
    Q_INVOKABLE void alert(const QString &message) const;

private:
    QJSEngine &m_engine;
    Publisher &m_publisher;
    QJSValue m_guard;
    ScriptFlash *m_flash = nullptr;
    QPointer<Document> m_document;
    ScriptDocument *m_scriptDocument = nullptr;
    QJSValue m_documentValue;
};

} // namespace authoring
