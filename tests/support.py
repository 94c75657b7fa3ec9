"""Helpers shared by the tests: colours, float32 rounding, a gradient's pickle
state, pixel read-back, the raylib wrapper's call log and a valid call of each
of its functions, and fresh interpreters (with or without a window of their
own)."""

import contextlib
import math
import os
import struct
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.fast.raylib import kesa_raylib

RED, GREEN, BLUE = (255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255)
WHITE, BLACK = (255, 255, 255, 255), (0, 0, 0, 255)

# Why the tests of the platform layer's C interfaces are skipped when the
# probe extension is not on the path (conftest puts KS_TEST_EXT_DIR there).
PROBE_MISSING = ("the C interface probe (tests/ext) is not built: build it and set "
                 "KS_TEST_EXT_DIR to its directory (README: running the suite against an "
                 "installed package)")

# A test parametrised over both gradient classes.
BOTH = pytest.mark.parametrize("cls", [GradientRaylib, ClickGradient])

# The gradient shader's uniforms, in the order the module looks them up.
UNIFORMS = ["gradientType", "angle", "centerPos", "colors", "stops", "colorCount", "alpha",
            "size"]


def f32(x):
    """x rounded to the nearest 32-bit float (an infinity beyond the range)."""
    try:
        return struct.unpack("f", struct.pack("f", x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def state(g):
    """A gradient's pickle state: (angle, center, colors, stops, transparency,
    raw_colors, type), then ClickGradient's weights and a subclass's __dict__."""
    return g.__reduce_cython__()[-1]


def colors(g):
    """The converted colours, as (x, y, z, w) tuples."""
    return [(c["x"], c["y"], c["z"], c["w"]) for c in state(g)[2]]


def stops(g):
    return state(g)[3]


def read_back(target):
    """A KsRenderTexture's pixels as rows of RGBA tuples, top row first
    (render textures are stored bottom-up)."""
    img = rl.load_image_from_texture(target.render_texture.texture)
    rl.image_flip_vertical(img)
    return [[rl.get_image_color(img, x, y) for x in range(img.width)] for y in range(img.height)]


def colours_in(target):
    """The set of colours a KsRenderTexture holds."""
    return {c for row in read_back(target) for c in row}


@contextlib.contextmanager
def call_log():
    """Yields a list that receives, when the block ends (even by an
    exception), the wrapper's calls made inside it: (name, args) pairs."""
    calls = []
    kesa_raylib.start_call_log()
    try:
        yield calls
    finally:
        calls.extend(kesa_raylib.stop_call_log())


def names(calls):
    return [name for name, _ in calls]


@contextlib.contextmanager
def gradient_modes(target, shader):
    """The modes a gradient renders in: `target`, premultiplied alpha,
    `shader` (entered through the capi_probe test extension)."""
    probe = pytest.importorskip("capi_probe", reason=PROBE_MISSING)
    probe.begin_texture_mode(target.render_texture)
    probe.begin_blend_mode(int(rl.BLEND_ALPHA_PREMULTIPLY))
    assert probe.begin_ksshader_mode(shader) is None
    try:
        yield
    finally:
        probe.end_shader_mode()
        probe.end_blend_mode()
        probe.end_texture_mode()


def uniform_locations(shader):
    """{uniform name: location} in `shader`, a KsShader built from the
    gradient shader's source (read through the capi_probe test extension)."""
    capi_probe = pytest.importorskip("capi_probe", reason=PROBE_MISSING)

    return {name: capi_probe.get_ksshader_location(shader, name) for name in UNIFORMS}


def wrapper_calls(probe, shader, texture, target):
    """{name in the call log: a valid call} for each of the raylib wrapper's
    functions, called through the capi_probe module `probe`."""
    return {
        "begin_ksshader_mode": lambda: probe.begin_ksshader_mode(shader),
        "get_ksshader_location": lambda: probe.get_ksshader_location(shader, "angle"),
        "draw_texture_pro": lambda: probe.draw_texture_pro(
            texture, (0, 0, 1, 1), (0, 0, 1, 1), (0, 0), 0, WHITE),
        "begin_texture_mode": lambda: probe.begin_texture_mode(target.render_texture),
        "end_blend_mode": probe.end_blend_mode,
        "end_shader_mode": probe.end_shader_mode,
        "end_texture_mode": probe.end_texture_mode,
        "begin_blend_mode": lambda: probe.begin_blend_mode(0),
        "set_ksshader_value_vec2_tuple": lambda: probe.set_ksshader_value_vec2_tuple(
            shader, 0, (1, 2)),
        "set_ksshader_value_float": lambda: probe.set_ksshader_value_float(shader, 1, 1.0),
        "set_ksshader_value_int": lambda: probe.set_ksshader_value_int(shader, 2, 1),
        "set_ksshader_value_vec4_v": lambda: probe.set_ksshader_value_vec4_v(
            shader, 3, [(1, 1, 1, 1)]),
        "set_ksshader_value_float_v": lambda: probe.set_ksshader_value_float_v(shader, 4, [1.0]),
        "set_ksshader_value_vec2_ksvec": lambda: probe.set_ksshader_value_vec2_ksvec(
            shader, 5, KsVector2()),
        "c_fast_clear": lambda: probe.fast_clear(target, (0, 0, 0, 0)),
    }


def open_window(size=32, title="kesa_ui tests", log_level=rl.LOG_WARNING):
    """Opens a hidden window, as the suite does for itself."""
    rl.set_trace_log_level(log_level)
    rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
    rl.init_window(size, size, title)


TESTS = Path(__file__).resolve().parent

# Prepended to a subprocess's code by run_python(..., window=True), with this
# directory on its path (so the code may import more from here): rl,
# open_window() and read_back().
WINDOW_PRELUDE = "from support import open_window, read_back, rl\n"


def run_python(code, *, path=(), env=None, check=True, window=False):
    """Runs `code` in a fresh interpreter and returns the CompletedProcess.

    `path` entries go first on sys.path (to shadow modules with fakes).
    """
    code = textwrap.dedent(code)
    if window:
        code = WINDOW_PRELUDE + code
        path = [*path, TESTS]
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
