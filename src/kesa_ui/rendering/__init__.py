"""kesa_ui.rendering: renderers that do not go through raylib."""
