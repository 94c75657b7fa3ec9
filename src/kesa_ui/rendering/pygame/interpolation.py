"""How the richer gradients' colours mix between stops in each
interpolation space: premultiplied sRGB (as GradientPygame and
GradientRaylib mix), linear sRGB, Oklab and OkLCh (with CSS Color 4's hue
methods), the progress through each gap bent by CSS Images 4's transition
hints. The CPU renderer shades through this; the GPU shader mixes the same
way, from colours converted on the CPU.

Everything is float64 numpy; colours are straight (r, g, b, a) on 0..1.
numpy is imported by the functions that need it.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import TYPE_CHECKING

if TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt

    _Floats = npt.NDArray[np.float64]

__all__ = ["HUES", "POWERLESS_CHROMA", "SPACES", "average", "from_space", "hint_weight",
           "hue_pairs", "shade", "to_space"]

SPACES = ("srgb", "srgb-linear", "oklab", "oklch")
HUES = ("shorter", "longer", "increasing", "decreasing")

# Below this chroma an OkLCh colour's hue is powerless (CSS Color 4's sample
# conversion uses the same bound): it takes the hue of the colour it mixes with.
POWERLESS_CHROMA = 4e-6

# Linear sRGB to the cone responses, and their cube roots to Oklab; and back.
_TO_LMS = ((0.4122214708, 0.5363325363, 0.0514459929),
           (0.2119034982, 0.6806995451, 0.1073969566),
           (0.0883024619, 0.2817188376, 0.6299787005))
_TO_LAB = ((0.2104542553, 0.7936177850, -0.0040720468),
           (1.9779984951, -2.4285922050, 0.4505937099),
           (0.0259040371, 0.7827717662, -0.8086757660))
_FROM_LAB = ((1.0, 0.3963377774, 0.2158037573),
             (1.0, -0.1055613458, -0.0638541728),
             (1.0, -0.0894841775, -1.2914855480))
_FROM_LMS = ((4.0767416621, -3.3077115913, 0.2309699292),
             (-1.2684380046, 2.6097574011, -0.3413193965),
             (-0.0041960863, -0.7034186147, 1.7076147010))


def hint_weight(p: _Floats, hint: float | _Floats) -> _Floats:
    """CSS Images 4's transition hint: the weight of the second colour at
    progress p (0..1) through a gap whose colour is half way at `hint` (one
    hint, or one per position)."""
    import numpy as np

    h = np.asarray(hint, dtype=np.float64)
    with np.errstate(divide="ignore", invalid="ignore"):
        bent = np.power(p, math.log(0.5) / np.log(np.clip(h, 1e-300, 1.0)))
    return np.where(h <= 0.0, np.where(p > 0.0, 1.0, 0.0),
                    np.where(h >= 1.0, np.where(p >= 1.0, 1.0, 0.0), bent))


def to_linear(c: _Floats) -> _Floats:
    import numpy as np

    a = np.abs(c)
    return np.sign(c) * np.where(a <= 0.04045, a / 12.92, ((a + 0.055) / 1.055) ** 2.4)


def from_linear(c: _Floats) -> _Floats:
    import numpy as np

    a = np.abs(c)
    return np.sign(c) * np.where(a <= 0.0031308, 12.92 * a, 1.055 * a ** (1 / 2.4) - 0.055)


def to_oklab(rgb: _Floats) -> _Floats:
    import numpy as np

    lms = np.cbrt(to_linear(rgb) @ np.array(_TO_LMS).T)
    lab: _Floats = lms @ np.array(_TO_LAB).T
    return lab


def from_oklab(lab: _Floats) -> _Floats:
    import numpy as np

    lms = (lab @ np.array(_FROM_LAB).T) ** 3
    return from_linear(lms @ np.array(_FROM_LMS).T)


def to_space(rgb: _Floats, space: str) -> _Floats:
    """Straight colours (n, 3) in `space`: OkLCh as (L, C, hue in degrees,
    NaN where powerless)."""
    import numpy as np

    if space == "srgb":
        return rgb
    if space == "srgb-linear":
        return to_linear(rgb)
    lab = to_oklab(rgb)
    if space == "oklab":
        return lab
    chroma = np.hypot(lab[:, 1], lab[:, 2])
    hue = np.mod(np.degrees(np.arctan2(lab[:, 2], lab[:, 1])), 360.0)
    return np.stack([lab[:, 0], chroma, np.where(chroma <= POWERLESS_CHROMA, np.nan, hue)], 1)


def from_space(v: _Floats, space: str) -> _Floats:
    import numpy as np

    if space == "srgb":
        return v
    if space == "srgb-linear":
        return from_linear(v)
    if space == "oklch":
        h = np.radians(v[..., 2])
        v = np.stack([v[..., 0], v[..., 1] * np.cos(h), v[..., 1] * np.sin(h)], -1)
    return from_oklab(v)


def hue_pairs(hues: _Floats, method: str) -> tuple[_Floats, _Floats]:
    """For each gap between stops j and j + 1, the hues it runs between
    (start, end) after CSS Color 4's fix-up for `method`; a powerless hue
    takes the other's, two powerless ones are 0."""
    import numpy as np

    h1, h2 = hues[:-1].copy(), hues[1:].copy()
    h1 = np.where(np.isnan(h1), h2, h1)
    h2 = np.where(np.isnan(h2), h1, h2)
    h1, h2 = np.nan_to_num(h1), np.nan_to_num(h2)
    d = h2 - h1
    if method == "shorter":
        h1 = np.where(d > 180.0, h1 + 360.0, h1)
        h2 = np.where(d < -180.0, h2 + 360.0, h2)
    elif method == "longer":
        h1 = np.where((d > 0.0) & (d < 180.0), h1 + 360.0, h1)
        h2 = np.where((d > -180.0) & (d <= 0.0), h2 + 360.0, h2)
    elif method == "increasing":
        h2 = np.where(d < 0.0, h2 + 360.0, h2)
    else:
        h1 = np.where(d > 0.0, h1 + 360.0, h1)
    return h1, h2


def average(colours: Sequence[Sequence[float]], space: str) -> _Floats:
    """The straight (r, g, b, a) mean of the ramp with its stops equally
    spaced (CSS's fill for a repeating period of no length): the mean of
    the premultiplied colours in `space`, each inner colour once and the two
    ends half each (Oklab's for "oklch": a mean of hues has no meaning),
    clipped to sRGB."""
    import numpy as np

    cols = _colours(colours)
    rect = "oklab" if space == "oklch" else space
    v = to_space(cols[:, :3], rect) * cols[:, 3:]
    weights = np.ones(len(cols))
    if len(cols) > 1:
        weights[[0, -1]] = 0.5
    total = max(float(weights.sum()), 1.0)
    a = float((cols[:, 3] * weights).sum()) / total
    if a <= 0.0:
        return np.zeros(4)
    mean = (v * weights[:, None]).sum(axis=0) / total / a
    return np.append(np.clip(from_space(mean, rect), 0.0, 1.0), a)


def _colours(colours: Sequence[Sequence[float]]) -> _Floats:
    """Colours as an (n, 4) array, clamped to 0..1 (NaN as 0)."""
    import numpy as np

    return np.clip(np.nan_to_num(np.array(colours, dtype=np.float64).reshape(-1, 4)), 0.0, 1.0)


def shade(t: _Floats, colours: Sequence[Sequence[float]], stops: Sequence[float], *,
          space: str = "srgb", hue: str = "shorter", hints: Sequence[float] | None = None,
          alpha: float = 1.0) -> _Floats:
    """Straight (r, g, b, a) on 0..1 at positions t: each between the stops
    it lies among, mixed in `space` in premultiplied form (the hue of OkLCh
    is not premultiplied), the progress through each gap bent by its hint,
    and clipped to sRGB per channel."""
    import numpy as np

    cols = _colours(colours)
    n = len(cols)
    stops_a = np.array(stops[:n], dtype=np.float64)
    v = to_space(cols[:, :3], space)
    a = cols[:, 3]
    t = np.asarray(t, dtype=np.float64)
    # Gap j runs from stop j to stop j + 1; before the first stop the first
    # colour, past the last the last one (a gap of no length too).
    rising = np.maximum.accumulate(stops_a[1:]) if n > 1 else np.zeros(0)
    j = np.clip(np.searchsorted(rising, t, side="right"), 0, max(n - 2, 0))
    if n == 1:
        f = np.zeros_like(t)
    else:
        span = stops_a[j + 1] - stops_a[j]
        with np.errstate(all="ignore"):
            f = np.where(span > 0.0, np.clip((t - stops_a[j]) / span, 0.0, 1.0),
                         np.where(t >= stops_a[j + 1], 1.0, 0.0))
        f = np.where(t >= rising[-1], 1.0, np.where(t < stops_a[0], 0.0, f))
        if hints is not None:
            f = hint_weight(f, np.asarray(hints, dtype=np.float64)[j])
    k1 = j
    k2 = np.minimum(j + 1, n - 1)
    a_mix = a[k1] + (a[k2] - a[k1]) * f
    out = np.zeros(t.shape + (4,))
    if space == "oklch":
        # One colour keeps its own hue (0 when powerless).
        h1, h2 = hue_pairs(v[:, 2], hue) if n > 1 else (np.nan_to_num(v[:, 2]),) * 2
        lc = v[:, :2] * a[:, None]
        mixed = lc[k1] + (lc[k2] - lc[k1]) * f[..., None]
        g = np.minimum(j, max(n - 2, 0))
        hue_mix = h1[g] + (h2[g] - h1[g]) * f
        with np.errstate(all="ignore"):
            straight = np.concatenate([mixed / a_mix[..., None], hue_mix[..., None]], -1)
    else:
        pm = v * a[:, None]
        mixed = pm[k1] + (pm[k2] - pm[k1]) * f[..., None]
        with np.errstate(all="ignore"):
            straight = mixed / a_mix[..., None]
    with np.errstate(all="ignore"):
        rgb = np.clip(np.nan_to_num(from_space(straight, space)), 0.0, 1.0)
    out[..., :3] = rgb
    out[..., 3] = a_mix * alpha
    out[out[..., 3] < 0.5 / 255.0] = 0.0
    return out
