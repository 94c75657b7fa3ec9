"""Colour gradients drawn by the GPU through one shared shader.

Constructing a gradient needs an open raylib window (the first one in a
window, made on the window's thread, builds the shared shader); after that
the model (construction, properties, pickling) works from any thread, while
generate_texture and ClickGradient.draw need the window's thread. Either
raises RuntimeError otherwise. docs/reference.md shows each parameter.
"""

from collections.abc import Iterable, Sequence
from inspect import Signature
from typing import Any, ClassVar, Final, TypeVar, overload

from typing_extensions import disjoint_base

from kesa_ui.core import GradientDirection
from kesa_ui.core import GradientType as GradientType
from kesa_ui.core import modules as md
from kesa_ui.fast import GradientShader as GradientShader
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.rendering.pygame.gradient import GradientPygame as GradientPygame

# A colour item: (r, g, b) or (r, g, b, a), numbers on 0..255, or
# ((r, g, b[, a]), weight). `colors` must be exactly a list, and lists are
# invariant: the constructors take a list literal read as a list of items,
# or a list of any one kind of item (a TypeVar bound to the item).
_Color = tuple[float, float, float] | tuple[float, float, float, float]
_ColorItem = _Color | tuple[_Color, float]
_Item = TypeVar("_Item", bound=_ColorItem)
_Point = tuple[float, float]
_State = tuple[Any, ...]

@disjoint_base
class GradientRaylib:
    """A linear or radial gradient over any number of colours, drawn by the GPU."""

    __signature__: ClassVar[Signature]
    @overload
    def __init__(
        self,
        colors: list[_ColorItem],
        type: GradientType = ...,
        direction: GradientDirection | float | _Point | None = None,
        angle: float | None = None,
        center: Sequence[float] | KsVector2 | None = None,
        transparency: int | float | None = None,
    ) -> None: ...
    @overload
    def __init__(
        self,
        colors: list[_Item],
        type: GradientType = ...,
        direction: GradientDirection | float | _Point | None = None,
        angle: float | None = None,
        center: Sequence[float] | KsVector2 | None = None,
        transparency: int | float | None = None,
    ) -> None:
        """A gradient of `colors`, in order from its start to its end.

        colors: a list of (r, g, b) or (r, g, b, a) tuples, 0..255 each (three
            components are opaque), each optionally paired with a weight as
            ((r, g, b, a), weight). The weights divide the gradient's length
            into consecutive bands, one per colour, each as wide as its share
            of the total (1 when omitted; zero and negative weights are
            accepted); inner colours sit at the centres of their bands, the
            first and last at the ends unless their band is over half of it.
            IndexError for a colour of fewer than three components, TypeError
            for one that is not a tuple (kesa_ui.core.color converts hex
            strings, CSS names and pygame.Color).
        type: GradientType.Linear (default) or GradientType.Radial (anything
            but Linear draws as radial).
        direction: a GradientDirection. Linear: Right (0 degrees), BottomRight,
            Bottom (90), BottomLeft, Left, TopLeft, Top, TopRight. Radial: the
            centre Center, TopCenter, BottomCenter or a corner. A name the
            kind has no use for gives its default (Right; Center). A number is
            a linear gradient's angle, an (x, y) tuple a radial one's centre.
        angle: a linear gradient's direction in degrees clockwise from +x (0
            runs left to right, 90 top to bottom, y points down); any real
            number. Overrides direction.
        center: a radial gradient's centre as (x, y) fractions of the drawn
            rectangle: (0, 0) its top-left corner, (1, 1) its bottom-right.
            Not pixels, and not clamped: (2, 2) lies far outside. Overrides
            direction. The gradient runs from the centre to the farthest
            corner.
        transparency: overall opacity, an int 0..255 (default 255; a float is
            truncated), applied by ClickGradient.draw, not by generate_texture.

        RuntimeError without an open window, or off its thread while the
        window has no gradient shader yet (the first gradient builds it).
        """

    @classmethod
    def _ensure_resources(cls) -> None:
        """Builds the shared gradient shader and blank texture for the open window, if missing."""
    def generate_texture(self, width: int | float, height: int | float) -> KsRenderTexture:
        """Renders the gradient into a new width x height render texture (pixels,
        truncated; 1 up to the GPU's texture limit) and returns it; the caller
        owns it. Its pixels hold straight (not premultiplied) colour at full
        opacity (transparency is not applied) and are stored bottom-up: draw
        it with target.draw(x, y), which draws it upright.

        Can be called inside a caller's rl.begin_texture_mode or frame; that
        target stays active afterwards. ValueError for a size out of range or
        for more colours than the shader holds (64 on most GPUs: "this
        gradient has N colours; the shader on this GPU holds M"); RuntimeError
        without a window or off its thread.
        """

    def __reduce_cython__(self) -> tuple[Any, ...]:
        """The pickle of the gradient: its reconstructor, checksum and state."""

    def __setstate_cython__(self, __pyx_state: _State) -> None:
        """Restores the fields from a pickle state tuple, without recomputing anything."""

    def __reduce__(self) -> tuple[Any, ...]:
        """The pickle of the gradient: its reconstructor, checksum and state."""

    def __setstate__(self, __pyx_state: _State) -> None:
        """Restores the fields from a pickle state tuple, without recomputing anything."""

    transparency: int
    """Overall opacity 0..255 for ClickGradient.draw (assigning truncates a float)."""
    angle: float
    """A linear gradient's direction, degrees clockwise from +x (a 32-bit float)."""
    @property
    def center(self) -> KsVector2:
        """A radial gradient's centre, fractions of the drawn rectangle ((0, 0)
        top left). Assign a KsVector2 or an (x, y) tuple."""

    @center.setter
    def center(self, value: KsVector2 | _Point) -> None: ...
    @property
    def colors(self) -> list[Any] | None:
        """The colour list as given; assigning a new list converts it and places
        the stops again (same rules as the constructor)."""

    @colors.setter
    def colors(self, value: list[_Item] | None) -> None: ...
    @property
    def raw_colors(self) -> list[Any] | None:
        """The colour list as given; assigning it stores the list only, without
        converting it (what is drawn does not change)."""

    @raw_colors.setter
    def raw_colors(self, value: list[_Item] | None) -> None: ...
    type: GradientType
    """The GradientType."""

@disjoint_base
class ClickGradient(GradientRaylib):
    """A GradientRaylib, radial by default, to draw straight onto the current
    target: its centre follows clicks (set_center), its bands reweight one at
    a time (set_weight), and draw() applies its transparency."""

    @overload
    def __init__(
        self,
        colors: list[_ColorItem],
        type: GradientType = ...,
        direction: GradientDirection | float | _Point | None = None,
        angle: float | None = None,
        center: Sequence[float] | KsVector2 | None = None,
        transparency: int | float | None = None,
    ) -> None: ...
    @overload
    def __init__(
        self,
        colors: list[_Item],
        type: GradientType = ...,
        direction: GradientDirection | float | _Point | None = None,
        angle: float | None = None,
        center: Sequence[float] | KsVector2 | None = None,
        transparency: int | float | None = None,
    ) -> None:
        """The arguments of GradientRaylib; type defaults to GradientType.Radial."""

    def set_weight(self, index: int | float, weight: float) -> None:
        """Gives colour `index` (0 first) the weight `weight` (any real number;
        see the constructor's colors) and places the stops again. IndexError
        for an index outside 0..len(colors) - 1."""

    def set_center(self, center: tuple[float, float]) -> None:
        """Moves a radial gradient's centre to center, a tuple (x, y) of
        fractions of the drawn rectangle ((0, 0) top left, (1, 1) bottom
        right; not clamped). From a click at pixel (px, py) over a rectangle
        of w x h pixels at (rx, ry): ((px - rx) / w, (py - ry) / h). TypeError
        for anything but a tuple."""

    def set_center_ksvec(self, center: KsVector2) -> None:
        """set_center with a KsVector2."""

    def _recalculate_stops(self) -> None:
        """Places the stops again from the weights alone."""

    def draw(self, x: float, y: float, width: float, height: float) -> None:
        """Paints the gradient over the rectangle (x, y, width, height), pixels
        of the current target (the screen in a frame, or a texture mode's
        target), with alpha multiplied by transparency / 255, blended with
        what is already there under the current blend mode (straight-alpha
        BLEND_ALPHA by default).

        ValueError for more colours than the shader holds; RuntimeError
        without a window or off its thread.
        """

    @property
    def weights(self) -> list[float]:
        """The colours' weights. Assigning stores new weights without placing
        the stops again: set_weight or a new colour list does that."""

    @weights.setter
    def weights(self, value: Iterable[float]) -> None: ...

def __pyx_unpickle_GradientRaylib(
    __pyx_type: type[GradientRaylib], __pyx_checksum: int, __pyx_state: _State | None
) -> GradientRaylib:
    """Rebuilds a pickled GradientRaylib (of __pyx_type) after checking its checksum."""

def __pyx_unpickle_ClickGradient(
    __pyx_type: type[ClickGradient], __pyx_checksum: int, __pyx_state: _State | None
) -> ClickGradient:
    """Rebuilds a pickled ClickGradient (of __pyx_type) after checking its checksum."""

__test__: Final[dict[str, Any]]
