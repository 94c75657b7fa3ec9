// Colour errors that say what to do: which item of the colour list failed,
// what it is, and how to write it instead.
//
// Only the module's own errors and the interpreter's own are rewritten (a
// component of a type that cannot be divided at all, an item that is not a
// tuple); an error raised by a user's type stays exactly as it was. A
// rewritten error keeps its type and has the original as its cause. The
// messages the contract fixes (None's, the short colour's IndexError) are
// never touched.
#pragma once

#include <Python.h>

#include <string>

namespace ksraygrad {

// Where a colour being converted came from: item `index` of the colour
// list, `item` itself (a borrowed reference the caller holds).
struct ItemPlace {
    Py_ssize_t index;
    PyObject *item;
};

// A short description of `obj` that runs none of its code: builtin values
// spelled out (long text cut short, huge ints by their size), anything else
// as <TypeName object>. Never fails (an empty text where even that cannot
// be made).
std::string short_repr(PyObject *obj);

// Raises TypeError for a colour (of `place`) that is not a tuple.
void colour_not_a_tuple(const ItemPlace &place, PyObject *colour);

// With an error pending from component `k` of `colour`: rewritten when it is
// the interpreter's own (the component's type has no division), else kept.
void explain_component_error(const ItemPlace &place, PyObject *colour, Py_ssize_t k);

// With an OverflowError pending from the weight of `place`: says whose.
void explain_weight_error(const ItemPlace &place);

}  // namespace ksraygrad
