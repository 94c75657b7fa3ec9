// Rendering: the module's one shader program (kesa_ui.fast.GeometryShader's
// source, built for the open window on first need and again for each new
// window), the upload of a gradient as its uniforms, and the two renders.
//
// A render calls raylib directly and runs no Python code once its modes
// begin (building the program, before them, does): nothing can end the
// modes under it or start another render inside it, and another gradient
// module's render in progress refuses this one, and the reverse (the
// platform's render flag). Each render ends every mode it began, in
// reverse order, so the caller's texture and blend modes are back as they
// were; raylib's shader mode does not nest, so a render ends in raylib's
// default shader.
#include "kesa_ui/fast/ksgradient/render.hpp"

#include <cmath>

#include "kesa_ui/core/rl_api.h"  // first: raylib.h
#include "kesa_ui/fast/ksgradient/state.hpp"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/number.hpp"

#include <rlgl.h>

namespace ksgradient {

using ks::Ref;

namespace {

// The shader's uniforms, by the names GeometryShader gives them.
#define KS_UNIFORMS(X)                                                                    \
    X(kind) X(angle) X(centerPos) X(radii) X(focal) X(spreadMode) X(period) X(average)    \
    X(colors) X(stops) X(colorCount) X(alpha) X(size) X(space) X(gaps)

enum Uniform : int {
#define KS_UNIFORM_ENUM(name) u_##name,
    KS_UNIFORMS(KS_UNIFORM_ENUM)
#undef KS_UNIFORM_ENUM
    kUniforms
};

// Vectors the fragment stage spends besides the arrays and on the arrays per
// colour (GeometryShader.OTHER_UNIFORMS, VECTORS_PER_COLOR), and the most
// colours it is ever built for.
constexpr int kOtherUniforms = 12, kVectorsPerColor = 3;
constexpr int kMaxColors = Model::kMaxColors;

// The program, for the window of `generation`; `shader` (a KsShader) owns it.
struct Program {
    PyObject *shader = nullptr;
    uint64_t generation = 0;
    int capacity = 0;  // colours its arrays hold
    int loc[kUniforms];
};
Program program;

ks::Params draw_params = {"draw", 4, 4, {"x", "y", "width", "height"}};
ks::Params texture_params = {"generate_texture", 2, 2, {"width", "height"}};

// module.name(*args), with `args` a new tuple (or empty, its error set).
Ref call_function(const char *module, const char *name, Ref args) {
    if (!args) return Ref();
    Ref mod = Ref::steal(PyImport_ImportModule(module));
    if (!mod) return Ref();
    Ref fn = Ref::steal(PyObject_GetAttrString(mod.get(), name));
    return fn ? Ref::steal(PyObject_Call(fn.get(), args.get(), nullptr)) : Ref();
}

// How many colours this window's GPU holds in the shader's arrays: 0, or
// -1 with RuntimeError.
int gpu_capacity(int *out) {
    Ref vectors = call_function("kesa_ui.core.rl", "get_max_fragment_uniform_vectors",
                                 Ref::steal(PyTuple_New(0)));
    if (!vectors) return -1;
    long n = PyLong_AsLong(vectors.get());
    if (n == -1 && PyErr_Occurred()) return -1;
    long capacity = (n - kOtherUniforms) / kVectorsPerColor;
    if (capacity < 2) {
        PyErr_Format(PyExc_RuntimeError,
                     "the GPU's fragment shaders hold %ld uniform vectors, too few for a gradient "
                     "of two colours",
                     n);
        return -1;
    }
    *out = static_cast<int>(capacity < kMaxColors ? capacity : kMaxColors);
    return 0;
}

// Builds the program for the open window (the caller is on its thread).
int build_program() {
    int version = rlGetVersion();
    const KsGlBackend *backend = bound.rl->gl_backend(version);
    if (backend != nullptr && !backend->shaders) {
        PyErr_Format(PyExc_RuntimeError,
                     "this raylib was built for %s, without programmable shaders, so it cannot "
                     "draw GPU gradients; kesa_ui.rendering.pygame.geometry.render draws the same "
                     "gradients on the CPU",
                     backend->name);
        return -1;
    }
    int capacity;
    if (gpu_capacity(&capacity) < 0) return -1;
    Ref source = call_function("kesa_ui.fast.GeometryShader", "fragment_shader",
                               Ref::steal(Py_BuildValue("(ii)", version, capacity)));
    if (!source) return -1;
    if (!PyUnicode_CheckExact(source.get())) {
        PyErr_Format(PyExc_TypeError, "GeometryShader.fragment_shader gave %.100s, not a str",
                     Py_TYPE(source.get())->tp_name);
        return -1;
    }
    Ref shader = Ref::steal(bound.shader_vt->c_create_from_code(Py_None, source.get()));
    if (!shader) return -1;
    auto *s = reinterpret_cast<KsShaderObject *>(shader.get());
    Shader raylib_shader{s->id, s->locs};
    static const char *const uniform_names[] = {
#define KS_UNIFORM_NAME(name) #name,
        KS_UNIFORMS(KS_UNIFORM_NAME)
#undef KS_UNIFORM_NAME
    };
    for (int i = 0; i < kUniforms; i++)
        program.loc[i] = GetShaderLocation(raylib_shader, uniform_names[i]);
    program.capacity = capacity;
    program.generation = s->generation;
    ks::replace_field(program.shader, std::move(shader));
    return 0;
}

// The program of the open window, built when there is none yet: its
// shader, or nullptr with an exception set.
KsShaderObject *current_program() {
    if (program.shader == nullptr || program.generation != *bound.rl->generation) [[unlikely]] {
        // A closed window's program went with its context: releasing the
        // KsShader touches nothing on the GPU.
        Py_CLEAR(program.shader);
        if (build_program() < 0) return nullptr;
    }
    return reinterpret_cast<KsShaderObject *>(program.shader);
}

// The checks every render makes before it begins a mode: a model to draw,
// and room for its colours in the program.
bool drawable(const Model &m) {
    if (m.colors.rgba.empty()) {
        PyErr_SetString(PyExc_TypeError,
                        "this Gradient has no colours: it was never initialised or restored");
        return false;
    }
    if (m.colors.rgba.size() > static_cast<size_t>(program.capacity)) {
        PyErr_Format(PyExc_ValueError, "this gradient has %zu colours; the shader on this GPU holds %d",
                     m.colors.rgba.size(), program.capacity);
        return false;
    }
    return true;
}

// Uniform `u` of the program in use: `count` values of `type` (GL ignores
// a uniform the shader dropped, whose location is -1; so does this).
void set_uniform(int u, const void *value, int type, int count = 1) {
    int loc = program.loc[u];
    if (loc >= 0) rlSetUniform(loc, value, type, count);
}

// The uniforms of `m` drawn over a w x h rectangle with opacity `alpha`, into
// program `id` (the one the shader mode draws with): put in use once, then
// every value set.
void upload(const Model &m, unsigned int id, float w, float h, float alpha) {
    DrawGeometry geo;
    draw_geometry(m, w, h, geo);
    int kind = m.kind, spread = m.spread, space = m.space, n = static_cast<int>(m.colors.rgba.size());
    float angle = ks::narrow(m.angle);
    float center[2] = {ks::narrow(m.center[0]), ks::narrow(m.center[1])};
    float size[2] = {w, h};
    rlEnableShader(id);
    set_uniform(u_kind, &kind, RL_SHADER_UNIFORM_INT);
    set_uniform(u_angle, &angle, RL_SHADER_UNIFORM_FLOAT);
    set_uniform(u_centerPos, center, RL_SHADER_UNIFORM_VEC2);
    set_uniform(u_radii, geo.radii, RL_SHADER_UNIFORM_VEC2);
    set_uniform(u_focal, geo.focal, RL_SHADER_UNIFORM_VEC4);
    set_uniform(u_spreadMode, &spread, RL_SHADER_UNIFORM_INT);
    set_uniform(u_period, geo.period, RL_SHADER_UNIFORM_VEC2);
    set_uniform(u_average, m.average, RL_SHADER_UNIFORM_VEC4);
    set_uniform(u_space, &space, RL_SHADER_UNIFORM_INT);
    set_uniform(u_colors, m.shader_colors(), RL_SHADER_UNIFORM_VEC4, n);
    set_uniform(u_gaps, m.shader_gaps(), RL_SHADER_UNIFORM_VEC2, n);
    set_uniform(u_stops, m.stops.data(), RL_SHADER_UNIFORM_FLOAT, n);
    set_uniform(u_colorCount, &n, RL_SHADER_UNIFORM_INT);
    set_uniform(u_alpha, &alpha, RL_SHADER_UNIFORM_FLOAT);
    set_uniform(u_size, size, RL_SHADER_UNIFORM_VEC2);
}

// rlgl's own 1x1 white texture, stretched over `dest` through shader `s`:
// the texture coordinates run 0..1 across the rectangle, as the shader's
// positions need.
void paint(const Model &m, Shader s, Rectangle dest, float alpha) {
    BeginShaderMode(s);  // draws what the caller had batched, with its shader
    upload(m, s.id, dest.width, dest.height, alpha);
    Texture2D white{rlGetTextureIdDefault(), 1, 1, 1, PIXELFORMAT_UNCOMPRESSED_R8G8B8A8};
    DrawTexturePro(white, Rectangle{0, 0, 1, 1}, dest, Vector2{0, 0}, 0.0f, WHITE);
    EndShaderMode();  // draws the rectangle, with these uniforms
}

bool finite_arg(PyObject *obj, const char *name, float *out) {
    double d = ks::as_double(obj);
    if (d == -1.0 && PyErr_Occurred()) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) {
            PyErr_Clear();
            PyErr_Format(PyExc_TypeError, "%s must be a number, not %.100s", name,
                         Py_TYPE(obj)->tp_name);
        }
        return false;
    }
    float f = ks::narrow(d);
    if (!std::isfinite(f)) {
        PyErr_Format(PyExc_ValueError, "%s must be a finite number within float range, not %R",
                     name, obj);
        return false;
    }
    *out = f;
    return true;
}

PyObject *draw_impl(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[4];
    if (!ks::bind_args(draw_params, args, nargsf, kwnames, a)) return nullptr;
    float v[4];
    for (int i = 0; i < 4; i++) {
        if (!finite_arg(a[i], draw_params.texts[i], &v[i])) return nullptr;
    }
    if (v[2] < 0.0f || v[3] < 0.0f) {
        PyErr_Format(PyExc_ValueError, "width and height must be at least 0, not %R and %R", a[2],
                     a[3]);
        return nullptr;
    }
    KsRenderScope render(bound.rl);
    if (!render.begin()) return nullptr;
    KsShaderObject *shader = current_program();
    const Model &m = model_of(self);
    if (shader == nullptr || !drawable(m)) return nullptr;
    if (v[2] > 0.0f && v[3] > 0.0f)
        paint(m, Shader{shader->id, shader->locs}, Rectangle{v[0], v[1], v[2], v[3]},
              static_cast<float>(m.transparency / 255.0));
    Py_RETURN_NONE;
}

PyObject *generate_texture_impl(PyObject *self, PyObject *const *args, size_t nargsf,
                                PyObject *kwnames) {
    PyObject *a[2];
    if (!ks::bind_args(texture_params, args, nargsf, kwnames, a)) return nullptr;
    int size[2];
    for (int i = 0; i < 2; i++) {
        if (!PyIndex_Check(a[i])) {
            PyErr_Format(PyExc_TypeError, "%s must be an int, not %.100s", texture_params.texts[i],
                         Py_TYPE(a[i])->tp_name);
            return nullptr;
        }
        int overflow;
        Ref index = Ref::steal(PyNumber_Index(a[i]));
        if (!index) return nullptr;
        long n = PyLong_AsLongAndOverflow(index.get(), &overflow);
        if (n == -1 && PyErr_Occurred()) return nullptr;
        if (overflow > 0 || n > INT32_MAX) {
            PyErr_Format(PyExc_ValueError, "%s of %R pixels is beyond what any GPU takes",
                         texture_params.texts[i], index.get());
            return nullptr;
        }
        if (overflow < 0 || n < 1) {
            PyErr_Format(PyExc_ValueError, "a texture is at least 1x1 pixels: %s must be at least 1, not %R",
                         texture_params.texts[i], a[i]);
            return nullptr;
        }
        size[i] = static_cast<int>(n);
    }
    KsRenderScope render(bound.rl);
    if (!render.begin()) return nullptr;
    KsShaderObject *shader = current_program();
    const Model &m = model_of(self);
    if (shader == nullptr || !drawable(m) ||
        bound.rl->require_gpu_size(size[0], size[1], true, "render texture") < 0)
        return nullptr;
    Ref dims = Ref::steal(bound.vec2_vt->new_(size[0], size[1]));
    if (!dims) return nullptr;
    Ref target = Ref::steal(bound.rtex_vt->new_(reinterpret_cast<KsVector2Object *>(dims.get())));
    if (!target) return nullptr;
    auto *record = reinterpret_cast<RlRenderTextureObject *>(
        reinterpret_cast<KsRenderTextureObject *>(target.get())->render_texture);
    if (bound.rl->begin_target(record) < 0) return nullptr;
    if (bound.rl->begin_blend_mode(BLEND_ALPHA_PREMULTIPLY) < 0) {
        bound.rl->end_texture_mode();
        return nullptr;
    }
    ClearBackground(BLANK);
    paint(m, Shader{shader->id, shader->locs},
          Rectangle{0, 0, static_cast<float>(size[0]), static_cast<float>(size[1])}, 1.0f);
    bound.rl->end_blend_mode();
    bound.rl->end_texture_mode();
    return target.release();
}

}  // namespace

int intern_render_params() {
    ks::Params *lists[] = {&draw_params, &texture_params};
    return ks::intern_params(lists, 2);
}

PyObject *gradient_draw(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    return draw_impl(self, args, nargsf, kwnames);
}

PyObject *gradient_generate_texture(PyObject *self, PyObject *const *args, size_t nargsf,
                                    PyObject *kwnames) {
    return generate_texture_impl(self, args, nargsf, kwnames);
}

}  // namespace ksgradient
