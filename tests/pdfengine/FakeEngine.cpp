// A stand-in engine library that appends every call it receives to the file
// named by FAKE_WPDF_LOG, one line per call, and answers as the environment
// says:
//   FAKE_WPDF_INIT_RESULT=0     WPPDF_Initialize fails
//   FAKE_WPDF_FAIL_ACTION=id    that action returns 1 (after a kind-1 message
//                               if FAKE_WPDF_MESSAGE is set)
//   FAKE_WPDF_NOTE_ACTION=id    that action sends FAKE_WPDF_MESSAGE and succeeds
//   FAKE_WPDF_INPUT_PAGES=n     action 4533 reports n front-file pages (kind 2)
//   FAKE_WPDF_IMAGE_RESULT=r    written into the image record's result field
// Texts and records are logged as hex, so any byte survives.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Callback = int32_t (*)(void *, int32_t, int32_t, void *);

constexpr intptr_t kHandle = 0x5150;
Callback g_callback = nullptr;
void *g_component = nullptr;
const char kMemoryDocument[] = "%PDF-fake";

void logLine(const std::string &line)
{
    const char *path = std::getenv("FAKE_WPDF_LOG");
    if (!path)
        return;
    if (FILE *f = std::fopen(path, "a")) {
        std::fputs(line.c_str(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

std::string hex(const void *data, size_t n)
{
    if (!data)
        return "NULL";
    static const char digits[] = "0123456789abcdef";
    std::string out;
    auto *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out.empty() ? "-" : out;
}

std::string hexText(const char *text) { return text ? hex(text, std::strlen(text)) : "NULL"; }

long envInt(const char *name, long fallback)
{
    const char *v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

std::string h(intptr_t handle) { return handle == kHandle ? "" : " BADHANDLE"; }

void message()
{
    if (const char *m = std::getenv("FAKE_WPDF_MESSAGE"); m && g_callback)
        g_callback(g_component, 1, 7, const_cast<char *>(m));
}

uint32_t u32(const void *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

__attribute__((constructor)) void loaded() { logLine("load"); }
__attribute__((destructor)) void unloaded() { logLine("unload"); }

} // namespace

extern "C" {

__attribute__((visibility("default"))) intptr_t WPPDF_Initialize(int32_t a, int32_t b, int32_t c, int32_t one,
                                                                  Callback callback, void *component)
{
    char line[160];
    std::snprintf(line, sizeof line, "Initialize %d %d %d %d %d %zx", a, b, c, one, callback ? 1 : 0,
                  reinterpret_cast<size_t>(component));
    logLine(line);
    if (envInt("FAKE_WPDF_INIT_RESULT", 1) == 0)
        return 0;
    g_callback = callback;
    g_component = component;
    return kHandle;
}

__attribute__((visibility("default"))) void WPPDF_Finalize(intptr_t handle)
{
    logLine("Finalize" + h(handle));
    g_callback = nullptr;
}

__attribute__((visibility("default"))) void WPPDF_SetIProp(intptr_t handle, int32_t id, int32_t value)
{
    logLine("SetIProp " + std::to_string(id) + " " + std::to_string(value) + h(handle));
}

__attribute__((visibility("default"))) void WPPDF_SetSProp(intptr_t handle, int32_t id, const char *text)
{
    logLine("SetSProp " + std::to_string(id) + " " + hexText(text) + h(handle));
}

__attribute__((visibility("default"))) intptr_t WPPDF_Action(intptr_t handle, int32_t id, intptr_t argument,
                                                             void *record)
{
    std::string line = "Action " + std::to_string(id);
    intptr_t result = 0;
    switch (id) {
    case 4533:
        line += " " + hexText(reinterpret_cast<const char *>(argument));
        if (long pages = envInt("FAKE_WPDF_INPUT_PAGES", -1); pages >= 0 && g_callback)
            g_callback(g_component, 2, int32_t(pages), nullptr);
        break;
    case 4538:
        line += " " + std::to_string(argument) + " " + hexText(static_cast<const char *>(record));
        break;
    case 4549: {
        line += " " + std::to_string(argument) + " " + hex(record, 64);
        if (record) {
            const void *data;
            std::memcpy(&data, static_cast<char *>(record) + 32, sizeof data);
            line += " " + hex(data, u32(static_cast<char *>(record) + 40));
            int32_t r = int32_t(envInt("FAKE_WPDF_IMAGE_RESULT", 0));
            std::memcpy(static_cast<char *>(record) + 16, &r, 4);
        }
        break;
    }
    case 4544: {
        auto *emf = reinterpret_cast<const char *>(argument);
        line += " " + (emf ? hex(emf, u32(emf + 48)) : std::string("NULL")) + " " + hex(record, 576);
        break;
    }
    case 4537:
        line += " " + std::to_string(argument) + (record ? " buffer" : " NULL");
        result = sizeof kMemoryDocument - 1;
        if (record && argument > 0) {
            result = std::min<intptr_t>(argument, result);
            std::memcpy(record, kMemoryDocument, size_t(result));
        }
        break;
    default:
        line += " " + std::to_string(argument) + (record ? " record" : " NULL");
        break;
    }
    logLine(line + h(handle));
    if (envInt("FAKE_WPDF_NOTE_ACTION", 0) == id)
        message();
    if (envInt("FAKE_WPDF_FAIL_ACTION", 0) == id) {
        message();
        return 1;
    }
    return result;
}

__attribute__((visibility("default"))) void WPPDF_InitializePage(intptr_t handle, int32_t zero,
                                                                 const void *pageRecord)
{
    logLine("InitializePage " + std::to_string(zero) + " " + hex(pageRecord, 37) + h(handle));
}

#ifndef FAKE_WITHOUT_PROCESSPDF
__attribute__((visibility("default"))) int32_t WPPDF_ProcessPDF(intptr_t handle, const char *file)
{
    logLine("ProcessPDF " + hexText(file) + h(handle));
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_WPTEXEC
__attribute__((visibility("default"))) int32_t _WPPDF_WPTEXEC(intptr_t handle, int32_t a, intptr_t b)
{
    logLine("WPTEXEC " + std::to_string(a) + " " + std::to_string(b) + h(handle));
    return 0;
}
#endif

} // extern "C"
