"""kesa_ui: a Python UI toolkit that draws with raylib."""

from kesa_ui._version import __version__

__all__ = ["__version__"]
