// References to Python objects whose ownership the types say.
//
// ks::Ref owns one strong reference and releases it when it goes out of
// scope; it is move-only. Make one with Ref::steal(p) from a new reference a
// C API call returned (nullptr makes an empty Ref), or with Ref::new_ref(p)
// to take a new reference to a borrowed object; release() hands the
// reference back to C, to return it or store it in a field.
//
// ks::Borrowed is a reference the callee does not own: the caller keeps the
// object alive for the length of the call. A parameter of this type says so
// in the signature; a plain PyObject * parameter of a CPython slot is
// borrowed too, as the C API has it.
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
        // The old object is released last: its destructor may run any code.
        Ref old(std::exchange(obj_, std::exchange(other.obj_, nullptr)));
        return *this;
    }
    ~Ref() { Py_XDECREF(obj_); }

    static Ref steal(PyObject *obj) noexcept { return Ref(obj); }
    static Ref new_ref(PyObject *obj) noexcept { return Ref(Py_XNewRef(obj)); }

    PyObject *get() const noexcept { return obj_; }
    PyObject *release() noexcept { return std::exchange(obj_, nullptr); }
    explicit operator bool() const noexcept { return obj_ != nullptr; }

private:
    explicit Ref(PyObject *obj) noexcept : obj_(obj) {}
    PyObject *obj_ = nullptr;
};

class Borrowed {
public:
    Borrowed(PyObject *obj) noexcept : obj_(obj) {}  // NOLINT: implicit by design
    Borrowed(const Ref &ref) noexcept : obj_(ref.get()) {}  // NOLINT
    PyObject *get() const noexcept { return obj_; }
    operator PyObject *() const noexcept { return obj_; }  // NOLINT

private:
    PyObject *obj_;
};

// Stores `value` in a field that owns its reference, releasing the previous
// object last (its destructor may run code that must see the field set).
inline void replace_field(PyObject *&field, Ref value) noexcept {
    PyObject *old = field;
    field = value.release();
    Py_XDECREF(old);
}

}  // namespace ks
