"""The interactive demo, driven with synthetic input (xdotool, XTEST) on the
test display: a click moves the centre, the wheel reweights the band under
the pointer."""

import os
import subprocess
import sys
import time

import pytest

from kesa_ui.demo.interactive import TITLE, band_under

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True,
                          text=True, timeout=20).stdout


def test_band_under_the_pointer():
    weights, size = [1.0, 1.0, 2.0], (100.0, 100.0)
    assert band_under(weights, (0.0, 0.0), size, (0, 0)) == 0
    assert band_under(weights, (0.0, 0.0), size, (100, 100)) == 2
    assert band_under(weights, (0.0, 0.0), size, (50, 0)) == 1  # t = 0.5 / sqrt(2)
    assert band_under([0.0, 0.0], (0.5, 0.5), size, (0, 0)) == 0


def test_click_and_wheel_drive_the_gradient():
    proc = subprocess.Popen(
        [sys.executable, "-m", "kesa_ui.demo", "--interactive", "--frames", "300"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=dict(os.environ))
    try:
        window = xdotool("search", "--sync", "--name", TITLE).split()[0]
        assert proc.stdout.readline().strip() == "ready"
        time.sleep(0.2)
        # A click as a person makes it: press, a moment, release.
        xdotool("mousemove", "--window", window, 120, 80, "mousedown", 1, "sleep", 0.1,
                "mouseup", 1)
        time.sleep(0.2)
        xdotool("click", 4)  # wheel up over the centre: the first band
        time.sleep(0.2)
        xdotool("mousemove", "--window", window, 470, 310, "click", 5)  # far corner: last band
        out, err = proc.communicate(timeout=30)
    finally:
        proc.kill()
    assert proc.returncode == 0, err
    assert out.splitlines() == ["center 0.250 0.250", "weight 0 1.250", "weight 4 0.800"]
