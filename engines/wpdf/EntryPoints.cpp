// The C entry points. Handles are checked against the live instances, and no
// exception leaves the library: it becomes a kind-1 message and a failure result.
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>

#include "Engine.h"
#include "WpdfApi.h"

namespace {

std::mutex registryMutex;
std::unordered_set<wpdf::Engine *> &registry()
{
    static auto *live = new std::unordered_set<wpdf::Engine *>;
    return *live;
}

wpdf::Engine *lookup(WPPDF_Handle handle)
{
    auto *engine = reinterpret_cast<wpdf::Engine *>(handle);
    std::lock_guard lock(registryMutex);
    return registry().count(engine) ? engine : nullptr;
}

template <typename Fn>
auto guarded(wpdf::Engine *engine, decltype(std::declval<Fn>()()) failure, Fn fn)
{
    try {
        return fn();
    } catch (std::exception &e) {
        try {
            engine->report(wpdf::kMsgError, e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            engine->report(wpdf::kMsgError, "An unexpected error occurred in the PDF engine.");
        } catch (...) {
        }
    }
    return failure;
}

} // namespace

extern "C" {

WPPDF_Handle WPPDF_Initialize(int32_t, int32_t, int32_t, int32_t one, WPPDF_Callback callback,
                              void *component)
{
    if (one != 1)
        return 0;
    try {
        auto *engine = new wpdf::Engine(callback, component);
        std::lock_guard lock(registryMutex);
        registry().insert(engine);
        return reinterpret_cast<WPPDF_Handle>(engine);
    } catch (...) {
        return 0;
    }
}

void WPPDF_Finalize(WPPDF_Handle handle)
{
    wpdf::Engine *engine = nullptr;
    {
        std::lock_guard lock(registryMutex);
        auto *candidate = reinterpret_cast<wpdf::Engine *>(handle);
        if (registry().erase(candidate))
            engine = candidate;
    }
    try {
        delete engine;
    } catch (...) {
    }
}

void WPPDF_SetIProp(WPPDF_Handle handle, int32_t id, int32_t value)
{
    if (auto *engine = lookup(handle))
        guarded(engine, 0, [&] {
            engine->setInt(id, value);
            return 0;
        });
}

void WPPDF_SetSProp(WPPDF_Handle handle, int32_t id, const char *text)
{
    if (auto *engine = lookup(handle))
        guarded(engine, 0, [&] {
            engine->setText(id, text);
            return 0;
        });
}

intptr_t WPPDF_Action(WPPDF_Handle handle, int32_t id, intptr_t argument, void *record)
{
    auto *engine = lookup(handle);
    if (!engine)
        return wpdf::kFailed;
    return guarded(engine, static_cast<intptr_t>(wpdf::kFailed),
                   [&]() -> intptr_t { return engine->action(id, argument, record); });
}

void WPPDF_InitializePage(WPPDF_Handle handle, int32_t, const void *pageRecord)
{
    if (auto *engine = lookup(handle))
        guarded(engine, 0, [&] {
            engine->initializePage(pageRecord);
            return 0;
        });
}

int32_t WPPDF_ProcessPDF(WPPDF_Handle, const char *) { return 0; }

int32_t _WPPDF_WPTEXEC(WPPDF_Handle, int32_t, intptr_t) { return 0; }

} // extern "C"
