// Shared between the files of kesa_ui.core.rl.
#pragma once

#include "kesa_ui/core/rl_api.h"

extern PyTypeObject RlImage_Type;
extern PyTypeObject RlTexture_Type;
extern PyTypeObject RlRenderTexture_Type;
extern const KsRlApi rl_api;          // rl_capi.cpp
extern PyMethodDef rl_methods[];       // rl_functions.cpp

// rl's one colour rule (rl_module.cpp): any sequence of four ints 0..255, or
// of three (opaque). 0, or -1 with TypeError or ValueError.
int rl_color_from_object(PyObject *obj, Color *out);
PyObject *rl_color_to_tuple(Color c);
// The GL backend `version` (KsRlApi::gl_backend; rl_module.cpp).
const KsGlBackend *rl_gl_backend(int version);
// raylib's current log level, as rl last set it (raylib has no getter).
int rl_trace_log_level();

// New rl records; nullptr with an exception set on failure (rl_image_new
// then frees the image's data, which it would have owned). Texture and
// render texture records take a reference to `object`, the identity of
// what they name, and are stamped with its generation.
PyObject *rl_image_new(Image image);
PyObject *rl_texture_new(Texture2D texture, KsGpuObject *object, KsTexturePart part);
PyObject *rl_render_texture_new(RenderTexture2D render_texture, KsGpuObject *object);

// The window's GL context (rl_context.cpp; see rl_api.h).
namespace rl_context {
extern uint64_t generation;
extern std::atomic<unsigned long> fast_owner;  // see KsRlApi::ready_thread
extern bool render_in_progress;
extern KsGl gl;
extern KsGpuObject *current_target;
int require_window();
bool is_open();
// The window is open but the thread that opened it has ended.
bool thread_ended();
// After InitWindow succeeded on the calling thread (loads the GL entry
// points) / after CloseWindow (every object of the window dies).
void opened();
void closed();

// glGetIntegerv(pname) in the window's context: true with *value set when
// GL answered without an error, false (nothing set, no exception) when it
// did not or there is no GL to ask. On the window's thread only.
bool gl_integer(unsigned int pname, int *value);
// See KsRlApi for these.
unsigned int bound_framebuffer();
unsigned int framebuffer_save();
void framebuffer_restore(unsigned int saved);
int require_gpu_size(int width, int height, bool render_target, const char *what);
int max_gpu_side(bool render_target);
// Sizes from 1 to the GPU's limit (ValueError saying both), on the window's
// thread; the same as require_gpu_size for positive sizes.
int require_size(int width, int height, bool render_target, const char *what);
int load_render_texture(int width, int height, RenderTexture2D *out);
void release_render_texture(uint64_t made_in, RenderTexture2D render_texture);
void release_target(RlRenderTextureObject *target);
void release_shader(uint64_t made_in, unsigned int program);
int begin_target_named(const RenderTexture2D *names);
int begin_target_record(RlRenderTextureObject *target);
void end_target();
int begin_blend(int mode);
void end_blend();

// Drops a reference to an identity (records' deallocation).
void unref(KsGpuObject *o);
// New records of new identities, of the current generation: a texture rl
// owns, or a render texture rl owns (rl.load_render_texture) or the
// caller does. nullptr with an exception set, the GPU objects released.
PyObject *texture_new(Texture2D texture);
PyObject *render_texture_new(RenderTexture2D render_texture, bool owned_by_rl);
// Makes `target` (live, of this window; the caller checked the window) the
// drawing target: 0, or -1 with ValueError (unloaded) or MemoryError.
int begin_target(KsGpuObject *target);
// A frame begins on the screen: texture and blend modes left open end.
void frame_started();
// rl.unload_texture and rl.unload_render_texture of a record: 0, or -1
// with an exception (a part of a render texture, one owned by a sibling, a
// call off the window's thread).
int unload_texture(RlTextureObject *t);
int unload_render_texture(RlRenderTextureObject *r);
}  // namespace rl_context
