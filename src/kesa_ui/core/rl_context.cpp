// The GL context behind rl's window: its generation, the thread that owns
// it, GPU objects whose release waits for that thread, and the textures rl
// made in it (is a texture record still what it says).
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
#include "kesa_ui/core/rl_internal.h"

#include <pthread.h>
#include <rlgl.h>

#include <algorithm>
#include <new>
#include <unordered_map>
#include <vector>

namespace rl_context {

uint64_t generation = 1;
std::atomic<unsigned long> fast_owner = 0;  // window_thread, or 0: see above
bool render_in_progress = false;

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

uint64_t last_generation = 1;
bool window_open = false;
// The thread that opened the window, while it is open and that thread lives;
// else 0. Cleared by the ending thread itself, hence atomic (the GIL orders
// everything else).
std::atomic<unsigned long> window_thread = 0;

// A release waiting for the window's thread.
struct Pending {
    bool is_shader;
    RenderTexture2D render_texture;
    unsigned int program;
};
std::vector<Pending> pending;

// The textures made through rl in the current context that are still
// loaded, by id: their size, and the render texture (framebuffer) whose
// colour attachment a texture is (0 for a plain texture).
struct Live {
    int width, height;
    unsigned int framebuffer;
};
std::unordered_map<unsigned int, Live> live_textures;

// Whether `target`'s colour texture is still the one it was made with.
bool still_loaded(const RenderTexture2D &target) {
    auto live = live_textures.find(target.texture.id);
    return live != live_textures.end() && live->second.framebuffer == target.id;
}

// The render textures begun as targets and not yet ended, innermost last.
std::vector<RenderTexture2D> targets;

// The calling thread's identity, as PyThread_get_thread_ident() gives it,
// without the detour (this runs before every GL call).
unsigned long this_thread() { return (unsigned long)pthread_self(); }

}  // namespace

bool gl_integer(unsigned int pname, int *value) {
    // The entry points of the current context, loaded again for each
    // generation (the GL library may come back at other addresses with a new
    // window); none without a GL loader (raylib's software renderer).
    using GetIntegerv = void (*)(unsigned int, int *);
    using GetError = unsigned int (*)();
    static GetIntegerv get_integerv = nullptr;
    static GetError get_error = nullptr;
    static uint64_t loaded_for = 0;
    if (loaded_for != generation) {
        get_integerv = reinterpret_cast<GetIntegerv>(rlGetProcAddress("glGetIntegerv"));
        get_error = reinterpret_cast<GetError>(rlGetProcAddress("glGetError"));
        loaded_for = generation;
    }
    if (get_integerv == nullptr || get_error == nullptr) return false;
    // Errors raised before are not this query's; the bound stops at a lost
    // context, which reports one for ever.
    for (int i = 0; i < 8 && get_error() != 0; i++) {
    }
    int answer = 0;
    get_integerv(pname, &answer);
    if (get_error() != 0) return false;
    *value = answer;
    return true;
}

unsigned int bound_framebuffer() {
    // raylib answers 0 on some backends (OpenGL ES 2.0) whatever is bound;
    // without GL to ask (its software renderer) its answer is all there is.
    constexpr unsigned int kFramebufferBinding = 0x8CA6;
    int bound = 0;
    if (!gl_integer(kFramebufferBinding, &bound)) return rlGetActiveFramebuffer();
    return static_cast<unsigned int>(bound);
}

namespace {

// The GPU's largest texture side and the largest side of a render target
// (its colour texture and depth renderbuffer), asked once per context.
// Without an answer (no GL to ask) 1024, which every GL 3.3 guarantees.
struct SizeLimits {
    uint64_t for_generation = 0;
    int texture = 0, render_target = 0;
};
SizeLimits size_limits;

const SizeLimits &current_size_limits() {
    if (size_limits.for_generation != generation) {
        constexpr unsigned int kMaxTextureSize = 0x0D33, kMaxRenderbufferSize = 0x84E8;
        int texture = 0, renderbuffer = 0;
        if (!gl_integer(kMaxTextureSize, &texture) || texture <= 0) texture = 1024;
        if (!gl_integer(kMaxRenderbufferSize, &renderbuffer) || renderbuffer <= 0)
            renderbuffer = 1024;
        size_limits = {generation, texture, std::min(texture, renderbuffer)};
    }
    return size_limits;
}

}  // namespace

int require_gpu_size(int width, int height, bool render_target, const char *what) {
    // raylib does not check: sizes beyond the limit make empty textures, and
    // far beyond it crash inside the driver.
    const SizeLimits &limits = current_size_limits();
    const int limit = render_target ? limits.render_target : limits.texture;
    if (width <= limit && height <= limit) return 0;
    PyErr_Format(PyExc_ValueError, "a %dx%d %s exceeds the GPU's limit of %d pixels", width,
                 height, what, limit);
    return -1;
}

namespace {

void unload_render_texture_now(const RenderTexture2D &rt) {
    if (rt.id == 0) return;
    // Pending draws may still sample or target it.
    rlDrawRenderBatchActive();
    // raylib leaves the default framebuffer bound after deleting one: keep
    // whatever the caller had bound, unless it is the one going away.
    unsigned int bound = bound_framebuffer();
    UnloadRenderTexture(rt);
    live_textures.erase(rt.texture.id);
    if (bound != 0 && bound != rt.id) rlEnableFramebuffer(bound);
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

// Forgets the window's thread as that thread ends (see above).
struct WindowThreadEnd {
    ~WindowThreadEnd() {
        unsigned long self = this_thread();
        if (window_thread.compare_exchange_strong(self, 0, relaxed)) fast_owner.store(0, relaxed);
    }
};

}  // namespace

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

void opened() {
    static thread_local WindowThreadEnd on_thread_end;  // armed once per opening thread
    (void)on_thread_end;
    generation = ++last_generation;
    window_open = true;
    window_thread.store(this_thread(), relaxed);
    fast_owner.store(this_thread(), relaxed);
}

void closed() {
    // Whatever waited for release went away with the context.
    pending.clear();
    live_textures.clear();
    targets.clear();
    generation = ++last_generation;
    window_open = false;
    window_thread.store(0, relaxed);
    fast_owner.store(0, relaxed);
}

void release_render_texture(uint64_t made_in, RenderTexture2D render_texture) {
    release(made_in, Pending{false, render_texture, 0});
}

void release_shader(uint64_t made_in, unsigned int program) {
    release(made_in, Pending{true, RenderTexture2D{}, program});
}

// --- nested texture targets ------------------------------------------------------

int begin_target(const RenderTexture2D &target) {
    try {
        targets.push_back(target);
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return -1;
    }
    BeginTextureMode(target);
    return 0;
}

void end_target() {
    EndTextureMode();  // drawing goes to the screen again, with its projection
    if (targets.empty()) return;
    targets.pop_back();
    // Back to the target that was active before, if any; one unloaded in the
    // meantime is passed over.
    while (!targets.empty() && !still_loaded(targets.back())) targets.pop_back();
    if (!targets.empty()) BeginTextureMode(targets.back());
}

// --- is a texture record still what it says ------------------------------------

void frame_started() { targets.clear(); }

int load_render_texture(int width, int height, RenderTexture2D *out) {
    // Loading binds and unbinds framebuffers: what is pending goes to the
    // current target first, and that target is bound again afterwards.
    rlDrawRenderBatchActive();
    unsigned int bound = bound_framebuffer();
    RenderTexture2D rt = LoadRenderTexture(width, height);
    bool complete = rt.id != 0 && rlFramebufferComplete(rt.id);
    if (!complete && rt.id != 0) UnloadRenderTexture(rt);
    if (bound != 0) rlEnableFramebuffer(bound); else rlDisableFramebuffer();
    if (!complete) {
        PyErr_Format(PyExc_RuntimeError, "raylib could not create a %dx%d render texture", width,
                     height);
        return -1;
    }
    *out = rt;
    return 0;
}

bool made_texture(const Texture2D &texture, unsigned int framebuffer) {
    try {
        live_textures[texture.id] = {texture.width, texture.height, framebuffer};
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return false;
    }
    return true;
}

void unloaded_texture(unsigned int id) { live_textures.erase(id); }

int unload_texture(const Texture2D &texture) {
    auto live = live_textures.find(texture.id);
    // Unloaded already (through another record): nothing of it is left, and
    // its id may name another texture by now.
    if (live == live_textures.end() || live->second.width != texture.width ||
        live->second.height != texture.height)
        return 0;
    if (live->second.framebuffer != 0) {
        PyErr_SetString(PyExc_ValueError,
                        "this texture belongs to a render texture: unload the render texture");
        return -1;
    }
    rlDrawRenderBatchActive();  // pending draws may still sample it
    UnloadTexture(texture);
    live_textures.erase(live);
    return 0;
}

int require_texture(const RlTextureObject *t) {
    if (ks_rl_require_current(&rl_api, t->generation, "texture") < 0) return -1;
    const Texture2D &tex = t->texture;
    if (tex.id == 0) {
        PyErr_SetString(PyExc_ValueError, "the texture was unloaded");
        return -1;
    }
    // Reading pixels back fills a buffer sized from the record, so an id
    // that no longer names a texture of the record's size (unloaded through
    // another record, say, and perhaps reused) must not get that far.
    auto live = live_textures.find(tex.id);
    if (live == live_textures.end() || live->second.width != tex.width ||
        live->second.height != tex.height) {
        PyErr_Format(PyExc_ValueError,
                     "texture id %u no longer names a %dx%d texture (it was unloaded)", tex.id,
                     tex.width, tex.height);
        return -1;
    }
    return 0;
}

}  // namespace rl_context
