from typing import SupportsFloat

from typing_extensions import Self, disjoint_base

@disjoint_base
class KsRect:
    """A rectangle of 32-bit floats: x, y its top-left corner, w, h its size
    (pixels where the toolkit draws)."""

    x: float
    y: float
    w: float
    h: float
    def __new__(
        cls, x: SupportsFloat = 0, y: SupportsFloat = 0, w: SupportsFloat = 0, h: SupportsFloat = 0
    ) -> Self: ...
