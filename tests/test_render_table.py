"""GradientPygame.render on targets large enough for its colour table: one
level at most from the exact colour, and from the GPU away from hard edges."""

import numpy as np
import pytest

from kesa_ui.core import GradientType
from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib
from kesa_ui.rendering.pygame.gradient import MAX_CELLS_PER_UNIT, GradientPygame
from support import BLUE, RED
from test_render_pixels import near_hard_edges, read_back

# Also run against raylib's other GL backends; numpy's counts keep the leak
# hunt out.
pytestmark = [pytest.mark.backends, pytest.mark.usefixtures("no_leak_hunt")]

W, H = 480, 300  # pixels enough for a table of the finest resolution

TRANSLUCENT_16 = [(((i * 37) % 256, (i * 91) % 256, (i * 13) % 256, (i * 71) % 256), 1 + i % 3)
                  for i in range(16)]


@pytest.mark.parametrize("colors, kind, kw", [
    (TRANSLUCENT_16, GradientType.Radial, {}),
    # Full contrast: every cell spans as much as the table's sizing allows.
    ([RED, BLUE], GradientType.Linear, {"angle": 33}),
    # A hard edge, and a fade to transparent.
    ([((255, 0, 0, 255), 1), ((0, 255, 0, 255), 0), ((0, 0, 255, 128), 1), ((255, 255, 255, 0), 1)],
     GradientType.Linear, {"angle": 120}),
    # Steep hue changes next to a nearly transparent colour.
    ([(255, 0, 0, 255), (0, 0, 255, 3), (0, 255, 0, 255)], GradientType.Radial,
     {"center": (0.2, 0.3)}),
])
def test_table_stays_within_a_level(colors, kind, kw):
    twin = GradientPygame(colors, kind, **kw)
    for alpha in (1.0, 0.3):
        exact = np.floor(twin.shade(twin.positions(W, H), alpha) * 255 + 0.5)
        assert np.abs(twin.render(W, H, alpha=alpha) - exact).max() <= 1
    got = read_back(GradientRaylib(colors, kind, **kw).generate_texture(W, H))
    diff = np.abs(got - twin.render(W, H).astype(int)).max(axis=-1)
    diff[near_hard_edges(twin, W, H)] = 0
    assert diff.max() <= 1, np.argwhere(diff > 1)[:5]


def test_a_peak_within_a_cell_is_not_missed():
    # White rises and falls within a few cells of the finest table (whose
    # cells start at t = 0 for a radial gradient), its stop in the middle of
    # one: that cell's ends agree, only the stop tells.
    black, white = (0, 0, 0, 255), (255, 255, 255, 255)
    twin = GradientPygame([black, black, white, black, black], GradientType.Radial, center=(0, 0))
    twin.stops = [0.0, *((20000 + c) / MAX_CELLS_PER_UNIT for c in (-1.1, 0.5, 2.1)), 1.0]
    exact = np.floor(twin.shade(twin.positions(W, H)) * 255 + 0.5)
    assert np.abs(twin.render(W, H) - exact).max() <= 1
