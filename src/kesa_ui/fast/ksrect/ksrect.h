// KsRect (kesa_ui.fast.ksrect.ksrect): instance layout and C method table.
#pragma once

#include <Python.h>

struct KsRectObject {
    PyObject_HEAD
    float x;
    float y;
    float w;
    float h;
};

struct KsRectVTable {
    // A new exact KsRect, or nullptr with an exception set.
    PyObject *(*new_)(float x, float y, float w, float h);
};
