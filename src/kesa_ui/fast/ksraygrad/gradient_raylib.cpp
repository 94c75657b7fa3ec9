// GradientRaylib: the gradient value object.
//
// Holds the caller's colour list, the kind, the angle of a linear gradient,
// the centre of a radial one, the transparency, and the native colour and
// stop arrays derived from the colours. The constructor turns friendly
// arguments (direction members, numbers, points) into that state; the
// properties expose it. Nothing is rolled back when a step fails: fields set
// before the failing step keep their new values.
#include <new>

#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/convert.hpp"
#include "kesa_ui/fast/ksraygrad/gradient.hpp"
#include "kesa_ui/native/ref.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

namespace ksraygrad {

namespace {

#define QN(member) KS_QUALNAME("GradientRaylib", member)

// --- lifecycle -----------------------------------------------------------------

PyObject *gradient_new(PyTypeObject *type, PyObject *, PyObject *) {
    PyObject *obj = type->tp_alloc(type, 0);
    if (obj == nullptr) return nullptr;
    auto *self = reinterpret_cast<GradientRaylibObject *>(obj);
    self->vtab = PyType_IsSubtype(type, &ClickGradient_Type) ? &click_gradient_vtable
                                                             : &gradient_raylib_vtable;
    self->raw_colors = Py_None;
    self->center = Py_None;
    self->type = Py_None;
    new (&self->colors) std::vector<Vector4>();
    new (&self->stops) std::vector<float>();
    if (self->vtab == &click_gradient_vtable) new (&as_click(self)->weights) std::vector<float>();
    return obj;
}

int gradient_traverse(PyObject *obj, visitproc visit, void *arg) {
    // The class is static; a Python subclass's own traverse visits its type.
    auto *self = reinterpret_cast<GradientRaylibObject *>(obj);
    Py_VISIT(self->raw_colors);
    Py_VISIT(self->center);
    Py_VISIT(self->type);
    return 0;
}

int gradient_clear(PyObject *obj) {
    auto *self = reinterpret_cast<GradientRaylibObject *>(obj);
    ks::replace_field(self->raw_colors, Ref::new_ref(Py_None));
    ks::replace_field(self->center, Ref::new_ref(Py_None));
    ks::replace_field(self->type, Ref::new_ref(Py_None));
    return 0;
}

void gradient_dealloc(PyObject *obj) {
    auto *self = reinterpret_cast<GradientRaylibObject *>(obj);
    PyObject_GC_UnTrack(obj);
    if (self->vtab == &click_gradient_vtable) as_click(self)->weights.~vector();
    self->colors.~vector();
    self->stops.~vector();
    Py_CLEAR(self->raw_colors);
    Py_CLEAR(self->center);
    Py_CLEAR(self->type);
    // A Python subclass's dealloc releases its type after this returns.
    Py_TYPE(obj)->tp_free(obj);
}

// --- construction ----------------------------------------------------------------

const Params init_params{"__init__", g.p.init, 6, 1};

bool exact_list_or_none(PyObject *obj) { return obj == Py_None || PyList_CheckExact(obj); }

int list_type_error(PyObject *obj) {
    PyErr_Format(PyExc_TypeError, "Argument 'colors' has incorrect type (expected list, got %.200s)",
                 Py_TYPE(obj)->tp_name);
    return -1;
}

// _angle from a direction member's name, or from a number.
int apply_linear_direction(GradientRaylibObject *self, PyObject *direction) {
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

// _center from a direction member's name, or from a point tuple.
int apply_radial_direction(GradientRaylibObject *self, PyObject *direction) {
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
    Ref x = Ref::steal(get_index(pair.get(), 0));
    if (!x) return -1;
    Ref y = Ref::steal(get_index(pair.get(), 1));
    if (!y) return -1;
    Ref center = Ref::steal(vector_from_pair(x.get(), y.get()));
    if (!center) return -1;
    ks::replace_field(self->center, std::move(center));
    return 0;
}

// The constructor body; `a` holds colors, type, direction, angle, center,
// transparency (nullptr for an omitted one).
int gradient_init_impl(GradientRaylibObject *self, PyObject *const *a, PyObject *default_type) {
    PyObject *colors = a[0];
    PyObject *type = a[1] != nullptr ? a[1] : default_type;
    PyObject *direction = a[2] != nullptr ? a[2] : Py_None;
    PyObject *angle = a[3] != nullptr ? a[3] : Py_None;
    PyObject *center = a[4] != nullptr ? a[4] : Py_None;
    PyObject *transparency = a[5] != nullptr ? a[5] : Py_None;
    if (!exact_list_or_none(colors)) return list_type_error(colors);

    ks::replace_field(self->raw_colors, Ref::new_ref(colors));
    ks::replace_field(self->type, Ref::new_ref(type));
    if (transparency == Py_None) {
        self->transparency = 255;
    } else {
        int t = as_int32(transparency);
        if (t == -1 && PyErr_Occurred()) return KS_TRACEBACK(QN("__init__")), -1;
        self->transparency = t;
    }
    self->angle = 0.0f;
    Ref center_vec = Ref::steal(g.vec2_vt->new_(0.5, 0.5));
    if (!center_vec) return KS_TRACEBACK(QN("__init__")), -1;
    ks::replace_field(self->center, std::move(center_vec));

    if (direction != Py_None) {
        // Compare with the kinds as they are bound now.
        Ref linear = Ref::steal(current_kind(g.s.Linear));
        if (!linear) return KS_TRACEBACK(QN("__init__")), -1;
        int is_linear = equals(self->type, linear.get());
        if (is_linear < 0) return KS_TRACEBACK(QN("__init__")), -1;
        if (is_linear) {
            if (apply_linear_direction(self, direction) < 0)
                return KS_TRACEBACK(QN("__init__")), -1;
        } else {
            Ref radial = Ref::steal(current_kind(g.s.Radial));
            if (!radial) return KS_TRACEBACK(QN("__init__")), -1;
            int is_radial = equals(self->type, radial.get());
            if (is_radial < 0) return KS_TRACEBACK(QN("__init__")), -1;
            if (is_radial && apply_radial_direction(self, direction) < 0)
                return KS_TRACEBACK(QN("__init__")), -1;
        }
    }
    if (angle != Py_None) {
        double d = as_double(angle);
        if (d == -1.0 && PyErr_Occurred()) return KS_TRACEBACK(QN("__init__")), -1;
        self->angle = narrow(d);
    }
    if (center != Py_None) {
        Ref x = Ref::steal(get_index(center, 0));
        if (!x) return KS_TRACEBACK(QN("__init__")), -1;
        Ref y = Ref::steal(get_index(center, 1));
        if (!y) return KS_TRACEBACK(QN("__init__")), -1;
        Ref vec = Ref::steal(vector_from_pair(x.get(), y.get()));
        if (!vec) return KS_TRACEBACK(QN("__init__")), -1;
        ks::replace_field(self->center, std::move(vec));
    }
    if (self->vtab->update_colors(self, colors) < 0) return KS_TRACEBACK(QN("__init__")), -1;
    if (call_ensure_resources(self) < 0) return KS_TRACEBACK(QN("__init__")), -1;
    return 0;
}

int gradient_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    PyObject *a[6];
    if (!bind_args_tuple(init_params, args, kwargs, a)) {
        KS_TRACEBACK(QN("__init__"));
        return -1;
    }
    return gradient_init_impl(reinterpret_cast<GradientRaylibObject *>(self), a,
                              g.default_linear);
}

// Calling the class itself: allocation and __init__ without building an
// argument tuple. Only the exact class gets here (subclasses go through
// type.__call__, which runs their own __init__).
PyObject *gradient_vectorcall(PyObject *type, PyObject *const *args, size_t nargsf,
                              PyObject *kwnames) {
    PyObject *a[6];
    if (!bind_args(init_params, args, nargsf, kwnames, a)) {
        KS_TRACEBACK(QN("__init__"));
        return nullptr;
    }
    Ref self = Ref::steal(gradient_new(reinterpret_cast<PyTypeObject *>(type), nullptr, nullptr));
    if (!self) return nullptr;
    if (gradient_init_impl(reinterpret_cast<GradientRaylibObject *>(self.get()), a,
                           g.default_linear) < 0)
        return nullptr;
    return self.release();
}

// --- properties ------------------------------------------------------------------

int refuse_delete(PyObject *value) {
    if (value != nullptr) return 0;
    PyErr_SetString(PyExc_NotImplementedError, "__del__");
    return -1;
}

GradientRaylibObject *self_of(PyObject *obj) {
    return reinterpret_cast<GradientRaylibObject *>(obj);
}

PyObject *get_transparency(PyObject *self, void *) {
    return PyLong_FromLong(self_of(self)->transparency);
}

int set_transparency(PyObject *self, PyObject *value, void *) {
    if (refuse_delete(value) < 0) return KS_TRACEBACK(QN("transparency.__set__")), -1;
    int t = as_int32(value);
    if (t == -1 && PyErr_Occurred()) return KS_TRACEBACK(QN("transparency.__set__")), -1;
    self_of(self)->transparency = t;
    return 0;
}

PyObject *get_angle(PyObject *self, void *) { return PyFloat_FromDouble(self_of(self)->angle); }

int set_angle(PyObject *self, PyObject *value, void *) {
    if (refuse_delete(value) < 0) return KS_TRACEBACK(QN("angle.__set__")), -1;
    double d = as_double(value);
    if (d == -1.0 && PyErr_Occurred()) return KS_TRACEBACK(QN("angle.__set__")), -1;
    self_of(self)->angle = narrow(d);
    return 0;
}

PyObject *get_center(PyObject *self, void *) { return Py_NewRef(self_of(self)->center); }

int set_center(PyObject *self, PyObject *value, void *) {
    if (refuse_delete(value) < 0) return KS_TRACEBACK(QN("center.__set__")), -1;
    Ref center;
    if (PyObject_TypeCheck(value, g.KsVector2)) {
        center = Ref::new_ref(value);
    } else if (PyTuple_Check(value) && PyTuple_GET_SIZE(value) == 2) {
        Ref x = Ref::steal(get_index(value, 0));
        Ref y = x ? Ref::steal(get_index(value, 1)) : Ref();
        if (y) center = Ref::steal(vector_from_pair(x.get(), y.get()));
        if (!center) return KS_TRACEBACK(QN("center.__set__")), -1;
    } else {
        PyErr_SetString(PyExc_TypeError,
                        "center must be an KsVector2 instance or a tuple of (x, y)");
        return KS_TRACEBACK(QN("center.__set__")), -1;
    }
    ks::replace_field(self_of(self)->center, std::move(center));
    return 0;
}

PyObject *get_raw_colors(PyObject *self, void *) { return Py_NewRef(self_of(self)->raw_colors); }

int set_colors(PyObject *self, PyObject *value, void *) {
    if (refuse_delete(value) < 0) return KS_TRACEBACK(QN("colors.__set__")), -1;
    if (!exact_list_or_none(value)) {
        PyErr_Format(PyExc_TypeError, "Expected list, got %.200s", Py_TYPE(value)->tp_name);
        return KS_TRACEBACK(QN("colors.__set__")), -1;
    }
    GradientRaylibObject *g_self = self_of(self);
    ks::replace_field(g_self->raw_colors, Ref::new_ref(value));
    if (g_self->vtab->update_colors(g_self, value) < 0)
        return KS_TRACEBACK(QN("colors.__set__")), -1;
    return 0;
}

int set_raw_colors(PyObject *self, PyObject *value, void *) {
    if (value == nullptr) value = Py_None;
    if (!exact_list_or_none(value)) {
        PyErr_Format(PyExc_TypeError, "Expected list, got %.200s", Py_TYPE(value)->tp_name);
        return KS_TRACEBACK(QN("raw_colors.__set__")), -1;
    }
    ks::replace_field(self_of(self)->raw_colors, Ref::new_ref(value));
    return 0;
}

PyObject *get_type(PyObject *self, void *) { return Py_NewRef(self_of(self)->type); }

int set_type(PyObject *self, PyObject *value, void *) {
    ks::replace_field(self_of(self)->type, Ref::new_ref(value != nullptr ? value : Py_None));
    return 0;
}

PyGetSetDef gradient_getset[] = {
    {"transparency", get_transparency, set_transparency, nullptr, nullptr},
    {"angle", get_angle, set_angle, nullptr, nullptr},
    {"center", get_center, set_center, nullptr, nullptr},
    {"colors", get_raw_colors, set_colors, nullptr, nullptr},
    {"raw_colors", get_raw_colors, set_raw_colors, nullptr, nullptr},
    {"type", get_type, set_type, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef gradient_methods[] = {
    {"_ensure_resources", FASTCALL_KW(gradient_ensure_resources),
     METH_FASTCALL | METH_KEYWORDS | METH_CLASS, "_ensure_resources($cls)\n--\n\n"},
    {"generate_texture", FASTCALL_KW(gradient_generate_texture), METH_FASTCALL | METH_KEYWORDS,
     "generate_texture($self, width, height)\n--\n\n"},
    {"__reduce_cython__", FASTCALL_KW(gradient_reduce), METH_FASTCALL | METH_KEYWORDS,
     "__reduce_cython__($self)\n--\n\n"},
    {"__setstate_cython__", FASTCALL_KW(gradient_setstate), METH_FASTCALL | METH_KEYWORDS,
     "__setstate_cython__($self, __pyx_state)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

// --- the colour update -------------------------------------------------------------

// A weighted item: a tuple of exactly two whose element 1 is an int or float.
inline bool is_weighted(PyObject *item) {
    if (!PyTuple_Check(item) || PyTuple_GET_SIZE(item) != 2) return false;
    PyObject *w = PyTuple_GET_ITEM(item, 1);
    return PyLong_Check(w) || PyFloat_Check(w);
}

}  // namespace

namespace {

// Converts one colour, which must be exactly a tuple (None passes and fails
// in the conversion).
bool convert_color(PyObject *color, Vector4 &out) {
    if (color != Py_None && !PyTuple_CheckExact(color)) {
        PyErr_Format(PyExc_TypeError, "Expected tuple, got %.200s", Py_TYPE(color)->tp_name);
        return false;
    }
    bool ok;
    out = tuple_to_vector4(color, ok);
    return ok;
}

}  // namespace

// The weight of an item: element 1 of a weighted item, else 1.0.
bool item_weight(PyObject *item, float &out) {
    if (!is_weighted(item)) {
        out = 1.0f;
        return true;
    }
    PyObject *w = PyTuple_GET_ITEM(item, 1);
    double d = PyFloat_Check(w) ? PyFloat_AS_DOUBLE(w) : PyLong_AsDouble(w);
    if (d == -1.0 && PyErr_Occurred()) return false;
    out = narrow(d);
    return true;
}

// The colour of an item: element 0 of a weighted item, else the item.
PyObject *item_color(PyObject *item) {
    return is_weighted(item) ? PyTuple_GET_ITEM(item, 0) : item;
}

// Colour and weight of an item made of exact tuples and plain numbers,
// without running Python code; false (nothing set) for any other item.
static bool fast_item(PyObject *item, Vector4 &color, float &weight) {
    if (!PyTuple_CheckExact(item)) return false;
    if (PyTuple_GET_SIZE(item) == 2) {
        double w;
        PyObject *w_obj = PyTuple_GET_ITEM(item, 1);
        if (PyFloat_CheckExact(w_obj)) {
            w = PyFloat_AS_DOUBLE(w_obj);
        } else if (PyLong_CheckExact(w_obj) &&
                   PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject *>(w_obj))) {
            w = static_cast<double>(
                PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject *>(w_obj)));
        } else {
            return false;
        }
        if (!fast_vector4(PyTuple_GET_ITEM(item, 0), color)) return false;
        weight = narrow(w);
        return true;
    }
    if (!fast_vector4(item, color)) return false;
    weight = 1.0f;
    return true;
}

bool append_item(GradientRaylibObject *self, uint32_t serial, PyObject *item, float *weight) {
    // Items of plain numbers convert without running Python code, so the
    // list cannot change under them and the borrowed item is safe.
    Vector4 v;
    float w;
    if (fast_item(item, v, w)) {
        if (weight != nullptr) *weight = w;
        return append(self->colors, v);
    }
    Ref held = Ref::new_ref(item);  // converting may drop it from the list
    if (!convert_color(item_color(item), v)) return false;
    if (self->colors_serial != serial) {
        // That code gave the gradient new colours (through `colors`, the
        // constructor or __setstate__), which stand as they are.
        PyErr_SetString(PyExc_RuntimeError,
                        "the gradient's colours were replaced while they were being converted");
        return false;
    }
    return append(self->colors, v) && (weight == nullptr || item_weight(item, *weight));
}

int no_len_error() {
    PyErr_SetString(PyExc_TypeError, "object of type 'NoneType' has no len()");
    return -1;
}

namespace {

// Weights of up to 64 colours stay on the stack.
class WeightBuffer {
public:
    // Room for n weights: on the stack up to 64, else one heap block.
    bool reserve(Py_ssize_t n) {
        if (n <= kInline) return true;
        if (!ksraygrad::reserve(heap_, n)) return false;
        on_heap_ = true;
        return true;
    }
    bool push(float w) {
        if (!on_heap_) {
            if (size_ < kInline) {
                inline_[size_++] = w;
                return true;
            }
            // The list grew past the stack room while it was converted.
            if (!ksraygrad::reserve(heap_, size_ * 2)) return false;
            heap_.assign(inline_, inline_ + size_);  // within capacity: cannot throw
            on_heap_ = true;
        }
        if (!append(heap_, w)) return false;
        size_++;
        return true;
    }
    const float *data() const { return on_heap_ ? heap_.data() : inline_; }
    size_t size() const { return static_cast<size_t>(size_); }

private:
    static constexpr Py_ssize_t kInline = 64;
    float inline_[kInline];
    std::vector<float> heap_;
    Py_ssize_t size_ = 0;
    bool on_heap_ = false;
};

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
        if (!append_item(self, serial, PyList_GET_ITEM(colors, i), &w) || !weights.push(w))
            return -1;
    }
    return compute_stops(weights.data(), weights.size(), self->stops) ? 0 : -1;
}

}  // namespace

const GradientVTable gradient_raylib_vtable = {gradient_update_colors};

int ready_gradient_type(PyTypeObject *type, const GradientVTable *vtab) {
    if (PyType_Ready(type) < 0) return -1;
    Ref dict = Ref::steal(PyType_GetDict(type));
    Ref capsule = Ref::steal(PyCapsule_New(const_cast<GradientVTable *>(vtab), nullptr, nullptr));
    if (!dict || !capsule || PyDict_SetItemString(dict.get(), "__pyx_vtable__", capsule.get()) < 0)
        return -1;
    PyType_Modified(type);
    return 0;
}

int gradient_init_body(GradientRaylibObject *self, PyObject *const *a, PyObject *default_type) {
    return gradient_init_impl(self, a, default_type);
}
const Params &gradient_init_params() { return init_params; }

PyTypeObject GradientRaylib_Type = {
    .ob_base = PyVarObject_HEAD_INIT(nullptr, 0)
    .tp_name = KS_MODULE_NAME ".GradientRaylib",
    .tp_basicsize = sizeof(GradientRaylibObject),
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
