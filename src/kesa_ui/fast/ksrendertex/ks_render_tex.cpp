// kesa_ui.fast.ksrendertex.ks_render_tex: KsRenderTexture, an off-screen
// render target that owns its GPU objects.
//
// The instance layout is KsRenderTextureObject (ks_render_tex.h):
// `render_texture` is an rl.RenderTexture record (the object handed to
// begin_texture_mode), `size` an exact KsVector2 of the pixel size, `loaded`
// 1 until unload(). The GPU objects are released by unload() or on
// destruction, through rl, which touches the GPU only in the context they
// were made in (once that window has closed they went away with it) and
// only from the window's thread (a release on another thread waits for the
// window's thread). From the release on, every record of the target is
// refused (rl knows it by its identity, not its GL names), and the shared
// rl.RenderTexture record is zeroed.
//
// c_fast_clear is called while the caller's texture, blend and shader modes
// are active on this very target. Inside rl's framebuffer scope (which
// flushes raylib's pending batch first) it binds the target's framebuffer if
// another one is bound, clears colour and depth with glClear (unaffected by
// blending and shaders) and binds back what was bound, so the caller's modes
// stay exactly as they were. glClear does obey an active scissor rectangle,
// like raylib's ClearBackground.
//
// Calls of c_fast_clear go to kesa_raylib's test call log (call_log_api.h).
#include <raylib.h>
#include <rlgl.h>

#include <climits>

#include "kesa_ui/core/rl_api.h"
#include "kesa_ui/fast/ksrendertex/ks_render_tex.h"
#include "kesa_ui/fast/raylib/call_log_api.h"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/capi.hpp"
#include "kesa_ui/native/module.hpp"

namespace {

const KsRlApi *rl = nullptr;
const KsCallLogApi *call_log = nullptr;
PyTypeObject *vector2_type = nullptr;              // strong reference
const KsVector2VTable *vector2_vtable = nullptr;

extern PyTypeObject KsRenderTexture_Type;

RlRenderTextureObject *record(KsRenderTextureObject *self) {
    return reinterpret_cast<RlRenderTextureObject *>(self->render_texture);
}

RenderTexture2D &gpu(KsRenderTextureObject *self) { return record(self)->render_texture; }

// Releases the GPU objects once.
void release(KsRenderTextureObject *self) {
    if (!self->loaded) return;
    self->loaded = 0;
    rl->release_target(record(self));
}

// A subclass's __new__ or __del__ can see an instance whose making failed:
// it has no record. False with ValueError then.
bool made(KsRenderTextureObject *self) {
    if (self->render_texture != nullptr) [[likely]]
        return true;
    PyErr_SetString(PyExc_ValueError, "this KsRenderTexture was never made (making it failed)");
    return false;
}

// 0 when the target can be used for a GL call now; else -1 with
// RuntimeError (another window or thread) or ValueError (unloaded).
int require_loaded(KsRenderTextureObject *self) {
    if (!made(self)) return -1;
    if (ks_rl_require_current(rl, record(self)->generation, "KsRenderTexture") < 0) return -1;
    if (self->loaded && record(self)->object->live) [[likely]]
        return 0;
    return ks_rl_unloaded_target();
}

// One side of the size, truncated toward zero: 1 to INT_MAX pixels (the
// GPU's own limit is checked once the window is known to be usable). The
// message names that limit when there is a window to ask.
bool side_arg(double value, const char *what, int *out) {
    if (!(value >= 1.0 && value < static_cast<double>(INT_MAX) + 1.0)) {  // also rejects NaN
        ks::Ref shown = ks::Ref::steal(PyFloat_FromDouble(value));
        if (!shown) return false;
        if (int limit = rl->max_gpu_side(true); limit > 0)
            PyErr_Format(PyExc_ValueError,
                         "render texture %s must be from 1 to %d pixels (the GPU's limit), got %R",
                         what, limit, shown.get());
        else
            PyErr_Format(PyExc_ValueError, "render texture %s must be at least 1 pixel, got %R",
                         what, shown.get());
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

PyObject *make(PyTypeObject *type, PyObject *size_obj) {
    if (size_obj == nullptr || !PyObject_TypeCheck(size_obj, vector2_type)) {
        PyErr_Format(PyExc_TypeError, "size must be a KsVector2, not %.100s",
                     size_obj == nullptr ? "NULL" : Py_TYPE(size_obj)->tp_name);
        return nullptr;
    }
    const KsVector2Data &d = reinterpret_cast<KsVector2Object *>(size_obj)->data;
    int width, height;
    if (!side_arg(d.x, "width", &width) || !side_arg(d.y, "height", &height)) return nullptr;
    if (ks_rl_require_window(rl) < 0 ||
        rl->require_gpu_size(width, height, true, "render texture") < 0)
        return nullptr;

    // Make the size vector and the instance first, so that nothing on the GPU
    // needs undoing if they fail.
    ks::Ref size = ks::Ref::steal(vector2_vtable->new_(width, height));
    if (!size) return nullptr;
    ks::Ref self_ref = ks::Ref::steal(type->tp_alloc(type, 0));
    if (!self_ref) return nullptr;

    // rl keeps the caller's target bound, so this works inside a caller's
    // texture mode too.
    RenderTexture2D rt;
    if (rl->load_render_texture(width, height, &rt) < 0) return nullptr;
    PyObject *record = rl->render_texture_new(rt);  // releases rt if it fails
    if (record == nullptr) return nullptr;
    auto *self = reinterpret_cast<KsRenderTextureObject *>(self_ref.get());
    self->render_texture = record;
    self->size = reinterpret_cast<KsVector2Object *>(size.release());
    self->loaded = 1;
    return self_ref.release();
}

// --- C method table -----------------------------------------------------------

PyObject *vtable_new(KsVector2Object *size) {
    return make(&KsRenderTexture_Type, reinterpret_cast<PyObject *>(size));
}

int c_fast_clear(KsRenderTextureObject *self, PyObject *color) {
    if (*call_log->hooked &&
        call_log->enter(KS_CALL_c_fast_clear, Py_BuildValue("(O)", color ? color : Py_None)) < 0)
        return -1;
    if (self == nullptr ||
        !PyObject_TypeCheck(reinterpret_cast<PyObject *>(self), &KsRenderTexture_Type)) {
        PyErr_Format(PyExc_TypeError, "c_fast_clear needs a KsRenderTexture, not %.100s",
                     self == nullptr ? "NULL" : Py_TYPE(reinterpret_cast<PyObject *>(self))->tp_name);
        return -1;
    }
    Color c;
    if (rl->color_from_object(color != nullptr ? color : Py_None, &c) < 0 ||
        require_loaded(self) < 0)
        return -1;
    const unsigned int id = gpu(self).id;
    const unsigned int saved = rl->framebuffer_save();  // what was drawn lands before the clear
    if (saved != id) rlEnableFramebuffer(id);
    rlClearColor(c.r, c.g, c.b, c.a);
    rlClearScreenBuffers();
    if (saved != id) rl->framebuffer_restore(saved);
    return 0;
}

KsRenderTextureVTable vtable = {vtable_new, c_fast_clear};

// --- type ---------------------------------------------------------------------------

const ks::Params new_params = {"KsRenderTexture", 1, 1, {"size"}, {}};
const ks::Params draw_params = {"draw", 2, 3, {"x", "y", "tint"}, {}};
const ks::Params draw_rect_params = {"draw_rect", 1, 2, {"dest", "tint"}, {}};

PyObject *rt_new(PyTypeObject *type, PyObject *args, PyObject *kwds) {
    PyObject *size;
    if (!ks::bind_keywords_tuple(new_params, args, kwds, ks::to_object{&size})) return nullptr;
    return make(type, size);
}

void rt_dealloc(PyObject *op) {
    auto *self = reinterpret_cast<KsRenderTextureObject *>(op);
    if (self->render_texture != nullptr) release(self);
    Py_CLEAR(self->render_texture);
    Py_CLEAR(self->size);
    Py_TYPE(op)->tp_free(op);
}

PyObject *rt_repr(PyObject *op) {
    auto *self = reinterpret_cast<KsRenderTextureObject *>(op);
    if (self->render_texture == nullptr) return PyUnicode_FromString("<KsRenderTexture not made>");
    return PyUnicode_FromFormat("<KsRenderTexture id=%u %dx%d%s>", gpu(self).id,
                                gpu(self).texture.width, gpu(self).texture.height,
                                self->loaded ? "" : " unloaded");
}

PyObject *rt_unload(PyObject *op, PyObject *) {
    auto *self = reinterpret_cast<KsRenderTextureObject *>(op);
    // Only a target of the open window has anything to release on the GPU,
    // and only its thread may do that now.
    if (self->loaded && record(self)->generation == *rl->generation && ks_rl_require_window(rl) < 0)
        return nullptr;
    release(self);
    Py_RETURN_NONE;
}

PyObject *rt_fast_clear(PyObject *op, PyObject *color) {
    if (ks_rl_require_no_render(rl) < 0 || c_fast_clear(reinterpret_cast<KsRenderTextureObject *>(op), color) < 0) return nullptr;
    Py_RETURN_NONE;
}

// Draws the target's texture upright into `dest` on the current target
// (never into itself): render textures are stored bottom-up, so the source
// rectangle has a negative height.
PyObject *draw_upright(KsRenderTextureObject *self, Rectangle dest, PyObject *tint_obj) {
    Color tint = WHITE;
    if (ks_rl_require_no_render(rl) < 0 || (tint_obj != nullptr && rl->color_from_object(tint_obj, &tint) < 0) ||
        require_loaded(self) < 0 || ks_rl_require_not_target(rl, record(self)->object) < 0)
        return nullptr;
    const Texture2D &texture = gpu(self).texture;
    Rectangle source{0.0f, 0.0f, static_cast<float>(texture.width),
                     -static_cast<float>(texture.height)};
    DrawTexturePro(texture, source, dest, Vector2{0.0f, 0.0f}, 0.0f, tint);
    Py_RETURN_NONE;
}

PyObject *rt_draw(PyObject *op, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    float x, y;
    PyObject *tint = nullptr;
    if (!ks::bind_keywords(draw_params, args, nargsf, kwnames, ks::to_float{&x}, ks::to_float{&y},
                           ks::to_object{&tint}))
        return nullptr;
    auto *self = reinterpret_cast<KsRenderTextureObject *>(op);
    if (!made(self)) return nullptr;
    const Texture2D &texture = gpu(self).texture;
    return draw_upright(self,
                        Rectangle{x, y, static_cast<float>(texture.width),
                                  static_cast<float>(texture.height)},
                        tint);
}

PyObject *rt_draw_rect(PyObject *op, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    float d[4];
    PyObject *tint = nullptr;
    if (!ks::bind_keywords(draw_rect_params, args, nargsf, kwnames, ks::to_floats<4>{d},
                           ks::to_object{&tint}))
        return nullptr;
    return draw_upright(reinterpret_cast<KsRenderTextureObject *>(op),
                        Rectangle{d[0], d[1], d[2], d[3]}, tint);
}

PyObject *rt_get_render_texture(PyObject *op, void *) {
    auto *self = reinterpret_cast<KsRenderTextureObject *>(op);
    return made(self) ? Py_NewRef(self->render_texture) : nullptr;
}

PyObject *rt_get_size(PyObject *op, void *) {
    auto *self = reinterpret_cast<KsRenderTextureObject *>(op);
    return made(self) ? Py_NewRef(self->size) : nullptr;
}

// Loaded until unload() released the GPU objects, or its window closed and
// took them.
PyObject *rt_get_loaded(PyObject *op, void *) {
    auto *self = reinterpret_cast<KsRenderTextureObject *>(op);
    return PyBool_FromLong(self->loaded && made(self) && record(self)->object->live);
}

PyMethodDef rt_methods[] = {
    {"unload", rt_unload, METH_NOARGS,
     "unload($self, /)\n--\n\nReleases the GPU texture and framebuffer now (a second call does nothing)."},
    {"fast_clear", rt_fast_clear, METH_O,
     "fast_clear($self, color, /)\n--\n\nFills the whole target with an (r, g, b, a) colour, whatever\n"
     "texture, blend or shader mode is active."},
    {"draw", KS_CFUNCTION(rt_draw),
     METH_FASTCALL | METH_KEYWORDS,
     "draw($self, /, x, y, tint=(255, 255, 255, 255))\n--\n\n"
     "Draws the target upright at (x, y) on the current target, at its own size."},
    {"draw_rect", KS_CFUNCTION(rt_draw_rect),
     METH_FASTCALL | METH_KEYWORDS,
     "draw_rect($self, /, dest, tint=(255, 255, 255, 255))\n--\n\n"
     "Draws the target upright, stretched over dest (x, y, width, height)."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef rt_getset[] = {
    {"render_texture", rt_get_render_texture, nullptr, "the rl.RenderTexture record", nullptr},
    {"size", rt_get_size, nullptr, "the size in pixels, a KsVector2", nullptr},
    {"loaded", rt_get_loaded, nullptr,
     "True until unload() released the GPU objects (or its window closed)", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject KsRenderTexture_Type = {
    KS_TYPE_HEAD("kesa_ui.fast.ksrendertex.ks_render_tex.KsRenderTexture", KsRenderTextureObject),
    .tp_dealloc = rt_dealloc,
    .tp_repr = rt_repr,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    .tp_doc = "KsRenderTexture(size)\n--\n\n"
              "An off-screen render target of size.x by size.y pixels (size a KsVector2).",
    .tp_methods = rt_methods,
    .tp_getset = rt_getset,
    .tp_new = rt_new,
};

int exec_module(PyObject *module) {
    if (rl == nullptr && (rl = ks_rl_import()) == nullptr) return -1;
    if (vector2_type == nullptr) {
        ks::Ref type = ks::Ref::steal(reinterpret_cast<PyObject *>(ks::import_type(
            "kesa_ui.fast.ksvector2.ksvector2", "KsVector2", sizeof(KsVector2Object))));
        if (!type) return -1;
        auto *table = static_cast<const KsVector2VTable *>(
            ks::type_vtable(reinterpret_cast<PyTypeObject *>(type.get())));
        if (table == nullptr) return -1;
        vector2_vtable = table;
        vector2_type = reinterpret_cast<PyTypeObject *>(type.release());
    }
    if (call_log == nullptr &&
        (call_log = static_cast<const KsCallLogApi *>(ks::import_capsule(
             "kesa_ui.fast.raylib.kesa_raylib", KS_CALL_LOG_CAPSULE))) == nullptr)
        return -1;
    return ks::add_type(module, &KsRenderTexture_Type, &vtable);
}

}  // namespace

KS_DEFINE_MODULE(ks_render_tex, "kesa_ui.fast.ksrendertex.ks_render_tex",
                 "KsRenderTexture: an off-screen render target.",
                 nullptr, exec_module, nullptr)
