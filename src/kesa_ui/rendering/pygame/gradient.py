"""GradientPygame: the CPU counterpart of the GPU gradient.

It takes the arguments of GradientRaylib, turns them into the same state
(angle and centre tables, colours divided by 255 as 32-bit floats, stops
placed within weighted bands in 32-bit arithmetic) and computes every pixel
the way the gradient shader does (kesa_ui.fast.GradientShader), minus the
dither. The GPU gradient module publishes this class beside its own.

Importing this module stays cheap: numpy and pygame are imported inside the
methods that need them.
"""

import math

from kesa_ui.core import GradientType

__all__ = ["GradientPygame"]

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


def _f32(x):
    """x rounded to the nearest 32-bit float (overflow gives an infinity)."""
    import numpy as np

    with np.errstate(over="ignore"):
        return float(np.float32(x))


def compute_stops(weights):
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
    stops = []
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


def _type_name(obj):
    return type(obj).__name__


def _number(value, what):
    if isinstance(value, (str, bytes)):
        raise TypeError(f"{what} must be a number, not {_type_name(value)}")
    try:
        return float(value)
    except (TypeError, ValueError) as exc:
        raise TypeError(f"{what} must be a number, not {_type_name(value)}") from exc


def _integer(value, what):
    """value through its integer conversion (a float truncates toward zero)."""
    if isinstance(value, (str, bytes)):
        raise TypeError(f"{what} must be an integer, not {_type_name(value)}")
    try:
        return int(value)
    except (TypeError, ValueError) as exc:
        raise TypeError(f"{what} must be an integer, not {_type_name(value)}") from exc


def _colour(item):
    """A colour tuple (r, g, b, a, ...) on 0..255 as four 32-bit floats on 0..1."""
    if type(item) is not tuple:
        raise TypeError(f"a colour must be a tuple (r, g, b, a), not {_type_name(item)}")
    if len(item) < 4:
        raise ValueError(f"a colour needs four components (r, g, b, a), got {len(item)}")
    return tuple(_f32(_number(v, "a colour component") / 255.0) for v in item[:4])


class GradientPygame:
    """A linear or radial gradient computed on the CPU with numpy.

    GradientPygame(colors, type=GradientType.Linear, direction=None,
    angle=None, center=None, transparency=None) takes the arguments of
    GradientRaylib: `colors` is a list of (r, g, b, a) tuples on 0..255, each
    optionally paired with a weight as ((r, g, b, a), weight); `direction` a
    GradientDirection member (or an angle for a linear gradient, an (x, y)
    centre for a radial one); `angle` and `center` override it.

    render(width, height) gives the pixels; surface(width, height) a pygame
    Surface of them.
    """

    def __init__(self, colors, type=GradientType.Linear, direction=None, angle=None,
                 center=None, transparency=None):
        self.type = type
        self.transparency = 255 if transparency is None else _integer(transparency, "transparency")
        self.angle = 0.0
        self.center = (0.5, 0.5)
        if direction is not None:
            if self.type == GradientType.Linear:
                if hasattr(direction, "name"):
                    self.angle = ANGLES.get(direction.name, 0.0)
                elif isinstance(direction, (int, float)):
                    self.angle = _f32(direction)
            elif self.type == GradientType.Radial:
                if hasattr(direction, "name"):
                    self.center = CENTERS.get(direction.name, (0.5, 0.5))
                elif isinstance(direction, tuple):
                    self.center = (_number(direction[0], "x"), _number(direction[1], "y"))
        if angle is not None:
            self.angle = _f32(_number(angle, "angle"))
        if center is not None:
            self.center = (_number(center[0], "x"), _number(center[1], "y"))
        self.colors = colors

    @property
    def colors(self):
        """The colour list as given; assigning it recomputes colours and stops."""
        return self._raw_colors

    @colors.setter
    def colors(self, colors):
        if not isinstance(colors, list):
            raise TypeError(f"colors must be a list, not {_type_name(colors)}")
        rgba, weights = [], []
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
    def is_linear(self):
        return self.type == GradientType.Linear

    def positions(self, width, height):
        """Position along the gradient (float64, shape (height, width)) of
        each pixel centre; 0 at the start, 1 at the end."""
        import numpy as np

        w, h = _size(width, height)
        px = np.arange(w, dtype=np.float64) + 0.5
        py = (np.arange(h, dtype=np.float64) + 0.5)[:, None]
        with np.errstate(all="ignore"):
            if self.is_linear:
                a = math.radians(self.angle) if math.isfinite(self.angle) else math.nan
                dx, dy = math.cos(a), math.sin(a)
                length = abs(w * dx) + abs(h * dy)
                if length > 0.0:
                    t = ((px - w / 2) * dx + (py - h / 2) * dy) / length + 0.5
                else:
                    t = np.zeros((h, w))
            else:
                cx, cy = self.center[0] * w, self.center[1] * h
                far = math.hypot(max(abs(cx), abs(w - cx)), max(abs(cy), abs(h - cy)))
                if far > 0.0:
                    t = np.hypot(px - cx, py - cy) / far
                else:
                    t = np.zeros((h, w))
            t = np.broadcast_to(t, (h, w)).astype(np.float64)
        t[~np.isfinite(t)] = 0.0
        return t

    def shade(self, t, alpha=1.0):
        """Straight RGBA (float64, shape t.shape + (4,)) at positions `t`,
        with alpha multiplied by `alpha`; unrounded, transparent pixels zeroed."""
        import numpy as np

        t = np.asarray(t, dtype=np.float64)
        n = len(self._colors)
        with np.errstate(all="ignore"):
            cols = np.nan_to_num(np.array(self._colors, dtype=np.float64).reshape(n, 4), nan=0.0)
            cols = np.clip(cols, 0.0, 1.0)
            pm = np.concatenate([cols[:, :3] * cols[:, 3:], cols[:, 3:]], axis=1)
            out = np.zeros(t.shape + (4,))
            if n == 1:
                out[...] = pm[0]
            elif n > 1:
                stops = np.array(self.stops[:n] + [math.nan] * (n - len(self.stops)),
                                 dtype=np.float64)
                out[...] = pm[n - 1]
                pending = np.ones(t.shape, dtype=bool)
                for i in range(1, n):
                    here = pending & (stops[i] > t)
                    if not here.any():
                        continue
                    span = stops[i] - stops[i - 1]
                    if span != 0.0:
                        f = np.clip((t[here] - stops[i - 1]) / span, 0.0, 1.0)
                        f = np.nan_to_num(f, nan=0.0)[:, None]
                    else:
                        f = 0.0
                    out[here] = pm[i - 1] + (pm[i] - pm[i - 1]) * f
                    pending &= ~here
            alpha = float(alpha)
            alpha = 0.0 if alpha != alpha else min(max(alpha, 0.0), 1.0)
            a = out[..., 3] * alpha
            visible = a >= MIN_ALPHA
            rgb = np.clip(out[..., :3] / np.where(visible, out[..., 3], 1.0)[..., None], 0.0, 1.0)
            result = np.concatenate([rgb, a[..., None]], axis=-1)
            result[~visible] = 0.0
        return result

    def render(self, width, height, *, alpha=1.0):
        """The gradient over width x height pixels: a numpy uint8 array of
        shape (height, width, 4), RGBA, rows top to bottom, straight alpha.

        `alpha` is the overall opacity (1.0, as a generated texture has it;
        transparency / 255 to match ClickGradient.draw).
        """
        import numpy as np

        rgba = self.shade(self.positions(width, height), alpha)
        return np.floor(rgba * 255.0 + 0.5).astype(np.uint8)

    def surface(self, width, height, *, alpha=1.0):
        """render() as a pygame Surface with per-pixel alpha."""
        import pygame

        pixels = self.render(width, height, alpha=alpha)
        w, h = _size(width, height)
        return pygame.image.frombuffer(pixels.tobytes(), (w, h), "RGBA").copy()

    def __repr__(self):
        where = f"angle={self.angle!r}" if self.is_linear else f"center={self.center!r}"
        return f"GradientPygame({len(self._colors)} colours, {self.type!r}, {where})"


def _size(width, height):
    w, h = _integer(width, "width"), _integer(height, "height")
    if w < 0 or h < 0:
        raise ValueError(f"size must not be negative, got {w}x{h}")
    return w, h
