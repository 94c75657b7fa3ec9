"""The richer gradients' geometry (kesa_ui.rendering.pygame.geometry) against
figures worked out by hand from CSS Images 4's and SVG's definitions."""

import math

import numpy as np
import pytest

from kesa_ui.rendering.pygame.geometry import (
    FOCAL_LIMIT, ending_radii, fixed_positions, focal_inside, positions, spread)

# Figures of numpy arrays: numpy's counts keep the leak hunt out.
pytestmark = pytest.mark.usefixtures("no_leak_hunt")

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


def test_interpolation_figures():
    from kesa_ui.rendering.pygame.interpolation import hint_weight, hue_pairs, to_space

    # CSS's hint curve: half way at the hint, even at 0.5, a step at the ends.
    p = np.array([0.0, 0.25, 0.5, 1.0])
    assert hint_weight(p, 0.25) == pytest.approx([0.0, 0.5, 2 ** -0.5, 1.0])
    assert hint_weight(p, 0.5).tolist() == p.tolist()
    assert hint_weight(p, 0.0).tolist() == [0, 1, 1, 1] and hint_weight(p, 1.0).tolist() == [0, 0, 0, 1]
    # Oklab's published figures for sRGB red; white is achromatic: its hue is powerless.
    lab = to_space(np.array([[1.0, 0.0, 0.0], [1.0, 1.0, 1.0]]), "oklab")
    assert lab[0] == pytest.approx([0.627955, 0.224863, 0.125846], abs=1e-5)
    assert np.isnan(to_space(np.array([[1.0, 1.0, 1.0]]), "oklch")[0, 2])
    # CSS Color 4's hue fix-ups for a gap from 30 to 300 degrees, then one to a
    # powerless hue (the same hue: "longer" turns a full circle, as CSS says).
    hues = np.array([30.0, 300.0, np.nan])
    assert [tuple(np.concatenate(hue_pairs(hues, m))) for m in ("shorter", "longer", "increasing",
                                                                 "decreasing")] == [
        (390.0, 300.0, 300.0, 300.0), (30.0, 300.0, 300.0, 660.0), (30.0, 300.0, 300.0, 300.0),
        (390.0, 300.0, 300.0, 300.0)]
