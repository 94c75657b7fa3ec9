// The call log of kesa_raylib: a record of (name, args) pairs for tests, and
// one-shot injected failures.
//
// Each call site tests ks_log::hooked first and builds its argument tuple
// only when it is set, so a process that never starts the log pays one
// branch per call. A call is recorded before it does anything; an injected
// failure fires right after the recording, so a begin call that raised has
// begun nothing.
#include "kesa_ui/fast/raylib/call_log.h"

#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/ref.hpp"

namespace ks_log {

int hooked = 0;

namespace {

const char *const call_names[KS_CALL_COUNT] = {
#define KS_CALL_NAME(name, ret, params) #name,
    KS_RAYLIB_FUNCTIONS(KS_CALL_NAME)
#undef KS_CALL_NAME
    "c_fast_clear",
};

PyObject *record = nullptr;              // the list while the log is on
PyObject *pending[KS_CALL_COUNT] = {};   // injected exceptions (strong refs)
int pending_count = 0;

void update_hooked() { hooked = record != nullptr || pending_count > 0; }

// Raises an exception given as an instance or as a class.
void raise_injected(PyObject *exc) {
    if (PyExceptionInstance_Check(exc))
        PyErr_SetObject(reinterpret_cast<PyObject *>(Py_TYPE(exc)), exc);
    else
        PyErr_SetNone(exc);
}

}  // namespace

int enter(int id, PyObject *args_in) {
    ks::Ref args = ks::Ref::steal(args_in);
    if (!args) return -1;
    if (id < 0 || id >= KS_CALL_COUNT) {
        PyErr_Format(PyExc_SystemError, "call log: no recorded function has id %d", id);
        return -1;
    }
    if (record != nullptr) {
        // Hold the list: building the pair may run arbitrary code (a garbage
        // collection) that stops the log.
        ks::Ref log = ks::Ref::new_ref(record);
        ks::Ref pair = ks::Ref::steal(Py_BuildValue("(sO)", call_names[id], args.get()));
        if (!pair || PyList_Append(log.get(), pair.get()) < 0) return -1;
    }
    if (pending[id] != nullptr) {
        ks::Ref exc = ks::Ref::steal(pending[id]);
        pending[id] = nullptr;
        pending_count--;
        update_hooked();
        raise_injected(exc.get());
        return -1;
    }
    return 0;
}

const KsCallLogApi api = {&hooked, enter};

PyObject *start(PyObject *, PyObject *) {
    PyObject *fresh = PyList_New(0);
    if (fresh == nullptr) return nullptr;
    Py_XSETREF(record, fresh);
    update_hooked();
    Py_RETURN_NONE;
}

PyObject *stop(PyObject *, PyObject *) {
    PyObject *result = record != nullptr ? record : PyList_New(0);
    record = nullptr;
    update_hooked();
    return result;
}

PyObject *inject_failure(PyObject *, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    PyObject *name, *exc;
    if (!ks::bind_positional("inject_failure", args, nargsf, kwnames, ks::to_object{&name},
                             ks::to_object{&exc}))
        return nullptr;
    if (!PyUnicode_Check(name)) {
        PyErr_Format(PyExc_TypeError, "name must be str, not %.100s", Py_TYPE(name)->tp_name);
        return nullptr;
    }
    int id = 0;
    while (id < KS_CALL_COUNT && !PyUnicode_EqualToUTF8(name, call_names[id])) id++;
    if (id == KS_CALL_COUNT) {
        PyErr_Format(PyExc_ValueError, "no recorded function is named %R", name);
        return nullptr;
    }
    // None withdraws a pending failure.
    bool is_exception = PyExceptionInstance_Check(exc) || PyExceptionClass_Check(exc);
    if (exc != Py_None && !is_exception) {
        PyErr_Format(PyExc_TypeError, "exception must be an exception class or instance, not %.100s",
                     Py_TYPE(exc)->tp_name);
        return nullptr;
    }
    PyObject *old = pending[id];
    pending[id] = exc == Py_None ? nullptr : Py_NewRef(exc);
    pending_count += (pending[id] != nullptr) - (old != nullptr);
    update_hooked();
    Py_XDECREF(old);
    Py_RETURN_NONE;
}

}  // namespace ks_log
