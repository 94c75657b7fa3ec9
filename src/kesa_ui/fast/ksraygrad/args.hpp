// Binding vectorcall arguments to the fixed parameter lists of the module's
// Python-visible operations.
#pragma once

#include <Python.h>

#include <cassert>

namespace ksraygrad {

// Every parameter list, written once: X(id, function name for messages,
// number of required parameters, parameter names...). The names are
// interned at load (intern_params), and each list becomes a Params `<id>_params`.
#define KS_PARAMETER_LISTS(X)                                                                 \
    X(init, "__init__", 1, "colors", "type", "direction", "angle", "center", "transparency") \
    X(texture, "generate_texture", 2, "width", "height")                                     \
    X(set_weight, "set_weight", 2, "index", "weight")                                        \
    X(set_center, "set_center", 1, "center")                                                 \
    X(set_center_ksvec, "set_center_ksvec", 1, "center")                                     \
    X(draw, "draw", 4, "x", "y", "width", "height")                                          \
    X(setstate, "__setstate_cython__", 1, "__pyx_state")                                     \
    X(unpickle, "__pyx_unpickle", 3, "__pyx_type", "__pyx_checksum", "__pyx_state")

constexpr int kMaxParams = 6;

struct Params {
    const char *fname;               // for messages, e.g. "generate_texture"
    int required;                    // the first `required` parameters have no default
    int count;
    const char *texts[kMaxParams];   // the parameter names
    PyObject *names[kMaxParams];     // the same, interned at load
};

#define KS_DECLARE_PARAMS(id, fname, required, ...) extern Params id##_params;
KS_PARAMETER_LISTS(KS_DECLARE_PARAMS)
#undef KS_DECLARE_PARAMS

// Interns every parameter name that is not interned yet: 0, or -1 with an
// exception set (a retried load makes only what is missing).
int intern_params();

// Fills out[0..count) with borrowed references (nullptr where a parameter
// with a default was not given). Raises the usual TypeErrors for too many
// positional arguments, unknown or repeated keywords and missing arguments.
bool bind_args_slow(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                    PyObject **out);

// `out` has one slot per parameter of `p`; its size, known here, makes the
// common call (every parameter given by position) a fixed copy.
template <size_t N>
inline bool bind_args(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                      PyObject *(&out)[N]) {
    assert(p.count == static_cast<int>(N));
    if (kwnames == nullptr && PyVectorcall_NARGS(nargsf) == static_cast<Py_ssize_t>(N)) {
        for (size_t i = 0; i < N; i++) out[i] = args[i];
        return true;
    }
    return bind_args_slow(p, args, nargsf, kwnames, out);
}

// The same for a single parameter.
inline bool bind_args(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                      PyObject *&out) {
    assert(p.count == 1);
    if (kwnames == nullptr && PyVectorcall_NARGS(nargsf) == 1) {
        out = args[0];
        return true;
    }
    return bind_args_slow(p, args, nargsf, kwnames, &out);
}

// Tuple-and-dict form, for tp_init: the same rules.
bool bind_args_tuple(const Params &p, PyObject *args, PyObject *kwargs, PyObject **out);

// Raises TypeError unless no argument at all was given.
bool no_args(const char *fname, size_t nargsf, PyObject *kwnames);

// A METH_FASTCALL | METH_KEYWORDS function as a method-table entry.
#define FASTCALL_KW(fn) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn))

}  // namespace ksraygrad
