// KsVector2 (kesa_ui.fast.ksvector2.ksvector2): instance layout and C method
// table. Shared by the type itself and by every module that binds it; the
// binding compares the type's instance size with sizeof(KsVector2Object).
#pragma once

#include <Python.h>

struct KsVector2Data {
    double x;
    double y;
};

struct KsVector2Object {
    PyObject_HEAD
    KsVector2Data data;
};

// Published as an unnamed capsule under __pyx_vtable__ in the type's dict.
struct KsVector2VTable {
    // A new exact KsVector2, or nullptr with an exception set.
    PyObject *(*new_)(double x, double y);
};
