// Lookups that every render repeats, remembered between calls.
//
// Rendering reads GradientType.Linear and md.rl.WHITE at each call, through
// the module's globals (then the builtins). The answers are kept while
// nothing they were read through can have changed: the dictionaries of the
// module, of the builtins, of md and of md.rl are watched (any change to any
// of them forgets every answer), and GradientType's answer is kept only
// while the version tags of GradientType and of its metaclass are those seen
// when it was read (CPython renews a type's tag whenever the type or a base
// changes). Only answers read straight from those dictionaries are kept,
// and each use checks that they would still be found that way: Linear in
// GradientType's own dict, no descriptor, under type's own attribute
// lookup; WHITE and rl in the dicts of exact modules. A caller cannot tell a
// kept answer from a fresh lookup.
#include "kesa_ui/fast/ksraygrad/state.hpp"

namespace ksraygrad {

namespace {

int watcher = -1;    // our dict watcher, once added
bool stale = false;  // a watched dict changed since the answers were kept

PyObject *linear = nullptr;  // GradientType.Linear
PyObject *kinds = nullptr;   // GradientType, whose version tags it depends on
unsigned int kinds_tag = 0, meta_tag = 0;
PyObject *white = nullptr;   // md.rl.WHITE
PyObject *md = nullptr;      // and the modules it was read through
PyObject *rl = nullptr;

int on_change(PyDict_WatchEvent, PyObject *, PyObject *, PyObject *) {
    // Only a flag: dropping references here could run code in the middle of
    // someone's dict update.
    stale = true;
    return 0;
}

// Watches `dict`; false (no error left set) if that cannot be done.
bool watch(PyObject *dict) {
    if (watcher < 0 && (watcher = PyDict_AddWatcher(on_change)) < 0) {
        PyErr_Clear();
        return false;
    }
    if (PyDict_Watch(watcher, dict) == 0) return true;
    PyErr_Clear();
    return false;
}

void forget_if_stale() {
    if (!stale) return;
    stale = false;
    Py_CLEAR(linear);
    Py_CLEAR(kinds);
    Py_CLEAR(white);
    Py_CLEAR(md);
    Py_CLEAR(rl);
}

bool watch_globals() {
    PyObject *builtins_dict = PyModule_GetDict(g.builtins);  // borrowed
    return watch(g.module_dict) && builtins_dict != nullptr && watch(builtins_dict);
}

// `name` straight from the dict of the exact module `module`, watched, or
// empty: then the attribute is looked up as usual and not kept.
Ref module_entry(Borrowed module, PyObject *name) {
    if (!PyModule_CheckExact(module)) return Ref();
    PyObject *dict = PyModule_GetDict(module);  // borrowed
    PyObject *value = nullptr;
    if (!watch(dict) || PyDict_GetItemRef(dict, name, &value) <= 0) PyErr_Clear();
    return Ref::steal(value);
}

}  // namespace

// Whether GradientType.Linear is found the way it was when it was kept: the
// class and its metaclass unchanged (their version tags), looked up with
// type's own attribute lookup, and the member still no descriptor.
bool linear_still_found() {
    auto *type = reinterpret_cast<PyTypeObject *>(kinds);
    PyTypeObject *meta = Py_TYPE(kinds);
    return type->tp_version_tag == kinds_tag && meta->tp_version_tag == meta_tag &&
           meta->tp_getattro == PyType_Type.tp_getattro && Py_TYPE(linear)->tp_descr_get == nullptr;
}

Ref linear_kind() {
    forget_if_stale();
    if (linear != nullptr) {
        if (linear_still_found()) return Ref::new_ref(linear);
        Py_CLEAR(linear);
        Py_CLEAR(kinds);
    }
    bool watched = watch_globals();
    Ref holder = lookup_global(g.s.GradientType);
    if (!holder) return Ref();
    Ref value = Ref::steal(PyObject_GetAttr(holder.get(), g.s.Linear));
    if (!value || !watched || stale || !PyType_Check(holder.get())) return value;
    // Kept only when it is the class's own entry and no descriptor: then the
    // class's dict, and so its version tag, decides it.
    auto *type = reinterpret_cast<PyTypeObject *>(holder.get());
    Ref dict = Ref::steal(PyType_GetDict(type));
    PyObject *entry = nullptr;
    if (!dict || PyDict_GetItemRef(dict.get(), g.s.Linear, &entry) < 0) PyErr_Clear();
    Ref entry_ref = Ref::steal(entry);
    if (entry == value.get() && type->tp_version_tag != 0 && Py_TYPE(type)->tp_version_tag != 0) {
        kinds_tag = type->tp_version_tag;
        meta_tag = Py_TYPE(type)->tp_version_tag;
        kinds = Py_NewRef(holder.get());
        linear = Py_NewRef(value.get());
        if (!linear_still_found()) {
            Py_CLEAR(linear);
            Py_CLEAR(kinds);
        }
    }
    return value;
}

Ref rl_white() {
    forget_if_stale();
    if (white != nullptr) {
        // Exact modules still (a module's __class__ can be reassigned).
        if (PyModule_CheckExact(md) && PyModule_CheckExact(rl)) return Ref::new_ref(white);
        Py_CLEAR(white);
        Py_CLEAR(md);
        Py_CLEAR(rl);
    }
    bool watched = watch_globals();
    Ref md_now = lookup_global(g.s.md);
    if (!md_now) return Ref();
    Ref rl_now = module_entry(md_now, g.s.rl);
    Ref value = rl_now ? module_entry(rl_now, g.s.white) : Ref();
    if (value) {
        if (watched && !stale) {
            white = Py_NewRef(value.get());
            md = md_now.release();
            rl = rl_now.release();
        }
        return value;
    }
    // Not straight from module dicts: looked up the usual way, not kept.
    rl_now = Ref::steal(PyObject_GetAttr(md_now.get(), g.s.rl));
    return rl_now ? Ref::steal(PyObject_GetAttr(rl_now.get(), g.s.white)) : Ref();
}

}  // namespace ksraygrad
