// ClickGradient: a GradientRaylib, radial by default, whose colour bands carry
// weights that can be changed one at a time (set_weight) and whose centre can
// be moved after construction (set_center, set_center_ksvec), for instance
// to the point of a click.
//
// Its colour update keeps the weights in the instance and recomputes the
// stops through _recalculate_stops, looked up on the instance so that a
// Python subclass may replace it. For an instance of exactly this class the
// lookup is known in advance (the class is static and instances have no
// __dict__), so the native version is called directly.
#include "kesa_ui/fast/ksraygrad/gradient_raylib.hpp"

#include <cstdint>
#include <new>

#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/convert.hpp"
#include "kesa_ui/fast/ksraygrad/pickle.hpp"
#include "kesa_ui/fast/ksraygrad/render.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/stub_docs.h"
#include "kesa_ui/fast/ksraygrad/stops.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"
#include "kesa_ui/native/module.hpp"

namespace ksraygrad {

namespace {

#define QN(member) KS_QUALNAME("ClickGradient", member)

ClickGradientObject *click_of(PyObject *obj) { return reinterpret_cast<ClickGradientObject *>(obj); }

// --- lifecycle ---------------------------------------------------------------------

// The base's allocation, then the weights; a tp_new of its own also makes
// GradientRaylib.__new__ refuse to make a ClickGradient.
PyObject *click_new(PyTypeObject *type, PyObject *args, PyObject *kwargs) {
    PyObject *obj = gradient_new(type, args, kwargs);
    if (obj == nullptr) return nullptr;
    ClickGradientObject *self = click_of(obj);
    self->base.vtab = &click_gradient_vtable;
    new (&self->weights) std::vector<float>();
    return obj;
}

void click_dealloc(PyObject *obj) {
    ClickGradientObject *self = click_of(obj);
    self->weights.~vector();
    gradient_dealloc(obj);
}

// The native _recalculate_stops: the stops from the weights alone.
int recalculate_stops_impl(ClickGradientObject *self) {
    const std::vector<float> &w = self->weights;
    return compute_stops(w.data(), w.size(), self->base.stops) ? 0 : -1;
}

// _recalculate_stops on the instance (an override in a Python subclass is
// called): 0, or -1 with an exception set.
int call_recalculate_stops(ClickGradientObject *self) {
    if (Py_TYPE(self) == &ClickGradient_Type) return recalculate_stops_impl(self);
    Ref res = Ref::steal(
        PyObject_CallMethodNoArgs(reinterpret_cast<PyObject *>(self), g.s.recalculate_stops));
    return res ? 0 : -1;
}

// --- the colour update -----------------------------------------------------------

int click_update_colors(GradientRaylibObject *base, PyObject *colors) {
    ClickGradientObject *self = as_click(base);
    const uint32_t serial = ++base->colors_serial;
    self->weights.clear();
    if (colors == Py_None) return no_len_error();
    if (!reserve(self->weights, PyList_GET_SIZE(colors))) return -1;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(colors); i++) {
        // Reading a weight runs no Python code.
        float w;
        if (!item_weight(PyList_GET_ITEM(colors, i), i, w) || !append(self->weights, w)) return -1;
    }
    base->colors.clear();
    if (!reserve(base->colors, PyList_GET_SIZE(colors))) return -1;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(colors); i++) {
        if (!append_item(base, serial, i, PyList_GET_ITEM(colors, i), nullptr)) return -1;
    }
    return call_recalculate_stops(self);
}

// --- construction ------------------------------------------------------------------

// super(ClickGradient, self).__init__(colors, type, direction, angle, center,
// transparency), positionally.
int init_through_super(PyObject *self, PyObject *const *a) {
    PyObject *colors = a[0];
    if (!colors_arg_ok(colors)) return -1;
    PyObject *type = a[1] != nullptr ? a[1] : g.default_radial;
    PyObject *args[6] = {colors, type};
    for (int i = 2; i < 6; i++) args[i] = a[i] != nullptr ? a[i] : Py_None;
    if (Py_TYPE(self) == &ClickGradient_Type) {
        // The next class in the MRO of an exact ClickGradient is GradientRaylib.
        return gradient_init_traced(reinterpret_cast<GradientRaylibObject *>(self), args, type);
    }
    PyObject *super_args[2] = {reinterpret_cast<PyObject *>(&ClickGradient_Type), self};
    Ref sup = Ref::steal(PyObject_Vectorcall(g.super, super_args, 2, nullptr));
    if (!sup) return -1;
    Ref init = Ref::steal(PyObject_GetAttr(sup.get(), g.s.init));
    if (!init) return -1;
    Ref res = Ref::steal(PyObject_Vectorcall(init.get(), args, 6, nullptr));
    return res ? 0 : -1;
}

int click_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    PyObject *a[6];
    return traced(QN("__init__"), bind_args_tuple(init_params, args, kwargs, a)
                                      ? init_through_super(self, a)
                                      : -1);
}

PyObject *new_and_init(PyObject *type, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[6];
    if (!bind_args(init_params, args, nargsf, kwnames, a)) return nullptr;
    Ref self = Ref::steal(click_new(reinterpret_cast<PyTypeObject *>(type), nullptr, nullptr));
    if (!self || init_through_super(self.get(), a) < 0) return nullptr;
    return self.release();
}

PyObject *click_vectorcall(PyObject *type, PyObject *const *args, size_t nargsf,
                           PyObject *kwnames) {
    return traced(QN("__init__"), new_and_init(type, args, nargsf, kwnames));
}

// --- methods -----------------------------------------------------------------------

PyObject *set_weight_body(ClickGradientObject *self, PyObject *const *args, size_t nargsf,
                          PyObject *kwnames) {
    PyObject *a[2];
    int index;
    double weight;
    if (!bind_args(set_weight_params, args, nargsf, kwnames, a) || !int32_arg(a[0], &index) ||
        !double_arg(a[1], &weight))
        return nullptr;
    Py_ssize_t n = static_cast<Py_ssize_t>(self->weights.size());
    if (index < 0 || index >= n) {
        PyErr_Format(PyExc_IndexError, fixed::kWeightIndex, n - 1);
        return nullptr;
    }
    self->weights[static_cast<size_t>(index)] = narrow(weight);
    if (call_recalculate_stops(self) < 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *set_weight(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    return traced(QN("set_weight"), set_weight_body(click_of(self), args, nargsf, kwnames));
}

// The centre (x, y), refilled in place when no one else holds the old one
// (refill_vector2: about half of set_center's work).
PyObject *store_center(GradientRaylibObject *self, double x, double y) {
    if (refill_vector2(self->center, x, y) < 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *set_center_body(ClickGradientObject *self, PyObject *const *args, size_t nargsf,
                          PyObject *kwnames) {
    PyObject *center;
    if (!bind_args(set_center_params, args, nargsf, kwnames, center)) return nullptr;
    if (center == Py_None) {
        PyErr_SetString(PyExc_TypeError, fixed::kNoneColour);
        return nullptr;
    }
    if (!PyTuple_CheckExact(center)) {
        PyErr_Format(PyExc_TypeError,
                     "Argument 'center' has incorrect type (expected tuple, got %.200s)",
                     Py_TYPE(center)->tp_name);
        return nullptr;
    }
    // A short tuple fails before anything past its end is read.
    if (PyTuple_GET_SIZE(center) < 2) {
        PyErr_SetString(PyExc_IndexError, "tuple index out of range");
        return nullptr;
    }
    double x = as_double(PyTuple_GET_ITEM(center, 0));
    if (x == -1.0 && PyErr_Occurred()) return nullptr;
    double y = as_double(PyTuple_GET_ITEM(center, 1));
    if (y == -1.0 && PyErr_Occurred()) return nullptr;
    return store_center(&self->base, x, y);
}

PyObject *set_center(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    return traced(QN("set_center"), set_center_body(click_of(self), args, nargsf, kwnames));
}

// x or y of a centre, through ordinary attribute access so that a
// subclass's own x and y are honoured: -1.0 with an exception on failure.
double coordinate(Borrowed center, PyObject *name) {
    Ref value = Ref::steal(PyObject_GetAttr(center, name));
    return value ? as_double(value.get()) : -1.0;
}

PyObject *set_center_ksvec_body(ClickGradientObject *self, PyObject *const *args, size_t nargsf,
                                PyObject *kwnames) {
    PyObject *center;
    if (!bind_args(set_center_ksvec_params, args, nargsf, kwnames, center)) return nullptr;
    if (center != Py_None && !PyObject_TypeCheck(center, g.KsVector2)) {
        PyErr_Format(PyExc_TypeError,
                     "Argument 'center' has incorrect type (expected %.200s, got %.200s)",
                     g.KsVector2->tp_name, Py_TYPE(center)->tp_name);
        return nullptr;
    }
    double x = coordinate(center, g.s.x);
    if (x == -1.0 && PyErr_Occurred()) return nullptr;
    double y = coordinate(center, g.s.y);
    if (y == -1.0 && PyErr_Occurred()) return nullptr;
    return store_center(&self->base, x, y);
}

PyObject *set_center_ksvec(PyObject *self, PyObject *const *args, size_t nargsf,
                           PyObject *kwnames) {
    return traced(QN("set_center_ksvec"),
                  set_center_ksvec_body(click_of(self), args, nargsf, kwnames));
}

PyObject *recalculate_stops(PyObject *self, PyObject *const *, size_t nargsf, PyObject *kwnames) {
    bool ok = no_args("_recalculate_stops", nargsf, kwnames) &&
              recalculate_stops_impl(click_of(self)) == 0;
    return traced(QN("_recalculate_stops"), ok ? Py_NewRef(Py_None) : nullptr);
}

PyObject *get_weights(PyObject *self, void *) {
    return traced(QN("weights.__get__"), floats_to_list(click_of(self)->weights));
}

int store_weights(ClickGradientObject *self, PyObject *value) {
    if (value == nullptr) {
        PyErr_SetString(PyExc_NotImplementedError, fixed::kDeleteProperty);
        return -1;
    }
    // Converted apart from the weights and stored only when complete: the
    // conversion may run Python code that reads or changes this gradient.
    return sequence_to_floats(value, self->weights) ? 0 : -1;
}

int set_weights(PyObject *self, PyObject *value, void *) {
    return traced(QN("weights.__set__"), store_weights(click_of(self), value));
}

PyGetSetDef click_getset[] = {
    {"weights", get_weights, set_weights, KS_DOC_ClickGradient_weights, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef click_methods[] = {
    {"set_weight", KS_CFUNCTION(set_weight), METH_FASTCALL | METH_KEYWORDS,
     "set_weight($self, index, weight)\n--\n\n" KS_DOC_ClickGradient_set_weight},
    {"set_center", KS_CFUNCTION(set_center), METH_FASTCALL | METH_KEYWORDS,
     "set_center($self, center)\n--\n\n" KS_DOC_ClickGradient_set_center},
    {"set_center_ksvec", KS_CFUNCTION(set_center_ksvec), METH_FASTCALL | METH_KEYWORDS,
     "set_center_ksvec($self, center)\n--\n\n" KS_DOC_ClickGradient_set_center_ksvec},
    {"_recalculate_stops", KS_CFUNCTION(recalculate_stops), METH_FASTCALL | METH_KEYWORDS,
     "_recalculate_stops($self)\n--\n\n" KS_DOC_ClickGradient__recalculate_stops},
    {"draw", KS_CFUNCTION(click_draw), METH_FASTCALL | METH_KEYWORDS,
     "draw($self, x, y, width, height)\n--\n\n" KS_DOC_ClickGradient_draw},
    {KS_REDUCE_CYTHON, KS_CFUNCTION(click_reduce), METH_FASTCALL | METH_KEYWORDS,
     "__reduce_cython__($self)\n--\n\n" KS_DOC_GradientRaylib___reduce_cython__},
    {KS_SETSTATE_CYTHON, KS_CFUNCTION(click_setstate), METH_FASTCALL | METH_KEYWORDS,
     "__setstate_cython__($self, __pyx_state)\n--\n\n" KS_DOC_GradientRaylib___setstate_cython__},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

const GradientVTable click_gradient_vtable = {click_update_colors};

PyTypeObject ClickGradient_Type = {
    KS_TYPE_HEAD(KS_MODULE_NAME ".ClickGradient", ClickGradientObject),
    .tp_dealloc = click_dealloc,
    // Garbage-collector support (traverse, clear) is inherited.
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    .tp_methods = click_methods,
    .tp_getset = click_getset,
    .tp_base = &GradientRaylib_Type,
    .tp_init = click_init,
    .tp_new = click_new,
    .tp_vectorcall = click_vectorcall,
};

}  // namespace ksraygrad
