#pragma once
// The authoring tool's interface table as this library copied it, and the
// few operations on script values built from its typed slots. A slot the
// host left null makes its operation fail.
#include "engines/authoring/ExtensibilityApi.h"

#include <QString>
#include <optional>

namespace extension {

class HostTable {
public:
    // Takes the slots that lie wholly inside the size bytes; the rest null.
    void copyFrom(const void *table, unsigned int size);
    void clear();

    JSObject *libraryObject() const;
    bool defineFunction(const QString &name, JSNative function, uint32_t argumentCount) const;
    bool canDefineFunctions() const;

    // Text of a script string, within the 8-bit buffer of 260 bytes.
    std::optional<QString> toText(JSContext *cx, jsval value) const;
    std::optional<int32_t> toInteger(JSContext *cx, jsval value) const;
    std::optional<JSObject *> toObject(JSContext *cx, jsval value) const;
    std::optional<int32_t> arrayLength(JSContext *cx, JSObject *array) const;
    std::optional<jsval> element(JSContext *cx, JSObject *array, uint32_t index) const;

    // A script string of text, within 256 wide characters.
    std::optional<jsval> textValue(JSContext *cx, const QString &text) const;
    JSObject *newArray(JSContext *cx, uint32_t length) const;
    bool setElement(JSContext *cx, JSObject *array, uint32_t index, jsval value) const;

private:
    template <typename Proc>
    Proc slot(extensibility::Slot index) const
    {
        return reinterpret_cast<Proc>(m_slots[index]);
    }
    void *m_slots[extensibility::SlotCount] = {};
};

// Whether text fits the 8-bit conversion buffer with its terminating zero.
bool fitsNarrowBuffer(const QString &text);
// Whether text fits the wide conversion buffer with its terminating zero.
bool fitsWideBuffer(const QString &text);

} // namespace extension
