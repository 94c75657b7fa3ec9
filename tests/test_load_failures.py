"""Every module's load survives an allocation failure at any point: the
import fails (or copes), a retry succeeds, and gradients render. See
alloc_sweep.py for how each allocation is failed in turn."""

import subprocess
import sys
from pathlib import Path

import pytest

pytest.importorskip("_testcapi", reason="needs _testcapi (Debian: libpython3.14-testsuite)")

SWEEP = Path(__file__).with_name("alloc_sweep.py")
RL, VEC, RECT = "kesa_ui.core.rl", "kesa_ui.fast.ksvector2.ksvector2", "kesa_ui.fast.ksrect.ksrect"
SHADER, WRAPPER = "kesa_ui.fast.ksshader.ksshader", "kesa_ui.fast.raylib.kesa_raylib"
TARGET = "kesa_ui.fast.ksrendertex.ks_render_tex"
GRADIENTS = "kesa_ui.fast.ksraygrad.ksraygrad"
PYTHON_NAMES = ["kesa_ui.core.modules", "kesa_ui.fast.GradientShader",
                "kesa_ui.rendering.pygame.gradient"]

# Each module after what it imports, so the sweep covers its own load only.
SWEEPS = [
    [RL],
    [GRADIENTS, RL, VEC, RECT, SHADER, WRAPPER, TARGET, *PYTHON_NAMES],
    [VEC, RL],
    [RECT, RL],
    [SHADER, RL],
    [WRAPPER, RL, SHADER, VEC],
    [TARGET, RL, SHADER, VEC, WRAPPER],
]


@pytest.fixture(autouse=True)
def no_leak_hunt(request):
    if request.config.pluginmanager.has_plugin("refleaks"):
        pytest.skip("one run forks thousands of children; nothing to repeat")


def test_each_load_retries_after_any_failed_allocation():
    # Two sweeps at a time: each runs its children one after another.
    pending, running, reports = list(SWEEPS), [], []
    while pending or running:
        while pending and len(running) < 2:
            argv = [sys.executable, str(SWEEP), *pending.pop(0)]
            running.append(subprocess.Popen(argv, stdout=subprocess.PIPE,
                                            stderr=subprocess.STDOUT, text=True))
        proc = running.pop(0)
        out, _ = proc.communicate(timeout=900)
        reports.append((proc.returncode, out))
    failed = [out for code, out in reports if code != 0]
    assert not failed, "\n".join(failed)
    assert len(reports) == len(SWEEPS) and all("0 failures" in out for _, out in reports)
