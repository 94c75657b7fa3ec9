"""Fails each allocation of an import in turn, retries the import and renders
a gradient (run as a script by test_load_failures.py).

    python alloc_sweep.py MODULE [DEPENDENCY ...]

The dependencies are imported first, so the sweep covers MODULE's own load.
For each N a forked child makes allocation N of the import fail
(_testcapi.set_nomemory), imports MODULE, and imports it again without the
limit: the retry must succeed. The first attempt may fail with any
exception: MemoryError, or what the code that met one made of it (the enum
module turns some into TypeError).

N runs from the first allocation made once MODULE's shared object is mapped
(before that, importlib's own code fails and the module is untouched) to the
last allocation of the import; both ends are found by bisection with every
allocation from N on failing.

Where the failure reached the module's own initialisation, or was swallowed
so that the first attempt succeeded, a second child repeats the attempt,
opens a window and renders gradients, which must come out right (every
argument passed by keyword, and a pickle round trip on the way). Failures
inside a Python function that the initialisation calls (the enum module,
say) leave the initialisation in the same state whichever allocation of
that call failed, so a run of them renders once. Renders run on every core.

Prints each failing N (at most 20) and a summary; exits 1 if any N failed.
"""

import importlib
import os
import sys

import _testcapi

BEFORE_INIT, IN_NATIVE_CODE, IN_PYTHON_CALL, IMPORTED = 1, 2, 3, 4


def so_mapped(module):
    name = "/" + module.rsplit(".", 1)[1] + "."
    with open("/proc/self/maps") as maps:
        return any(name in line for line in maps)


def render_check():
    """Renders, passing every argument by keyword, and pickles."""
    import pickle

    from kesa_ui.core import GradientType
    from kesa_ui.core.modules import rl
    from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib

    rl.set_trace_log_level(rl.LOG_WARNING)
    rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
    rl.init_window(8, 8, "sweep")
    g = GradientRaylib(colors=[(255, 0, 0, 255)] * 2, type=GradientType.Linear, direction=None,
                       angle=0.0, center=(0.5, 0.5), transparency=255)
    g = pickle.loads(pickle.dumps(g))
    target = g.generate_texture(width=2, height=2)
    c = ClickGradient([(0, 255, 0, 255)] * 2)
    c.set_weight(index=0, weight=2.0)
    c.set_center(center=(0.5, 0.5))
    rl.begin_texture_mode(target.render_texture)
    c.draw(x=0, y=0, width=1, height=2)
    rl.end_texture_mode()
    image = rl.load_image_from_texture(target.render_texture.texture)
    assert rl.get_image_color(image, 0, 1) == (0, 255, 0, 255)
    assert rl.get_image_color(image, 1, 1) == (255, 0, 0, 255)
    rl.close_window()


def attempt(module, n, every_later):
    """Makes allocation N (and, if asked, every later one) fail, imports,
    then imports again without the limit. The kind of failure."""
    _testcapi.set_nomemory(n, 0 if every_later else n + 1)
    try:
        importlib.import_module(module)
        error = None
    except Exception as e:
        error = e
    _testcapi.remove_mem_hooks()
    if error is None:
        return IMPORTED
    tb = error.__traceback__
    while tb is not None and tb.tb_next is not None:
        tb = tb.tb_next
    in_python = tb is not None and not tb.tb_frame.f_code.co_filename.startswith("<frozen")
    kind = BEFORE_INIT
    if so_mapped(module):
        kind = IN_PYTHON_CALL if in_python else IN_NATIVE_CODE
    importlib.import_module(module)
    return kind


def start(module, n, render=False, every_later=False):
    """Forks a child for N; returns (pid, pipe to read its error from)."""
    read, write = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(read)
        try:
            status = attempt(module, n, every_later)
            if render:
                render_check()
        except BaseException as e:  # reported to the parent
            os.write(write, f"{type(e).__name__}: {e}".encode()[:500])
            status = 9
        os._exit(status)
    os.close(write)
    return pid, read


def finish(child):
    """The child's kind, or the text of its failure."""
    pid, read = child
    with os.fdopen(read, "rb") as pipe:
        message = pipe.read().decode()
    _, status = os.waitpid(pid, 0)
    code = os.waitstatus_to_exitcode(status)
    if code in (BEFORE_INIT, IN_NATIVE_CODE, IN_PYTHON_CALL, IMPORTED):
        return code
    return message or f"exit status {code}"


def run(module, n, **kwargs):
    return finish(start(module, n, **kwargs))


def first(condition):
    """The least N >= 1 for which condition(N) holds (it stays true above)."""
    low, high = 0, 1
    while not condition(high):
        low, high = high, high * 2
    while high - low > 1:
        mid = (low + high) // 2
        low, high = (low, mid) if condition(mid) else (mid, high)
    return high


def main():
    module, deps = sys.argv[1], sys.argv[2:]
    for name in ("enum", "pickle", *deps):
        importlib.import_module(name)
    lo = first(lambda n: run(module, n, every_later=True) != BEFORE_INIT)
    hi = first(lambda n: run(module, n, every_later=True) == IMPORTED)

    failures, to_render, previous = [], [], None
    for n in range(lo, hi):
        kind = run(module, n)
        if isinstance(kind, str):
            failures.append(f"{module}: allocation {n}: {kind}")
        elif kind != BEFORE_INIT and not (kind == IN_PYTHON_CALL == previous):
            to_render.append(n)
        previous = kind

    running = []
    for n in to_render:
        running.append((n, start(module, n, render=True)))
        if len(running) >= (os.cpu_count() or 1) or n == to_render[-1]:
            for m, child in running:
                outcome = finish(child)
                if isinstance(outcome, str):
                    failures.append(f"{module}: allocation {m}, then a render: {outcome}")
            running = []

    for line in failures[:20]:
        print(line)
    print(f"{module}: allocations {lo}..{hi - 1} failed in turn, {len(to_render)} renders, "
          f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
