#include "engines/authoring/ValueModel.h"

#include <QJSEngine>

#include <cmath>
#include <limits>

namespace authoring {

using namespace extensibility;

ValueModel::ValueModel(QJSEngine &engine) : m_engine(engine)
{
    m_arenas.push_back(std::make_unique<Arena>());
    m_undefined = cellIn(*m_arenas.front(), QJSValue(QJSValue::UndefinedValue));
}

ValueModel::~ValueModel() = default;

ValueModel::Scope::Scope(ValueModel &model) : m_model(model)
{
    m_model.m_arenas.push_back(std::make_unique<Arena>());
}

ValueModel::Scope::~Scope()
{
    for (const auto &cell : m_model.m_arenas.back()->cells)
        m_model.m_live.erase(jsval(cell.get()));
    m_model.m_arenas.pop_back();
}

jsval ValueModel::cellIn(Arena &arena, const QJSValue &value)
{
    arena.cells.push_back(std::make_unique<Cell>(Cell{value}));
    const jsval v = jsval(arena.cells.back().get());
    m_live.insert(v);
    return v;
}

jsval ValueModel::toJsval(const QJSValue &value)
{
    if (value.isBool())
        return value.toBool() ? kTrue : kFalse;
    if (value.isNull())
        return 0;
    if (value.isUndefined())
        return m_undefined;
    if (value.isNumber()) {
        const double d = value.toNumber();
        if (d >= std::numeric_limits<int32_t>::min() && d <= std::numeric_limits<int32_t>::max() && d == std::trunc(d)
            && !(d == 0 && std::signbit(d)))
            return intToValue(int32_t(d));
    }
    return cellIn(*m_arenas.back(), value);
}

jsval ValueModel::toLastingJsval(const QJSValue &value)
{
    return cellIn(*m_arenas.front(), value);
}

jsval ValueModel::undefinedValue() const
{
    return m_undefined;
}

std::optional<QJSValue> ValueModel::fromJsval(jsval value) const
{
    if (value == kTrue || value == kFalse)
        return QJSValue(value == kTrue);
    if (value == 0)
        return QJSValue(QJSValue::NullValue);
    if (isIntValue(value)) {
        const jsval n = value >> 1;
        if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
            return std::nullopt;
        return QJSValue(int(n));
    }
    if (!m_live.count(value))
        return std::nullopt;
    return reinterpret_cast<const Cell *>(value)->value;
}

std::optional<QJSValue> ValueModel::objectOf(const JSObject *object) const
{
    const auto v = fromJsval(jsval(object));
    if (!v || !v->isObject())
        return std::nullopt;
    return v;
}

uint16_t *ValueModel::keep(const QString &text)
{
    auto &texts = m_arenas.back()->texts;
    texts.push_back(text);
    texts.back().detach();
    return reinterpret_cast<uint16_t *>(texts.back().data());
}

uint8_t *ValueModel::keep(const QByteArray &bytes)
{
    auto &kept = m_arenas.back()->bytes;
    kept.push_back(bytes);
    kept.back().detach();
    return reinterpret_cast<uint8_t *>(kept.back().data());
}

QString &ValueModel::report()
{
    return m_arenas.back()->report;
}

} // namespace authoring
