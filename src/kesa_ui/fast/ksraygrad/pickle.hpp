// Pickle support: both classes' reduce and set-state methods, and the
// module-level reconstructors.
#pragma once

#include <Python.h>

namespace ksraygrad {

PyObject *gradient_reduce(PyObject *self, PyObject *const *args, size_t nargsf,
                          PyObject *kwnames);
PyObject *gradient_setstate(PyObject *self, PyObject *const *args, size_t nargsf,
                            PyObject *kwnames);
PyObject *click_reduce(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames);
PyObject *click_setstate(PyObject *self, PyObject *const *args, size_t nargsf,
                         PyObject *kwnames);

// __pyx_unpickle_GradientRaylib / __pyx_unpickle_ClickGradient.
extern PyMethodDef unpickle_gradient_def;
extern PyMethodDef unpickle_click_def;

}  // namespace ksraygrad
