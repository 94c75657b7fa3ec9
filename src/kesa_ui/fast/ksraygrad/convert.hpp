// Conversions between Python values and the gradients' native data.
//
// Each reports failure by leaving a Python exception set: numeric ones return
// -1 (test with PyErr_Occurred() only when the result is -1), sequence ones
// return false, list builders return nullptr.
#pragma once

#include <Python.h>

#include <climits>
#include <new>
#include <vector>

#include "kesa_ui/fast/ksraygrad/explain.hpp"
#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"
#include "kesa_ui/native/number.hpp"
#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

using ks::as_double;
using ks::Borrowed;
using ks::Ref;
using ks::narrow;

int as_int32_slow(PyObject *obj);

// An integer through the type's own integer conversion (__int__, so a float
// is truncated), into a signed 32-bit value; OverflowError beyond it.
inline int as_int32(PyObject *obj) {
    Py_ssize_t v;
    if (ks::small_int(obj, &v) && v >= INT_MIN && v <= INT_MAX) return static_cast<int>(v);
    return as_int32_slow(obj);
}
// The same into a signed 64-bit value.
long long as_int64(PyObject *obj);

// as_int32 and as_double for a chain of checks: false with the exception set.
inline bool int32_arg(PyObject *obj, int *out) {
    *out = as_int32(obj);
    return *out != -1 || !PyErr_Occurred();
}
inline bool double_arg(PyObject *obj, double *out) {
    *out = as_double(obj);
    return *out != -1.0 || !PyErr_Occurred();
}

// One colour tuple (r, g, b, a) on the 0..255 scale, each component divided
// by 255 with Python's true division; (r, g, b) is opaque (alpha 1.0).
// `ok` is false on failure.
Vector4 tuple_to_vector4(PyObject *t, bool &ok);

// Any iterable of real numbers / of mappings with keys x, y, z, w. On
// failure `out` is left as it was.
bool sequence_to_floats(PyObject *obj, std::vector<float> &out);
bool sequence_to_vector4s(PyObject *obj, std::vector<Vector4> &out);

// New lists: of floats, and of {"x", "y", "z", "w"} dicts.
PyObject *floats_to_list(const std::vector<float> &values);
PyObject *vector4s_to_list(const std::vector<Vector4> &values);

// Element i of an indexable object (fast for exact tuples and lists); empty
// with the indexing error set.
Ref get_index(Borrowed obj, Py_ssize_t i);

// A new KsVector2 from two objects converted to floats; empty on failure.
Ref vector_from_pair(Borrowed x, Borrowed y);

// --- colour-list items -----------------------------------------------------------
//
// An item is a colour tuple (r, g, b, a) on the 0..255 scale, or a weighted
// pair (colour, weight): a tuple of exactly two whose element 1 is an int or
// a float. A colour must be exactly a tuple.

inline bool is_weighted(PyObject *item) {
    if (!PyTuple_Check(item) || PyTuple_GET_SIZE(item) != 2) return false;
    PyObject *w = PyTuple_GET_ITEM(item, 1);
    return PyLong_Check(w) || PyFloat_Check(w);
}

// The colour of an item (element 0 of a weighted pair, else the item
// itself), borrowed from it.
inline Borrowed item_color(PyObject *item) {
    return is_weighted(item) ? PyTuple_GET_ITEM(item, 0) : item;
}

// The weight of item `index` of the colour list (element 1 of a weighted
// pair, else 1.0). Runs no Python code; false with OverflowError for an int
// beyond a double.
bool item_weight(PyObject *item, Py_ssize_t index, float &out);

// Converts one colour of the colour list, exactly a tuple or None (None
// fails in the conversion), whose item is `place`: errors name the item and
// say what to do (explain.hpp). May run Python code: the caller holds the
// item.
bool convert_color(Borrowed color, Vector4 &out, const ItemPlace &place);

// Reserves room, turning the container's failures into Python exceptions
// (MemoryError, or RuntimeError "vector::reserve" for impossible sizes).
template <typename T>
bool reserve(std::vector<T> &v, Py_ssize_t n) {
    if (static_cast<size_t>(n) > v.max_size()) {
        PyErr_SetString(PyExc_RuntimeError, "vector::reserve");
        return false;
    }
    try {
        v.reserve(static_cast<size_t>(n));
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return false;
    }
    return true;
}

// Sets the size to n, turning the container's failures into Python
// exceptions; within the capacity it cannot fail.
template <typename T>
bool resize(std::vector<T> &v, size_t n) {
    if (n <= v.capacity()) [[likely]] {
        v.resize(n);
        return true;
    }
    if (!reserve(v, static_cast<Py_ssize_t>(n))) return false;
    v.resize(n);
    return true;
}

template <typename T>
bool append(std::vector<T> &v, const T &value) {
    try {
        v.push_back(value);
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return false;
    }
    return true;
}

// The weights of a colour update: up to 64 on the stack, more in one heap
// block.
class WeightBuffer {
public:
    bool reserve(Py_ssize_t n);
    bool push(float w);
    const float *data() const { return on_heap_ ? heap_.data() : inline_; }
    size_t size() const { return static_cast<size_t>(size_); }

private:
    static constexpr Py_ssize_t kInline = 64;
    float inline_[kInline];
    std::vector<float> heap_;
    Py_ssize_t size_ = 0;
    bool on_heap_ = false;
};

}  // namespace ksraygrad
