// The shared shader resources (GradientRaylib._ensure_resources).
#pragma once

#include <Python.h>

#include "kesa_ui/fast/ksraygrad/layout.hpp"

namespace ksraygrad {

// Makes whatever of the shared resources is missing: 0, or -1.
int ensure_resources();

// _ensure_resources looked up on the instance (a Python subclass may
// replace it): 0, or -1.
int call_ensure_resources(GradientRaylibObject *self);

// The class method itself.
PyObject *gradient_ensure_resources(PyObject *cls, PyObject *const *args, size_t nargsf,
                                    PyObject *kwnames);

}  // namespace ksraygrad
