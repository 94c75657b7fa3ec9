"""Where each pixel lies along a gradient of every shape: the geometry of the
richer gradients (linear, radial and conic; circles and ellipses sized by
CSS Images 4's extents or by explicit radii; a focal point; pad, repeat and
reflect; explicit stop positions), computed at pixel centres in float64.

A position is a number along the gradient: 0 where the first stop of an
unpositioned gradient lies, 1 where its last one does (the gradient line's
ends for a linear gradient, the ending shape for a radial one, a full turn
for a conic one). The CPU renderer shades from these numbers, and the GPU
shader computes the same ones per fragment.

Coordinates are pixels with (0, 0) at the top left, y down; angles are
degrees clockwise from +x, measured in pixels; a centre or focal point is
normalised to the rectangle. numpy is imported by the functions that need
it, so importing this module stays cheap.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any, Protocol

if TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt

    _Floats = npt.NDArray[np.float64]
    _Levels = npt.NDArray[np.uint8]

__all__ = [
    "EXTENTS", "FOCAL_LIMIT", "KINDS", "SHAPES", "SPREADS", "ending_radii", "fixed_positions",
    "focal_coordinates", "focal_inside", "positions", "render", "spread",
]

KINDS = ("linear", "radial", "conic")
SHAPES = ("circle", "ellipse")
EXTENTS = ("closest-side", "closest-corner", "farthest-side", "farthest-corner")
SPREADS = ("pad", "repeat", "reflect")

# A focal point on or outside the ending shape is moved onto the line from the
# centre, to this fraction of the way to the shape (just inside it: on the
# shape itself the two circles touch and half the plane has no position).
FOCAL_LIMIT = 1.0 - 1.0 / 1024.0

Extent = str | float | tuple[float, float]


class GradientParameters(Protocol):
    """What render reads of a gradient: kesa_ui.fast.ksgradient's Gradient
    has all of it."""

    @property
    def colors(self) -> Sequence[tuple[Any, ...]]: ...
    @property
    def kind(self) -> str: ...
    @property
    def angle(self) -> float: ...
    @property
    def center(self) -> tuple[float, float]: ...
    @property
    def shape(self) -> str: ...
    @property
    def extent(self) -> Extent: ...
    @property
    def focal(self) -> tuple[float, float] | None: ...
    @property
    def spread(self) -> str: ...
    @property
    def stops(self) -> Sequence[float]: ...
    @property
    def interpolation(self) -> str: ...
    @property
    def hue(self) -> str: ...
    @property
    def hints(self) -> Sequence[float] | None: ...


def ending_radii(shape: str, extent: Extent, cx: float, cy: float, w: float,
                 h: float) -> tuple[float, float]:
    """The ending shape's radii (rx, ry) in pixels for a centre at (cx, cy)
    pixels in a w x h rectangle, with CSS Images 4's meanings: the sides or
    corners closest to or farthest from the centre; a corner extent of an
    ellipse keeps the aspect ratio of the matching side extent. An explicit
    extent is a fraction of the width (a circle) or of the width and the
    height ((rx, ry), an ellipse)."""
    if isinstance(extent, tuple):
        return float(extent[0]) * w, float(extent[1]) * h
    if not isinstance(extent, str):
        r = float(extent) * w
        return r, r
    dx = (abs(float(cx)), abs(float(w - cx)))
    dy = (abs(float(cy)), abs(float(h - cy)))
    pick = min if extent.startswith("closest") else max
    if extent.endswith("side"):
        sx, sy = pick(dx), pick(dy)
        if shape == "circle":
            r = pick(sx, sy)
            return r, r
        return sx, sy
    # A corner: the one closest to (or farthest from) the centre.
    corners = [(x, y) for x in dx for y in dy]
    kx, ky = pick(corners, key=lambda c: math.hypot(c[0], c[1]))
    if shape == "circle":
        r = math.hypot(kx, ky)
        return r, r
    sx, sy = pick(dx), pick(dy)
    if sx == 0.0 or sy == 0.0:
        return 0.0, 0.0  # the side ellipse is degenerate: so is this one
    # The ellipse of aspect sx : sy through (kx, ky).
    rx = math.hypot(kx, ky * sx / sy)
    return rx, rx * sy / sx


def focal_inside(fx: float, fy: float, cx: float, cy: float, rx: float,
                 ry: float) -> tuple[float, float]:
    """The focal point (fx, fy) in pixels, moved along the line from the
    centre to FOCAL_LIMIT of the way to the ending shape when it lies on the
    shape or beyond (as SVG 1.1 does), the ellipse's own coordinates deciding.
    The radii must be positive (a degenerate shape has no focal point)."""
    ux, uy = (fx - cx) / rx, (fy - cy) / ry
    d = math.hypot(ux, uy)
    if d < FOCAL_LIMIT:
        return fx, fy
    return cx + ux / d * FOCAL_LIMIT * rx, cy + uy / d * FOCAL_LIMIT * ry


def positions(kind: str, w: int, h: int, *, angle: float = 0.0,
              center: Sequence[float] = (0.5, 0.5), shape: str = "circle",
              extent: Extent = "farthest-corner",
              focal: Sequence[float] | None = None) -> _Floats:
    """The position of every pixel centre of a w x h rectangle, an (h, w)
    array. A radial gradient with a zero radius puts every pixel beyond its
    last stop (+inf), as CSS's degenerate ending shapes do."""
    import numpy as np

    x = np.arange(w, dtype=np.float64) + 0.5
    y = (np.arange(h, dtype=np.float64) + 0.5)[:, None]
    if kind == "linear":
        # CSS's gradient line: through the middle, long enough that the
        # corners it leaves behind and meets last lie at 0 and 1.
        a = math.radians(angle)
        ux, uy = math.cos(a), math.sin(a)
        length = abs(w * ux) + abs(h * uy)
        t = ((x - w / 2.0) * ux + (y - h / 2.0) * uy) / length + 0.5
        return np.broadcast_to(t, (h, w)).astype(np.float64)
    cx, cy = center[0] * w, center[1] * h
    if kind == "conic":
        turn = np.mod(np.degrees(np.arctan2(y - cy, x - cx)) - angle, 360.0)
        # A turn just below 0 can round up to a full one: it is 0.
        return np.where(turn < 360.0, turn, 0.0) / 360.0
    rx, ry = ending_radii(shape, extent, cx, cy, w, h)
    if not (rx > 0.0 and ry > 0.0):
        return np.full((h, w), np.inf)
    qx, qy = (x - cx) / rx, (y - cy) / ry
    if focal is None:
        return np.broadcast_to(np.hypot(qx, qy), (h, w)).astype(np.float64)
    fx, fy = focal_inside(focal[0] * w, focal[1] * h, cx, cy, rx, ry)
    # In the ellipse's own coordinates the ending shape is the unit circle
    # about 0 and the focal point f lies inside it. A point p lies at t when
    # it is on the circle of radius t about f + t * (0 - f):
    # |p - f + t f| = t, the positive root of a t^2 - 2 b t - c = 0, in the
    # form that cancels no digits (the shader's single precision needs it
    # when f is near the shape).
    gx, gy, a = focal_coordinates(fx, fy, cx, cy, rx, ry)
    ex, ey = qx - gx, qy - gy
    b = ex * gx + ey * gy
    c = ex * ex + ey * ey
    s = np.sqrt(b * b + a * c)
    with np.errstate(divide="ignore", invalid="ignore"):
        t = np.where(b >= 0.0, (b + s) / a, c / (s - b))
    return np.broadcast_to(t, (h, w)).astype(np.float64)


def focal_coordinates(fx: float, fy: float, cx: float, cy: float, rx: float,
                      ry: float) -> tuple[float, float, float]:
    """The focal point (fx, fy) in pixels in the ellipse's own coordinates,
    where the ending shape is the unit circle about 0, and 1 - x^2 - y^2 of
    it: what the shader takes for a focal point."""
    gx, gy = (fx - cx) / rx, (fy - cy) / ry
    return gx, gy, 1.0 - (gx * gx + gy * gy)


def fixed_positions(given: Sequence[float]) -> list[float]:
    """Stop positions as CSS fixes them up: one below a position before it
    moves up to the largest of those."""
    fixed: list[float] = []
    for p in given:
        fixed.append(max(float(p), fixed[-1]) if fixed else float(p))
    return fixed


def spread(t: _Floats, mode: str, first: float, last: float) -> _Floats:
    """Positions `t` folded into the period from `first` to `last` (the
    first and last stop positions): "pad" leaves them (the ramp holds its
    end colours beyond the stops), "repeat" starts the period over,
    "reflect" mirrors every other period. A period of zero length, or a
    position at infinity, is NaN under repeat and reflect: such pixels take
    the average of the period's colours, as CSS says."""
    import numpy as np

    if mode == "pad":
        return t
    period = last - first
    if not period > 0.0:
        return np.full_like(t, np.nan)
    with np.errstate(invalid="ignore"):
        u = (t - first) / period
        whole = np.floor(u)
        frac = u - whole
        if mode == "reflect":
            frac = np.where(np.mod(whole, 2.0) == 1.0, 1.0 - frac, frac)
        out = first + frac * period
    return np.where(np.isfinite(t), out, np.nan)


def period_scale(kind: str, w: float, h: float, *, angle: float, center: Sequence[float],
                 radii: tuple[float, float]) -> float:
    """Pixels per unit of position, roughly: the gradient line's length
    (linear), the larger radius (radial), the circumference through the
    farthest corner (conic). A repeating period shorter than a pixel on
    this scale is finer than the pixels that sample it, and is drawn as the
    average of its colours (the GPU does the same)."""
    if kind == "linear":
        a = math.radians(angle)
        return abs(w * math.cos(a)) + abs(h * math.sin(a))
    if kind == "conic":
        cx, cy = center[0] * w, center[1] * h
        return 2.0 * math.pi * math.hypot(max(cx, w - cx), max(cy, h - cy))
    return max(radii)


def render(gradient: GradientParameters, width: int, height: int, *,
           alpha: float = 1.0) -> _Levels:
    """The pixels of `gradient` (kesa_ui.fast.ksgradient's Gradient, or
    anything with its properties) over a width x height rectangle, as an
    (height, width, 4) uint8 array of straight RGBA: what its
    generate_texture holds, within a level (the GPU adds a dither of under
    half a level). `alpha` (0..1) is the opacity, as a draw's transparency
    / 255."""
    from kesa_ui.rendering.pygame.gradient import _levels, _size, shade_positions

    w, h = _size(width, height)
    kind, center, extent = gradient.kind, gradient.center, gradient.extent
    t = positions(kind, w, h, angle=gradient.angle, center=center, shape=gradient.shape,
                  extent=extent, focal=gradient.focal)
    stops = [float(s) for s in gradient.stops]
    if not stops:
        raise ValueError("the gradient has no colours: it was never initialised or restored")
    first, last = stops[0], stops[-1]
    radii = (ending_radii(gradient.shape, extent, center[0] * w, center[1] * h, w, h)
             if kind == "radial" else (0.0, 0.0))
    scale = period_scale(kind, w, h, angle=gradient.angle, center=center, radii=radii)
    if not (last - first) * scale >= 1.0:
        last = first
    t = spread(t, gradient.spread, first, last)
    colours = []
    for item in gradient.colors:
        colour = item[0] if isinstance(item[0], tuple) else item  # a weighted pair's colour
        r, g, b, a = (float(c) / 255.0 for c in colour)
        colours.append((r, g, b, a))
    return _levels(shade_positions(t, colours, stops, alpha, space=gradient.interpolation,
                                   hue=gradient.hue, hints=gradient.hints))
