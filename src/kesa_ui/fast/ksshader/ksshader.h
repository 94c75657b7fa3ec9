// KsShader (kesa_ui.fast.ksshader.ksshader): instance layout and C method
// table.
#pragma once

#include <Python.h>

#include <cstdint>

struct KsShaderObject {
    PyObject_HEAD
    unsigned int id;      // OpenGL program id
    int *locs;            // raylib's default location table, owned by the shader
    uint64_t generation;  // the GL context the program belongs to (rl_api.h)
    // Unique for the life of the process: GL reuses a deleted program's id,
    // a serial is never reused, so it names this shader's program in caches.
    uint64_t serial;
};

struct KsShaderVTable {
    // Compiles and links a shader from source texts (each a str, or None for
    // raylib's default stage). A new KsShader, or nullptr with RuntimeError
    // carrying raylib's reason (or the argument's TypeError) set.
    PyObject *(*c_create_from_code)(PyObject *vertex, PyObject *fragment);
};
