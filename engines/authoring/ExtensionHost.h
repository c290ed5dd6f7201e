#pragma once
// The host's side of the C-level extensibility interface: extension
// libraries found in a folder are loaded and given the slot table; the
// functions they define become script functions on a global object named
// after the library ("Kavrel" for Kavrel.so).
#include "engines/authoring/ValueModel.h"

#include <QJSValue>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

namespace platform {
class Module;
}

namespace authoring {

// Slots 16 and 17, whose signatures the table leaves to the host.
typedef JSBool (*ExecuteScriptProc)(JSContext *, JSObject *scope, const uint16_t *script, uint32_t length, jsval *rval);
typedef JSBool (*ReportErrorProc)(JSContext *, const uint16_t *message, uint32_t length);

// One per process: the table's functions carry no pointer to their host.
// Everything runs on the thread that made it.
class ExtensionHost : public QObject {
    Q_OBJECT
public:
    explicit ExtensionHost(QJSEngine &engine, QObject *parent = nullptr);
    ~ExtensionHost() override;

    // Loads every *.so of folder that exports MM_InitWrapper and
    // initialises it; the others are unloaded again. Returns one sentence
    // for each library that could not be used.
    QStringList loadFolder(const QString &folder);
    // Loads and initialises one library; false and *error when it cannot be
    // loaded or is no extension.
    bool load(const QString &path, QString *error);
    QStringList loadedNames() const;
    // Unloads every library; their script functions then throw.
    void unloadAll();

    // The table as a library receives it.
    std::array<void *, extensibility::SlotCount> table(JSObject *libObj) const;

    // Called by the script functions that defineFunction makes.
    Q_INVOKABLE QJSValue callNative(int id, const QJSValue &arguments, const QJSValue &self);

    // For the slot functions.
    static ExtensionHost *current();
    ValueModel &values() { return m_values; }
    JSBool defineFunction(JSObject *object, const uint16_t *name, JSNative native, uint32_t nargs);
    bool onOwnThread() const;

private:
    struct Native {
        JSNative function;
        QString name; // as the error message names it
        uint32_t nargs;
        bool alive = true;
    };
    struct Library;

    QJSEngine &m_engine;
    ValueModel m_values;
    QJSValue m_makeFunction;
    std::vector<Native> m_natives;
    std::vector<std::unique_ptr<Library>> m_libraries;
    QString m_initialising; // the library whose MM_InitWrapper runs
};

} // namespace authoring
