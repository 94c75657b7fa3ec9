// The constructors' signatures, for inspect.signature and help().
#pragma once

#include <Python.h>

namespace ksraygrad {

// Puts a `__signature__` into the dict of `type` (a readied class whose
// constructor takes init_params): an inspect.Signature made on first use,
// with `*default_type` as the default of `type`, kept in `*cache` (in the
// register). 0, or -1 with an exception.
int add_signature(PyTypeObject *type, PyObject *const *default_type, PyObject **cache);

}  // namespace ksraygrad
