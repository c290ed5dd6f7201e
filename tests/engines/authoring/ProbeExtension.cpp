// Probe.so: an extension library whose functions reach every slot of the
// host table, so a test can drive the value model from script.
#include "engines/authoring/ExtensibilityApi.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

using namespace extensibility;

namespace {

void *g_table[SlotCount];
unsigned g_size = 0;
jsval g_kept = 0;

template <typename F> F slot(Slot s) { return reinterpret_cast<F>(g_table[s]); }

typedef JSBool (*ExecuteScriptProc)(JSContext *, JSObject *, const uint16_t *, uint32_t, jsval *);
typedef JSBool (*ReportErrorProc)(JSContext *, const uint16_t *, uint32_t);

std::u16string wide(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Counts the terminating zero in, as the real extension does.
JSBool text(JSContext *cx, const std::u16string &s, jsval *out)
{
    return slot<StringToValueProc>(StringToValue)(cx, reinterpret_cast<const uint16_t *>(s.c_str()),
                                                  uint32_t(s.size() + 1), out);
}

JSBool echo(JSContext *, JSObject *, uint32_t, jsval *argv, jsval *rval)
{
    *rval = argv[0];
    return 1;
}

// What each conversion makes of the argument: "s=... i=... d=... b=... o=...".
JSBool kinds(JSContext *cx, JSObject *, uint32_t, jsval *argv, jsval *rval)
{
    std::u16string out = u"s=";
    uint32_t length = 0;
    if (const uint16_t *s = slot<ValueToStringProc>(ValueToString)(cx, argv[0], &length))
        out += std::u16string(reinterpret_cast<const char16_t *>(s), length);
    else
        out += u"!";
    int32_t i = 0;
    out += wide(slot<ValueToIntegerProc>(ValueToInteger)(cx, argv[0], &i) ? " i=" + std::to_string(i) : " i=!");
    double d = 0;
    char number[32];
    if (slot<ValueToDoubleProc>(ValueToDouble)(cx, argv[0], &d))
        std::snprintf(number, sizeof number, " d=%g", d);
    else
        std::snprintf(number, sizeof number, " d=!");
    out += wide(number);
    JSBool b = 0;
    out += wide(slot<ValueToBooleanProc>(ValueToBoolean)(cx, argv[0], &b) ? " b=" + std::to_string(b) : " b=!");
    JSObject *o = nullptr;
    out += slot<ValueToObjectProc>(ValueToObject)(cx, argv[0], &o) && jsval(o) == argv[0] ? u" o=y" : u" o=!";
    return text(cx, out, rval);
}

// join(array, separator): the elements as strings.
JSBool join(JSContext *cx, JSObject *, uint32_t argc, jsval *argv, jsval *rval)
{
    JSObject *array = nullptr;
    if (argc != 2 || !slot<ValueToObjectProc>(ValueToObject)(cx, argv[0], &array))
        return 0;
    uint32_t n = 0;
    const uint16_t *sep = slot<ValueToStringProc>(ValueToString)(cx, argv[1], &n);
    const std::u16string separator(reinterpret_cast<const char16_t *>(sep), n);
    std::u16string out;
    const int32_t count = slot<GetArrayLengthProc>(GetArrayLength)(cx, array);
    for (int32_t i = 0; i < count; ++i) {
        jsval element = 0;
        if (!slot<GetElementProc>(GetElement)(cx, array, uint32_t(i), &element))
            return 0;
        const uint16_t *s = slot<ValueToStringProc>(ValueToString)(cx, element, &n);
        if (!s)
            return 0;
        out += (i ? separator : u"") + std::u16string(reinterpret_cast<const char16_t *>(s), n);
    }
    return text(cx, out, rval);
}

// squares(n): [0, 1, 4, ...], the first two from the initial values.
JSBool squares(JSContext *cx, JSObject *, uint32_t, jsval *argv, jsval *rval)
{
    int32_t n = 0;
    if (!slot<ValueToIntegerProc>(ValueToInteger)(cx, argv[0], &n) || n < 2)
        return 0;
    jsval initial[2] = {intToValue(0), intToValue(1)};
    JSObject *first = slot<NewArrayObjectProc>(NewArrayObject)(cx, 2, initial);
    JSObject *array = slot<NewArrayObjectProc>(NewArrayObject)(cx, uint32_t(n), nullptr);
    for (uint32_t i = 0; i < uint32_t(n); ++i) {
        jsval v = intToValue(int32_t(i * i));
        if (i < 2 && !slot<GetElementProc>(GetElement)(cx, first, i, &v))
            return 0;
        if (!slot<SetElementProc>(SetElement)(cx, array, i, &v))
            return 0;
    }
    *rval = jsval(array);
    return 1;
}

JSBool bytes(JSContext *cx, JSObject *, uint32_t, jsval *argv, jsval *rval)
{
    uint32_t n = 0;
    const uint8_t *b = slot<ValueToBytesProc>(ValueToBytes)(cx, argv[0], &n);
    return b && slot<BytesToValueProc>(BytesToValue)(cx, b, n, rval);
}

JSBool half(JSContext *cx, JSObject *, uint32_t, jsval *argv, jsval *rval)
{
    double d = 0;
    return slot<ValueToDoubleProc>(ValueToDouble)(cx, argv[0], &d) && slot<DoubleToValueProc>(DoubleToValue)(cx, d / 2, rval);
}

JSBool twice(JSContext *cx, JSObject *, uint32_t, jsval *argv, jsval *rval)
{
    int32_t n = 0;
    if (!slot<ValueToIntegerProc>(ValueToInteger)(cx, argv[0], &n))
        return 0;
    *rval = intToValue(n * 2);
    return 1;
}

JSBool makeObject(JSContext *cx, JSObject *, uint32_t, jsval *, jsval *rval)
{
    JSObject *object = slot<NewObjectProc>(NewObject)(cx);
    const std::u16string name = u"twice";
    if (!object || !slot<DefineFunctionProc>(DefineFunction)(object, reinterpret_cast<const uint16_t *>(name.c_str()), twice, 1))
        return 0;
    *rval = jsval(object);
    return 1;
}

JSBool keep(JSContext *, JSObject *, uint32_t, jsval *argv, jsval *)
{
    g_kept = argv[0];
    return 1;
}

// A value kept past its call must be refused, not followed.
JSBool recall(JSContext *cx, JSObject *, uint32_t, jsval *, jsval *rval)
{
    uint32_t n = 0;
    *rval = slot<ValueToStringProc>(ValueToString)(cx, g_kept, &n) ? kFalse : kTrue;
    return 1;
}

// How many operations on values the host never made fail cleanly.
JSBool garbage(JSContext *cx, JSObject *, uint32_t, jsval *, jsval *rval)
{
    const jsval bad[] = {0, 2, 0x1230, jsval(&g_size)};
    int32_t failed = 0, i = 0;
    for (const jsval v : bad) {
        uint32_t n = 0;
        JSObject *o = nullptr;
        jsval out = 0;
        failed += !slot<ValueToStringProc>(ValueToString)(cx, v, &n);
        failed += !slot<ValueToIntegerProc>(ValueToInteger)(cx, v, &i);
        failed += !slot<ValueToObjectProc>(ValueToObject)(cx, v, &o);
        failed += slot<GetArrayLengthProc>(GetArrayLength)(cx, reinterpret_cast<JSObject *>(v)) == -1;
        failed += !slot<GetElementProc>(GetElement)(cx, reinterpret_cast<JSObject *>(v), 0, &out);
        failed += !slot<SetElementProc>(SetElement)(cx, reinterpret_cast<JSObject *>(v), 0, &out);
    }
    *rval = intToValue(failed);
    return 1;
}

JSBool fail(JSContext *, JSObject *, uint32_t, jsval *, jsval *) { return 0; }

JSBool failWith(JSContext *cx, JSObject *, uint32_t, jsval *argv, jsval *)
{
    uint32_t n = 0;
    const uint16_t *s = slot<ValueToStringProc>(ValueToString)(cx, argv[0], &n);
    if (s)
        slot<ReportErrorProc>(ReportError)(cx, s, n);
    return 0;
}

JSBool evaluate(JSContext *cx, JSObject *self, uint32_t, jsval *argv, jsval *rval)
{
    uint32_t n = 0;
    const uint16_t *s = slot<ValueToStringProc>(ValueToString)(cx, argv[0], &n);
    return s && slot<ExecuteScriptProc>(ExecuteScript)(cx, self, s, n, rval);
}

JSBool slotCount(JSContext *, JSObject *, uint32_t, jsval *, jsval *rval)
{
    *rval = intToValue(int32_t(g_size / sizeof(void *)));
    return 1;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void MM_InitWrapper(void *table, unsigned int size)
{
    g_size = size;
    std::memcpy(g_table, table, std::min<size_t>(size, sizeof g_table));
    const struct {
        const char *name;
        JSNative fn;
        uint32_t nargs;
    } functions[] = {{"echo", echo, 1},       {"kinds", kinds, 1},   {"join", join, 2},
                     {"squares", squares, 1}, {"bytes", bytes, 1},   {"half", half, 1},
                     {"makeObject", makeObject, 0}, {"keep", keep, 1}, {"recall", recall, 0},
                     {"garbage", garbage, 0}, {"fail", fail, 0},     {"failWith", failWith, 1},
                     {"evaluate", evaluate, 1}, {"slotCount", slotCount, 0}};
    for (const auto &f : functions) {
        const std::u16string name = wide(f.name);
        slot<DefineFunctionProc>(DefineFunction)(static_cast<JSObject *>(g_table[LibObj]),
                                                 reinterpret_cast<const uint16_t *>(name.c_str()), f.fn, f.nargs);
    }
}
