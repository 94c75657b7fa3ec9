// ClickGradient: the instance layout and what rendering and pickling use.
#pragma once

#include <Python.h>

#include <vector>

#include "kesa_ui/fast/ksraygrad/gradient_raylib.hpp"

namespace ksraygrad {

struct ClickGradientObject {
    GradientRaylibObject base;
    std::vector<float> weights;
};

extern PyTypeObject ClickGradient_Type;
extern const GradientVTable click_gradient_vtable;

inline ClickGradientObject *as_click(GradientRaylibObject *self) {
    return reinterpret_cast<ClickGradientObject *>(self);
}

// Replaces the weights by the converted `value` (any iterable of real
// numbers); the stops are not recomputed. 0, or -1 with the weights as they
// were.
int assign_weights(ClickGradientObject *self, PyObject *value);

}  // namespace ksraygrad
