"""GradientPygame: the CPU counterpart of the GPU gradient.

The GPU gradient module publishes this class beside its own. Keep the import
cheap: numpy and pygame may only be imported inside methods.
"""

__all__ = ["GradientPygame"]


class GradientPygame:
    """A gradient rendered on the CPU into a pygame surface.

    Placeholder: it holds no state and renders nothing yet.
    """
