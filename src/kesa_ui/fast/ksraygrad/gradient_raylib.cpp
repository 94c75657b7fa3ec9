// GradientRaylib: the gradient value object.
//
// Holds the caller's colour list, the kind, the angle of a linear gradient,
// the centre of a radial one, the transparency, and the native colour and
// stop arrays derived from the colours. The constructor turns friendly
// arguments (direction members, numbers, points) into that state; the
// properties expose it. Nothing is rolled back when a step fails: fields set
// before the failing step keep their new values.
#include "kesa_ui/fast/ksraygrad/gradient_raylib.hpp"

#include <new>

#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/convert.hpp"
#include "kesa_ui/fast/ksraygrad/pickle.hpp"
#include "kesa_ui/fast/ksraygrad/render.hpp"
#include "kesa_ui/fast/ksraygrad/resources.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/stub_docs.h"
#include "kesa_ui/fast/ksraygrad/stops.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"
#include "kesa_ui/native/module.hpp"

namespace ksraygrad {

namespace {

#define QN(member) KS_QUALNAME("GradientRaylib", member)

GradientRaylibObject *self_of(PyObject *obj) {
    return reinterpret_cast<GradientRaylibObject *>(obj);
}

// --- lifecycle -----------------------------------------------------------------

int gradient_traverse(PyObject *obj, visitproc visit, void *arg) {
    // The class is static; a Python subclass's own traverse visits its type.
    GradientRaylibObject *self = self_of(obj);
    Py_VISIT(self->raw_colors);
    Py_VISIT(self->center);
    Py_VISIT(self->type);
    return 0;
}

int gradient_clear(PyObject *obj) {
    GradientRaylibObject *self = self_of(obj);
    ks::replace_field(self->raw_colors, Ref::new_ref(Py_None));
    ks::replace_field(self->center, Ref::new_ref(Py_None));
    ks::replace_field(self->type, Ref::new_ref(Py_None));
    return 0;
}

// --- construction ----------------------------------------------------------------

bool exact_list_or_none(PyObject *obj) { return obj == Py_None || PyList_CheckExact(obj); }

}  // namespace

bool colors_arg_ok(PyObject *colors) {
    if (exact_list_or_none(colors)) return true;
    PyErr_Format(PyExc_TypeError, "Argument 'colors' has incorrect type (expected list, got %.200s)",
                 Py_TYPE(colors)->tp_name);
    return false;
}

namespace {

// _angle from a direction member's name, or from a number.
int apply_linear_direction(GradientRaylibObject *self, Borrowed direction) {
    PyObject *name = nullptr;
    int has = PyObject_GetOptionalAttr(direction, g.s.name, &name);
    if (has < 0) return -1;
    if (has) {
        Ref name_ref = Ref::steal(name);
        PyObject *angle = nullptr;
        if (PyDict_GetItemRef(g.angle_table, name, &angle) < 0) return -1;
        self->angle = angle != nullptr ? static_cast<float>(PyFloat_AS_DOUBLE(angle)) : 0.0f;
        Py_XDECREF(angle);
        return 0;
    }
    if (PyLong_Check(direction) || PyFloat_Check(direction)) {
        double d = as_double(direction);
        if (d == -1.0 && PyErr_Occurred()) return -1;
        self->angle = narrow(d);
    }
    return 0;
}

// A new KsVector2 from elements 0 and 1 of an indexable object.
Ref vector_from_indexable(Borrowed pair) {
    Ref x = get_index(pair, 0);
    if (!x) return Ref();
    Ref y = get_index(pair, 1);
    if (!y) return Ref();
    return vector_from_pair(x, y);
}

// _center from a direction member's name, or from a point tuple.
int apply_radial_direction(GradientRaylibObject *self, Borrowed direction) {
    PyObject *name = nullptr;
    int has = PyObject_GetOptionalAttr(direction, g.s.name, &name);
    if (has < 0) return -1;
    Ref pair;
    if (has) {
        Ref name_ref = Ref::steal(name);
        PyObject *found = nullptr;
        if (PyDict_GetItemRef(g.center_table, name, &found) < 0) return -1;
        pair = found != nullptr ? Ref::steal(found) : Ref::new_ref(g.center_default);
    } else if (PyTuple_Check(direction)) {
        pair = Ref::new_ref(direction);
    } else {
        return 0;
    }
    Ref center = vector_from_indexable(pair);
    if (!center) return -1;
    ks::replace_field(self->center, std::move(center));
    return 0;
}

// Applies a direction: an angle for a linear gradient, a centre for a
// radial one, nothing for any other kind.
int apply_direction(GradientRaylibObject *self, Borrowed direction) {
    // Compare with the kinds as they are bound now.
    Ref linear = current_kind(g.s.Linear);
    if (!linear) return -1;
    int is_linear = equals(self->type, linear.get());
    if (is_linear != 0) return is_linear < 0 ? -1 : apply_linear_direction(self, direction);
    Ref radial = current_kind(g.s.Radial);
    if (!radial) return -1;
    int is_radial = equals(self->type, radial.get());
    if (is_radial != 0) return is_radial < 0 ? -1 : apply_radial_direction(self, direction);
    return 0;
}

// The constructor's body: `a` holds colors, type, direction, angle, center,
// transparency (nullptr for an omitted one).
int init_body(GradientRaylibObject *self, PyObject *const *a, Borrowed default_type) {
    auto given = [&](int i) -> PyObject * { return a[i] != nullptr ? a[i] : Py_None; };
    PyObject *colors = a[0];
    if (!colors_arg_ok(colors)) return -1;
    ks::replace_field(self->raw_colors, Ref::new_ref(colors));
    ks::replace_field(self->type, Ref::new_ref(a[1] != nullptr ? a[1] : default_type.get()));
    int transparency = 255;
    if (given(5) != Py_None) {
        transparency = as_int32(given(5));
        if (transparency == -1 && PyErr_Occurred()) return -1;
    }
    self->transparency = transparency;
    self->angle = 0.0f;
    Ref center = Ref::steal(g.vec2_vt->new_(0.5, 0.5));
    if (!center) return -1;
    ks::replace_field(self->center, std::move(center));
    if (given(2) != Py_None && apply_direction(self, given(2)) < 0) return -1;
    if (given(3) != Py_None) {
        double d = as_double(given(3));
        if (d == -1.0 && PyErr_Occurred()) return -1;
        self->angle = narrow(d);
    }
    if (given(4) != Py_None) {
        Ref vec = vector_from_indexable(given(4));
        if (!vec) return -1;
        ks::replace_field(self->center, std::move(vec));
    }
    if (self->vtab->update_colors(self, colors) < 0) return -1;
    return call_ensure_resources(self);
}

int gradient_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    PyObject *a[6];
    return traced(QN("__init__"),
                  bind_args_tuple(init_params, args, kwargs, a)
                      ? init_body(self_of(self), a, g.default_linear)
                      : -1);
}

// Calling the class itself: allocation and __init__ without building an
// argument tuple. Only the exact class gets here (subclasses go through
// type.__call__, which runs their own __init__).
PyObject *new_and_init(PyObject *type, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[6];
    if (!bind_args(init_params, args, nargsf, kwnames, a)) return nullptr;
    Ref self = Ref::steal(gradient_new(reinterpret_cast<PyTypeObject *>(type), nullptr, nullptr));
    if (!self || init_body(self_of(self.get()), a, g.default_linear) < 0) return nullptr;
    return self.release();
}

PyObject *gradient_vectorcall(PyObject *type, PyObject *const *args, size_t nargsf,
                              PyObject *kwnames) {
    return traced(QN("__init__"), new_and_init(type, args, nargsf, kwnames));
}

// --- properties ------------------------------------------------------------------

// A setter's body for a property that cannot be deleted: NotImplementedError
// for a delete, else store(self, value).
int unless_deleted(PyObject *self, PyObject *value,
                   int (*store)(GradientRaylibObject *, PyObject *)) {
    if (value != nullptr) return store(self_of(self), value);
    PyErr_SetString(PyExc_NotImplementedError, fixed::kDeleteProperty);
    return -1;
}

PyObject *get_transparency(PyObject *self, void *) {
    return PyLong_FromLong(self_of(self)->transparency);
}

int store_transparency(GradientRaylibObject *self, PyObject *value) {
    int t = as_int32(value);
    if (t == -1 && PyErr_Occurred()) return -1;
    self->transparency = t;
    return 0;
}

int set_transparency(PyObject *self, PyObject *value, void *) {
    return traced(QN("transparency.__set__"), unless_deleted(self, value, store_transparency));
}

PyObject *get_angle(PyObject *self, void *) { return PyFloat_FromDouble(self_of(self)->angle); }

int store_angle(GradientRaylibObject *self, PyObject *value) {
    double d = as_double(value);
    if (d == -1.0 && PyErr_Occurred()) return -1;
    self->angle = narrow(d);
    return 0;
}

int set_angle(PyObject *self, PyObject *value, void *) {
    return traced(QN("angle.__set__"), unless_deleted(self, value, store_angle));
}

PyObject *get_center(PyObject *self, void *) { return Py_NewRef(self_of(self)->center); }

int store_center(GradientRaylibObject *self, PyObject *value) {
    Ref center;
    if (PyObject_TypeCheck(value, g.KsVector2)) {
        center = Ref::new_ref(value);
    } else if (PyTuple_Check(value) && PyTuple_GET_SIZE(value) == 2) {
        center = vector_from_indexable(value);
        if (!center) return -1;
    } else {
        PyErr_SetString(PyExc_TypeError, fixed::kCenterProperty);
        return -1;
    }
    ks::replace_field(self->center, std::move(center));
    return 0;
}

int set_center(PyObject *self, PyObject *value, void *) {
    return traced(QN("center.__set__"), unless_deleted(self, value, store_center));
}

PyObject *get_raw_colors(PyObject *self, void *) { return Py_NewRef(self_of(self)->raw_colors); }

int list_expected(PyObject *value) {
    PyErr_Format(PyExc_TypeError, "Expected list, got %.200s", Py_TYPE(value)->tp_name);
    return -1;
}

int store_colors(GradientRaylibObject *self, PyObject *value) {
    if (!exact_list_or_none(value)) return list_expected(value);
    ks::replace_field(self->raw_colors, Ref::new_ref(value));
    return self->vtab->update_colors(self, value);
}

int set_colors(PyObject *self, PyObject *value, void *) {
    return traced(QN("colors.__set__"), unless_deleted(self, value, store_colors));
}

int store_raw_colors(GradientRaylibObject *self, PyObject *value) {
    if (value == nullptr) value = Py_None;
    if (!exact_list_or_none(value)) return list_expected(value);
    ks::replace_field(self->raw_colors, Ref::new_ref(value));
    return 0;
}

int set_raw_colors(PyObject *self, PyObject *value, void *) {
    return traced(QN("raw_colors.__set__"), store_raw_colors(self_of(self), value));
}

PyObject *get_type(PyObject *self, void *) { return Py_NewRef(self_of(self)->type); }

int set_type(PyObject *self, PyObject *value, void *) {
    ks::replace_field(self_of(self)->type, Ref::new_ref(value != nullptr ? value : Py_None));
    return 0;
}

PyGetSetDef gradient_getset[] = {
    {"transparency", get_transparency, set_transparency, KS_DOC_GradientRaylib_transparency, nullptr},
    {"angle", get_angle, set_angle, KS_DOC_GradientRaylib_angle, nullptr},
    {"center", get_center, set_center, KS_DOC_GradientRaylib_center, nullptr},
    {"colors", get_raw_colors, set_colors, KS_DOC_GradientRaylib_colors, nullptr},
    {"raw_colors", get_raw_colors, set_raw_colors, KS_DOC_GradientRaylib_raw_colors, nullptr},
    {"type", get_type, set_type, KS_DOC_GradientRaylib_type, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef gradient_methods[] = {
    {"_ensure_resources", KS_CFUNCTION(gradient_ensure_resources),
     METH_FASTCALL | METH_KEYWORDS | METH_CLASS, "_ensure_resources($cls)\n--\n\n" KS_DOC_GradientRaylib__ensure_resources},
    {"generate_texture", KS_CFUNCTION(gradient_generate_texture), METH_FASTCALL | METH_KEYWORDS,
     "generate_texture($self, width, height)\n--\n\n" KS_DOC_GradientRaylib_generate_texture},
    {KS_REDUCE_CYTHON, KS_CFUNCTION(gradient_reduce), METH_FASTCALL | METH_KEYWORDS,
     "__reduce_cython__($self)\n--\n\n" KS_DOC_GradientRaylib___reduce_cython__},
    {KS_SETSTATE_CYTHON, KS_CFUNCTION(gradient_setstate), METH_FASTCALL | METH_KEYWORDS,
     "__setstate_cython__($self, __pyx_state)\n--\n\n" KS_DOC_GradientRaylib___setstate_cython__},
    {nullptr, nullptr, 0, nullptr},
};

// --- the colour update -------------------------------------------------------------

int gradient_update_colors(GradientRaylibObject *self, PyObject *colors) {
    const uint32_t serial = ++self->colors_serial;
    self->colors.clear();
    if (colors == Py_None) return no_len_error();
    Py_ssize_t n = PyList_GET_SIZE(colors);
    WeightBuffer weights;
    if (!reserve(self->colors, n) || !weights.reserve(n)) return -1;
    // Converting a colour may run Python code that changes the list, so its
    // length is read again at every step.
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(colors); i++) {
        float w;
        if (!append_item(self, serial, i, PyList_GET_ITEM(colors, i), &w) || !weights.push(w))
            return -1;
    }
    return compute_stops(weights.data(), weights.size(), self->stops) ? 0 : -1;
}

}  // namespace

// --- shared with ClickGradient -------------------------------------------------------

PyObject *gradient_new(PyTypeObject *type, PyObject *, PyObject *) {
    PyObject *obj = type->tp_alloc(type, 0);
    if (obj == nullptr) return nullptr;
    GradientRaylibObject *self = self_of(obj);
    self->vtab = &gradient_raylib_vtable;
    self->raw_colors = Py_NewRef(Py_None);
    self->center = Py_NewRef(Py_None);
    self->type = Py_NewRef(Py_None);
    new (&self->colors) std::vector<Vector4>();
    new (&self->stops) std::vector<float>();
    return obj;
}

void gradient_dealloc(PyObject *obj) {
    GradientRaylibObject *self = self_of(obj);
    PyObject_GC_UnTrack(obj);
    self->colors.~vector();
    self->stops.~vector();
    Py_CLEAR(self->raw_colors);
    Py_CLEAR(self->center);
    Py_CLEAR(self->type);
    // A Python subclass's dealloc releases its type after this returns.
    Py_TYPE(obj)->tp_free(obj);
}

int gradient_init_traced(GradientRaylibObject *self, PyObject *const *a, Borrowed default_type) {
    return traced(QN("__init__"), init_body(self, a, default_type));
}

bool append_item(GradientRaylibObject *self, uint32_t serial, Py_ssize_t index, PyObject *item,
                 float *weight) {
    Vector4 v;
    Ref held = Ref::new_ref(item);  // converting may run code that drops it from the list
    if (!convert_color(item_color(item), v, ItemPlace{index, item})) return false;
    if (self->colors_serial != serial) {
        // That code gave the gradient new colours (through `colors`, the
        // constructor or __setstate__), which stand as they are.
        PyErr_SetString(PyExc_RuntimeError,
                        "the gradient's colours were replaced while they were being converted");
        return false;
    }
    return append(self->colors, v) && (weight == nullptr || item_weight(item, index, *weight));
}

int no_len_error() {
    PyErr_SetString(PyExc_TypeError, fixed::kNoneColors);
    return -1;
}

const GradientVTable gradient_raylib_vtable = {gradient_update_colors};

PyTypeObject GradientRaylib_Type = {
    KS_TYPE_HEAD(KS_MODULE_NAME ".GradientRaylib", GradientRaylibObject),
    .tp_dealloc = gradient_dealloc,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC,
    .tp_traverse = gradient_traverse,
    .tp_clear = gradient_clear,
    .tp_methods = gradient_methods,
    .tp_getset = gradient_getset,
    .tp_init = gradient_init,
    .tp_new = gradient_new,
    .tp_vectorcall = gradient_vectorcall,
};

}  // namespace ksraygrad
