"""Test-suite setup: one hidden raylib window for the whole session.

Building any gradient compiles the shared shader, and every GPU call needs a
GL context, so the window is opened once, before the first test, and closed
at the end. Tests that need *no* window run their code in a subprocess (see
support.run_python).
"""

import pytest

from kesa_ui.core.modules import rl


@pytest.fixture(scope="session", autouse=True)
def window():
    rl.set_trace_log_level(rl.LOG_WARNING)
    rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
    rl.init_window(64, 64, "kesa_ui tests")
    yield
    rl.close_window()
