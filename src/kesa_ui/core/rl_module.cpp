// kesa_ui.core.rl: the toolkit's raylib binding, after pyray's names.
//
// Covers what the toolkit, its tests and its demos use: the window, drawing
// frames, images, textures, render textures, blend modes, mouse input, the
// ConfigFlags / BlendMode / TraceLogLevel / MouseButton enums (each member
// also exported at the top level) and raylib's colour constants as 4-tuples.
//
// raylib itself never raises and crashes when a GPU function runs without a
// GL context, so every such function checks for an open window, and for the
// window's own thread, first and raises RuntimeError instead. A texture or
// render texture record from a window that has since closed raises
// RuntimeError too (rl_context.cpp). Wrong argument types raise TypeError.
#include "kesa_ui/core/rl_internal.h"

#include <rlgl.h>

#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/module.hpp"
#include "kesa_ui/native/number.hpp"

#include <climits>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>

namespace {

using rl_context::require_window;

// require_window for what draws or changes modes: refused (RuntimeError)
// also from code that a gradient's render runs, where it would land in the
// render's target or end the render's modes.
int require_drawing() {
    if (rl_context::render_in_progress) [[unlikely]] {
        PyErr_SetString(PyExc_RuntimeError,
                        "a gradient is being rendered: code it runs cannot draw or change the "
                        "window's modes");
        return -1;
    }
    return require_window();
}

// A colour (r, g, b, a) given as an exact tuple of four small ints: the
// common case, read without calls. false (nothing set) for anything else.
bool color_from_tuple(PyObject *obj, Color *out) {
    if (!PyTuple_CheckExact(obj) || PyTuple_GET_SIZE(obj) != 4) return false;
    unsigned char c[4];
    for (Py_ssize_t i = 0; i < 4; i++) {
        Py_ssize_t v;
        if (!ks::small_int(PyTuple_GET_ITEM(obj, i), &v) || v < 0 || v > 255) return false;
        c[i] = static_cast<unsigned char>(v);
    }
    *out = Color{c[0], c[1], c[2], c[3]};
    return true;
}

// A colour is any sequence of four ints 0..255, or of three (opaque), as
// the gradients take them.
int color_from_object(PyObject *obj, Color *out) {
    if (color_from_tuple(obj, out)) return 0;
    if (!PySequence_Check(obj) || PyUnicode_Check(obj) || PyBytes_Check(obj)) {
        PyErr_Format(PyExc_TypeError, "a colour must be a sequence (r, g, b, a), not %.100s",
                     Py_TYPE(obj)->tp_name);
        return -1;
    }
    Py_ssize_t n = PySequence_Size(obj);
    if (n < 0) return -1;
    if (n != 3 && n != 4) {
        PyErr_Format(PyExc_ValueError, "a colour needs 3 or 4 components, got %zd", n);
        return -1;
    }
    unsigned char c[4] = {0, 0, 0, 255};
    for (Py_ssize_t i = 0; i < n; i++) {
        PyObject *item = PySequence_GetItem(obj, i);
        if (item == nullptr) return -1;
        if (!PyLong_Check(item)) {
            PyErr_Format(PyExc_TypeError, "colour components must be int, not %.100s",
                         Py_TYPE(item)->tp_name);
            Py_DECREF(item);
            return -1;
        }
        long v = PyLong_AsLong(item);
        Py_DECREF(item);
        if (v == -1 && PyErr_Occurred()) return -1;
        if (v < 0 || v > 255) {
            PyErr_Format(PyExc_ValueError, "colour component %ld is outside 0..255", v);
            return -1;
        }
        c[i] = static_cast<unsigned char>(v);
    }
    *out = Color{c[0], c[1], c[2], c[3]};
    return 0;
}

PyObject *color_to_tuple(Color c) { return Py_BuildValue("(iiii)", c.r, c.g, c.b, c.a); }

template <typename T>
T *typed_arg(PyObject *obj, PyTypeObject *type, const char *what) {
    if (PyObject_TypeCheck(obj, type)) return reinterpret_cast<T *>(obj);
    PyErr_Format(PyExc_TypeError, "%s must be %s, not %.100s", what, type->tp_name,
                 Py_TYPE(obj)->tp_name);
    return nullptr;
}

RlImageObject *image_arg(PyObject *obj, bool need_data) {
    auto *img = typed_arg<RlImageObject>(obj, &RlImage_Type, "image");
    if (img != nullptr && need_data && img->image.data == nullptr) {
        PyErr_SetString(PyExc_ValueError, "the image was unloaded");
        return nullptr;
    }
    return img;
}

// --- window and frames ---------------------------------------------------------

PyObject *rl_set_config_flags(PyObject *, PyObject *arg) {
    unsigned long flags = PyLong_AsUnsignedLong(arg);
    if (flags == static_cast<unsigned long>(-1) && PyErr_Occurred()) return nullptr;
    SetConfigFlags(static_cast<unsigned int>(flags));
    Py_RETURN_NONE;
}

// raylib's current log level (it keeps its own, with no getter).
int trace_level = LOG_INFO;

int trace_log_level() { return trace_level; }

PyObject *rl_set_trace_log_level(PyObject *, PyObject *arg) {
    int level = PyLong_AsInt(arg);
    if (level == -1 && PyErr_Occurred()) return nullptr;
    SetTraceLogLevel(level);
    trace_level = level;
    Py_RETURN_NONE;
}

PyObject *rl_init_window(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[3];
    int width, height;
    const char *title;
    if (!ks::bind_positional("init_window", args, nargsf, kwnames, a) || !ks::arg_int(a[0], &width) ||
        !ks::arg_int(a[1], &height) || !ks::arg_str("init_window", 3, a[2], &title))
        return nullptr;
    if (width <= 0 || height <= 0) {
        PyErr_SetString(PyExc_ValueError, "window size must be positive");
        return nullptr;
    }
    if (rl_context::is_open()) {
        PyErr_SetString(PyExc_RuntimeError, "a raylib window is already open");
        return nullptr;
    }
    InitWindow(width, height, title);
    if (!IsWindowReady()) {
        PyErr_SetString(PyExc_RuntimeError, "raylib could not open a window (is DISPLAY set?)");
        return nullptr;
    }
    rl_context::opened();
    Py_RETURN_NONE;
}

PyObject *rl_close_window(PyObject *, PyObject *) {
    if (!rl_context::is_open()) Py_RETURN_NONE;
    // A window whose thread has ended cannot be closed from any thread (its
    // GL context was current there only): it is forgotten, GL untouched, so
    // that a new one can be opened.
    if (rl_context::thread_ended()) {
        rl_context::closed();
        Py_RETURN_NONE;
    }
    if (require_window() < 0) return nullptr;
    CloseWindow();
    rl_context::closed();
    Py_RETURN_NONE;
}

PyObject *rl_is_window_ready(PyObject *, PyObject *) { return PyBool_FromLong(rl_context::is_open()); }

PyObject *rl_window_should_close(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    return PyBool_FromLong(WindowShouldClose());
}

PyObject *rl_set_target_fps(PyObject *, PyObject *arg) {
    int fps = PyLong_AsInt(arg);
    if (fps == -1 && PyErr_Occurred()) return nullptr;
    SetTargetFPS(fps);
    Py_RETURN_NONE;
}

PyObject *rl_get_frame_time(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    return PyFloat_FromDouble(GetFrameTime());
}

PyObject *rl_get_screen_width(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    return PyLong_FromLong(GetScreenWidth());
}

PyObject *rl_get_screen_height(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    return PyLong_FromLong(GetScreenHeight());
}

PyObject *rl_is_window_resized(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    return PyBool_FromLong(IsWindowResized());
}

PyObject *rl_set_window_size(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[2];
    int width, height;
    if (!ks::bind_positional("set_window_size", args, nargsf, kwnames, a) ||
        !ks::arg_int(a[0], &width) || !ks::arg_int(a[1], &height))
        return nullptr;
    if (width <= 0 || height <= 0) {
        PyErr_Format(PyExc_ValueError, "window size must be positive, got %dx%d", width, height);
        return nullptr;
    }
    if (require_window() < 0) return nullptr;
    SetWindowSize(width, height);
    Py_RETURN_NONE;
}

PyObject *rl_get_fps(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    return PyLong_FromLong(GetFPS());
}

PyObject *rl_begin_drawing(PyObject *, PyObject *) {
    if (require_drawing() < 0) return nullptr;
    rl_context::frame_started();
    BeginDrawing();
    Py_RETURN_NONE;
}

PyObject *rl_end_drawing(PyObject *, PyObject *) {
    if (require_drawing() < 0) return nullptr;
    EndDrawing();
    Py_RETURN_NONE;
}

PyObject *rl_clear_background(PyObject *, PyObject *arg) {
    Color c;
    if (color_from_object(arg, &c) < 0 || require_drawing() < 0) return nullptr;
    ClearBackground(c);
    Py_RETURN_NONE;
}

// --- input ---------------------------------------------------------------------

PyObject *rl_get_mouse_position(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    Vector2 p = GetMousePosition();
    return Py_BuildValue("(dd)", static_cast<double>(p.x), static_cast<double>(p.y));
}

PyObject *rl_get_mouse_wheel_move(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    return PyFloat_FromDouble(GetMouseWheelMove());
}

// raylib indexes its input state arrays with these unchecked.
bool in_range(int value, int last, const char *what) {
    if (value >= 0 && value <= last) return true;
    PyErr_Format(PyExc_ValueError, "%d is not a %s", value, what);
    return false;
}

PyObject *rl_is_key_pressed(PyObject *, PyObject *arg) {
    int key = PyLong_AsInt(arg);
    if ((key == -1 && PyErr_Occurred()) || !in_range(key, 511, "keyboard key") ||
        require_window() < 0)
        return nullptr;
    return PyBool_FromLong(IsKeyPressed(key));
}

PyObject *rl_is_mouse_button_pressed(PyObject *, PyObject *arg) {
    int button = PyLong_AsInt(arg);
    if ((button == -1 && PyErr_Occurred()) || !in_range(button, MOUSE_BUTTON_BACK, "mouse button") ||
        require_window() < 0)
        return nullptr;
    return PyBool_FromLong(IsMouseButtonPressed(button));
}

// --- images --------------------------------------------------------------------

PyObject *rl_gen_image_color(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[3];
    int width, height;
    if (!ks::bind_positional("gen_image_color", args, nargsf, kwnames, a) ||
        !ks::arg_int(a[0], &width) || !ks::arg_int(a[1], &height))
        return nullptr;
    PyObject *color_obj = a[2];
    Color c;
    if (color_from_object(color_obj, &c) < 0) return nullptr;
    if (width <= 0 || height <= 0 || width > INT_MAX / 4 / height) {
        PyErr_Format(PyExc_ValueError, "invalid image size %dx%d", width, height);
        return nullptr;
    }
    Image image = GenImageColor(width, height, c);
    if (image.data == nullptr) return PyErr_NoMemory();
    return rl_image_new(image);
}

PyObject *rl_unload_image(PyObject *, PyObject *arg) {
    RlImageObject *img = image_arg(arg, false);
    if (img == nullptr) return nullptr;
    if (img->image.data != nullptr) UnloadImage(img->image);
    img->image.data = nullptr;
    Py_RETURN_NONE;
}

PyObject *rl_image_flip_vertical(PyObject *, PyObject *arg) {
    RlImageObject *img = image_arg(arg, true);
    if (img == nullptr) return nullptr;
    ImageFlipVertical(&img->image);
    Py_RETURN_NONE;
}

PyObject *rl_get_image_color(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[3];
    int x, y;
    if (!ks::bind_positional("get_image_color", args, nargsf, kwnames, a) ||
        !ks::arg_int(a[1], &x) || !ks::arg_int(a[2], &y))
        return nullptr;
    PyObject *obj = a[0];
    RlImageObject *img = image_arg(obj, true);
    if (img == nullptr) return nullptr;
    if (x < 0 || y < 0 || x >= img->image.width || y >= img->image.height) {
        PyErr_Format(PyExc_IndexError, "pixel (%d, %d) is outside the %dx%d image", x, y,
                     img->image.width, img->image.height);
        return nullptr;
    }
    return color_to_tuple(GetImageColor(img->image, x, y));
}

PyObject *rl_export_image(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[2], *path = nullptr;
    if (!ks::bind_positional("export_image", args, nargsf, kwnames, a) ||
        !PyUnicode_FSConverter(a[1], &path))
        return nullptr;
    ks::Ref path_bytes = ks::Ref::steal(path);
    RlImageObject *img = image_arg(a[0], true);
    if (img == nullptr) return nullptr;
    bool ok = ExportImage(img->image, PyBytes_AS_STRING(path_bytes.get()));
    return PyBool_FromLong(ok);
}

// --- textures ------------------------------------------------------------------

PyObject *rl_load_texture_from_image(PyObject *, PyObject *arg) {
    RlImageObject *img = image_arg(arg, true);
    if (img == nullptr || require_window() < 0 ||
        rl_context::require_gpu_size(img->image.width, img->image.height, false, "texture") < 0)
        return nullptr;
    Texture2D t = LoadTextureFromImage(img->image);
    if (t.id == 0) {
        PyErr_SetString(PyExc_RuntimeError, "raylib could not load the texture");
        return nullptr;
    }
    return rl_context::texture_new(t);
}

// Unloading a record of a closed window touches nothing: its ids died with
// that window's context. So does one whose texture was unloaded already.
PyObject *rl_unload_texture(PyObject *, PyObject *arg) {
    auto *t = typed_arg<RlTextureObject>(arg, &RlTexture_Type, "texture");
    if (t == nullptr || rl_context::unload_texture(t) < 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *rl_load_image_from_texture(PyObject *, PyObject *arg) {
    auto *t = typed_arg<RlTextureObject>(arg, &RlTexture_Type, "texture");
    if (t == nullptr || ks_rl_require_texture(&rl_api, t) < 0) return nullptr;
    // Pending draws land first; reading binds a framebuffer of its own on
    // OpenGL ES (and then the screen's): the caller's target is bound again.
    unsigned int saved = rl_context::framebuffer_save();
    Image image = LoadImageFromTexture(t->texture);
    rl_context::framebuffer_restore(saved);
    if (image.data == nullptr) {
        PyErr_SetString(PyExc_RuntimeError, "raylib could not read the texture back");
        return nullptr;
    }
    return rl_image_new(image);
}

PyObject *rl_load_render_texture(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[2];
    int width, height;
    if (!ks::bind_positional("load_render_texture", args, nargsf, kwnames, a) ||
        !ks::arg_int(a[0], &width) || !ks::arg_int(a[1], &height))
        return nullptr;
    if ((width <= 0 || height <= 0) &&
        rl_context::require_size(width, height, true, "render texture") < 0)
        return nullptr;
    RenderTexture2D rt;
    if (require_window() < 0 ||
        rl_context::require_gpu_size(width, height, true, "render texture") < 0 ||
        rl_context::load_render_texture(width, height, &rt) < 0)
        return nullptr;
    return rl_context::render_texture_new(rt, true);
}

PyObject *rl_unload_render_texture(PyObject *, PyObject *arg) {
    auto *r = typed_arg<RlRenderTextureObject>(arg, &RlRenderTexture_Type, "render texture");
    if (r == nullptr || rl_context::unload_render_texture(r) < 0) return nullptr;
    Py_RETURN_NONE;
}

// --- drawing -------------------------------------------------------------------

// Reads a tuple (or other sequence) of exactly n numbers.
bool numbers_arg(PyObject *obj, Py_ssize_t n, const char *what, float *out) {
    if (!PySequence_Check(obj) || PyUnicode_Check(obj) || PyBytes_Check(obj)) {
        PyErr_Format(PyExc_TypeError, "%s must be a sequence of %zd numbers, not %.100s", what, n,
                     Py_TYPE(obj)->tp_name);
        return false;
    }
    Py_ssize_t size = PySequence_Size(obj);
    if (size < 0) return false;
    ks::Ref items = ks::Ref::steal(size == n ? PySequence_Tuple(obj) : nullptr);
    if (size == n && !items) return false;
    if (!items || PyTuple_GET_SIZE(items.get()) != n) {  // (a sequence may lie about its size)
        PyErr_Format(PyExc_ValueError, "%s needs %zd numbers, got %zd", what, n,
                     items ? PyTuple_GET_SIZE(items.get()) : size);
        return false;
    }
    for (Py_ssize_t i = 0; i < n; i++) {
        double v = ks::as_double(PyTuple_GET_ITEM(items.get(), i));
        if (v == -1.0 && PyErr_Occurred()) return false;
        out[i] = ks::narrow(v);
    }
    return true;
}

bool vector2_arg(PyObject *obj, const char *what, Vector2 *out) {
    float v[2];
    if (!numbers_arg(obj, 2, what, v)) return false;
    *out = Vector2{v[0], v[1]};
    return true;
}

bool rectangle_arg(PyObject *obj, const char *what, Rectangle *out) {
    float v[4];
    if (!numbers_arg(obj, 4, what, v)) return false;
    *out = Rectangle{v[0], v[1], v[2], v[3]};
    return true;
}

// A texture record that can be drawn now: of the open window, on its
// thread, not unloaded, and not the texture of the target being drawn into.
RlTextureObject *drawable_texture(PyObject *obj) {
    auto *t = typed_arg<RlTextureObject>(obj, &RlTexture_Type, "texture");
    if (t == nullptr || ks_rl_require_texture(&rl_api, t) < 0 || require_drawing() < 0 ||
        ks_rl_require_not_target(&rl_api, t->object) < 0)
        return nullptr;
    return t;
}

PyObject *rl_draw_texture(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[4];
    int x, y;
    if (!ks::bind_positional("draw_texture", args, nargsf, kwnames, a) || !ks::arg_int(a[1], &x) ||
        !ks::arg_int(a[2], &y))
        return nullptr;
    PyObject *tex_obj = a[0], *tint_obj = a[3];
    Color tint;
    if (color_from_object(tint_obj, &tint) < 0) return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTexture(t->texture, x, y, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_texture_v(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[3];
    if (!ks::bind_positional("draw_texture_v", args, nargsf, kwnames, a)) return nullptr;
    PyObject *tex_obj = a[0], *pos_obj = a[1], *tint_obj = a[2];
    Vector2 position;
    Color tint;
    if (!vector2_arg(pos_obj, "position", &position) || color_from_object(tint_obj, &tint) < 0)
        return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTextureV(t->texture, position, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_texture_rec(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[4];
    if (!ks::bind_positional("draw_texture_rec", args, nargsf, kwnames, a)) return nullptr;
    PyObject *tex_obj = a[0], *source_obj = a[1], *pos_obj = a[2], *tint_obj = a[3];
    Rectangle source;
    Vector2 position;
    Color tint;
    if (!rectangle_arg(source_obj, "source", &source) ||
        !vector2_arg(pos_obj, "position", &position) || color_from_object(tint_obj, &tint) < 0)
        return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTextureRec(t->texture, source, position, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_texture_pro(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[6];
    float rotation;
    if (!ks::bind_positional("draw_texture_pro", args, nargsf, kwnames, a) ||
        !ks::arg_float(a[4], &rotation))
        return nullptr;
    PyObject *tex_obj = a[0], *source_obj = a[1], *dest_obj = a[2], *origin_obj = a[3],
             *tint_obj = a[5];
    Rectangle source, dest;
    Vector2 origin;
    Color tint;
    if (!rectangle_arg(source_obj, "source", &source) || !rectangle_arg(dest_obj, "dest", &dest) ||
        !vector2_arg(origin_obj, "origin", &origin) || color_from_object(tint_obj, &tint) < 0)
        return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTexturePro(t->texture, source, dest, origin, rotation, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_rectangle(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[5];
    int x, y, width, height;
    if (!ks::bind_positional("draw_rectangle", args, nargsf, kwnames, a) ||
        !ks::arg_int(a[0], &x) || !ks::arg_int(a[1], &y) || !ks::arg_int(a[2], &width) ||
        !ks::arg_int(a[3], &height))
        return nullptr;
    PyObject *color_obj = a[4];
    Color color;
    if (color_from_object(color_obj, &color) < 0 || require_drawing() < 0) return nullptr;
    DrawRectangle(x, y, width, height, color);
    Py_RETURN_NONE;
}

PyObject *rl_draw_text(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[5];
    int x, y, font_size;
    if (!ks::bind_positional("draw_text", args, nargsf, kwnames, a) ||
        !ks::arg_unicode("draw_text", 1, a[0]) || !ks::arg_int(a[1], &x) ||
        !ks::arg_int(a[2], &y) || !ks::arg_int(a[3], &font_size))
        return nullptr;
    PyObject *text_obj = a[0], *color_obj = a[4];
    Py_ssize_t length;
    const char *utf8 = PyUnicode_AsUTF8AndSize(text_obj, &length);
    if (utf8 == nullptr) return nullptr;
    if (std::memchr(utf8, '\0', static_cast<size_t>(length)) != nullptr) {
        PyErr_SetString(PyExc_ValueError, "the text contains a NUL character");
        return nullptr;
    }
    Color color;
    if (color_from_object(color_obj, &color) < 0 || require_drawing() < 0) return nullptr;
    // raylib measures the text with strlen: it gets a terminated copy of its own.
    std::string text;
    try {
        text.assign(utf8, static_cast<size_t>(length));
    } catch (const std::bad_alloc &) {
        return PyErr_NoMemory();
    }
    DrawText(text.c_str(), x, y, font_size, color);
    Py_RETURN_NONE;
}

// --- modes ---------------------------------------------------------------------

PyObject *rl_begin_texture_mode(PyObject *, PyObject *arg) {
    auto *r = typed_arg<RlRenderTextureObject>(arg, &RlRenderTexture_Type, "render texture");
    if (r == nullptr || ks_rl_require_current(&rl_api, r->generation, "render texture") < 0 ||
        require_drawing() < 0 || rl_context::begin_target_record(r) < 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *rl_end_texture_mode(PyObject *, PyObject *) {
    if (require_drawing() < 0) return nullptr;
    rl_context::end_target();
    Py_RETURN_NONE;
}

PyObject *rl_begin_blend_mode(PyObject *, PyObject *arg) {
    int mode = PyLong_AsInt(arg);
    if (mode == -1 && PyErr_Occurred()) return nullptr;
    if (mode < BLEND_ALPHA || mode > BLEND_CUSTOM_SEPARATE) {
        PyErr_Format(PyExc_ValueError, "%d is not a raylib blend mode", mode);
        return nullptr;
    }
    if (require_drawing() < 0 || rl_context::begin_blend(mode) < 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *rl_end_blend_mode(PyObject *, PyObject *) {
    if (require_drawing() < 0) return nullptr;
    rl_context::end_blend();
    Py_RETURN_NONE;
}

// Which GL raylib was built for (rlGlVersion): a property of the library,
// known without a window.
PyObject *rl_rl_get_version(PyObject *, PyObject *) { return PyLong_FromLong(rlGetVersion()); }

// How many vec4 uniforms a fragment shader of the window's context may use:
// GL_MAX_FRAGMENT_UNIFORM_VECTORS (OpenGL ES, GL 4.1+), else a quarter of
// GL_MAX_FRAGMENT_UNIFORM_COMPONENTS (desktop GL 2.0+).
PyObject *rl_get_max_fragment_uniform_vectors(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    constexpr unsigned int kVectors = 0x8DFD, kComponents = 0x8B49;
    int value = 0;
    if (!rl_context::gl_integer(kVectors, &value) || value <= 0) {
        int components = 0;
        value = rl_context::gl_integer(kComponents, &components) ? components / 4 : 0;
    }
    return PyLong_FromLong(value);
}

#define RL_FN(name, flags, sig, doc) \
    {#name, KS_CFUNCTION(rl_##name), flags, \
     #name sig "\n--\n\n" doc}

PyMethodDef rl_methods[] = {
    // Window and frames.
    RL_FN(set_config_flags, METH_O, "($module, flags, /)",
          "Sets ConfigFlags for the next init_window."),
    RL_FN(set_trace_log_level, METH_O, "($module, level, /)",
          "Sets the TraceLogLevel below which raylib stays quiet."),
    RL_FN(init_window, METH_FASTCALL | METH_KEYWORDS, "($module, width, height, title, /)",
          "Opens the window and its GL context; GPU calls then belong to this thread."),
    RL_FN(close_window, METH_NOARGS, "($module, /)",
          "Closes the window; GPU objects made for it are refused from then on."),
    RL_FN(is_window_ready, METH_NOARGS, "($module, /)", "Whether a window is open."),
    RL_FN(window_should_close, METH_NOARGS, "($module, /)",
          "Whether the user asked to close the window (or pressed Escape)."),
    RL_FN(set_target_fps, METH_O, "($module, fps, /)", "Caps the frame rate of end_drawing."),
    RL_FN(get_frame_time, METH_NOARGS, "($module, /)", "Seconds the last frame took."),
    RL_FN(get_screen_width, METH_NOARGS, "($module, /)", "The window's width in pixels."),
    RL_FN(get_screen_height, METH_NOARGS, "($module, /)", "The window's height in pixels."),
    RL_FN(is_window_resized, METH_NOARGS, "($module, /)",
          "Whether the window was resized since the last frame."),
    RL_FN(set_window_size, METH_FASTCALL | METH_KEYWORDS, "($module, width, height, /)",
          "Resizes the window to width x height pixels."),
    RL_FN(get_fps, METH_NOARGS, "($module, /)", "Frames per second, over the last frames."),
    RL_FN(begin_drawing, METH_NOARGS, "($module, /)",
          "Starts a frame, on the screen: texture and blend modes left open are ended."),
    RL_FN(end_drawing, METH_NOARGS, "($module, /)", "Ends the frame and shows it."),
    RL_FN(clear_background, METH_O, "($module, color, /)",
          "Fills the current target with an (r, g, b, a) colour."),
    // Input.
    RL_FN(get_mouse_position, METH_NOARGS, "($module, /)", "The pointer's (x, y) in the window."),
    RL_FN(get_mouse_wheel_move, METH_NOARGS, "($module, /)", "The wheel's movement this frame."),
    RL_FN(is_mouse_button_pressed, METH_O, "($module, button, /)",
          "Whether a MouseButton went down this frame."),
    RL_FN(is_key_pressed, METH_O, "($module, key, /)",
          "Whether a KeyboardKey went down this frame."),
    // Images.
    RL_FN(gen_image_color, METH_FASTCALL | METH_KEYWORDS, "($module, width, height, color, /)",
          "A new Image of one colour."),
    RL_FN(unload_image, METH_O, "($module, image, /)", "Frees an image's pixels."),
    RL_FN(image_flip_vertical, METH_O, "($module, image, /)", "Flips an image in place."),
    RL_FN(get_image_color, METH_FASTCALL | METH_KEYWORDS, "($module, image, x, y, /)",
          "The (r, g, b, a) colour of a pixel."),
    RL_FN(export_image, METH_FASTCALL | METH_KEYWORDS, "($module, image, path, /)",
          "Writes an image file; returns whether that worked."),
    // Textures.
    RL_FN(load_texture_from_image, METH_O, "($module, image, /)",
          "A new Texture with the image's pixels."),
    RL_FN(unload_texture, METH_O, "($module, texture, /)", "Frees a texture on the GPU."),
    RL_FN(load_image_from_texture, METH_O, "($module, texture, /)",
          "A texture's pixels as an Image (a render texture's come bottom-up)."),
    RL_FN(load_render_texture, METH_FASTCALL | METH_KEYWORDS, "($module, width, height, /)",
          "A new RenderTexture to draw into."),
    RL_FN(unload_render_texture, METH_O, "($module, target, /)",
          "Frees a render texture on the GPU."),
    // Drawing.
    RL_FN(draw_texture, METH_FASTCALL | METH_KEYWORDS, "($module, texture, x, y, tint, /)",
          "Draws a texture at (x, y)."),
    RL_FN(draw_texture_v, METH_FASTCALL | METH_KEYWORDS, "($module, texture, position, tint, /)",
          "Draws a texture at position (x, y)."),
    RL_FN(draw_texture_rec, METH_FASTCALL | METH_KEYWORDS, "($module, texture, source, position, tint, /)",
          "Draws the source rectangle (x, y, width, height) of a texture at position; a\n"
          "negative height flips it (render textures are stored bottom-up)."),
    RL_FN(draw_texture_pro, METH_FASTCALL | METH_KEYWORDS,
          "($module, texture, source, dest, origin, rotation, tint, /)",
          "Draws the source rectangle of a texture into the dest rectangle, rotated by\n"
          "rotation degrees about origin (relative to dest)."),
    RL_FN(draw_rectangle, METH_FASTCALL | METH_KEYWORDS, "($module, x, y, width, height, color, /)",
          "Fills a rectangle."),
    RL_FN(draw_text, METH_FASTCALL | METH_KEYWORDS, "($module, text, x, y, font_size, color, /)",
          "Draws text in raylib's default font."),
    // Modes.
    RL_FN(begin_texture_mode, METH_O, "($module, target, /)",
          "Draws into a RenderTexture until the matching end_texture_mode."),
    RL_FN(end_texture_mode, METH_NOARGS, "($module, /)",
          "Returns drawing to the target active before the matching begin_texture_mode\n"
          "(the screen when there was none)."),
    RL_FN(begin_blend_mode, METH_O, "($module, mode, /)",
          "Blends with a BlendMode until the matching end_blend_mode (blend modes nest)."),
    RL_FN(end_blend_mode, METH_NOARGS, "($module, /)",
          "Returns to the blend mode active before the matching begin_blend_mode (alpha\n"
          "blending when there was none)."),
    // The GPU.
    RL_FN(rl_get_version, METH_NOARGS, "($module, /)",
          "The rlGlVersion raylib was built for; known without a window."),
    RL_FN(get_max_fragment_uniform_vectors, METH_NOARGS, "($module, /)",
          "How many vec4 uniforms a fragment shader may use on the window's GPU."),
    {nullptr, nullptr, 0, nullptr},
};

#undef RL_FN

// The render textures of the C interface belong to the caller.
PyObject *caller_render_texture_new(RenderTexture2D render_texture) {
    return rl_context::render_texture_new(render_texture, false);
}

}  // namespace

const KsRlApi rl_api = {
    .size = sizeof(KsRlApi),
    .image_type = &RlImage_Type,
    .texture_type = &RlTexture_Type,
    .render_texture_type = &RlRenderTexture_Type,
    .texture_new = rl_context::texture_new,
    .render_texture_new = caller_render_texture_new,
    .require_window = rl_context::require_window,
    .generation = &rl_context::generation,
    .release_render_texture = rl_context::release_render_texture,
    .release_shader = rl_context::release_shader,
    .color_from_object = color_from_object,
    .trace_log_level = trace_log_level,
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
};

namespace {

struct EnumMember {
    const char *name;
    long value;
};

// Builds enum.IntEnum(name, members) and sets it, and each member, on the
// module.
int add_int_enum(PyObject *module, PyObject *int_enum, const char *name,
                 std::initializer_list<EnumMember> members) {
    PyObject *pairs = PyList_New(0);
    if (pairs == nullptr) return -1;
    for (const EnumMember &m : members) {
        PyObject *pair = Py_BuildValue("(sl)", m.name, m.value);
        if (pair == nullptr || PyList_Append(pairs, pair) < 0) {
            Py_XDECREF(pair);
            Py_DECREF(pairs);
            return -1;
        }
        Py_DECREF(pair);
    }
    PyObject *cls = PyObject_CallFunction(int_enum, "sO", name, pairs);
    Py_DECREF(pairs);
    if (cls == nullptr) return -1;
    // The members pickle by this module's name.
    PyObject *modname = PyModule_GetNameObject(module);
    int rc = modname != nullptr ? PyObject_SetAttrString(cls, "__module__", modname) : -1;
    Py_XDECREF(modname);
    for (const EnumMember &m : members) {
        if (rc < 0) break;
        rc = PyModule_Add(module, m.name, PyObject_GetAttrString(cls, m.name));
    }
    if (rc < 0) {
        Py_DECREF(cls);
        return -1;
    }
    return PyModule_Add(module, name, cls);
}

int add_enums(PyObject *module) {
    PyObject *enum_mod = PyImport_ImportModule("enum");
    if (enum_mod == nullptr) return -1;
    PyObject *int_enum = PyObject_GetAttrString(enum_mod, "IntEnum");
    Py_DECREF(enum_mod);
    if (int_enum == nullptr) return -1;
#define M(x) {#x, static_cast<long>(x)}
    int rc = add_int_enum(module, int_enum, "ConfigFlags",
                          {M(FLAG_VSYNC_HINT), M(FLAG_FULLSCREEN_MODE), M(FLAG_WINDOW_RESIZABLE),
                           M(FLAG_WINDOW_UNDECORATED), M(FLAG_WINDOW_HIDDEN),
                           M(FLAG_WINDOW_MINIMIZED), M(FLAG_WINDOW_MAXIMIZED),
                           M(FLAG_WINDOW_UNFOCUSED), M(FLAG_WINDOW_TOPMOST),
                           M(FLAG_WINDOW_ALWAYS_RUN), M(FLAG_WINDOW_TRANSPARENT),
                           M(FLAG_WINDOW_HIGHDPI), M(FLAG_MSAA_4X_HINT), M(FLAG_INTERLACED_HINT)});
    if (rc == 0)
        rc = add_int_enum(module, int_enum, "BlendMode",
                          {M(BLEND_ALPHA), M(BLEND_ADDITIVE), M(BLEND_MULTIPLIED),
                           M(BLEND_ADD_COLORS), M(BLEND_SUBTRACT_COLORS),
                           M(BLEND_ALPHA_PREMULTIPLY), M(BLEND_CUSTOM), M(BLEND_CUSTOM_SEPARATE)});
    if (rc == 0)
        rc = add_int_enum(module, int_enum, "TraceLogLevel",
                          {M(LOG_ALL), M(LOG_TRACE), M(LOG_DEBUG), M(LOG_INFO), M(LOG_WARNING),
                           M(LOG_ERROR), M(LOG_FATAL), M(LOG_NONE)});
    if (rc == 0)
        rc = add_int_enum(module, int_enum, "rlGlVersion",
                          {M(RL_OPENGL_SOFTWARE), M(RL_OPENGL_11), M(RL_OPENGL_21),
                           M(RL_OPENGL_33), M(RL_OPENGL_43), M(RL_OPENGL_ES_20),
                           M(RL_OPENGL_ES_30)});
    if (rc == 0)
        rc = add_int_enum(module, int_enum, "MouseButton",
                          {M(MOUSE_BUTTON_LEFT), M(MOUSE_BUTTON_RIGHT), M(MOUSE_BUTTON_MIDDLE)});
    if (rc == 0)
        rc = add_int_enum(
            module, int_enum, "KeyboardKey",
            {M(KEY_SPACE),  M(KEY_ESCAPE), M(KEY_ENTER), M(KEY_TAB),   M(KEY_BACKSPACE),
             M(KEY_RIGHT),  M(KEY_LEFT),   M(KEY_DOWN),  M(KEY_UP),    M(KEY_ZERO),
             M(KEY_ONE),    M(KEY_TWO),    M(KEY_THREE), M(KEY_FOUR),  M(KEY_FIVE),
             M(KEY_SIX),    M(KEY_SEVEN),  M(KEY_EIGHT), M(KEY_NINE),  M(KEY_A),
             M(KEY_B),      M(KEY_C),      M(KEY_D),     M(KEY_E),     M(KEY_F),
             M(KEY_G),      M(KEY_H),      M(KEY_I),     M(KEY_J),     M(KEY_K),
             M(KEY_L),      M(KEY_M),      M(KEY_N),     M(KEY_O),     M(KEY_P),
             M(KEY_Q),      M(KEY_R),      M(KEY_S),     M(KEY_T),     M(KEY_U),
             M(KEY_V),      M(KEY_W),      M(KEY_X),     M(KEY_Y),     M(KEY_Z)});
#undef M
    Py_DECREF(int_enum);
    return rc;
}

int add_colors(PyObject *module) {
    struct Named {
        const char *name;
        Color color;
    };
#define C(x) {#x, x}
    const Named colors[] = {
        C(LIGHTGRAY), C(GRAY),   C(DARKGRAY),  C(YELLOW),     C(GOLD),      C(ORANGE),
        C(PINK),      C(RED),    C(MAROON),    C(GREEN),      C(LIME),      C(DARKGREEN),
        C(SKYBLUE),   C(BLUE),   C(DARKBLUE),  C(PURPLE),     C(VIOLET),    C(DARKPURPLE),
        C(BEIGE),     C(BROWN),  C(DARKBROWN), C(WHITE),      C(BLACK),     C(BLANK),
        C(MAGENTA),   C(RAYWHITE),
    };
#undef C
    for (const Named &n : colors) {
        if (PyModule_Add(module, n.name, color_to_tuple(n.color)) < 0) return -1;
    }
    return 0;
}

int exec_module(PyObject *m) {
    if (PyType_Ready(&RlImage_Type) < 0 || PyType_Ready(&RlTexture_Type) < 0 ||
        PyType_Ready(&RlRenderTexture_Type) < 0)
        return -1;
    if (PyModule_AddType(m, &RlImage_Type) < 0 || PyModule_AddType(m, &RlTexture_Type) < 0 ||
        PyModule_AddType(m, &RlRenderTexture_Type) < 0 || add_enums(m) < 0 || add_colors(m) < 0)
        return -1;
    return PyModule_Add(m, "_C_API_V2",
                        PyCapsule_New(const_cast<KsRlApi *>(&rl_api), KS_RL_API_CAPSULE, nullptr));
}

PyModuleDef_Slot rl_slots[] = KS_MODULE_SLOTS(exec_module);

PyModuleDef rl_module = {
    PyModuleDef_HEAD_INIT, "kesa_ui.core.rl",
    "The toolkit's raylib binding (pyray's names and conventions).", 0, rl_methods,
    rl_slots, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit_rl(void) { return PyModuleDef_Init(&rl_module); }
