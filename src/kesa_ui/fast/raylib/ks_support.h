// Small helpers shared by the platform layer's extension modules
// (kesa_raylib, ksvector2, ksrect, ks_render_tex, ksshader).
//
// ks::Ref is a move-only owned reference: it releases its object when it goes
// out of scope, so early returns on error paths cannot leak. Construct it with
// Ref::steal(new_reference) or Ref::borrow(borrowed_reference); hand the
// reference back to CPython with release().
//
// Header-only on purpose: every module is its own shared object, built from
// the .cpp files of its own directory.
#pragma once

#include <Python.h>

#include <utility>

namespace ks {

class Ref {
public:
    Ref() noexcept = default;
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    Ref(Ref &&other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
    Ref &operator=(Ref &&other) noexcept {
        Ref old(std::move(*this));
        obj_ = std::exchange(other.obj_, nullptr);
        return *this;
    }
    ~Ref() { Py_XDECREF(obj_); }

    // Takes over a new reference (nullptr is allowed: an empty Ref).
    static Ref steal(PyObject *obj) noexcept {
        Ref r;
        r.obj_ = obj;
        return r;
    }
    // Takes a new reference to a borrowed object.
    static Ref borrow(PyObject *obj) noexcept { return steal(Py_XNewRef(obj)); }

    PyObject *get() const noexcept { return obj_; }
    PyObject *release() noexcept { return std::exchange(obj_, nullptr); }
    explicit operator bool() const noexcept { return obj_ != nullptr; }

private:
    PyObject *obj_ = nullptr;
};

// Imports `module` and returns a new reference to its type attribute `name`,
// checking that the type's instances have exactly `size` bytes (the layout
// this module was compiled against). nullptr with an exception set.
inline PyTypeObject *import_type(const char *module, const char *name, Py_ssize_t size) {
    Ref mod = Ref::steal(PyImport_ImportModule(module));
    if (!mod) return nullptr;
    Ref attr = Ref::steal(PyObject_GetAttrString(mod.get(), name));
    if (!attr) return nullptr;
    if (!PyType_Check(attr.get())) {
        PyErr_Format(PyExc_TypeError, "%s.%s is not a type", module, name);
        return nullptr;
    }
    auto *type = reinterpret_cast<PyTypeObject *>(attr.get());
    if (type->tp_basicsize != size) {
        PyErr_Format(PyExc_TypeError, "%s.%s has instances of %zd bytes, expected %zd", module,
                     name, type->tp_basicsize, size);
        return nullptr;
    }
    return reinterpret_cast<PyTypeObject *>(attr.release());
}

// The C method table a type publishes as an unnamed capsule under
// __pyx_vtable__ in its dict; nullptr with an exception set.
inline void *type_vtable(PyTypeObject *type) {
    Ref dict = Ref::steal(PyType_GetDict(type));
    if (!dict) return nullptr;
    PyObject *capsule;
    int found = PyDict_GetItemStringRef(dict.get(), "__pyx_vtable__", &capsule);
    if (found < 0) return nullptr;
    if (found == 0) {
        PyErr_Format(PyExc_KeyError, "%s has no __pyx_vtable__", type->tp_name);
        return nullptr;
    }
    Ref owned = Ref::steal(capsule);
    return PyCapsule_GetPointer(capsule, nullptr);
}

// Publishes `table` as an unnamed capsule under __pyx_vtable__ in the dict of
// a readied type. 0, or -1 with an exception set.
inline int publish_vtable(PyTypeObject *type, void *table) {
    Ref capsule = Ref::steal(PyCapsule_New(table, nullptr, nullptr));
    if (!capsule) return -1;
    Ref dict = Ref::steal(PyType_GetDict(type));
    if (!dict || PyDict_SetItemString(dict.get(), "__pyx_vtable__", capsule.get()) < 0) return -1;
    PyType_Modified(type);
    return 0;
}

// Reads a number (anything with a float conversion, strings rejected) into
// *out. 0, or -1 with TypeError set.
inline int read_double(PyObject *obj, double *out) {
    if (PyFloat_CheckExact(obj)) {
        *out = PyFloat_AS_DOUBLE(obj);
        return 0;
    }
    double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) return -1;
    *out = v;
    return 0;
}

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

}  // namespace ks
