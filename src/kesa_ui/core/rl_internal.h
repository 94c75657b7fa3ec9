// Shared between the files of kesa_ui.core.rl.
#pragma once

#include "kesa_ui/core/rl_api.h"

extern PyTypeObject RlImage_Type;
extern PyTypeObject RlTexture_Type;
extern PyTypeObject RlRenderTexture_Type;
extern const KsRlApi rl_api;

// New rl records; nullptr with an exception set on failure (rl_image_new
// then frees the image's data, which it would have owned). Texture and
// render texture records are stamped with `generation`, the context their
// ids belong to.
PyObject *rl_image_new(Image image);
PyObject *rl_texture_new_in(Texture2D texture, uint64_t generation);
PyObject *rl_render_texture_new_in(RenderTexture2D render_texture, uint64_t generation);

// The window's GL context (rl_context.cpp; see rl_api.h).
namespace rl_context {
extern uint64_t generation;
extern std::atomic<unsigned long> fast_owner;  // see KsRlApi::ready_thread
int require_window();
// glGetIntegerv(pname) in the window's context: true with *value set when
// GL answered without an error, false (nothing set, no exception) when it
// did not or there is no GL to ask. On the window's thread only.
bool gl_integer(unsigned int pname, int *value);
// See KsRlApi::bound_framebuffer, require_gpu_size and render_in_progress.
unsigned int bound_framebuffer();
int require_gpu_size(int width, int height, bool render_target, const char *what);
extern bool render_in_progress;
bool is_open();
// After InitWindow succeeded on the calling thread / after CloseWindow.
void opened();
void closed();
void release_render_texture(uint64_t made_in, RenderTexture2D render_texture);
void release_shader(uint64_t made_in, unsigned int program);
// Texture modes that nest: begin_target makes `target` the drawing target
// (0, or -1 with MemoryError); end_target returns drawing to the target that
// was active before it began, or to the screen.
int begin_target(const RenderTexture2D &target);
void end_target();
// A frame begins on the screen: texture modes left open are forgotten.
void frame_started();
// See KsRlApi::load_render_texture.
int load_render_texture(int width, int height, RenderTexture2D *out);
// Textures made through rl in the current context, until they are unloaded:
// made_texture notes one (the colour attachment of the render texture whose
// framebuffer is `framebuffer`, or a plain texture for 0), false with
// MemoryError when it cannot.
bool made_texture(const Texture2D &texture, unsigned int framebuffer);
void unloaded_texture(unsigned int id);
// Unloads a plain texture that rl made and still holds; nothing happens for
// one unloaded already. ValueError for a render texture's own texture.
int unload_texture(const Texture2D &texture);
// 0 when the record's id names a texture of the record's size that rl made
// in the current context and has not unloaded, and the caller is on the
// window's thread; else -1 with an exception.
int require_texture(const RlTextureObject *t);
}  // namespace rl_context
