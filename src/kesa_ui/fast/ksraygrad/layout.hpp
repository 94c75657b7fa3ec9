// The two classes' instance layouts and type objects: what every file that
// reads a gradient's fields needs, and nothing of what the classes do.
#pragma once

#include <Python.h>

#include <cstdint>
#include <vector>

#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"

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

struct ClickGradientObject {
    GradientRaylibObject base;
    std::vector<float> weights;
};

extern PyTypeObject ClickGradient_Type;
extern const GradientVTable click_gradient_vtable;

inline ClickGradientObject *as_click(GradientRaylibObject *self) {
    return reinterpret_cast<ClickGradientObject *>(self);
}

}  // namespace ksraygrad
