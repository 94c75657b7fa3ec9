"""kesa_ui.core: the toolkit's core names.

GradientType and GradientDirection live here (and nowhere else) because
pickled gradients store them by this module path; color() (from
kesa_ui.core.colors) turns hex strings, CSS colour names and pygame colours
into the (r, g, b, a) tuples the gradients take. Importing this package
stays cheap: the raylib binding is reached through kesa_ui.core.modules.
"""

from enum import Enum

from kesa_ui.core.colors import color

__all__ = ["GradientDirection", "GradientType", "color"]


class GradientType(Enum):
    """The kind of a gradient."""

    Linear = 0
    Radial = 1


class GradientDirection(Enum):
    """Named directions of a gradient.

    A linear gradient turns the name into an angle (Right, Left, Bottom, Top
    and the four corners); a radial one into a centre (Center, TopCenter,
    BottomCenter and the four corners). A name missing from the kind's table
    falls back to that table's default.
    """

    Right = "Right"
    Left = "Left"
    Bottom = "Bottom"
    Top = "Top"
    BottomRight = "BottomRight"
    TopLeft = "TopLeft"
    TopRight = "TopRight"
    BottomLeft = "BottomLeft"
    Center = "Center"
    TopCenter = "TopCenter"
    BottomCenter = "BottomCenter"
