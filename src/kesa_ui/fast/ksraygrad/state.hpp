// Module-wide state of kesa_ui.fast.ksraygrad.ksraygrad.
//
// One interpreter per process may load the module, so everything lives in
// process-wide static storage: the bound sibling types and C functions, the
// constants made once at load, and the shared rendering state (the gradient
// shader, the blank texture and the eight uniform locations).
#pragma once

#include <Python.h>

#include <cstdint>

#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"
#include "kesa_ui/fast/ksrect/ksrect.h"
#include "kesa_ui/fast/ksrendertex/ks_render_tex.h"
#include "kesa_ui/fast/ksshader/ksshader.h"
#include "kesa_ui/fast/ksvector2/ksvector2.h"
#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

using ks::Borrowed;
using ks::Ref;

#define KS_MODULE_NAME "kesa_ui.fast.ksraygrad.ksraygrad"

// The fourteen bound C functions of the raylib wrapper.
struct RaylibFunctions {
#define KS_FN_FIELD(name, ret, params) ks_raylib::name##_fn name;
    KS_RAYLIB_FUNCTIONS(KS_FN_FIELD)
#undef KS_FN_FIELD
};

// Interned strings, made once at load; each member is named after its text,
// except `white` ("WHITE", a macro of raylib.h, which module.cpp includes).
struct Strings {
    PyObject *gradientType, *angle, *centerPos, *colors, *stops, *colorCount, *alpha, *size;
    PyObject *x, *y, *z, *w, *name, *dict, *update, *new_, *init;
    PyObject *ensure_resources, *recalculate_stops;
    PyObject *md, *GradientShader, *GradientPygame, *GradientType, *Linear, *Radial;
    PyObject *VERTEX_SHADER, *FRAGMENT_SHADER, *rl, *gen_image_color, *load_texture_from_image,
        *unload_image, *white, *BlendMode, *BLEND_ALPHA_PREMULTIPLY;
    PyObject *unpickle_gradient, *unpickle_click, *pickle, *PickleError;
};

// Parameter names of the Python-visible operations, in order.
struct ParamNames {
    PyObject *init[6];         // colors, type, direction, angle, center, transparency
    PyObject *texture[2];      // width, height
    PyObject *set_weight[2];   // index, weight
    PyObject *center[1];       // center
    PyObject *draw[4];         // x, y, width, height
    PyObject *setstate[1];     // __pyx_state
    PyObject *unpickle[3];     // __pyx_type, __pyx_checksum, __pyx_state
};

struct Globals {
    PyObject *module;       // the one module object, once created
    PyObject *module_dict;  // borrowed from `module`
    PyObject *builtins;     // the builtins module
    PyObject *super;        // builtin super

    // Sibling types and their C method tables.
    PyTypeObject *KsVector2;
    // The bound KsVector2 is a static type without instance dictionaries and
    // with the generic attribute lookup: its x and y are its fields.
    bool vec2_attributes_fixed;
    PyTypeObject *KsRect;
    PyTypeObject *KsRenderTexture;
    PyTypeObject *KsShader;
    const KsVector2VTable *vec2_vt;
    const KsRenderTextureVTable *rtex_vt;
    const KsShaderVTable *shader_vt;
    RaylibFunctions fn;

    Strings s;
    ParamNames p;

    // Constants.
    PyObject *int_255;
    PyObject *center_default;  // (0.5, 0.5)
    PyObject *clear_color;     // (0, 0, 0, 0)
    PyObject *origin;          // (0, 0)
    PyObject *white_tint;      // (255, 255, 255, 255)
    PyObject *source_rect;     // (0, 0, 1, 1)
    PyObject *angle_table;     // direction name -> angle (float)
    PyObject *center_table;    // direction name -> centre pair
    PyObject *default_linear;  // GradientType.Linear, read at load
    PyObject *default_radial;  // GradientType.Radial, read at load

    // The current GL context generation, kept by the raylib binding: it
    // changes whenever a window opens or closes.
    const uint64_t *context_generation;

    // Shared rendering state, made for the context of `resources_generation`.
    PyObject *shared_shader;          // a KsShader, or None
    PyObject *shared_blank_texture;   // an rl.Texture, or None
    int loc_type, loc_angle, loc_center, loc_colors, loc_stops, loc_count, loc_alpha, loc_size;
    uint64_t resources_generation;
};

extern Globals g;

// Made once at load: 0, or -1 with an exception set.
int make_strings();
int make_numbers();
int make_tuples();

// Looks `name` up in the module's namespace, then in the builtins: empty
// with NameError (or the lookup's error) set when it is in neither.
Ref lookup_global(PyObject *name);

// `GradientType.Linear` / `.Radial`, looked up at this moment.
Ref current_kind(PyObject *member_name);

// GradientType.Linear and md.rl.WHITE as looking them up now would give
// them (lookups.cpp keeps the answers while nothing they depend on changes);
// empty with the lookup's error.
Ref linear_kind();
Ref rl_white();

// Truth of `a == b`: 1, 0, or -1 with an exception set.
int equals(PyObject *a, PyObject *b);

// Truth of `obj == None` (not an identity test): 1, 0, or -1.
int equals_none(PyObject *obj);

// The shared shader as the wrappers' C type (the wrappers check its type).
inline KsShaderObject *shared_shader() {
    return reinterpret_cast<KsShaderObject *>(g.shared_shader);
}

// Gives `vector` the value (x, y) in place when it is an exact KsVector2
// that nothing else references: no one can tell it from a new vector, and
// the caller saves making one. False, with nothing changed, otherwise.
inline bool refill_vector2(PyObject *vector, double x, double y) {
    if (Py_TYPE(vector) != g.KsVector2 || Py_REFCNT(vector) != 1) return false;
    reinterpret_cast<KsVector2Object *>(vector)->data = KsVector2Data{x, y};
    return true;
}

}  // namespace ksraygrad
