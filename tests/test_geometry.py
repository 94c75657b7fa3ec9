"""The richer gradients' geometry (kesa_ui.rendering.pygame.geometry) against
figures worked out by hand from CSS Images 4's and SVG's definitions."""

import math

import numpy as np
import pytest

from kesa_ui.rendering.pygame.geometry import (
    FOCAL_LIMIT, ending_radii, fixed_positions, focal_coordinates, focal_inside, positions, spread)

R2 = math.sqrt(2.0)


# A 200x100 box with its centre at (50, 25): the sides lie 50 and 150 away
# across, 25 and 75 away down.
@pytest.mark.parametrize("shape, extent, radii", [
    ("circle", "closest-side", (25, 25)),
    ("circle", "farthest-side", (150, 150)),
    ("circle", "closest-corner", (math.hypot(50, 25),) * 2),
    ("circle", "farthest-corner", (math.hypot(150, 75),) * 2),
    ("circle", 0.25, (50, 50)),
    ("ellipse", "closest-side", (50, 25)),
    ("ellipse", "farthest-side", (150, 75)),
    ("ellipse", "closest-corner", (50 * R2, 25 * R2)),  # the side ellipse's aspect
    ("ellipse", "farthest-corner", (150 * R2, 75 * R2)),
    ("ellipse", (0.1, 0.2), (20, 20)),
])
def test_ending_radii_follow_css(shape, extent, radii):
    assert ending_radii(shape, extent, 50, 25, 200, 100) == pytest.approx(radii)


def test_positions_of_each_kind():
    # Linear, to the right: the gradient line spans the width.
    assert positions("linear", 4, 2)[1].tolist() == [0.125, 0.375, 0.625, 0.875]
    # Linear at 33 degrees: the gradient line's ends touch opposite corners,
    # so the corner pixels lie half a pixel's projection inside 0 and 1.
    w, h, a = 64, 32, math.radians(33)
    t = positions("linear", w, h, angle=33)
    inset = 0.5 * (math.cos(a) + math.sin(a)) / (w * math.cos(a) + h * math.sin(a))
    assert t[0, 0] == pytest.approx(inset) and t[-1, -1] == pytest.approx(1 - inset)
    # A circle to the farthest corner of a 10x10 box: distance over the half diagonal.
    t = positions("radial", 10, 10)
    assert t[5, 9] == pytest.approx(math.hypot(4.5, 0.5) / math.hypot(5, 5))
    # Conic from 90 degrees (straight down): down is 0, left a quarter turn on.
    t = positions("conic", 11, 11, angle=90)
    assert t[10, 5] == 0.0 and t[5, 0] == pytest.approx(0.25) and t[5, 10] == 0.75
    # A zero radius puts every pixel beyond the last stop.
    assert np.isinf(positions("radial", 4, 4, extent=0.0)).all()


def test_focal_positions_grow_linearly_from_the_focal_point():
    # A circle of radius 4.5 about (5.5, 5.5) in an 11x11 box, focal at (3.5, 5.5):
    # along the row through both, t runs from 0 at the focal point to 1 where
    # the row meets the circle (x = 10).
    t = positions("radial", 11, 11, extent=4.5 / 11, focal=(3.5 / 11, 0.5))
    row = t[5, 3:]
    assert row == pytest.approx((np.arange(3, 11) + 0.5 - 3.5) / (10 - 3.5))
    # The focal point at the centre is the plain radial gradient.
    plain = positions("radial", 11, 11, shape="ellipse", extent="closest-corner")
    same = positions("radial", 11, 11, shape="ellipse", extent="closest-corner", focal=(0.5, 0.5))
    assert same == pytest.approx(plain)


@pytest.mark.parametrize("focal, moved", [
    ((0.5, 0.25), (0.5, 0.25)),                       # inside: kept
    ((2.0, 0.0), (FOCAL_LIMIT, 0.0)),                 # beyond: onto the line, just inside
    ((0.0, -1.0), (0.0, -FOCAL_LIMIT)),               # on the shape: just inside
])
def test_focal_point_is_moved_just_inside_the_ending_shape(focal, moved):
    # An ellipse of radii (2, 4) about (10, 20), the focal point given in its
    # own coordinates.
    fx, fy = 10 + 2 * focal[0], 20 + 4 * focal[1]
    assert focal_inside(fx, fy, 10, 20, 2, 4) == pytest.approx((10 + 2 * moved[0], 20 + 4 * moved[1]))


@pytest.mark.parametrize("mode, first, last, expected", [
    ("pad", 0.0, 1.0, [-0.25, 0.5, 1.25, 2.75, math.inf]),
    ("repeat", 0.0, 1.0, [0.75, 0.5, 0.25, 0.75, math.nan]),
    ("reflect", 0.0, 1.0, [0.25, 0.5, 0.75, 0.75, math.nan]),
    ("repeat", 0.5, 1.0, [0.75, 0.5, 0.75, 0.75, math.nan]),
    ("repeat", 0.5, 0.5, [math.nan] * 5),  # a period of zero length: the average colour
])
def test_spread(mode, first, last, expected):
    t = np.array([-0.25, 0.5, 1.25, 2.75, math.inf])
    assert spread(t, mode, first, last) == pytest.approx(np.array(expected), nan_ok=True)


def test_stop_positions_out_of_order_move_up():
    assert fixed_positions([0, 0.5, 0.2, 1, 0.9, -3]) == [0, 0.5, 0.5, 1, 1, 1]


def test_shading_mixes_premultiplied_and_a_zero_period_takes_the_average():
    from kesa_ui.rendering.pygame.gradient import shade_positions

    colours = [(1.0, 0.0, 0.0, 1.0), (0.0, 1.0, 0.0, 1.0), (0.0, 0.0, 1.0, 0.0)]
    t = np.array([0.0, 0.25, 0.75, math.nan])
    out = shade_positions(t, colours, [0.0, 0.5, 1.0])
    assert out[:3] == pytest.approx(np.array([
        [1.0, 0.0, 0.0, 1.0],
        [0.5, 0.5, 0.0, 1.0],
        [0.0, 1.0, 0.0, 0.5],   # half way to transparent: still green
    ]))
    # The average with equal spans: red / 4 + green / 2, alpha 3/4, unpremultiplied.
    assert out[3] == pytest.approx([1 / 3, 2 / 3, 0.0, 0.75])


# --- the GPU shader against the CPU ----------------------------------------------

THREE = [(1.0, 0.0, 0.0, 1.0), (0.0, 0.8, 0.0, 0.5), (0.0, 0.0, 1.0, 1.0)]


@pytest.mark.backends
@pytest.mark.parametrize("geometry, spread_mode, given", [
    (dict(kind="linear", angle=33), "pad", [0.0, 0.4, 1.0]),
    (dict(kind="linear", angle=200), "reflect", [0.1, 0.2, 0.35]),
    (dict(kind="conic", angle=30, center=(0.3, 0.6)), "repeat", [0.0, 0.1, 0.3]),
    (dict(kind="radial", shape="ellipse", extent="closest-corner", center=(0.3, 0.4)), "pad",
     [-0.2, 0.5, 1.3]),
    (dict(kind="radial", extent="farthest-side", center=(0.7, 0.2),
          focal=(0.5, 0.5)), "repeat", [0.0, 0.3, 0.5]),
    (dict(kind="radial", shape="ellipse", extent=(0.4, 0.3), focal=(0.9, 0.1)), "reflect",
     [0.0, 0.5, 0.8]),
    (dict(kind="radial", extent=0.0), "pad", [0.0, 0.5, 1.0]),     # the last colour
    (dict(kind="radial", shape="ellipse", extent=(0.3, 0.0), focal=(0.2, 0.5)), "repeat",
     [0.0, 0.5, 1.0]),                                               # the average colour
    (dict(kind="linear"), "repeat", [0.5, 0.5, 0.5]),             # the average colour
])
def test_the_shader_draws_what_the_cpu_computes(geometry, spread_mode, given):
    from kesa_ui.core.modules import rl
    from kesa_ui.fast import GeometryShader
    from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
    from kesa_ui.fast.ksshader.ksshader import KsShader
    from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
    from kesa_ui.rendering.pygame.geometry import EXTENTS
    from kesa_ui.rendering.pygame.gradient import _Ramp, shade_positions
    from support import PROBE_MISSING, gradient_modes, read_back

    probe = pytest.importorskip("capi_probe", reason=PROBE_MISSING)
    w, h = 24, 16
    stops = fixed_positions(given)
    t = spread(positions(w=w, h=h, **geometry), spread_mode, stops[0], stops[-1])
    want = np.floor(shade_positions(t, THREE, stops) * 255.0 + 0.5)
    # What the CPU works out for the shader: the radii and the focal point.
    cx, cy = (c * n for c, n in zip(geometry.get("center", (0.5, 0.5)), (w, h)))
    rx, ry = ending_radii(geometry.get("shape", "circle"), geometry.get("extent", EXTENTS[3]),
                          cx, cy, w, h)
    focal = geometry.get("focal")
    shaped = rx > 0 and ry > 0
    fx, fy = (cx, cy) if focal is None or not shaped else focal_inside(
        focal[0] * w, focal[1] * h, cx, cy, rx, ry)
    g = focal_coordinates(fx, fy, cx, cy, rx, ry) if shaped else (0.0, 0.0, 1.0)
    shader = KsShader.create_from_code(None, GeometryShader.fragment_shader(rl.rl_get_version(), 4))
    loc = lambda name: probe.get_ksshader_location(shader, name)  # noqa: E731
    probe.set_ksshader_value_int(shader, loc("kind"), ("linear", "radial", "conic").index(geometry["kind"]))
    probe.set_ksshader_value_float(shader, loc("angle"), float(geometry.get("angle", 0.0)))
    probe.set_ksshader_value_vec2_tuple(shader, loc("centerPos"), (cx / w, cy / h))
    probe.set_ksshader_value_vec2_tuple(shader, loc("radii"), (rx, ry))
    probe.set_ksshader_value_vec4_v(shader, loc("focal"), [(*g, 0.0)])
    probe.set_ksshader_value_int(shader, loc("spreadMode"), ("pad", "repeat", "reflect").index(spread_mode))
    probe.set_ksshader_value_vec2_tuple(shader, loc("period"), (stops[0], stops[-1]))
    probe.set_ksshader_value_vec4_v(shader, loc("average"),
                                    [tuple(_Ramp(THREE, stops).average().tolist())])
    probe.set_ksshader_value_vec4_v(shader, loc("colors"), THREE)
    probe.set_ksshader_value_float_v(shader, loc("stops"), stops)
    probe.set_ksshader_value_int(shader, loc("colorCount"), 3)
    probe.set_ksshader_value_float(shader, loc("alpha"), 1.0)
    probe.set_ksshader_value_vec2_tuple(shader, loc("size"), (w, h))
    target = KsRenderTexture(KsVector2(w, h))
    img = rl.gen_image_color(1, 1, (255, 255, 255, 255))
    white = rl.load_texture_from_image(img)
    try:
        with gradient_modes(target, shader):
            probe.fast_clear(target, (0, 0, 0, 0))
            probe.draw_texture_pro(white, (0, 0, 1, 1), (0, 0, w, h), (0, 0), 0.0,
                                   (255, 255, 255, 255))
        got = np.array(read_back(target), dtype=np.float64)
    finally:
        target.unload()
        rl.unload_texture(white)
        rl.unload_image(img)
    # Pixels within a hair of a period's end may fall on either side of it
    # in the GPU's single precision: they are left out.
    with np.errstate(invalid="ignore"):
        u = (t - stops[0]) / max(stops[-1] - stops[0], 1e-30)
        edge = (spread_mode != "pad") & (np.abs(u - np.round(u)) < 1e-4)
    assert edge.sum() <= 2
    difference = np.abs(got - want).max(axis=-1)[~edge]
    assert difference.max() <= 1, (difference.max(), int((difference > 1).sum()))
