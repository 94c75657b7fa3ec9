// The module and type definitions every extension module shares.
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

// A platform module's definition and its init function PyInit_<init_name>:
// the module `name` with `doc`, `methods` (or nullptr), the slots above
// with `exec`, and `free` (or nullptr) run when the module object goes. At
// file scope, after `exec` and the rest are defined.
#define KS_DEFINE_MODULE(init_name, name, doc, methods, exec, free)                   \
    namespace {                                                                         \
    PyModuleDef_Slot ks_module_slots[] = KS_MODULE_SLOTS(exec);                         \
    PyModuleDef ks_module_def = {                                                       \
        PyModuleDef_HEAD_INIT, name, doc, 0, methods, ks_module_slots, nullptr, nullptr, free, \
    };                                                                                  \
    }                                                                                   \
    PyMODINIT_FUNC PyInit_##init_name(void) { return PyModuleDef_Init(&ks_module_def); }

// The first fields of a static type's definition: its head, its dotted
// name and the size of its instances, `object` (designated initialisers
// follow: .tp_dealloc = ..., and so on).
#define KS_TYPE_HEAD(name, object)                                                      \
    .ob_base = PyVarObject_HEAD_INIT(nullptr, 0) .tp_name = name,                        \
    .tp_basicsize = sizeof(object)
