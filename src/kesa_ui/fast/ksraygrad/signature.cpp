// The constructors' signatures, for inspect.signature and help().
//
// The classes carry no docstring, which is where an extension type keeps a
// text signature, and a text signature could not show the enum default of
// `type` anyway. Each class's dict holds instead a small descriptor as
// `__signature__`: read, it gives an inspect.Signature, made on first use
// (inspect is imported only then) and kept.
#include "kesa_ui/fast/ksraygrad/signature.hpp"

#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/native/module.hpp"
#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

namespace {

using ks::Ref;

struct SignatureObject {
    PyObject_HEAD
    PyTypeObject *type;             // the class whose dict holds it
    PyObject *const *default_type;  // where the class's default kind is kept
    PyObject **signature;           // its cache in the register
};

// inspect.Signature of init_params, `type` defaulting to *default_type and
// the four after it to None.
Ref make_signature(PyObject *default_type) {
    Ref inspect = Ref::steal(PyImport_ImportModule("inspect"));
    if (!inspect) return Ref();
    Ref parameter = Ref::steal(PyObject_GetAttrString(inspect.get(), "Parameter"));
    if (!parameter) return Ref();
    Ref kind = Ref::steal(PyObject_GetAttrString(parameter.get(), "POSITIONAL_OR_KEYWORD"));
    if (!kind) return Ref();
    Ref params = Ref::steal(PyList_New(0));
    if (!params) return Ref();
    for (int i = 0; i < init_params.count; i++) {
        Ref kwargs = Ref::steal(PyDict_New());
        if (!kwargs) return Ref();
        if (i > 0 && PyDict_SetItemString(kwargs.get(), "default",
                                          i == 1 ? default_type : Py_None) < 0)
            return Ref();
        Ref args = Ref::steal(PyTuple_Pack(2, init_params.names[i], kind.get()));
        if (!args) return Ref();
        Ref param = Ref::steal(PyObject_Call(parameter.get(), args.get(), kwargs.get()));
        if (!param || PyList_Append(params.get(), param.get()) < 0) return Ref();
    }
    Ref signature_cls = Ref::steal(PyObject_GetAttrString(inspect.get(), "Signature"));
    return signature_cls ? Ref::steal(PyObject_CallOneArg(signature_cls.get(), params.get()))
                         : Ref();
}

PyObject *signature_get(PyObject *op, PyObject *obj, PyObject *owner) {
    auto *self = reinterpret_cast<SignatureObject *>(op);
    if (owner != nullptr && !PyType_Check(owner)) {  // __get__ called by hand
        PyErr_SetString(PyExc_TypeError, "__get__(None, None) is invalid");
        return nullptr;
    }
    auto *cls = owner != nullptr ? reinterpret_cast<PyTypeObject *>(owner) : Py_TYPE(obj);
    // A subclass that makes its instances another way has a signature of
    // its own: None lets inspect find it.
    if (cls->tp_init != self->type->tp_init || cls->tp_new != self->type->tp_new)
        Py_RETURN_NONE;
    if (*self->signature == nullptr) {
        if (*self->default_type == nullptr) Py_RETURN_NONE;  // the module is still loading
        Ref made = make_signature(*self->default_type);
        if (!made) return nullptr;
        if (*self->signature == nullptr) *self->signature = made.release();  // made meanwhile?
    }
    return Py_NewRef(*self->signature);
}

PyTypeObject Signature_Type = {
    KS_TYPE_HEAD("kesa_ui.fast.ksraygrad.ksraygrad._signature", SignatureObject),
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    .tp_descr_get = signature_get,
};

}  // namespace

int add_signature(PyTypeObject *type, PyObject *const *default_type, PyObject **cache) {
    if (PyType_Ready(&Signature_Type) < 0) return -1;
    // Kept for the life of the process, with the class.
    auto *descr = PyObject_New(SignatureObject, &Signature_Type);
    if (descr == nullptr) return -1;
    descr->type = type;
    descr->default_type = default_type;
    descr->signature = cache;
    Ref owned = Ref::steal(reinterpret_cast<PyObject *>(descr));
    Ref dict = Ref::steal(PyType_GetDict(type));
    if (!dict || PyDict_SetItemString(dict.get(), "__signature__", owned.get()) < 0) return -1;
    PyType_Modified(type);
    return 0;
}

}  // namespace ksraygrad
