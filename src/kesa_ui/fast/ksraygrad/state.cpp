// Module-wide state: the definitions, the global name lookup, and the
// strings and constants made once at load.
#include "kesa_ui/fast/ksraygrad/state.hpp"

#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

Register g = {};

Ref lookup_global(PyObject *name) {
    PyObject *value = nullptr;
    if (PyDict_GetItemRef(g.module_dict, name, &value) != 0) return Ref::steal(value);
    if (PyObject_GetOptionalAttr(g.builtins, name, &value) != 0) return Ref::steal(value);
    PyErr_Format(PyExc_NameError, "name '%U' is not defined", name);
    return Ref();
}

Ref current_rl() {
    Ref md = lookup_global(g.s.md);
    return md ? Ref::steal(PyObject_GetAttr(md.get(), g.s.rl)) : Ref();
}

Ref current_kind(PyObject *member_name) {
    Ref kinds = lookup_global(g.s.GradientType);
    return kinds ? Ref::steal(PyObject_GetAttr(kinds.get(), member_name)) : Ref();
}

int equals(PyObject *a, PyObject *b) {
    // Objects whose types keep object's own comparison (enum members among
    // them) are equal exactly when they are the same object: skip the call
    // (about 75 of a draw's instructions, for its kind).
    richcmpfunc identity = PyBaseObject_Type.tp_richcompare;
    if (Py_TYPE(a)->tp_richcompare == identity && Py_TYPE(b)->tp_richcompare == identity)
        return a == b;
    Ref res = Ref::steal(PyObject_RichCompare(a, b, Py_EQ));
    return res ? PyObject_IsTrue(res.get()) : -1;
}

int equals_none(PyObject *obj) {
    // The shared resources' test, twice per draw: None's own comparison
    // falls back to identity unless obj's type compares itself.
    if (obj == Py_None) return 1;
    if (Py_TYPE(obj)->tp_richcompare == nullptr ||
        Py_TYPE(obj)->tp_richcompare == PyBaseObject_Type.tp_richcompare)
        return 0;
    return equals(obj, Py_None);
}

namespace {

// Interns `text` into an empty slot. A slot filled by an earlier, failed
// load is kept, so a retry makes only what is missing.
bool intern(PyObject *&slot, const char *text) {
    if (slot == nullptr) slot = PyUnicode_InternFromString(text);
    return slot != nullptr;
}

}  // namespace

int make_strings() {
    Strings &s = g.s;
    struct Item {
        PyObject **slot;
        const char *text;
    };
#define KS_STRING_ITEM(member, text) {&s.member, text},
#define KS_UNIFORM_ITEM(loc, text) {&s.loc##_name, text},
    const Item items[] = {KS_STRINGS(KS_STRING_ITEM) KS_UNIFORMS(KS_UNIFORM_ITEM)};
#undef KS_STRING_ITEM
#undef KS_UNIFORM_ITEM
    for (const Item &it : items) {
        if (!intern(*it.slot, it.text)) return -1;
    }
    return 0;
}

int make_numbers() {
    struct Number {
        PyObject **slot;
        long value;
    };
    const Number numbers[] = {
        {&g.int_255, 255},  // the colour divisor
#define KS_WRITTEN_ITEM(cls, fields, written, also1, also2, names) {&g.checksum_##cls, written},
        KS_PICKLE_FORMATS(KS_WRITTEN_ITEM)
#undef KS_WRITTEN_ITEM
    };
    for (const Number &n : numbers) {
        if (*n.slot == nullptr && (*n.slot = PyLong_FromLong(n.value)) == nullptr) return -1;
    }
    return 0;
}

int make_tuples() {
    // Everything is made first and stored only once all of it exists, with
    // the centre table last: a failed load leaves nothing half made, and a
    // retry starts over.
    if (g.center_table != nullptr) return 0;
    Ref clear_color = Ref::steal(Py_BuildValue("(iiii)", 0, 0, 0, 0));
    Ref origin = Ref::steal(Py_BuildValue("(ii)", 0, 0));
    Ref white_tint = Ref::steal(Py_BuildValue("(iiii)", 255, 255, 255, 255));
    Ref source_rect = Ref::steal(Py_BuildValue("(iiii)", 0, 0, 1, 1));
    Ref center_table = Ref::steal(PyDict_New());
    Ref angle_table = Ref::steal(PyDict_New());
    if (!clear_color || !origin || !white_tint || !source_rect || !center_table || !angle_table)
        return -1;

    struct Center {
        const char *name;
        double x, y;
    };
    const Center centers[] = {{"Center", 0.5, 0.5},       {"TopCenter", 0.5, 0.0},
                              {"TopLeft", 0.0, 0.0},      {"TopRight", 1.0, 0.0},
                              {"BottomCenter", 0.5, 1.0}, {"BottomLeft", 0.0, 1.0},
                              {"BottomRight", 1.0, 1.0}};
    Ref center_default;
    for (const Center &c : centers) {
        Ref pair = Ref::steal(Py_BuildValue("(dd)", c.x, c.y));
        if (!pair || PyDict_SetItemString(center_table.get(), c.name, pair.get()) < 0) return -1;
        if (!center_default) center_default = std::move(pair);  // "Center"
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
        if (!value || PyDict_SetItemString(angle_table.get(), a.name, value.get()) < 0) return -1;
    }
    g.clear_color = clear_color.release();
    g.origin = origin.release();
    g.white_tint = white_tint.release();
    g.source_rect = source_rect.release();
    g.center_default = center_default.release();
    g.angle_table = angle_table.release();
    g.center_table = center_table.release();
    return 0;
}

}  // namespace ksraygrad
