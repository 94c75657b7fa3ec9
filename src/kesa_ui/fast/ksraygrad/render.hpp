// Rendering: GradientRaylib.generate_texture and ClickGradient.draw.
#pragma once

#include <Python.h>

namespace ksraygrad {

PyObject *gradient_generate_texture(PyObject *self, PyObject *const *args, size_t nargsf,
                                    PyObject *kwnames);
PyObject *click_draw(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames);

}  // namespace ksraygrad
