// Colour and sequence conversion.
//
// tuple_to_vector4 carries the module's colour rule: each component divided
// by 255 with Python's true division, no clamping; a colour of three
// components is opaque. Exact ints and floats are
// divided in C without creating Python objects; an int beyond 2**53 and any
// other type go through Python's own division, so the result is always what
// `component / 255` gives in Python.
//
// The sequence conversions reserve once from the length hint, walk exact
// lists and tuples by index (re-reading a list's length at every step, so a
// list changed during the walk is followed) and take each item with its own
// reference, since converting it may run Python code. A list's or tuple's
// length is exact; any other object's hint is only a claim, so no more than
// a small block is reserved for it up front and the result grows with the
// items that actually arrive, then gives back room it did not use.
#include "kesa_ui/fast/ksraygrad/convert.hpp"

#include <algorithm>
#include <climits>
#include <new>

#include "kesa_ui/native/ref.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

namespace ksraygrad {

namespace {

// An int through the type's nb_int slot (not __index__, not str parsing).
Ref to_int(PyObject *obj) {
    if (PyLong_Check(obj)) return Ref::new_ref(obj);
    PyNumberMethods *nb = Py_TYPE(obj)->tp_as_number;
    if (nb == nullptr || nb->nb_int == nullptr) {
        PyErr_Format(PyExc_TypeError, "an integer is required, not '%.200s'",
                     Py_TYPE(obj)->tp_name);
        return Ref();
    }
    Ref res = Ref::steal(nb->nb_int(obj));
    if (res && !PyLong_Check(res.get())) {
        PyErr_Format(PyExc_TypeError, "__int__ returned non-int (type %.200s)",
                     Py_TYPE(res.get())->tp_name);
        return Ref();
    }
    return res;
}

constexpr long long kExactInDouble = 1LL << 53;

// component() past its inline checks: an exact int of up to 2**53, then
// Python's division.
[[gnu::noinline]] bool component_slow(PyObject *item, double &out) {
    if (PyLong_CheckExact(item)) {
        int overflow = 0;
        long long v = PyLong_AsLongLongAndOverflow(item, &overflow);
        if (!overflow && v >= -kExactInDouble && v <= kExactInDouble) {
            out = static_cast<double>(v) / 255.0;
            return true;
        }
        if (v == -1 && PyErr_Occurred()) return false;
    }
    Ref q = Ref::steal(PyNumber_TrueDivide(item, g.int_255));
    if (!q) return false;
    out = as_double(q.get());
    return !(out == -1.0 && PyErr_Occurred());
}

// `item / 255` as a double, with Python's semantics: an exact float, or an
// exact int that a double holds exactly, is divided in C (the one rounding
// Python's true division makes too); anything else goes through Python's
// division, and its quotient through the float conversion. Floats and
// one-word ints, what colours are made of, are checked inline.
[[gnu::always_inline]] inline bool component(PyObject *item, double &out) {
    if (PyFloat_CheckExact(item)) [[likely]] {
        out = PyFloat_AS_DOUBLE(item) / 255.0;
        return true;
    }
    Py_ssize_t small;
    if (ks::small_int(item, &small)) [[likely]] {
        out = static_cast<double>(small) / 255.0;
        return true;
    }
    return component_slow(item, out);
}

constexpr const char *kTupleToVector4 = KS_MODULE_NAME ".tuple_to_vector4";

// Elements reserved up front for an iterable that only claims a length.
constexpr Py_ssize_t kClaimedReserve = 256;

// Gives back the room of a result that came out much shorter than reserved.
template <typename T>
void trim(std::vector<T> &v) {
    if (v.capacity() <= 2 * v.size() + kClaimedReserve) return;
    try {
        v.shrink_to_fit();
    } catch (const std::bad_alloc &) {
        // Keeping the room is harmless.
    }
}

// Calls step(item) for each item of `obj`: false as soon as one fails.
template <typename Step>
bool walk(PyObject *obj, Step step) {
    if (PyList_CheckExact(obj)) {
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(obj); i++) {
            Ref item = Ref::steal(PyList_GetItemRef(obj, i));
            if (!item || !step(item.get())) return false;
        }
        return true;
    }
    if (PyTuple_CheckExact(obj)) {
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(obj); i++) {
            if (!step(PyTuple_GET_ITEM(obj, i))) return false;
        }
        return true;
    }
    Ref it = Ref::steal(PyObject_GetIter(obj));
    if (!it) return false;
    while (Ref item = Ref::steal(PyIter_Next(it.get()))) {
        if (!step(item.get())) return false;
    }
    return !PyErr_Occurred();
}

// Fills `result` with step(item) for each item of `obj`.
template <typename T, typename Step>
bool convert_sequence(PyObject *obj, std::vector<T> &result, Step step) {
    Py_ssize_t hint = PyObject_LengthHint(obj, 0);
    if (hint < 0) return false;
    const bool exact = PyList_CheckExact(obj) || PyTuple_CheckExact(obj);
    if (!reserve(result, exact ? hint : std::min(hint, kClaimedReserve))) return false;
    if (!walk(obj, step)) return false;
    trim(result);  // a list may have shrunk while it was converted
    return true;
}

}  // namespace

int as_int32_slow(PyObject *obj) {
    if (PyLong_CheckExact(obj)) {
        int overflow = 0;
        long v = PyLong_AsLongAndOverflow(obj, &overflow);
        if (!overflow && v >= INT_MIN && v <= INT_MAX) return static_cast<int>(v);
    }
    Ref i = to_int(obj);
    if (!i) return -1;
    long v = PyLong_AsLong(i.get());
    if (v == -1 && PyErr_Occurred()) return -1;
    if (v < INT_MIN || v > INT_MAX) {
        PyErr_SetString(PyExc_OverflowError, "value too large to convert to int");
        return -1;
    }
    return static_cast<int>(v);
}

long long as_int64(PyObject *obj) {
    Ref i = to_int(obj);
    if (!i) return -1;
    return PyLong_AsLongLong(i.get());
}

namespace {

// The failure of component i of `t`: the IndexError of a short colour, or
// the pending error (explained when `place` says where the colour came from),
// with the traceback entry at `line`.
[[gnu::noinline]] bool component_failed(PyObject *t, Py_ssize_t i, int line,
                                        const ItemPlace *place) {
    // A short tuple fails at its first missing component; nothing past its
    // end is read.
    if (i >= PyTuple_GET_SIZE(t))
        PyErr_Format(PyExc_IndexError, fixed::kShortColour, PyTuple_GET_SIZE(t),
                     PyTuple_GET_SIZE(t) == 1 ? "" : "s");
    else if (place != nullptr)
        explain_component_error(*place, t, i);
    add_traceback_at(kTupleToVector4, line);
    return false;
}

// t[i] / 255 into `out`. On failure the traceback entry names `line`: the
// caller's line for component i.
[[gnu::always_inline]] inline bool component_at(PyObject *t, Py_ssize_t i, float &out, int line,
                                                const ItemPlace *place) {
    double d;
    if (i < PyTuple_GET_SIZE(t) && component(PyTuple_GET_ITEM(t, i), d)) [[likely]] {
        out = narrow(d);
        return true;
    }
    return component_failed(t, i, line, place);
}

Vector4 to_vector4(PyObject *t, bool &ok, const ItemPlace *place) {
    if (t == Py_None) {
        PyErr_SetString(PyExc_TypeError, fixed::kNoneColour);
        add_traceback(kTupleToVector4);
        ok = false;
        return Vector4{0, 0, 0, 0};
    }
    float c[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // One line per component, so that a traceback tells which one failed.
    ok = component_at(t, 0, c[0], __LINE__, place) &&
         component_at(t, 1, c[1], __LINE__, place) &&
         component_at(t, 2, c[2], __LINE__, place) &&
         (PyTuple_GET_SIZE(t) == 3 || component_at(t, 3, c[3], __LINE__, place));
    return ok ? Vector4{c[0], c[1], c[2], c[3]} : Vector4{0, 0, 0, 0};
}

}  // namespace

Vector4 tuple_to_vector4(PyObject *t, bool &ok) { return to_vector4(t, ok, nullptr); }

namespace {

// An exact list or tuple of exact floats: converting it runs no Python code
// and cannot fail but for want of memory.
bool exact_float_sequence(PyObject *obj) {
    if (!PyList_CheckExact(obj) && !PyTuple_CheckExact(obj)) return false;
    PyObject **items = PySequence_Fast_ITEMS(obj);
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(obj); i++) {
        if (!PyFloat_CheckExact(items[i])) return false;
    }
    return true;
}

// Narrows an exact_float_sequence into `out`; false with MemoryError and
// `out` unchanged when no room could be made.
bool store_exact_floats(PyObject *obj, std::vector<float> &out) {
    Py_ssize_t n = PySequence_Fast_GET_SIZE(obj);
    if (!resize(out, static_cast<size_t>(n))) return false;
    PyObject **items = PySequence_Fast_ITEMS(obj);
    float *dst = out.data();
    for (Py_ssize_t i = 0; i < n; i++) dst[i] = narrow(PyFloat_AS_DOUBLE(items[i]));
    return true;
}

}  // namespace

bool sequence_to_floats(PyObject *obj, std::vector<float> &out) {
    // Straight into place when no Python code can run in between.
    if (exact_float_sequence(obj)) return store_exact_floats(obj, out);
    std::vector<float> result;
    auto step = [&](PyObject *item) {
        double d = as_double(item);
        if (d == -1.0 && PyErr_Occurred()) return false;
        return append(result, narrow(d));
    };
    if (!convert_sequence(obj, result, step)) return false;
    out.swap(result);
    return true;
}

namespace {

bool mapping_to_vector4(PyObject *item, Vector4 &out) {
    PyMappingMethods *mp = Py_TYPE(item)->tp_as_mapping;
    if (mp == nullptr || mp->mp_subscript == nullptr) {
        PyErr_Format(PyExc_TypeError, "Expected a mapping, got %.200s", Py_TYPE(item)->tp_name);
        return false;
    }
    PyObject *keys[4] = {g.s.x, g.s.y, g.s.z, g.s.w};
    float c[4];
    for (int i = 0; i < 4; i++) {
        Ref value = Ref::steal(PyObject_GetItem(item, keys[i]));
        if (!value) {
            if (PyErr_ExceptionMatches(PyExc_KeyError)) {
                // Raised "during the handling of" the KeyError, which becomes
                // its context.
                PyObject *key_error = PyErr_GetRaisedException();
                PyObject *handled = PyErr_GetHandledException();
                PyErr_SetHandledException(key_error);
                PyErr_SetString(PyExc_ValueError, fixed::kMissingKey[i]);
                PyErr_SetHandledException(handled);
                Py_XDECREF(handled);
                Py_DECREF(key_error);
            }
            return false;
        }
        double d = as_double(value.get());
        if (d == -1.0 && PyErr_Occurred()) return false;
        c[i] = narrow(d);
    }
    out = Vector4{c[0], c[1], c[2], c[3]};
    return true;
}

}  // namespace

bool sequence_to_vector4s(PyObject *obj, std::vector<Vector4> &out) {
    std::vector<Vector4> result;
    auto step = [&](PyObject *item) {
        Vector4 v;
        return mapping_to_vector4(item, v) && append(result, v);
    };
    if (!convert_sequence(obj, result, step)) return false;
    out.swap(result);
    return true;
}

Ref get_index(Borrowed obj, Py_ssize_t i) {
    if (PyTuple_CheckExact(obj)) {
        if (i < PyTuple_GET_SIZE(obj.get())) return Ref::new_ref(PyTuple_GET_ITEM(obj.get(), i));
        PyErr_SetString(PyExc_IndexError, "tuple index out of range");
        return Ref();
    }
    if (PyList_CheckExact(obj)) {
        if (i < PyList_GET_SIZE(obj.get())) return Ref::steal(PyList_GetItemRef(obj, i));
        PyErr_SetString(PyExc_IndexError, "list index out of range");
        return Ref();
    }
    Ref key = Ref::steal(PyLong_FromSsize_t(i));
    return key ? Ref::steal(PyObject_GetItem(obj, key.get())) : Ref();
}

Ref vector_from_pair(Borrowed x, Borrowed y) {
    double dx = as_double(x);
    if (dx == -1.0 && PyErr_Occurred()) return Ref();
    double dy = as_double(y);
    if (dy == -1.0 && PyErr_Occurred()) return Ref();
    return Ref::steal(g.vec2_vt->new_(dx, dy));
}

PyObject *floats_to_list(const std::vector<float> &values) {
    return ks::float_list(values.data(), values.size());
}

PyObject *vector4s_to_list(const std::vector<Vector4> &values) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < values.size(); i++) {
        const Vector4 &v = values[i];
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        const float comps[4] = {v.x, v.y, v.z, v.w};
        PyObject *keys[4] = {g.s.x, g.s.y, g.s.z, g.s.w};
        for (int k = 0; k < 4; k++) {
            Ref f = Ref::steal(PyFloat_FromDouble(comps[k]));
            if (!f || PyDict_SetItem(d.get(), keys[k], f.get()) < 0) return nullptr;
        }
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), d.release());
    }
    return list.release();
}

// --- colour-list items -------------------------------------------------------------

bool item_weight(PyObject *item, Py_ssize_t index, float &out) {
    if (!is_weighted(item)) {
        out = 1.0f;
        return true;
    }
    PyObject *w = PyTuple_GET_ITEM(item, 1);
    double d = PyFloat_Check(w) ? PyFloat_AS_DOUBLE(w) : PyLong_AsDouble(w);
    if (d == -1.0 && PyErr_Occurred()) {
        explain_weight_error(ItemPlace{index, item});
        return false;
    }
    out = narrow(d);
    return true;
}

bool convert_color(Borrowed color, Vector4 &out, const ItemPlace &place) {
    if (color != Py_None && !PyTuple_CheckExact(color)) {
        colour_not_a_tuple(place, color);
        return false;
    }
    bool ok;
    out = to_vector4(color, ok, &place);
    return ok;
}

bool WeightBuffer::reserve(Py_ssize_t n) {
    if (n <= kInline) return true;
    if (!ksraygrad::reserve(heap_, n)) return false;
    on_heap_ = true;
    return true;
}

bool WeightBuffer::push(float w) {
    if (!on_heap_) {
        if (size_ < kInline) {
            inline_[size_++] = w;
            return true;
        }
        // The list grew past the stack room while it was converted.
        if (!ksraygrad::reserve(heap_, size_ * 2)) return false;
        heap_.assign(inline_, inline_ + size_);  // within capacity: cannot throw
        on_heap_ = true;
    }
    if (!append(heap_, w)) return false;
    size_++;
    return true;
}

}  // namespace ksraygrad
