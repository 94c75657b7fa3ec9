// Numbers from Python: reals as doubles, and doubles narrowed to floats.
#pragma once

#include <Python.h>

#include <cmath>

namespace ks {

// The value of an exact int small enough for CPython's compact form (one
// machine word and less, far below 2**53): true and *out set, or false for
// any other object, with nothing raised.
inline bool small_int(PyObject *obj, Py_ssize_t *out) {
    if (!PyLong_CheckExact(obj) || !PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject *>(obj)))
        return false;
    *out = PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject *>(obj));
    return true;
}

// A real number as a double: floats, ints, and objects with __float__ or
// __index__; anything else (a string included) raises TypeError. -1.0 with
// an exception set on failure, so test PyErr_Occurred() only then.
inline double as_double(PyObject *obj) {
    if (PyFloat_CheckExact(obj)) return PyFloat_AS_DOUBLE(obj);
    // A small int is exact as a double; CPython's own conversion of an int is
    // a much longer way to the same value.
    Py_ssize_t v;
    if (small_int(obj, &v)) return static_cast<double>(v);
    return PyFloat_AsDouble(obj);
}

// A double narrowed to the nearest float; beyond float's range it becomes
// an infinity (a plain cast is undefined there).
inline float narrow(double d) {
    if (std::fabs(d) < 0x1.ffffffp+127) [[likely]]
        return static_cast<float>(d);
    return std::isnan(d) ? static_cast<float>(d) : std::copysign(INFINITY, d);
}

// A new list of Python floats with exactly the values of `values[0..n)`;
// nullptr with MemoryError set.
inline PyObject *float_list(const float *values, size_t n) {
    PyObject *list = PyList_New(static_cast<Py_ssize_t>(n));
    if (list == nullptr) return nullptr;
    for (size_t i = 0; i < n; i++) {
        PyObject *item = PyFloat_FromDouble(values[i]);
        if (item == nullptr) {
            Py_DECREF(list);
            return nullptr;
        }
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
}

}  // namespace ks
