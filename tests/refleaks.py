"""A pytest plugin that hunts reference leaks, like CPython's `-R` option.

Load it with `-p refleaks` under a debug interpreter (python3.14-dbg, which
has sys.gettotalrefcount). Each test body runs WARMUP times, then ROUNDS
rounds of BATCH runs each, with the interpreter's total reference count
taken after every round. A test fails when every round grew by at least
PER_RUN references per run. The interpreter's own warm-up (bytecode
specialising after dozens of runs, caches filling) adds a little early on,
and pytest's own bookkeeping around a test adds up to about two per run for
some tests (the same test bodies repeated outside pytest grow by under 0.2
per run), hence a threshold of three: a leak in the module's operations,
which tests call many times per run, stays far above it (an injected
one-reference leak in a getter grew the count by 5 to 6 per run).

It also checks that every kesa_ui extension module in the process is a debug
build: a debug interpreter loads release builds silently, and their own
reference changes would then go uncounted.
"""

import gc
import sys

import pytest

WARMUP, ROUNDS, BATCH, PER_RUN = 60, 3, 10, 3


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
    # A test that is itself a leak loop sets `refleak_rounds = False`.
    names = set(item.function.__code__.co_names)
    if ({"run_python", "subprocess"} & names or getattr(item.obj, "is_hypothesis_test", False)
            or not getattr(item.function, "refleak_rounds", True)):
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
    if all(d >= PER_RUN * BATCH for d in deltas):
        pytest.fail(f"reference leak: total refcount grew by {deltas} per {BATCH} runs")
