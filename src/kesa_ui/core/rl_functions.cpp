// kesa_ui.core.rl's Python functions and their method table: the window,
// drawing frames, images, textures, render textures, blend modes and input.
//
// raylib itself never raises and crashes when a GPU function runs without a
// GL context, so every such function checks for an open window, and for the
// window's own thread, first and raises RuntimeError instead. A texture or
// render texture record from a window that has since closed raises
// RuntimeError too (rl_context.cpp). Wrong argument types raise TypeError.
#include "kesa_ui/core/rl_internal.h"

#include <rlgl.h>

#include "kesa_ui/core/rl_args.h"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/number.hpp"

#include <climits>
#include <cstring>
#include <new>
#include <string>

namespace {

using rl_context::require_window;

// require_window for what draws or changes modes: refused (RuntimeError)
// also from code that a gradient's render runs.
int require_drawing() { return ks_rl_require_drawing(&rl_api); }

// An argument of one of rl's types; the message names the type in full.
template <typename T>
T *typed_arg(PyObject *obj, PyTypeObject *type, const char *what) {
    return ks::record_arg<T>(obj, type, what, type->tp_name);
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

}  // namespace

int rl_trace_log_level() { return trace_level; }

namespace {

PyObject *rl_set_trace_log_level(PyObject *, PyObject *arg) {
    int level = PyLong_AsInt(arg);
    if (level == -1 && PyErr_Occurred()) return nullptr;
    SetTraceLogLevel(level);
    trace_level = level;
    Py_RETURN_NONE;
}

PyObject *rl_init_window(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    int width, height;
    const char *title;
    if (!ks::bind_positional("init_window", args, nargsf, kwnames, ks::to_int{&width},
                             ks::to_int{&height}, ks::to_str{&title}))
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

// Questions to the open window: each refuses without one (RuntimeError)
// and answers with make(value).
#define RL_QUERY(name, make, value)                 \
    PyObject *rl_##name(PyObject *, PyObject *) {   \
        if (require_window() < 0) return nullptr;   \
        return make(value);                         \
    }

RL_QUERY(window_should_close, PyBool_FromLong, WindowShouldClose())
RL_QUERY(get_frame_time, PyFloat_FromDouble, GetFrameTime())
RL_QUERY(get_screen_width, PyLong_FromLong, GetScreenWidth())
RL_QUERY(get_screen_height, PyLong_FromLong, GetScreenHeight())
RL_QUERY(is_window_resized, PyBool_FromLong, IsWindowResized())
RL_QUERY(get_fps, PyLong_FromLong, GetFPS())
RL_QUERY(get_mouse_wheel_move, PyFloat_FromDouble, GetMouseWheelMove())

#undef RL_QUERY

PyObject *rl_set_target_fps(PyObject *, PyObject *arg) {
    int fps = PyLong_AsInt(arg);
    if (fps == -1 && PyErr_Occurred()) return nullptr;
    SetTargetFPS(fps);
    Py_RETURN_NONE;
}

PyObject *rl_set_window_size(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    int width, height;
    if (!ks::bind_positional("set_window_size", args, nargsf, kwnames, ks::to_int{&width},
                             ks::to_int{&height}))
        return nullptr;
    if (width <= 0 || height <= 0) {
        PyErr_Format(PyExc_ValueError, "window size must be positive, got %dx%d", width, height);
        return nullptr;
    }
    if (require_window() < 0) return nullptr;
    SetWindowSize(width, height);
    Py_RETURN_NONE;
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
    if (rl_color_from_object(arg, &c) < 0 || require_drawing() < 0) return nullptr;
    ClearBackground(c);
    Py_RETURN_NONE;
}

// --- input ---------------------------------------------------------------------

PyObject *rl_get_mouse_position(PyObject *, PyObject *) {
    if (require_window() < 0) return nullptr;
    Vector2 p = GetMousePosition();
    return Py_BuildValue("(dd)", static_cast<double>(p.x), static_cast<double>(p.y));
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
    int width, height;
    PyObject *color_obj;
    if (!ks::bind_positional("gen_image_color", args, nargsf, kwnames, ks::to_int{&width},
                             ks::to_int{&height}, ks::to_object{&color_obj}))
        return nullptr;
    Color c;
    if (rl_color_from_object(color_obj, &c) < 0) return nullptr;
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
    PyObject *obj;
    int x, y;
    if (!ks::bind_positional("get_image_color", args, nargsf, kwnames, ks::to_object{&obj},
                             ks::to_int{&x}, ks::to_int{&y}))
        return nullptr;
    RlImageObject *img = image_arg(obj, true);
    if (img == nullptr) return nullptr;
    if (x < 0 || y < 0 || x >= img->image.width || y >= img->image.height) {
        PyErr_Format(PyExc_IndexError, "pixel (%d, %d) is outside the %dx%d image", x, y,
                     img->image.width, img->image.height);
        return nullptr;
    }
    return rl_color_to_tuple(GetImageColor(img->image, x, y));
}

PyObject *rl_export_image(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *image;
    ks::Ref path_bytes;
    if (!ks::bind_positional("export_image", args, nargsf, kwnames, ks::to_object{&image},
                             ks::to_path{&path_bytes}))
        return nullptr;
    RlImageObject *img = image_arg(image, true);
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
    int width, height;
    if (!ks::bind_positional("load_render_texture", args, nargsf, kwnames, ks::to_int{&width},
                             ks::to_int{&height}))
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
    PyObject *tex_obj, *tint_obj;
    int x, y;
    if (!ks::bind_positional("draw_texture", args, nargsf, kwnames, ks::to_object{&tex_obj},
                             ks::to_int{&x}, ks::to_int{&y}, ks::to_object{&tint_obj}))
        return nullptr;
    Color tint;
    if (rl_color_from_object(tint_obj, &tint) < 0) return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTexture(t->texture, x, y, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_texture_v(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *tex_obj, *pos_obj, *tint_obj;
    if (!ks::bind_positional("draw_texture_v", args, nargsf, kwnames, ks::to_object{&tex_obj},
                             ks::to_object{&pos_obj}, ks::to_object{&tint_obj}))
        return nullptr;
    Vector2 position;
    Color tint;
    if (!ks::vector2_arg(pos_obj, "position", ks::Numbers::any_sequence, &position) || rl_color_from_object(tint_obj, &tint) < 0)
        return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTextureV(t->texture, position, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_texture_rec(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *tex_obj, *source_obj, *pos_obj, *tint_obj;
    if (!ks::bind_positional("draw_texture_rec", args, nargsf, kwnames, ks::to_object{&tex_obj},
                             ks::to_object{&source_obj}, ks::to_object{&pos_obj},
                             ks::to_object{&tint_obj}))
        return nullptr;
    Rectangle source;
    Vector2 position;
    Color tint;
    if (!ks::rectangle_arg(source_obj, "source", ks::Numbers::any_sequence, &source) ||
        !ks::vector2_arg(pos_obj, "position", ks::Numbers::any_sequence, &position) || rl_color_from_object(tint_obj, &tint) < 0)
        return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTextureRec(t->texture, source, position, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_texture_pro(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *tex_obj, *source_obj, *dest_obj, *origin_obj, *tint_obj;
    float rotation;
    if (!ks::bind_positional("draw_texture_pro", args, nargsf, kwnames, ks::to_object{&tex_obj},
                             ks::to_object{&source_obj}, ks::to_object{&dest_obj},
                             ks::to_object{&origin_obj}, ks::to_float{&rotation},
                             ks::to_object{&tint_obj}))
        return nullptr;
    Rectangle source, dest;
    Vector2 origin;
    Color tint;
    if (!ks::rectangle_arg(source_obj, "source", ks::Numbers::any_sequence, &source) || !ks::rectangle_arg(dest_obj, "dest", ks::Numbers::any_sequence, &dest) ||
        !ks::vector2_arg(origin_obj, "origin", ks::Numbers::any_sequence, &origin) || rl_color_from_object(tint_obj, &tint) < 0)
        return nullptr;
    RlTextureObject *t = drawable_texture(tex_obj);
    if (t == nullptr) return nullptr;
    DrawTexturePro(t->texture, source, dest, origin, rotation, tint);
    Py_RETURN_NONE;
}

PyObject *rl_draw_rectangle(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    int x, y, width, height;
    PyObject *color_obj;
    if (!ks::bind_positional("draw_rectangle", args, nargsf, kwnames, ks::to_int{&x},
                             ks::to_int{&y}, ks::to_int{&width}, ks::to_int{&height},
                             ks::to_object{&color_obj}))
        return nullptr;
    Color color;
    if (rl_color_from_object(color_obj, &color) < 0 || require_drawing() < 0) return nullptr;
    DrawRectangle(x, y, width, height, color);
    Py_RETURN_NONE;
}

PyObject *rl_draw_text(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *text_obj, *color_obj;
    int x, y, font_size;
    if (!ks::bind_positional("draw_text", args, nargsf, kwnames, ks::to_unicode{&text_obj},
                             ks::to_int{&x}, ks::to_int{&y}, ks::to_int{&font_size},
                             ks::to_object{&color_obj}))
        return nullptr;
    Py_ssize_t length;
    const char *utf8 = PyUnicode_AsUTF8AndSize(text_obj, &length);
    if (utf8 == nullptr) return nullptr;
    if (std::memchr(utf8, '\0', static_cast<size_t>(length)) != nullptr) {
        PyErr_SetString(PyExc_ValueError, "the text contains a NUL character");
        return nullptr;
    }
    Color color;
    if (rl_color_from_object(color_obj, &color) < 0 || require_drawing() < 0) return nullptr;
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

}  // namespace

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
