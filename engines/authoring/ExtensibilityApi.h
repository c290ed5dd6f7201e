#pragma once
// The authoring tool's C-level extensibility interface, as an extension
// library sees it on 64-bit Linux: the host hands MM_InitWrapper a table of
// pointer-sized slots, and the library calls the host only through them.
// Both sides include this header; nothing else crosses between them.
#include <cstddef>
#include <cstdint>

extern "C" {

struct JSContext; // the host's, opaque to extensions
struct JSObject;  // the host's, opaque to extensions

// A script value: an integer n is 2n + 1, false 6, true 14, an object its
// address; strings are values the host owns.
typedef intptr_t jsval;
typedef int32_t JSBool; // 1 true, 0 false

typedef JSBool (*JSNative)(JSContext *cx, JSObject *self, uint32_t argc, jsval *argv, jsval *rval);

// The one entry an extension library exports for the host: table is an
// array of pointer-sized slots, size its length in bytes.
typedef void (*MM_InitWrapperProc)(void *table, unsigned int size);
}

namespace extensibility {

constexpr jsval kFalse = 6;
constexpr jsval kTrue = 14;
constexpr jsval intToValue(int32_t n) { return jsval(n) * 2 + 1; }
constexpr bool isIntValue(jsval v) { return (v & 1) != 0; }
constexpr int32_t valueToInt(jsval v) { return int32_t(v >> 1); }

// Slot k lies at byte k * sizeof(void *).
enum Slot : unsigned {
    LibObj = 0,          // JSObject *
    DefineFunction = 1,  // JSBool (JSObject *obj, const uint16_t *name, JSNative fn, uint32_t nargs)
    ValueToString = 2,   // uint16_t *(JSContext *, jsval, uint32_t *length); NULL on failure
    ValueToBytes = 3,    // uint8_t *(JSContext *, jsval, uint32_t *length)
    ValueToInteger = 4,  // JSBool (JSContext *, jsval, int32_t *out)
    ValueToDouble = 5,   // JSBool (JSContext *, jsval, double *out)
    ValueToBoolean = 6,  // JSBool (JSContext *, jsval, JSBool *out)
    ValueToObject = 7,   // JSBool (JSContext *, jsval, JSObject **out)
    StringToValue = 8,   // JSBool (JSContext *, const uint16_t *chars, uint32_t length, jsval *out)
    BytesToValue = 9,    // JSBool (JSContext *, const uint8_t *bytes, uint32_t length, jsval *out)
    DoubleToValue = 10,  // JSBool (JSContext *, double, jsval *out)
    NewObject = 11,      // JSObject *(JSContext *)
    NewArrayObject = 12, // JSObject *(JSContext *, uint32_t length, jsval *initial)
    GetArrayLength = 13, // int32_t (JSContext *, JSObject *); -1 on failure
    GetElement = 14,     // JSBool (JSContext *, JSObject *, uint32_t index, jsval *out)
    SetElement = 15,     // JSBool (JSContext *, JSObject *, uint32_t index, jsval *in)
    ExecuteScript = 16,  // not used by our extension
    ReportError = 17,    // not used by our extension
    SlotCount = 18
};

typedef JSBool (*DefineFunctionProc)(JSObject *obj, const uint16_t *name, JSNative fn, uint32_t nargs);
typedef uint16_t *(*ValueToStringProc)(JSContext *, jsval, uint32_t *length);
typedef uint8_t *(*ValueToBytesProc)(JSContext *, jsval, uint32_t *length);
typedef JSBool (*ValueToIntegerProc)(JSContext *, jsval, int32_t *out);
typedef JSBool (*ValueToDoubleProc)(JSContext *, jsval, double *out);
typedef JSBool (*ValueToBooleanProc)(JSContext *, jsval, JSBool *out);
typedef JSBool (*ValueToObjectProc)(JSContext *, jsval, JSObject **out);
typedef JSBool (*StringToValueProc)(JSContext *, const uint16_t *chars, uint32_t length, jsval *out);
typedef JSBool (*BytesToValueProc)(JSContext *, const uint8_t *bytes, uint32_t length, jsval *out);
typedef JSBool (*DoubleToValueProc)(JSContext *, double, jsval *out);
typedef JSObject *(*NewObjectProc)(JSContext *);
typedef JSObject *(*NewArrayObjectProc)(JSContext *, uint32_t length, jsval *initial);
typedef int32_t (*GetArrayLengthProc)(JSContext *, JSObject *);
typedef JSBool (*GetElementProc)(JSContext *, JSObject *, uint32_t index, jsval *out);
typedef JSBool (*SetElementProc)(JSContext *, JSObject *, uint32_t index, jsval *in);

} // namespace extensibility
