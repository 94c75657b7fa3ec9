"""Helpers shared by the tests."""

import os
import subprocess
import sys
import textwrap


# Prepended to a subprocess's code by run_python(..., window=True): rl, and
# open_window(), which opens a hidden window like the suite's own.
WINDOW_PRELUDE = """
from kesa_ui.core.modules import rl
def open_window():
    rl.set_trace_log_level(rl.LOG_WARNING)
    rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
    rl.init_window(32, 32, "t")
"""


def run_python(code, *, path=(), env=None, check=True, window=False):
    """Runs `code` in a fresh interpreter and returns the CompletedProcess.

    `path` entries go first on sys.path (to shadow modules with fakes).
    """
    code = textwrap.dedent(code)
    if window:
        code = WINDOW_PRELUDE + code
    environ = dict(os.environ)
    environ["PYTHONPATH"] = os.pathsep.join(
        [*map(str, path), *filter(None, [environ.get("PYTHONPATH")])]
    )
    if env:
        environ.update(env)
    proc = subprocess.run(
        [sys.executable, "-c", code],
        capture_output=True,
        text=True,
        env=environ,
        timeout=120,
    )
    if check and proc.returncode != 0:
        raise AssertionError(
            f"subprocess failed ({proc.returncode}):\n{proc.stdout}\n{proc.stderr}"
        )
    return proc
