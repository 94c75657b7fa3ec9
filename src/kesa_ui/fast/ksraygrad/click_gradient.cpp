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
#include <new>

#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/convert.hpp"
#include "kesa_ui/fast/ksraygrad/gradient.hpp"
#include "kesa_ui/native/ref.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

namespace ksraygrad {

namespace {

#define QN(member) KS_QUALNAME("ClickGradient", member)

ClickGradientObject *click_of(PyObject *obj) { return reinterpret_cast<ClickGradientObject *>(obj); }

int recalculate_stops_impl(ClickGradientObject *self) {
    return compute_stops(self->weights.data(), self->weights.size(), self->base.stops) ? 0 : -1;
}

// A new centre vector (x, y) in place of the old one. When the old one is an
// exact KsVector2 that nothing else references, it is reused instead: no
// one can tell it from a new vector, and the hot path saves an allocation.
int store_center(GradientRaylibObject *self, double x, double y) {
    PyObject *old = self->center;
    if (Py_TYPE(old) == g.KsVector2 && Py_REFCNT(old) == 1) {
        reinterpret_cast<KsVector2Object *>(old)->data = KsVector2Data{x, y};
        return 0;
    }
    Ref vec = Ref::steal(g.vec2_vt->new_(x, y));
    if (!vec) return -1;
    ks::replace_field(self->center, std::move(vec));
    return 0;
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
        if (!item_weight(PyList_GET_ITEM(colors, i), w) || !append(self->weights, w)) return -1;
    }
    base->colors.clear();
    if (!reserve(base->colors, PyList_GET_SIZE(colors))) return -1;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(colors); i++) {
        if (!append_item(base, serial, PyList_GET_ITEM(colors, i), nullptr)) return -1;
    }
    return call_recalculate_stops(base);
}

// --- construction ------------------------------------------------------------------

bool check_colors(PyObject *colors) {
    if (colors == Py_None || PyList_CheckExact(colors)) return true;
    PyErr_Format(PyExc_TypeError,
                 "Argument 'colors' has incorrect type (expected list, got %.200s)",
                 Py_TYPE(colors)->tp_name);
    return false;
}

// super(ClickGradient, self).__init__(colors, type, direction, angle, center,
// transparency), positionally.
int init_through_super(PyObject *self, PyObject *const *a) {
    PyObject *type = a[1] != nullptr ? a[1] : g.default_radial;
    PyObject *args[6];
    args[0] = a[0];
    args[1] = type;
    for (int i = 2; i < 6; i++) args[i] = a[i] != nullptr ? a[i] : Py_None;
    if (Py_TYPE(self) == &ClickGradient_Type) {
        // The next class in the MRO of an exact ClickGradient is GradientRaylib.
        return gradient_init_body(reinterpret_cast<GradientRaylibObject *>(self), args, type);
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
    if (!bind_args_tuple(gradient_init_params(), args, kwargs, a) || !check_colors(a[0]) ||
        init_through_super(self, a) < 0) {
        KS_TRACEBACK(QN("__init__"));
        return -1;
    }
    return 0;
}

PyObject *click_vectorcall(PyObject *type, PyObject *const *args, size_t nargsf,
                           PyObject *kwnames) {
    PyObject *a[6];
    if (!bind_args(gradient_init_params(), args, nargsf, kwnames, a) || !check_colors(a[0])) {
        KS_TRACEBACK(QN("__init__"));
        return nullptr;
    }
    Ref self = Ref::steal(reinterpret_cast<PyTypeObject *>(type)->tp_new(
        reinterpret_cast<PyTypeObject *>(type), nullptr, nullptr));
    if (!self) return nullptr;
    if (init_through_super(self.get(), a) < 0) {
        KS_TRACEBACK(QN("__init__"));
        return nullptr;
    }
    return self.release();
}

// --- methods -----------------------------------------------------------------------

const Params set_weight_params{"set_weight", g.p.set_weight, 2, 2};
const Params center_params{"set_center", g.p.center, 1, 1};
const Params center_ksvec_params{"set_center_ksvec", g.p.center, 1, 1};

PyObject *set_weight(PyObject *obj, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[2];
    if (!bind_args(set_weight_params, args, nargsf, kwnames, a))
        return KS_TRACEBACK(QN("set_weight")), nullptr;
    int index = as_int32(a[0]);
    if (index == -1 && PyErr_Occurred()) return KS_TRACEBACK(QN("set_weight")), nullptr;
    double weight = as_double(a[1]);
    if (weight == -1.0 && PyErr_Occurred()) return KS_TRACEBACK(QN("set_weight")), nullptr;
    ClickGradientObject *self = click_of(obj);
    Py_ssize_t n = static_cast<Py_ssize_t>(self->weights.size());
    if (index < 0 || index >= n) {
        PyErr_Format(PyExc_IndexError, "Color index out of range! Max: %zd", n - 1);
        return KS_TRACEBACK(QN("set_weight")), nullptr;
    }
    self->weights[static_cast<size_t>(index)] = narrow(weight);
    if (call_recalculate_stops(&self->base) < 0) return KS_TRACEBACK(QN("set_weight")), nullptr;
    Py_RETURN_NONE;
}

PyObject *set_center(PyObject *obj, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *center;
    if (!bind_args(center_params, args, nargsf, kwnames, &center))
        return KS_TRACEBACK(QN("set_center")), nullptr;
    if (center == Py_None) {
        PyErr_SetString(PyExc_TypeError, "'NoneType' object is not subscriptable");
        return KS_TRACEBACK(QN("set_center")), nullptr;
    }
    if (!PyTuple_CheckExact(center)) {
        PyErr_Format(PyExc_TypeError,
                     "Argument 'center' has incorrect type (expected tuple, got %.200s)",
                     Py_TYPE(center)->tp_name);
        return KS_TRACEBACK(QN("set_center")), nullptr;
    }
    // A short tuple fails before anything past its end is read.
    if (PyTuple_GET_SIZE(center) < 2) {
        PyErr_SetString(PyExc_IndexError, "tuple index out of range");
        return KS_TRACEBACK(QN("set_center")), nullptr;
    }
    double x = as_double(PyTuple_GET_ITEM(center, 0));
    if (x == -1.0 && PyErr_Occurred()) return KS_TRACEBACK(QN("set_center")), nullptr;
    double y = as_double(PyTuple_GET_ITEM(center, 1));
    if (y == -1.0 && PyErr_Occurred()) return KS_TRACEBACK(QN("set_center")), nullptr;
    if (store_center(&click_of(obj)->base, x, y) < 0)
        return KS_TRACEBACK(QN("set_center")), nullptr;
    Py_RETURN_NONE;
}

PyObject *set_center_ksvec(PyObject *obj, PyObject *const *args, size_t nargsf,
                           PyObject *kwnames) {
    PyObject *center;
    if (!bind_args(center_ksvec_params, args, nargsf, kwnames, &center))
        return KS_TRACEBACK(QN("set_center_ksvec")), nullptr;
    if (center != Py_None && !PyObject_TypeCheck(center, g.KsVector2)) {
        PyErr_Format(PyExc_TypeError,
                     "Argument 'center' has incorrect type (expected %.200s, got %.200s)",
                     g.KsVector2->tp_name, Py_TYPE(center)->tp_name);
        return KS_TRACEBACK(QN("set_center_ksvec")), nullptr;
    }
    // Ordinary attribute access, so a subclass's x and y are honoured.
    Ref xo = Ref::steal(PyObject_GetAttr(center, g.s.x));
    if (!xo) return KS_TRACEBACK(QN("set_center_ksvec")), nullptr;
    double x = as_double(xo.get());
    if (x == -1.0 && PyErr_Occurred()) return KS_TRACEBACK(QN("set_center_ksvec")), nullptr;
    Ref yo = Ref::steal(PyObject_GetAttr(center, g.s.y));
    if (!yo) return KS_TRACEBACK(QN("set_center_ksvec")), nullptr;
    double y = as_double(yo.get());
    if (y == -1.0 && PyErr_Occurred()) return KS_TRACEBACK(QN("set_center_ksvec")), nullptr;
    if (store_center(&click_of(obj)->base, x, y) < 0)
        return KS_TRACEBACK(QN("set_center_ksvec")), nullptr;
    Py_RETURN_NONE;
}

PyObject *recalculate_stops(PyObject *obj, PyObject *const *, size_t nargsf, PyObject *kwnames) {
    if (!no_args("_recalculate_stops", nargsf, kwnames) || recalculate_stops_impl(click_of(obj)) < 0)
        return KS_TRACEBACK(QN("_recalculate_stops")), nullptr;
    Py_RETURN_NONE;
}

PyObject *get_weights(PyObject *obj, void *) {
    PyObject *list = floats_to_list(click_of(obj)->weights);
    if (list == nullptr) KS_TRACEBACK(QN("weights.__get__"));
    return list;
}

int set_weights(PyObject *obj, PyObject *value, void *) {
    if (value == nullptr) {
        PyErr_SetString(PyExc_NotImplementedError, "__del__");
        return KS_TRACEBACK(QN("weights.__set__")), -1;
    }
    if (!sequence_to_floats(value, click_of(obj)->weights))
        return KS_TRACEBACK(QN("weights.__set__")), -1;
    return 0;
}

PyGetSetDef click_getset[] = {
    {"weights", get_weights, set_weights, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef click_methods[] = {
    {"set_weight", FASTCALL_KW(set_weight), METH_FASTCALL | METH_KEYWORDS,
     "set_weight($self, index, weight)\n--\n\n"},
    {"set_center", FASTCALL_KW(set_center), METH_FASTCALL | METH_KEYWORDS,
     "set_center($self, center)\n--\n\n"},
    {"set_center_ksvec", FASTCALL_KW(set_center_ksvec), METH_FASTCALL | METH_KEYWORDS,
     "set_center_ksvec($self, center)\n--\n\n"},
    {"_recalculate_stops", FASTCALL_KW(recalculate_stops), METH_FASTCALL | METH_KEYWORDS,
     "_recalculate_stops($self)\n--\n\n"},
    {"draw", FASTCALL_KW(click_draw), METH_FASTCALL | METH_KEYWORDS,
     "draw($self, x, y, width, height)\n--\n\n"},
    {"__reduce_cython__", FASTCALL_KW(click_reduce), METH_FASTCALL | METH_KEYWORDS,
     "__reduce_cython__($self)\n--\n\n"},
    {"__setstate_cython__", FASTCALL_KW(click_setstate), METH_FASTCALL | METH_KEYWORDS,
     "__setstate_cython__($self, __pyx_state)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int call_recalculate_stops(GradientRaylibObject *self) {
    if (Py_TYPE(self) == &ClickGradient_Type) return recalculate_stops_impl(as_click(self));
    Ref res = Ref::steal(
        PyObject_CallMethodNoArgs(reinterpret_cast<PyObject *>(self), g.s.recalculate_stops));
    return res ? 0 : -1;
}

const GradientVTable click_gradient_vtable = {click_update_colors};

namespace {

// A tp_new of its own, so that GradientRaylib.__new__ refuses to make a
// ClickGradient (whose extra fields it would not know about).
PyObject *click_new(PyTypeObject *type, PyObject *args, PyObject *kwargs) {
    return GradientRaylib_Type.tp_new(type, args, kwargs);
}

}  // namespace

PyTypeObject ClickGradient_Type = {
    .ob_base = PyVarObject_HEAD_INIT(nullptr, 0)
    .tp_name = KS_MODULE_NAME ".ClickGradient",
    .tp_basicsize = sizeof(ClickGradientObject),
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
