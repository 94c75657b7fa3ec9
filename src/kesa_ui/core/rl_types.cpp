// rl's record types: Image, Texture and RenderTexture, with pyray's
// attribute names. Image owns its pixel data (freed by unload_image or on
// destruction, which needs no GL context); Texture and RenderTexture are
// records of GPU object ids, as in raylib, and own nothing on the GPU. Each
// holds the identity of what it names (rl_api.h), which tells whether those
// ids still name it; the texture records a RenderTexture hands out (a fresh
// one at each read) hold its identity and say which part they name.
#include "kesa_ui/core/rl_internal.h"

#include "kesa_ui/native/module.hpp"

#include <cstddef>

namespace {

#define RO_INT(name, type, field, doc) \
    {name, Py_T_INT, offsetof(type, field), Py_READONLY, doc}
#define RO_UINT(name, type, field, doc) \
    {name, Py_T_UINT, offsetof(type, field), Py_READONLY, doc}

// --- Image -------------------------------------------------------------------

void image_dealloc(PyObject *self) {
    auto *img = reinterpret_cast<RlImageObject *>(self);
    if (img->image.data != nullptr) {
        UnloadImage(img->image);  // CPU memory only
        img->image.data = nullptr;
    }
    Py_TYPE(self)->tp_free(self);
}

PyObject *image_repr(PyObject *self) {
    const Image &im = reinterpret_cast<RlImageObject *>(self)->image;
    return PyUnicode_FromFormat("<Image %dx%d format=%d%s>", im.width, im.height, im.format,
                                im.data ? "" : " unloaded");
}

PyMemberDef image_members[] = {
    RO_INT("width", RlImageObject, image.width, "width in pixels"),
    RO_INT("height", RlImageObject, image.height, "height in pixels"),
    RO_INT("mipmaps", RlImageObject, image.mipmaps, "mipmap levels"),
    RO_INT("format", RlImageObject, image.format, "raylib PixelFormat"),
    {nullptr, 0, 0, 0, nullptr},
};

// --- Texture -----------------------------------------------------------------

void texture_dealloc(PyObject *self) {
    rl_context::unref(reinterpret_cast<RlTextureObject *>(self)->object);
    Py_TYPE(self)->tp_free(self);
}

PyObject *texture_repr(PyObject *self) {
    const Texture2D &t = reinterpret_cast<RlTextureObject *>(self)->texture;
    return PyUnicode_FromFormat("<Texture id=%u %dx%d>", t.id, t.width, t.height);
}

PyMemberDef texture_members[] = {
    RO_UINT("id", RlTextureObject, texture.id, "OpenGL texture id"),
    RO_INT("width", RlTextureObject, texture.width, "width in pixels"),
    RO_INT("height", RlTextureObject, texture.height, "height in pixels"),
    RO_INT("mipmaps", RlTextureObject, texture.mipmaps, "mipmap levels"),
    RO_INT("format", RlTextureObject, texture.format, "raylib PixelFormat"),
    {nullptr, 0, 0, 0, nullptr},
};

// --- RenderTexture -----------------------------------------------------------

void render_texture_dealloc(PyObject *self) {
    rl_context::unref(reinterpret_cast<RlRenderTextureObject *>(self)->object);
    Py_TYPE(self)->tp_free(self);
}

PyObject *render_texture_repr(PyObject *self) {
    const RenderTexture2D &r = reinterpret_cast<RlRenderTextureObject *>(self)->render_texture;
    return PyUnicode_FromFormat("<RenderTexture id=%u %dx%d>", r.id, r.texture.width,
                                r.texture.height);
}

PyObject *render_texture_get_texture(PyObject *self, void *) {
    auto *r = reinterpret_cast<RlRenderTextureObject *>(self);
    return rl_texture_new(r->render_texture.texture, r->object, KS_TEXTURE_COLOR);
}

PyObject *render_texture_get_depth(PyObject *self, void *) {
    auto *r = reinterpret_cast<RlRenderTextureObject *>(self);
    return rl_texture_new(r->render_texture.depth, r->object, KS_TEXTURE_DEPTH);
}

PyMemberDef render_texture_members[] = {
    RO_UINT("id", RlRenderTextureObject, render_texture.id, "OpenGL framebuffer id"),
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef render_texture_getset[] = {
    {"texture", render_texture_get_texture, nullptr, "colour buffer (a new Texture record)",
     nullptr},
    {"depth", render_texture_get_depth, nullptr,
     "depth buffer (a new Texture record, refused wherever a texture is wanted)", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

PyTypeObject RlImage_Type = {
    KS_TYPE_HEAD("kesa_ui.core.rl.Image", RlImageObject),
    .tp_dealloc = image_dealloc,
    .tp_repr = image_repr,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = "A CPU image; made by gen_image_color or load_image_from_texture.",
    .tp_members = image_members,
};

PyTypeObject RlTexture_Type = {
    KS_TYPE_HEAD("kesa_ui.core.rl.Texture", RlTextureObject),
    .tp_dealloc = texture_dealloc,
    .tp_repr = texture_repr,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = "A GPU texture record (id and size); unload with unload_texture.",
    .tp_members = texture_members,
};

PyTypeObject RlRenderTexture_Type = {
    KS_TYPE_HEAD("kesa_ui.core.rl.RenderTexture", RlRenderTextureObject),
    .tp_dealloc = render_texture_dealloc,
    .tp_repr = render_texture_repr,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = "A framebuffer record; unload with unload_render_texture.",
    .tp_members = render_texture_members,
    .tp_getset = render_texture_getset,
};

PyObject *rl_image_new(Image image) {
    auto *self = PyObject_New(RlImageObject, &RlImage_Type);
    if (self == nullptr) {
        UnloadImage(image);
        return nullptr;
    }
    self->image = image;
    return reinterpret_cast<PyObject *>(self);
}

PyObject *rl_texture_new(Texture2D texture, KsGpuObject *object, KsTexturePart part) {
    auto *self = PyObject_New(RlTextureObject, &RlTexture_Type);
    if (self != nullptr) {
        self->texture = texture;
        self->generation = object->generation;
        self->object = object;
        self->part = part;
        object->refs++;
    }
    return reinterpret_cast<PyObject *>(self);
}

PyObject *rl_render_texture_new(RenderTexture2D render_texture, KsGpuObject *object) {
    auto *self = PyObject_New(RlRenderTextureObject, &RlRenderTexture_Type);
    if (self != nullptr) {
        self->render_texture = render_texture;
        self->generation = object->generation;
        self->object = object;
        object->refs++;
    }
    return reinterpret_cast<PyObject *>(self);
}
