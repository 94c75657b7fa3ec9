// The shared shader resources: one gradient shader, one 1x1 white texture and
// the eight uniform locations, created on first need and kept for the life
// of the process.
//
// The two halves are independent: the shader half runs while the shared
// shader compares equal to None, the texture half while the blank texture
// does. Once both exist a call costs two comparisons, and one more for the
// GL context: both halves belong to the window they were made in, so once
// that window has closed they are dropped and the next call builds them
// again, the same way, for the current window. A failure leaves what was
// already stored in place (see each step).
#include "kesa_ui/fast/ksraygrad/resources.hpp"

#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

namespace ksraygrad {

namespace {

#define QN_ENSURE KS_QUALNAME("GradientRaylib", "_ensure_resources")

// GradientShader.<attr>, which must be a str or None.
Ref shader_source(PyObject *attr) {
    Ref holder = lookup_global(g.s.GradientShader);
    if (!holder) return Ref();
    Ref src = Ref::steal(PyObject_GetAttr(holder.get(), attr));
    if (src && src.get() != Py_None && !PyUnicode_CheckExact(src.get())) {
        PyErr_Format(PyExc_TypeError, "Expected str, got %.200s", Py_TYPE(src.get())->tp_name);
        return Ref();
    }
    return src;
}

int build_shader() {
    Ref vs = shader_source(g.s.VERTEX_SHADER);
    if (!vs) return -1;
    Ref fs = shader_source(g.s.FRAGMENT_SHADER);
    if (!fs) return -1;
    Ref shader = Ref::steal(g.shader_vt->c_create_from_code(vs.get(), fs.get()));
    if (!shader) return -1;
    ks::replace_field(g.shared_shader, std::move(shader));
    struct Uniform {
        PyObject *name;
        int *loc;
    };
#define KS_UNIFORM(loc, text) {g.s.loc##_name, &g.loc},
    const Uniform uniforms[] = {KS_UNIFORMS(KS_UNIFORM)};
#undef KS_UNIFORM
    for (const Uniform &u : uniforms) {
        int loc = g.fn.get_ksshader_location(shared_shader(), u.name);
        if (PyErr_Occurred()) return -1;
        *u.loc = loc;
    }
    return 0;
}

// md.rl.<name>(args...) for a name of the binding, each call looking md.rl
// up again.
template <typename... Args>
Ref call_rl(PyObject *name, Args... args) {
    Ref rl = current_rl();
    if (!rl) return Ref();
    return Ref::steal(PyObject_CallMethodObjArgs(rl.get(), name, args..., nullptr));
}

// The 1x1 white texture: an image of rl.WHITE, loaded as a texture, then
// unloaded.
int build_blank_texture() {
    Ref rl = current_rl();
    if (!rl) return -1;
    Ref gen = Ref::steal(PyObject_GetAttr(rl.get(), g.s.gen_image_color));
    if (!gen) return -1;
    Ref rl_again = current_rl();
    if (!rl_again) return -1;
    Ref white = Ref::steal(PyObject_GetAttr(rl_again.get(), g.s.white));
    if (!white) return -1;
    Ref one = Ref::steal(PyLong_FromLong(1));
    if (!one) return -1;
    PyObject *gen_args[3] = {one.get(), one.get(), white.get()};
    Ref img = Ref::steal(PyObject_Vectorcall(gen.get(), gen_args, 3, nullptr));
    if (!img) return -1;
    // If loading fails, the image is released with `img`: rl images free
    // their pixels when destroyed.
    Ref texture = call_rl(g.s.load_texture_from_image, img.get());
    if (!texture) return -1;
    ks::replace_field(g.shared_blank_texture, std::move(texture));
    return call_rl(g.s.unload_image, img.get()) ? 0 : -1;
}

// Back to the state at load, for the current context.
void forget_resources() {
    g.resources_generation = *g.context_generation;
#define KS_RESET_LOCATION(loc, text) g.loc = -1;
    KS_UNIFORMS(KS_RESET_LOCATION)
#undef KS_RESET_LOCATION
    ks::replace_field(g.shared_shader, Ref::new_ref(Py_None));
    ks::replace_field(g.shared_blank_texture, Ref::new_ref(Py_None));
}

}  // namespace

int ensure_resources() {
    if (g.resources_generation != *g.context_generation) [[unlikely]]
        forget_resources();
    int absent = equals_none(g.shared_shader);
    if (absent < 0 || (absent && build_shader() < 0)) return -1;
    absent = equals_none(g.shared_blank_texture);
    if (absent < 0 || (absent && build_blank_texture() < 0)) return -1;
    return 0;
}

int call_ensure_resources(GradientRaylibObject *self) {
    PyTypeObject *type = Py_TYPE(self);
    if (type == &GradientRaylib_Type || type == &ClickGradient_Type)
        return traced(QN_ENSURE, ensure_resources());
    Ref res = Ref::steal(
        PyObject_CallMethodNoArgs(reinterpret_cast<PyObject *>(self), g.s.ensure_resources));
    return res ? 0 : -1;
}

PyObject *gradient_ensure_resources(PyObject *, PyObject *const *, size_t nargsf,
                                    PyObject *kwnames) {
    bool ok = no_args("_ensure_resources", nargsf, kwnames) && ensure_resources() == 0;
    return traced(QN_ENSURE, ok ? Py_NewRef(Py_None) : nullptr);
}

}  // namespace ksraygrad
