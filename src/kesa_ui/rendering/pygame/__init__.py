"""kesa_ui.rendering.pygame: CPU renderers for pygame surfaces.

Importing this package imports neither pygame nor numpy; renderers load them
when they are first used.
"""
