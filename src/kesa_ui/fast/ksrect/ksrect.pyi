from typing import SupportsFloat

class KsRect:
    x: float
    y: float
    w: float
    h: float
    def __init__(
        self, x: SupportsFloat = 0, y: SupportsFloat = 0, w: SupportsFloat = 0, h: SupportsFloat = 0
    ) -> None: ...
