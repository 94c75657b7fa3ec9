// GradientRaylib: the instance layout, the table of native virtual
// operations, and what ClickGradient reuses of the class.
#pragma once

#include <Python.h>

#include <cstdint>
#include <vector>

#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"
#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

struct GradientRaylibObject;

// The classes' table of native virtual operations (one slot).
struct GradientVTable {
    // Rebuilds _colors and _stops (and, for ClickGradient, weights) from a
    // colour list or None: 0, or -1 with an exception set.
    int (*update_colors)(GradientRaylibObject *self, PyObject *colors);
};

struct GradientRaylibObject {
    PyObject_HEAD
    const GradientVTable *vtab;
    PyObject *raw_colors;  // a list or None
    int transparency;
    float angle;
    PyObject *center;  // a KsVector2, or None before __init__ / after clearing
    PyObject *type;
    std::vector<Vector4> colors;
    std::vector<float> stops;
    // Counts the replacements of `colors`: a colour update that ran Python
    // code (converting an item) checks it to notice that this code updated
    // the gradient itself, and stops instead of mixing the two updates.
    uint32_t colors_serial;
};

extern PyTypeObject GradientRaylib_Type;
extern const GradientVTable gradient_raylib_vtable;

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
