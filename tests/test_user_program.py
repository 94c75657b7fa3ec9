"""A new user's program, played in a fresh interpreter with a window of its
own, its pixels checked against the CPU renderer."""

import pytest

from support import run_python

pytestmark = pytest.mark.backends  # also run against raylib's other GL backends


def test_a_program_with_a_background_and_a_click_gradient_across_two_windows():
    # Each frame: the background generated once is drawn upright, a
    # ClickGradient whose centre follows the frame's click is drawn over a
    # panel, and a badge is generated inside the user's texture mode (which
    # must stay in force: the badge is drawn onto it next). `screen` stands
    # in for the window so that its pixels can be read; it is drawn onto the
    # window in a real frame too. Then the window is closed and the whole
    # program runs again in a new window, where the old window's texture is
    # refused.
    proc = run_python(
        """
        import numpy as np
        from kesa_ui.core import GradientDirection, GradientType, color
        from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
        from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
        from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
        from kesa_ui.rendering.pygame.gradient import GradientPygame
        from test_render_pixels import exact_levels, pixels

        W, H = 96, 64
        PANEL = (40, 8, 48, 40)
        BADGE = (4, 40, 24, 16)
        BACKGROUND = dict(colors=[color("#203060"), (color("teal"), 2), color("gold")],
                          type=GradientType.Linear, angle=60)
        SPOT = [(255, 250, 230), (200, 40, 90), (20, 10, 40)]
        BADGE_LOOK = dict(colors=[color("white"), color("crimson")], type=GradientType.Linear,
                          direction=GradientDirection.Bottom)
        CLICKS = [(52, 14), (80, 40), (44, 44)]  # pixels of the screen

        def expected(center):
            want = exact_levels(GradientPygame(**BACKGROUND), W, H)
            for (x, y, w, h), twin in [
                    (PANEL, GradientPygame(SPOT, GradientType.Radial, center=center)),
                    (BADGE, GradientPygame(**BADGE_LOOK))]:
                want[y:y + h, x:x + w] = exact_levels(twin, w, h)
            return want

        def play(stale=None):
            open_window(W)
            if stale is not None:  # the last window's texture, in this one
                try:
                    stale.draw(0, 0)
                except RuntimeError as e:
                    assert "closed" in str(e), e
                else:
                    raise AssertionError("a closed window's texture was drawn")
            background = GradientRaylib(**BACKGROUND).generate_texture(W, H)
            spot = ClickGradient(SPOT)
            badge = GradientRaylib(**BADGE_LOOK)
            screen = KsRenderTexture(KsVector2(W, H))
            for px, py in CLICKS:
                x, y, w, h = PANEL
                center = ((px - x) / w, (py - y) / h)
                spot.set_center(center)
                rl.begin_drawing()
                rl.begin_texture_mode(screen.render_texture)
                background.draw(0, 0)
                spot.draw(*PANEL)
                badge.generate_texture(BADGE[2], BADGE[3]).draw(BADGE[0], BADGE[1])
                rl.end_texture_mode()
                screen.draw(0, 0)
                rl.end_drawing()
                diff = np.abs(pixels(screen) - expected(center)).max(axis=-1)
                assert diff.max() <= 1, (center, np.argwhere(diff > 1)[:5])
            rl.close_window()
            return background

        play(stale=play())
        print("played twice")
        """,
        window=True,
    )
    assert proc.stdout.splitlines()[-1] == "played twice"
