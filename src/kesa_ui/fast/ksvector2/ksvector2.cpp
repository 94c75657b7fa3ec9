// kesa_ui.fast.ksvector2.ksvector2: KsVector2, a mutable 2-vector of doubles.
//
// The instance layout is KsVector2Object (ksvector2.h): modules that
// bind this type compare tp_basicsize with it, so keep it the only field set.
// Vectors are made on the gradient's hot paths, so construction is quick:
// calling the exact type goes through tp_vectorcall, the C method table's
// new_ skips argument parsing, and both reuse a small free list of exact
// instances (disabled on free-threaded builds, where it would need a lock).
// Subclasses are built the ordinary way (tp_new), and never enter the list.
// Besides the x and y attributes a vector reads as the pair (x, y).
#include <Python.h>

#include <cstddef>

#include "kesa_ui/fast/ksvector2/ksvector2.h"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/capi.hpp"
#include "kesa_ui/native/module.hpp"
#include "kesa_ui/native/number.hpp"

namespace {

extern PyTypeObject KsVector2_Type;

// --- allocation -------------------------------------------------------------

#ifndef Py_GIL_DISABLED
constexpr int free_list_max = 64;
PyObject *free_list[free_list_max];
int free_count = 0;
#endif

PyObject *make(PyTypeObject *type, double x, double y) {
    PyObject *self;
#ifndef Py_GIL_DISABLED
    if (type == &KsVector2_Type && free_count > 0) {
        self = PyObject_Init(free_list[--free_count], type);
    } else
#endif
    {
        self = type->tp_alloc(type, 0);
        if (self == nullptr) return nullptr;
    }
    reinterpret_cast<KsVector2Object *>(self)->data = KsVector2Data{x, y};
    return self;
}

void vector_dealloc(PyObject *self) {
    PyTypeObject *type = Py_TYPE(self);
#ifndef Py_GIL_DISABLED
    if (type == &KsVector2_Type && free_count < free_list_max) {
        free_list[free_count++] = self;
        return;
    }
#endif
    type->tp_free(self);
}

// --- construction -----------------------------------------------------------------

const ks::Params vector_params = {"KsVector2", 0, 2, {"x", "y"}, {}};

PyObject *vector_new(PyTypeObject *type, PyObject *args, PyObject *kwds) {
    double x = 0.0, y = 0.0;
    if (!ks::bind_keywords_tuple(vector_params, args, kwds, ks::to_double{&x}, ks::to_double{&y}))
        return nullptr;
    return make(type, x, y);
}

// KsVector2(x=0.0, y=0.0) without building an args tuple or dict, with the
// same rule. Only the exact type gets here (tp_vectorcall is not inherited).
PyObject *vector_vectorcall(PyObject *type, PyObject *const *args, size_t nargsf,
                            PyObject *kwnames) {
    double x = 0.0, y = 0.0;
    if (!ks::bind_keywords(vector_params, args, nargsf, kwnames, ks::to_double{&x},
                           ks::to_double{&y}))
        return nullptr;
    return make(reinterpret_cast<PyTypeObject *>(type), x, y);
}

// --- behaviour ----------------------------------------------------------------------

PyObject *vector_repr(PyObject *self) {
    const KsVector2Data &d = reinterpret_cast<KsVector2Object *>(self)->data;
    ks::Ref name = ks::Ref::steal(PyType_GetName(Py_TYPE(self)));
    ks::Ref x = ks::Ref::steal(PyFloat_FromDouble(d.x));
    ks::Ref y = ks::Ref::steal(PyFloat_FromDouble(d.y));
    if (!name || !x || !y) return nullptr;
    return PyUnicode_FromFormat("%U(%R, %R)", name.get(), x.get(), y.get());
}

PyObject *vector_richcompare(PyObject *a, PyObject *b, int op) {
    if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(a, &KsVector2_Type) ||
        !PyObject_TypeCheck(b, &KsVector2_Type))
        Py_RETURN_NOTIMPLEMENTED;
    const KsVector2Data &p = reinterpret_cast<KsVector2Object *>(a)->data;
    const KsVector2Data &q = reinterpret_cast<KsVector2Object *>(b)->data;
    bool equal = p.x == q.x && p.y == q.y;
    return PyBool_FromLong(equal == (op == Py_EQ));
}

// Read as a pair too: v[0] is x, v[1] is y (so a vector goes wherever an
// (x, y) sequence is read by index, and unpacks as x, y = v).
Py_ssize_t vector_length(PyObject *) { return 2; }

PyObject *vector_item(PyObject *self, Py_ssize_t i) {
    const KsVector2Data &d = reinterpret_cast<KsVector2Object *>(self)->data;
    if (i == 0) return PyFloat_FromDouble(d.x);
    if (i == 1) return PyFloat_FromDouble(d.y);
    PyErr_SetString(PyExc_IndexError, "KsVector2 index out of range");
    return nullptr;
}

PySequenceMethods vector_as_sequence = {
    .sq_length = vector_length,
    .sq_item = vector_item,
};

// Pickles as type(self)(x, y), plus the instance dict of a subclass.
PyObject *vector_reduce(PyObject *self, PyObject *) {
    const KsVector2Data &d = reinterpret_cast<KsVector2Object *>(self)->data;
    PyObject *dict;
    if (PyObject_GetOptionalAttrString(self, "__dict__", &dict) < 0) return nullptr;
    ks::Ref state = ks::Ref::steal(dict);
    if (state && PyDict_Check(state.get()) && PyDict_GET_SIZE(state.get()) > 0)
        return Py_BuildValue("(O(dd)O)", Py_TYPE(self), d.x, d.y, state.get());
    return Py_BuildValue("(O(dd))", Py_TYPE(self), d.x, d.y);
}

PyMethodDef vector_methods[] = {
    {"__reduce__", vector_reduce, METH_NOARGS, "Pickle support: (type(self), (x, y))."},
    {nullptr, nullptr, 0, nullptr},
};

PyMemberDef vector_members[] = {
    {"x", Py_T_DOUBLE, offsetof(KsVector2Object, data.x), 0, "x component"},
    {"y", Py_T_DOUBLE, offsetof(KsVector2Object, data.y), 0, "y component"},
    {nullptr, 0, 0, 0, nullptr},
};

PyTypeObject KsVector2_Type = {
    KS_TYPE_HEAD("kesa_ui.fast.ksvector2.ksvector2.KsVector2", KsVector2Object),
    .tp_dealloc = vector_dealloc,
    .tp_repr = vector_repr,
    .tp_as_sequence = &vector_as_sequence,
    .tp_hash = PyObject_HashNotImplemented,  // mutable, compared by value
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    .tp_doc = "KsVector2(x=0.0, y=0.0)\n--\n\nA mutable 2-vector of floats, compared by value.",
    .tp_richcompare = vector_richcompare,
    .tp_methods = vector_methods,
    .tp_members = vector_members,
    .tp_new = vector_new,
    .tp_vectorcall = vector_vectorcall,
};

// --- C method table and module ------------------------------------------------------

PyObject *vtable_new(double x, double y) { return make(&KsVector2_Type, x, y); }

KsVector2VTable vtable = {vtable_new};

void module_free(void *) {
#ifndef Py_GIL_DISABLED
    while (free_count > 0) PyObject_Free(free_list[--free_count]);
#endif
}

int exec_module(PyObject *module) { return ks::add_type(module, &KsVector2_Type, &vtable); }

}  // namespace

KS_DEFINE_MODULE(ksvector2, "kesa_ui.fast.ksvector2.ksvector2",
                 "KsVector2: the toolkit's 2-vector.",
                 nullptr, exec_module, module_free)
