// Lookups that every render repeats, remembered between calls.
//
// Rendering reads GradientType.Linear and md.rl.WHITE at each call, through
// the module's globals (then the builtins). The answers are kept while
// nothing they were read through can have changed: the dictionaries of the
// module, of the builtins, of md and of md.rl are watched (any change to any
// of them forgets every answer), and GradientType's answer is kept only
// while the version tags of GradientType and of its metaclass are those seen
// when it was read (CPython renews a type's tag whenever the type or a base
// changes). Only answers read straight from those dictionaries are kept:
// Linear from GradientType's own dict and no descriptor, WHITE and rl from
// the dicts of exact modules. A caller cannot tell a kept answer from a
// fresh lookup.
#include "kesa_ui/fast/ksraygrad/state.hpp"

namespace ksraygrad {

namespace {

int watcher = -1;    // our dict watcher, once added
bool stale = false;  // a watched dict changed since the answers were kept

PyObject *linear = nullptr;  // GradientType.Linear
PyObject *kinds = nullptr;   // GradientType, whose version tags it depends on
unsigned int kinds_tag = 0, meta_tag = 0;
PyObject *white = nullptr;   // md.rl.WHITE

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

Ref linear_kind() {
    forget_if_stale();
    if (linear != nullptr) {
        auto *type = reinterpret_cast<PyTypeObject *>(kinds);
        if (type->tp_version_tag == kinds_tag && Py_TYPE(kinds)->tp_version_tag == meta_tag)
            return Ref::new_ref(linear);
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
    if (entry == value.get() && Py_TYPE(entry)->tp_descr_get == nullptr &&
        type->tp_version_tag != 0 && Py_TYPE(type)->tp_version_tag != 0) {
        kinds_tag = type->tp_version_tag;
        meta_tag = Py_TYPE(type)->tp_version_tag;
        kinds = Py_NewRef(holder.get());
        linear = Py_NewRef(value.get());
    }
    return value;
}

Ref rl_white() {
    forget_if_stale();
    if (white != nullptr) return Ref::new_ref(white);
    bool watched = watch_globals();
    Ref md = lookup_global(g.s.md);
    if (!md) return Ref();
    Ref rl = module_entry(md, g.s.rl);
    Ref value = rl ? module_entry(rl, g.s.white) : Ref();
    if (value) {
        if (watched && !stale) white = Py_NewRef(value.get());
        return value;
    }
    // Not straight from module dicts: looked up the usual way, not kept.
    rl = Ref::steal(PyObject_GetAttr(md.get(), g.s.rl));
    return rl ? Ref::steal(PyObject_GetAttr(rl.get(), g.s.white)) : Ref();
}

}  // namespace ksraygrad
