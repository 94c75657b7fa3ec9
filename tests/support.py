"""Helpers shared by the tests."""

import os
import subprocess
import sys
import textwrap


def run_python(code, *, path=(), env=None, check=True):
    """Runs `code` in a fresh interpreter and returns the CompletedProcess.

    `path` entries go first on sys.path (to shadow modules with fakes).
    """
    environ = dict(os.environ)
    environ["PYTHONPATH"] = os.pathsep.join(
        [*map(str, path), *filter(None, [environ.get("PYTHONPATH")])]
    )
    if env:
        environ.update(env)
    proc = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
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
