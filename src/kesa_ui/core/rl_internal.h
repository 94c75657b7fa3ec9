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
// The framebuffer bound for drawing in the current context (0: the screen).
unsigned int bound_framebuffer();
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
// Textures made through rl in the current context, until they are unloaded:
// made_texture is false with MemoryError when it cannot note one.
bool made_texture(const Texture2D &texture);
void unloaded_texture(unsigned int id);
// 0 when the record's id names a texture of the record's size that rl made
// in the current context and has not unloaded, and the caller is on the
// window's thread; else -1 with an exception.
int require_texture(const RlTextureObject *t);
}  // namespace rl_context
