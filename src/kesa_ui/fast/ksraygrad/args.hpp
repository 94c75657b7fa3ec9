// The parameter lists of the module's Python-visible operations, bound with
// the shared binder (kesa_ui/native/args.hpp).
#pragma once

#include <Python.h>

#include "kesa_ui/native/args.hpp"

namespace ksraygrad {

using ks::bind_args;
using ks::bind_args_tuple;
using ks::no_args;
using ks::Params;

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

#define KS_DECLARE_PARAMS(id, fname, required, ...) extern Params id##_params;
KS_PARAMETER_LISTS(KS_DECLARE_PARAMS)
#undef KS_DECLARE_PARAMS

// Interns the names of every list: 0, or -1 with an exception set.
int intern_params();

}  // namespace ksraygrad
