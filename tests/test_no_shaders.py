"""A raylib built without programmable shaders (its software renderer, or
GL 1.1): gradients are refused with a reason that points to the CPU
renderer. make test-backends runs this against those builds; Debian's own
raylib has shaders, so the normal suite skips it."""

import pytest

from kesa_ui.core.modules import rl
from support import run_python


@pytest.mark.skipif(rl.GL_BACKENDS.get(rl.rl_get_version(), ("", True))[1],
                    reason="this raylib has programmable shaders")
def test_gradients_without_shaders_are_refused_and_name_the_cpu_renderer():
    proc = run_python(
        """
        from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
        open_window()
        for cls in (GradientRaylib, ClickGradient):
            try:
                cls([(255, 0, 0, 255), (0, 0, 255, 255)])
            except RuntimeError as e:
                print("refused:", e)
            else:
                print("built")
        """,
        window=True,
    )
    # raylib's software renderer prints to stdout too.
    outcomes = [line for line in proc.stdout.splitlines() if line.startswith(("refused:", "built"))]
    assert len(outcomes) == 2, proc.stdout
    for outcome in outcomes:
        assert "programmable shaders" in outcome and "GradientPygame" in outcome, outcome
