// The two gradient classes: instance layouts, C method tables, and the
// operations their files share.
#pragma once

#include <Python.h>

#include <cstdint>
#include <vector>

#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"
#include "kesa_ui/fast/ksvector2/ksvector2.h"
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
    // Set only on a ClickGradient: `stops` are still to be computed from its
    // weights (see click_gradient.cpp). Whatever reads `stops` calls
    // current_stops() first.
    bool stops_stale;
};

struct ClickGradientObject {
    GradientRaylibObject base;
    std::vector<float> weights;
    // A tuple of Python floats equal to `weights`, or nullptr: the lists
    // that reading `weights` returns share these floats (a float is
    // immutable, so which equal one a list holds cannot matter). Dropped
    // whenever `weights` changes. It holds floats only, so it cannot be part
    // of a reference cycle and the collector need not see it.
    PyObject *weight_floats;
};

// `weights` as a new list; nullptr with an exception set.
PyObject *weights_list(ClickGradientObject *self);
// Replaces the weights by the converted `value` (any iterable of real
// numbers); the stops are not recomputed. 0, or -1 with the weights as they
// were.
int assign_weights(ClickGradientObject *self, PyObject *value);
// Drops the floats that no longer equal `weights`: call before changing them.
inline void forget_weight_floats(ClickGradientObject *self) { Py_CLEAR(self->weight_floats); }

// The constructors' rule for their `colors` argument: an exact list or None.
// False with TypeError otherwise.
bool colors_arg_ok(PyObject *colors);

extern PyTypeObject GradientRaylib_Type;
extern PyTypeObject ClickGradient_Type;
extern const GradientVTable gradient_raylib_vtable;
extern const GradientVTable click_gradient_vtable;

#define KS_QUALNAME(cls, member) KS_MODULE_NAME "." cls "." member

// A METH_FASTCALL | METH_KEYWORDS function as a method-table entry.
#define FASTCALL_KW(fn) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn))

inline ClickGradientObject *as_click(GradientRaylibObject *self) {
    return reinterpret_cast<ClickGradientObject *>(self);
}

// --- shared by both classes ------------------------------------------------

// GradientRaylib's allocation and destruction, which ClickGradient's extend
// with its weights.
PyObject *gradient_new(PyTypeObject *type, PyObject *args, PyObject *kwargs);
void gradient_dealloc(PyObject *obj);

struct Params;
// GradientRaylib.__init__ on an instance, with its traceback entry; `a`
// holds the six parameters (nullptr where omitted). 0, or -1.
int gradient_init_traced(GradientRaylibObject *self, PyObject *const *a, ks::Borrowed default_type);
const Params &gradient_init_params();
// Appends the converted colour of one colour-list item (a borrowed
// reference) to self->colors and, unless `weight` is nullptr, gives its
// weight. `serial` is self->colors_serial as the update began: when
// converting the item replaced the colours, nothing is appended and
// RuntimeError is raised.
bool append_item(GradientRaylibObject *self, uint32_t serial, PyObject *item, float *weight);
// TypeError("object of type 'NoneType' has no len()"); returns -1.
int no_len_error();

// --- stops -------------------------------------------------------------------

// Fills `stops` from `weights` (cleared first): false with MemoryError set
// when no room could be made.
bool compute_stops(const float *weights, size_t n, std::vector<float> &stops);

// ClickGradient._recalculate_stops on the instance (an override in a Python
// subclass is called): 0, or -1 with an exception set.
int call_recalculate_stops(GradientRaylibObject *self);

// Computes stale stops (cannot fail: their room was made when they were
// marked stale).
void compute_stale_stops(GradientRaylibObject *self);

// The gradient's stops, up to date.
inline const std::vector<float> &current_stops(GradientRaylibObject *self) {
    if (self->stops_stale) [[unlikely]]
        compute_stale_stops(self);
    return self->stops;
}

// --- shared resources (GradientRaylib._ensure_resources) ---------------------

int ensure_resources();
// _ensure_resources looked up on the instance: 0, or -1.
int call_ensure_resources(GradientRaylibObject *self);


// --- methods defined in other files, gathered into the method tables ---------

PyObject *gradient_ensure_resources(PyObject *cls, PyObject *const *args, size_t nargsf,
                                    PyObject *kwnames);
PyObject *gradient_generate_texture(PyObject *self, PyObject *const *args, size_t nargsf,
                                    PyObject *kwnames);
PyObject *click_draw(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames);
PyObject *gradient_reduce(PyObject *self, PyObject *const *args, size_t nargsf,
                          PyObject *kwnames);
PyObject *gradient_setstate(PyObject *self, PyObject *const *args, size_t nargsf,
                            PyObject *kwnames);
PyObject *click_reduce(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames);
PyObject *click_setstate(PyObject *self, PyObject *const *args, size_t nargsf,
                         PyObject *kwnames);

// The module functions __pyx_unpickle_GradientRaylib / _ClickGradient.
extern PyMethodDef unpickle_gradient_def;
extern PyMethodDef unpickle_click_def;

}  // namespace ksraygrad
