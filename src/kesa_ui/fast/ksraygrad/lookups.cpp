// md.rl.WHITE, kept between draws.
//
// Every draw reads md.rl.WHITE through the module's globals. The answer is
// kept (g.tint) only when the whole lookup was plain dict reads: md from
// the globals' dict, or from the builtins' dict with the builtins an exact
// module; rl and WHITE from the dicts of md and rl, both exact modules. Those
// dicts are watched, and any change to any of them marks the answer stale.
// A lookup that went through a module's __getattr__, a changed module class
// or anything but a module is made afresh at every draw. So a kept answer is
// always the one a fresh lookup would give.
#include "kesa_ui/fast/ksraygrad/lookups.hpp"

#include <utility>

#include "kesa_ui/fast/ksraygrad/state.hpp"

namespace ksraygrad {

namespace {

auto &tint = g.tint;

int on_change(PyDict_WatchEvent, PyObject *, PyObject *, PyObject *) {
    // Only a flag: releasing references here could run code in the middle
    // of someone's dict update.
    tint.stale = true;
    return 0;
}

// Watches `dict`; false (no error left set) if that cannot be done.
bool watch(PyObject *dict) {
    if (tint.watcher < 0 && (tint.watcher = PyDict_AddWatcher(on_change)) < 0) {
        PyErr_Clear();
        return false;
    }
    if (PyDict_Watch(tint.watcher, dict) == 0) return true;
    PyErr_Clear();
    return false;
}

// Drops the kept answer. The references are taken out before any is
// released: a release may run code (a finaliser that draws, say), which then
// finds nothing kept and may keep an answer of its own.
void forget() {
    Ref white = Ref::steal(std::exchange(tint.white, nullptr));
    Ref md = Ref::steal(std::exchange(tint.md, nullptr));
    Ref rl = Ref::steal(std::exchange(tint.rl, nullptr));
    tint.stale = false;
}

bool still_found() {
    return PyModule_CheckExact(tint.md) && PyModule_CheckExact(tint.rl) &&
           (!tint.md_from_builtins || PyModule_CheckExact(g.builtins));
}

// Whether `dict[key]` is `value`, and `dict` is now watched.
bool watched_entry(PyObject *dict, PyObject *key, PyObject *value) {
    PyObject *entry = nullptr;
    int found = PyDict_GetItemRef(dict, key, &entry);
    Py_XDECREF(entry);  // only its identity is compared
    if (found < 0) PyErr_Clear();
    return found > 0 && entry == value && watch(dict);
}

// Keeps the answer of a lookup that just succeeded, if each of its steps
// was a plain read of a dict that is watched now, and nothing they watch
// changed while it ran.
void keep(const Ref &md, const Ref &rl, const Ref &white) {
    if (tint.white != nullptr || !PyModule_CheckExact(md.get()) || !PyModule_CheckExact(rl.get()))
        return;
    int in_globals = PyDict_Contains(g.module_dict, g.s.md);
    if (in_globals < 0) {
        PyErr_Clear();
        return;
    }
    bool from_builtins = in_globals == 0;
    PyObject *holder = from_builtins ? PyModule_GetDict(g.builtins) : g.module_dict;
    if ((from_builtins && !PyModule_CheckExact(g.builtins)) ||
        !watched_entry(holder, g.s.md, md.get()) ||
        !watched_entry(PyModule_GetDict(md.get()), g.s.rl, rl.get()) ||
        !watched_entry(PyModule_GetDict(rl.get()), g.s.white, white.get()) || tint.stale ||
        tint.white != nullptr)  // (a key's __eq__ in those dicts may have drawn meanwhile)
        return;
    tint.white = Py_NewRef(white.get());
    tint.md = Py_NewRef(md.get());
    tint.rl = Py_NewRef(rl.get());
    tint.md_from_builtins = from_builtins;
}

}  // namespace

Ref rl_white() {
    if (tint.stale) forget();
    if (tint.white != nullptr) {
        if (still_found()) [[likely]]
            return Ref::new_ref(tint.white);
        forget();
    }
    // Watched before the lookup, so that a change while it runs (it may
    // run code) leaves its answer unkept.
    bool watched = watch(g.module_dict) && watch(PyModule_GetDict(g.builtins));
    Ref md = lookup_global(g.s.md);
    if (!md) return Ref();
    Ref rl = Ref::steal(PyObject_GetAttr(md.get(), g.s.rl));
    if (!rl) return Ref();
    Ref white = Ref::steal(PyObject_GetAttr(rl.get(), g.s.white));
    if (white && watched) keep(md, rl, white);
    return white;
}

}  // namespace ksraygrad
