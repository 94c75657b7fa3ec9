"""The pictures of docs/reference.md and docs/geometry.md, drawn by the GPU
gradients under a hidden window: `python -m kesa_ui.demo --reference [DIR]`.

For docs/reference.md (GradientRaylib):

- angle.png: linear gradients from red to blue at several angles.
- center.png: radial gradients at several centres, each marked.
- weights.png: three or four colours under several weights; the strip under
  each shows the colours' bands, the white ticks the stops.

For docs/geometry.md (kesa_ui.fast.ksgradient's Gradient):

- geometry-kinds.png: linear, radial and conic gradients.
- geometry-extents.png: circles (top row) and ellipses (bottom row) about
  the same centre, to each extent keyword and to explicit radii; the ending
  shape is where the colours stop and the dark begins.
- geometry-focal.png: a radial gradient's focal point at several places
  (the centre marked white, the focal point red), one moved inside.
- geometry-spread.png: pad, repeat and reflect for each kind.
- geometry-positions.png: colours placed by positions (out of order, beyond
  0..1, a hard edge) and by weight; the white ticks are the stops.
- geometry-spaces.png: three pairs of colours (a row each) mixed in each
  interpolation space (a column each).
- geometry-hues.png: the four hue methods in "oklch", for a linear
  gradient from red to blue and a conic one from red to blue and back.
- geometry-hints.png: one pair of colours under several hints; the white
  ticks mark the hint, where the colour is half way.
"""

from __future__ import annotations

from collections.abc import Sequence
from pathlib import Path
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from typing import Literal

    from kesa_ui.fast.ksgradient.ksgradient import Gradient
    from kesa_ui.fast.ksraygrad.ksraygrad import GradientRaylib

    # The Gradient's choices, as its stub names them.
    _Kind = Literal["linear", "radial", "conic"]
    _Shape = Literal["circle", "ellipse"]
    _Keyword = Literal["closest-side", "closest-corner", "farthest-side", "farthest-corner"]
    _Spread = Literal["pad", "repeat", "reflect"]
    _Space = Literal["srgb", "srgb-linear", "oklab", "oklch"]
    _Hue = Literal["shorter", "longer", "increasing", "decreasing"]

TILE_W, TILE_H = 84, 48
# The geometry pictures' tiles: wide enough for an extent's name.
GEO_W, GEO_H = 96, 60
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


# A labelled tile: (label, gradient, extra), `extra(x, y)` drawing over the
# tile at (x, y) when it is not None.
Tile = tuple[str, "GradientRaylib | Gradient", Any]


def _picture(tiles: int, strip: bool = False, *, rows: int = 1, tile_w: int = TILE_W,
             tile_h: int = TILE_H) -> tuple[int, int]:
    """The size of a picture of `rows` rows of `tiles` tiles each."""
    row = tile_h + (STRIP_H + 2 if strip else 0) + LABEL_H
    return PAD + tiles * (tile_w + PAD), PAD + rows * (row + PAD)


def _save(path: Path, width: int, height: int, draw: Sequence[Tile], *, columns: int = 0,
          tile_w: int = TILE_W, tile_h: int = TILE_H) -> None:
    """Draws each (label, gradient, extra) tile left to right, `columns` to a
    row (0: all in one), into a new width x height picture of tile_w x
    tile_h tiles and writes it to path; `extra(x, y)` draws over the tile
    when it is not None."""
    from kesa_ui.core.modules import rl
    from kesa_ui.demo.gallery import shrink_png
    from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
    from kesa_ui.fast.ksvector2.ksvector2 import KsVector2

    columns = columns or len(draw)
    rows = (len(draw) + columns - 1) // columns
    row_h = (height - PAD) // rows
    picture = KsRenderTexture(KsVector2(width, height))
    picture.fast_clear(BACKDROP)
    rl.begin_texture_mode(picture.render_texture)
    try:
        for i, (label, gradient, extra) in enumerate(draw):
            x, y = PAD + i % columns * (tile_w + PAD), PAD + i // columns * row_h
            gradient.generate_texture(tile_w, tile_h).draw(x, y)
            if extra is not None:
                extra(x, y)
            rl.draw_text(label, x, y + row_h - PAD - LABEL_H + 3, 10, TEXT)
    finally:
        rl.end_texture_mode()
    img = rl.load_image_from_texture(picture.render_texture.texture)
    try:
        rl.image_flip_vertical(img)  # render textures are stored bottom-up
        if not rl.export_image(img, str(path)):
            raise OSError(f"could not write {path}")
    finally:
        rl.unload_image(img)
    shrink_png(path)


def _centre_mark(cx: float, cy: float, colour: tuple[int, int, int, int] = RED,
                 tile_w: int = TILE_W, tile_h: int = TILE_H) -> Any:
    from kesa_ui.core.modules import rl

    def mark(x: int, y: int) -> None:
        px, py = round(x + cx * tile_w), round(y + cy * tile_h)
        if x <= px <= x + tile_w and y <= py <= y + tile_h:
            rl.draw_rectangle(px - 2, py - 2, 5, 5, INK)
            rl.draw_rectangle(px - 1, py - 1, 3, 3, colour)
    return mark


def _marks(*draws: Any) -> Any:
    """One extra drawing each of `draws` in turn."""
    def draw(x: int, y: int) -> None:
        for d in draws:
            d(x, y)
    return draw


def _stop_ticks(stops: tuple[float, ...]) -> Any:
    """White ticks across a linear gradient at angle 0 where its stops lie
    (those inside the tile)."""
    from kesa_ui.core.modules import rl

    def draw(x: int, y: int) -> None:
        for s in stops:
            if 0.0 <= s <= 1.0:
                rl.draw_rectangle(x + min(round(s * GEO_W), GEO_W - 1), y, 1, GEO_H, WHITE)
    return draw


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
    """Writes the pictures into directory, those of docs/reference.md first;
    returns their paths. Needs an open window."""
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
    return paths + write_geometry_pictures(directory)


GEOMETRY = ["geometry-kinds.png", "geometry-extents.png", "geometry-focal.png",
            "geometry-spread.png", "geometry-positions.png", "geometry-spaces.png",
            "geometry-hues.png", "geometry-hints.png"]
KEYWORDS: list[_Keyword] = ["closest-side", "closest-corner", "farthest-side", "farthest-corner"]
SPREADS: list[_Spread] = ["pad", "repeat", "reflect"]
KINDS: list[_Kind] = ["linear", "radial", "conic"]
SPACES: list[_Space] = ["srgb", "srgb-linear", "oklab", "oklch"]
HUES: list[_Hue] = ["shorter", "longer", "increasing", "decreasing"]
HINTS = [0.0, 0.1, 0.25, 0.5, 0.75, 0.9, 1.0]
HINT_STOPS = (0.2, 0.8)
EXTENT_CENTER = (0.3, 0.35)


def _mark(cx: float, cy: float, colour: tuple[int, int, int, int] = RED) -> Any:
    return _centre_mark(cx, cy, colour, GEO_W, GEO_H)


def _ending_shape(shape: _Shape, extent: _Keyword | float | tuple[float, float]) -> Gradient:
    """A radial gradient about EXTENT_CENTER with a hard edge at position 1,
    which shows the ending shape: the dark lies beyond it."""
    from kesa_ui.fast.ksgradient.ksgradient import Gradient

    return Gradient([GOLD, RED, INK], "radial", center=EXTENT_CENTER, shape=shape,
                    extent=extent, positions=[0, 1, 1])


def _hint_ticks(hint: float) -> Any:
    """Short white ticks at the top and bottom of a linear gradient at angle
    0 with stops at HINT_STOPS, where its hint lies."""
    from kesa_ui.core.modules import rl

    first, last = HINT_STOPS

    def draw(x: int, y: int) -> None:
        px = x + min(round((first + hint * (last - first)) * GEO_W), GEO_W - 1)
        rl.draw_rectangle(px, y, 1, 8, WHITE)
        rl.draw_rectangle(px, y + GEO_H - 8, 1, 8, WHITE)
    return draw


def geometry_tiles() -> list[tuple[list[Tile], int]]:
    """The tiles of each geometry picture, in GEOMETRY's order, with the
    number of columns they are laid out in (0: one row)."""
    from kesa_ui.fast.ksgradient.ksgradient import Gradient

    three, wheel = [RED, GOLD, BLUE], [RED, GOLD, GREEN, BLUE, RED]
    kinds: list[Tile] = [
        ("linear 0", Gradient(three), None),
        ("linear 45", Gradient(three, angle=45), None),
        ("linear 90", Gradient(three, angle=90), None),
        ("radial", Gradient([WHITE, GREEN, INK], "radial"), _mark(0.5, 0.5)),
        ("radial ellipse", Gradient([WHITE, GREEN, INK], "radial", shape="ellipse"),
         _mark(0.5, 0.5)),
        ("conic 0", Gradient(wheel, "conic"), _mark(0.5, 0.5)),
        ("conic -90", Gradient(wheel, "conic", angle=-90, center=(0.3, 0.6)), _mark(0.3, 0.6)),
    ]
    centre = _mark(*EXTENT_CENTER, WHITE)
    extents: list[Tile] = [(k, _ending_shape("circle", k), centre) for k in KEYWORDS]
    extents.append(("0.25", _ending_shape("circle", 0.25), centre))
    extents += [(k, _ending_shape("ellipse", k), centre) for k in KEYWORDS]
    extents.append(("(0.4, 0.3)", _ending_shape("ellipse", (0.4, 0.3)), centre))
    middle = _mark(0.5, 0.5, WHITE)
    focal: list[Tile] = [("no focal", Gradient([WHITE, GOLD, RED, INK], "radial", extent=0.3,
                                               positions=[0, 0.5, 1, 1]), middle)]
    for label, point, extent in list[tuple[str, tuple[float, float], float | tuple[float, float]]]([
            ("(0.35, 0.5)", (0.35, 0.5), 0.3), ("(0.5, 0.3)", (0.5, 0.3), 0.3),
            ("(0.9, 0.5)", (0.9, 0.5), 0.3), ("ellipse", (0.3, 0.35), (0.4, 0.4))]):
        focal.append((label, Gradient([WHITE, GOLD, RED, INK], "radial", extent=extent,
                                      focal=point, positions=[0, 0.5, 1, 1]),
                      _marks(middle, _mark(*point))))
    focal.append(("reflect", Gradient([GOLD, RED], "radial", extent=0.3, focal=(0.35, 0.45),
                                      spread="reflect", positions=[0, 0.25]),
                  _marks(middle, _mark(0.35, 0.45))))
    spreads: list[Tile] = [
        (f"{kind} {mode}", Gradient(three, kind, spread=mode, positions=[0.3, 0.4, 0.5]), None)
        for kind in KINDS for mode in SPREADS]
    placed: list[Tile] = []
    for label, colors, where in list[tuple[str, list[Any], list[float] | None]]([
            ("0.2 0.5 0.8", three, [0.2, 0.5, 0.8]),
            ("0 0.5 0.5 1", [RED, GOLD, GREEN, BLUE], [0, 0.5, 0.5, 1]),
            ("0 0.8 0.4 1", [RED, GOLD, GREEN, BLUE], [0, 0.8, 0.4, 1]),
            ("-0.5 0.5 1.5", three, [-0.5, 0.5, 1.5]),
            ("no positions", three, None),
            ("weights 3 1 1", [(RED, 3), (GOLD, 1), (BLUE, 1)], None)]):
        g = Gradient(colors, positions=where)
        placed.append((label, g, _stop_ticks(g.stops)))
    spaces: list[Tile] = [(space, Gradient(pair, interpolation=space), None)
                          for pair in ([RED, BLUE], [GOLD, BLUE], [INK, WHITE])
                          for space in SPACES]
    hues: list[Tile] = [(hue, Gradient([RED, BLUE], interpolation="oklch", hue=hue), None)
                        for hue in HUES]
    hues += [(f"conic {hue}", Gradient([RED, BLUE, RED], "conic", interpolation="oklch",
                                       hue=hue), None)
             for hue in HUES]
    hints: list[Tile] = [(f"hint {h:g}", Gradient([RED, BLUE], positions=HINT_STOPS,
                                                       hints=[h]), _hint_ticks(h))
                         for h in HINTS]
    return [(kinds, 0), (extents, 5), (focal, 0), (spreads, 3), (placed, 0), (spaces, 4),
            (hues, 4), (hints, 0)]


def write_geometry_pictures(directory: Path) -> list[Path]:
    """Writes the pictures of docs/geometry.md into directory; returns their
    paths. Needs an open window."""
    directory.mkdir(parents=True, exist_ok=True)
    paths = [directory / name for name in GEOMETRY]
    for path, (tiles, columns) in zip(paths, geometry_tiles()):
        across = columns or len(tiles)
        rows = (len(tiles) + across - 1) // across
        _save(path, *_picture(across, rows=rows, tile_w=GEO_W, tile_h=GEO_H), tiles,
              columns=columns, tile_w=GEO_W, tile_h=GEO_H)
    return paths
