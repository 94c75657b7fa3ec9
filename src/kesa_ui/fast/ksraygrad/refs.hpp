// Owned references to Python objects.
//
// `Ref` owns one strong reference and releases it when it goes out of scope;
// it is move-only, so ownership is visible in every signature. Make one with
// Ref::steal(new_reference) for a reference a C API call returned, or
// Ref::take(borrowed) for a new reference to a borrowed object. `release()`
// hands the reference back to C (to return it, or to store it in a field).
#pragma once

#include <Python.h>

#include <utility>

namespace ksraygrad {

class Ref {
public:
    Ref() = default;
    static Ref steal(PyObject *obj) { return Ref(obj); }
    static Ref take(PyObject *obj) { return Ref(Py_XNewRef(obj)); }

    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    Ref(Ref &&other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
    Ref &operator=(Ref &&other) noexcept {
        Ref old(std::exchange(obj_, std::exchange(other.obj_, nullptr)));
        return *this;
    }
    ~Ref() { Py_XDECREF(obj_); }

    PyObject *get() const { return obj_; }
    explicit operator bool() const { return obj_ != nullptr; }
    PyObject *release() { return std::exchange(obj_, nullptr); }

private:
    explicit Ref(PyObject *obj) : obj_(obj) {}
    PyObject *obj_ = nullptr;
};

// Replaces the reference in a field, releasing the previous object last (its
// destructor may run arbitrary code, which must see the field already set).
inline void replace_field(PyObject *&field, Ref value) {
    PyObject *old = field;
    field = value.release();
    Py_XDECREF(old);
}

}  // namespace ksraygrad
