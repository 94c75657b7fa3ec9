// The C-level interface of kesa_ui.core.rl, the toolkit's raylib binding.
//
// Sibling extension modules reuse rl's Image, Texture and RenderTexture
// types instead of defining their own. They fetch this table once with
// ks_rl_import() (a capsule under rl._C_API_V3) and then build and read rl
// objects directly. Every module links the same shared libraylib, so they
// all see one GL context.
//
// GPU objects belong to the GL context they were made in, that is to one
// window. init_window starts a new context generation and close_window ends
// it; every object that names GL ids (rl's Texture and RenderTexture
// records, KsRenderTexture through its record, KsShader) records the
// generation it was made in. An object of an ended generation never issues
// a GL call: the driver freed its ids with the context, and the same ids may
// name other objects in a later window. Releasing it touches nothing on the
// GPU; every other use raises RuntimeError.
//
// GL calls are made only from the thread that opened the window (raylib's
// context is current there and nowhere else). A GPU object released on
// another thread, by the garbage collector say, is queued and released by
// that thread's next GL call.
//
// A GPU object is known by its identity, a KsGpuObject, never by its GL
// names alone: GL gives a freed name to the next object at once. Every
// record of a texture or render texture points to the identity of what it
// names; once that object is unloaded (or released by its owner), every
// record of it is refused, whatever GL gives the next object. Records own
// nothing: collecting one never unloads anything.
//
// rl keeps the window's modes: texture modes and blend modes nest (ending
// one returns to the mode the caller had), a frame begins on the screen with
// no mode left open, and drawing a render texture's texture into that very
// target is refused (GL leaves such a feedback loop undefined).
#pragma once

#include <Python.h>
#include <raylib.h>

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "kesa_ui/native/capi.hpp"

struct RlImageObject {
    PyObject_HEAD
    Image image;  // owns image.data until unload_image or destruction
};

// The identity of a texture or render texture made through rl. Records hold
// a reference to it; `live` turns false for good when the object is
// unloaded, released by its owner, or its window closes.
struct KsGpuObject {
    Py_ssize_t refs;      // records, the stack of targets, and rl while live
    uint64_t serial;      // unique for the life of the process
    uint64_t generation;  // of the context the GL names belong to
    bool live;
    // Made by rl.load_texture_from_image / rl.load_render_texture (unloaded
    // through rl), or for a sibling that owns it (a KsRenderTexture, which
    // releases it with release_target).
    bool owned_by_rl;
    bool render_target;   // a framebuffer with its colour texture and depth buffer
    RenderTexture2D gpu;  // the GL names and sizes (a plain texture: gpu.texture, gpu.id 0)
};

// Which part of a GPU object a Texture record names.
enum KsTexturePart : int {
    KS_TEXTURE_PLAIN = 0,  // a texture of its own
    KS_TEXTURE_COLOR = 1,  // a render texture's colour texture
    KS_TEXTURE_DEPTH = 2,  // a render texture's depth renderbuffer: no texture at all
};

struct RlTextureObject {
    PyObject_HEAD
    Texture2D texture;    // the names and size, as raylib gives them
    uint64_t generation;  // of the context the ids belong to (object->generation)
    KsGpuObject *object;  // what it names (a strong reference; never null)
    int part;             // KsTexturePart
};

struct RlRenderTextureObject {
    PyObject_HEAD
    RenderTexture2D render_texture;  // zeroed once the target is unloaded
    uint64_t generation;
    KsGpuObject *object;  // never null
};

// GL entry points of the window's context, loaded once per window (they may
// live at other addresses with a new one); a member is null when GL lacks it
// (raylib's software renderer lacks all of them). Valid on the window's
// thread while the window is open.
// Each is X(return type, name without "gl", parameters).
#define KS_GL_FUNCTIONS(X)                                                                  \
    X(void, GetIntegerv, (unsigned int pname, int *value))                                  \
    X(unsigned int, GetError, (void))                                                       \
    X(unsigned int, CreateShader, (unsigned int type))                                      \
    X(void, ShaderSource,                                                                   \
      (unsigned int shader, int count, const char *const *text, const int *length))         \
    X(void, CompileShader, (unsigned int shader))                                           \
    X(void, GetShaderiv, (unsigned int shader, unsigned int pname, int *value))             \
    X(void, GetShaderInfoLog, (unsigned int shader, int size, int *length, char *log))      \
    X(void, DeleteShader, (unsigned int shader))                                            \
    X(unsigned char, IsProgram, (unsigned int program))                                     \
    X(void, GetProgramiv, (unsigned int program, unsigned int pname, int *value))           \
    X(void, GetActiveUniform, (unsigned int program, unsigned int index, int size,          \
                               int *length, int *count, unsigned int *type, char *name))    \
    X(int, GetUniformLocation, (unsigned int program, const char *name))

struct KsGl {
#define KS_GL_MEMBER(ret, name, params) ret(*name) params;
    KS_GL_FUNCTIONS(KS_GL_MEMBER)
#undef KS_GL_MEMBER
};

// The GL backends raylib can be built for, rlgl.h's rlGlVersion, written
// down once: each with its member's name, what raylib is then said to be
// built for, and whether it has programmable shaders. rl exports the table
// to Python (GL_BACKENDS) and to C (KsRlApi::gl_backend).
#define KS_GL_BACKENDS(X)                                  \
    X(RL_OPENGL_SOFTWARE, "its software renderer", false)  \
    X(RL_OPENGL_11, "OpenGL 1.1", false)                   \
    X(RL_OPENGL_21, "OpenGL 2.1", true)                    \
    X(RL_OPENGL_33, "OpenGL 3.3", true)                    \
    X(RL_OPENGL_43, "OpenGL 4.3", true)                    \
    X(RL_OPENGL_ES_20, "OpenGL ES 2.0", true)              \
    X(RL_OPENGL_ES_30, "OpenGL ES 3.0", true)

struct KsGlBackend {
    int version;          // an rlGlVersion
    const char *member;   // its name, e.g. "RL_OPENGL_33"
    const char *name;     // e.g. "OpenGL 3.3", as in "raylib was built for OpenGL 3.3"
    bool shaders;         // programmable shaders
};

struct KsRlApi {
    // sizeof(KsRlApi) in the rl that made the table. Fields are only ever
    // added at the end, so a consumer can use a table at least as large as
    // the one its own header declares.
    size_t size;
    PyTypeObject *texture_type;
    PyTypeObject *render_texture_type;
    // New records of the current generation, each with a new identity: new
    // references, or nullptr with an exception set and the GPU objects
    // released. A texture is rl's (unloaded through rl.unload_texture); a
    // render texture is the caller's, who releases it with release_target.
    PyObject *(*texture_new)(Texture2D texture);
    PyObject *(*render_texture_new)(RenderTexture2D render_texture);
    // 0 when a raylib window (and so a GL context) is open and the caller is
    // on the thread that opened it, else -1 with RuntimeError set. Every GPU
    // call goes through this first; while nothing is queued for release it
    // costs one comparison.
    int (*require_window)(void);
    // The current context generation. While no window is open it holds a
    // value that no object carries, so `object generation == *generation`
    // tells at once whether the object's ids are usable.
    const uint64_t *generation;
    // Releases the GPU objects of a render texture / a shader program made
    // in `generation`: now, when that is the current context and the caller
    // is on its thread; later, from that thread, when it is another thread;
    // never, when the context has ended. Cannot fail (a release that cannot
    // be queued for lack of memory is dropped). A render texture is found
    // by its names among the live ones (release_target needs no search).
    void (*release_render_texture)(uint64_t generation, RenderTexture2D render_texture);
    void (*release_shader)(uint64_t generation, unsigned int program);
    // Reads a colour given as a sequence of four ints 0..255: 0, or -1 with
    // TypeError / ValueError set.
    int (*color_from_object)(PyObject *obj, Color *out);
    // raylib's trace log level as last set through rl.set_trace_log_level
    // (raylib starts at LOG_INFO). raylib has no getter of its own; modules
    // that lower the level for a moment use this to restore it.
    int (*trace_log_level)(void);
    // The thread (as pthread_self() names it) for which require_window would
    // return 0 at once: the window's thread while nothing waits for release,
    // else 0, which names no thread. Read by ks_rl_require_window. (Atomic:
    // the window's thread clears it as it ends, without the GIL.)
    const std::atomic<unsigned long> *ready_thread;
    // Texture modes that nest (the caller has checked the window): begin
    // makes the live render texture with `target`'s names the drawing
    // target, 0 or -1 with ValueError (none is live) or MemoryError; end
    // returns drawing to the target that was active before the matching
    // begin and is still loaded (the screen when there is none), with its
    // viewport and projection. begin_target does the same without a search.
    int (*begin_texture_mode)(const RenderTexture2D *target);
    void (*end_texture_mode)(void);
    // The framebuffer bound for drawing (0: the screen), asked of GL: raylib's
    // rlGetActiveFramebuffer answers 0 on OpenGL ES 2.0 whatever is bound.
    unsigned int (*bound_framebuffer)(void);
    // Loads a complete render texture of width x height (checked by the
    // caller), keeping the framebuffer the caller has bound: 0, or -1 with
    // RuntimeError. The caller makes its record with render_texture_new, or
    // releases it with release_render_texture.
    int (*load_render_texture)(int width, int height, RenderTexture2D *out);
    // 0 when a width x height GPU object fits this GPU: each side at most
    // the largest texture side it takes (and, for a `render_target`, the
    // largest renderbuffer side), else -1 with ValueError naming the limit;
    // `what` names the object in the message ("render texture"). Sizes must
    // be positive (the caller checks); the caller is on the window's thread.
    int (*require_gpu_size)(int width, int height, bool render_target, const char *what);
    // True while a gradient renders (ks_rl_begin_render .. ks_rl_end_render).
    bool *render_in_progress;

    // --- identities, modes and GL, by what objects are ---
    // Makes `target` (a record of the open window, checked by the caller)
    // the drawing target, as begin_texture_mode: 0, or -1 with ValueError
    // when it was unloaded, or MemoryError.
    int (*begin_target)(RlRenderTextureObject *target);
    // The owner releases its render texture: every record of it is refused
    // from now on, and the GPU objects go as release_render_texture says.
    // The record is zeroed. Cannot fail; a second call does nothing.
    void (*release_target)(RlRenderTextureObject *target);
    // The target drawing goes to (the innermost texture mode's target still
    // loaded), or null for the screen.
    KsGpuObject *const *current_target;
    // Blend modes that nest, as texture modes do: begin (mode checked by the
    // caller) 0, or -1 with MemoryError; end returns to the mode the caller
    // had (raylib's default alpha blending when none is begun).
    int (*begin_blend_mode)(int mode);
    void (*end_blend_mode)(void);
    // The GL entry points of the open window (see KsGl).
    const KsGl *gl;
    // A scope around GL work that may change the bound framebuffer: save
    // draws raylib's pending batch to wherever it was going and returns the
    // framebuffer bound (0: the screen); restore binds `saved` again. Pass 0
    // to restore when the saved one was deleted meanwhile.
    unsigned int (*framebuffer_save)(void);
    void (*framebuffer_restore)(unsigned int saved);
    // The largest side this window's GPU takes for a texture (a
    // render_target: for a render texture), or 0 without a window.
    int (*max_gpu_side)(bool render_target);
    // What rl knows of a GL backend (an rlGlVersion), nullptr for one it
    // does not know. rlGetVersion() is the one this raylib was built for.
    const KsGlBackend *(*gl_backend)(int version);
};

// Renamed when the table gained its leading size and when a field went: a
// module built against another layout cannot bind this one by mistake, nor
// the reverse. Fields are only ever added at the end under one name.
#define KS_RL_API_ATTRIBUTE "_C_API_V3"
#define KS_RL_API_CAPSULE "kesa_ui.core.rl." KS_RL_API_ATTRIBUTE

// -1 with `type` raised with `message`: the refusals below.
static inline int ks_rl_refuse(PyObject *type, const char *message) {
    PyErr_SetString(type, message);
    return -1;
}

// 0 when an object made in `generation` belongs to the open window, else -1
// with RuntimeError set; `what` names the object in the message.
static inline int ks_rl_require_generation(const KsRlApi *api, uint64_t generation,
                                           const char *what) {
    if (generation == *api->generation) [[likely]]
        return 0;
    PyErr_Format(PyExc_RuntimeError, "this %s was made for a raylib window that has been closed",
                 what);
    return -1;
}

// api->require_window(), with its common case (the caller is the window's
// thread and nothing waits for release) answered here, without a call.
static inline int ks_rl_require_window(const KsRlApi *api) {
    if ((unsigned long)pthread_self() == api->ready_thread->load(std::memory_order_relaxed))
        [[likely]]
        return 0;
    return api->require_window();
}

// The same, and the caller is on the window's thread: the object may be used
// for a GL call now.
static inline int ks_rl_require_current(const KsRlApi *api, uint64_t generation,
                                        const char *what) {
    if (ks_rl_require_generation(api, generation, what) < 0) return -1;
    return ks_rl_require_window(api);
}

// 0 when `t` names a texture that can be drawn or read now: loaded, of the
// open window, not a depth buffer, and the caller on the window's thread;
// else -1 with ValueError (unloaded, a depth buffer) or RuntimeError.
static inline int ks_rl_require_texture(const KsRlApi *api, const RlTextureObject *t) {
    const KsGpuObject *o = t->object;
    if (o->live && o->generation == *api->generation && t->part != KS_TEXTURE_DEPTH) [[likely]]
        return ks_rl_require_window(api);
    if (ks_rl_require_generation(api, o->generation, "texture") < 0) return -1;
    if (t->part == KS_TEXTURE_DEPTH)
        PyErr_SetString(PyExc_ValueError,
                        "this is a render texture's depth buffer, which is not a texture: use its "
                        "texture");
    else {
        const char *why = o->owned_by_rl
                              ? "it was unloaded"
                              : "the KsRenderTexture that owned it was unloaded or garbage "
                                "collected: keep the KsRenderTexture while its texture is used";
        if (t->texture.id == 0 && o->owned_by_rl)
            PyErr_SetString(PyExc_ValueError, "the texture was unloaded");
        else if (t->texture.id == 0)
            PyErr_Format(PyExc_ValueError, "the texture was unloaded (%s)", why);
        else
            PyErr_Format(PyExc_ValueError,
                         "texture id %u no longer names a %dx%d texture of this window (%s)",
                         t->texture.id, t->texture.width, t->texture.height, why);
    }
    return -1;
}

// 0 unless `object`, a render texture, is the target being drawn into:
// drawing its texture there is a feedback loop, which GL leaves undefined.
// -1 with ValueError then.
static inline int ks_rl_require_not_target(const KsRlApi *api, const KsGpuObject *object) {
    if (object != *api->current_target) [[likely]]
        return 0;
    return ks_rl_refuse(PyExc_ValueError,
                        "a render texture cannot be drawn into itself: this texture belongs to "
                        "the target being drawn into (end its texture mode first)");
}

// 0 unless a gradient is being rendered: Python code it runs may not draw
// or change the window's modes (that would land in the render's target or
// end its modes). -1 with RuntimeError then.
static inline int ks_rl_require_no_render(const KsRlApi *api) {
    if (!*api->render_in_progress) [[likely]]
        return 0;
    return ks_rl_refuse(PyExc_RuntimeError,
                        "a gradient is being rendered: code it runs cannot draw or change the "
                        "window's modes");
}

// The same, and the caller is on the window's thread: Python code may draw
// or change the window's modes now.
static inline int ks_rl_require_drawing(const KsRlApi *api) {
    if (ks_rl_require_no_render(api) < 0) return -1;
    return ks_rl_require_window(api);
}

// -1 with the ValueError for a render texture whose GPU objects were
// released (unloaded, or gone with their window).
static inline int ks_rl_unloaded_target(void) {
    return ks_rl_refuse(PyExc_ValueError, "the render texture was unloaded");
}

// Renders do not interleave. A gradient's render uploads the shared
// uniforms and begins modes that any other render would overwrite or end, and
// it may run Python code on the way (a tint or a centre looked up, say): a
// render begun from that code is refused before it touches the GPU, with
// RuntimeError, whichever gradient module it comes from. 0, or -1.
static inline int ks_rl_begin_render(const KsRlApi *api) {
    // Only the window's thread renders, so the flag is that thread's alone.
    if (ks_rl_require_window(api) < 0) return -1;
    if (*api->render_in_progress) [[unlikely]]
        return ks_rl_refuse(PyExc_RuntimeError,
                            "a gradient is already being rendered: a render cannot begin "
                            "inside another one (from code that the first render ran)");
    *api->render_in_progress = true;
    return 0;
}

static inline void ks_rl_end_render(const KsRlApi *api) { *api->render_in_progress = false; }

// A render's body, as a scope: begin() refuses (RuntimeError) while another
// render is in progress, and the flag drops when the scope ends.
class KsRenderScope {
public:
    explicit KsRenderScope(const KsRlApi *api) : api_(api) {}
    KsRenderScope(const KsRenderScope &) = delete;
    KsRenderScope &operator=(const KsRenderScope &) = delete;
    bool begin() { return (begun_ = ks_rl_begin_render(api_) == 0); }
    ~KsRenderScope() {
        if (begun_) ks_rl_end_render(api_);
    }

private:
    const KsRlApi *api_;
    bool begun_ = false;
};

// Imports kesa_ui.core.rl and returns its table, or nullptr with an
// exception set: ImportError when the table is older (smaller) than the one
// this header declares, as from an rl built before fields were added. The
// module stays imported for the life of the process.
static inline const KsRlApi *ks_rl_import(void) {
    auto *api =
        static_cast<const KsRlApi *>(ks::import_capsule("kesa_ui.core.rl", KS_RL_API_CAPSULE));
    if (api != nullptr && api->size < sizeof(KsRlApi)) {
        PyErr_Format(PyExc_ImportError,
                     "kesa_ui.core.rl's C interface has %zu bytes where this module needs %zu: "
                     "it comes from an older build of kesa_ui",
                     api->size, sizeof(KsRlApi));
        return nullptr;
    }
    return api;
}
