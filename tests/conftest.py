"""Test-suite setup: one hidden raylib window for the whole session.

Building any gradient compiles the shared shader, and every GPU call needs a
GL context, so the window is opened once, before the first test, and closed
at the end. Tests that need *no* window run their code in a subprocess (see
support.run_python).
"""

import os
import sys
from pathlib import Path

import pytest

from kesa_ui.core.modules import rl
from support import open_window

# Test-only extensions (tests/ext) are built into the build tree, not into
# the package: KS_TEST_EXT_DIR names their directory (make test-asan points
# it at the sanitizer build's); by default, the in-place build's.
sys.path.insert(
    0,
    os.environ.get(
        "KS_TEST_EXT_DIR",
        str(Path(__file__).resolve().parent.parent / "build" / "inplace" / "tests-ext"),
    ),
)


# When the suite tests an installed copy (make test-wheel, make test-asan),
# KS_EXPECT_PACKAGE_IN names the directory the package must come from, so a
# stray source tree on sys.path cannot stand in for it.
_expected = os.environ.get("KS_EXPECT_PACKAGE_IN")
if _expected:
    import kesa_ui.fast.ksraygrad.ksraygrad as _module

    if not Path(_module.__file__).resolve().is_relative_to(Path(_expected).resolve()):
        raise pytest.UsageError(f"testing {_module.__file__}, not the copy in {_expected}")


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "backends: also run against raylib's other GL backends (make test-backends)")
    config.addinivalue_line("markers", "css: compared with Chromium's pictures (make test-css)")


@pytest.fixture
def no_leak_hunt(request):
    # numpy and pygame are release builds: under the debug interpreter of the
    # leak hunt their reference changes are half counted, so totals drift.
    if request.config.pluginmanager.has_plugin("refleaks"):
        pytest.skip("numpy's reference counts are invisible to a debug interpreter")


@pytest.fixture(scope="session", autouse=True)
def window():
    open_window(64)
    yield
    rl.close_window()
