"""kesa_ui.fast: the toolkit's native rendering modules and shader sources."""

from kesa_ui.fast import GradientShader

__all__ = ["GradientShader"]
