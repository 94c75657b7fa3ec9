"""Pixels drawn by the gradient shader, read back from real render textures:
against GradientPygame (the CPU twin, no dither) and against invariants that
need no oracle."""

import math

import numpy as np
import pytest

from kesa_ui.core import GradientDirection as Dir
from kesa_ui.core import GradientType, color
from kesa_ui.core.modules import rl
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.rendering.pygame.gradient import GradientPygame
from support import BLUE, GREEN, RED, WHITE, read_back, run_python, stops

# Also run against raylib's other GL backends; numpy's counts keep the leak
# hunt out.
pytestmark = [pytest.mark.backends, pytest.mark.usefixtures("no_leak_hunt")]

LIN, RAD = GradientType.Linear, GradientType.Radial
CLEAR_BLUE = (0, 0, 255, 0)
NAN, INF = float("nan"), float("inf")


def pixels(target):
    """The pixels of a KsRenderTexture as an int array, [row, column, channel]."""
    return np.array(read_back(target), dtype=int)


def near_hard_edges(twin, w, h):
    """Pixels within one pixel of a place where the colour jumps."""
    t = twin.positions(w, h)
    padded = np.pad(t, 1, mode="edge")
    windows = [padded[1 + dy:1 + dy + h, 1 + dx:1 + dx + w] for dy in (-1, 0, 1) for dx in (-1, 0, 1)]
    lo, hi = np.min(windows, axis=0), np.max(windows, axis=0)
    mask = np.zeros((h, w), dtype=bool)
    for s in twin.stops:
        if math.isfinite(s):
            sides = twin.shade(np.array([s - 1e-6, s + 1e-6])) * 255
            if np.abs(sides[0] - sides[1]).max() > 2:
                mask |= (lo <= s) & (hi >= s)
    return mask


ORACLE = [
    *[([RED, GREEN, BLUE], LIN, {"direction": d}, 24, 16) for d in
      (Dir.Right, Dir.Left, Dir.Bottom, Dir.Top, Dir.BottomRight, Dir.TopLeft, Dir.TopRight,
       Dir.BottomLeft)],
    *[([RED, (GREEN, 2), BLUE], LIN, {"angle": a}, w, h) for a, w, h in
      [(17, 20, 20), (100.5, 31, 9), (199, 7, 40), (-30, 33, 17), (400, 16, 16), (271, 1, 24)]],
    *[([WHITE, BLUE, (0, 0, 0, 255)], RAD, {"direction": d}, 22, 14) for d in
      (Dir.Center, Dir.TopCenter, Dir.TopLeft, Dir.TopRight, Dir.BottomCenter, Dir.BottomLeft,
       Dir.BottomRight)],
    *[([RED, BLUE], RAD, {"center": c}, 20, 12) for c in [(-0.5, 0.3), (1.5, 2.0), (0.2, -3.0)]],
    ([(RED, 3), (GREEN, 1), (BLUE, 2)], LIN, {"angle": 45}, 24, 24),
    ([(RED, 1), (GREEN, 0), (BLUE, 0), (WHITE, 1)], LIN, {"angle": 0}, 32, 6),  # hard edge
    ([(RED, 5), (GREEN, 0.1), (BLUE, 5)], RAD, {}, 30, 30),
    ([(RED, -1), (BLUE, 2)], LIN, {"angle": 0}, 24, 4),
    ([(RED, 3), (BLUE, -1)], LIN, {"angle": 90}, 4, 24),
    ([(RED, 1), (GREEN, -1), (BLUE, 2), WHITE], RAD, {"center": (0.3, 0.6)}, 24, 20),
    ([(40, 90, 200, 255)], LIN, {}, 5, 7),
    ([], LIN, {}, 6, 3),
    ([RED, CLEAR_BLUE], LIN, {"angle": 30}, 32, 8),
    ([(0, 255, 0, 128), (255, 0, 255, 30), (0, 0, 0, 0)], RAD, {"center": (0, 1)}, 24, 24),
    ([(255, 255, 255, 0), (10, 0, 0, 0)], LIN, {}, 8, 8),
    ([(200, 100, 50, 0.4)], LIN, {}, 4, 4),  # under half a level of alpha
    ([(90, 200, 10, 1), (90, 200, 10, 0)], LIN, {"angle": 180}, 40, 2),
    ([(RED, 1), (BLUE, 0)], LIN, {}, 8, 8),  # stops [1, 1]: red up to the end
    ([(300, -20, 128, 400), (NAN, INF, 0, 255), (0, 0, 255, NAN)], LIN, {"angle": 60}, 24, 12),
    ([RED, BLUE], LIN, {"angle": NAN}, 8, 8),
    ([(i * 4, 255 - i * 4, (i * 37) % 256, 255) for i in range(64)], LIN, {"angle": 10}, 48, 8),
    ([(255, 0, 0), ((0, 0, 255), 2), (0, 255, 0, 128)], LIN, {"angle": 20}, 16, 8),  # 3: opaque
]


@pytest.mark.parametrize("cls", [GradientRaylib, ClickGradient])
@pytest.mark.parametrize("colors, kind, kw, w, h", ORACLE)
def test_gpu_matches_the_cpu_twin(cls, colors, kind, kw, w, h):
    gpu = cls(colors, kind, **kw)
    twin = GradientPygame(colors, kind, **kw)
    assert np.array_equal(np.float32(stops(gpu)), np.float32(twin.stops))
    got = pixels(gpu.generate_texture(w, h))
    want = twin.render(w, h).astype(int)
    diff = np.abs(got - want).max(axis=-1)
    diff[near_hard_edges(twin, w, h)] = 0
    assert diff.max() <= 2, np.argwhere(diff > 2)[:5]


def exact_levels(twin, w, h, alpha=1.0):
    """The twin's exact colours over w x h pixels, rounded (int array): a
    GPU pixel, whose dither stays under half a level, is within one level."""
    return np.floor(twin.shade(twin.positions(w, h), alpha) * 255 + 0.5).astype(int)


def test_twin_takes_pygame_colours_as_the_gpu_takes_their_tuples():
    pygame = pytest.importorskip("pygame")
    items = [pygame.Color(200, 30, 40), (pygame.Color(0, 90, 255, 128), 2.5), pygame.Color("gold")]
    twin = GradientPygame(items, RAD, center=(0.3, 0.6))
    gpu = GradientRaylib([color(items[0]), (color(items[1][0]), 2.5), color(items[2])], RAD,
                         center=(0.3, 0.6))
    assert twin.stops == GradientPygame([(200, 30, 40), ((0, 90, 255, 128), 2.5), (0, 0, 0)]).stops
    assert np.abs(pixels(gpu.generate_texture(20, 14)) - exact_levels(twin, 20, 14)).max() <= 1


@pytest.mark.parametrize("stops, t, expected", [
    ([0.0, 0.5, 0.5, 1.0], 0.5, 2),  # on a hard edge: the colour after it
    ([0.0, 0.5, 0.5, 1.0], 0.4999, 1),
    ([0.5, 0.5, 1.0, 1.0], 0.2, 0),  # before two equal stops: the first colour
    ([2.0, 1.0, 1.5, 3.0], 0.5, 1),  # out of order: (0.5 - 2) / (1 - 2) clamps to 1
    ([0.0, -2.0, 0.2, 0.3], 0.9, 3),  # no stop beyond t: the last colour
])
def test_twin_picks_the_colour_the_stops_decide(stops, t, expected):
    colors = [RED, GREEN, BLUE, WHITE]
    twin = GradientPygame(colors)
    twin.stops = stops
    assert tuple(np.floor(twin.shade(np.array([t]))[0] * 255 + 0.5)) == colors[expected]


def corner_tolerance(offset):
    """Levels a pixel centre `offset` (in t) from the exact end may differ by."""
    return math.ceil(255 * offset) + 2


@pytest.mark.parametrize("w, h", [(16, 16), (32, 16), (12, 36)])
def test_linear_corners_carry_the_end_colours(w, h):
    g = GradientRaylib([RED, BLUE])
    for angle in range(0, 360, 15):
        g.angle = angle
        px = pixels(g.generate_texture(w, h))
        a = math.radians(angle)
        d = np.array([math.cos(a), math.sin(a)])
        corners = [(x, y) for x in (0, w - 1) for y in (0, h - 1)]
        proj = [np.dot(np.array([x - (w - 1) / 2, y - (h - 1) / 2]), d) for x, y in corners]
        inset = (abs(d[0]) + abs(d[1])) / 2 / (abs(w * d[0]) + abs(h * d[1]))
        redness = px[..., 0] - px[..., 2]
        for corner, colour, sign in [(corners[int(np.argmin(proj))], RED, 1),
                                     (corners[int(np.argmax(proj))], BLUE, -1)]:
            x, y = corner
            assert np.abs(px[y, x] - colour).max() <= corner_tolerance(inset), (angle, corner)
            # No pixel is nearer that end (up to the dither).
            assert sign * redness[y, x] >= (sign * redness).max() - 2, (angle, corner)


@pytest.mark.parametrize("angle", [0, 33, 90, 135, 250, 314.5])
def test_opposite_angle_with_reversed_colours_draws_the_same(angle):
    colors = [RED, (GREEN, 2), (0, 0, 255, 100), (WHITE, 0.5)]
    a = GradientRaylib(colors, angle=angle).generate_texture(20, 13)
    b = GradientRaylib(colors[::-1], angle=angle + 180).generate_texture(20, 13)
    assert np.abs(pixels(a) - pixels(b)).max() <= 1


@pytest.mark.parametrize("center", [(0.5, 0.5), (0.2, 0.7), (0.0, 0.0), (1.0, 0.25)])
def test_radial_runs_from_the_centre_to_the_farthest_corner(center):
    w, h = 21, 13
    px = pixels(GradientRaylib([RED, BLUE], RAD, center=center).generate_texture(w, h))
    c = np.array([center[0] * w, center[1] * h])
    far = math.hypot(max(c[0], w - c[0]), max(c[1], h - c[1]))
    x0, y0 = min(int(c[0]), w - 1), min(int(c[1]), h - 1)
    inset = math.hypot(x0 + 0.5 - c[0], y0 + 0.5 - c[1]) / far
    assert np.abs(px[y0, x0] - RED).max() <= corner_tolerance(inset)
    x1, y1 = (0 if c[0] > w / 2 else w - 1), (0 if c[1] > h / 2 else h - 1)
    inset = 1 - math.hypot(x1 + 0.5 - c[0], y1 + 0.5 - c[1]) / far
    assert np.abs(px[y1, x1] - BLUE).max() <= corner_tolerance(inset)


def test_fade_to_transparent_keeps_its_hue():
    px = pixels(GradientRaylib([RED, CLEAR_BLUE]).generate_texture(41, 1))[0]
    assert tuple(px[20, :3]) == (255, 0, 0) and px[20, 3] in (127, 128)  # t = 0.5 exactly
    visible = px[:, 3] > 0
    assert visible.sum() >= 39 and (px[visible, :3] == (255, 0, 0)).all()
    assert (np.diff(px[:, 3]) <= 0).all()


def test_equal_weights_draw_exactly_what_no_weights_draw():
    colors = [RED, (0, 200, 100, 180), BLUE, (250, 250, 0, 255)]
    plain = GradientRaylib(colors, RAD, center=(0.3, 0.4)).generate_texture(24, 18)
    weighted = GradientRaylib([(c, 2.5) for c in colors], RAD, center=(0.3, 0.4))
    click = ClickGradient(colors, RAD, center=(0.3, 0.4))
    for i in range(4):
        click.set_weight(i, 7)
    want = pixels(plain)
    assert np.array_equal(pixels(weighted.generate_texture(24, 18)), want)
    assert np.array_equal(pixels(click.generate_texture(24, 18)), want)


def test_exact_colours_stay_exact_and_smooth_ones_are_dithered():
    flat = pixels(GradientRaylib([(37, 200, 99, 255)] * 2, angle=20).generate_texture(16, 16))
    assert (flat == (37, 200, 99, 255)).all()
    slow = [(0, 0, 0, 255), (6, 6, 6, 255)]
    got = pixels(GradientRaylib(slow).generate_texture(48, 8))
    want = GradientPygame(slow).render(48, 8).astype(int)
    assert np.abs(got - want).max() <= 1
    assert (got != want).any()  # no plain bands
    assert (got[..., 3] == 255).all()
    assert np.array_equal(got, pixels(GradientRaylib(slow).generate_texture(48, 8)))


BACKGROUND = (40, 60, 200, 255)


def draw_onto_background(click, rect, size=(30, 20)):
    target = KsRenderTexture(KsVector2(*size))
    target.fast_clear(BACKGROUND)
    rl.begin_texture_mode(target.render_texture)
    try:
        click.draw(*rect)
    finally:
        rl.end_texture_mode()
    return pixels(target)


@pytest.mark.parametrize("transparency", [255, 128, 37])
@pytest.mark.parametrize("kind, kw", [(LIN, {"angle": 120}), (RAD, {"center": (0.2, 0.9)})])
def test_draw_composites_straight_colour_under_alpha_blending(transparency, kind, kw):
    colors = [(250, 20, 0, 255), (0, 255, 128, 90), (0, 0, 0, 0)]
    click = ClickGradient(colors, kind, transparency=transparency, **kw)
    x, y, w, h = 5, 3, 17, 12
    got = draw_onto_background(click, (x, y, w, h))
    twin = GradientPygame(colors, kind, **kw)
    src = twin.shade(twin.positions(w, h), transparency / 255)
    want = np.array(BACKGROUND, dtype=float)[None, None].repeat(20, 0).repeat(30, 1)
    a = src[..., 3:]
    want[y:y + h, x:x + w, :3] = src[..., :3] * 255 * a + want[y:y + h, x:x + w, :3] * (1 - a)
    assert np.abs(got[..., :3] - np.floor(want[..., :3] + 0.5)).max() <= 2
    outside = np.ones((20, 30), dtype=bool)
    outside[y:y + h, x:x + w] = False
    assert (got[outside] == BACKGROUND).all()


def test_draw_with_transparency_zero_draws_nothing():
    click = ClickGradient([RED, (WHITE, 2), BLUE], transparency=0)
    assert (draw_onto_background(click, (0, 0, 30, 20)) == BACKGROUND).all()


def test_surface_holds_the_rendered_pixels():
    pygame = pytest.importorskip("pygame")
    twin = GradientPygame([RED, CLEAR_BLUE, (GREEN, 2)], RAD, center=(0.4, 0.1))
    surface = twin.surface(9, 5)
    assert surface.get_size() == (9, 5)
    pixels = twin.render(9, 5)
    assert all(tuple(surface.get_at((x, y))) == tuple(pixels[y, x])
               for y in range(5) for x in range(9))
    assert pygame.image.tobytes(surface, "RGBA") == pixels.tobytes()


def test_demo_writes_the_gallery_and_the_reference_pictures(tmp_path):
    pygame = pytest.importorskip("pygame")
    out = tmp_path / "g.png"
    proc = run_python(f"import sys; from kesa_ui import demo; "
                      f"demo.main(['--reference', {str(tmp_path)!r}]); "
                      f"sys.exit(demo.main(['--output', {str(out)!r}]))")
    assert proc.stdout.splitlines()[-1] == str(out)
    pictures = ("angle", "center", "weights", "geometry-kinds", "geometry-extents",
                "geometry-focal", "geometry-spread", "geometry-positions", "geometry-spaces",
                "geometry-hues", "geometry-hints")
    assert proc.stdout.splitlines()[:11] == [str(tmp_path / f"{name}.png") for name in pictures]
    png = pygame.image.load(str(out))
    assert png.get_size() == (1012, 1028)
    # Tiles upright: "Bottom" runs red (top) to blue, as generated and as
    # drawn in a frame (the sixth row); "TopCenter" is white at the top; the
    # texture generated inside the frame's target (TopRight) lands there.
    for x, y in [(320, 16), (40, 436), (904, 436)]:
        top, bottom = png.get_at((x, y + 3)), png.get_at((x, y + 69))
        assert top.r > 200 > top.b and bottom.b > 200 > bottom.r, (x, y)
    top, bottom = png.get_at((196, 101)), png.get_at((196, 171))
    assert min(top[:3]) > 200 and max(bottom[:3]) < 100
    top_right, bottom_left = png.get_at((744, 439)), png.get_at((640, 505))
    assert top_right.r > 200 > top_right.g and bottom_left.g > 150 > bottom_left.r
    assert {png.get_at((x, y)).a for x in range(0, 1012, 7) for y in range(0, 1028, 7)} == {255}


def test_demo_finds_the_repository_by_argument_or_current_folder(tmp_path, monkeypatch):
    from kesa_ui.demo import parse_args

    monkeypatch.chdir(tmp_path)
    assert parse_args([]).repo == tmp_path
    for argv in (["--reference"], ["--repo", str(tmp_path / "absent")]):
        with pytest.raises(SystemExit):
            parse_args(argv)
    (tmp_path / "docs").mkdir()
    (tmp_path / "docs" / "reference.md").write_text("")
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    monkeypatch.chdir(elsewhere)
    assert parse_args(["--reference", "--repo", str(tmp_path)]).repo == tmp_path
