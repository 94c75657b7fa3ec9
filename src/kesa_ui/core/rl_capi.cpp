// kesa_ui.core.rl's C interface for the platform and gradient modules: the
// KsRlApi table (rl_api.h), published as the module's capsule.
#include "kesa_ui/core/rl_internal.h"

namespace {

// The render textures of the C interface belong to the caller.
PyObject *caller_render_texture_new(RenderTexture2D render_texture) {
    return rl_context::render_texture_new(render_texture, false);
}

}  // namespace

const KsRlApi rl_api = {
    .size = sizeof(KsRlApi),
    .texture_type = &RlTexture_Type,
    .render_texture_type = &RlRenderTexture_Type,
    .texture_new = rl_context::texture_new,
    .render_texture_new = caller_render_texture_new,
    .require_window = rl_context::require_window,
    .generation = &rl_context::generation,
    .release_render_texture = rl_context::release_render_texture,
    .release_shader = rl_context::release_shader,
    .color_from_object = rl_color_from_object,
    .trace_log_level = rl_trace_log_level,
    .ready_thread = &rl_context::fast_owner,
    .begin_texture_mode = rl_context::begin_target_named,
    .end_texture_mode = rl_context::end_target,
    .bound_framebuffer = rl_context::bound_framebuffer,
    .load_render_texture = rl_context::load_render_texture,
    .require_gpu_size = rl_context::require_gpu_size,
    .render_in_progress = &rl_context::render_in_progress,
    .begin_target = rl_context::begin_target_record,
    .release_target = rl_context::release_target,
    .current_target = &rl_context::current_target,
    .begin_blend_mode = rl_context::begin_blend,
    .end_blend_mode = rl_context::end_blend,
    .gl = &rl_context::gl,
    .framebuffer_save = rl_context::framebuffer_save,
    .framebuffer_restore = rl_context::framebuffer_restore,
    .max_gpu_side = rl_context::max_gpu_side,
    .gl_backend = rl_gl_backend,
};

