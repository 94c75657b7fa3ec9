// Shared between the files of kesa_ui.core.rl.
#pragma once

#include "kesa_ui/core/rl_api.h"

extern PyTypeObject RlImage_Type;
extern PyTypeObject RlTexture_Type;
extern PyTypeObject RlRenderTexture_Type;

// New rl records; nullptr with an exception set on failure (rl_image_new
// then frees the image's data, which it would have owned).
PyObject *rl_image_new(Image image);
PyObject *rl_texture_new(Texture2D texture);
PyObject *rl_render_texture_new(RenderTexture2D render_texture);
