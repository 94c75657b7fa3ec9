// Reading and writing back a Gradient's parameters (params.hpp).
#include "kesa_ui/fast/ksgradient/params.hpp"

#include <cfloat>
#include <cmath>
#include <new>

#include "kesa_ui/fast/ksgradient/state.hpp"
#include "kesa_ui/native/number.hpp"

namespace ksgradient {

using ks::Ref;

namespace {

constexpr const char *kColorItem =
    "an (r, g, b) or (r, g, b, a) tuple of numbers 0..255, or a (colour, weight) pair";

const char *type_name(PyObject *obj) { return obj == Py_None ? "None" : Py_TYPE(obj)->tp_name; }

bool is_number(PyObject *obj) {
    if (PyFloat_Check(obj) || PyLong_Check(obj)) return true;
    PyNumberMethods *nb = Py_TYPE(obj)->tp_as_number;
    return nb != nullptr && (nb->nb_float != nullptr || nb->nb_index != nullptr);
}

// A real number: 1, 0 when `obj` is not one (nothing raised), -1 when its
// conversion failed (its exception set).
int number(PyObject *obj, double *out) {
    if (!is_number(obj)) return 0;
    double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) return -1;
    *out = v;
    return 1;
}

// The refusal of `obj` as `param` (at index i, and j within it, when not
// -1): TypeError when it is no number, else ValueError.
[[gnu::noinline]] bool refuse_number(PyObject *obj, bool is_number, const char *what,
                                     const char *param, Py_ssize_t i, Py_ssize_t j) {
    char place[96];
    if (j >= 0)
        PyOS_snprintf(place, sizeof place, "%s[%zd][%zd]", param, i, j);
    else if (i >= 0)
        PyOS_snprintf(place, sizeof place, "%s[%zd]", param, i);
    else
        PyOS_snprintf(place, sizeof place, "%s", param);
    if (!is_number)
        PyErr_Format(PyExc_TypeError, "%s must be %s, not %.100s", place, what, type_name(obj));
    else
        PyErr_Format(PyExc_ValueError, "%s must be %s within float range, not %R", place, what, obj);
    return false;
}

// A finite real number for `param`, within a float's range: the shader
// takes floats, beyond whose range a number is infinite.
bool finite(PyObject *obj, double *out, const char *what, const char *param, Py_ssize_t i = -1,
            Py_ssize_t j = -1) {
    double v;
    int found = number(obj, &v);
    if (found < 0) return false;
    if (found == 0 || !std::isfinite(v) || std::fabs(v) > FLT_MAX)
        return refuse_number(obj, found != 0, what, param, i, j);
    *out = v;
    return true;
}

// A private tuple of the items of `obj`, any sequence but a string; empty
// with TypeError (`what` says what the sequence holds) otherwise.
Ref items_of(PyObject *obj, const char *param, const char *what) {
    if (PyUnicode_Check(obj) || PyBytes_Check(obj) || PyByteArray_Check(obj) ||
        !PySequence_Check(obj)) {
        PyErr_Format(PyExc_TypeError, "%s must be a sequence of %s, not %.100s", param, what,
                     type_name(obj));
        return Ref();
    }
    return Ref::steal(PySequence_Tuple(obj));
}

// One colour tuple of 3 or 4 numbers on 0..255.
bool read_color(PyObject *item, Py_ssize_t index, Rgba &out, std::array<double, 4> &levels) {
    if (!PyTuple_Check(item)) {
        PyErr_Format(PyExc_TypeError, "colors[%zd] must be %s, not %.100s", index, kColorItem,
                     type_name(item));
        return false;
    }
    Py_ssize_t n = PyTuple_GET_SIZE(item);
    if (n != 3 && n != 4) {
        PyErr_Format(PyExc_ValueError,
                     "colors[%zd] has %zd components: a colour has 3 (r, g, b) or 4 (r, g, b, a)",
                     index, n);
        return false;
    }
    float c[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::array<double, 4> given = {255.0, 255.0, 255.0, 255.0};
    for (Py_ssize_t k = 0; k < n; k++) {
        PyObject *v = PyTuple_GET_ITEM(item, k);
        double level;
        if (!finite(v, &level, "a number 0..255", "colors", index, k)) return false;
        if (!(level >= 0.0 && level <= 255.0)) {
            PyErr_Format(PyExc_ValueError, "colors[%zd][%zd] must lie in 0..255, not %R", index, k, v);
            return false;
        }
        c[k] = ks::narrow(level / 255.0);
        given[static_cast<size_t>(k)] = level;
    }
    out = Rgba{c[0], c[1], c[2], c[3]};
    levels = given;
    return true;
}

// Levels given as whole numbers read back as ints.
PyObject *level_value(double level) {
    if (level == std::floor(level)) return PyLong_FromDouble(level);
    return PyFloat_FromDouble(level);
}

}  // namespace

bool read_weight(PyObject *obj, const char *param, float *out) {
    double w;
    if (!finite(obj, &w, "a finite number, at least 0", param)) return false;
    if (!(w >= 0.0)) {
        PyErr_Format(PyExc_ValueError, "%s must be a finite number, at least 0, not %R", param, obj);
        return false;
    }
    *out = ks::narrow(w);
    return true;
}

bool read_colors(PyObject *obj, Colors &out) {
    Ref items = items_of(obj, "colors", "colours");
    if (!items) return false;
    Py_ssize_t n = PyTuple_GET_SIZE(items.get());
    if (n == 0) {
        PyErr_SetString(PyExc_ValueError, "colors must hold at least one colour");
        return false;
    }
    Colors colors;
    try {
        colors.rgba.resize(static_cast<size_t>(n));
        colors.levels.resize(static_cast<size_t>(n));
        colors.weights.assign(static_cast<size_t>(n), 1.0f);
        colors.weighted.assign(static_cast<size_t>(n), false);
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return false;
    }
    for (Py_ssize_t i = 0; i < n; i++) {
        PyObject *item = PyTuple_GET_ITEM(items.get(), i);
        auto k = static_cast<size_t>(i);
        if (PyTuple_Check(item) && PyTuple_GET_SIZE(item) == 2 &&
            PyTuple_Check(PyTuple_GET_ITEM(item, 0))) {
            char param[48];
            PyOS_snprintf(param, sizeof param, "the weight of colors[%zd]", i);
            if (!read_color(PyTuple_GET_ITEM(item, 0), i, colors.rgba[k], colors.levels[k]) ||
                !read_weight(PyTuple_GET_ITEM(item, 1), param, &colors.weights[k]))
                return false;
            colors.weighted[k] = true;
        } else if (!read_color(item, i, colors.rgba[k], colors.levels[k])) {
            return false;
        }
    }
    out = std::move(colors);
    return true;
}

bool read_choice(PyObject *obj, const char *param, PyObject *const *choices, int count, int *out) {
    if (PyUnicode_Check(obj)) {
        for (int i = 0; i < count; i++) {
            int eq = PyUnicode_Compare(obj, choices[i]);
            if (eq == 0) {
                *out = i;
                return true;
            }
            if (eq == -1 && PyErr_Occurred()) return false;
        }
    }
    Ref listed = Ref::steal(PyUnicode_FromString(""));
    for (int i = 0; listed && i < count; i++) {
        const char *sep = i == 0 ? "" : (i == count - 1 ? " or " : ", ");
        listed = Ref::steal(PyUnicode_FromFormat("%U%s%R", listed.get(), sep, choices[i]));
    }
    if (!listed) return false;
    if (PyUnicode_Check(obj))
        PyErr_Format(PyExc_ValueError, "%s must be %U, not %R", param, listed.get(), obj);
    else
        PyErr_Format(PyExc_TypeError, "%s must be a str: %U, not %.100s", param, listed.get(),
                     type_name(obj));
    return false;
}

bool read_angle(PyObject *obj, double *out) {
    return finite(obj, out, "a finite number of degrees", "angle");
}

bool read_point(PyObject *obj, const char *param, double out[2]) {
    Ref items = items_of(obj, param, "two numbers");
    if (!items) return false;
    if (PyTuple_GET_SIZE(items.get()) != 2) {
        PyErr_Format(PyExc_ValueError, "%s must hold two numbers, not %zd of them", param,
                     PyTuple_GET_SIZE(items.get()));
        return false;
    }
    double p[2];
    for (Py_ssize_t i = 0; i < 2; i++) {
        if (!finite(PyTuple_GET_ITEM(items.get(), i), &p[i], "a finite number", param, i))
            return false;
    }
    out[0] = p[0];
    out[1] = p[1];
    return true;
}

bool read_extent(PyObject *obj, int *extent, double radii[2]) {
    constexpr const char *kWhat =
        "'closest-side', 'closest-corner', 'farthest-side', 'farthest-corner', a radius (a "
        "fraction of the width) or radii (rx, ry) (fractions of the width and the height)";
    if (PyUnicode_Check(obj)) {
        if (!read_choice(obj, "extent", names.extents, kExtentNames, extent)) {
            PyErr_Format(PyExc_ValueError, "extent must be %s, not %R", kWhat, obj);
            return false;
        }
        return true;
    }
    double r[2];
    int kind;
    if (is_number(obj)) {
        if (!finite(obj, &r[0], "a finite radius, at least 0", "extent")) return false;
        r[1] = r[0];
        kind = kRadius;
    } else if (PySequence_Check(obj)) {
        if (!read_point(obj, "extent", r)) return false;
        kind = kRadii;
    } else {
        PyErr_Format(PyExc_TypeError, "extent must be %s, not %.100s", kWhat, type_name(obj));
        return false;
    }
    if (!(r[0] >= 0.0 && r[1] >= 0.0)) {
        PyErr_Format(PyExc_ValueError, "extent's radii must be at least 0, not %R", obj);
        return false;
    }
    *extent = kind;
    radii[0] = r[0];
    radii[1] = r[1];
    return true;
}

bool read_focal(PyObject *obj, bool *has, double out[2]) {
    if (obj == Py_None) {
        *has = false;
        return true;
    }
    if (!read_point(obj, "focal", out)) return false;
    *has = true;
    return true;
}

// None, or a tuple of finite numbers, each checked by `fits` (a message
// when it does not fit).
template <typename Fits>
bool read_numbers(PyObject *obj, const char *param, bool *has, std::vector<double> &out,
                  Fits fits) {
    if (obj == Py_None) {
        *has = false;
        return true;
    }
    Ref items = items_of(obj, param, "numbers");
    if (!items) return false;
    Py_ssize_t n = PyTuple_GET_SIZE(items.get());
    std::vector<double> values;
    try {
        values.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return false;
    }
    for (Py_ssize_t i = 0; i < n; i++) {
        PyObject *item = PyTuple_GET_ITEM(items.get(), i);
        double &v = values[static_cast<size_t>(i)];
        if (!finite(item, &v, "a finite number", param, i) || !fits(v, item, i)) return false;
    }
    out = std::move(values);
    *has = true;
    return true;
}

bool read_positions(PyObject *obj, bool *has, std::vector<double> &out) {
    return read_numbers(obj, "positions", has, out, [](double, PyObject *, Py_ssize_t) { return true; });
}

bool read_hints(PyObject *obj, bool *has, std::vector<double> &out) {
    return read_numbers(obj, "hints", has, out, [](double v, PyObject *item, Py_ssize_t i) {
        if (v >= 0.0 && v <= 1.0) return true;
        PyErr_Format(PyExc_ValueError,
                     "hints[%zd] must lie in 0..1 (a fraction of the gap between two colours), "
                     "not %R",
                     i, item);
        return false;
    });
}

bool read_transparency(PyObject *obj, int *out) {
    if (!PyIndex_Check(obj)) {
        PyErr_Format(PyExc_TypeError, "transparency must be an int 0..255, not %.100s",
                     type_name(obj));
        return false;
    }
    int overflow;
    Ref index = Ref::steal(PyNumber_Index(obj));
    if (!index) return false;
    long v = PyLong_AsLongAndOverflow(index.get(), &overflow);
    if (v == -1 && PyErr_Occurred()) return false;
    if (overflow != 0 || v < 0 || v > 255) {
        PyErr_Format(PyExc_ValueError, "transparency must be an int 0..255, not %R", index.get());
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

bool check_placement(const Model &m) {
    size_t n = m.colors.rgba.size();
    if (m.hinted && m.hints.size() + 1 != n) {
        PyErr_Format(PyExc_ValueError,
                     "hints must hold one number per gap between colours, %zu for %zu colours, "
                     "not %zu (set hints to None before changing the number of colours)",
                     n > 0 ? n - 1 : 0, n, m.hints.size());
        return false;
    }
    if (!m.positioned) return true;
    if (m.positions.size() != n) {
        PyErr_Format(PyExc_ValueError,
                     "positions has %zu numbers for %zu colours: give one position per colour "
                     "(set positions to None before changing the number of colours)",
                     m.positions.size(), n);
        return false;
    }
    for (size_t i = 0; i < n; i++) {
        if (m.colors.weighted[i]) {
            PyErr_Format(PyExc_ValueError,
                         "colors[%zu] has a weight, but colours placed by positions take none: "
                         "set colors to plain colours first, or keep positions None to place "
                         "them by weight",
                         i);
            return false;
        }
    }
    return true;
}

Ref colors_value(const Colors &colors) {
    size_t n = colors.rgba.size();
    Ref list = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(n)));
    if (!list) return Ref();
    for (size_t i = 0; i < n; i++) {
        const std::array<double, 4> &c = colors.levels[i];
        Ref colour = Ref::steal(Py_BuildValue("(NNNN)", level_value(c[0]), level_value(c[1]),
                                              level_value(c[2]), level_value(c[3])));
        if (!colour) return Ref();
        PyObject *item = colors.weighted[i]
                             ? Py_BuildValue("(Od)", colour.get(), double(colors.weights[i]))
                             : colour.release();
        if (item == nullptr) return Ref();
        PyTuple_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list;
}

Ref point_value(const double p[2]) { return Ref::steal(Py_BuildValue("(dd)", p[0], p[1])); }

Ref extent_value(const Model &m) {
    if (m.extent == kRadius) return Ref::steal(PyFloat_FromDouble(m.radii[0]));
    if (m.extent == kRadii) return point_value(m.radii);
    return Ref::new_ref(names.extents[m.extent]);
}

namespace {

Ref numbers_value(bool has, const std::vector<double> &values) {
    if (!has) return Ref::new_ref(Py_None);
    Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(values.size())));
    if (!tuple) return Ref();
    for (size_t i = 0; i < values.size(); i++) {
        PyObject *f = PyFloat_FromDouble(values[i]);
        if (f == nullptr) return Ref();
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), f);
    }
    return tuple;
}

}  // namespace

Ref positions_value(const Model &m) { return numbers_value(m.positioned, m.positions); }
Ref hints_value(const Model &m) { return numbers_value(m.hinted, m.hints); }

}  // namespace ksgradient
