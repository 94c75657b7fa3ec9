// Module-wide state: the definitions, the global name lookup, and the
// strings and constants made once at load.
#include "kesa_ui/fast/ksraygrad/state.hpp"

#include "kesa_ui/fast/ksraygrad/refs.hpp"

namespace ksraygrad {

Globals g = {};

PyObject *lookup_global(PyObject *name) {
    PyObject *value = nullptr;
    if (PyDict_GetItemRef(g.module_dict, name, &value) != 0) return value;
    if (PyObject_GetOptionalAttr(g.builtins, name, &value) != 0) return value;
    PyErr_Format(PyExc_NameError, "name '%U' is not defined", name);
    return nullptr;
}

PyObject *current_kind(PyObject *member_name) {
    Ref kinds = Ref::steal(lookup_global(g.s.GradientType));
    return kinds ? PyObject_GetAttr(kinds.get(), member_name) : nullptr;
}

int equals(PyObject *a, PyObject *b) {
    // Enum members (and most objects) compare by identity: skip the call.
    if (a == b && Py_TYPE(a)->tp_richcompare == PyBaseObject_Type.tp_richcompare) return 1;
    Ref res = Ref::steal(PyObject_RichCompare(a, b, Py_EQ));
    return res ? PyObject_IsTrue(res.get()) : -1;
}

int equals_none(PyObject *obj) {
    if (obj == Py_None) return 1;
    // None's own comparison falls back to identity unless obj's type
    // compares itself.
    if (Py_TYPE(obj)->tp_richcompare == nullptr ||
        Py_TYPE(obj)->tp_richcompare == PyBaseObject_Type.tp_richcompare)
        return 0;
    return equals(obj, Py_None);
}

namespace {

bool intern(PyObject *&slot, const char *text) {
    slot = PyUnicode_InternFromString(text);
    return slot != nullptr;
}

}  // namespace

int make_strings() {
    if (g.s.PickleError != nullptr) return 0;  // made by an earlier attempt
    Strings &s = g.s;
    struct Item {
        PyObject **slot;
        const char *text;
    };
    const Item items[] = {
        {&s.gradientType, "gradientType"}, {&s.angle, "angle"},
        {&s.centerPos, "centerPos"},       {&s.colors, "colors"},
        {&s.stops, "stops"},               {&s.colorCount, "colorCount"},
        {&s.alpha, "alpha"},               {&s.size, "size"},
        {&s.x, "x"},                       {&s.y, "y"},
        {&s.z, "z"},                       {&s.w, "w"},
        {&s.name, "name"},                 {&s.dict, "__dict__"},
        {&s.update, "update"},             {&s.new_, "__new__"},
        {&s.init, "__init__"},             {&s.ensure_resources, "_ensure_resources"},
        {&s.recalculate_stops, "_recalculate_stops"},
        {&s.md, "md"},                     {&s.GradientShader, "GradientShader"},
        {&s.GradientPygame, "GradientPygame"}, {&s.GradientType, "GradientType"},
        {&s.Linear, "Linear"},             {&s.Radial, "Radial"},
        {&s.VERTEX_SHADER, "VERTEX_SHADER"}, {&s.FRAGMENT_SHADER, "FRAGMENT_SHADER"},
        {&s.rl, "rl"},                     {&s.gen_image_color, "gen_image_color"},
        {&s.load_texture_from_image, "load_texture_from_image"},
        {&s.unload_image, "unload_image"}, {&s.WHITE, "WHITE"},
        {&s.BlendMode, "BlendMode"},       {&s.BLEND_ALPHA_PREMULTIPLY, "BLEND_ALPHA_PREMULTIPLY"},
        {&s.unpickle_gradient, "__pyx_unpickle_GradientRaylib"},
        {&s.unpickle_click, "__pyx_unpickle_ClickGradient"},
        {&s.pickle, "pickle"},             {&s.PickleError, "PickleError"},
    };
    for (const Item &it : items) {
        if (!intern(*it.slot, it.text)) return -1;
    }
    ParamNames &p = g.p;
    const char *init[] = {"colors", "type", "direction", "angle", "center", "transparency"};
    for (int i = 0; i < 6; i++) {
        if (!intern(p.init[i], init[i])) return -1;
    }
    const char *draw[] = {"x", "y", "width", "height"};
    for (int i = 0; i < 4; i++) {
        if (!intern(p.draw[i], draw[i])) return -1;
    }
    const char *unpickle[] = {"__pyx_type", "__pyx_checksum", "__pyx_state"};
    for (int i = 0; i < 3; i++) {
        if (!intern(p.unpickle[i], unpickle[i])) return -1;
    }
    return intern(p.texture[0], "width") && intern(p.texture[1], "height") &&
                   intern(p.set_weight[0], "index") && intern(p.set_weight[1], "weight") &&
                   intern(p.center[0], "center") && intern(p.setstate[0], "__pyx_state")
               ? 0
               : -1;
}

int make_numbers() {
    if (g.int_255 == nullptr) g.int_255 = PyLong_FromLong(255);  // the colour divisor
    return g.int_255 != nullptr ? 0 : -1;
}

int make_tuples() {
    if (g.angle_table != nullptr) return 0;
    PyObject *centers[7];
    const double xy[7][2] = {{0.5, 0.5}, {0.5, 0.0}, {0.0, 0.0}, {1.0, 0.0},
                             {0.5, 1.0}, {0.0, 1.0}, {1.0, 1.0}};
    for (int i = 0; i < 7; i++) {
        centers[i] = Py_BuildValue("(dd)", xy[i][0], xy[i][1]);
        if (centers[i] == nullptr) return -1;
    }
    g.center_default = centers[0];
    g.clear_color = Py_BuildValue("(iiii)", 0, 0, 0, 0);
    g.origin = Py_BuildValue("(ii)", 0, 0);
    g.white_tint = Py_BuildValue("(iiii)", 255, 255, 255, 255);
    g.source_rect = Py_BuildValue("(iiii)", 0, 0, 1, 1);
    if (!g.clear_color || !g.origin || !g.white_tint || !g.source_rect) return -1;

    g.center_table = PyDict_New();
    g.angle_table = PyDict_New();
    if (!g.center_table || !g.angle_table) return -1;
    const char *center_names[7] = {"Center",       "TopCenter",  "TopLeft",    "TopRight",
                                   "BottomCenter", "BottomLeft", "BottomRight"};
    for (int i = 0; i < 7; i++) {
        if (PyDict_SetItemString(g.center_table, center_names[i], centers[i]) < 0) return -1;
        if (i > 0) Py_DECREF(centers[i]);  // the table holds them
    }
    struct Angle {
        const char *name;
        double degrees;
    };
    const Angle angles[] = {{"Right", 0.0},        {"Left", 180.0},   {"Bottom", 90.0},
                            {"Top", 270.0},        {"BottomRight", 45.0}, {"TopLeft", 225.0},
                            {"TopRight", 315.0},   {"BottomLeft", 135.0}};
    for (const Angle &a : angles) {
        Ref value = Ref::steal(PyFloat_FromDouble(a.degrees));
        if (!value || PyDict_SetItemString(g.angle_table, a.name, value.get()) < 0) return -1;
    }
    return 0;
}

}  // namespace ksraygrad
