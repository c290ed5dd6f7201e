#pragma once
#include <QMap>
#include <QString>
#include <memory>
#include <optional>

namespace platform {

// One flat key of named string values: the stand-in for a registry key whose
// values are all REG_SZ. Reads never fail: a value that is missing or that the
// backing file could not hold is simply absent.
class IKeyStore {
public:
    virtual ~IKeyStore() = default;
    virtual std::optional<QString> value(const QString &name) const = 0;
    virtual void setValue(const QString &name, const QString &text) = 0;
    // Deleting a value that does not exist is not an error.
    virtual void deleteValue(const QString &name) = 0;
    // Writes pending changes; false when the backing store could not be written.
    virtual bool flush() = 0;
    // Why the last flush failed, one sentence.
    virtual QString errorString() const { return {}; }
};

// The settings file: one INI section, every value a string. A damaged file
// reads as empty (defaults apply); it is rewritten on flush. One that cannot
// be read, or is not a regular file, also reads as empty but is never
// written over.
class IniKeyStore final : public IKeyStore {
public:
    explicit IniKeyStore(const QString &filePath);
    ~IniKeyStore() override;
    std::optional<QString> value(const QString &name) const override;
    void setValue(const QString &name, const QString &text) override;
    void deleteValue(const QString &name) override;
    bool flush() override;
    QString errorString() const override { return m_error; }
    QString filePath() const { return m_path; }

private:
    QString m_path;
    QMap<QString, QString> m_values;
    QString m_error;
    bool m_dirty = false;
    // Changes since the last flush; nullopt marks a deleted value.
    QMap<QString, std::optional<QString>> m_pending;
};

// In-memory twin for tests.
class MemoryKeyStore final : public IKeyStore {
public:
    std::optional<QString> value(const QString &name) const override;
    void setValue(const QString &name, const QString &text) override;
    void deleteValue(const QString &name) override;
    bool flush() override { return true; }
    QMap<QString, QString> values;
};

// $XDG_CONFIG_HOME/Omberline/Tessory.conf (XDG_CONFIG_HOME defaults to ~/.config).
QString tessorySettingsPath();

// Opens the program's key (the file above); never fails, see IniKeyStore.
std::unique_ptr<IKeyStore> openTessoryKey();

} // namespace platform
