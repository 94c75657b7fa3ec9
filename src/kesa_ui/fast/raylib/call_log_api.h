// The test call log of kesa_raylib, as seen by the other platform modules.
//
// kesa_raylib records every call of its fourteen C functions, and of
// KsRenderTexture's c_fast_clear (which lives in ks_render_tex), while a test
// has the log switched on, and can make the next call of any of them raise an
// injected exception. ks_render_tex reaches the log through this table,
// published by kesa_raylib as the capsule KS_CALL_LOG_CAPSULE.
//
// A recording call site is written so that it costs one branch while the log
// is off and no failure is pending:
//
//     if (*log->hooked && log->enter(KS_CALL_c_fast_clear, Py_BuildValue(...)) < 0)
//         return -1;
#pragma once

#include <Python.h>

#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"

// One id per recorded function, in the order of KS_RAYLIB_FUNCTIONS, then
// c_fast_clear.
enum KsCallId {
#define KS_CALL_ID(name, ret, params) KS_CALL_##name,
    KS_RAYLIB_FUNCTIONS(KS_CALL_ID)
#undef KS_CALL_ID
    KS_CALL_c_fast_clear,
    KS_CALL_COUNT
};

struct KsCallLogApi {
    // Nonzero while the log records or an injected failure is pending.
    const int *hooked;
    // Records the call `id` with its arguments (a tuple, stolen; nullptr when
    // building it failed), then fires a failure injected for `id`, if any.
    // 0 to go on with the call, or -1 with an exception set.
    int (*enter)(int id, PyObject *args);
};

#define KS_CALL_LOG_CAPSULE "kesa_ui.fast.raylib.kesa_raylib._call_log_api"
