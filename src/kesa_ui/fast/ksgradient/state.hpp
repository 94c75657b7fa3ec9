// Module-wide state of kesa_ui.fast.ksgradient.ksgradient: what the exec
// hook binds and makes, kept for the life of the process.
#pragma once

#include <Python.h>

#include "kesa_ui/fast/ksgradient/model.hpp"
#include "kesa_ui/fast/ksrendertex/ks_render_tex.h"
#include "kesa_ui/fast/ksshader/ksshader.h"
#include "kesa_ui/fast/ksvector2/ksvector2.h"

struct KsRlApi;  // kesa_ui/core/rl_api.h

namespace ksgradient {

struct Bound {
    const KsRlApi *rl;  // the raylib binding's C table
    PyTypeObject *KsVector2, *KsRenderTexture, *KsShader;  // strong references
    const KsVector2VTable *vec2_vt;
    const KsRenderTextureVTable *rtex_vt;
    const KsShaderVTable *shader_vt;
};

// The names of the choices, interned, in the order of their enums.
struct Names {
    PyObject *kinds[kKinds];
    PyObject *shapes[kShapes];
    PyObject *extents[kExtentNames];
    PyObject *spreads[kSpreads];
    PyObject *spaces[kSpaces];
    PyObject *hues[kHues];
};

extern Bound bound;
extern Names names;
extern PyTypeObject Gradient_Type;

struct GradientObject {
    PyObject_HEAD
    Model model;  // made by tp_new with placement new, destroyed by tp_dealloc
};

inline Model &model_of(PyObject *self) { return reinterpret_cast<GradientObject *>(self)->model; }

}  // namespace ksgradient
