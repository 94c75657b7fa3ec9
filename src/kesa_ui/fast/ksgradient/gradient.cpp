// The Gradient type: construction, its read/write properties, set_weight,
// pickling, and the two renders (render.cpp).
//
// Every parameter is read into a new model before anything is stored, so
// a failed constructor, setter or restore leaves the gradient as it was.
#include <new>

#include "kesa_ui/fast/ksgradient/params.hpp"
#include "kesa_ui/fast/ksgradient/render.hpp"
#include "kesa_ui/fast/ksgradient/state.hpp"
#include "kesa_ui/fast/ksgradient/stub_docs.h"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/module.hpp"

namespace ksgradient {

using ks::Ref;

namespace {

// The parameters in order; all but the first two are keyword-only.
enum Param : int {
    p_colors, p_kind, p_angle, p_center, p_shape, p_extent, p_focal, p_spread, p_positions,
    p_transparency, p_hints, p_interpolation, p_hue, kParams
};
constexpr int kPositional = 2;
const char *const kParamNames[kParams] = {"colors", "kind",   "angle",     "center",
                                          "shape",  "extent", "focal",     "spread",
                                          "positions", "transparency", "hints",
                                          "interpolation", "hue"};

// The version of the pickled state this module writes. It reads that and
// version 1, which held the parameters up to transparency (a gradient of
// then mixes in sRGB, unhinted).
constexpr long kStateVersion = 2;
constexpr Py_ssize_t kVersion1Params = p_transparency + 1;

constexpr const char *kPlacedByPositions =
    "this gradient's colours are placed by positions, not weights: set positions to None first";

constexpr const char *kUninitialised =
    "this Gradient has no colours: it was never initialised or restored";

// False with TypeError for a gradient made by __new__ alone.
bool initialised(const Model &m) {
    if (!m.colors.rgba.empty()) return true;
    PyErr_SetString(PyExc_TypeError, kUninitialised);
    return false;
}

bool no_memory() {
    PyErr_NoMemory();
    return false;
}

// A model from the given parameters (nullptr: the default): false with the
// reason set.
bool build_model(PyObject *const given[kParams], Model &out) {
    Model m;
    auto at = [&](int p) { return given[p]; };
    if (!read_colors(at(p_colors), m.colors)) return false;
    if ((at(p_kind) && !read_choice(at(p_kind), "kind", names.kinds, kKinds, &m.kind)) ||
        (at(p_angle) && !read_angle(at(p_angle), &m.angle)) ||
        (at(p_center) && !read_point(at(p_center), "center", m.center)) ||
        (at(p_shape) && !read_choice(at(p_shape), "shape", names.shapes, kShapes, &m.shape)) ||
        (at(p_extent) && !read_extent(at(p_extent), &m.extent, m.radii)) ||
        (at(p_focal) && !read_focal(at(p_focal), &m.has_focal, m.focal)) ||
        (at(p_spread) && !read_choice(at(p_spread), "spread", names.spreads, kSpreads, &m.spread)) ||
        (at(p_positions) && !read_positions(at(p_positions), &m.positioned, m.positions)) ||
        (at(p_transparency) && !read_transparency(at(p_transparency), &m.transparency)) ||
        (at(p_hints) && !read_hints(at(p_hints), &m.hinted, m.hints)) ||
        (at(p_interpolation) &&
         !read_choice(at(p_interpolation), "interpolation", names.spaces, kSpaces, &m.space)) ||
        (at(p_hue) && !read_choice(at(p_hue), "hue", names.hues, kHues, &m.hue)))
        return false;
    if (!check_placement(m)) return false;
    if (!m.place()) return no_memory();
    out = std::move(m);
    return true;
}

// --- construction ----------------------------------------------------------------

PyObject *gradient_new(PyTypeObject *type, PyObject *, PyObject *) {
    PyObject *self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    new (&model_of(self)) Model();
    return self;
}

void gradient_dealloc(PyObject *self) {
    model_of(self).~Model();
    Py_TYPE(self)->tp_free(self);
}

int find_param(PyObject *key) {
    for (int i = 0; i < kParams; i++) {
        if (PyUnicode_CompareWithASCIIString(key, kParamNames[i]) == 0) return i;
    }
    return -1;
}

int gradient_init(PyObject *self, PyObject *args, PyObject *kwds) {
    Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    if (nargs > kPositional) {
        PyErr_Format(PyExc_TypeError,
                     "Gradient() takes at most %d positional arguments (%zd given): the "
                     "parameters after kind are keyword-only",
                     kPositional, nargs);
        return -1;
    }
    // Strong references: reading one parameter may run code (a number's
    // conversion) that changes the caller's dict.
    Ref held[kParams];
    for (Py_ssize_t i = 0; i < nargs; i++) held[i] = Ref::new_ref(PyTuple_GET_ITEM(args, i));
    if (kwds != nullptr) {
        Py_ssize_t pos = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwds, &pos, &key, &value)) {
            if (!PyUnicode_Check(key)) {
                PyErr_SetString(PyExc_TypeError, "Gradient() keywords must be strings");
                return -1;
            }
            int i = find_param(key);
            if (i < 0) {
                PyErr_Format(PyExc_TypeError, "Gradient() got an unexpected keyword argument '%U'",
                             key);
                return -1;
            }
            if (held[i]) {
                PyErr_Format(PyExc_TypeError, "Gradient() got multiple values for argument '%U'",
                             key);
                return -1;
            }
            held[i] = Ref::new_ref(value);
        }
    }
    if (!held[p_colors]) {
        PyErr_SetString(PyExc_TypeError, "Gradient() missing required argument 'colors' (pos 1)");
        return -1;
    }
    PyObject *given[kParams];
    for (int i = 0; i < kParams; i++) given[i] = held[i].get();
    Model m;
    if (!build_model(given, m)) return -1;
    model_of(self) = std::move(m);
    return 0;
}

// --- properties ----------------------------------------------------------------------

bool settable(PyObject *value, const char *name) {
    if (value != nullptr) return true;
    PyErr_Format(PyExc_AttributeError, "cannot delete Gradient.%s", name);
    return false;
}

// Stores colours or positions read beforehand (`apply` moves them into a
// copy of the model): reading may run code that changes the gradient, so
// they are fitted to the model as it is now, and the copy, with its stops
// placed again, replaces the model only once it is whole.
template <typename Apply>
int update_placement(PyObject *self, Apply apply) {
    Model next;
    try {
        next = model_of(self);
    } catch (const std::bad_alloc &) {
        return no_memory(), -1;
    }
    apply(next);
    if (!check_placement(next)) return -1;
    if (!next.place()) return no_memory(), -1;
    model_of(self) = std::move(next);
    return 0;
}

PyObject *get_colors(PyObject *self, void *) { return colors_value(model_of(self).colors).release(); }
int set_colors(PyObject *self, PyObject *value, void *) {
    Colors colors;
    if (!settable(value, "colors") || !read_colors(value, colors)) return -1;
    return update_placement(self, [&](Model &m) { m.colors = std::move(colors); });
}

PyObject *get_positions(PyObject *self, void *) { return positions_value(model_of(self)).release(); }
int set_positions(PyObject *self, PyObject *value, void *) {
    bool positioned;
    std::vector<double> positions;
    if (!settable(value, "positions") || !read_positions(value, &positioned, positions)) return -1;
    return update_placement(self, [&](Model &m) {
        m.positioned = positioned;
        m.positions = std::move(positions);
    });
}

PyObject *get_hints(PyObject *self, void *) { return hints_value(model_of(self)).release(); }
int set_hints(PyObject *self, PyObject *value, void *) {
    bool hinted;
    std::vector<double> hints;
    if (!settable(value, "hints") || !read_hints(value, &hinted, hints)) return -1;
    return update_placement(self, [&](Model &m) {
        m.hinted = hinted;
        m.hints = std::move(hints);
    });
}

// The choices, each a str property described by its closure; `colours`
// says the colours as the shader takes them follow the choice.
struct Choice {
    const char *name;
    int Model::*field;
    PyObject *const *names;
    int count;
    bool colours;
};
const Choice kind_choice{"kind", &Model::kind, names.kinds, kKinds, false};
const Choice shape_choice{"shape", &Model::shape, names.shapes, kShapes, false};
const Choice spread_choice{"spread", &Model::spread, names.spreads, kSpreads, false};
const Choice interpolation_choice{"interpolation", &Model::space, names.spaces, kSpaces, true};
const Choice hue_choice{"hue", &Model::hue, names.hues, kHues, true};

PyObject *get_choice(PyObject *self, void *closure) {
    auto *c = static_cast<const Choice *>(closure);
    return Py_NewRef(c->names[model_of(self).*(c->field)]);
}
int set_choice(PyObject *self, PyObject *value, void *closure) {
    auto *c = static_cast<const Choice *>(closure);
    int choice;
    if (!settable(value, c->name) || !read_choice(value, c->name, c->names, c->count, &choice))
        return -1;
    if (c->colours) return update_placement(self, [&](Model &m) { m.*(c->field) = choice; });
    model_of(self).*(c->field) = choice;
    return 0;
}
#define KS_CHOICE(field, doc) \
    {#field, get_choice, set_choice, doc, const_cast<Choice *>(&field##_choice)}

PyObject *get_angle(PyObject *self, void *) { return PyFloat_FromDouble(model_of(self).angle); }
int set_angle(PyObject *self, PyObject *value, void *) {
    double a;
    if (!settable(value, "angle") || !read_angle(value, &a)) return -1;
    model_of(self).angle = a;
    return 0;
}

PyObject *get_center(PyObject *self, void *) { return point_value(model_of(self).center).release(); }
int set_center(PyObject *self, PyObject *value, void *) {
    double p[2];
    if (!settable(value, "center") || !read_point(value, "center", p)) return -1;
    model_of(self).center[0] = p[0];
    model_of(self).center[1] = p[1];
    return 0;
}

PyObject *get_extent(PyObject *self, void *) { return extent_value(model_of(self)).release(); }
int set_extent(PyObject *self, PyObject *value, void *) {
    int extent;
    double radii[2];
    if (!settable(value, "extent") || !read_extent(value, &extent, radii)) return -1;
    Model &m = model_of(self);
    m.extent = extent;
    m.radii[0] = radii[0];
    m.radii[1] = radii[1];
    return 0;
}

PyObject *get_focal(PyObject *self, void *) {
    const Model &m = model_of(self);
    return m.has_focal ? point_value(m.focal).release() : Py_NewRef(Py_None);
}
int set_focal(PyObject *self, PyObject *value, void *) {
    bool has;
    double p[2];
    if (!settable(value, "focal") || !read_focal(value, &has, p)) return -1;
    Model &m = model_of(self);
    m.has_focal = has;
    if (has) {
        m.focal[0] = p[0];
        m.focal[1] = p[1];
    }
    return 0;
}

PyObject *get_transparency(PyObject *self, void *) {
    return PyLong_FromLong(model_of(self).transparency);
}
int set_transparency(PyObject *self, PyObject *value, void *) {
    int t;
    if (!settable(value, "transparency") || !read_transparency(value, &t)) return -1;
    model_of(self).transparency = t;
    return 0;
}

PyObject *get_stops(PyObject *self, void *) {
    const std::vector<float> &stops = model_of(self).stops;
    Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(stops.size())));
    if (!tuple) return nullptr;
    for (size_t i = 0; i < stops.size(); i++) {
        PyObject *f = PyFloat_FromDouble(stops[i]);
        if (f == nullptr) return nullptr;
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), f);
    }
    return tuple.release();
}

PyGetSetDef gradient_getset[] = {
    {"colors", get_colors, set_colors, KS_DOC_Gradient_colors, nullptr},
    KS_CHOICE(kind, KS_DOC_Gradient_kind),
    {"angle", get_angle, set_angle, KS_DOC_Gradient_angle, nullptr},
    {"center", get_center, set_center, KS_DOC_Gradient_center, nullptr},
    KS_CHOICE(shape, KS_DOC_Gradient_shape),
    {"extent", get_extent, set_extent, KS_DOC_Gradient_extent, nullptr},
    {"focal", get_focal, set_focal, KS_DOC_Gradient_focal, nullptr},
    KS_CHOICE(spread, KS_DOC_Gradient_spread),
    {"positions", get_positions, set_positions, KS_DOC_Gradient_positions, nullptr},
    {"transparency", get_transparency, set_transparency, KS_DOC_Gradient_transparency, nullptr},
    {"hints", get_hints, set_hints, KS_DOC_Gradient_hints, nullptr},
    KS_CHOICE(interpolation, KS_DOC_Gradient_interpolation),
    KS_CHOICE(hue, KS_DOC_Gradient_hue),
    {"stops", get_stops, nullptr, KS_DOC_Gradient_stops, nullptr},
    {nullptr},
};

// --- methods ---------------------------------------------------------------------------

ks::Params set_weight_params = {"set_weight", 2, 2, {"index", "weight"}};

PyObject *set_weight(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *a[2];
    if (!ks::bind_args(set_weight_params, args, nargsf, kwnames, a)) return nullptr;
    Model &m = model_of(self);
    if (!initialised(m)) return nullptr;
    if (m.positioned) {
        PyErr_SetString(PyExc_ValueError, kPlacedByPositions);
        return nullptr;
    }
    if (!PyIndex_Check(a[0])) {
        PyErr_Format(PyExc_TypeError, "index must be an int, not %.100s", Py_TYPE(a[0])->tp_name);
        return nullptr;
    }
    Py_ssize_t index = PyNumber_AsSsize_t(a[0], nullptr);
    if (index == -1 && PyErr_Occurred()) return nullptr;
    float weight;
    if (!read_weight(a[1], "weight", &weight)) return nullptr;
    // Read again: converting the arguments may have run code that changed
    // the gradient.
    Py_ssize_t n = static_cast<Py_ssize_t>(m.colors.rgba.size());
    if (index < 0 || index >= n) {
        PyErr_Format(PyExc_IndexError, "index must be in 0..%zd (the gradient has %zd colours), not %zd",
                     n - 1, n, index);
        return nullptr;
    }
    if (m.positioned) {
        PyErr_SetString(PyExc_ValueError, kPlacedByPositions);
        return nullptr;
    }
    m.colors.weights[static_cast<size_t>(index)] = weight;
    m.colors.weighted[static_cast<size_t>(index)] = true;
    m.place_stops();
    Py_RETURN_NONE;
}

// The state, (version, colors, kind, angle, center, shape, extent, focal,
// spread, positions, transparency, hints, interpolation, hue): every
// parameter as its property reads (the properties come in that order).
Ref state_of(PyObject *self) {
    Ref state = Ref::steal(PyTuple_New(kParams + 1));
    if (!state) return Ref();
    PyObject *version = PyLong_FromLong(kStateVersion);
    if (version == nullptr) return Ref();
    PyTuple_SET_ITEM(state.get(), 0, version);
    for (int i = 0; i < kParams; i++) {
        PyObject *value = gradient_getset[i].get(self, gradient_getset[i].closure);
        if (value == nullptr) return Ref();
        PyTuple_SET_ITEM(state.get(), i + 1, value);
    }
    return state;
}

PyObject *reduce(PyObject *self, PyObject *) {
    if (!initialised(model_of(self))) return nullptr;
    Ref state = state_of(self);
    if (!state) return nullptr;
    return Py_BuildValue("(O(O)O)", reinterpret_cast<PyObject *>(Py_TYPE(self)),
                         PyTuple_GET_ITEM(state.get(), 1), state.get());
}

PyObject *setstate(PyObject *self, PyObject *state) {
    if (!PyTuple_Check(state)) {
        PyErr_Format(PyExc_TypeError, "a Gradient's state is a tuple (version, ...), not %.100s",
                     Py_TYPE(state)->tp_name);
        return nullptr;
    }
    if (PyTuple_GET_SIZE(state) == 0) {
        PyErr_SetString(PyExc_ValueError, "a Gradient's state starts with its version: this one is empty");
        return nullptr;
    }
    PyObject *version = PyTuple_GET_ITEM(state, 0);
    long v = PyLong_CheckExact(version) ? PyLong_AsLong(version) : -1;
    if (v == -1 && PyErr_Occurred()) PyErr_Clear();
    if (v != 1 && v != kStateVersion) {
        PyErr_Format(PyExc_ValueError,
                     "cannot restore a Gradient from state version %R: this kesa_ui reads "
                     "versions 1 and %ld (a newer kesa_ui wrote it?)",
                     version, kStateVersion);
        return nullptr;
    }
    Py_ssize_t count = v == 1 ? kVersion1Params : Py_ssize_t{kParams};
    if (PyTuple_GET_SIZE(state) != count + 1) {
        PyErr_Format(PyExc_ValueError, "a Gradient's state of version %ld has %zd items, not %zd",
                     v, count + 1, PyTuple_GET_SIZE(state));
        return nullptr;
    }
    PyObject *given[kParams] = {};
    for (Py_ssize_t i = 0; i < count; i++) given[i] = PyTuple_GET_ITEM(state, i + 1);
    Model m;
    if (!build_model(given, m)) return nullptr;
    model_of(self) = std::move(m);
    Py_RETURN_NONE;
}

PyObject *repr(PyObject *self) {
    const Model &m = model_of(self);
    return PyUnicode_FromFormat("<kesa_ui Gradient: %U, %zu colour%s, %U spread>",
                                names.kinds[m.kind], m.colors.rgba.size(),
                                m.colors.rgba.size() == 1 ? "" : "s", names.spreads[m.spread]);
}

#define KS_FASTCALL(fn) KS_CFUNCTION(fn), METH_FASTCALL | METH_KEYWORDS

PyMethodDef gradient_methods[] = {
    {"set_weight", KS_FASTCALL(set_weight), KS_DOC_Gradient_set_weight},
    {"draw", KS_FASTCALL(gradient_draw), KS_DOC_Gradient_draw},
    {"generate_texture", KS_FASTCALL(gradient_generate_texture), KS_DOC_Gradient_generate_texture},
    {"__reduce__", reduce, METH_NOARGS, nullptr},
    {"__setstate__", setstate, METH_O, nullptr},
    {nullptr},
};

}  // namespace

int intern_gradient_params() {
    ks::Params *lists[] = {&set_weight_params};
    return ks::intern_params(lists, 1);
}

PyTypeObject Gradient_Type = {
    KS_TYPE_HEAD("kesa_ui.fast.ksgradient.ksgradient.Gradient", GradientObject),
    .tp_dealloc = gradient_dealloc,
    .tp_repr = repr,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = KS_DOC_Gradient___init__,
    .tp_methods = gradient_methods,
    .tp_getset = gradient_getset,
    .tp_init = gradient_init,
    .tp_new = gradient_new,
};

}  // namespace ksgradient
