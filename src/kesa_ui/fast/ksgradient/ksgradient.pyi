"""Richer gradients drawn by the GPU: linear, radial (circles and ellipses,
sized by CSS's extents or by radii, with a focal point) and conic, padded,
repeating or reflected, over colours placed by weight or by position.

A Gradient is a model: constructing it and setting its properties needs no
window and works from any thread. draw and generate_texture need an open
raylib window and its thread (RuntimeError otherwise); the first render in
a window builds the module's shader. docs/geometry.md shows each parameter.
kesa_ui.rendering.pygame.geometry.render draws the same pixels on the CPU.
"""

from collections.abc import Sequence
from typing import Literal, final

from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture

_Color = tuple[float, float, float] | tuple[float, float, float, float]
_ColorItem = _Color | tuple[_Color, float]
_Kind = Literal["linear", "radial", "conic"]
_Shape = Literal["circle", "ellipse"]
_Keyword = Literal["closest-side", "closest-corner", "farthest-side", "farthest-corner"]
_Extent = _Keyword | float | tuple[float, float]
_Spread = Literal["pad", "repeat", "reflect"]
_Space = Literal["srgb", "srgb-linear", "oklab", "oklch"]
_Hue = Literal["shorter", "longer", "increasing", "decreasing"]
_State = tuple[object, ...]

@final
class Gradient:
    def __init__(
        self,
        colors: Sequence[_ColorItem],
        kind: _Kind = "linear",
        *,
        angle: float = 0.0,
        center: Sequence[float] = (0.5, 0.5),
        shape: _Shape = "circle",
        extent: _Extent = "farthest-corner",
        focal: Sequence[float] | None = None,
        spread: _Spread = "pad",
        positions: Sequence[float] | None = None,
        transparency: int = 255,
        hints: Sequence[float] | None = None,
        interpolation: _Space = "srgb",
        hue: _Hue = "shorter",
    ) -> None:
        """Gradient(colors, kind="linear", *, angle=0.0, center=(0.5, 0.5), shape="circle",
        extent="farthest-corner", focal=None, spread="pad", positions=None, transparency=255,
        hints=None, interpolation="srgb", hue="shorter")

        A gradient of `colors` (any sequence of (r, g, b) or (r, g, b, a)
        tuples of numbers 0..255, or (colour, weight) pairs), in order from
        its start to its end.

        - kind: "linear", "radial" or "conic".
        - angle: degrees clockwise from +x, y down, measured in pixels: a
          linear gradient's direction (its ends touch the corners it leaves
          and meets last, on any aspect), where a conic one's position 0
          lies (positions grow clockwise).
        - center: (x, y) normalised to the rectangle, (0, 0) its top left:
          the centre of a radial or conic gradient.
        - shape: "circle" or "ellipse", the ending shape of a radial one.
        - extent: its size: "closest-side", "closest-corner",
          "farthest-side" or "farthest-corner" as CSS means them; or a
          radius (a circle, as a fraction of the rectangle's width); or
          radii (rx, ry) (an ellipse, fractions of its width and height).
          An explicit extent decides the shape. A zero radius draws the
          last colour (under "pad"; repeating, the average of the colours).
        - focal: None, or the normalised point where position 0 lies (the
          ellipse's own coordinates decide): SVG's fx, fy. One on or
          outside the ending shape is moved just inside it along the line
          from the centre, at each draw.
        - spread: "pad" (the end colours continue), "repeat" (the period
          from the first stop to the last starts over) or "reflect" (every
          other period mirrored). A period of no length, or one shorter
          than a pixel, draws the average of its colours.
        - positions: None (colours placed by weight: the first at 0, the
          last at 1, the inner ones at their bands' centres), or one
          number per colour along the gradient line (for a radial gradient
          its ray to the ending shape, for a conic one a full turn), any
          real numbers; one below a position before it moves up to the
          largest of those. With positions, colours take no weights.
        - transparency: an int 0..255, the opacity of draw.
        - hints: None, or one number 0..1 per gap between colours: where
          the colour is half way through the gap (0.5 mixes evenly), with
          CSS's curve.
        - interpolation: where colours mix, each in premultiplied form:
          "srgb" (as GradientRaylib mixes), "srgb-linear", "oklab" or
          "oklch"; a colour outside sRGB after mixing is clipped per
          channel.
        - hue: how "oklch" runs from one hue to the next: "shorter",
          "longer", "increasing" or "decreasing" (CSS Color 4's methods); an
          achromatic colour's hue is powerless and takes its neighbour's.

        Parameters the kind does not use are kept and ignored, so the
        properties may be set in any order. A bad argument raises TypeError
        or ValueError naming the parameter; a failed setter changes
        nothing.
        """

    @property
    def colors(self) -> tuple[tuple[float, float, float, float] | tuple[tuple[float, float, float, float], float], ...]:
        """The colours as (r, g, b, a) tuples, or ((r, g, b, a), weight)
        pairs for those given (or set) a weight. Setting it takes what the
        constructor takes; with positions, one colour per position."""
    @colors.setter
    def colors(self, value: Sequence[_ColorItem]) -> None: ...
    @property
    def kind(self) -> _Kind:
        """"linear", "radial" or "conic"."""
    @kind.setter
    def kind(self, value: _Kind) -> None: ...
    @property
    def angle(self) -> float:
        """Degrees clockwise from +x (y down): the direction of a linear
        gradient, where position 0 of a conic one lies."""
    @angle.setter
    def angle(self, value: float) -> None: ...
    @property
    def center(self) -> tuple[float, float]:
        """The centre of a radial or conic gradient, normalised to the
        rectangle."""
    @center.setter
    def center(self, value: Sequence[float]) -> None: ...
    @property
    def shape(self) -> _Shape:
        """The ending shape of a radial gradient under a keyword extent."""
    @shape.setter
    def shape(self, value: _Shape) -> None: ...
    @property
    def extent(self) -> _Extent:
        """A keyword, a radius (a circle, a fraction of the width) or radii
        (rx, ry) (an ellipse, fractions of the width and the height)."""
    @extent.setter
    def extent(self, value: _Extent) -> None: ...
    @property
    def focal(self) -> tuple[float, float] | None:
        """None, or the normalised point where position 0 of a radial
        gradient lies."""
    @focal.setter
    def focal(self, value: Sequence[float] | None) -> None: ...
    @property
    def spread(self) -> _Spread:
        """"pad", "repeat" or "reflect"."""
    @spread.setter
    def spread(self, value: _Spread) -> None: ...
    @property
    def positions(self) -> tuple[float, ...] | None:
        """None (colours placed by weight), or the position of each colour
        as given."""
    @positions.setter
    def positions(self, value: Sequence[float] | None) -> None: ...
    @property
    def transparency(self) -> int:
        """The opacity of draw, 0..255."""
    @transparency.setter
    def transparency(self, value: int) -> None: ...
    @property
    def hints(self) -> tuple[float, ...] | None:
        """None, or where the colour is half way through each gap between
        colours, 0..1."""
    @hints.setter
    def hints(self, value: Sequence[float] | None) -> None: ...
    @property
    def interpolation(self) -> _Space:
        """"srgb", "srgb-linear", "oklab" or "oklch": where colours mix."""
    @interpolation.setter
    def interpolation(self, value: _Space) -> None: ...
    @property
    def hue(self) -> _Hue:
        """"shorter", "longer", "increasing" or "decreasing": how "oklch"
        runs between hues (kept and ignored in the other spaces)."""
    @hue.setter
    def hue(self, value: _Hue) -> None: ...
    @property
    def stops(self) -> tuple[float, ...]:
        """Where each colour sits, as the shader takes it: from the weights,
        or the positions as fixed up (each at least the largest before it),
        as 32-bit floats."""
    def set_weight(self, index: int, weight: float) -> None:
        """Gives colour `index` the weight `weight` (a finite number, at
        least 0) and places the colours again. IndexError for an index out
        of range; ValueError when positions place the colours."""
    def draw(self, x: float, y: float, width: float, height: float) -> None:
        """Paints the gradient over the rectangle (x, y, width, height) of
        the current target (the screen, or a texture mode's target), with
        the gradient's transparency. A zero width or height draws nothing.
        Refused (RuntimeError) while another gradient renders."""
    def generate_texture(self, width: int, height: int) -> KsRenderTexture:
        """A new width x height render texture holding the gradient, with
        straight (not premultiplied) alpha, drawn upright by
        KsRenderTexture.draw. The caller owns it."""
    def __reduce__(self) -> tuple[type[Gradient], tuple[object], _State]: ...
    def __setstate__(self, state: _State, /) -> None: ...
