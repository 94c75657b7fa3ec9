from typing import Any, Final

from kesa_ui.core import GradientType as GradientType
from kesa_ui.core import modules as md
from kesa_ui.fast import GradientShader as GradientShader
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2
from kesa_ui.rendering.pygame.gradient import GradientPygame as GradientPygame

# A colour item is (r, g, b, a) or ((r, g, b, a), weight); lists of them are
# checked at run time.
_ColorItem = Any
_Point = tuple[float, float]
_State = tuple[Any, ...]

class GradientRaylib:
    def __init__(
        self,
        colors: list[_ColorItem] | None,
        type: object = ...,
        direction: object = None,
        angle: float | None = None,
        center: Any = None,
        transparency: int | float | None = None,
    ) -> None: ...
    @classmethod
    def _ensure_resources(cls) -> None: ...
    def generate_texture(self, width: int | float, height: int | float) -> KsRenderTexture: ...
    def __reduce_cython__(self) -> tuple[Any, ...]: ...
    def __setstate_cython__(self, __pyx_state: _State) -> None: ...
    def __reduce__(self) -> tuple[Any, ...]: ...
    def __setstate__(self, __pyx_state: _State) -> None: ...
    transparency: int
    angle: float
    @property
    def center(self) -> KsVector2: ...
    @center.setter
    def center(self, value: KsVector2 | _Point) -> None: ...
    colors: list[_ColorItem] | None
    raw_colors: list[_ColorItem] | None
    type: Any

class ClickGradient(GradientRaylib):
    def __init__(
        self,
        colors: list[_ColorItem] | None,
        type: object = ...,
        direction: object = None,
        angle: float | None = None,
        center: Any = None,
        transparency: int | float | None = None,
    ) -> None: ...
    def set_weight(self, index: int | float, weight: float) -> None: ...
    def set_center(self, center: tuple[float, ...]) -> None: ...
    def set_center_ksvec(self, center: KsVector2) -> None: ...
    def _recalculate_stops(self) -> None: ...
    def draw(self, x: float, y: float, width: float, height: float) -> None: ...
    @property
    def weights(self) -> list[float]: ...
    @weights.setter
    def weights(self, value: Any) -> None: ...

def __pyx_unpickle_GradientRaylib(
    __pyx_type: type[GradientRaylib], __pyx_checksum: int, __pyx_state: _State | None
) -> GradientRaylib: ...
def __pyx_unpickle_ClickGradient(
    __pyx_type: type[ClickGradient], __pyx_checksum: int, __pyx_state: _State | None
) -> ClickGradient: ...

__test__: Final[dict[str, Any]]
