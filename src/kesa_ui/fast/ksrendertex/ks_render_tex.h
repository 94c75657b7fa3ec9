// KsRenderTexture (kesa_ui.fast.ksrendertex.ks_render_tex): instance layout
// and C method table.
#pragma once

#include <Python.h>

#include "kesa_ui/fast/ksvector2/ksvector2.h"

struct KsRenderTextureObject {
    PyObject_HEAD
    PyObject *render_texture;  // an rl.RenderTexture, given to begin_texture_mode
    KsVector2Object *size;     // width and height in pixels
    int loaded;                // 1 until unload() released the GPU objects
};

struct KsRenderTextureVTable {
    // A new render target of size->x by size->y pixels, or nullptr with an
    // exception set.
    PyObject *(*new_)(KsVector2Object *size);
    // Fills the whole target with a colour given as (r, g, b, a): 0, or -1
    // with an exception set.
    int (*c_fast_clear)(KsRenderTextureObject *self, PyObject *color);
};
