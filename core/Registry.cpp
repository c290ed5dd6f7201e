#include "core/Registry.h"

#include <QComboBox>

QString TRegistry::ReadString(const QString &name, const QString &def) const
{
    return m_store.value(name).value_or(def);
}

int TRegistry::ReadInteger(const QString &name, int def) const
{
    return ReadIntegerValue(name).value_or(def);
}

std::optional<int> TRegistry::ReadIntegerValue(const QString &name) const
{
    const auto text = m_store.value(name);
    if (!text)
        return std::nullopt;
    int i = 0;
    while (i < text->size() && (*text)[i].unicode() <= 32)
        ++i;
    QStringView digits = QStringView(*text).mid(i);
    QStringView body = digits;
    if (!body.isEmpty() && (body[0] == QLatin1Char('-') || body[0] == QLatin1Char('+')))
        body = body.mid(1);
    if (body.isEmpty() || !std::all_of(body.begin(), body.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return std::nullopt;
    bool ok = false;
    const int v = digits.toInt(&ok, 10);
    return ok ? std::optional<int>(v) : std::nullopt;
}

bool TRegistry::ReadBool(const QString &name, bool def) const
{
    return ReadInteger(name, def ? 1 : 0) != 0;
}

QString HistoryValueName(const QString &base, int n)
{
    return base + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

void ReadHistory(const TRegistry &reg, QComboBox *combo, const QString &base)
{
    if (reg.ValueExists(HistoryValueName(base, 1))) {
        combo->clear();
        if (combo->isEditable())
            combo->setEditText(QString());
        for (int n = 1; n <= 8; ++n) {
            const QString name = HistoryValueName(base, n);
            if (!reg.ValueExists(name))
                break;
            combo->addItem(reg.ReadString(name, QString()));
        }
    }
    const int index = reg.ReadInteger(base + QStringLiteral("Index"), 0);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void WriteHistory(TRegistry &reg, const QComboBox *combo, const QString &base)
{
    const int count = combo->count();
    for (int i = 0; i < count; ++i)
        reg.WriteString(HistoryValueName(base, i + 1), combo->itemText(i));
    for (int n = count + 1; n <= 9; ++n)
        reg.DeleteValue(HistoryValueName(base, n));
    reg.WriteInteger(base + QStringLiteral("Index"), combo->currentIndex());
}
