"""A pytest plugin that hunts reference leaks, like CPython's `-R` option.

Load it with `-p refleaks` under a debug interpreter (python3.14-dbg, which
has sys.gettotalrefcount). Each test body runs WARMUP times, then ROUNDS more
times with the interpreter's total reference count taken after each; a test
whose count grows in every measured round fails as leaking.

It also checks that every kesa_ui extension module in the process is a debug
build: a debug interpreter loads release builds silently, and their own
reference changes would then go uncounted.
"""

import gc
import sys

import pytest

WARMUP, ROUNDS = 8, 4


def pytest_configure(config):
    if not hasattr(sys, "gettotalrefcount"):
        raise pytest.UsageError("the refleaks plugin needs a debug build of Python")


def _check_debug_extensions():
    for name, module in list(sys.modules.items()):
        path = getattr(module, "__file__", None) or ""
        if name.startswith("kesa_ui") and path.endswith(".so") and "-314d-" not in path:
            pytest.fail(f"{name} is not a debug build: {path}")


@pytest.hookimpl(tryfirst=True)
def pytest_runtest_call(item):
    if item.get_closest_marker("no_refleak_check"):
        return None
    for _ in range(WARMUP):
        item.runtest()
    deltas = []
    gc.collect()
    before = sys.gettotalrefcount()
    for _ in range(ROUNDS):
        item.runtest()
        gc.collect()
        after = sys.gettotalrefcount()
        deltas.append(after - before)
        before = after
    _check_debug_extensions()
    if all(d > 0 for d in deltas):
        pytest.fail(f"reference leak: total refcount grew by {deltas} per round")
    return None
