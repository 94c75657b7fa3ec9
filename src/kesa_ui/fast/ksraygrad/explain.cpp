// Colour errors that say what to do (see explain.hpp).
#include "kesa_ui/fast/ksraygrad/explain.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

namespace {

using ks::Ref;

constexpr Py_ssize_t kShownChars = 40, kShownItems = 6;

std::string format(const char *fmt, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

// repr() of a builtin str or bytes: C code of the interpreter's own.
std::string builtin_repr(PyObject *obj) {
    Ref r = Ref::steal(PyObject_Repr(obj));
    const char *text = r ? PyUnicode_AsUTF8(r.get()) : nullptr;
    return text != nullptr ? std::string(text) : std::string();
}

std::string describe(PyObject *obj, int depth) {
    if (obj == Py_None) return "None";
    if (obj == Py_True) return "True";
    if (obj == Py_False) return "False";
    if (PyLong_CheckExact(obj)) {
        int overflow = 0;
        long long v = PyLong_AsLongLongAndOverflow(obj, &overflow);
        if (overflow != 0) return "<int too large to show>";
        return std::to_string(v);
    }
    if (PyFloat_CheckExact(obj)) {
        char *text = PyOS_double_to_string(PyFloat_AS_DOUBLE(obj), 'r', 0, Py_DTSF_ADD_DOT_0,
                                           nullptr);
        if (text == nullptr) return std::string();
        std::string out(text);
        PyMem_Free(text);
        return out;
    }
    if (PyUnicode_CheckExact(obj)) {
        Py_ssize_t n = PyUnicode_GET_LENGTH(obj);
        Ref head = Ref::steal(PyUnicode_Substring(obj, 0, std::min(n, kShownChars)));
        return head ? builtin_repr(head.get()) + (n > kShownChars ? "..." : "") : std::string();
    }
    if (PyBytes_CheckExact(obj)) {
        Py_ssize_t n = PyBytes_GET_SIZE(obj);
        Ref head = Ref::steal(
            PyBytes_FromStringAndSize(PyBytes_AS_STRING(obj), std::min(n, kShownChars)));
        return head ? builtin_repr(head.get()) + (n > kShownChars ? "..." : "") : std::string();
    }
    const bool tuple = PyTuple_CheckExact(obj);
    if (tuple || PyList_CheckExact(obj)) {
        Py_ssize_t n = PySequence_Fast_GET_SIZE(obj);
        std::string out(tuple ? "(" : "[");
        if (depth >= 2 && n > 0) {
            out += "...";
        } else {
            for (Py_ssize_t i = 0; i < n && i < kShownItems; i++) {
                if (i > 0) out += ", ";
                // (a list's item is held while it is described)
                Ref item = Ref::new_ref(PySequence_Fast_GET_ITEM(obj, i));
                out += describe(item.get(), depth + 1);
            }
            if (n > kShownItems) out += ", ...";
            if (tuple && n == 1) out += ",";
        }
        return out + (tuple ? ")" : "]");
    }
    return format("<%s object>", Py_TYPE(obj)->tp_name);
}

// "a str ('red')": the type and a short repr of `obj`.
std::string a_value(PyObject *obj) {
    const char *name = Py_TYPE(obj)->tp_name;
    const char *article = std::string_view("aeiouAEIOU").find(name[0]) != std::string_view::npos
                              ? "an" : "a";
    return format("%s %s (%s)", article, name, short_repr(obj).c_str());
}

// How to write `colour` as a colour instead.
std::string advice(PyObject *colour) {
    std::string shown = short_repr(colour);
    if (PyUnicode_Check(colour))
        return format("kesa_ui.core.color(%s) turns a colour name or hex string into one",
                      shown.c_str());
    if (PyLong_Check(colour) && !PyBool_Check(colour)) {
        int overflow = 0;
        long long v = PyLong_AsLongLongAndOverflow(colour, &overflow);
        if (v == -1 && PyErr_Occurred()) PyErr_Clear();
        if (overflow == 0 && v >= 0 && v <= 0xFFFFFFFFLL)
            return format("for a colour written as a number, kesa_ui.core.color('#%0*llx') gives "
                          "one",
                          v > 0xFFFFFF ? 8 : 6, v);
    }
    if (PyList_Check(colour))
        return format("kesa_ui.core.color(%s) gives one, or write it as a tuple", shown.c_str());
    return "kesa_ui.core.color turns colour names, hex strings, pygame colours and sequences of "
           "3 or 4 ints into one";
}

// Replaces the pending exception by a new one of `type` with `message`,
// caused by it.
void rewrite(PyObject *type, const std::string &message) {
    PyObject *original = PyErr_GetRaisedException();
    PyErr_SetString(type, message.c_str());
    PyObject *rewritten = PyErr_GetRaisedException();
    PyException_SetCause(rewritten, original);  // steals `original`
    PyErr_SetRaisedException(rewritten);
}

const char *const kColourForm = "not a tuple (red, green, blue[, alpha]) of numbers 0 to 255";

}  // namespace

std::string short_repr(PyObject *obj) {
    PyObject *pending = PyErr_GetRaisedException();
    std::string out;
    try {
        out = describe(obj, 0);
    } catch (...) {
        out.clear();  // out of memory: nothing to show
    }
    PyErr_Clear();
    PyErr_SetRaisedException(pending);
    return out;
}

void colour_not_a_tuple(const ItemPlace &place, PyObject *colour) {
    std::string message;
    try {
        if (colour != place.item)
            message = format("colour %zd of the list, %s, was read as (colour, weight), being a "
                             "pair ending in a number, and its colour is %s, %s; a colour is "
                             "(red, green, blue) or (red, green, blue, alpha), and a weighted "
                             "one ((red, green, blue), weight)",
                             place.index, short_repr(place.item).c_str(), a_value(colour).c_str(),
                             kColourForm);
        else
            message = format("colour %zd of the list is %s, %s; %s", place.index,
                             a_value(colour).c_str(), kColourForm, advice(colour).c_str());
    } catch (...) {
        PyErr_NoMemory();
        return;
    }
    PyErr_SetString(PyExc_TypeError, message.c_str());
}

void explain_component_error(const ItemPlace &place, PyObject *colour, Py_ssize_t k) {
    PyObject *component = PyTuple_GET_ITEM(colour, k);
    PyNumberMethods *nb = Py_TYPE(component)->tp_as_number;
    // A type that divides ran its own code: its error stands.
    if (!PyErr_ExceptionMatches(PyExc_TypeError) || (nb != nullptr && nb->nb_true_divide != nullptr))
        return;
    try {
        std::string message =
            format("component %zd of colour %zd of the list, %s, is %s, not a number 0 to 255",
                   k, place.index, short_repr(colour).c_str(), a_value(component).c_str());
        PyObject *item = place.item;
        if (item == colour && PyTuple_GET_SIZE(item) == 2 && PyTuple_Check(PyTuple_GET_ITEM(item, 0)))
            message += format("; read as (colour, weight) it would need a number as its weight, "
                              "not %s",
                              a_value(PyTuple_GET_ITEM(item, 1)).c_str());
        rewrite(PyExc_TypeError, message);
    } catch (...) {
        // Out of memory: the original error stands.
    }
}

void explain_weight_error(const ItemPlace &place) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return;
    try {
        rewrite(PyExc_OverflowError,
                format("the weight of colour %zd of the list, %s, is too large for a float",
                       place.index, short_repr(place.item).c_str()));
    } catch (...) {
    }
}

}  // namespace ksraygrad
