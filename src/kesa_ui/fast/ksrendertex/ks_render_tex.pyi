from typing import Sequence, final

from typing_extensions import Self, disjoint_base

from kesa_ui.core.rl import RenderTexture
from kesa_ui.fast.ksvector2.ksvector2 import KsVector2

@disjoint_base
class KsRenderTexture:
    """An off-screen render target of size.x by size.y pixels.

    GradientRaylib.generate_texture returns one; the caller owns it, and its
    GPU objects are released when it is garbage collected or unload() is
    called. Its pixels are stored bottom-up, as raylib's render textures are:
    draw() and draw_rect() draw it upright; rl.load_image_from_texture gives
    the rows bottom first. It belongs to the window it was made in: after
    rl.close_window every use but unload() raises RuntimeError.
    """

    def __new__(cls, size: KsVector2) -> Self:
        """A new target of size.x by size.y pixels (truncated, each 1 up to the
        GPU's texture limit). TypeError unless size is a KsVector2; ValueError
        for a side out of range; RuntimeError without a window or off its
        thread."""

    @property
    def render_texture(self) -> RenderTexture:
        """The rl.RenderTexture record (for rl.begin_texture_mode and the
        texture's pixels)."""

    @property
    def size(self) -> KsVector2:
        """The size in pixels."""

    @property
    def loaded(self) -> bool:
        """True until unload() released the GPU objects."""

    def unload(self) -> None:
        """Releases the GPU texture and framebuffer now (a second call does
        nothing; so does a call after the window closed)."""

    def fast_clear(self, color: Sequence[int], /) -> None:
        """Fills the whole target with color, (r, g, b, a) 0..255, whatever
        texture, blend or shader mode is active."""

    def draw(self, x: float, y: float, tint: Sequence[int] = (255, 255, 255, 255)) -> None:
        """Draws the target upright, at its own size, with its top-left corner
        at (x, y) (pixels of the current target: the screen between
        rl.begin_drawing and rl.end_drawing, or a texture mode's target).

        tint: (r, g, b, a) 0..255 multiplying the target's colours; white
        leaves them. ValueError once unloaded; RuntimeError for a target of a
        closed window or off the window's thread.
        """

    def draw_rect(
        self, dest: tuple[float, float, float, float], tint: Sequence[int] = (255, 255, 255, 255)
    ) -> None:
        """Draws the target upright, stretched over dest (x, y, width, height),
        pixels of the current target. tint and errors as for draw()."""
