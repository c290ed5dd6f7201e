#pragma once
// The four functions the authoring tool's script calls, and what the host
// side of the library keeps between them.
#include "extension/CallRecord.h"
#include "extension/HostTable.h"
#include "platform/Endpoint.h"

#include <QString>

namespace extension {

struct HostState {
    HostTable table;
    CallRecord *record = nullptr;
    bool initialised = false;
    // Private temporary folder + "VELUMOR"; empty when that folder is unsafe.
    QString tempBase;
    // The wizard this host started; 0 when no run is ours.
    platform::AppHandle wizard = 0;
};

HostState &hostState();

// This host's window handle as it crosses processes.
uint32_t ownHostHandle();

// Registers checkVersion, runUI, getFlashFunctionToCall and
// returnFromFlashFunction on the library object, in that order.
void registerScriptFunctions();

// Brings the wizard of our run forward.
void bringWizardForward();

JSBool checkVersion(JSContext *cx, JSObject *self, uint32_t argc, jsval *argv, jsval *rval);
JSBool runUI(JSContext *cx, JSObject *self, uint32_t argc, jsval *argv, jsval *rval);
JSBool getFlashFunctionToCall(JSContext *cx, JSObject *self, uint32_t argc, jsval *argv, jsval *rval);
JSBool returnFromFlashFunction(JSContext *cx, JSObject *self, uint32_t argc, jsval *argv, jsval *rval);

} // namespace extension
