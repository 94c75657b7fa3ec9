"""A typed user program: mypy --strict must accept it (make typecheck)."""

from kesa_ui.core import GradientDirection, GradientType, color
from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.fast.ksrendertex.ks_render_tex import KsRenderTexture
from kesa_ui.rendering.pygame.gradient import GradientPygame

palette = [color("#ff0000"), color("navy")]


def background(width: int, height: int) -> KsRenderTexture:
    g = GradientRaylib(palette, GradientType.Linear, GradientDirection.TopLeft)
    g.colors = [(255, 255, 255), (0, 0, 0)]
    return g.generate_texture(width, height)


click = ClickGradient([((255, 0, 0), 2.0), ((0, 0, 255, 128), 1)], transparency=200)
click.set_center((0.25, 0.75))
mixed = GradientRaylib([(255, 0, 0, 255), ((0, 0, 255, 255), 3)])
cpu = GradientPygame(palette)
cpu_tuple = GradientPygame(((255, 0, 0), ((0, 0, 255, 128), 2)))
