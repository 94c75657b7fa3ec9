"""kesa_ui: a Python UI toolkit that draws with raylib."""
