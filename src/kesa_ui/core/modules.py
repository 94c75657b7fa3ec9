"""The toolkit's shared module handles: ``rl`` is the raylib binding."""

from kesa_ui.core import rl

__all__ = ["rl"]
