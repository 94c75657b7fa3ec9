// GradientRaylib: what ClickGradient reuses of the class (its allocation,
// its constructor, its colour rule).
#pragma once

#include <Python.h>

#include <cstdint>

#include "kesa_ui/fast/ksraygrad/layout.hpp"
#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

// Allocation and destruction, which ClickGradient's extend with its weights.
PyObject *gradient_new(PyTypeObject *type, PyObject *args, PyObject *kwargs);
void gradient_dealloc(PyObject *obj);

// GradientRaylib.__init__ on an instance, with its traceback entry; `a`
// holds the six parameters of init_params (nullptr where omitted), and
// `default_type` stands in for an omitted type. 0, or -1.
int gradient_init_traced(GradientRaylibObject *self, PyObject *const *a, ks::Borrowed default_type);

// The constructors' rule for their `colors` argument: an exact list or None.
// False with TypeError otherwise.
bool colors_arg_ok(PyObject *colors);

// Appends the converted colour of colour-list item `index` (a borrowed
// reference) to self->colors and, unless `weight` is nullptr, gives its
// weight. `serial` is self->colors_serial as the update began: when
// converting the item replaced the colours, nothing is appended and
// RuntimeError is raised.
bool append_item(GradientRaylibObject *self, uint32_t serial, Py_ssize_t index, PyObject *item,
                 float *weight);

// TypeError("object of type 'NoneType' has no len()"); returns -1.
int no_len_error();

}  // namespace ksraygrad
