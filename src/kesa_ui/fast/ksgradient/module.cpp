// kesa_ui.fast.ksgradient.ksgradient: the richer gradients (class Gradient),
// on the platform's layers beside the contract's gradient module and
// sharing nothing of its shader or state.
//
// The exec hook binds the raylib binding's C table and the sibling types'
// C tables, interns the names, and publishes the class. What it binds is
// kept for the process; a failed exec can be retried by importing again.
#include "kesa_ui/core/rl_api.h"  // first: raylib.h
#include "kesa_ui/fast/ksgradient/render.hpp"
#include "kesa_ui/fast/ksgradient/state.hpp"
#include "kesa_ui/native/capi.hpp"
#include "kesa_ui/native/module.hpp"

namespace ksgradient {

Bound bound;
Names names;

int intern_gradient_params();  // gradient.cpp

namespace {

template <typename Table>
int bind_type(const char *module, const char *name, size_t declared, PyTypeObject *&type,
              const Table *&table) {
    if (type != nullptr) return 0;
    PyTypeObject *found = ks::import_type(module, name, declared);
    if (found == nullptr) return -1;
    const void *vtable = ks::type_vtable(found);
    if (vtable == nullptr) {
        Py_DECREF(found);
        return -1;
    }
    type = found;  // held for good
    table = static_cast<const Table *>(vtable);
    return 0;
}

int intern_all(PyObject **slots, const char *const *texts, int n) {
    for (int i = 0; i < n; i++) {
        if (slots[i] == nullptr && (slots[i] = PyUnicode_InternFromString(texts[i])) == nullptr)
            return -1;
    }
    return 0;
}

int exec_module(PyObject *module) {
    static const char *const kinds[kKinds] = {"linear", "radial", "conic"};
    static const char *const shapes[kShapes] = {"circle", "ellipse"};
    static const char *const extents[kExtentNames] = {"closest-side", "closest-corner",
                                                      "farthest-side", "farthest-corner"};
    static const char *const spreads[kSpreads] = {"pad", "repeat", "reflect"};
    static const char *const spaces[kSpaces] = {"srgb", "srgb-linear", "oklab", "oklch"};
    static const char *const hues[kHues] = {"shorter", "longer", "increasing", "decreasing"};
    if (intern_all(names.kinds, kinds, kKinds) < 0 || intern_all(names.shapes, shapes, kShapes) < 0 ||
        intern_all(names.extents, extents, kExtentNames) < 0 ||
        intern_all(names.spreads, spreads, kSpreads) < 0 ||
        intern_all(names.spaces, spaces, kSpaces) < 0 || intern_all(names.hues, hues, kHues) < 0 ||
        intern_render_params() < 0 ||
        intern_gradient_params() < 0)
        return -1;
    if (bound.rl == nullptr) {
        const KsRlApi *rl = ks_rl_import();
        if (rl == nullptr) return -1;
        bound.rl = rl;
    }
    if (bind_type("kesa_ui.fast.ksvector2.ksvector2", "KsVector2", sizeof(KsVector2Object),
                  bound.KsVector2, bound.vec2_vt) < 0 ||
        bind_type("kesa_ui.fast.ksrendertex.ks_render_tex", "KsRenderTexture",
                  sizeof(KsRenderTextureObject), bound.KsRenderTexture, bound.rtex_vt) < 0 ||
        bind_type("kesa_ui.fast.ksshader.ksshader", "KsShader", sizeof(KsShaderObject),
                  bound.KsShader, bound.shader_vt) < 0)
        return -1;
    if (PyType_Ready(&Gradient_Type) < 0) return -1;
    return PyModule_AddObjectRef(module, "Gradient", reinterpret_cast<PyObject *>(&Gradient_Type));
}

}  // namespace

}  // namespace ksgradient

KS_DEFINE_MODULE(ksgradient, "kesa_ui.fast.ksgradient.ksgradient",
                 "Richer gradients drawn by the GPU: conic, elliptical and focal radial, repeating "
                 "and reflected, with stop positions (class Gradient).",
                 nullptr, ksgradient::exec_module, nullptr)
