// Traceback entries named by qualified name: save the pending exception, make
// an empty code object and a frame for it, restore the exception, and let
// PyTraceBack_Here add the frame.
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

#include <frameobject.h>  // PyFrame_New

#include "kesa_ui/fast/ksraygrad/state.hpp"

namespace ksraygrad {

void add_traceback(const char *qualname, int line) {
    PyObject *exc = PyErr_GetRaisedException();
    if (exc == nullptr) return;
    PyCodeObject *code = PyCode_NewEmpty("ksraygrad.cpp", qualname, line);
    PyFrameObject *frame = nullptr;
    if (code != nullptr) {
        PyObject *globals = g.module_dict != nullptr ? g.module_dict : PyDict_New();
        if (globals != nullptr) {
            frame = PyFrame_New(PyThreadState_Get(), code, globals, nullptr);
            if (globals != g.module_dict) Py_DECREF(globals);
        }
        Py_DECREF(code);
    }
    PyErr_Clear();  // a failure to make the entry must not mask `exc`
    PyErr_SetRaisedException(exc);
    if (frame != nullptr) {
        PyTraceBack_Here(frame);
        Py_DECREF(frame);
    }
}

}  // namespace ksraygrad
