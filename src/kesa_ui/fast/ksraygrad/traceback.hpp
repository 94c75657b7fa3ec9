// Traceback entries for failing module operations.
#pragma once

#include <Python.h>

namespace ksraygrad {

// Adds a traceback entry named `qualname` at `line` to the pending
// exception, with public calls only. The pending exception is kept even if
// making the entry fails.
void add_traceback(const char *qualname, int line);

}  // namespace ksraygrad

// Adds an entry for the current source line.
#define KS_TRACEBACK(qualname) ::ksraygrad::add_traceback(qualname, __LINE__)
