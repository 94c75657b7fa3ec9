// kesa_ui.core.rl: the toolkit's raylib binding, after pyray's names.
//
// Covers what the toolkit, its tests and its demos use: the window, drawing
// frames, images, textures, render textures, blend modes, mouse input
// (rl_functions.cpp), the ConfigFlags / BlendMode / TraceLogLevel /
// rlGlVersion / MouseButton / KeyboardKey enums (each member also exported
// at the top level) and raylib's colour constants as 4-tuples (here), and a
// C interface for the other modules (rl_capi.cpp). The records of images,
// textures and render textures are in rl_types.cpp, the window's GL context
// and the GPU objects' identities in rl_context.cpp.
//
// This file: rl's colour rule, the enums and colour constants, and the
// module's start-up.
#include "kesa_ui/core/rl_internal.h"

#include <rlgl.h>

#include "kesa_ui/native/module.hpp"
#include "kesa_ui/native/number.hpp"
#include "kesa_ui/native/ref.hpp"

#include <initializer_list>

// --- colours -------------------------------------------------------------------

namespace {

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

}  // namespace

// A colour is any sequence of four ints 0..255, or of three (opaque), as
// the gradients take them.
int rl_color_from_object(PyObject *obj, Color *out) {
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
        ks::Ref item = ks::Ref::steal(PySequence_GetItem(obj, i));
        if (!item) return -1;
        if (!PyLong_Check(item.get())) {
            PyErr_Format(PyExc_TypeError, "colour components must be int, not %.100s",
                         Py_TYPE(item.get())->tp_name);
            return -1;
        }
        long v = PyLong_AsLong(item.get());
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

PyObject *rl_color_to_tuple(Color c) { return Py_BuildValue("(iiii)", c.r, c.g, c.b, c.a); }


// --- enums, colour constants and start-up -------------------------------------------

namespace {

const KsGlBackend gl_backends[] = {
#define BACKEND(member, name, shaders) {member, #member, name, shaders},
    KS_GL_BACKENDS(BACKEND)
#undef BACKEND
};

}  // namespace

const KsGlBackend *rl_gl_backend(int version) {
    for (const KsGlBackend &b : gl_backends) {
        if (b.version == version) return &b;
    }
    return nullptr;
}

namespace {

struct EnumMember {
    const char *name;
    long value;
};

// Builds enum.IntEnum(name, members) and sets it, and each member, on the
// module.
int add_int_enum(PyObject *module, PyObject *int_enum, const char *name,
                 std::initializer_list<EnumMember> members) {
    ks::Ref pairs = ks::Ref::steal(PyList_New(0));
    if (!pairs) return -1;
    for (const EnumMember &m : members) {
        ks::Ref pair = ks::Ref::steal(Py_BuildValue("(sl)", m.name, m.value));
        if (!pair || PyList_Append(pairs.get(), pair.get()) < 0) return -1;
    }
    ks::Ref cls = ks::Ref::steal(PyObject_CallFunction(int_enum, "sO", name, pairs.get()));
    if (!cls) return -1;
    // The members pickle by this module's name.
    ks::Ref modname = ks::Ref::steal(PyModule_GetNameObject(module));
    if (!modname || PyObject_SetAttrString(cls.get(), "__module__", modname.get()) < 0) return -1;
    for (const EnumMember &m : members) {
        if (PyModule_Add(module, m.name, PyObject_GetAttrString(cls.get(), m.name)) < 0) return -1;
    }
    return PyModule_Add(module, name, cls.release());
}

int add_enums(PyObject *module) {
    ks::Ref enum_mod = ks::Ref::steal(PyImport_ImportModule("enum"));
    if (!enum_mod) return -1;
    ks::Ref int_enum = ks::Ref::steal(PyObject_GetAttrString(enum_mod.get(), "IntEnum"));
    if (!int_enum) return -1;
    PyObject *e = int_enum.get();
#define M(x) {#x, static_cast<long>(x)}
    int rc = add_int_enum(module, e, "ConfigFlags",
                          {M(FLAG_VSYNC_HINT), M(FLAG_FULLSCREEN_MODE), M(FLAG_WINDOW_RESIZABLE),
                           M(FLAG_WINDOW_UNDECORATED), M(FLAG_WINDOW_HIDDEN),
                           M(FLAG_WINDOW_MINIMIZED), M(FLAG_WINDOW_MAXIMIZED),
                           M(FLAG_WINDOW_UNFOCUSED), M(FLAG_WINDOW_TOPMOST),
                           M(FLAG_WINDOW_ALWAYS_RUN), M(FLAG_WINDOW_TRANSPARENT),
                           M(FLAG_WINDOW_HIGHDPI), M(FLAG_MSAA_4X_HINT), M(FLAG_INTERLACED_HINT)});
    if (rc == 0)
        rc = add_int_enum(module, e, "BlendMode",
                          {M(BLEND_ALPHA), M(BLEND_ADDITIVE), M(BLEND_MULTIPLIED),
                           M(BLEND_ADD_COLORS), M(BLEND_SUBTRACT_COLORS),
                           M(BLEND_ALPHA_PREMULTIPLY), M(BLEND_CUSTOM), M(BLEND_CUSTOM_SEPARATE)});
    if (rc == 0)
        rc = add_int_enum(module, e, "TraceLogLevel",
                          {M(LOG_ALL), M(LOG_TRACE), M(LOG_DEBUG), M(LOG_INFO), M(LOG_WARNING),
                           M(LOG_ERROR), M(LOG_FATAL), M(LOG_NONE)});
    if (rc == 0)
        rc = add_int_enum(module, e, "rlGlVersion",
                          {
#define ENUM_MEMBER(member, name, shaders) M(member),
                              KS_GL_BACKENDS(ENUM_MEMBER)
#undef ENUM_MEMBER
                          });
    if (rc == 0)
        rc = add_int_enum(module, e, "MouseButton",
                          {M(MOUSE_BUTTON_LEFT), M(MOUSE_BUTTON_RIGHT), M(MOUSE_BUTTON_MIDDLE)});
    if (rc == 0)
        rc = add_int_enum(
            module, e, "KeyboardKey",
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
    return rc;
}

// GL_BACKENDS: a read-only mapping of each rlGlVersion member to
// (what raylib is then built for, whether it has programmable shaders).
int add_gl_backends(PyObject *module) {
    ks::Ref backends = ks::Ref::steal(PyDict_New());
    if (!backends) return -1;
    for (const KsGlBackend &b : gl_backends) {
        ks::Ref member = ks::Ref::steal(PyObject_GetAttrString(module, b.member));
        ks::Ref info = ks::Ref::steal(Py_BuildValue("(sO)", b.name, b.shaders ? Py_True : Py_False));
        if (!member || !info || PyDict_SetItem(backends.get(), member.get(), info.get()) < 0)
            return -1;
    }
    return PyModule_Add(module, "GL_BACKENDS", PyDictProxy_New(backends.get()));
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
        if (PyModule_Add(module, n.name, rl_color_to_tuple(n.color)) < 0) return -1;
    }
    return 0;
}

int exec_module(PyObject *m) {
    if (PyType_Ready(&RlImage_Type) < 0 || PyType_Ready(&RlTexture_Type) < 0 ||
        PyType_Ready(&RlRenderTexture_Type) < 0)
        return -1;
    if (PyModule_AddType(m, &RlImage_Type) < 0 || PyModule_AddType(m, &RlTexture_Type) < 0 ||
        PyModule_AddType(m, &RlRenderTexture_Type) < 0 || add_enums(m) < 0 || add_gl_backends(m) < 0 ||
        add_colors(m) < 0)
        return -1;
    return PyModule_Add(m, KS_RL_API_ATTRIBUTE,
                        PyCapsule_New(const_cast<KsRlApi *>(&rl_api), KS_RL_API_CAPSULE, nullptr));
}

}  // namespace

KS_DEFINE_MODULE(rl, "kesa_ui.core.rl",
                 "The toolkit's raylib binding (pyray's names and conventions).",
                 rl_methods, exec_module, nullptr)
