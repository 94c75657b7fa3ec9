// capi_probe: a test-only consumer of the platform layer's C interfaces.
//
// It binds the fourteen functions of kesa_raylib with the support library,
// as the gradient module does: each capsule is looked up in __pyx_capi__ by
// name, its name must equal KS_RAYLIB_SIGNATURE of the wrapper's own
// declaration, and the pointer is called with the declared C++ type. It also fetches the C method tables
// (__pyx_vtable__) of the four sibling types and compares their instance
// sizes with the shared layouts. The Python functions here are thin
// wrappers, so tests can call through those pointers; arguments typed as
// objects in C (shaders included) are passed on unchecked, so that the
// functions' own argument checks are what the tests see.
//
// Built into the build tree (tests-ext/), never installed.
#include <Python.h>

#include <vector>

#include "kesa_ui/fast/raylib/kesa_raylib_capi.h"
#include "kesa_ui/fast/ksrect/ksrect.h"
#include "kesa_ui/fast/ksrendertex/ks_render_tex.h"
#include "kesa_ui/fast/ksshader/ksshader.h"
#include "kesa_ui/fast/ksvector2/ksvector2.h"
#include "kesa_ui/native/capi.hpp"

namespace {

struct Bound {
#define KS_FIELD(name, ret, params) ks_raylib::name##_fn name = nullptr;
    KS_RAYLIB_FUNCTIONS(KS_FIELD)
#undef KS_FIELD
} fn;

const KsVector2VTable *vector2_vt = nullptr;
const KsRectVTable *rect_vt = nullptr;
const KsRenderTextureVTable *render_texture_vt = nullptr;
const KsShaderVTable *shader_vt = nullptr;
PyObject *layouts_dict = nullptr;

int bind_functions() {
    constexpr const char *kWrapper = "kesa_ui.fast.raylib.kesa_raylib";
    ks::Ref wrapper = ks::Ref::steal(PyImport_ImportModule(kWrapper));
    if (!wrapper) return -1;
#define KS_BIND(name, ret, params)                                                        \
    fn.name = reinterpret_cast<ks_raylib::name##_fn>(ks::import_function(                \
        wrapper.get(), kWrapper, #name, KS_RAYLIB_SIGNATURE(ret, params)));              \
    if (fn.name == nullptr) return -1;
    KS_RAYLIB_FUNCTIONS(KS_BIND)
#undef KS_BIND
    return 0;
}

// The vtable of module.name, bound the way the gradient module binds it;
// records the type's instance size and the shared layout's in layouts_dict.
const void *bind_type(const char *module_name, const char *name, size_t size) {
    ks::Ref type = ks::Ref::steal(
        reinterpret_cast<PyObject *>(ks::import_type(module_name, name, size)));
    if (!type) return nullptr;
    ks::Ref sizes = ks::Ref::steal(Py_BuildValue(
        "(nn)", reinterpret_cast<PyTypeObject *>(type.get())->tp_basicsize,
        static_cast<Py_ssize_t>(size)));
    if (!sizes || PyDict_SetItemString(layouts_dict, name, sizes.get()) < 0) return nullptr;
    return ks::type_vtable(reinterpret_cast<PyTypeObject *>(type.get()));
}

PyObject *void_result() {
    if (PyErr_Occurred()) return nullptr;
    Py_RETURN_NONE;
}

KsShaderObject *as_shader(PyObject *obj) { return reinterpret_cast<KsShaderObject *>(obj); }

// --- the fourteen functions -----------------------------------------------------

PyObject *p_begin_ksshader_mode(PyObject *, PyObject *shader) {
    return fn.begin_ksshader_mode(as_shader(shader));
}

PyObject *p_get_ksshader_location(PyObject *, PyObject *args) {
    PyObject *shader, *name;
    if (!PyArg_ParseTuple(args, "OO", &shader, &name)) return nullptr;
    int loc = fn.get_ksshader_location(as_shader(shader), name);
    if (PyErr_Occurred()) return nullptr;
    return PyLong_FromLong(loc);
}

PyObject *p_draw_texture_pro(PyObject *, PyObject *args) {
    PyObject *texture, *source, *dest, *origin, *tint;
    float rotation;
    if (!PyArg_ParseTuple(args, "OOOOfO", &texture, &source, &dest, &origin, &rotation, &tint))
        return nullptr;
    fn.draw_texture_pro(texture, source, dest, origin, rotation, tint);
    return void_result();
}

PyObject *p_begin_texture_mode(PyObject *, PyObject *target) {
    fn.begin_texture_mode(target);
    return void_result();
}

PyObject *p_end_blend_mode(PyObject *, PyObject *) {
    fn.end_blend_mode();
    return void_result();
}

PyObject *p_end_shader_mode(PyObject *, PyObject *) {
    fn.end_shader_mode();
    return void_result();
}

PyObject *p_end_texture_mode(PyObject *, PyObject *) {
    fn.end_texture_mode();
    return void_result();
}

PyObject *p_begin_blend_mode(PyObject *, PyObject *args) {
    int mode;
    if (!PyArg_ParseTuple(args, "i", &mode)) return nullptr;
    fn.begin_blend_mode(mode);
    return void_result();
}

PyObject *p_set_vec2_tuple(PyObject *, PyObject *args) {
    PyObject *shader, *value;
    int loc;
    if (!PyArg_ParseTuple(args, "OiO", &shader, &loc, &value)) return nullptr;
    fn.set_ksshader_value_vec2_tuple(as_shader(shader), loc, value);
    return void_result();
}

PyObject *p_set_float(PyObject *, PyObject *args) {
    PyObject *shader;
    int loc;
    float value;
    if (!PyArg_ParseTuple(args, "Oif", &shader, &loc, &value)) return nullptr;
    fn.set_ksshader_value_float(as_shader(shader), loc, value);
    return void_result();
}

PyObject *p_set_int(PyObject *, PyObject *args) {
    PyObject *shader;
    int loc, value;
    if (!PyArg_ParseTuple(args, "Oii", &shader, &loc, &value)) return nullptr;
    fn.set_ksshader_value_int(as_shader(shader), loc, value);
    return void_result();
}

PyObject *p_set_vec4_v(PyObject *, PyObject *args) {
    PyObject *shader, *seq;
    int loc;
    if (!PyArg_ParseTuple(args, "OiO", &shader, &loc, &seq)) return nullptr;
    PyObject *fast = PySequence_Fast(seq, "values must be a sequence");
    if (fast == nullptr) return nullptr;
    std::vector<Vector4> values;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(fast); i++) {
        Vector4 v;
        if (!PyArg_ParseTuple(PySequence_Fast_GET_ITEM(fast, i), "ffff", &v.x, &v.y, &v.z, &v.w)) {
            Py_DECREF(fast);
            return nullptr;
        }
        values.push_back(v);
    }
    Py_DECREF(fast);
    fn.set_ksshader_value_vec4_v(as_shader(shader), loc, values);
    return void_result();
}

PyObject *p_set_float_v(PyObject *, PyObject *args) {
    PyObject *shader, *seq;
    int loc;
    if (!PyArg_ParseTuple(args, "OiO", &shader, &loc, &seq)) return nullptr;
    PyObject *fast = PySequence_Fast(seq, "values must be a sequence");
    if (fast == nullptr) return nullptr;
    std::vector<float> values;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(fast); i++) {
        double v = PyFloat_AsDouble(PySequence_Fast_GET_ITEM(fast, i));
        if (v == -1.0 && PyErr_Occurred()) {
            Py_DECREF(fast);
            return nullptr;
        }
        values.push_back(static_cast<float>(v));
    }
    Py_DECREF(fast);
    fn.set_ksshader_value_float_v(as_shader(shader), loc, values);
    return void_result();
}

PyObject *p_set_vec2_ksvec(PyObject *, PyObject *args) {
    PyObject *shader, *value;
    int loc;
    if (!PyArg_ParseTuple(args, "OiO", &shader, &loc, &value)) return nullptr;
    fn.set_ksshader_value_vec2_ksvec(as_shader(shader), loc,
                                     reinterpret_cast<KsVector2Object *>(value));
    return void_result();
}

// --- the sibling types' C method tables --------------------------------------------

PyObject *p_vector2_new(PyObject *, PyObject *args) {
    double x, y;
    if (!PyArg_ParseTuple(args, "dd", &x, &y)) return nullptr;
    return vector2_vt->new_(x, y);
}

PyObject *p_rect_new(PyObject *, PyObject *args) {
    float x, y, w, h;
    if (!PyArg_ParseTuple(args, "ffff", &x, &y, &w, &h)) return nullptr;
    return rect_vt->new_(x, y, w, h);
}

PyObject *p_render_texture_new(PyObject *, PyObject *size) {
    return render_texture_vt->new_(reinterpret_cast<KsVector2Object *>(size));
}

PyObject *p_fast_clear(PyObject *, PyObject *args) {
    PyObject *target, *color;
    if (!PyArg_ParseTuple(args, "OO", &target, &color)) return nullptr;
    if (render_texture_vt->c_fast_clear(reinterpret_cast<KsRenderTextureObject *>(target), color) < 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *p_shader_create(PyObject *, PyObject *args) {
    PyObject *vs, *fs;
    if (!PyArg_ParseTuple(args, "OO", &vs, &fs)) return nullptr;
    return shader_vt->c_create_from_code(vs, fs);
}

PyObject *p_layouts(PyObject *, PyObject *) { return PyDict_Copy(layouts_dict); }

PyMethodDef probe_methods[] = {
    {"begin_ksshader_mode", p_begin_ksshader_mode, METH_O, nullptr},
    {"get_ksshader_location", p_get_ksshader_location, METH_VARARGS, nullptr},
    {"draw_texture_pro", p_draw_texture_pro, METH_VARARGS, nullptr},
    {"begin_texture_mode", p_begin_texture_mode, METH_O, nullptr},
    {"end_blend_mode", p_end_blend_mode, METH_NOARGS, nullptr},
    {"end_shader_mode", p_end_shader_mode, METH_NOARGS, nullptr},
    {"end_texture_mode", p_end_texture_mode, METH_NOARGS, nullptr},
    {"begin_blend_mode", p_begin_blend_mode, METH_VARARGS, nullptr},
    {"set_ksshader_value_vec2_tuple", p_set_vec2_tuple, METH_VARARGS, nullptr},
    {"set_ksshader_value_float", p_set_float, METH_VARARGS, nullptr},
    {"set_ksshader_value_int", p_set_int, METH_VARARGS, nullptr},
    {"set_ksshader_value_vec4_v", p_set_vec4_v, METH_VARARGS, nullptr},
    {"set_ksshader_value_float_v", p_set_float_v, METH_VARARGS, nullptr},
    {"set_ksshader_value_vec2_ksvec", p_set_vec2_ksvec, METH_VARARGS, nullptr},
    {"vector2_new", p_vector2_new, METH_VARARGS, "KsVector2's C new_(x, y)"},
    {"rect_new", p_rect_new, METH_VARARGS, "KsRect's C new_(x, y, w, h)"},
    {"render_texture_new", p_render_texture_new, METH_O, "KsRenderTexture's C new_(size)"},
    {"fast_clear", p_fast_clear, METH_VARARGS, "KsRenderTexture's C c_fast_clear(target, color)"},
    {"shader_create", p_shader_create, METH_VARARGS, "KsShader's C c_create_from_code(vs, fs)"},
    {"layouts", p_layouts, METH_NOARGS, "{type name: (tp_basicsize, sizeof shared layout)}"},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef probe_module = {
    PyModuleDef_HEAD_INIT, "capi_probe", "Test consumer of the platform layer's C interfaces.", -1,
    probe_methods, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit_capi_probe(void) {
    if (layouts_dict == nullptr && (layouts_dict = PyDict_New()) == nullptr) return nullptr;
    vector2_vt = static_cast<const KsVector2VTable *>(
        bind_type("kesa_ui.fast.ksvector2.ksvector2", "KsVector2", sizeof(KsVector2Object)));
    if (vector2_vt == nullptr) return nullptr;
    rect_vt = static_cast<const KsRectVTable *>(
        bind_type("kesa_ui.fast.ksrect.ksrect", "KsRect", sizeof(KsRectObject)));
    if (rect_vt == nullptr) return nullptr;
    render_texture_vt = static_cast<const KsRenderTextureVTable *>(bind_type(
        "kesa_ui.fast.ksrendertex.ks_render_tex", "KsRenderTexture", sizeof(KsRenderTextureObject)));
    if (render_texture_vt == nullptr) return nullptr;
    shader_vt = static_cast<const KsShaderVTable *>(
        bind_type("kesa_ui.fast.ksshader.ksshader", "KsShader", sizeof(KsShaderObject)));
    if (shader_vt == nullptr) return nullptr;
    if (bind_functions() < 0) return nullptr;
    return PyModule_Create(&probe_module);
}
