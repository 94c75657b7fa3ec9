// Binding C interfaces between the toolkit's extension modules.
//
// A type module publishes its C method table as an unnamed capsule under
// `__pyx_vtable__` in the type's dict; a function module publishes its C
// functions in a `__pyx_capi__` dict of capsules named by each function's
// signature text; rl publishes a table as the capsule `_C_API_V3`. The names
// follow Cython's; the signature texts and layouts are the C++ headers' own.
//
// Every function returns nullptr (or -1) with an exception set on failure.
#pragma once

#include <Python.h>

#include <cstring>

#include "kesa_ui/native/ref.hpp"

namespace ks {

// Imports `module` and returns its type `name` (a new reference), checked
// against `declared`, the instance size of the layout the caller reads.
// Instances smaller than that are a ValueError: reading the declared fields
// would run past them. Larger ones are a RuntimeWarning and are accepted:
// the fields the caller knows come first.
inline PyTypeObject *import_type(const char *module, const char *name, size_t declared) {
    Ref mod = Ref::steal(PyImport_ImportModule(module));
    if (!mod) return nullptr;
    Ref obj = Ref::steal(PyObject_GetAttrString(mod.get(), name));
    if (!obj) return nullptr;
    if (!PyType_Check(obj.get())) {
        PyErr_Format(PyExc_TypeError, "%.200s.%.200s is not a type object", module, name);
        return nullptr;
    }
    auto actual = static_cast<size_t>(reinterpret_cast<PyTypeObject *>(obj.get())->tp_basicsize);
    if (actual < declared) {
        PyErr_Format(PyExc_ValueError,
                     "%.200s.%.200s size changed, may indicate binary incompatibility. Expected "
                     "%zu from C header, got %zu from PyObject",
                     module, name, declared, actual);
        return nullptr;
    }
    if (actual > declared &&
        PyErr_WarnFormat(PyExc_RuntimeWarning, 0,
                         "%.200s.%.200s size changed, may indicate binary incompatibility. "
                         "Expected %zu from C header, got %zu from PyObject",
                         module, name, declared, actual) < 0)
        return nullptr;
    return reinterpret_cast<PyTypeObject *>(obj.release());
}

// The C method table of `type`: KeyError when it publishes none, the
// capsule's error when the entry is not an unnamed capsule, RuntimeError
// when the capsule holds no table.
inline const void *type_vtable(PyTypeObject *type) {
    Ref dict = Ref::steal(PyType_GetDict(type));
    if (!dict) return nullptr;
    Ref key = Ref::steal(PyUnicode_FromString("__pyx_vtable__"));
    if (!key) return nullptr;
    Ref capsule = Ref::steal(PyObject_GetItem(dict.get(), key.get()));
    if (!capsule) return nullptr;
    void *table = PyCapsule_GetPointer(capsule.get(), nullptr);
    if (table == nullptr && !PyErr_Occurred())
        PyErr_SetString(PyExc_RuntimeError, "invalid vtable found for imported type");
    return table;
}

// Publishes `table` as the C method table of a readied static type. The
// capsule is replaced on every call, so a retried module load may call it
// again.
inline int publish_vtable(PyTypeObject *type, const void *table) {
    Ref capsule = Ref::steal(PyCapsule_New(const_cast<void *>(table), nullptr, nullptr));
    if (!capsule) return -1;
    Ref dict = Ref::steal(PyType_GetDict(type));
    if (!dict || PyDict_SetItemString(dict.get(), "__pyx_vtable__", capsule.get()) < 0) return -1;
    PyType_Modified(type);
    return 0;
}

// Readies a static type, publishes its C method table and adds it to
// `module`: what a type module's exec does. Safe to repeat on a retried load.
inline int add_type(PyObject *module, PyTypeObject *type, const void *table) {
    if (PyType_Ready(type) < 0 || publish_vtable(type, table) < 0) return -1;
    return PyModule_AddType(module, type);
}

// The pointer in the capsule `capsule_name` ("package.module.attribute"),
// importing the module first: PyCapsule_Import only walks attributes, so it
// cannot import a submodule itself.
inline const void *import_capsule(const char *module, const char *capsule_name) {
    Ref mod = Ref::steal(PyImport_ImportModule(module));
    if (!mod) return nullptr;
    return PyCapsule_Import(capsule_name, 0);
}

// The C function `name` from the `__pyx_capi__` dict of `module` (imported,
// named `module_name`): ImportError when it is not exported, TypeError when
// its capsule names another signature than `signature`.
inline void *import_function(PyObject *module, const char *module_name, const char *name,
                             const char *signature) {
    Ref capi = Ref::steal(PyObject_GetAttrString(module, "__pyx_capi__"));
    if (!capi) return nullptr;
    Ref key = Ref::steal(PyUnicode_FromString(name));
    if (!key) return nullptr;
    Ref capsule = Ref::steal(PyObject_GetItem(capi.get(), key.get()));
    if (!capsule) {
        if (PyErr_ExceptionMatches(PyExc_KeyError)) {
            PyErr_Clear();
            PyErr_Format(PyExc_ImportError, "%.200s does not export expected C function %.200s",
                         module_name, name);
        }
        return nullptr;
    }
    const char *got = PyCapsule_GetName(capsule.get());
    if (got == nullptr && PyErr_Occurred()) return nullptr;
    if (got == nullptr || std::strcmp(got, signature) != 0) {
        PyErr_Format(PyExc_TypeError,
                     "C function %.200s.%.200s has wrong signature (expected %.500s, got %.500s)",
                     module_name, name, signature, got != nullptr ? got : "(no name)");
        return nullptr;
    }
    return PyCapsule_GetPointer(capsule.get(), got);
}

}  // namespace ks
