// Rendering a Gradient: onto the current target (draw) and into a new
// render texture (generate_texture), through the module's own shader.
#pragma once

#include <Python.h>

namespace ksgradient {

PyObject *gradient_draw(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames);
PyObject *gradient_generate_texture(PyObject *self, PyObject *const *args, size_t nargsf,
                                    PyObject *kwnames);

// Interns the parameter names: 0, or -1 with an exception set.
int intern_render_params();

}  // namespace ksgradient
