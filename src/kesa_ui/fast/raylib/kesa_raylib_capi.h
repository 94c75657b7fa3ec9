// The C functions of kesa_ui.fast.raylib.kesa_raylib, the raylib wrapper.
//
// The wrapper publishes each function in its __pyx_capi__ dict as a capsule
// named by the function's signature text; a module that binds one compares
// that text with its own before taking the pointer. Both sides expand the
// same table below, so they agree by construction.
//
// Functions returning void report failure by leaving a Python exception set;
// callers check PyErr_Occurred() after each call.
#pragma once

#include <Python.h>

#include <vector>

#include "kesa_ui/fast/ksshader/ksshader.h"
#include "kesa_ui/fast/ksvector2/ksvector2.h"

// raylib's Vector4, unless raylib.h came first (it must not come after).
#if !defined(RL_VECTOR4_TYPE) && !defined(RAYLIB_H)
typedef struct Vector4 {
    float x;
    float y;
    float z;
    float w;
} Vector4;
#define RL_VECTOR4_TYPE
#endif

// X(name, return type, parameter list), in binding order.
#define KS_RAYLIB_FUNCTIONS(X)                                                            \
    X(begin_ksshader_mode, PyObject *, (KsShaderObject * shader))                         \
    X(get_ksshader_location, int, (KsShaderObject * shader, PyObject * name))             \
    X(draw_texture_pro, void,                                                             \
      (PyObject * texture, PyObject * source, PyObject * dest, PyObject * origin,         \
       float rotation, PyObject * tint))                                                  \
    X(begin_texture_mode, void, (PyObject * target))                                      \
    X(end_blend_mode, void, (void))                                                       \
    X(end_shader_mode, void, (void))                                                      \
    X(end_texture_mode, void, (void))                                                     \
    X(begin_blend_mode, void, (int mode))                                                 \
    X(set_ksshader_value_vec2_tuple, void, (KsShaderObject * shader, int loc, PyObject * value)) \
    X(set_ksshader_value_float, void, (KsShaderObject * shader, int loc, float value))    \
    X(set_ksshader_value_int, void, (KsShaderObject * shader, int loc, int value))        \
    X(set_ksshader_value_vec4_v, void,                                                    \
      (KsShaderObject * shader, int loc, std::vector<Vector4> values))                    \
    X(set_ksshader_value_float_v, void,                                                   \
      (KsShaderObject * shader, int loc, std::vector<float> values))                      \
    X(set_ksshader_value_vec2_ksvec, void,                                                \
      (KsShaderObject * shader, int loc, KsVector2Object * value))

// The signature text of a function: its return type and parameter list.
#define KS_RAYLIB_SIGNATURE(ret, params) #ret " " #params

namespace ks_raylib {
#define KS_DECLARE_FN_TYPE(name, ret, params) using name##_fn = ret(*) params;
KS_RAYLIB_FUNCTIONS(KS_DECLARE_FN_TYPE)
#undef KS_DECLARE_FN_TYPE
}  // namespace ks_raylib
