// Binding vectorcall arguments to a fixed parameter list.
#pragma once

#include <Python.h>

namespace ksraygrad {

struct Params {
    const char *fname;     // for messages, e.g. "generate_texture"
    PyObject *const *names;  // interned parameter names (pointers into Globals)
    int count;
    int required;          // the first `required` parameters have no default
};

// Fills out[0..count) with borrowed references (nullptr where a parameter
// with a default was not given). Raises the usual TypeErrors for too many
// positional arguments, unknown or repeated keywords and missing arguments.
bool bind_args_slow(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                    PyObject **out);

inline bool bind_args(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                      PyObject **out) {
    // The common call: every parameter given by position.
    if (kwnames == nullptr && PyVectorcall_NARGS(nargsf) == p.count) {
        for (int i = 0; i < p.count; i++) out[i] = args[i];
        return true;
    }
    return bind_args_slow(p, args, nargsf, kwnames, out);
}

// Tuple-and-dict form, for tp_init: the same rules.
bool bind_args_tuple(const Params &p, PyObject *args, PyObject *kwargs, PyObject **out);

// Raises TypeError unless no argument at all was given.
bool no_args(const char *fname, size_t nargsf, PyObject *kwnames);

}  // namespace ksraygrad
