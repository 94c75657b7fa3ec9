"""A pytest plugin that hunts reference leaks, like CPython's `-R` option.

Load it with `-p refleaks` under a debug interpreter (python3.14-dbg, which
has sys.gettotalrefcount). Each test body runs WARMUP times, then ROUNDS
rounds of BATCH runs each, with the interpreter's total reference count
taken after every round. A leak grows the count by at least one per run, in
every round; the interpreter's own warm-up (bytecode specialising after
dozens of runs, caches filling) adds a little early on and then stops, so a
test fails only when every round grew by at least BATCH.

It also checks that every kesa_ui extension module in the process is a debug
build: a debug interpreter loads release builds silently, and their own
reference changes would then go uncounted.
"""

import gc
import sys

import pytest

WARMUP, ROUNDS, BATCH = 60, 3, 10


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
    # Tests that run their code in a subprocess leak nothing here to count,
    # and a hypothesis test draws new inputs on every run, so its rounds are
    # not comparable.
    names = set(item.function.__code__.co_names)
    if {"run_python", "subprocess"} & names or getattr(item.obj, "is_hypothesis_test", False):
        return
    for _ in range(WARMUP):
        item.runtest()
    deltas = [0] * ROUNDS
    gc.collect()
    before = sys.gettotalrefcount()
    for i in range(ROUNDS):
        for _ in range(BATCH):
            item.runtest()
        gc.collect()
        deltas[i] = sys.gettotalrefcount() - before
        before += deltas[i]
    _check_debug_extensions()
    if all(d >= BATCH for d in deltas):
        pytest.fail(f"reference leak: total refcount grew by {deltas} per {BATCH} runs")
