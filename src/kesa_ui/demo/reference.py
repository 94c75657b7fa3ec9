"""The pictures of docs/reference.md, drawn by the GPU gradients under a
hidden window: `python -m kesa_ui.demo --reference [DIR]`.

- angle.png: linear gradients from red to blue at several angles.
- center.png: radial gradients at several centres, each marked.
- weights.png: three or four colours under several weights; the strip under
  each shows the colours' bands, the white ticks the stops.
"""

from __future__ import annotations

import os
from pathlib import Path
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib

TILE_W, TILE_H = 84, 48
PAD, LABEL_H, STRIP_H = 6, 14, 8
BACKDROP, TEXT = (32, 32, 40, 255), (235, 235, 240, 255)
RED, GOLD, BLUE = (230, 40, 40, 255), (250, 200, 40, 255), (40, 80, 230, 255)
GREEN, WHITE, INK = (40, 200, 90, 255), (255, 255, 255, 255), (20, 20, 30, 255)

ANGLES = [0, 45, 90, 135, 180, 270, -30]
CENTERS = [(0.5, 0.5), (0.0, 0.0), (1.0, 1.0), (0.25, 0.75), (1.5, 0.5)]
WEIGHTED: list[tuple[str, list[Any]]] = [
    ("1 1 1", [(RED, 1), (GOLD, 1), (BLUE, 1)]),
    ("3 1 1", [(RED, 3), (GOLD, 1), (BLUE, 1)]),
    ("1 1 4", [(RED, 1), (GOLD, 1), (BLUE, 4)]),
    ("1 0.1 1", [(RED, 1), (GOLD, 0.1), (BLUE, 1)]),
    ("1 0 0 1", [(RED, 1), (GOLD, 0), (BLUE, 0), (GREEN, 1)]),
    ("2 -0.5 1", [(RED, 2), (GOLD, -0.5), (BLUE, 1)]),
]


def _picture(tiles: int, strip: bool = False) -> tuple[int, int]:
    height = PAD + TILE_H + (STRIP_H + 2 if strip else 0) + LABEL_H + PAD
    return PAD + tiles * (TILE_W + PAD), height


def _save(path: Path, width: int, height: int,
          draw: list[tuple[str, GradientRaylib, Any]]) -> None:
    """Draws each (label, gradient, extra) tile left to right into a new
    width x height picture and writes it to path; `extra(x, y)` draws over
    the tile when it is not None."""
    from kesa_ui.core.modules import rl
    from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
    from kesa_ui.fast.ksvector2.ksvector2 import KsVector2

    picture = KsRenderTexture(KsVector2(width, height))
    picture.fast_clear(BACKDROP)
    rl.begin_texture_mode(picture.render_texture)
    try:
        for i, (label, gradient, extra) in enumerate(draw):
            x = PAD + i * (TILE_W + PAD)
            gradient.generate_texture(TILE_W, TILE_H).draw(x, PAD)
            if extra is not None:
                extra(x, PAD)
            rl.draw_text(label, x, height - PAD - LABEL_H + 3, 10, TEXT)
    finally:
        rl.end_texture_mode()
    img = rl.load_image_from_texture(picture.render_texture.texture)
    try:
        rl.image_flip_vertical(img)  # render textures are stored bottom-up
        if not rl.export_image(img, str(path)):
            raise OSError(f"could not write {path}")
    finally:
        rl.unload_image(img)
    _shrink(path)


def _shrink(path: Path) -> None:
    """Rewrites the PNG at path as opaque RGB through pygame's PNG writer,
    which filters rows and makes these pictures a third to half the size of
    raylib's RGBA ones (left as they are without pygame)."""
    os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
    try:
        import pygame
    except ImportError:
        return
    rgba = pygame.image.load(str(path))
    rgb = pygame.Surface(rgba.get_size(), depth=24)
    rgb.blit(rgba, (0, 0))
    pygame.image.save(rgb, str(path))


def _centre_mark(cx: float, cy: float) -> Any:
    from kesa_ui.core.modules import rl

    def mark(x: int, y: int) -> None:
        px, py = round(x + cx * TILE_W), round(y + cy * TILE_H)
        if x <= px <= x + TILE_W and y <= py <= y + TILE_H:
            rl.draw_rectangle(px - 2, py - 2, 5, 5, INK)
            rl.draw_rectangle(px - 1, py - 1, 3, 3, RED)
    return mark


def _bands(items: list[Any]) -> Any:
    """Draws the bands the weights make (a strip under the tile) and the
    stops (white ticks across tile and strip)."""
    from kesa_ui.core.modules import rl
    from kesa_ui.rendering.pygame.gradient import compute_stops

    weights = [float(w) for _, w in items]
    total = sum(weights) if sum(weights) > 0 else 1.0
    stops = compute_stops(weights)

    def draw(x: int, y: int) -> None:
        top, left = y + TILE_H + 2, 0.0
        for (colour, _), w in zip(items, weights):
            right = left + w / total
            a, b = sorted((left, right))
            rl.draw_rectangle(x + round(a * TILE_W), top, round((b - a) * TILE_W), STRIP_H, colour)
            left = right
        for s in stops:
            rl.draw_rectangle(x + min(round(s * TILE_W), TILE_W - 1), y, 1, TILE_H + STRIP_H + 2,
                              WHITE)
    return draw


def write_pictures(directory: Path) -> list[Path]:
    """Writes the pictures into directory; returns their paths. Needs an open
    window."""
    from kesa_ui.core import GradientType
    from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib

    directory.mkdir(parents=True, exist_ok=True)
    paths = [directory / name for name in ("angle.png", "center.png", "weights.png")]
    angle = [(f"angle {a}", GradientRaylib([RED, BLUE], angle=a), None) for a in ANGLES]
    _save(paths[0], *_picture(len(angle)), angle)
    center = [(f"({x:g}, {y:g})", GradientRaylib([WHITE, GREEN], GradientType.Radial,
                                                  center=(x, y)), _centre_mark(x, y))
              for x, y in CENTERS]
    _save(paths[1], *_picture(len(center)), center)
    weighted = [(label, GradientRaylib(items, angle=0), _bands(items))
                for label, items in WEIGHTED]
    _save(paths[2], *_picture(len(weighted), strip=True), weighted)
    return paths
