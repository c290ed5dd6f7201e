#pragma once
// Typed access to the settings key, with the reading rules every setting
// shares: a missing or unreadable value gives the caller's default.
#include "platform/KeyStore.h"

#include <QString>
#include <optional>

class QComboBox;

class TRegistry {
public:
    explicit TRegistry(platform::IKeyStore &store) : m_store(store) {}

    bool ValueExists(const QString &name) const { return m_store.value(name).has_value(); }
    QString ReadString(const QString &name, const QString &def) const;
    // Decimal only (optional sign, leading blanks); anything else gives def.
    int ReadInteger(const QString &name, int def) const;
    // The same without a default: nothing when missing or unreadable.
    std::optional<int> ReadIntegerValue(const QString &name) const;
    // Read as an integer with def as 0/1; any non-zero value is true.
    bool ReadBool(const QString &name, bool def) const;

    void WriteString(const QString &name, const QString &value) { m_store.setValue(name, value); }
    void WriteInteger(const QString &name, int value) { m_store.setValue(name, QString::number(value)); }
    void WriteBool(const QString &name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void DeleteValue(const QString &name) { m_store.deleteValue(name); }

    platform::IKeyStore &store() { return m_store; }

private:
    platform::IKeyStore &m_store;
};

// History lists: base + "01".."08" in list order, base + "Index" the chosen
// entry. ReadHistory keeps the combo's own entries when base + "01" is
// missing, stops at the first gap, and leaves nothing chosen for an index
// outside the list.
void ReadHistory(const TRegistry &reg, QComboBox *combo, const QString &base);
// Writes every entry, deletes the values after them up to "09", and the index.
void WriteHistory(TRegistry &reg, const QComboBox *combo, const QString &base);

QString HistoryValueName(const QString &base, int n);
