// Arguments of raylib's own kinds read from Python, for rl and the platform
// modules alike: a sequence of numbers, a Vector2, a Rectangle. Two rules,
// chosen per module, each keeping the messages its callers know:
//
// - Numbers::any_sequence (rl's functions): any sequence but str and bytes
//   (TypeError "must be a sequence of n numbers") of exactly n items
//   (ValueError "needs n numbers, got m").
// - Numbers::tuple (the raylib wrapper's C functions): a tuple, and TypeError
//   for anything else or the wrong length ("must be a tuple of n numbers").
//
// Items are real numbers (TypeError otherwise), narrowed to floats. A
// colour is read by rl's one colour rule (KsRlApi::color_from_object); a
// record of one of rl's types (or any type) by record_arg.
#pragma once

#include <Python.h>
#include <raylib.h>

#include "kesa_ui/native/number.hpp"
#include "kesa_ui/native/ref.hpp"

namespace ks {

enum class Numbers { any_sequence, tuple };

// The type of an argument a C caller passed, for messages: "NULL" for
// none (the caller's pointer may be to any object type).
inline const char *arg_type_name(const void *obj) {
    return obj == nullptr ? "NULL" : Py_TYPE(static_cast<const PyObject *>(obj))->tp_name;
}

namespace rl_args_detail {

inline bool read_items(PyObject *items, Py_ssize_t n, float *out) {
    for (Py_ssize_t i = 0; i < n; i++) {
        double v = as_double(PyTuple_GET_ITEM(items, i));
        if (v == -1.0 && PyErr_Occurred()) return false;
        out[i] = narrow(v);
    }
    return true;
}

}  // namespace rl_args_detail

// Exactly n numbers from `obj`, an argument named `what` in messages.
inline bool numbers_arg(PyObject *obj, Py_ssize_t n, const char *what, Numbers rule,
                        float *out) {
    if (rule == Numbers::tuple) {
        if (obj == nullptr || !PyTuple_Check(obj)) {
            PyErr_Format(PyExc_TypeError, "%s must be a tuple of %zd numbers, not %.100s", what, n,
                         arg_type_name(obj));
            return false;
        }
        if (PyTuple_GET_SIZE(obj) != n) {
            PyErr_Format(PyExc_TypeError, "%s must be a tuple of %zd numbers, got %zd items",
                         what, n, PyTuple_GET_SIZE(obj));
            return false;
        }
        return rl_args_detail::read_items(obj, n, out);
    }
    if (obj == nullptr || !PySequence_Check(obj) || PyUnicode_Check(obj) || PyBytes_Check(obj)) {
        PyErr_Format(PyExc_TypeError, "%s must be a sequence of %zd numbers, not %.100s", what, n,
                     arg_type_name(obj));
        return false;
    }
    Py_ssize_t size = PySequence_Size(obj);
    if (size < 0) return false;
    Ref items = Ref::steal(size == n ? PySequence_Tuple(obj) : nullptr);
    if (size == n && !items) return false;
    if (!items || PyTuple_GET_SIZE(items.get()) != n) {  // (a sequence may lie about its size)
        PyErr_Format(PyExc_ValueError, "%s needs %zd numbers, got %zd", what, n,
                     items ? PyTuple_GET_SIZE(items.get()) : size);
        return false;
    }
    return rl_args_detail::read_items(items.get(), n, out);
}

// `obj` as an instance of `type` (a subclass too), or nullptr with the
// TypeError "<what> must be <kind>, not <its type>". `obj` may be nullptr
// (a C caller's).
template <typename T>
T *record_arg(PyObject *obj, PyTypeObject *type, const char *what, const char *kind) {
    if (obj != nullptr && PyObject_TypeCheck(obj, type)) [[likely]]
        return reinterpret_cast<T *>(obj);
    PyErr_Format(PyExc_TypeError, "%s must be %s, not %.100s", what, kind,
                 arg_type_name(obj));
    return nullptr;
}

inline bool vector2_arg(PyObject *obj, const char *what, Numbers rule, Vector2 *out) {
    float v[2];
    if (!numbers_arg(obj, 2, what, rule, v)) return false;
    *out = Vector2{v[0], v[1]};
    return true;
}

inline bool rectangle_arg(PyObject *obj, const char *what, Numbers rule, Rectangle *out) {
    float v[4];
    if (!numbers_arg(obj, 4, what, rule, v)) return false;
    *out = Rectangle{v[0], v[1], v[2], v[3]};
    return true;
}

}  // namespace ks
