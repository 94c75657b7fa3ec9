// The module definition every platform module shares.
#pragma once

#include <Python.h>

// The slots of a platform module, whose `exec` fills the module object. The
// modules keep their state in process-wide statics, so they refuse a second
// interpreter, and they rely on the GIL. Multi-phase initialisation also
// keeps a failed import retryable: CPython's bookkeeping after a
// single-phase init does not survive every allocation failure.
#define KS_MODULE_SLOTS(exec)                                                          \
    {                                                                                  \
        {Py_mod_exec, reinterpret_cast<void *>(exec)},                                 \
        {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},    \
        {Py_mod_gil, Py_MOD_GIL_USED}, {0, nullptr},                                   \
    }
