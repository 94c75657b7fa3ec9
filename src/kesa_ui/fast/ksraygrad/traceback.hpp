// Traceback entries for failing module operations.
//
// Every Python entry point of the module (a method, a property's setter, a
// constructor, a module function) is a thin wrapper that returns
// traced(qualname, body(...)): the body reports failure by returning
// nullptr or -1 with the exception set, and the wrapper adds one traceback
// entry named by the operation's qualified name, at the wrapper's own file
// and line. Bodies add no entries of their own, except where an entry must
// name a finer place (tuple_to_vector4's failing component, the failing
// statement of the module load).
#pragma once

#include <Python.h>

#include <source_location>

namespace ksraygrad {

// Adds an entry named `qualname` at `where` to the pending exception, with
// public calls only. The pending exception is kept even if making the entry
// fails.
void add_traceback(const char *qualname,
                   std::source_location where = std::source_location::current());

// The same at an explicit line of the caller's file.
void add_traceback_at(const char *qualname, int line,
                      std::source_location where = std::source_location::current());

inline PyObject *traced(const char *qualname, PyObject *result,
                        std::source_location where = std::source_location::current()) {
    if (result == nullptr) add_traceback(qualname, where);
    return result;
}

inline int traced(const char *qualname, int status,
                  std::source_location where = std::source_location::current()) {
    if (status < 0) add_traceback(qualname, where);
    return status;
}

}  // namespace ksraygrad
