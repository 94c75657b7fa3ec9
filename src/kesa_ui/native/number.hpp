// Numbers from Python: reals as doubles, and doubles narrowed to floats.
#pragma once

#include <Python.h>

#include <cmath>

namespace ks {

// A real number as a double: floats, ints, and objects with __float__ or
// __index__; anything else (a string included) raises TypeError. -1.0 with
// an exception set on failure, so test PyErr_Occurred() only then.
inline double as_double(PyObject *obj) {
    if (PyFloat_CheckExact(obj)) return PyFloat_AS_DOUBLE(obj);
    // A compact int is far below 2**53, so exact as a double; CPython's own
    // conversion of an int is a much longer way to the same value.
    if (PyLong_CheckExact(obj) && PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject *>(obj)))
        return static_cast<double>(PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject *>(obj)));
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
