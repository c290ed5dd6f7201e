#include "extension/HostTable.h"

#include <cstring>
#include <vector>

namespace extension {

namespace {

constexpr qsizetype kNarrowBuffer = 260;
constexpr qsizetype kWideBuffer = 256;

} // namespace

bool fitsNarrowBuffer(const QString &text)
{
    return text.toUtf8().size() < kNarrowBuffer;
}

bool fitsWideBuffer(const QString &text)
{
    return text.size() < kWideBuffer;
}

void HostTable::copyFrom(const void *table, unsigned int size)
{
    clear();
    if (!table)
        return;
    // A slot cut short by size would be read past the host's table.
    for (unsigned k = 0; k < extensibility::SlotCount && (k + 1) * sizeof(void *) <= size; ++k)
        std::memcpy(&m_slots[k], static_cast<const char *>(table) + k * sizeof(void *), sizeof(void *));
}

void HostTable::clear()
{
    for (void *&s : m_slots)
        s = nullptr;
}

JSObject *HostTable::libraryObject() const
{
    return static_cast<JSObject *>(m_slots[extensibility::LibObj]);
}

bool HostTable::canDefineFunctions() const
{
    return m_slots[extensibility::DefineFunction] != nullptr;
}

bool HostTable::defineFunction(const QString &name, JSNative function, uint32_t argumentCount) const
{
    const auto define = slot<extensibility::DefineFunctionProc>(extensibility::DefineFunction);
    if (!define)
        return false;
    return define(libraryObject(), name.utf16(), function, argumentCount) != 0;
}

std::optional<QString> HostTable::toText(JSContext *cx, jsval value) const
{
    const auto convert = slot<extensibility::ValueToStringProc>(extensibility::ValueToString);
    if (!convert)
        return std::nullopt;
    uint32_t length = 0;
    const uint16_t *chars = convert(cx, value, &length);
    if (!chars)
        return std::nullopt;
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(chars), qsizetype(length));
    if (!fitsNarrowBuffer(text))
        return std::nullopt;
    return text;
}

std::optional<int32_t> HostTable::toInteger(JSContext *cx, jsval value) const
{
    const auto convert = slot<extensibility::ValueToIntegerProc>(extensibility::ValueToInteger);
    int32_t out = 0;
    if (!convert || !convert(cx, value, &out))
        return std::nullopt;
    return out;
}

std::optional<JSObject *> HostTable::toObject(JSContext *cx, jsval value) const
{
    const auto convert = slot<extensibility::ValueToObjectProc>(extensibility::ValueToObject);
    JSObject *out = nullptr;
    if (!convert || !convert(cx, value, &out) || !out)
        return std::nullopt;
    return out;
}

std::optional<int32_t> HostTable::arrayLength(JSContext *cx, JSObject *array) const
{
    const auto length = slot<extensibility::GetArrayLengthProc>(extensibility::GetArrayLength);
    if (!length)
        return std::nullopt;
    const int32_t n = length(cx, array);
    if (n < 0)
        return std::nullopt;
    return n;
}

std::optional<jsval> HostTable::element(JSContext *cx, JSObject *array, uint32_t index) const
{
    const auto get = slot<extensibility::GetElementProc>(extensibility::GetElement);
    jsval out = 0;
    if (!get || !get(cx, array, index, &out))
        return std::nullopt;
    return out;
}

std::optional<jsval> HostTable::textValue(JSContext *cx, const QString &text) const
{
    const auto make = slot<extensibility::StringToValueProc>(extensibility::StringToValue);
    if (!make || !fitsWideBuffer(text))
        return std::nullopt;
    // The length leaves the terminating zero out, so a host that takes it
    // as given does not make it part of the script's string.
    std::vector<uint16_t> chars(size_t(text.size()) + 1, 0);
    std::memcpy(chars.data(), text.utf16(), size_t(text.size()) * sizeof(uint16_t));
    jsval out = 0;
    if (!make(cx, chars.data(), uint32_t(text.size()), &out))
        return std::nullopt;
    return out;
}

JSObject *HostTable::newArray(JSContext *cx, uint32_t length) const
{
    const auto make = slot<extensibility::NewArrayObjectProc>(extensibility::NewArrayObject);
    return make ? make(cx, length, nullptr) : nullptr;
}

bool HostTable::setElement(JSContext *cx, JSObject *array, uint32_t index, jsval value) const
{
    const auto set = slot<extensibility::SetElementProc>(extensibility::SetElement);
    return set && set(cx, array, index, &value) != 0;
}

} // namespace extension
