"""A gallery of GPU gradients, rendered under a hidden window into a PNG.

    python -m kesa_ui.fast.ksraygrad.demo [--output PATH]
    python -m kesa_ui.fast.ksraygrad.demo --interactive [--frames N]

Rows, top to bottom: linear gradients in the eight named directions; radial
gradients at the seven named centres; weighted colour bands (equal, uneven,
a zero-width band making a hard edge, negative weights); fades to
transparent colours; a ClickGradient drawn at several centres and
transparencies. Translucent tiles sit on a checkerboard.

The PNG goes to gallery/gallery.png in the repository (git-ignored) when run
from a checkout, else under ./gallery; its absolute path is the last line of
output.

--interactive opens a window instead, where a click moves a ClickGradient's
centre and the mouse wheel reweights the band under the pointer (see
interactive.py).
"""

from __future__ import annotations

import argparse
import sys
from pathlib import Path
from typing import TYPE_CHECKING, Any, Sequence

if TYPE_CHECKING:
    from kesa_ui.core.rl import RenderTexture
    from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib

# (title, tiles); a tile is ("texture", gradient) or ("draw", click gradient).
Row = tuple[str, list[tuple[str, "GradientRaylib"]]]

TILE_W, TILE_H = 112, 72
GAP, MARGIN = 12, 16
COLUMNS = 8
CHECK = 8  # checkerboard square, pixels

RED, GREEN, BLUE = (230, 40, 40, 255), (40, 200, 90, 255), (40, 80, 230, 255)
GOLD, WHITE, INK = (250, 200, 40, 255), (255, 255, 255, 255), (20, 20, 30, 255)

LINEAR_DIRECTIONS = ["Right", "BottomRight", "Bottom", "BottomLeft", "Left", "TopLeft", "Top",
                     "TopRight"]
RADIAL_CENTERS = ["Center", "TopCenter", "TopLeft", "TopRight", "BottomCenter", "BottomLeft",
                  "BottomRight"]


def default_output() -> Path:
    """gallery/gallery.png in the checkout this file lives in, else in the
    current directory."""
    here = Path(__file__).resolve()
    for parent in here.parents:
        if (parent / ".git").exists() and (parent / "src" / "kesa_ui").is_dir():
            return parent / "gallery" / "gallery.png"
    return Path.cwd() / "gallery" / "gallery.png"


def parse_args(argv: Sequence[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="python -m kesa_ui.fast.ksraygrad.demo",
        description="Render a gallery of GPU gradients into a PNG and print its path.")
    parser.add_argument("--output", type=Path, default=None,
                        help="PNG file to write (default: gallery/gallery.png in the checkout)")
    parser.add_argument("--interactive", action="store_true",
                        help="open a window: click to move the centre, scroll to reweight")
    parser.add_argument("--frames", type=int, default=None,
                        help="with --interactive: stop after this many frames")
    return parser.parse_args(argv)


def gallery_rows() -> list[Row]:
    """(title, tiles) per row; a tile is ("texture", gradient) or
    ("draw", click_gradient)."""
    from kesa_ui.core import GradientDirection, GradientType
    from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib

    linear, radial = GradientType.Linear, GradientType.Radial
    three = [RED, GOLD, BLUE]
    rows: list[Row] = [
        ("linear, the eight directions",
         [("texture", GradientRaylib(three, linear, GradientDirection[name]))
          for name in LINEAR_DIRECTIONS]),
        ("radial, the seven centres",
         [("texture", GradientRaylib([WHITE, GREEN, INK], radial, GradientDirection[name]))
          for name in RADIAL_CENTERS]),
        ("weighted bands",
         [("texture", GradientRaylib(colors, linear, angle=0)) for colors in list[list[Any]]([
             [RED, GREEN, BLUE],
             [(RED, 3), (GREEN, 1), (BLUE, 1)],
             [(RED, 1), (GREEN, 1), (BLUE, 4)],
             [(RED, 1), (GOLD, 0), (BLUE, 0), (GREEN, 1)],  # a hard edge
             [(RED, 1), (GOLD, 0.1), (BLUE, 1)],
             [(RED, 2), (GOLD, -0.5), (BLUE, 1)],
             [RED, GOLD, GREEN, BLUE, (150, 60, 200, 255)],
             [(RED, 1), (BLUE, 2)],
         ])]),
        ("fades to transparent",
         [("texture", GradientRaylib(colors, kind, angle=angle))
          for colors, kind, angle in list[tuple[list[Any], Any, float | None]]([
             ([RED, (40, 80, 230, 0)], linear, 0),
             ([(40, 80, 230, 0), BLUE], linear, 90),
             ([WHITE, (255, 255, 255, 0)], radial, None),
             ([GOLD, (250, 200, 40, 0), GOLD], linear, 45),
             ([(230, 40, 40, 128), (40, 200, 90, 128)], linear, 0),
             ([INK, (20, 20, 30, 0)], radial, None),
             ([(RED, 1), ((0, 0, 0, 0), 1), (BLUE, 1)], linear, 0),
             ([GREEN, (40, 200, 90, 64), (40, 200, 90, 0)], radial, None),
         ])]),
    ]
    clicks: list[tuple[str, GradientRaylib]] = []
    centers = [(0.5, 0.5), (0.2, 0.3), (0.8, 0.7), (0.1, 0.9)]
    for i, transparency in enumerate([255, 224, 192, 160, 128, 96, 64, 32]):
        click = ClickGradient([GOLD, RED, (40, 80, 230, 0)], transparency=transparency)
        click.set_center(centers[i % len(centers)])
        click.set_weight(0, 1 + i % 3)
        clicks.append(("draw", click))
    rows.append(("click gradient, moved centres and transparency 255 down to 32", clicks))
    return rows


def render_gallery(rows: list[Row]) -> RenderTexture:
    """Composes the rows into a new render texture (rl.RenderTexture)."""
    from kesa_ui.core.modules import rl
    from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient

    width = 2 * MARGIN + COLUMNS * TILE_W + (COLUMNS - 1) * GAP
    height = 2 * MARGIN + len(rows) * TILE_H + (len(rows) - 1) * GAP
    target = rl.load_render_texture(width, height)
    img = rl.gen_image_color(CHECK, CHECK, (200, 200, 205, 255))
    dark = rl.load_texture_from_image(img)
    rl.unload_image(img)
    img = rl.gen_image_color(width, height, (0, 0, 0, 255))
    black = rl.load_texture_from_image(img)
    rl.unload_image(img)
    loaded = [dark, black]
    try:
        # Tiles are made first: generating a texture switches render targets.
        placed: list[tuple[int, int, Any, GradientRaylib]] = []
        for r, (_, tiles) in enumerate(rows):
            for c, (kind, gradient) in enumerate(tiles):
                x = MARGIN + c * (TILE_W + GAP)
                y = MARGIN + r * (TILE_H + GAP)
                tex = None
                if kind == "texture":
                    rt = gradient.generate_texture(TILE_W, TILE_H)
                    img = rl.load_image_from_texture(rt.render_texture.texture)
                    rl.image_flip_vertical(img)  # render textures are stored bottom-up
                    tex = rl.load_texture_from_image(img)
                    rl.unload_image(img)
                    loaded.append(tex)
                placed.append((x, y, tex, gradient))

        rl.begin_texture_mode(target)
        try:
            rl.clear_background((48, 48, 56, 255))
            for x, y, tex, gradient in placed:
                for cy in range(0, TILE_H, CHECK):
                    for cx in range(0, TILE_W, CHECK):
                        light = (cx + cy) // CHECK % 2
                        rl.draw_texture(dark, x + cx, y + cy, WHITE if light else (170,) * 3 + (255,))
                if tex is not None:
                    rl.draw_texture(tex, x, y, WHITE)
                elif isinstance(gradient, ClickGradient):
                    gradient.draw(x, y, TILE_W, TILE_H)
            # Alpha blending leaves alpha below 1 under translucent tiles;
            # adding opaque black sets it to 1 and leaves the colours.
            rl.begin_blend_mode(rl.BLEND_ADD_COLORS)
            rl.draw_texture(black, 0, 0, WHITE)
            rl.end_blend_mode()
        finally:
            rl.end_texture_mode()
    finally:
        for tex in loaded:
            rl.unload_texture(tex)
    return target


def save_png(target: RenderTexture, path: Path) -> None:
    from kesa_ui.core.modules import rl

    path.parent.mkdir(parents=True, exist_ok=True)
    img = rl.load_image_from_texture(target.texture)
    try:
        rl.image_flip_vertical(img)
        if not rl.export_image(img, str(path)):
            raise OSError(f"could not write {path}")
    finally:
        rl.unload_image(img)


def run_gallery(args: argparse.Namespace) -> tuple[Path, list[str]]:
    """Writes the gallery PNG; returns its absolute path and the row titles."""
    from kesa_ui.core.modules import rl

    output = (args.output or default_output()).resolve()
    rl.set_trace_log_level(rl.LOG_WARNING)
    rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
    rl.init_window(320, 200, "kesa_ui gradient gallery")
    try:
        rows = gallery_rows()
        titles = [title for title, _ in rows]
        target = render_gallery(rows)
        try:
            save_png(target, output)
        finally:
            rl.unload_render_texture(target)
        del rows  # while the window is open: their textures need it to unload
    finally:
        rl.close_window()
    return output, titles


def main(argv: Sequence[str] | None = None) -> int:
    args = parse_args(sys.argv[1:] if argv is None else argv)
    if args.interactive:
        from kesa_ui.fast.ksraygrad.interactive import run

        run(frames=args.frames, log=lambda line: print(line, flush=True))
        return 0
    output, titles = run_gallery(args)
    for number, title in enumerate(titles, 1):
        print(f"row {number}: {title}")
    print(output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
