// A stand-in for Kavrel.so that plays the wizard's part from a fixed list:
// it records what runUI was given and replays setImageResolutionAndQuality
// (with a profile it writes), setScene 1, getFrame 0, getFrame 3 and exit.
// $FAKE_KAVREL_DIR receives the record, the profile and the picture.
#include "engines/authoring/ExtensibilityApi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace extensibility;

namespace {

void *g_table[SlotCount];
int g_next = 0;

template <typename F> F slot(Slot s) { return reinterpret_cast<F>(g_table[s]); }

std::string folder()
{
    const char *dir = std::getenv("FAKE_KAVREL_DIR");
    return dir ? dir : "/nonexistent";
}

void append(const std::string &line)
{
    if (FILE *f = std::fopen((folder() + "/record.txt").c_str(), "a")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

// ASCII and Latin-1 are all the tests hand over.
std::string narrow(JSContext *cx, jsval v)
{
    uint32_t n = 0;
    const uint16_t *s = slot<ValueToStringProc>(ValueToString)(cx, v, &n);
    std::string out = s ? "" : "<not a string>";
    for (uint32_t i = 0; s && i < n; ++i)
        out += char(s[i]);
    return out;
}

std::string integer(JSContext *cx, jsval v)
{
    int32_t i = 0;
    return slot<ValueToIntegerProc>(ValueToInteger)(cx, v, &i) ? std::to_string(i) : "<not an integer>";
}

jsval element(JSContext *cx, jsval array, uint32_t i)
{
    JSObject *o = nullptr;
    jsval out = 0;
    if (slot<ValueToObjectProc>(ValueToObject)(cx, array, &o))
        slot<GetElementProc>(GetElement)(cx, o, i, &out);
    return out;
}

std::string list(JSContext *cx, jsval array, bool strings)
{
    JSObject *o = nullptr;
    if (!slot<ValueToObjectProc>(ValueToObject)(cx, array, &o))
        return "<not an array>";
    std::string out;
    const int32_t n = slot<GetArrayLengthProc>(GetArrayLength)(cx, o);
    for (int32_t i = 0; i < n; ++i) {
        const jsval v = element(cx, array, uint32_t(i));
        out += (i ? "," : "") + (strings && i % 3 == 0 ? narrow(cx, v) : integer(cx, v));
    }
    return out;
}

JSBool checkVersion(JSContext *cx, JSObject *, uint32_t, jsval *argv, jsval *rval)
{
    append("checkVersion " + integer(cx, argv[0]) + "." + integer(cx, argv[1]));
    *rval = kTrue;
    return 1;
}

// One line for the call, one per scene: name;count;key frames;labels.
JSBool runUI(JSContext *cx, JSObject *, uint32_t argc, jsval *argv, jsval *)
{
    JSObject *scenes = nullptr;
    if (argc != 5 || !slot<ValueToObjectProc>(ValueToObject)(cx, argv[3], &scenes))
        return 0;
    append("runUI " + narrow(cx, argv[0]) + "|" + integer(cx, argv[1]) + "|" + integer(cx, argv[2]) + "|" +
           integer(cx, argv[4]));
    const int32_t n = slot<GetArrayLengthProc>(GetArrayLength)(cx, scenes);
    for (int32_t i = 0; i < n; ++i) {
        const jsval scene = element(cx, argv[3], uint32_t(i));
        append("scene " + narrow(cx, element(cx, scene, 0)) + ";" + integer(cx, element(cx, scene, 1)) + ";" +
               list(cx, element(cx, scene, 2), false) + ";" + list(cx, element(cx, scene, 3), true));
    }
    return 1;
}

JSBool text(JSContext *cx, const std::string &s, jsval *out)
{
    std::u16string wide(s.begin(), s.end());
    return slot<StringToValueProc>(StringToValue)(cx, reinterpret_cast<const uint16_t *>(wide.c_str()),
                                                  uint32_t(wide.size() + 1), out);
}

// The picture's path XML-escaped, as profiles carry it.
std::string escaped(const std::string &s)
{
    std::string out;
    for (char c : s)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
    return out;
}

JSBool getFlashFunctionToCall(JSContext *cx, JSObject *, uint32_t, jsval *, jsval *rval)
{
    struct Call {
        const char *name;
        int argc;
        int arg;
    };
    static const Call calls[] = {
        {"setImageResolutionAndQuality", 0, 0}, {"setScene", 1, 1}, {"getFrame", 1, 0}, {"getFrame", 1, 3}, {"exit", 0, 0}};
    if (g_next >= int(sizeof calls / sizeof *calls))
        return 0;
    const Call &call = calls[g_next++];
    JSObject *array = slot<NewArrayObjectProc>(NewArrayObject)(cx, uint32_t(call.argc + 1), nullptr);
    jsval v = 0;
    if (!array || !text(cx, call.name, &v) || !slot<SetElementProc>(SetElement)(cx, array, 0, &v))
        return 0;
    if (g_next == 1) {
        const std::string profile = folder() + "/pro file & co.xml";
        FILE *f = std::fopen(profile.c_str(), "w");
        if (!f)
            return 0;
        std::fprintf(f,
                     "<?xml version=\"1.0\"?>\n\t\t<flash_profile version=\"1.0\" name=\"Tessory Profile\">\n"
                     "\t\t<PublishFormatProperties enabled=\"true\">\n\t\t\t<jpeg>1</jpeg>\n"
                     "\t\t\t<jpegFileName>%s</jpegFileName>\n\t\t</PublishFormatProperties>\n"
                     "\t\t<PublishJpegProperties enabled=\"true\">\n\t\t\t<Width>64</Width>\n"
                     "\t\t\t<Height>48</Height>\n\t\t\t<Quality>80</Quality>\n\t\t</PublishJpegProperties>\n"
                     "\t\t</flash_profile>",
                     escaped(folder() + "/pic & frame.jpg").c_str());
        std::fclose(f);
        if (!text(cx, "file://" + profile, &v) || !slot<SetElementProc>(SetElement)(cx, array, 1, &v))
            return 0;
    } else if (call.argc == 1) {
        v = intToValue(call.arg);
        slot<SetElementProc>(SetElement)(cx, array, 1, &v);
    }
    *rval = jsval(array);
    return 1;
}

JSBool returnFromFlashFunction(JSContext *, JSObject *, uint32_t, jsval *, jsval *)
{
    append("ack " + std::to_string(g_next));
    return 1;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void MM_InitWrapper(void *table, unsigned int size)
{
    std::memcpy(g_table, table, size < sizeof g_table ? size : sizeof g_table);
    const struct {
        const char16_t *name;
        JSNative fn;
        uint32_t nargs;
    } functions[] = {{u"checkVersion", checkVersion, 2},
                     {u"runUI", runUI, 5},
                     {u"getFlashFunctionToCall", getFlashFunctionToCall, 0},
                     {u"returnFromFlashFunction", returnFromFlashFunction, 0}};
    for (const auto &f : functions)
        slot<DefineFunctionProc>(DefineFunction)(static_cast<JSObject *>(g_table[LibObj]),
                                                 reinterpret_cast<const uint16_t *>(f.name), f.fn, f.nargs);
}
