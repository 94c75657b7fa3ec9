// Module-wide state of kesa_ui.fast.ksraygrad.ksraygrad: the register of
// everything that outlives a call, and the helpers that read it.
#pragma once

#include <Python.h>

#include <cstdint>

#include "kesa_ui/fast/ksraygrad/fixed.hpp"
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

// The fourteen bound C functions of the raylib wrapper.
struct RaylibFunctions {
#define KS_FN_FIELD(name, ret, params) ks_raylib::name##_fn name;
    KS_RAYLIB_FUNCTIONS(KS_FN_FIELD)
#undef KS_FN_FIELD
};

// Interned strings: X(member, text). `white` is "WHITE" (a macro of
// raylib.h, which some files include).
#define KS_STRINGS(X)                                                                    \
    X(x, "x") X(y, "y") X(z, "z") X(w, "w") X(name, "name") X(dict, "__dict__")          \
    X(update, "update") X(new_, "__new__") X(init, "__init__")                            \
    X(ensure_resources, "_ensure_resources") X(recalculate_stops, "_recalculate_stops")   \
    X(md, "md") X(GradientShader, "GradientShader") X(GradientPygame, "GradientPygame")   \
    X(GradientType, "GradientType") X(Linear, "Linear") X(Radial, "Radial")               \
    X(VERTEX_SHADER, "VERTEX_SHADER") X(FRAGMENT_SHADER, "FRAGMENT_SHADER") X(rl, "rl")   \
    X(gen_image_color, "gen_image_color") X(load_texture_from_image, "load_texture_from_image") \
    X(unload_image, "unload_image") X(white, "WHITE") X(BlendMode, "BlendMode")           \
    X(BLEND_ALPHA_PREMULTIPLY, "BLEND_ALPHA_PREMULTIPLY")                                 \
    X(unpickle_GradientRaylib, KS_UNPICKLE_GRADIENT) X(unpickle_ClickGradient, KS_UNPICKLE_CLICK)       \
    X(pickle, "pickle") X(PickleError, "PickleError")

struct Strings {
#define KS_STRING_FIELD(member, text) PyObject *member;
    KS_STRINGS(KS_STRING_FIELD)
#undef KS_STRING_FIELD
#define KS_UNIFORM_NAME(loc, text) PyObject *loc##_name;
    KS_UNIFORMS(KS_UNIFORM_NAME)  // the uniform names, by their location fields
#undef KS_UNIFORM_NAME
};

// --- the register: everything of the module that outlives a call ----------------
//
// One interpreter per process may load the module, so all of it lives in
// process-wide static storage, in `g`, in three parts by who writes it and
// when it goes.

// Bound or made by the exec hook (module.cpp), kept for the life of the
// process; a failed load keeps what it made and a retry fills in the rest.
struct Loaded {
    int64_t interpreter = -1;          // the one that may load the module
    PyObject *initialised;             // the module object once its exec hook ran
    PyObject *module;                  // the one module object, once created
    PyObject *module_dict;             // borrowed from `module`
    PyObject *builtins;                // the builtins module
    PyObject *super;                   // builtin super

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
    // The raylib binding's C table, and through it the current GL context
    // generation, which changes whenever a window opens or closes.
    const KsRlApi *rl;
    const uint64_t *context_generation;

    Strings s;

    // Constants.
    PyObject *int_255;
#define KS_WRITTEN_CHECKSUM(cls, fields, written, also1, also2, names) PyObject *checksum_##cls;
    KS_PICKLE_FORMATS(KS_WRITTEN_CHECKSUM)  // the checksums reduce writes, as ints
#undef KS_WRITTEN_CHECKSUM
    PyObject *center_default;  // (0.5, 0.5)
    PyObject *clear_color;     // (0, 0, 0, 0)
    PyObject *origin;          // (0, 0)
    PyObject *white_tint;      // (255, 255, 255, 255)
    PyObject *source_rect;     // (0, 0, 1, 1)
    PyObject *angle_table;     // direction name -> angle (float)
    PyObject *center_table;    // direction name -> centre pair
    PyObject *default_linear;  // GradientType.Linear, read at load
    PyObject *default_radial;  // GradientType.Radial, read at load
};

// The shared rendering state: written by resources.cpp only, made for the
// GL context of `resources_generation` and made again for a new one.
struct Shared {
    PyObject *shared_shader;         // a KsShader, or None
    PyObject *shared_blank_texture;  // an rl.Texture, or None
#define KS_LOCATION_FIELD(loc, text) int loc;
    KS_UNIFORMS(KS_LOCATION_FIELD)   // -1 until looked up
#undef KS_LOCATION_FIELD
    uint64_t resources_generation;
};

// A tuple of N floats (a strong reference, or nullptr) and the values it
// holds.
template <size_t N>
struct FloatTupleMemo {
    PyObject *tuple;
    double values[N];
};

// What is kept between calls to save work, each with the rule that drops it.
struct Cached {
    // md.rl.WHITE (the tint of every draw) and the modules it was read
    // through, kept while a fresh lookup would find the same (lookups.cpp).
    // Kept only when each step of the lookup was a plain dict read: md from
    // the module's globals, or from the dict of the builtins while that is
    // an exact module; rl and WHITE from the dicts of md and rl while those
    // are exact modules (checked at each use: a module's class can change
    // without touching its dict). Every dict read is watched, and any event
    // on any of them marks the answer stale; it is dropped at its next use.
    // It buys about 480 of a draw's instructions, which the draw's target
    // needs.
    struct {
        PyObject *white, *md, *rl;   // strong references, or all nullptr
        bool md_from_builtins;
        bool stale;                  // set by the dict watcher
        int watcher = -1;            // the dict watcher's id, once added
    } tint;

    // The "size" vector of the last draw, refilled by the next one
    // (refill_vector2). It buys about 80 of a draw's instructions, which the
    // draw's target needs. Kept for good, like everything here.
    PyObject *draw_size;

    // The tuples of floats the last draw handed up, its (x, y, width,
    // height) and, for an exact KsVector2 centre, its (x, y): the next draw
    // hands the same tuple for the same values bit for bit (a tuple never
    // changes, so it is the same value) and makes a new one otherwise
    // (memo_tuple). They buy about 760 of a draw's instructions (the
    // destination 590, the centre 170) and its time 2 to 3 per cent, which
    // the draw's time target needs. Kept for good.
    FloatTupleMemo<4> draw_dest;
    FloatTupleMemo<2> draw_centre;

    // Each class's inspect.Signature (signature.cpp), made on first use and
    // kept for good: it depends only on the class's default kind, fixed at
    // load.
    PyObject *signature_gradient, *signature_click;
};

struct Register : Loaded, Shared, Cached {};

extern Register g;

// Makes `slot` hold a KsVector2 of (x, y): the exact KsVector2 there is
// refilled in place when nothing else references it (no one can tell it
// from a new vector), else a new one takes its place. 0, or -1 with an
// exception set and `slot` unchanged.
inline int refill_vector2(PyObject *&slot, double x, double y) {
    if (slot != nullptr && Py_TYPE(slot) == g.KsVector2 && Py_REFCNT(slot) == 1) {
        reinterpret_cast<KsVector2Object *>(slot)->data = KsVector2Data{x, y};
        return 0;
    }
    Ref vec = Ref::steal(g.vec2_vt->new_(x, y));
    if (!vec) return -1;
    ks::replace_field(slot, std::move(vec));
    return 0;
}

// Made once at load: 0, or -1 with an exception set.
int make_strings();
int make_numbers();
int make_tuples();

// Looks `name` up in the module's namespace, then in the builtins: empty
// with NameError (or the lookup's error) set when it is in neither.
Ref lookup_global(PyObject *name);

// md.rl (the raylib binding), looked up at this moment: md in the module's
// namespace, then the builtins.
Ref current_rl();

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


}  // namespace ksraygrad
