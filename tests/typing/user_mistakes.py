"""Colour mistakes mypy --strict must catch: each marked line is an error,
or its unused ignore comment fails the check (make typecheck)."""

from kesa_ui.fast.ksraygrad.ksraygrad import ClickGradient, GradientRaylib
from kesa_ui.rendering.pygame.gradient import GradientPygame

GradientRaylib(["red", "blue"])  # type: ignore[list-item]
GradientRaylib([0xFF0000, 0x0000FF])  # type: ignore[list-item]
ClickGradient([{"r": 255, "g": 0, "b": 0}])  # type: ignore[list-item]
GradientRaylib([(255, 0)])  # type: ignore[list-item]
GradientPygame(["red"])  # type: ignore[list-item]
g = GradientRaylib([(255, 0, 0)])
g.colors = ["red"]  # type: ignore[type-var]
