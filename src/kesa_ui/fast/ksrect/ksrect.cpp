// kesa_ui.fast.ksrect.ksrect: KsRect, a mutable rectangle of 32-bit floats
// (x, y, w, h), as raylib's Rectangle.
//
// The instance layout is KsRectObject (ksrect.h); modules that bind
// this type compare tp_basicsize with it. Gradient rendering passes its
// rectangles as tuples and only requires this type and its C method table
// (new_) to exist.
#include <Python.h>

#include <cstddef>

#include "kesa_ui/fast/ksrect/ksrect.h"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/capi.hpp"
#include "kesa_ui/native/module.hpp"

namespace {

extern PyTypeObject KsRect_Type;

PyObject *make(PyTypeObject *type, float x, float y, float w, float h) {
    PyObject *self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    auto *r = reinterpret_cast<KsRectObject *>(self);
    r->x = x;
    r->y = y;
    r->w = w;
    r->h = h;
    return self;
}

const ks::Params rect_params = {"KsRect", 0, 4, {"x", "y", "w", "h"}, {}};

PyObject *rect_new(PyTypeObject *type, PyObject *args, PyObject *kwds) {
    float x = 0, y = 0, w = 0, h = 0;
    if (!ks::bind_keywords_tuple(rect_params, args, kwds, ks::to_float{&x}, ks::to_float{&y},
                                 ks::to_float{&w}, ks::to_float{&h}))
        return nullptr;
    return make(type, x, y, w, h);
}

PyObject *rect_repr(PyObject *self) {
    auto *r = reinterpret_cast<KsRectObject *>(self);
    ks::Ref name = ks::Ref::steal(PyType_GetName(Py_TYPE(self)));
    ks::Ref values = ks::Ref::steal(Py_BuildValue("(dddd)", double(r->x), double(r->y),
                                                  double(r->w), double(r->h)));
    if (!name || !values) return nullptr;
    return PyUnicode_FromFormat("%U%R", name.get(), values.get());
}

PyObject *rect_richcompare(PyObject *a, PyObject *b, int op) {
    if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(a, &KsRect_Type) ||
        !PyObject_TypeCheck(b, &KsRect_Type))
        Py_RETURN_NOTIMPLEMENTED;
    auto *p = reinterpret_cast<KsRectObject *>(a);
    auto *q = reinterpret_cast<KsRectObject *>(b);
    bool equal = p->x == q->x && p->y == q->y && p->w == q->w && p->h == q->h;
    return PyBool_FromLong(equal == (op == Py_EQ));
}

PyObject *rect_reduce(PyObject *self, PyObject *) {
    auto *r = reinterpret_cast<KsRectObject *>(self);
    return Py_BuildValue("(O(dddd))", Py_TYPE(self), double(r->x), double(r->y), double(r->w),
                         double(r->h));
}

PyMethodDef rect_methods[] = {
    {"__reduce__", rect_reduce, METH_NOARGS, "Pickle support: (type(self), (x, y, w, h))."},
    {nullptr, nullptr, 0, nullptr},
};

PyMemberDef rect_members[] = {
    {"x", Py_T_FLOAT, offsetof(KsRectObject, x), 0, "left edge"},
    {"y", Py_T_FLOAT, offsetof(KsRectObject, y), 0, "top edge"},
    {"w", Py_T_FLOAT, offsetof(KsRectObject, w), 0, "width"},
    {"h", Py_T_FLOAT, offsetof(KsRectObject, h), 0, "height"},
    {nullptr, 0, 0, 0, nullptr},
};

PyTypeObject KsRect_Type = {
    KS_TYPE_HEAD("kesa_ui.fast.ksrect.ksrect.KsRect", KsRectObject),
    .tp_repr = rect_repr,
    .tp_hash = PyObject_HashNotImplemented,  // mutable, compared by value
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    .tp_doc = "KsRect(x=0, y=0, w=0, h=0)\n--\n\nA rectangle of 32-bit floats.",
    .tp_richcompare = rect_richcompare,
    .tp_methods = rect_methods,
    .tp_members = rect_members,
    .tp_new = rect_new,
};

PyObject *vtable_new(float x, float y, float w, float h) { return make(&KsRect_Type, x, y, w, h); }

KsRectVTable vtable = {vtable_new};

int exec_module(PyObject *module) { return ks::add_type(module, &KsRect_Type, &vtable); }

}  // namespace

KS_DEFINE_MODULE(ksrect, "kesa_ui.fast.ksrect.ksrect",
                 "KsRect: the toolkit's rectangle.",
                 nullptr, exec_module, nullptr)
