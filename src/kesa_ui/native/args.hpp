// Binding the arguments of a vectorcall (METH_FASTCALL | METH_KEYWORDS)
// function, shared by every module. Three rules, chosen per function:
//
// - bind_args: named parameters, given by position or keyword, with the
//   TypeErrors of CPython's own functions ("takes at most 2 positional
//   arguments", "got an unexpected keyword argument", "missing required
//   argument"). The parameter list is a Params.
// - bind_positional: positional-only parameters, with the TypeErrors of
//   PyArg_ParseTuple ("takes exactly 2 arguments (1 given)", "takes no
//   keyword arguments").
// - bind_keywords: parameters given by position or keyword, with the
//   TypeErrors of PyArg_ParseTupleAndKeywords ("takes at most 2 arguments
//   (3 given)", "argument for f() given by name ('x') and position (1)")
//   and its order: each parameter in turn is converted (so a bad value is
//   reported before a missing or unknown keyword), then leftover keywords
//   are judged.
//
// bind_args fills an array of borrowed references; its common call (every
// parameter given by position) is a fixed copy. The other two take a
// converter per parameter (to_object, to_int, to_float, ...), which keep
// PyArg_ParseTuple's messages for its conversions.
#pragma once

#include <Python.h>

#include <cassert>
#include <climits>
#include <cstring>
#include <utility>

#include "kesa_ui/native/number.hpp"
#include "kesa_ui/native/ref.hpp"

namespace ks {

constexpr int kMaxParams = 6;

struct Params {
    const char *fname;               // for messages, e.g. "generate_texture"
    int required;                    // the first `required` parameters have no default
    int count;
    const char *texts[kMaxParams];   // the parameter names
    PyObject *names[kMaxParams];     // the same, interned at load (intern_params)
};

// Interns every name of the lists not interned yet: 0, or -1 with an
// exception set (a retried load makes only what is missing).
inline int intern_params(Params *const *lists, size_t n) {
    for (size_t l = 0; l < n; l++) {
        Params *p = lists[l];
        for (int i = 0; i < p->count; i++) {
            if (p->names[i] == nullptr && !(p->names[i] = PyUnicode_InternFromString(p->texts[i])))
                return -1;
        }
    }
    return 0;
}

namespace args_detail {

inline int find_param(const Params &p, PyObject *key) {
    for (int i = 0; i < p.count; i++) {
        if (p.names[i] == key) return i;  // keyword names are usually interned
    }
    for (int i = 0; i < p.count; i++) {
        int eq = PyUnicode_Compare(p.names[i], key);
        if (eq == 0) return i;
        if (eq == -1 && PyErr_Occurred()) return -2;
    }
    return -1;
}

inline bool bind_keyword(const Params &p, PyObject *key, PyObject *value, PyObject **out) {
    if (!PyUnicode_Check(key)) {
        PyErr_Format(PyExc_TypeError, "%s() keywords must be strings", p.fname);
        return false;
    }
    int i = find_param(p, key);
    if (i == -2) return false;
    if (i < 0) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", p.fname,
                     key);
        return false;
    }
    if (out[i] != nullptr) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%U'", p.fname, key);
        return false;
    }
    out[i] = value;
    return true;
}

inline bool check_positional(const Params &p, Py_ssize_t nargs) {
    if (nargs <= p.count) return true;
    PyErr_Format(PyExc_TypeError, "%s() takes %s %d positional argument%s (%zd given)", p.fname,
                 p.required == p.count ? "exactly" : "at most", p.count,
                 p.count == 1 ? "" : "s", nargs);
    return false;
}

inline bool check_required(const Params &p, PyObject **out) {
    for (int i = 0; i < p.required; i++) {
        if (out[i] == nullptr) {
            PyErr_Format(PyExc_TypeError, "%s() missing required argument '%U' (pos %d)",
                         p.fname, p.names[i], i + 1);
            return false;
        }
    }
    return true;
}

// Every call but the common one.
[[gnu::noinline]] inline bool bind_slow(const Params &p, PyObject *const *args, size_t nargsf,
                                        PyObject *kwnames, PyObject **out) {
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    if (!check_positional(p, nargs)) return false;
    for (int i = 0; i < p.count; i++) out[i] = i < nargs ? args[i] : nullptr;
    if (kwnames != nullptr) {
        Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < nkw; k++) {
            if (!bind_keyword(p, PyTuple_GET_ITEM(kwnames, k), args[nargs + k], out)) return false;
        }
    }
    return check_required(p, out);
}

[[gnu::noinline]] inline bool positional_error(const char *fname, Py_ssize_t count,
                                               Py_ssize_t nargs, PyObject *kwnames) {
    if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) > 0)
        PyErr_Format(PyExc_TypeError, "%s() takes no keyword arguments", fname);
    else
        PyErr_Format(PyExc_TypeError, "%s() takes exactly %zd argument%s (%zd given)", fname,
                     count, count == 1 ? "" : "s", nargs);
    return false;
}

// What PyArg_ParseTuple calls a value's type in its messages.
inline const char *type_name(PyObject *obj) {
    return obj == Py_None ? "None" : Py_TYPE(obj)->tp_name;
}

}  // namespace args_detail

// Named parameters: `out` has one slot per parameter of `p` (nullptr where
// a parameter with a default was not given). Raises the usual TypeErrors
// for too many positional arguments, unknown or repeated keywords and
// missing arguments.
template <size_t N>
inline bool bind_args(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                      PyObject *(&out)[N]) {
    assert(p.count == static_cast<int>(N));
    if (kwnames == nullptr && PyVectorcall_NARGS(nargsf) == static_cast<Py_ssize_t>(N)) {
        for (size_t i = 0; i < N; i++) out[i] = args[i];
        return true;
    }
    return args_detail::bind_slow(p, args, nargsf, kwnames, out);
}

// The same for a single parameter.
inline bool bind_args(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                      PyObject *&out) {
    assert(p.count == 1);
    if (kwnames == nullptr && PyVectorcall_NARGS(nargsf) == 1) {
        out = args[0];
        return true;
    }
    return args_detail::bind_slow(p, args, nargsf, kwnames, &out);
}

// Tuple-and-dict form, for tp_init: the same rules.
inline bool bind_args_tuple(const Params &p, PyObject *args, PyObject *kwargs, PyObject **out) {
    Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    if (!args_detail::check_positional(p, nargs)) return false;
    for (int i = 0; i < p.count; i++) out[i] = i < nargs ? PyTuple_GET_ITEM(args, i) : nullptr;
    if (kwargs != nullptr) {
        Py_ssize_t pos = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            if (!args_detail::bind_keyword(p, key, value, out)) return false;
        }
    }
    return args_detail::check_required(p, out);
}

// Raises TypeError unless no argument at all was given.
inline bool no_args(const char *fname, size_t nargsf, PyObject *kwnames) {
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    if (nargs > 0) {
        PyErr_Format(PyExc_TypeError, "%s() takes no positional arguments (%zd given)", fname,
                     nargs);
        return false;
    }
    if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) > 0) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", fname,
                     PyTuple_GET_ITEM(kwnames, 0));
        return false;
    }
    return true;
}

namespace args_detail {

template <size_t... I, typename... Convert>
bool convert_each(const char *fname, PyObject *const *args, std::index_sequence<I...>,
                  const Convert &...convert) {
    return (convert(args[I], fname, static_cast<int>(I) + 1) && ...);
}

}  // namespace args_detail

// Positional-only parameters, one converter each (to_object, to_int, ...),
// converted in order.
template <typename... Convert>
inline bool bind_positional(const char *fname, PyObject *const *args, size_t nargsf,
                            PyObject *kwnames, const Convert &...convert) {
    constexpr Py_ssize_t n = sizeof...(Convert);
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    if ((kwnames != nullptr && PyTuple_GET_SIZE(kwnames) > 0) || nargs != n) [[unlikely]]
        return args_detail::positional_error(fname, n, nargs, kwnames);
    return args_detail::convert_each(fname, args, std::index_sequence_for<Convert...>{},
                                     convert...);
}

// --- PyArg_ParseTupleAndKeywords' rule ------------------------------------------------

namespace args_detail {

// The keyword arguments of a call: a vectorcall's names and values, or a
// dict. Looked up by each parameter's text, as PyArg_ParseTupleAndKeywords
// does, so these parameter lists need no interned names.
struct Keywords {
    PyObject *names = nullptr;          // vectorcall: a tuple of str, or nullptr
    PyObject *const *values = nullptr;  // vectorcall: the values, in the names' order
    PyObject *dict = nullptr;           // tuple-and-dict call: a dict, or nullptr

    Py_ssize_t count() const {
        if (names != nullptr) return PyTuple_GET_SIZE(names);
        return dict != nullptr ? PyDict_GET_SIZE(dict) : 0;
    }

    // The value given for `text`: a new reference in *out, nullptr there if
    // none was given; false with an exception set on error.
    bool find(const char *text, PyObject **out) const {
        *out = nullptr;
        if (dict != nullptr) return PyDict_GetItemStringRef(dict, text, out) >= 0;
        for (Py_ssize_t k = 0; k < count(); k++) {
            if (PyUnicode_EqualToUTF8(PyTuple_GET_ITEM(names, k), text)) {
                *out = Py_NewRef(values[k]);
                break;
            }
        }
        return true;
    }

    // f(name) for each keyword's name in order, until f returns false;
    // whether every call returned true. f runs no Python code.
    template <typename F>
    bool each_name(F f) const {
        if (names != nullptr) {
            for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(names); k++) {
                if (!f(PyTuple_GET_ITEM(names, k))) return false;
            }
            return true;
        }
        Py_ssize_t pos = 0;
        PyObject *key;
        while (dict != nullptr && PyDict_Next(dict, &pos, &key, nullptr)) {
            if (!f(key)) return false;
        }
        return true;
    }
};

// Keywords left over once every parameter was bound: one that repeats a
// positional argument, one that is not a str, or one no parameter has.
[[gnu::noinline]] inline bool leftover_keywords(const Params &p, Py_ssize_t nargs,
                                                const Keywords &kw) {
    for (int i = 0; i < nargs; i++) {
        PyObject *given;
        if (!kw.find(p.texts[i], &given)) return false;
        if (given != nullptr) {
            Py_DECREF(given);
            PyErr_Format(PyExc_TypeError,
                         "argument for %s() given by name ('%s') and position (%d)", p.fname,
                         p.texts[i], i + 1);
            return false;
        }
    }
    const bool all_known = kw.each_name([&p](PyObject *key) {
        if (!PyUnicode_Check(key)) {
            PyErr_SetString(PyExc_TypeError, "keywords must be strings");
            return false;
        }
        for (int i = 0; i < p.count; i++) {
            if (PyUnicode_EqualToUTF8(key, p.texts[i])) return true;
        }
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", p.fname,
                     key);
        return false;
    });
    if (all_known) PyErr_Format(PyExc_TypeError, "invalid keyword argument for %s()", p.fname);
    return false;
}

// Parameter i: its value from the positional arguments or the keywords,
// converted; absent, fine if it has a default.
template <typename Convert>
bool bind_one(const Params &p, int i, PyObject *const *args, Py_ssize_t nargs,
              const Keywords &kw, Py_ssize_t nkw, Py_ssize_t &used, const Convert &convert) {
    if (i < nargs) return convert(args[i], p.fname, i + 1);
    if (used < nkw) {
        PyObject *given;
        if (!kw.find(p.texts[i], &given)) return false;
        if (given != nullptr) {
            used++;
            bool ok = convert(given, p.fname, i + 1);
            Py_DECREF(given);  // the call's own arguments still hold it
            return ok;
        }
    }
    if (i >= p.required) return true;
    PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %d)", p.fname,
                 p.texts[i], i + 1);
    return false;
}

template <typename... Convert>
bool bind_keywords(const Params &p, PyObject *const *args, Py_ssize_t nargs, const Keywords &kw,
                   const Convert &...convert) {
    assert(p.count == static_cast<int>(sizeof...(Convert)));
    // Counted once, as PyArg_ParseTupleAndKeywords does: a converter may
    // change a dict its caller kept.
    const Py_ssize_t nkw = kw.count();
    const Py_ssize_t given = nargs + nkw;
    if (given > p.count) [[unlikely]] {
        PyErr_Format(PyExc_TypeError, "%s() takes at most %d %sargument%s (%zd given)", p.fname,
                     p.count, nargs == 0 ? "keyword " : "", p.count == 1 ? "" : "s", given);
        return false;
    }
    int i = 0;
    Py_ssize_t used = 0;
    if (!(bind_one(p, i++, args, nargs, kw, nkw, used, convert) && ...)) return false;
    return used == nkw || leftover_keywords(p, nargs, kw);
}

}  // namespace args_detail

// A vectorcall's arguments, one converter per parameter of `p`.
template <typename... Convert>
bool bind_keywords(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                   const Convert &...convert) {
    const Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    return args_detail::bind_keywords(p, args, nargs, {kwnames, args + nargs, nullptr},
                                      convert...);
}

// A tuple-and-dict call's (tp_new, METH_VARARGS | METH_KEYWORDS).
template <typename... Convert>
bool bind_keywords_tuple(const Params &p, PyObject *args, PyObject *kwargs,
                         const Convert &...convert) {
    return args_detail::bind_keywords(p, PySequence_Fast_ITEMS(args), PyTuple_GET_SIZE(args),
                                      {nullptr, nullptr, kwargs}, convert...);
}

// --- conversions with PyArg_ParseTuple's messages ------------------------------------

// A C int through __index__ (its "i").
inline bool arg_int(PyObject *obj, int *out) {
    long v = PyLong_AsLong(obj);
    if (v == -1 && PyErr_Occurred()) return false;
    if (v > INT_MAX || v < INT_MIN) {
        PyErr_SetString(PyExc_OverflowError, v > INT_MAX ? "signed integer is greater than maximum"
                                                         : "signed integer is less than minimum");
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

// A C float through __float__ (its "f"; beyond float's range an infinity,
// what its plain cast gives on our targets, without the cast's undefined
// behaviour).
inline bool arg_float(PyObject *obj, float *out) {
    double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) return false;
    *out = narrow(v);
    return true;
}

// A str, as itself (its "U"); argument `pos` (from 1) of `fname`.
inline bool arg_unicode(const char *fname, int pos, PyObject *obj) {
    if (PyUnicode_Check(obj)) return true;
    PyErr_Format(PyExc_TypeError, "%s() argument %d must be str, not %.50s", fname, pos,
                 args_detail::type_name(obj));
    return false;
}

// A str as UTF-8 without NUL characters (its "s"), valid while `obj` lives.
inline bool arg_str(const char *fname, int pos, PyObject *obj, const char **out) {
    if (!arg_unicode(fname, pos, obj)) return false;
    Py_ssize_t length;
    const char *s = PyUnicode_AsUTF8AndSize(obj, &length);
    if (s == nullptr) return false;
    if (std::strlen(s) != static_cast<size_t>(length)) {
        PyErr_SetString(PyExc_ValueError, "embedded null character");
        return false;
    }
    *out = s;
    return true;
}

// Converters for bind_positional and bind_keywords, one per parameter: the
// object itself ("O"), a C int ("i"), a C float ("f"), a C double ("d"), a
// str ("U"), a str as UTF-8 ("s"), a path as bytes ("O&" with
// PyUnicode_FSConverter), a sequence of N numbers as C floats ("(ffff)").
// Each leaves its target alone when the parameter is absent, so the
// target's initial value is the default.
struct to_object {
    PyObject **out;
    bool operator()(PyObject *obj, const char *, int) const {
        *out = obj;
        return true;
    }
};

struct to_int {
    int *out;
    bool operator()(PyObject *obj, const char *, int) const { return arg_int(obj, out); }
};

struct to_unicode {
    PyObject **out;
    bool operator()(PyObject *obj, const char *fname, int pos) const {
        if (!arg_unicode(fname, pos, obj)) return false;
        *out = obj;
        return true;
    }
};

struct to_str {
    const char **out;  // valid while the argument lives
    bool operator()(PyObject *obj, const char *fname, int pos) const {
        return arg_str(fname, pos, obj, out);
    }
};

struct to_path {
    Ref *out;  // the path's bytes
    bool operator()(PyObject *obj, const char *, int) const {
        PyObject *bytes = nullptr;
        if (!PyUnicode_FSConverter(obj, &bytes)) return false;
        *out = Ref::steal(bytes);
        return true;
    }
};

struct to_float {
    float *out;
    bool operator()(PyObject *obj, const char *, int) const { return arg_float(obj, out); }
};

struct to_double {
    double *out;
    bool operator()(PyObject *obj, const char *, int) const {
        double v = as_double(obj);
        if (v == -1.0 && PyErr_Occurred()) return false;
        *out = v;
        return true;
    }
};

template <Py_ssize_t N>
struct to_floats {
    float *out;  // N of them
    bool operator()(PyObject *obj, const char *fname, int pos) const {
        if (!PySequence_Check(obj) || PyUnicode_Check(obj) || PyBytes_Check(obj) ||
            PyByteArray_Check(obj)) {
            PyErr_Format(PyExc_TypeError, "%s() argument %d must be %zd-item tuple, not %.50s",
                         fname, pos, N, args_detail::type_name(obj));
            return false;
        }
        // A sequence other than a tuple is measured, then read into one (which
        // may find another length).
        PyObject *items = obj;
        Ref read;
        if (!PyTuple_Check(obj)) {
            Py_ssize_t size = PySequence_Size(obj);
            if (size == -1 && PyErr_Occurred()) return false;
            if (size != N) {
                PyErr_Format(PyExc_TypeError,
                             "%s() argument %d must be sequence of length %zd, not %zd", fname, pos,
                             N, size);
                return false;
            }
            read = Ref::steal(PySequence_Tuple(obj));
            if (!read) return false;
            items = read.get();
        }
        // A tuple argument is held by the call, and its items by the tuple.
        if (PyTuple_GET_SIZE(items) != N) {
            PyErr_Format(PyExc_TypeError, "%s() argument %d must be tuple of length %zd, not %zd",
                         fname, pos, N, PyTuple_GET_SIZE(items));
            return false;
        }
        for (Py_ssize_t i = 0; i < N; i++) {
            if (!arg_float(PyTuple_GET_ITEM(items, i), &out[i])) return false;
        }
        return true;
    }
};

}  // namespace ks

// A function of any calling convention as a method-table entry.
#define KS_CFUNCTION(fn) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn))
