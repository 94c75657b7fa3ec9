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

struct KsRlApi;  // kesa_ui/core/rl_api.h

namespace ksraygrad {

using ks::Borrowed;
using ks::Ref;

#define KS_MODULE_NAME "kesa_ui.fast.ksraygrad.ksraygrad"
// The qualified name of a class member, as tracebacks show it.
#define KS_QUALNAME(cls, member) KS_MODULE_NAME "." cls "." member

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

    // Constants.
    PyObject *int_255;
    PyObject *checksum_gradient, *checksum_click;  // the schema checksums reduce writes
    PyObject *center_default;  // (0.5, 0.5)
    PyObject *clear_color;     // (0, 0, 0, 0)
    PyObject *origin;          // (0, 0)
    PyObject *white_tint;      // (255, 255, 255, 255)
    PyObject *source_rect;     // (0, 0, 1, 1)
    PyObject *angle_table;     // direction name -> angle (float)
    PyObject *center_table;    // direction name -> centre pair
    PyObject *default_linear;  // GradientType.Linear, read at load
    PyObject *default_radial;  // GradientType.Radial, read at load

    // The raylib binding's C table, and through it the current GL context
    // generation, which changes whenever a window opens or closes.
    const KsRlApi *rl;
    const uint64_t *context_generation;

    // Shared rendering state, made for the context of `resources_generation`.
    PyObject *shared_shader;          // a KsShader, or None
    PyObject *shared_blank_texture;   // an rl.Texture, or None
    int loc_type, loc_angle, loc_center, loc_colors, loc_stops, loc_count, loc_alpha, loc_size;
    uint64_t resources_generation;
};

extern Globals g;

// What rendering keeps between calls to save work, each with the rule that
// drops it. Nothing else in the module outlives a call.
struct Caches {
    // md.rl.WHITE (the tint of every draw) and the modules it was read
    // through, kept while a fresh lookup would find the same (lookups.cpp).
    // Kept only when each step of the lookup was a plain dict read: md from
    // the module's globals, or from the dict of the builtins while that is
    // an exact module; rl and WHITE from the dicts of md and rl while those
    // are exact modules (checked at each use: a module's class can change
    // without touching its dict). Every dict read is watched, and any event
    // on any of them marks the answer stale; it is dropped at its next use.
    struct {
        PyObject *white, *md, *rl;   // strong references, or all nullptr
        bool md_from_builtins;
        bool stale;                  // set by the dict watcher
        int watcher = -1;            // the dict watcher's id, once added
    } tint;

    // The KsVector2 that draw hands to the "size" uniform, refilled with the
    // new size when only this holds it (render.cpp); made anew otherwise.
    PyObject *draw_size;
};

extern Caches caches;

// Made once at load: 0, or -1 with an exception set.
int make_strings();
int make_numbers();
int make_tuples();

// Looks `name` up in the module's namespace, then in the builtins: empty
// with NameError (or the lookup's error) set when it is in neither.
Ref lookup_global(PyObject *name);

// `GradientType.Linear` / `.Radial`, looked up at this moment.
Ref current_kind(PyObject *member_name);

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
