// Argument binding shared by every Python-visible operation: positional
// arguments first, then keywords by name, with CPython's usual TypeErrors.
#include "kesa_ui/fast/ksraygrad/args.hpp"

#include <initializer_list>

namespace ksraygrad {

namespace {
constexpr int count_of(std::initializer_list<const char *> names) {
    return static_cast<int>(names.size());
}
}  // namespace

#define KS_DEFINE_PARAMS(id, fname, required, ...) \
    Params id##_params{fname, required, count_of({__VA_ARGS__}), {__VA_ARGS__}, {}};
KS_PARAMETER_LISTS(KS_DEFINE_PARAMS)
#undef KS_DEFINE_PARAMS

int intern_params() {
#define KS_PARAMS_ENTRY(id, fname, required, ...) &id##_params,
    Params *const all[] = {KS_PARAMETER_LISTS(KS_PARAMS_ENTRY)};
#undef KS_PARAMS_ENTRY
    for (Params *p : all) {
        for (int i = 0; i < p->count; i++) {
            if (p->names[i] == nullptr && !(p->names[i] = PyUnicode_InternFromString(p->texts[i])))
                return -1;
        }
    }
    return 0;
}

namespace {

int find_param(const Params &p, PyObject *key) {
    for (int i = 0; i < p.count; i++) {
        if (p.names[i] == key) return i;  // keyword names are usually interned
    }
    for (int i = 0; i < p.count; i++) {
        int eq = PyUnicode_Compare(p.names[i], key);
        if (eq == 0) return i;
        if (eq == -1 && PyErr_Occurred()) return -2;
    }
    return -1;
}

bool bind_keyword(const Params &p, PyObject *key, PyObject *value, PyObject **out) {
    if (!PyUnicode_Check(key)) {
        PyErr_Format(PyExc_TypeError, "%s() keywords must be strings", p.fname);
        return false;
    }
    int i = find_param(p, key);
    if (i == -2) return false;
    if (i < 0) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", p.fname,
                     key);
        return false;
    }
    if (out[i] != nullptr) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%U'", p.fname, key);
        return false;
    }
    out[i] = value;
    return true;
}

bool check_positional(const Params &p, Py_ssize_t nargs) {
    if (nargs <= p.count) return true;
    PyErr_Format(PyExc_TypeError, "%s() takes %s %d positional argument%s (%zd given)", p.fname,
                 p.required == p.count ? "exactly" : "at most", p.count,
                 p.count == 1 ? "" : "s", nargs);
    return false;
}

bool check_required(const Params &p, PyObject **out) {
    for (int i = 0; i < p.required; i++) {
        if (out[i] == nullptr) {
            PyErr_Format(PyExc_TypeError, "%s() missing required argument '%U' (pos %d)",
                         p.fname, p.names[i], i + 1);
            return false;
        }
    }
    return true;
}

}  // namespace

bool bind_args_slow(const Params &p, PyObject *const *args, size_t nargsf, PyObject *kwnames,
                    PyObject **out) {
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    if (!check_positional(p, nargs)) return false;
    for (int i = 0; i < p.count; i++) out[i] = i < nargs ? args[i] : nullptr;
    if (kwnames != nullptr) {
        Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < nkw; k++) {
            if (!bind_keyword(p, PyTuple_GET_ITEM(kwnames, k), args[nargs + k], out)) return false;
        }
    }
    return check_required(p, out);
}

bool bind_args_tuple(const Params &p, PyObject *args, PyObject *kwargs, PyObject **out) {
    Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    if (!check_positional(p, nargs)) return false;
    for (int i = 0; i < p.count; i++) out[i] = i < nargs ? PyTuple_GET_ITEM(args, i) : nullptr;
    if (kwargs != nullptr) {
        Py_ssize_t pos = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            if (!bind_keyword(p, key, value, out)) return false;
        }
    }
    return check_required(p, out);
}

bool no_args(const char *fname, size_t nargsf, PyObject *kwnames) {
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    if (nargs > 0) {
        PyErr_Format(PyExc_TypeError, "%s() takes no positional arguments (%zd given)", fname,
                     nargs);
        return false;
    }
    if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) > 0) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", fname,
                     PyTuple_GET_ITEM(kwnames, 0));
        return false;
    }
    return true;
}

}  // namespace ksraygrad
