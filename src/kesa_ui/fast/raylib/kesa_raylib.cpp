// kesa_ui.fast.raylib.kesa_raylib: the raylib calls that gradient rendering
// makes from C, published as C function pointers.
//
// __pyx_capi__ maps each function name of KS_RAYLIB_FUNCTIONS
// (kesa_raylib_capi.h) to a capsule named by the function's signature text and
// holding the function's address; a consumer compares the name with its own
// KS_RAYLIB_SIGNATURE before taking the pointer.
//
// Every function follows the same order: record the call in the test call
// log (call_log.cpp; one branch while the log is off), fire an injected
// failure, check the arguments (TypeError / ValueError; a shader, texture or
// target made for a window that has since closed is a RuntimeError), check
// that a raylib window exists and that the caller is on its thread
// (RuntimeError, since raylib would crash without a GL context), then call
// raylib. Void functions report failure by leaving an
// exception set; callers test PyErr_Occurred() after each call.
//
// Arguments: a shader is a KsShader (subclasses allowed), a texture an
// rl.Texture, a render target an rl.RenderTexture, rectangles 4-tuples of
// numbers (x, y, width, height), the origin and vec2 values 2-tuples of
// numbers, the tint a colour (r, g, b, a) of ints 0..255.
//
// The two array setters refuse (ValueError) more values than the uniform
// array at the location holds, asking GL for the array's size (uniforms.cpp):
// an upload past the end would be dropped silently and the shader would draw
// wrong. They serve the gradients' colours and stops, and say so in the
// message.
#include <raylib.h>
#include <rlgl.h>

#include <climits>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "kesa_ui/core/rl_api.h"
#include "kesa_ui/core/rl_args.h"
#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"
#include "kesa_ui/fast/raylib/call_log.h"
#include "kesa_ui/fast/raylib/uniforms.h"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/capi.hpp"
#include "kesa_ui/native/module.hpp"
#include "kesa_ui/native/number.hpp"

namespace {

const KsRlApi *rl = nullptr;               // the rl binding's C table
PyTypeObject *shader_type = nullptr;       // KsShader (strong reference)
PyTypeObject *vector2_type = nullptr;      // KsVector2 (strong reference)

// The shader between begin_ksshader_mode and end_shader_mode. raylib keeps a
// pointer to its location table while the mode lasts, so the shader is kept
// alive until the mode ends.
PyObject *active_shader = nullptr;

// --- argument checks --------------------------------------------------------------

// The caller's KsShaderObject* may really be None (or anything) cast.
bool is_shader(KsShaderObject *s) {
    return s != nullptr && PyObject_TypeCheck(reinterpret_cast<PyObject *>(s), shader_type);
}

bool is_vector2(KsVector2Object *v) {
    return v != nullptr && PyObject_TypeCheck(reinterpret_cast<PyObject *>(v), vector2_type);
}

using ks::arg_type_name;

// The raylib Shader of a checked KsShader argument; false with an exception.
[[gnu::noinline]] bool checked_shader_arg(KsShaderObject *s, Shader *out) {
    if (!is_shader(s)) {
        PyErr_Format(PyExc_TypeError, "shader must be a KsShader, not %.100s", arg_type_name(s));
        return false;
    }
    if (s->locs == nullptr) {
        PyErr_SetString(PyExc_ValueError, "the shader holds no program");
        return false;
    }
    if (ks_rl_require_generation(rl, s->generation, "KsShader") < 0) return false;
    *out = Shader{s->id, s->locs};
    return true;
}

// The same, with the common case (an exact KsShader of the open window)
// answered inline: every uniform upload starts here.
[[gnu::always_inline]] inline bool shader_arg(KsShaderObject *s, Shader *out) {
    if (s != nullptr && Py_IS_TYPE(reinterpret_cast<PyObject *>(s), shader_type) &&
        s->locs != nullptr && s->generation == *rl->generation) [[likely]] {
        *out = Shader{s->id, s->locs};
        return true;
    }
    return checked_shader_arg(s, out);
}

// What was read from the tuple an argument received last time, while that
// very tuple is held here: a tuple of exact ints and floats cannot change, so
// passing it again (as callers do with their constant rectangles, origins
// and tints) needs no second reading.
template <typename T, Py_ssize_t N>
class LastTuple {
public:
    template <typename Read>
    bool read(PyObject *obj, T *out, Read read_fresh) {
        if (obj == tuple_ && obj != nullptr) {
            *out = value_;
            return true;
        }
        if (!read_fresh(obj, out)) return false;
        if (immutable(obj)) {
            Py_XSETREF(tuple_, Py_NewRef(obj));
            value_ = *out;
        }
        return true;
    }

private:
    static bool immutable(PyObject *obj) {
        if (!PyTuple_CheckExact(obj) || PyTuple_GET_SIZE(obj) != N) return false;
        for (Py_ssize_t i = 0; i < N; i++) {
            PyObject *item = PyTuple_GET_ITEM(obj, i);
            if (!PyFloat_CheckExact(item) && !PyLong_CheckExact(item)) return false;
        }
        return true;
    }
    PyObject *tuple_ = nullptr;  // strong, for the life of the process
    T value_{};
};

LastTuple<Rectangle, 4> last_source;
LastTuple<Vector2, 2> last_origin;
LastTuple<Color, 4> last_tint;

bool count_arg(size_t size, int *out) {
    if (size > static_cast<size_t>(INT_MAX)) {
        PyErr_SetString(PyExc_OverflowError, "too many uniform values");
        return false;
    }
    *out = static_cast<int>(size);
    return true;
}

// --- uniform array capacity --------------------------------------------------------

// false with ValueError when `count` values overrun the array at `loc`;
// `what` names the values for the message ("colours", "colour stops").
bool capacity_arg(const KsShaderObject *shader, int loc, int count, const char *what) {
    long capacity;
    try {
        capacity =
            ks_uniforms::array_capacity(*rl->gl, shader->serial, shader->id, loc, *rl->generation);
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return false;
    }
    if (capacity < 0 || count <= capacity) return true;
    PyErr_Format(PyExc_ValueError,
                 "this gradient has %d %s; the shader on this GPU holds %ld: use at most %ld, or "
                 "draw it with GradientPygame (kesa_ui.rendering.pygame.gradient), which takes "
                 "any number on the CPU",
                 count, what, capacity, capacity);
    return false;
}

// --- call log representations (new references; only built while hooked) ---------
//
// A value that cannot be represented as documented (the wrong type, say) is
// recorded as given; the call then fails its argument check.

PyObject *given(const void *obj) {
    return Py_NewRef(obj == nullptr ? Py_None : static_cast<PyObject *>(const_cast<void *>(obj)));
}

PyObject *shader_rep(KsShaderObject *s) {
    return is_shader(s) ? PyLong_FromUnsignedLong(s->id) : given(s);
}

PyObject *texture_rep(PyObject *obj) {
    if (obj != nullptr && PyObject_TypeCheck(obj, rl->texture_type))
        return PyLong_FromUnsignedLong(reinterpret_cast<RlTextureObject *>(obj)->texture.id);
    return given(obj);
}

PyObject *target_rep(PyObject *obj) {
    if (obj != nullptr && PyObject_TypeCheck(obj, rl->render_texture_type))
        return PyLong_FromUnsignedLong(
            reinterpret_cast<RlRenderTextureObject *>(obj)->render_texture.id);
    return given(obj);
}

PyObject *pair_rep(PyObject *obj) {
    if (PyErr_Occurred()) return nullptr;  // an earlier representation failed
    float v[2];
    if (ks::numbers_arg(obj, 2, "value", ks::Numbers::tuple, v)) return Py_BuildValue("(dd)", double(v[0]), double(v[1]));
    PyErr_Clear();
    return given(obj);
}

PyObject *vector2_rep(KsVector2Object *v) {
    return is_vector2(v) ? Py_BuildValue("(dd)", v->data.x, v->data.y) : given(v);
}

PyObject *vec4_list_rep(const std::vector<Vector4> &values) {
    ks::Ref list = ks::Ref::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < values.size(); i++) {
        const Vector4 &v = values[i];
        PyObject *item = Py_BuildValue("(dddd)", double(v.x), double(v.y), double(v.z), double(v.w));
        if (item == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
}

PyObject *float_list_rep(const std::vector<float> &values) {
    return ks::float_list(values.data(), values.size());
}

// Records the call and fires an injected failure; `build` makes the args
// tuple and runs only while the log is hooked. false with an exception set.
template <typename Build>
inline bool enter(KsCallId id, Build build) {
    if (!ks_log::hooked) [[likely]]
        return true;
    return ks_log::enter(id, build()) == 0;
}

PyObject *no_args() { return PyTuple_New(0); }

// --- the fourteen functions ----------------------------------------------------------

PyObject *begin_ksshader_mode(KsShaderObject *shader) {
    if (!enter(KS_CALL_begin_ksshader_mode, [&] { return Py_BuildValue("(N)", shader_rep(shader)); }))
        return nullptr;
    Shader s;
    if (!shader_arg(shader, &s) || ks_rl_require_window(rl) < 0) return nullptr;
    BeginShaderMode(s);
    // After the switch: raylib has let go of the previous shader's table.
    Py_XSETREF(active_shader, Py_NewRef(reinterpret_cast<PyObject *>(shader)));
    Py_RETURN_NONE;
}

int get_ksshader_location(KsShaderObject *shader, PyObject *name) {
    if (!enter(KS_CALL_get_ksshader_location,
               [&] { return Py_BuildValue("(NN)", shader_rep(shader), given(name)); }))
        return -1;
    Shader s;
    if (!shader_arg(shader, &s)) return -1;
    if (name == nullptr || !PyUnicode_Check(name)) {
        PyErr_Format(PyExc_TypeError, "uniform name must be str, not %.100s", arg_type_name(name));
        return -1;
    }
    Py_ssize_t size;
    const char *text = PyUnicode_AsUTF8AndSize(name, &size);
    if (text == nullptr) return -1;
    if (std::strlen(text) != static_cast<size_t>(size)) {
        PyErr_SetString(PyExc_ValueError, "uniform name contains a NUL character");
        return -1;
    }
    if (ks_rl_require_window(rl) < 0) return -1;
    return GetShaderLocation(s, text);
}

void draw_texture_pro(PyObject *texture, PyObject *source, PyObject *dest, PyObject *origin,
                      float rotation, PyObject *tint) {
    if (!enter(KS_CALL_draw_texture_pro, [&] {
            return Py_BuildValue("(NNNNdN)", texture_rep(texture), given(source), given(dest),
                                 given(origin), double(rotation), given(tint));
        }))
        return;
    auto *record =
        ks::record_arg<RlTextureObject>(texture, rl->texture_type, "texture", "an rl.Texture");
    if (record == nullptr || ks_rl_require_generation(rl, record->generation, "texture") < 0) return;
    Rectangle src, dst;
    Vector2 org;
    Color color;
    auto source_arg = [](PyObject *o, Rectangle *r) { return ks::rectangle_arg(o, "source", ks::Numbers::tuple, r); };
    auto origin_arg = [](PyObject *o, Vector2 *v) { return ks::vector2_arg(o, "origin", ks::Numbers::tuple, v); };
    auto tint_arg = [](PyObject *o, Color *c) { return rl->color_from_object(o, c) == 0; };
    if (tint == nullptr) tint = Py_None;
    if (!last_source.read(source, &src, source_arg) || !ks::rectangle_arg(dest, "dest", ks::Numbers::tuple, &dst) ||
        !last_origin.read(origin, &org, origin_arg) || !last_tint.read(tint, &color, tint_arg) ||
        ks_rl_require_texture(rl, record) < 0 || ks_rl_require_not_target(rl, record->object) < 0)
        return;
    DrawTexturePro(record->texture, src, dst, org, rotation, color);
}

void begin_texture_mode(PyObject *target) {
    if (!enter(KS_CALL_begin_texture_mode, [&] { return Py_BuildValue("(N)", target_rep(target)); }))
        return;
    auto *record = ks::record_arg<RlRenderTextureObject>(target, rl->render_texture_type, "target",
                                                         "an rl.RenderTexture");
    if (record == nullptr || ks_rl_require_current(rl, record->generation, "render texture") < 0) return;
    rl->begin_target(record);  // nests inside a texture mode the caller began
}

void end_blend_mode(void) {
    if (!enter(KS_CALL_end_blend_mode, no_args) || ks_rl_require_window(rl) < 0) return;
    rl->end_blend_mode();  // back to the caller's blend mode
}

void end_shader_mode(void) {
    if (!enter(KS_CALL_end_shader_mode, no_args)) return;
    bool ended = ks_rl_require_window(rl) == 0;
    if (ended) EndShaderMode();
    // raylib no longer uses the shader, or its context is gone. (Called from
    // another thread, the window's thread is still in the mode.)
    if (ended || (active_shader != nullptr &&
                  reinterpret_cast<KsShaderObject *>(active_shader)->generation != *rl->generation))
        Py_CLEAR(active_shader);
}

void end_texture_mode(void) {
    if (!enter(KS_CALL_end_texture_mode, no_args) || ks_rl_require_window(rl) < 0) return;
    rl->end_texture_mode();  // back to the caller's target, if it had one
}

void begin_blend_mode(int mode) {
    if (!enter(KS_CALL_begin_blend_mode, [&] { return Py_BuildValue("(i)", mode); })) return;
    if (mode < BLEND_ALPHA || mode > BLEND_CUSTOM_SEPARATE) {
        PyErr_Format(PyExc_ValueError, "%d is not a raylib blend mode", mode);
        return;
    }
    if (ks_rl_require_window(rl) < 0) return;
    rl->begin_blend_mode(mode);
}

void set_ksshader_value_vec2_tuple(KsShaderObject *shader, int loc, PyObject *value) {
    if (!enter(KS_CALL_set_ksshader_value_vec2_tuple,
               [&] { return Py_BuildValue("(NiN)", shader_rep(shader), loc, pair_rep(value)); }))
        return;
    Shader s;
    Vector2 v;
    if (!shader_arg(shader, &s) || !ks::vector2_arg(value, "value", ks::Numbers::tuple, &v) || ks_rl_require_window(rl) < 0)
        return;
    SetShaderValue(s, loc, &v, SHADER_UNIFORM_VEC2);
}

void set_ksshader_value_float(KsShaderObject *shader, int loc, float value) {
    if (!enter(KS_CALL_set_ksshader_value_float,
               [&] { return Py_BuildValue("(Nid)", shader_rep(shader), loc, double(value)); }))
        return;
    Shader s;
    if (!shader_arg(shader, &s) || ks_rl_require_window(rl) < 0) return;
    SetShaderValue(s, loc, &value, SHADER_UNIFORM_FLOAT);
}

void set_ksshader_value_int(KsShaderObject *shader, int loc, int value) {
    if (!enter(KS_CALL_set_ksshader_value_int,
               [&] { return Py_BuildValue("(Nii)", shader_rep(shader), loc, value); }))
        return;
    Shader s;
    if (!shader_arg(shader, &s) || ks_rl_require_window(rl) < 0) return;
    SetShaderValue(s, loc, &value, SHADER_UNIFORM_INT);
}

// The two array setters: record, check, then upload `values` as an array of
// `uniform_type`.
template <typename T>
void set_array(KsCallId id, KsShaderObject *shader, int loc, const std::vector<T> &values,
               PyObject *(*rep)(const std::vector<T> &), int uniform_type, const char *what) {
    if (!enter(id, [&] { return Py_BuildValue("(NiN)", shader_rep(shader), loc, rep(values)); }))
        return;
    Shader s;
    int count;
    if (!shader_arg(shader, &s) || !count_arg(values.size(), &count) || ks_rl_require_window(rl) < 0)
        return;
    if (count > 0 && capacity_arg(shader, loc, count, what))
        SetShaderValueV(s, loc, values.data(), uniform_type, count);
}

void set_ksshader_value_vec4_v(KsShaderObject *shader, int loc, std::vector<Vector4> values) {
    set_array(KS_CALL_set_ksshader_value_vec4_v, shader, loc, values, vec4_list_rep,
              SHADER_UNIFORM_VEC4, "colours");
}

void set_ksshader_value_float_v(KsShaderObject *shader, int loc, std::vector<float> values) {
    set_array(KS_CALL_set_ksshader_value_float_v, shader, loc, values, float_list_rep,
              SHADER_UNIFORM_FLOAT, "colour stops");
}

void set_ksshader_value_vec2_ksvec(KsShaderObject *shader, int loc, KsVector2Object *value) {
    if (!enter(KS_CALL_set_ksshader_value_vec2_ksvec,
               [&] { return Py_BuildValue("(NiN)", shader_rep(shader), loc, vector2_rep(value)); }))
        return;
    Shader s;
    if (!shader_arg(shader, &s)) return;
    if (!is_vector2(value)) {
        PyErr_Format(PyExc_TypeError, "value must be a KsVector2, not %.100s", arg_type_name(value));
        return;
    }
    if (ks_rl_require_window(rl) < 0) return;
    Vector2 v{ks::narrow(value->data.x), ks::narrow(value->data.y)};
    SetShaderValue(s, loc, &v, SHADER_UNIFORM_VEC2);
}

// Compile-time check that each definition above has exactly the type the
// shared table declares (the capsules below cast nothing).
#define KS_CHECK_TYPE(name, ret, params) \
    static_assert(std::is_same_v<decltype(&name), ks_raylib::name##_fn>, #name);
KS_RAYLIB_FUNCTIONS(KS_CHECK_TYPE)
#undef KS_CHECK_TYPE

// --- module ---------------------------------------------------------------------------

int add_capi(PyObject *module) {
    ks::Ref capi = ks::Ref::steal(PyDict_New());
    if (!capi) return -1;
    // The capsule names are string literals, so they outlive every capsule.
#define KS_ADD_CAPSULE(name, ret, params)                                                   \
    {                                                                                       \
        ks::Ref capsule = ks::Ref::steal(PyCapsule_New(                                     \
            reinterpret_cast<void *>(static_cast<ks_raylib::name##_fn>(name)),              \
            KS_RAYLIB_SIGNATURE(ret, params), nullptr));                                    \
        if (!capsule || PyDict_SetItemString(capi.get(), #name, capsule.get()) < 0) return -1; \
    }
    KS_RAYLIB_FUNCTIONS(KS_ADD_CAPSULE)
#undef KS_ADD_CAPSULE
    return PyModule_Add(module, "__pyx_capi__", capi.release());
}

PyMethodDef module_methods[] = {
    {"start_call_log", ks_log::start, METH_NOARGS,
     "start_call_log()\n--\n\nClears any earlier record and starts recording calls."},
    {"stop_call_log", ks_log::stop, METH_NOARGS,
     "stop_call_log()\n--\n\nStops recording and returns the list of (name, args) pairs."},
    {"inject_failure", KS_CFUNCTION(ks_log::inject_failure),
     METH_FASTCALL | METH_KEYWORDS,
     "inject_failure(name, exception)\n--\n\n"
     "Makes the next call of the named function raise `exception` once (None withdraws it)."},
    {nullptr, nullptr, 0, nullptr},
};

int exec_module(PyObject *module) {
    // Bind the types first: the functions check their arguments against them.
    if (rl == nullptr && (rl = ks_rl_import()) == nullptr) return -1;
    if (shader_type == nullptr &&
        (shader_type = ks::import_type("kesa_ui.fast.ksshader.ksshader", "KsShader",
                                       sizeof(KsShaderObject))) == nullptr)
        return -1;
    if (vector2_type == nullptr &&
        (vector2_type = ks::import_type("kesa_ui.fast.ksvector2.ksvector2", "KsVector2",
                                        sizeof(KsVector2Object))) == nullptr)
        return -1;
    if (add_capi(module) < 0) return -1;
    return PyModule_Add(module, "_call_log_api",
                        PyCapsule_New(const_cast<KsCallLogApi *>(&ks_log::api),
                                      KS_CALL_LOG_CAPSULE, nullptr));
}

}  // namespace

KS_DEFINE_MODULE(kesa_raylib, "kesa_ui.fast.raylib.kesa_raylib",
                 "The raylib calls of gradient rendering, as C functions in __pyx_capi__, and the\n"
                 "test call log (start_call_log, stop_call_log, inject_failure).",
                 module_methods, exec_module, nullptr)
