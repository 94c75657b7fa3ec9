"""The gallery of GPU gradients, rendered under a hidden window into a PNG
(`python -m kesa_ui.demo`).

Rows, top to bottom: linear gradients in the eight named directions; radial
gradients at the seven named centres; weighted colour bands (equal, uneven,
a zero-width band making a hard edge, negative weights); fades to
transparent colours; a ClickGradient drawn at several centres and
transparencies; generated textures drawn as a frame draws them
(target.draw, draw_rect, a tint, a texture generated inside the frame's
target, a ClickGradient over a background). Then kesa_ui.fast.ksgradient's
Gradient: a row each of linear, radial and conic gradients (angles,
centres, stops at positions, weights, and the last one drawn with draw at
a transparency); ending shapes (circles and ellipses to extent keywords and
to explicit radii, edged dark where the colours stop) and focal points;
pad, repeat and reflect; the interpolation spaces and oklch's hue methods.
Translucent tiles sit on a checkerboard. Every texture tile is drawn
upright with KsRenderTexture.draw. The frame row is
drawn once in a real frame on the window (begin_drawing ... end_drawing)
and once, the same way, into the gallery's render texture, since the
screen cannot be read back.
"""

from __future__ import annotations

import os
from pathlib import Path
from typing import TYPE_CHECKING, Any, Callable, Union

if TYPE_CHECKING:
    from typing import Literal

    from kesa_ui.core.rl import RenderTexture
    from kesa_ui.fast.ksgradient.ksgradient import Gradient
    from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib

    # A Gradient's ending shape, extent, space and hue method, as its stub
    # names them.
    _Shape = Literal["circle", "ellipse"]
    _Extent = Union[Literal["closest-side", "closest-corner", "farthest-side", "farthest-corner"],
                   float, tuple[float, float]]
    _Space = Literal["srgb", "srgb-linear", "oklab", "oklch"]
    _Hue = Literal["shorter", "longer", "increasing", "decreasing"]

# Draws a tile at (x, y) on the current target, as a frame's body would.
FrameTile = Callable[[int, int], None]
# (title, tiles); a tile is ("texture", gradient), ("draw", a click gradient
# or a Gradient) or ("frame", FrameTile).
Tile = tuple[str, Union["GradientRaylib", "Gradient", FrameTile]]
Row = tuple[str, list[Tile]]

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


def gallery_rows() -> list[Row]:
    """(title, tiles) per row; a tile is ("texture", gradient), ("draw",
    click_gradient or Gradient) or ("frame", FrameTile)."""
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
    clicks: list[Tile] = []
    centers = [(0.5, 0.5), (0.2, 0.3), (0.8, 0.7), (0.1, 0.9)]
    for i, transparency in enumerate([255, 224, 192, 160, 128, 96, 64, 32]):
        click = ClickGradient([GOLD, RED, (40, 80, 230, 0)], transparency=transparency)
        click.set_center(centers[i % len(centers)])
        click.set_weight(0, 1 + i % 3)
        clicks.append(("draw", click))
    rows.append(("click gradient, moved centres and transparency 255 down to 32", clicks))
    rows.append(("generated textures drawn upright in a frame", frame_tiles()))
    return rows + geometry_rows()


def geometry_rows() -> list[Row]:
    """The rows of kesa_ui.fast.ksgradient's Gradient: a row per kind, one of
    ending shapes and focal points, one of spreads, one of interpolation
    spaces and hue methods."""
    from kesa_ui.fast.ksgradient.ksgradient import Gradient

    three, wheel = [RED, GOLD, BLUE], [RED, GOLD, GREEN, BLUE, RED]
    glow = [WHITE, GREEN, INK]
    third = 1.0 / 3.0
    linear: list[Tile] = [("texture", Gradient(three, angle=a)) for a in (0, 45, 90, 180, -30)]
    linear += [
        ("texture", Gradient([RED, GOLD, GREEN, BLUE], positions=[0, 0.5, 0.5, 1])),
        ("texture", Gradient([(RED, 3), (GOLD, 1), (BLUE, 1)])),
        ("draw", Gradient([RED, (40, 80, 230, 0)], angle=30, transparency=160)),
    ]
    radial: list[Tile] = [
        ("texture", Gradient(glow, "radial")),
        ("texture", Gradient(glow, "radial", center=(0.2, 0.3))),
        ("texture", Gradient(glow, "radial", shape="ellipse")),
        ("texture", Gradient(glow, "radial", shape="ellipse", center=(0.8, 0.7))),
        ("texture", Gradient(glow, "radial", center=(1.2, 0.5))),
        ("texture", Gradient([GOLD, GOLD, RED, RED, INK], "radial",
                             positions=[0, 0.4, 0.4, 0.7, 0.7])),
        ("texture", Gradient([(WHITE, 1), (GREEN, 3), (INK, 1)], "radial")),
        ("draw", Gradient([WHITE, (255, 255, 255, 0)], "radial", transparency=160)),
    ]
    conic: list[Tile] = [
        ("texture", Gradient(wheel, "conic")),
        ("texture", Gradient(wheel, "conic", angle=90)),
        ("texture", Gradient(wheel, "conic", center=(0.2, 0.3))),
        ("texture", Gradient([GOLD, RED], "conic", center=(0, 0), positions=[0, 0.25])),
        ("texture", Gradient([RED, RED, GOLD, GOLD, BLUE, BLUE], "conic",
                             positions=[0, third, third, 2 * third, 2 * third, 1])),
        ("texture", Gradient(wheel, "conic", center=(0.5, 1.0))),
        ("texture", Gradient([(RED, 3), (GOLD, 1), (BLUE, 1), (RED, 1)], "conic")),
        ("draw", Gradient([GOLD, (250, 200, 40, 0), GOLD], "conic", transparency=160)),
    ]
    # A hard edge at position 1 shows the ending shape: the dark lies beyond.
    edged = [GOLD, RED, INK]
    rings = [WHITE, GOLD, RED, INK]
    sizes: list[tuple[_Shape, _Extent]] = [
        ("circle", "closest-side"), ("circle", "closest-corner"), ("ellipse", "closest-side"),
        ("ellipse", "farthest-side"), ("circle", 0.3), ("ellipse", (0.45, 0.3))]
    shapes: list[Tile] = [
        ("texture", Gradient(edged, "radial", shape=shape, extent=extent, center=(0.3, 0.35),
                             positions=[0, 1, 1]))
        for shape, extent in sizes]
    shapes += [
        ("texture", Gradient(rings, "radial", extent=0.3, focal=(0.35, 0.4),
                             positions=[0, 0.5, 1, 1])),
        ("texture", Gradient(rings, "radial", extent=(0.42, 0.42), focal=(0.25, 0.4),
                             positions=[0, 0.5, 1, 1])),
    ]
    period = [0.3, 0.4, 0.5]
    spreads: list[Tile] = [
        ("texture", Gradient(three, positions=period)),
        ("texture", Gradient(three, spread="repeat", positions=period)),
        ("texture", Gradient(three, spread="reflect", positions=period)),
        ("texture", Gradient(three, "radial", positions=period)),
        ("texture", Gradient(three, "radial", spread="repeat", positions=period)),
        ("texture", Gradient(three, "radial", shape="ellipse", focal=(0.35, 0.4),
                             spread="reflect", positions=period)),
        ("texture", Gradient(three, "conic", spread="repeat", positions=[0, 0.05, 0.1])),
        ("texture", Gradient(three, "conic", spread="reflect", positions=[0, 0.05, 0.1])),
    ]
    names: list[_Space] = ["srgb", "srgb-linear", "oklab", "oklch"]
    hues: list[_Hue] = ["shorter", "longer", "increasing", "decreasing"]
    spaces: list[Tile] = [("texture", Gradient([GOLD, BLUE], interpolation=space))
                          for space in names]
    spaces += [("texture", Gradient([RED, BLUE, RED], "conic", interpolation="oklch", hue=hue))
               for hue in hues]
    return [
        ("Gradient linear: angles 0 45 90 180 -30, positions (a hard edge), weights, "
         "a fade drawn at transparency 160", linear),
        ("Gradient radial: centres, ellipses, a centre outside, positions (rings), weights, "
         "a fade drawn at transparency 160", radial),
        ("Gradient conic: angles 0 and 90, centres, a quarter turn from a corner, positions "
         "(a hard-edged pie), a centre on the bottom edge, weights, a fade drawn at "
         "transparency 160", conic),
        ("Gradient ending shapes: circles to closest-side and closest-corner, ellipses to "
         "closest-side and farthest-side, a radius, radii, focal points in a circle and an "
         "ellipse", shapes),
        ("Gradient spreads: linear and radial pad, repeat, reflect (the last an ellipse with a "
         "focal point); conic repeat and reflect", spreads),
        ("Gradient spaces: gold to blue in srgb, srgb-linear, oklab and oklch; red to blue and "
         "back, conic in oklch, hue shorter, longer, increasing and decreasing", spaces),
    ]


def frame_tiles() -> list[Tile]:
    """Tiles drawn the way a program's frame draws: textures generated once
    and drawn upright with KsRenderTexture.draw or draw_rect each time the
    tile is drawn, one generated inside the frame (the frame's target stays
    active), and a ClickGradient over a background."""
    from kesa_ui.core import GradientDirection, GradientType
    from kesa_ui.core.modules import rl
    from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib

    linear, radial = GradientType.Linear, GradientType.Radial
    three = [RED, GOLD, BLUE]
    bottom = GradientRaylib(three, linear, GradientDirection.Bottom).generate_texture(TILE_W, TILE_H)
    top_center = GradientRaylib([WHITE, GREEN, INK], radial,
                                GradientDirection.TopCenter).generate_texture(TILE_W, TILE_H)
    small = GradientRaylib(three, linear, angle=30).generate_texture(28, 18)
    background = GradientRaylib([INK, BLUE], linear, GradientDirection.Bottom
                                ).generate_texture(TILE_W, TILE_H)
    corner = GradientRaylib([GREEN, GOLD, RED], linear, GradientDirection.TopRight)
    click = ClickGradient([GOLD, RED, (40, 80, 230, 0)], transparency=224)
    click.set_center((28 / TILE_W, 24 / TILE_H))  # a click at (28, 24) in the tile

    def generated_in_frame(x: int, y: int) -> None:
        corner.generate_texture(TILE_W, TILE_H).draw(x, y)

    def click_over_background(x: int, y: int) -> None:
        background.draw(x, y)
        click.draw(x, y, TILE_W, TILE_H)

    def with_rl(x: int, y: int) -> None:
        # What draw() does: a negative source height turns the rows upright.
        rl.draw_texture_rec(bottom.render_texture.texture, (0, 0, TILE_W, -TILE_H), (x, y),
                            WHITE)

    tiles: list[FrameTile] = [
        lambda x, y: bottom.draw(x, y),
        lambda x, y: top_center.draw(x, y),
        lambda x, y: bottom.draw(x, y, (255, 255, 255, 128)),
        lambda x, y: small.draw_rect((x, y, TILE_W, TILE_H)),
        lambda x, y: top_center.draw_rect((x, y, TILE_W, TILE_H), GOLD),
        generated_in_frame,
        click_over_background,
        with_rl,
    ]
    return [("frame", tile) for tile in tiles]


def tile_origin(row: int, column: int) -> tuple[int, int]:
    return MARGIN + column * (TILE_W + GAP), MARGIN + row * (TILE_H + GAP)


def draw_frame(rows: list[Row]) -> None:
    """One real frame on the window: the "frame" tiles drawn between
    begin_drawing and end_drawing (the hidden window shows nothing, and
    its screen cannot be read back; the gallery draws them again)."""
    from kesa_ui.core.modules import rl

    rl.begin_drawing()
    try:
        rl.clear_background((48, 48, 56, 255))
        for _, tiles in rows:
            for c, (kind, tile) in enumerate(tiles):
                if kind == "frame" and callable(tile):
                    tile(*tile_origin(0, c))
    finally:
        rl.end_drawing()


def render_gallery(rows: list[Row]) -> RenderTexture:
    """Composes the rows into a new render texture (rl.RenderTexture)."""
    from kesa_ui.core.modules import rl
    from kesa_ui.fast.ksgradient.ksgradient import Gradient
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
    try:
        rl.begin_texture_mode(target)
        try:
            rl.clear_background((48, 48, 56, 255))
            for r, (_, tiles) in enumerate(rows):
                for c, (kind, tile) in enumerate(tiles):
                    x, y = tile_origin(r, c)
                    for cy in range(0, TILE_H, CHECK):
                        for cx in range(0, TILE_W, CHECK):
                            light = (cx + cy) // CHECK % 2
                            rl.draw_texture(dark, x + cx, y + cy,
                                            WHITE if light else (170,) * 3 + (255,))
                    if kind == "draw" and isinstance(tile, (ClickGradient, Gradient)):
                        tile.draw(x, y, TILE_W, TILE_H)
                    elif kind == "texture" and not callable(tile):
                        # Generated inside this texture mode, which stays in
                        # force; drawn upright (render textures are stored
                        # bottom-up).
                        tile.generate_texture(TILE_W, TILE_H).draw(x, y)
                    elif callable(tile):
                        tile(x, y)
            # Alpha blending leaves alpha below 1 under translucent tiles;
            # adding opaque black sets it to 1 and leaves the colours.
            rl.begin_blend_mode(rl.BLEND_ADD_COLORS)
            rl.draw_texture(black, 0, 0, WHITE)
            rl.end_blend_mode()
        finally:
            rl.end_texture_mode()
    finally:
        rl.unload_texture(dark)
        rl.unload_texture(black)
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
    shrink_png(path)


def shrink_png(path: Path) -> None:
    """Rewrites the PNG at path as opaque RGB through pygame's PNG writer,
    which filters rows and makes these pictures a third to half the size of
    raylib's RGBA ones (left as they are without pygame). The gallery and the
    reference pictures are opaque."""
    os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
    try:
        import pygame
    except ImportError:
        return
    rgba = pygame.image.load(str(path))
    rgb = pygame.Surface(rgba.get_size(), depth=24)
    rgb.blit(rgba, (0, 0))
    pygame.image.save(rgb, str(path))


def run_gallery(output: Path) -> tuple[Path, list[str]]:
    """Writes the gallery PNG to output; returns its absolute path and the
    row titles."""
    from kesa_ui.core.modules import rl

    output = output.resolve()
    rl.set_trace_log_level(rl.LOG_WARNING)
    rl.set_config_flags(rl.FLAG_WINDOW_HIDDEN)
    rl.init_window(320, 200, "kesa_ui gradient gallery")
    try:
        rows = gallery_rows()
        titles = [title for title, _ in rows]
        draw_frame(rows)
        target = render_gallery(rows)
        try:
            save_png(target, output)
        finally:
            rl.unload_render_texture(target)
        del rows  # while the window is open: their textures need it to unload
    finally:
        rl.close_window()
    return output, titles
