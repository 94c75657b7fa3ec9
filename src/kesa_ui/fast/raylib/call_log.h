// The call log inside kesa_raylib (see call_log_api.h for what it records and
// how other modules reach it). Process-wide state, used under the GIL.
#pragma once

#include <Python.h>

#include "kesa_ui/fast/raylib/call_log_api.h"

namespace ks_log {

// Nonzero while the log records or a failure is pending: the one flag a
// call site tests before doing any logging work.
extern int hooked;

// See KsCallLogApi::enter.
int enter(int id, PyObject *args);

// The table published as the _call_log_api capsule.
extern const KsCallLogApi api;

// The Python functions start_call_log(), stop_call_log() and
// inject_failure(name, exception).
PyObject *start(PyObject *, PyObject *);
PyObject *stop(PyObject *, PyObject *);
PyObject *inject_failure(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames);

}  // namespace ks_log
