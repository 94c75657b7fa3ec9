"""The richer gradients against a browser: Chromium draws each feature from
the equivalent CSS (or canvas, for a focal point), and Gradient
(kesa_ui.fast.ksgradient) draws it from the same parameters on the GPU and
through the CPU renderer (kesa_ui.rendering.pygame.geometry.render); each
picture agrees with Chromium's over white, mean difference at most 1 level
and 99th percentile at most 3.

make test-css runs these (tools/devenv --with css provides Chromium); the
everyday suite skips them where no chromium is installed."""

import os
import shutil
import subprocess

import numpy as np
import pytest

from kesa_ui.fast.ksgradient.ksgradient import Gradient
from kesa_ui.rendering.pygame.geometry import render
from support import read_back

pytestmark = pytest.mark.css

if shutil.which("chromium") is None:
    if os.environ.get("KS_REQUIRE_CSS"):
        raise RuntimeError("make test-css needs chromium (tools/devenv --with css)")
    pytest.skip("no chromium here (make test-css provides one)", allow_module_level=True)

W, H = 160, 100
RED, BLUE, GREEN, WHITE = (255, 0, 0), (0, 0, 255), (0, 160, 0), (255, 255, 255)
AT = "at 30% 40%"
C = (0.3, 0.4)


def css(background):
    return f"<div style='width:{W}px;height:{H}px;background:{background}'></div>"


def canvas(script):
    return (f"<canvas id=k width={W} height={H} style='display:block'></canvas><script>"
            f"var c=document.getElementById('k').getContext('2d');{script}"
            "g.addColorStop(0,'rgb(255,0,0)');g.addColorStop(1,'rgb(0,0,255)');"
            "c.fillStyle=g;c.fillRect(-1000,-1000,3000,3000);</script>")


TWO = "rgb(255,0,0), rgb(0,0,255)"
# (page body, the geometry's parameters, stop positions as given, colours,
# spread). Our angles run clockwise from +x; CSS's from the top.
CASES = {
    "linear": (css(f"linear-gradient(123deg, {TWO})"), dict(kind="linear", angle=33),
               [0, 1], [RED, BLUE], "pad"),
    "linear-steep": (css(f"linear-gradient(290deg, {TWO})"), dict(kind="linear", angle=200),
                     [0, 1], [RED, BLUE], "pad"),
    "conic": (css(f"conic-gradient(from 120deg {AT}, {TWO})"),
              dict(kind="conic", angle=30, center=C), [0, 1], [RED, BLUE], "pad"),
    **{f"{shape}-{extent}": (css(f"radial-gradient({shape} {extent} {AT}, {TWO})"),
                             dict(kind="radial", shape=shape, extent=extent, center=C),
                             [0, 1], [RED, BLUE], "pad")
       for shape in ("circle", "ellipse")
       for extent in ("closest-side", "closest-corner", "farthest-side", "farthest-corner")},
    "circle-radius": (css(f"radial-gradient(40px {AT}, {TWO})"),
                      dict(kind="radial", extent=40 / W, center=C), [0, 1], [RED, BLUE], "pad"),
    "ellipse-radii": (css(f"radial-gradient(40px 30px {AT}, {TWO})"),
                      dict(kind="radial", shape="ellipse", extent=(40 / W, 30 / H), center=C),
                      [0, 1], [RED, BLUE], "pad"),
    "repeating-linear": (css("repeating-linear-gradient(123deg, rgb(255,0,0) 10%, rgb(0,0,255) 30%)"),
                         dict(kind="linear", angle=33), [0.1, 0.3], [RED, BLUE], "repeat"),
    "repeating-radial": (css(f"repeating-radial-gradient(circle 50px {AT}, rgb(255,0,0) 0%, "
                             "rgb(0,0,255) 40%)"),
                         dict(kind="radial", extent=50 / W, center=C), [0, 0.4], [RED, BLUE],
                         "repeat"),
    "repeating-conic": (css(f"repeating-conic-gradient(from 120deg {AT}, rgb(255,0,0) 0%, "
                            "rgb(0,0,255) 25%)"),
                        dict(kind="conic", angle=30, center=C), [0, 0.25], [RED, BLUE], "repeat"),
    "positions": (css("linear-gradient(123deg, rgb(255,0,0) 20%, rgb(255,255,255) 50%, "
                      "rgb(0,0,255) 40%, rgb(0,160,0) 90%)"),
                  dict(kind="linear", angle=33), [0.2, 0.5, 0.4, 0.9], [RED, WHITE, BLUE, GREEN],
                  "pad"),
    # Mixing in other spaces (CSS Color 4), on colours that stay inside sRGB.
    **{f"in-{space}{'-' + hue if hue else ''}": (
        css(f"linear-gradient(in {space}{' ' + hue + ' hue' if hue else ''} 123deg, {TWO})"),
        dict(kind="linear", angle=33, interpolation=space, hue=hue or "shorter"), [0, 1],
        [RED, BLUE], "pad")
       for space, hue in [("srgb-linear", None), ("oklab", None), ("oklch", None),
                          ("oklch", "longer"), ("oklch", "increasing"), ("oklch", "decreasing")]},
    "in-oklab-translucent": (css("linear-gradient(in oklab 123deg, rgb(255 0 0), rgb(0 0 255 / 0.4), "
                                 "rgb(0 160 0))"),
                             dict(kind="linear", angle=33, interpolation="oklab"), [0, 0.5, 1],
                             [RED, (0, 0, 255, 102), GREEN], "pad"),
    # Two-point conical from a focal point, in a circle and (scaled by the
    # canvas's transform) in an ellipse of radii 60 x 30 about (80, 50).
    "focal-circle": (canvas("var g=c.createRadialGradient(30,55,0,48,40,60);"),
                     dict(kind="radial", center=(48 / W, 40 / H), extent=60 / W,
                          focal=(30 / W, 55 / H)), [0, 1], [RED, BLUE], "pad"),
    "focal-ellipse": (canvas("c.setTransform(1,0,0,0.5,0,25);"
                             "var g=c.createRadialGradient(60,40,0,80,50,60);"),
                      dict(kind="radial", shape="ellipse", center=(80 / W, 50 / H),
                           extent=(60 / W, 30 / H), focal=(60 / W, 45 / H)),
                      [0, 1], [RED, BLUE], "pad"),
}


def screenshot(body, tmp_path):
    """Chromium's picture of `body` over white, an (H, W, 3) float array."""
    import pygame

    page, shot = tmp_path / "page.html", tmp_path / "shot.png"
    page.write_text(f"<html><body style='margin:0;background:white'>{body}</body></html>")
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--force-device-scale-factor=1", f"--window-size={W},{H}",
                    f"--screenshot={shot}", page.as_uri()],
                   check=True, capture_output=True, timeout=120)
    pixels = pygame.surfarray.array3d(pygame.image.load(str(shot)))
    return pixels.transpose(1, 0, 2)[:H, :W].astype(np.float64)


@pytest.mark.parametrize("name", CASES)
def test_gradients_match_the_browser(name, tmp_path):
    body, geometry, given, colours, mode = CASES[name]
    params = dict(geometry)
    g = Gradient(colours, params.pop("kind"), positions=given, spread=mode, **params)
    target = g.generate_texture(W, H)
    try:
        gpu = np.array(read_back(target), dtype=np.float64)
    finally:
        target.unload()
    browser = screenshot(body, tmp_path)
    for ours in (gpu, render(g, W, H).astype(np.float64)):
        a = ours[..., 3:] / 255.0
        difference = np.abs(np.round(ours[..., :3] * a + 255.0 * (1.0 - a)) - browser)  # over white
        assert difference.mean() <= 1.0 and np.percentile(difference, 99) <= 3.0, (
            f"mean {difference.mean():.2f}, 99th percentile {np.percentile(difference, 99):.0f}")
