// The C-level interface of kesa_ui.core.rl, the toolkit's raylib binding.
//
// Sibling extension modules reuse rl's Image, Texture and RenderTexture
// types instead of defining their own. They fetch this table once with
// ks_rl_import() (a capsule under rl._C_API) and then build and read rl
// objects directly. Every module links the same shared libraylib, so they
// all see one GL context.
#pragma once

#include <Python.h>
#include <raylib.h>

struct RlImageObject {
    PyObject_HEAD
    Image image;  // owns image.data until unload_image or destruction
};

struct RlTextureObject {
    PyObject_HEAD
    Texture2D texture;  // a plain record, as in raylib: owns nothing
};

struct RlRenderTextureObject {
    PyObject_HEAD
    RenderTexture2D render_texture;  // a plain record: owns nothing
};

struct KsRlApi {
    PyTypeObject *image_type;
    PyTypeObject *texture_type;
    PyTypeObject *render_texture_type;
    // New references, or nullptr with an exception set.
    PyObject *(*texture_new)(Texture2D texture);
    PyObject *(*render_texture_new)(RenderTexture2D render_texture);
    // 0 when a raylib window (and so a GL context) exists, else -1 with
    // RuntimeError set. Every GPU call goes through this first.
    int (*require_window)(void);
    // Reads a colour given as a sequence of four ints 0..255: 0, or -1 with
    // TypeError / ValueError set.
    int (*color_from_object)(PyObject *obj, Color *out);
    // raylib's trace log level as last set through rl.set_trace_log_level
    // (raylib starts at LOG_INFO). raylib has no getter of its own; modules
    // that lower the level for a moment use this to restore it.
    int (*trace_log_level)(void);
};

#define KS_RL_API_CAPSULE "kesa_ui.core.rl._C_API"

// Imports kesa_ui.core.rl and returns its table, or nullptr with an
// exception set. The module stays imported for the life of the process.
static inline const KsRlApi *ks_rl_import(void) {
    // PyCapsule_Import only walks attributes: import the module itself first.
    PyObject *mod = PyImport_ImportModule("kesa_ui.core.rl");
    if (mod == nullptr) return nullptr;
    Py_DECREF(mod);
    return static_cast<const KsRlApi *>(PyCapsule_Import(KS_RL_API_CAPSULE, 0));
}
