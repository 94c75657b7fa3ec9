// Traceback entries named by qualified name: save the pending exception, make
// an empty code object and a frame for it, restore the exception, and let
// PyTraceBack_Here add the frame. The entry names the source file from the
// package root on (kesa_ui/fast/ksraygrad/...), so it reads the same in
// every build tree.
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

#include <frameobject.h>  // PyFrame_New

#include <cstring>

#include "kesa_ui/fast/ksraygrad/state.hpp"

namespace ksraygrad {

namespace {

const char *package_path(const char *file) {
    const char *from = std::strstr(file, "kesa_ui/");
    return from != nullptr ? from : file;
}

void add_entry(const char *qualname, const char *file, int line) {
    PyObject *exc = PyErr_GetRaisedException();
    if (exc == nullptr) return;
    PyCodeObject *code = PyCode_NewEmpty(package_path(file), qualname, line);
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

}  // namespace

void add_traceback(const char *qualname, std::source_location where) {
    add_entry(qualname, where.file_name(), static_cast<int>(where.line()));
}

void add_traceback_at(const char *qualname, int line, std::source_location where) {
    add_entry(qualname, where.file_name(), line);
}

}  // namespace ksraygrad
