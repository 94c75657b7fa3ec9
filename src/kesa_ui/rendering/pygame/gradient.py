"""GradientPygame: the CPU counterpart of the GPU gradient.

It takes the arguments of GradientRaylib, turns them into the same state
(angle and centre tables, colours divided by 255 as 32-bit floats, stops
placed within weighted bands in 32-bit arithmetic) and computes every pixel
the way the gradient shader does (kesa_ui.fast.GradientShader), minus the
dither: shade() exactly, in float64; render() mostly from a table of those
colours over the position along the gradient, each pixel within one level
of shade() rounded. The GPU gradient module publishes this class beside its
own.

Importing this module stays cheap: numpy and pygame are imported inside the
methods that need them.
"""

from __future__ import annotations

import math
import struct
import sys
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any, Callable, TypeAlias, TypeIs, Union

from kesa_ui.core import GradientDirection, GradientType

if TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt
    import pygame

    _Floats: TypeAlias = npt.NDArray[np.float64]
    _Levels: TypeAlias = npt.NDArray[np.uint8]

__all__ = ["GradientPygame", "shade_positions"]

# Direction names of a linear gradient, in degrees clockwise from +x (y down).
ANGLES = {
    "Right": 0.0,
    "Left": 180.0,
    "Bottom": 90.0,
    "Top": 270.0,
    "BottomRight": 45.0,
    "TopLeft": 225.0,
    "TopRight": 315.0,
    "BottomLeft": 135.0,
}

# Direction names of a radial gradient: centres normalised to the target.
CENTERS = {
    "Center": (0.5, 0.5),
    "TopCenter": (0.5, 0.0),
    "TopLeft": (0.0, 0.0),
    "TopRight": (1.0, 0.0),
    "BottomCenter": (0.5, 1.0),
    "BottomLeft": (0.0, 1.0),
    "BottomRight": (1.0, 1.0),
}

# Below half a level of alpha a pixel is fully transparent black.
MIN_ALPHA = 0.5 / 255.0

# render() reads colours from a table over t (see _render_from_table). A
# cell whose colours spread wider than ROUGH_LEVELS (in levels) either side
# of the one it holds is shaded per pixel instead. The table has between
# MIN_ and MAX_CELLS_PER_UNIT cells per unit of t, as many as keep every
# channel within ROUGH_LEVELS across a cell (half of what makes it rough; see
# _Ramp.cells_per_unit), and is only built when the target has
# TABLE_PIXELS_PER_POINT pixels for each colour it evaluates.
ROUGH_LEVELS = 0.375
MIN_CELLS_PER_UNIT = 256.0
MAX_CELLS_PER_UNIT = 32768.0
TABLE_PIXELS_PER_POINT = 4
# How far (in cells) from its exact place float32 may put a pixel, with a
# wide margin: with at most 2^15 cells, each of its few roundings errs by
# at most 2^-9 cells.
SLACK_CELLS = 1.0 / 64.0
# Pixels per block of rows the table lookup works on (its scratch buffers:
# 12 bytes a pixel).
BLOCK_PIXELS = 1 << 16


# A colour: (r, g, b) or (r, g, b, a) of numbers on 0..255, or a pygame.Color.
Colour: TypeAlias = Union[tuple[float, float, float], tuple[float, float, float, float],
                          "pygame.Color"]
# An item of a colour list: a colour, or (colour, weight).
ColorItem: TypeAlias = Union[Colour, tuple[Colour, float]]
# The colour components divided by 255 (0..1 nominally), as 32-bit floats.
Rgba: TypeAlias = tuple[float, float, float, float]


def _f32(x: float) -> float:
    """x rounded to the nearest 32-bit float (overflow gives an infinity)."""
    try:
        value: float = struct.unpack("f", struct.pack("f", x))[0]
    except OverflowError:  # rounds past the largest float
        return math.copysign(math.inf, x)
    return value


def compute_stops(weights: list[float]) -> list[float]:
    """The position of each colour from the colours' weights.

    The weights split 0..1 into consecutive bands; inner colours sit at the
    centres of their bands, the first and last at the ends of the range
    unless their band is wider than half of it. Computed in the 32-bit steps
    the GPU gradient uses, so both place their stops identically.
    """
    import numpy as np

    weights = [_f32(w) for w in weights]
    n = len(weights)
    total = 0.0
    for w in weights:
        total += w
    if n == 0 or total <= 0.0:
        total = 1.0
    bounds = [0.0]
    current = 0.0
    for w in weights:
        current = _f32(current + w / total)
        bounds.append(current)
    if n == 0:
        return []
    if n == 1:
        return [0.0]
    stops: list[float] = []
    for i in range(n):
        if i == 0:
            rb = bounds[1]
            stops.append(_f32(max(0.0, rb - min(rb, 1.0 - rb))))
        elif i == n - 1:
            lb = bounds[n - 1]
            stops.append(_f32(min(1.0, lb + min(lb, 1.0 - lb))))
        else:
            with np.errstate(over="ignore", invalid="ignore"):
                stops.append(float((np.float32(bounds[i]) + np.float32(bounds[i + 1]))
                                   * np.float32(0.5)))
    return stops


def _type_name(obj: object) -> str:
    return type(obj).__name__


def _converted[T](value: Any, what: str, kind: str, convert: Callable[[Any], T]) -> T:
    """convert(value), TypeError "<what> must be <kind>" for a string or what
    convert refuses."""
    cause = None
    if not isinstance(value, (str, bytes)):
        try:
            return convert(value)
        except (TypeError, ValueError) as exc:
            cause = exc
    raise TypeError(f"{what} must be {kind}, not {_type_name(value)}") from cause


def _number(value: Any, what: str) -> float:
    return _converted(value, what, "a number", float)


def _integer(value: Any, what: str) -> int:
    """value through its integer conversion (a float truncates toward zero)."""
    return _converted(value, what, "an integer", int)


def _is_pygame_color(item: object) -> TypeIs[pygame.Color]:
    """Whether item is a pygame.Color (pygame is not imported to tell: an
    object cannot be one unless pygame has been)."""
    kind = getattr(sys.modules.get("pygame"), "Color", None)
    return isinstance(kind, type) and isinstance(item, kind)


def _colour(item: object) -> Rgba:
    """A colour on 0..255, (r, g, b), (r, g, b, a, ...) or a pygame.Color, as
    four 32-bit floats on 0..1; (r, g, b) is opaque, as on the GPU."""
    if _is_pygame_color(item):
        item = (item.r, item.g, item.b, item.a)
    if type(item) is not tuple:
        raise TypeError("a colour must be a tuple (r, g, b) or (r, g, b, a), or a pygame.Color, "
                        f"not {_type_name(item)}")
    # Component by component, as the GPU gradients convert them: a short
    # colour fails at its first missing component.
    levels = [1.0, 1.0, 1.0, 1.0]
    for i in range(3 if len(item) == 3 else 4):
        if i >= len(item):
            raise IndexError(
                "a colour is (red, green, blue) or (red, green, blue, alpha), 0 to 255 each; "
                f"this one has {len(item)} component{'' if len(item) == 1 else 's'}")
        levels[i] = _f32(_number(item[i], "a colour component") / 255.0)
    return (levels[0], levels[1], levels[2], levels[3])


class GradientPygame:
    """A linear or radial gradient computed on the CPU with numpy.

    GradientPygame(colors, type=GradientType.Linear, direction=None,
    angle=None, center=None, transparency=None) takes the arguments of
    GradientRaylib: `colors` is a list of (r, g, b) or (r, g, b, a) tuples on
    0..255 (three components are opaque) or pygame.Color objects, each
    optionally paired with a weight as (colour, weight); `direction` a
    GradientDirection member (or an angle for a linear gradient, an (x, y)
    centre for a radial one); `angle` and `center` override it. A colour of
    fewer than three components raises the GPU gradients' IndexError.

    render(width, height) gives the pixels; surface(width, height) a pygame
    Surface of them. Like generate_texture, they leave `transparency` out
    (full opacity): render(w, h, alpha=g.transparency / 255) gives what
    ClickGradient.draw paints. Sizes below 1x1 raise ValueError, as on the
    GPU; there is no limit on the number of colours.
    """

    type: GradientType
    transparency: int
    angle: float
    center: tuple[float, float]
    stops: list[float]

    def __init__(self, colors: Sequence[ColorItem], type: GradientType = GradientType.Linear,
                 direction: GradientDirection | float | tuple[float, float] | None = None,
                 angle: float | None = None, center: Sequence[float] | None = None,
                 transparency: float | None = None) -> None:
        self.type = type
        self.transparency = 255 if transparency is None else _integer(transparency, "transparency")
        self.angle = 0.0
        self.center = (0.5, 0.5)
        if direction is not None:
            name = getattr(direction, "name", None)
            if self.type == GradientType.Linear:
                if name is not None:
                    self.angle = ANGLES.get(name, 0.0)
                elif isinstance(direction, (int, float)):
                    self.angle = _f32(direction)
            elif self.type == GradientType.Radial:
                if name is not None:
                    self.center = CENTERS.get(name, (0.5, 0.5))
                elif isinstance(direction, tuple):
                    self.center = (_number(direction[0], "x"), _number(direction[1], "y"))
        if angle is not None:
            self.angle = _f32(_number(angle, "angle"))
        if center is not None:
            self.center = (_number(center[0], "x"), _number(center[1], "y"))
        self.colors = colors

    @property
    def colors(self) -> Sequence[ColorItem]:
        """The colour items as given (any sequence of them); assigning them
        recomputes colours and stops."""
        return self._raw_colors

    @colors.setter
    def colors(self, colors: Sequence[ColorItem]) -> None:
        if not isinstance(colors, Sequence) or isinstance(colors, (str, bytes, bytearray)):
            raise TypeError(f"colors must be a sequence of colour items, not {_type_name(colors)}")
        rgba: list[Rgba] = []
        weights: list[float] = []
        for item in colors:
            if (isinstance(item, tuple) and len(item) == 2
                    and isinstance(item[1], (int, float))):
                rgba.append(_colour(item[0]))
                weights.append(float(item[1]))
            else:
                rgba.append(_colour(item))
                weights.append(1.0)
        self._raw_colors = colors
        self._colors = rgba
        self.stops = compute_stops(weights)

    @property
    def is_linear(self) -> bool:
        return self.type == GradientType.Linear

    def positions(self, width: int, height: int) -> _Floats:
        """Position along the gradient (float64, shape (height, width)) of
        each pixel centre; 0 at the start, 1 at the end."""
        import numpy as np

        w, h = _size(width, height)
        return self._positions_at(np.arange(w, dtype=np.float64),
                                  np.arange(h, dtype=np.float64)[:, None], w, h)

    def _geometry(self, w: int, h: int) -> tuple[float, float, float] | None:
        """(cos, sin, length) of a linear gradient over w x h pixels, the
        length being that of the gradient line's projection, or (cx, cy,
        far) of a radial one, far being the distance from the centre to the
        farthest corner; None when the length or distance is not a positive
        number, and then every position is 0."""
        if self.is_linear:
            a = math.radians(self.angle) if math.isfinite(self.angle) else math.nan
            dx, dy = math.cos(a), math.sin(a)
            geometry = dx, dy, abs(w * dx) + abs(h * dy)
        else:
            cx, cy = self.center[0] * w, self.center[1] * h
            far = math.hypot(max(abs(cx), abs(w - cx)), max(abs(cy), abs(h - cy)))
            geometry = cx, cy, far
        return geometry if 0.0 < geometry[2] < math.inf else None

    def _positions_at(self, x: _Floats, y: _Floats, w: int, h: int) -> _Floats:
        """positions() of the pixels at columns x and rows y (float arrays
        that broadcast together) of a w x h target."""
        import numpy as np

        px, py = x + 0.5, y + 0.5
        shape = np.broadcast_shapes(np.shape(px), np.shape(py))
        geometry = self._geometry(w, h)
        if geometry is None:
            return np.zeros(shape)
        with np.errstate(all="ignore"):
            if self.is_linear:
                dx, dy, length = geometry
                t = ((px - w / 2) * dx + (py - h / 2) * dy) / length + 0.5
            else:
                cx, cy, far = geometry
                t = np.hypot(px - cx, py - cy) / far
            t = np.broadcast_to(t, shape).astype(np.float64)
        t[~np.isfinite(t)] = 0.0
        return t

    def shade(self, t: npt.ArrayLike, alpha: float = 1.0) -> _Floats:
        """Straight RGBA (float64, shape t.shape + (4,)) at positions `t`,
        with alpha multiplied by `alpha`; unrounded, transparent pixels zeroed."""
        import numpy as np

        return _Ramp(self._colors, self.stops).shade(np.asarray(t, dtype=np.float64),
                                                     _opacity(alpha))

    def render(self, width: int, height: int, *, alpha: float = 1.0) -> _Levels:
        """The gradient over width x height pixels: a numpy uint8 array of
        shape (height, width, 4), RGBA, rows top to bottom, straight alpha.

        `alpha` is the overall opacity (1.0, as a generated texture has it;
        transparency / 255 to match ClickGradient.draw).

        Each pixel is shade() at its position, rounded, or one level from
        it; see _render_from_table for how and why.
        """
        import numpy as np

        w, h = _size(width, height)
        alpha = _opacity(alpha)
        if alpha == 0.0:
            return np.zeros((h, w, 4), dtype=np.uint8)
        ramp = _Ramp(self._colors, self.stops)
        if len(self._colors) < 2:  # one colour or none: the same everywhere
            return _fill(ramp.shade(np.zeros(1), alpha)[0], w, h)
        out = self._render_from_table(ramp, w, h, alpha)
        if out is None:
            out = _levels(ramp.shade(self.positions(w, h), alpha))
        return out

    def _cell_axes(self, w: int, h: int, per_unit: float
                   ) -> tuple[npt.NDArray[np.float32], npt.NDArray[np.float32], bool, float] | None:
        """Each pixel's place in the colour table, u = (t - t0) * per_unit,
        as two float32 vectors, one per column and one per row: a linear
        gradient's u is cols[x] + rows[y] (t is affine in x and y), a radial
        one's sqrt(cols[x] + rows[y]) (the squared distance to the centre
        separates). Returns (cols, rows, radial, t0), or None when every
        position is 0."""
        import numpy as np

        geometry = self._geometry(w, h)
        if geometry is None:
            return None
        px = np.arange(w, dtype=np.float64) + 0.5
        py = np.arange(h, dtype=np.float64) + 0.5
        with np.errstate(all="ignore"):
            if self.is_linear:
                dx, dy, length = geometry
                along_x = (px - w / 2) * (dx / length)
                along_y = (py - h / 2) * (dy / length) + 0.5
                t0 = float(along_x.min() + along_y.min())
                cols, rows = along_x * per_unit, (along_y - t0) * per_unit
            else:
                cx, cy, far = geometry
                scale = per_unit / far
                cols, rows, t0 = ((px - cx) * scale) ** 2, ((py - cy) * scale) ** 2, 0.0
        return cols.astype(np.float32), rows.astype(np.float32), not self.is_linear, t0

    def _render_from_table(self, ramp: _Ramp, w: int, h: int, alpha: float) -> _Levels | None:
        """render() through a table of colours over t, or None when the
        table would not pay (a target with few pixels).

        Between two breaks (stops, and positions where alpha crosses the
        cutoff) the premultiplied colour is affine in t, so each straight
        channel, a ratio of affine functions clamped to 0..1, is monotonic,
        and so is alpha. Over a cell of the table a channel therefore ranges
        between its values at the cell's ends and on either side of each
        break inside it. The table holds the middle of that range; where the
        range is wider than 2 * ROUGH_LEVELS (a hard edge, the cutoff, a
        steep fade next to a nearly transparent colour) the cell is rough
        and its pixels are shaded one by one at their exact positions. Every
        other pixel is then within ROUGH_LEVELS of its exact colour, so one
        level at most from it once rounded.

        A pixel's cell is computed in float32 from a vector per column and
        one per row, in blocks of rows so the scratch buffers stay in cache;
        a cell counts the breaks within SLACK_CELLS of it, beyond the
        float32 error.
        """
        import numpy as np

        per_unit = ramp.cells_per_unit(alpha)
        axes = self._cell_axes(w, h, per_unit)
        if axes is None:
            return _fill(ramp.shade(np.zeros(1), alpha)[0], w, h)
        cols, rows, radial, t0 = axes
        if not (np.isfinite(cols).all() and np.isfinite(rows).all()):
            return None  # a NaN would truncate to a wrong cell, silently
        lo = cols.min() + rows.min()  # float32 sums: exactly the least pixel's
        hi = cols.max() + rows.max()
        if radial:
            lo, hi = np.sqrt(lo), np.sqrt(hi)
        first, count = max(int(lo), 0), int(hi) + 1
        if (count - first + 1) * TABLE_PIXELS_PER_POINT > w * h:
            return None

        edges = ramp.shade(t0 + np.arange(first, count + 1) / per_unit, alpha)
        least = np.minimum(edges[:-1], edges[1:])
        most = np.maximum(edges[:-1], edges[1:])
        breaks = ramp.breaks(alpha)
        at = (breaks - t0) * per_unit
        inside = (at > first - 1 - SLACK_CELLS) & (at < count + SLACK_CELLS)
        breaks, at = breaks[inside], at[inside]
        if breaks.size:
            sides = ramp.shade(np.concatenate([np.nextafter(breaks, -np.inf), breaks]), alpha)
            for cell in (np.ceil(at - 1.0 - SLACK_CELLS), np.floor(at + SLACK_CELLS)):
                cell = np.tile(cell.astype(np.intp) - first, 2)
                keep = (cell >= 0) & (cell < count - first)
                np.minimum.at(least, cell[keep], sides[keep])
                np.maximum.at(most, cell[keep], sides[keep])
        rough = np.zeros(count, dtype=bool)
        wide = (most - least) * 255.0 > 2.0 * ROUGH_LEVELS
        rough[first:] = wide.view(np.uint32)[:, 0] != 0  # any of the four channels
        levels = np.zeros((count, 4), dtype=np.uint8)
        levels[first:] = _levels((least + most) * 0.5)
        table = levels.view(np.uint32).reshape(count)

        out = np.empty((h, w, 4), dtype=np.uint8)
        flat = out.view(np.uint32).reshape(h, w)
        block = max(1, BLOCK_PIXELS // w)
        u = np.empty((block, w), dtype=np.float32)
        cell = np.empty((block, w), dtype=np.intp)
        # Rough cells among cells 0..k-1: rough_below[k]. A block of rows
        # spans the cells between its least and greatest u, found from the
        # vectors as above; only a block spanning a rough cell is searched.
        rough_below = np.concatenate([[0], np.cumsum(rough)])
        cols_lo, cols_hi = cols.min(), cols.max()
        redo = []
        for y in range(0, h, block):
            n = min(block, h - y)
            np.add(cols, rows[y:y + n, None], out=u[:n])
            if radial:
                np.sqrt(u[:n], out=u[:n])
            np.copyto(cell[:n], u[:n], casting="unsafe")  # truncates; a hair below 0 gives 0
            np.take(table, cell[:n], out=flat[y:y + n], mode="clip")
            lo, hi = cols_lo + rows[y:y + n].min(), cols_hi + rows[y:y + n].max()
            if radial:
                lo, hi = np.sqrt(lo), np.sqrt(hi)
            lo, hi = min(max(int(lo), 0), count - 1), min(int(hi), count - 1)
            if rough_below[hi + 1] > rough_below[lo]:
                where = np.flatnonzero(np.take(rough, cell[:n], mode="clip"))
                redo.append(where + y * w)
        if redo:
            where = np.concatenate(redo)
            rows_at, cols_at = np.divmod(where, w)
            t = self._positions_at(cols_at.astype(np.float64), rows_at.astype(np.float64), w, h)
            out.reshape(-1, 4)[where] = _levels(ramp.shade(t, alpha))
        return out

    def surface(self, width: int, height: int, *, alpha: float = 1.0) -> pygame.Surface:
        """render() as a pygame Surface with per-pixel alpha."""
        import pygame

        pixels = self.render(width, height, alpha=alpha)
        w, h = _size(width, height)
        return pygame.image.frombuffer(pixels.tobytes(), (w, h), "RGBA").copy()

    def __repr__(self) -> str:
        where = f"angle={self.angle!r}" if self.is_linear else f"center={self.center!r}"
        return f"GradientPygame({len(self._colors)} colours, {self.type!r}, {where})"


class _Ramp:
    """The colours and stops of a gradient as arrays, to shade with."""

    def __init__(self, colours: list[Rgba], stops: Sequence[float]) -> None:
        import numpy as np

        n = len(colours)
        with np.errstate(all="ignore"):
            # Channels first (4, n): premultiplied colours clamped to 0..1
            # (NaN as 0), and the change from each to the next (none after
            # the last).
            cols = np.array(colours, dtype=np.float64).reshape(n, 4).T.copy()
            cols[cols != cols] = 0.0
            np.clip(cols, 0.0, 1.0, out=cols)
            cols[:3] *= cols[3]
            self.pm = cols
            self.change = np.append(cols[:, 1:] - cols[:, :-1], np.zeros((4, min(n, 1))), axis=1)
            self.stops = np.array(list(stops[:n]) + [math.nan] * (n - len(stops)),
                                  dtype=np.float64)
            # Colours j and j + 1 mix where j + 1 is the first index from 1
            # whose stop exceeds t, which is the first index whose running
            # maximum of stops exceeds t: that maximum is sorted, so a binary
            # search finds it (j = n - 1: past every stop, the last colour).
            # A NaN stop never exceeds t: it counts as -inf.
            self.rising = np.maximum.accumulate(
                np.where(np.isnan(self.stops[1:]), -np.inf, self.stops[1:]))
            # Equal stops, and the last colour, mix nothing: dividing by an
            # infinite span gives 0 (or NaN, read as 0).
            self.span = np.append(self.stops[1:] - self.stops[:-1], np.zeros(min(n, 1)))
            self.span[self.span == 0.0] = np.inf

    def average(self) -> _Floats:
        """The premultiplied mean colour of the ramp with its stops equally
        spaced (CSS's fill for a repeating period of zero length): each
        inner colour counts once, the two ends half each."""
        import numpy as np

        weights = np.ones(self.pm.shape[1])
        if weights.size > 1:
            weights[[0, -1]] = 0.5
        mean: _Floats = (self.pm * weights).sum(axis=1) / max(float(weights.sum()), 1.0)
        return mean

    def shade(self, t: _Floats, alpha: float) -> _Floats:
        """GradientPygame.shade, for float64 t and alpha on 0..1."""
        import numpy as np

        # Channels first while computing, so that each is contiguous.
        with np.errstate(all="ignore"):
            if self.pm.shape[1] == 0:
                out = np.zeros((4,) + t.shape)
            else:
                j = np.searchsorted(self.rising, t, side="right")
                f = (t - self.stops.take(j)) / self.span.take(j)
                f = np.minimum(np.maximum(f, 0.0), 1.0)
                f = np.where(f == f, f, 0.0)
                out = self.change.take(j, axis=1)
                out *= f
                out += self.pm.take(j, axis=1)
            a = out[3] * alpha
            visible = a >= MIN_ALPHA
            rgb = out[:3]
            rgb /= np.where(visible, out[3], 1.0)
            np.minimum(np.maximum(rgb, 0.0, out=rgb), 1.0, out=rgb)
            out[3] = a
            out *= visible
        return np.ascontiguousarray(np.moveaxis(out, 0, -1))

    def breaks(self, alpha: float) -> _Floats:
        """The positions (sorted, float64) where the colour may jump or its
        slope change: the stops, and where alpha crosses the cutoff."""
        import numpy as np

        a, stops = self.pm[3], self.stops
        with np.errstate(all="ignore"):
            f = (MIN_ALPHA / alpha - a[:-1]) / (a[1:] - a[:-1])
            crossings = (stops[:-1] + f * (stops[1:] - stops[:-1]))[(f >= 0.0) & (f <= 1.0)]
        points = np.concatenate([stops, crossings])
        return np.sort(points[np.isfinite(points)])

    def cells_per_unit(self, alpha: float) -> float:
        """How finely a colour table cuts t: enough cells per unit of t that
        no channel changes by more than ROUGH_LEVELS across a cell, between
        MIN_ and MAX_CELLS_PER_UNIT.

        That is half the spread that makes a cell rough. Cut at the full
        2 * ROUGH_LEVELS, the steepest channel would span exactly the limit
        across the cells where it is steepest (every cell of a 2-colour
        gradient), and rounding in the colours at the cells' ends would tip
        a tenth or more of them over it, their pixels then shaded one by
        one: over ten times as slow.

        Between colours p0 and p1 (premultiplied, alphas a0 and a1) the
        straight colour (p0 + f dp) / (a0 + f da) changes at the rate
        (dp a0 - p0 da) / a(f)^2, steepest where a(f) is least and the pixel
        still visible."""
        import numpy as np

        p0, dp = self.pm[:, :-1], self.change[:, :-1]
        a0, da = p0[3], dp[3]
        with np.errstate(all="ignore"):
            least = np.maximum(np.minimum(a0, a0 + da), MIN_ALPHA / alpha)
            rgb = np.abs(dp[:3] * a0 - p0[:3] * da) / least ** 2
            rate = np.maximum(rgb.max(axis=0, initial=0.0), np.abs(da) * alpha)
            rate *= 255.0 / np.abs(self.stops[1:] - self.stops[:-1])
            seen = (np.maximum(a0, a0 + da) * alpha >= MIN_ALPHA) & np.isfinite(rate)
        most = float(rate[seen].max()) if seen.any() else 0.0
        return min(max(most / ROUGH_LEVELS, MIN_CELLS_PER_UNIT), MAX_CELLS_PER_UNIT)


def shade_positions(t: _Floats, colours: Sequence[Rgba], stops: Sequence[float],
                    alpha: float = 1.0, *, space: str = "srgb", hue: str = "shorter",
                    hints: Sequence[float] | None = None) -> _Floats:
    """Straight (r, g, b, a) on 0..1 at positions `t` (those of
    kesa_ui.rendering.pygame.geometry, spread): each mixed between its stops
    in premultiplied sRGB, as GradientPygame mixes, or in another `space`
    with `hue` and `hints` (kesa_ui.rendering.pygame.interpolation), with
    `alpha` applied. A NaN position (a repeating period of zero length)
    takes the average colour of the gradient with its stops equally spaced,
    as CSS defines it."""
    import numpy as np

    from kesa_ui.rendering.pygame import interpolation

    alpha = _opacity(alpha)  # as the shader clamps it
    nan = np.isnan(t)
    plain = space == "srgb" and hints is None
    if plain:
        ramp = _Ramp(list(colours), stops)
        out = ramp.shade(np.where(nan, 0.0, t), alpha)
    else:
        out = interpolation.shade(np.where(nan, 0.0, t), colours, stops, space=space, hue=hue,
                                  hints=hints, alpha=alpha)
    if nan.any():
        if plain:
            mean = ramp.average()
            rgb = np.clip(mean[:3] / mean[3], 0.0, 1.0) if mean[3] > 0.0 else np.zeros(3)
            a = mean[3] * alpha
        else:
            straight = interpolation.average(colours, space)
            rgb, a = straight[:3], straight[3] * alpha
        out[nan] = np.append(rgb, a) if a >= MIN_ALPHA else np.zeros(4)
    return out


def _opacity(alpha: float) -> float:
    """An overall opacity as a float on 0..1 (NaN as 0)."""
    alpha = float(alpha)
    return 0.0 if alpha != alpha else min(max(alpha, 0.0), 1.0)


def _levels(rgba: _Floats) -> _Levels:
    """Colours on 0..1 as uint8 levels, rounded half up."""
    import numpy as np

    return np.floor(rgba * 255.0 + 0.5).astype(np.uint8)


def _fill(rgba: _Floats, w: int, h: int) -> _Levels:
    """A w x h uint8 image of the one colour `rgba` (on 0..1)."""
    import numpy as np

    return np.broadcast_to(_levels(rgba), (h, w, 4)).copy()


def _size(width: int, height: int) -> tuple[int, int]:
    w, h = _integer(width, "width"), _integer(height, "height")
    if w < 1 or h < 1:  # as generate_texture refuses them
        raise ValueError(f"a rendering is at least 1x1 pixels, got {w}x{h}")
    return w, h
