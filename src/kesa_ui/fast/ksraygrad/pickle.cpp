// Pickle support: both classes reduce to a fixed, versioned state tuple and
// are rebuilt by module-level reconstructors after a schema checksum check.
// The state layout, the checksums and the reconstructor names are stored in
// pickles, so they never change.
//
// State: (_angle, _center, _colors, _stops, _transparency, raw_colors, type)
// plus weights for ClickGradient, then optionally the instance's __dict__
// (Python subclasses only). The checksums are the first seven hex digits of
// the SHA-256, SHA-1 and MD5 digests of the field names joined by blanks;
// reduce writes the first, the reconstructors accept all three.
#include "kesa_ui/fast/ksraygrad/pickle.hpp"

#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/convert.hpp"
#include "kesa_ui/fast/ksraygrad/layout.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/stub_docs.h"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

namespace ksraygrad {

namespace {

struct PickleFormat {
    const char *cls;             // for traceback names
    PyTypeObject *type;          // the reconstructor's own class
    Py_ssize_t fields;           // 7 or 8
    long long checksums[3];      // the first is written
    PyObject *Loaded::*written;  // the first as a Python int
    const char *field_names;     // for the checksum error
    PyObject *Strings::*reconstructor;
    const char *reduce_qn, *setstate_qn, *unpickle_qn, *set_state_qn;
};

// The two formats of fixed.hpp, with the names their tracebacks show.
#define KS_FORMAT(cls, fields, written, also1, also2, names)                              \
    const PickleFormat cls##_format = {                                                   \
        #cls, &cls##_Type, fields, {written, also1, also2}, &Loaded::checksum_##cls, names, \
        &Strings::unpickle_##cls, KS_QUALNAME(#cls, KS_REDUCE_CYTHON),                     \
        KS_QUALNAME(#cls, KS_SETSTATE_CYTHON), KS_MODULE_NAME ".__pyx_unpickle_" #cls,    \
        KS_MODULE_NAME ".__pyx_unpickle_" #cls "__set_state"};
KS_PICKLE_FORMATS(KS_FORMAT)
#undef KS_FORMAT

// --- reduce ------------------------------------------------------------------------

PyObject *reduce_impl(const PickleFormat &f, PyObject *obj) {
    auto *self = reinterpret_cast<GradientRaylibObject *>(obj);
    Ref state = Ref::steal(PyTuple_New(f.fields));
    if (!state) return nullptr;
    // One field after the other, stopping at the first that fails.
    for (Py_ssize_t i = 0; i < f.fields; i++) {
        PyObject *item = nullptr;
        switch (i) {
            case 0: item = PyFloat_FromDouble(self->angle); break;
            case 1: item = Py_NewRef(self->center); break;
            case 2: item = vector4s_to_list(self->colors); break;
            case 3: item = floats_to_list(self->stops); break;
            case 4: item = PyLong_FromLong(self->transparency); break;
            case 5: item = Py_NewRef(self->raw_colors); break;
            case 6: item = Py_NewRef(self->type); break;
            default: item = floats_to_list(as_click(self)->weights); break;
        }
        if (item == nullptr) return nullptr;
        PyTuple_SET_ITEM(state.get(), i, item);
    }

    PyObject *dict = nullptr;
    if (PyObject_GetOptionalAttr(obj, g.s.dict, &dict) < 0) return nullptr;
    Ref dict_ref = Ref::steal(dict);
    // The set-state shape unless every object field is None and no
    // __dict__ travels along.
    bool with_setstate = self->center != Py_None || self->raw_colors != Py_None ||
                         self->type != Py_None;
    if (dict != nullptr && dict != Py_None) {
        int truth = PyObject_IsTrue(dict);
        if (truth < 0) return nullptr;
        if (truth) {
            Ref extra = Ref::steal(PyTuple_Pack(1, dict));
            if (!extra) return nullptr;
            state = Ref::steal(PySequence_Concat(state.get(), extra.get()));
            if (!state) return nullptr;
            with_setstate = true;
        }
    }
    Ref reconstructor = lookup_global(g.s.*f.reconstructor);
    if (!reconstructor) return nullptr;
    PyObject *cls = reinterpret_cast<PyObject *>(Py_TYPE(obj));
    Ref args = Ref::steal(PyTuple_Pack(3, cls, g.*f.written, with_setstate ? Py_None : state.get()));
    if (!args) return nullptr;
    if (with_setstate) return PyTuple_Pack(3, reconstructor.get(), args.get(), state.get());
    return PyTuple_Pack(2, reconstructor.get(), args.get());
}

// --- set-state ---------------------------------------------------------------------

// Assigns the fields one after the other, each right after its conversion;
// a failing element leaves the earlier fields applied.
int set_state(const PickleFormat &f, GradientRaylibObject *self, PyObject *state) {
    Py_ssize_t n = PyTuple_GET_SIZE(state);
    if (n < f.fields) {
        // Checked before any field is touched or anything past the end read.
        PyErr_Format(PyExc_IndexError, "%s state needs %zd elements, got %zd", f.cls, f.fields,
                     n);
        return -1;
    }
    PyObject *const *e = &PyTuple_GET_ITEM(state, 0);
    double angle = as_double(e[0]);
    if (angle == -1.0 && PyErr_Occurred()) return -1;
    self->angle = narrow(angle);
    if (e[1] != Py_None && !PyObject_TypeCheck(e[1], g.KsVector2)) {
        PyErr_Format(PyExc_TypeError, "Cannot convert %.200s to %.200s", Py_TYPE(e[1])->tp_name,
                     g.KsVector2->tp_name);
        return -1;
    }
    ks::replace_field(self->center, Ref::new_ref(e[1]));
    if (!sequence_to_vector4s(e[2], self->colors)) return -1;
    self->colors_serial++;  // a colour update this ran inside must not go on
    if (!sequence_to_floats(e[3], self->stops)) return -1;
    int transparency = as_int32(e[4]);
    if (transparency == -1 && PyErr_Occurred()) return -1;
    self->transparency = transparency;
    if (e[5] != Py_None && !PyList_CheckExact(e[5])) {
        PyErr_Format(PyExc_TypeError, "Expected list, got %.200s", Py_TYPE(e[5])->tp_name);
        return -1;
    }
    ks::replace_field(self->raw_colors, Ref::new_ref(e[5]));
    ks::replace_field(self->type, Ref::new_ref(e[6]));
    // The weights are stored only once all of them converted.
    if (f.fields == 8 && !sequence_to_floats(e[7], as_click(self)->weights)) return -1;
    if (n == f.fields) return 0;

    PyObject *extra = e[f.fields];
    int truth = PyObject_IsTrue(extra);
    if (truth <= 0) return truth;
    Ref dict = Ref::steal(PyObject_GetAttr(reinterpret_cast<PyObject *>(self), g.s.dict));
    if (!dict) return -1;
    if (PyDict_CheckExact(dict.get())) return PyDict_Update(dict.get(), extra);
    Ref res = Ref::steal(PyObject_CallMethodOneArg(dict.get(), g.s.update, extra));
    return res ? 0 : -1;
}

int set_state_traced(const PickleFormat &f, GradientRaylibObject *self, PyObject *state) {
    return traced(f.set_state_qn, set_state(f, self, state));
}

PyObject *setstate_impl(const PickleFormat &f, PyObject *self, PyObject *const *args,
                        size_t nargsf, PyObject *kwnames) {
    PyObject *state;
    if (!bind_args(setstate_params, args, nargsf, kwnames, state)) return nullptr;
    if (!PyTuple_CheckExact(state)) {
        PyErr_Format(PyExc_TypeError, "Expected tuple, got %.200s", Py_TYPE(state)->tp_name);
        return nullptr;
    }
    if (set_state_traced(f, reinterpret_cast<GradientRaylibObject *>(self), state) < 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *setstate_traced(const PickleFormat &f, PyObject *self, PyObject *const *args,
                          size_t nargsf, PyObject *kwnames) {
    return traced(f.setstate_qn, setstate_impl(f, self, args, nargsf, kwnames));
}

// --- reconstruct -------------------------------------------------------------------

int checksum_error(const PickleFormat &f, PyObject *received) {
    Ref pickle = Ref::steal(PyImport_Import(g.s.pickle));
    if (!pickle) return -1;
    Ref error = Ref::steal(PyObject_GetAttr(pickle.get(), g.s.PickleError));
    if (!error) return -1;
    Ref args = Ref::steal(Py_BuildValue("(OLLLs)", received, f.checksums[0], f.checksums[1],
                                        f.checksums[2], f.field_names));
    if (!args) return -1;
    Ref fmt = Ref::steal(PyUnicode_FromString(fixed::kIncompatibleChecksums));
    if (!fmt) return -1;
    Ref message = Ref::steal(PyUnicode_Format(fmt.get(), args.get()));
    if (!message) return -1;
    PyErr_SetObject(error.get(), message.get());
    return -1;
}

PyObject *unpickle_impl(const PickleFormat &f, PyObject *const *args, size_t nargsf,
                        PyObject *kwnames) {
    PyObject *a[3];
    if (!bind_args(unpickle_params, args, nargsf, kwnames, a)) return nullptr;
    PyObject *pyx_type = a[0], *state = a[2];
    long long checksum = as_int64(a[1]);
    if (checksum == -1 && PyErr_Occurred()) return nullptr;
    if (state != Py_None && !PyTuple_CheckExact(state)) {
        PyErr_Format(PyExc_TypeError, "Expected tuple, got %.200s", Py_TYPE(state)->tp_name);
        return nullptr;
    }
    if (checksum != f.checksums[0] && checksum != f.checksums[1] &&
        checksum != f.checksums[2]) {
        Ref received = Ref::steal(PyLong_FromLongLong(checksum));
        if (received) checksum_error(f, received.get());
        return nullptr;
    }
    // The class's own __new__, which checks that pyx_type is it or a subclass
    // and runs no __init__.
    Ref obj = Ref::steal(
        PyObject_CallMethodOneArg(reinterpret_cast<PyObject *>(f.type), g.s.new_, pyx_type));
    if (!obj) return nullptr;
    if (state != Py_None &&
        set_state_traced(f, reinterpret_cast<GradientRaylibObject *>(obj.get()), state) < 0)
        return nullptr;
    return obj.release();
}

PyObject *unpickle_gradient(PyObject *, PyObject *const *args, size_t nargsf,
                            PyObject *kwnames) {
    return traced(GradientRaylib_format.unpickle_qn, unpickle_impl(GradientRaylib_format, args, nargsf, kwnames));
}

PyObject *unpickle_click(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    return traced(ClickGradient_format.unpickle_qn, unpickle_impl(ClickGradient_format, args, nargsf, kwnames));
}

PyObject *reduce_traced(const PickleFormat &f, PyObject *self, size_t nargsf, PyObject *kwnames) {
    return traced(f.reduce_qn,
                  no_args(KS_REDUCE_CYTHON, nargsf, kwnames) ? reduce_impl(f, self) : nullptr);
}

}  // namespace

PyObject *gradient_reduce(PyObject *self, PyObject *const *, size_t nargsf, PyObject *kwnames) {
    return reduce_traced(GradientRaylib_format, self, nargsf, kwnames);
}

PyObject *click_reduce(PyObject *self, PyObject *const *, size_t nargsf, PyObject *kwnames) {
    return reduce_traced(ClickGradient_format, self, nargsf, kwnames);
}

PyObject *gradient_setstate(PyObject *self, PyObject *const *args, size_t nargsf,
                            PyObject *kwnames) {
    return setstate_traced(GradientRaylib_format, self, args, nargsf, kwnames);
}

PyObject *click_setstate(PyObject *self, PyObject *const *args, size_t nargsf,
                         PyObject *kwnames) {
    return setstate_traced(ClickGradient_format, self, args, nargsf, kwnames);
}

PyMethodDef unpickle_gradient_def = {
    KS_UNPICKLE_GRADIENT, KS_CFUNCTION(unpickle_gradient), METH_FASTCALL | METH_KEYWORDS,
    KS_UNPICKLE_GRADIENT "(__pyx_type, __pyx_checksum, __pyx_state)\n--\n\n"
    KS_DOC___pyx_unpickle_GradientRaylib};

PyMethodDef unpickle_click_def = {
    KS_UNPICKLE_CLICK, KS_CFUNCTION(unpickle_click), METH_FASTCALL | METH_KEYWORDS,
    KS_UNPICKLE_CLICK "(__pyx_type, __pyx_checksum, __pyx_state)\n--\n\n"
    KS_DOC___pyx_unpickle_ClickGradient};

}  // namespace ksraygrad
