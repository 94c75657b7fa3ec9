// The GL context behind rl's window: its generation, the thread that owns
// it, its GL entry points, the identities of the GPU objects made in it,
// GPU objects whose release waits for that thread, and the window's modes.
//
// Generations: `generation` names the current context while a window is
// open. Opening and closing a window each move it to a value never used
// before, so an object stamped with an older value is known to be stale with
// one comparison, also while no window is open.
//
// Thread affinity: raylib's context is current only on the thread that
// called init_window. require_window() compares the caller's thread with
// `fast_owner`, which holds that thread while a window is open and nothing
// waits for release, and 0 otherwise; everything else is the slow path.
// When the window's thread ends with the window still open, no thread can
// use the window any more: the thread is forgotten as it ends, since the
// system may give its identity to the next thread it starts.
//
// Identities: every texture and render texture made through rl gets a
// KsGpuObject (rl_api.h), which its records point to. While the object is
// loaded rl holds a reference to it in `live`; unloading or releasing it
// marks it dead for good and drops that reference, and the identity itself
// goes with its last record. Nothing here goes by a GL name that may have
// been freed: names are read from a live identity at the moment of use (two
// old entries of the C interface look a live object up by its names).
//
// Modes: the stack of texture targets holds identities (a reference each,
// which keeps the identity, not the GPU object, alive), one per begin, so
// every end matches its begin; drawing goes to the innermost target still
// loaded, and a target unloaded while on the stack is passed over. Blend
// modes nest the same way. A frame begins with both stacks empty.
#include "kesa_ui/core/rl_internal.h"

#include <pthread.h>
#include <rlgl.h>

#include <algorithm>
#include <new>
#include <unordered_set>
#include <vector>

namespace rl_context {

uint64_t generation = 1;
std::atomic<unsigned long> fast_owner = 0;  // window_thread, or 0: see above
bool render_in_progress = false;
KsGl gl = {};
KsGpuObject *current_target = nullptr;

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

uint64_t last_generation = 1;
uint64_t last_serial = 0;
bool window_open = false;
// The thread that opened the window, while it is open and that thread lives;
// else 0. Cleared by the ending thread itself, hence atomic (the GIL orders
// everything else).
std::atomic<unsigned long> window_thread = 0;

// The GPU's largest texture side and the largest side of a render target
// (its colour texture and depth renderbuffer), asked as the window opens.
// Without an answer (no GL to ask) 1024, which every GL 3.3 guarantees.
int max_texture_side = 1024, max_target_side = 1024;

// A release waiting for the window's thread.
struct Pending {
    bool is_shader;
    RenderTexture2D render_texture;
    unsigned int program;
};
std::vector<Pending> pending;

// The loaded objects of the open window, each holding one reference.
std::unordered_set<KsGpuObject *> live;

// The render textures begun as targets and not yet ended, innermost last;
// `current_target` is the last one. Blend modes likewise.
std::vector<KsGpuObject *> targets;
std::vector<int> blend_modes;

// The calling thread's identity, as PyThread_get_thread_ident() gives it,
// without the detour (this runs before every GL call).
unsigned long this_thread() { return (unsigned long)pthread_self(); }

template <typename F>
void load(F &slot, const char *name) {
    slot = reinterpret_cast<F>(rlGetProcAddress(name));
}

void load_gl() {
#define LOAD(ret, name, params) load(gl.name, "gl" #name);
    KS_GL_FUNCTIONS(LOAD)
#undef LOAD
}

void read_size_limits() {
    constexpr unsigned int kMaxTextureSize = 0x0D33, kMaxRenderbufferSize = 0x84E8;
    int texture = 0, renderbuffer = 0;
    if (!gl_integer(kMaxTextureSize, &texture) || texture <= 0) texture = 1024;
    if (!gl_integer(kMaxRenderbufferSize, &renderbuffer) || renderbuffer <= 0) renderbuffer = 1024;
    max_texture_side = texture;
    max_target_side = std::min(texture, renderbuffer);
}

// --- identities -------------------------------------------------------------------

// A new live identity, held by `live`; nullptr with MemoryError.
KsGpuObject *new_object(const RenderTexture2D &gpu, bool render_target, bool owned_by_rl) {
    auto *o = new (std::nothrow) KsGpuObject{1, ++last_serial, generation, true, owned_by_rl,
                                             render_target, gpu};
    if (o == nullptr) {
        PyErr_NoMemory();
        return nullptr;
    }
    try {
        live.insert(o);
    } catch (const std::bad_alloc &) {
        delete o;
        PyErr_NoMemory();
        return nullptr;
    }
    return o;
}

// The innermost loaded target on the stack: where drawing goes (null: the
// screen). Targets unloaded while on it stay there until their own modes
// end, so that every end matches its begin.
KsGpuObject *innermost_live() {
    for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
        if ((*it)->live) return *it;
    }
    return nullptr;
}

// Binds the target drawing goes to, with its viewport and projection.
void bind_current() {
    current_target = innermost_live();
    if (current_target != nullptr)
        BeginTextureMode(current_target->gpu);
    else
        EndTextureMode();
}

// The object is unloaded: every record of it is refused from now on. (Its
// framebuffer, if bound, stays bound until it is deleted.)
void end_life(KsGpuObject *o) {
    if (!o->live) return;
    o->live = false;
    live.erase(o);
    if (o == current_target) current_target = innermost_live();
    unref(o);
}

void pop_target() {
    KsGpuObject *top = targets.back();
    targets.pop_back();
    unref(top);
}

// --- releasing GPU objects --------------------------------------------------------

void unload_render_texture_now(const RenderTexture2D &rt) {
    if (rt.id == 0) return;
    // Pending draws may still sample or target it. raylib leaves the default
    // framebuffer bound after deleting one: the caller's stays bound, or,
    // when it is the one going away, the next loaded target of the stack.
    unsigned int saved = framebuffer_save();
    UnloadRenderTexture(rt);
    if (saved == rt.id)
        bind_current();
    else
        framebuffer_restore(saved);
}

void unload_shader_now(unsigned int program) {
    if (program != 0 && program != rlGetShaderIdDefault()) rlUnloadShaderProgram(program);
}

void release_now(const Pending &what) {
    if (what.is_shader)
        unload_shader_now(what.program);
    else
        unload_render_texture_now(what.render_texture);
}

void release_pending() {
    std::vector<Pending> due;
    due.swap(pending);
    for (const Pending &p : due) release_now(p);
}

// Queues a release for the window's thread, or releases now.
void release(uint64_t made_in, const Pending &what) {
    if (made_in != generation) return;  // the context took its ids with it
    if (this_thread() == window_thread.load(relaxed)) {
        release_now(what);
        return;
    }
    try {
        pending.push_back(what);
    } catch (const std::bad_alloc &) {
        return;  // leaked on the GPU until the window closes
    }
    fast_owner.store(0, relaxed);  // the next GL call on the window's thread releases it
}

// The owner lets its render texture go: dead at once, its GPU objects
// released now or by the window's thread (until then GL gives their names to
// nothing else).
void release_object(KsGpuObject *o) {
    if (!o->live) return;
    const RenderTexture2D names = o->gpu;
    const uint64_t made_in = o->generation;
    end_life(o);
    release(made_in, Pending{false, names, 0});
}

// Forgets the window's thread as that thread ends (see above).
struct WindowThreadEnd {
    ~WindowThreadEnd() {
        unsigned long self = this_thread();
        if (window_thread.compare_exchange_strong(self, 0, relaxed)) fast_owner.store(0, relaxed);
    }
};

}  // namespace

void unref(KsGpuObject *o) {
    if (--o->refs == 0) delete o;
}

bool gl_integer(unsigned int pname, int *value) {
    if (gl.GetIntegerv == nullptr || gl.GetError == nullptr) return false;
    // Errors raised before are not this query's; the bound stops at a lost
    // context, which reports one for ever.
    for (int i = 0; i < 8 && gl.GetError() != 0; i++) {
    }
    int answer = 0;
    gl.GetIntegerv(pname, &answer);
    if (gl.GetError() != 0) return false;
    *value = answer;
    return true;
}

unsigned int bound_framebuffer() {
    // raylib answers 0 on some backends (OpenGL ES 2.0) whatever is bound;
    // without GL to ask (its software renderer) its answer is all there is.
    constexpr unsigned int kFramebufferBinding = 0x8CA6;
    int bound = 0;
    if (gl.GetIntegerv == nullptr) return rlGetActiveFramebuffer();
    gl.GetIntegerv(kFramebufferBinding, &bound);
    return static_cast<unsigned int>(bound);
}

unsigned int framebuffer_save() {
    rlDrawRenderBatchActive();
    return bound_framebuffer();
}

void framebuffer_restore(unsigned int saved) {
    if (saved != 0)
        rlEnableFramebuffer(saved);
    else
        rlDisableFramebuffer();
}

int max_gpu_side(bool render_target) {
    if (!window_open) return 0;
    return render_target ? max_target_side : max_texture_side;
}

int require_size(int width, int height, bool render_target, const char *what) {
    if (width >= 1 && height >= 1) return require_gpu_size(width, height, render_target, what);
    int limit = max_gpu_side(render_target);
    if (limit > 0)
        PyErr_Format(PyExc_ValueError,
                     "a %s is 1 to %d pixels a side (the GPU's limit), got %dx%d", what, limit,
                     width, height);
    else
        PyErr_Format(PyExc_ValueError, "a %s is at least 1x1 pixels, got %dx%d", what, width,
                     height);
    return -1;
}

int require_gpu_size(int width, int height, bool render_target, const char *what) {
    // raylib does not check: sizes beyond the limit make empty textures, and
    // far beyond it crash inside the driver.
    const int limit = render_target ? max_target_side : max_texture_side;
    if (width <= limit && height <= limit) return 0;
    PyErr_Format(PyExc_ValueError, "a %dx%d %s exceeds the GPU's limit of %d pixels", width,
                 height, what, limit);
    return -1;
}

int require_window() {
    if (this_thread() == fast_owner.load(relaxed)) [[likely]]
        return 0;
    if (!window_open) {
        PyErr_SetString(PyExc_RuntimeError, "no raylib window is open (call init_window first)");
        return -1;
    }
    unsigned long owner = window_thread.load(relaxed);
    if (owner == 0) {
        PyErr_SetString(PyExc_RuntimeError,
                        "the thread that opened the raylib window has ended: no thread can make "
                        "GPU calls for that window");
        return -1;
    }
    if (this_thread() != owner) {
        PyErr_SetString(PyExc_RuntimeError,
                        "the raylib window belongs to another thread: GPU calls must come from "
                        "the thread that called init_window");
        return -1;
    }
    release_pending();
    fast_owner.store(owner, relaxed);
    return 0;
}

bool is_open() { return window_open; }

bool thread_ended() { return window_open && window_thread.load(relaxed) == 0; }

void opened() {
    static thread_local WindowThreadEnd on_thread_end;  // armed once per opening thread
    (void)on_thread_end;
    generation = ++last_generation;
    window_open = true;
    window_thread.store(this_thread(), relaxed);
    fast_owner.store(this_thread(), relaxed);
    load_gl();
    read_size_limits();
    // raylib keeps its idea of the blend mode across windows, while a new
    // context blends as it begins (alpha): a mode left begun in the last
    // window would make beginning it again here a no-op.
    EndBlendMode();
}

void closed() {
    // Whatever waited for release went away with the context, and so did
    // every object of it.
    pending.clear();
    std::vector<KsGpuObject *> ended(live.begin(), live.end());
    for (KsGpuObject *o : ended) end_life(o);
    while (!targets.empty()) pop_target();
    current_target = nullptr;
    blend_modes.clear();
    gl = KsGl{};
    generation = ++last_generation;
    window_open = false;
    window_thread.store(0, relaxed);
    fast_owner.store(0, relaxed);
}

// The two entries of the C interface that take GL names, kept for consumers
// built before identities: the names are looked up among the live objects
// at the call, and only an object a sibling owns is released by them.
void release_render_texture(uint64_t made_in, RenderTexture2D render_texture) {
    if (made_in != generation || render_texture.id == 0) return;
    for (KsGpuObject *o : live) {
        if (o->render_target && !o->owned_by_rl && o->gpu.id == render_texture.id) {
            release_object(o);
            return;
        }
    }
}

void release_target(RlRenderTextureObject *target) {
    release_object(target->object);
    target->render_texture = RenderTexture2D{};
}

void release_shader(uint64_t made_in, unsigned int program) {
    release(made_in, Pending{true, RenderTexture2D{}, program});
}

// --- modes --------------------------------------------------------------------------

int begin_target(KsGpuObject *target) {
    if (!target->live) return ks_rl_unloaded_target();
    try {
        targets.push_back(target);
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return -1;
    }
    target->refs++;
    current_target = target;
    BeginTextureMode(target->gpu);
    return 0;
}

int begin_target_named(const RenderTexture2D *names) {
    for (KsGpuObject *o : live) {
        if (o->render_target && o->gpu.id == names->id && names->id != 0) return begin_target(o);
    }
    return ks_rl_unloaded_target();
}

int begin_target_record(RlRenderTextureObject *target) { return begin_target(target->object); }

void end_target() {
    if (targets.empty()) {
        EndTextureMode();  // nothing begun: drawing stays on the screen
        return;
    }
    // Back to the target that was active before the matching begin; one
    // unloaded in the meantime is passed over.
    pop_target();
    bind_current();
}

int begin_blend(int mode) {
    try {
        blend_modes.push_back(mode);
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return -1;
    }
    BeginBlendMode(mode);
    return 0;
}

void end_blend() {
    if (!blend_modes.empty()) blend_modes.pop_back();
    if (blend_modes.empty())
        EndBlendMode();
    else
        BeginBlendMode(blend_modes.back());
}

void frame_started() {
    if (!targets.empty()) {
        EndTextureMode();
        while (!targets.empty()) pop_target();
        current_target = nullptr;
    }
    if (!blend_modes.empty()) {
        blend_modes.clear();
        EndBlendMode();
    }
}

// --- making and unloading ------------------------------------------------------------

int load_render_texture(int width, int height, RenderTexture2D *out) {
    // Loading binds and unbinds framebuffers: what is pending goes to the
    // current target first, and that target is bound again afterwards.
    unsigned int saved = framebuffer_save();
    RenderTexture2D rt = LoadRenderTexture(width, height);
    bool complete = rt.id != 0 && rlFramebufferComplete(rt.id);
    if (!complete && rt.id != 0) UnloadRenderTexture(rt);
    framebuffer_restore(saved);
    if (!complete) {
        PyErr_Format(PyExc_RuntimeError, "raylib could not create a %dx%d render texture", width,
                     height);
        return -1;
    }
    *out = rt;
    return 0;
}

PyObject *texture_new(Texture2D texture) {
    KsGpuObject *o = new_object(RenderTexture2D{0, texture, {}}, false, true);
    PyObject *record = o != nullptr ? rl_texture_new(texture, o, KS_TEXTURE_PLAIN) : nullptr;
    if (record == nullptr) {
        if (o != nullptr) end_life(o);
        UnloadTexture(texture);
    }
    return record;
}

PyObject *render_texture_new(RenderTexture2D render_texture, bool owned_by_rl) {
    KsGpuObject *o = new_object(render_texture, true, owned_by_rl);
    PyObject *record = o != nullptr ? rl_render_texture_new(render_texture, o) : nullptr;
    if (record == nullptr) {
        if (o != nullptr) end_life(o);
        release(generation, Pending{false, render_texture, 0});
    }
    return record;
}

int unload_texture(RlTextureObject *t) {
    KsGpuObject *o = t->object;
    // A depth buffer is no texture; a texture unloaded already (through
    // another record, say), or of a closed window, has nothing left to unload.
    if (t->part == KS_TEXTURE_DEPTH || !o->live || o->generation != generation) return 0;
    if (t->part == KS_TEXTURE_COLOR) {
        PyErr_SetString(PyExc_ValueError,
                        "this texture belongs to a render texture: unload the render texture");
        return -1;
    }
    if (require_window() < 0) return -1;
    rlDrawRenderBatchActive();  // pending draws may still sample it
    UnloadTexture(o->gpu.texture);
    end_life(o);
    return 0;
}

int unload_render_texture(RlRenderTextureObject *r) {
    KsGpuObject *o = r->object;
    if (o->live && o->generation == generation) {
        if (!o->owned_by_rl) {
            PyErr_SetString(PyExc_ValueError,
                            "this render texture belongs to a KsRenderTexture: call its unload()");
            return -1;
        }
        if (require_window() < 0) return -1;
        release_object(o);
    }
    r->render_texture = RenderTexture2D{};
    return 0;
}

}  // namespace rl_context
