"""The toolkit's raylib binding (pyray's names and conventions).

Every GPU function needs the open window (init_window) and must be called on
the thread that opened it; otherwise it raises RuntimeError. Textures and
render textures belong to the window they were made in: once it closes they
raise RuntimeError on use. Coordinates are pixels with (0, 0) at the top
left of the current target, y down; colours are (r, g, b, a) or (r, g, b)
(opaque), ints 0..255 (kesa_ui.core.color makes one from other notations).
"""

from enum import IntEnum
from os import PathLike
from typing import Mapping, Sequence, final

_Color = tuple[int, int, int, int]
# Four ints 0..255: (red, green, blue, alpha).
_ColorLike = Sequence[int]
# (x, y) in pixels.
_Vector2Like = Sequence[float]
# (x, y, width, height) in pixels.
_RectangleLike = Sequence[float]

@final
class Image:
    """A CPU image; made by gen_image_color or load_image_from_texture."""

    @property
    def width(self) -> int:
        """Width in pixels."""

    @property
    def height(self) -> int:
        """Height in pixels."""

    @property
    def mipmaps(self) -> int:
        """Number of mipmap levels (1: none)."""

    @property
    def format(self) -> int:
        """raylib's PixelFormat of the data."""

@final
class Texture:
    """A GPU texture record (id and size); unload with unload_texture."""

    @property
    def id(self) -> int:
        """OpenGL texture id (0 once unloaded)."""

    @property
    def width(self) -> int:
        """Width in pixels."""

    @property
    def height(self) -> int:
        """Height in pixels."""

    @property
    def mipmaps(self) -> int:
        """Number of mipmap levels (1: none)."""

    @property
    def format(self) -> int:
        """raylib's PixelFormat of the data."""

@final
class RenderTexture:
    """A framebuffer record; unload with unload_render_texture.

    Its pixels are stored bottom-up: the first row of `texture` is the bottom
    row drawn. Draw it upright with draw_texture_rec and a negative source
    height, or use KsRenderTexture.draw.
    """

    @property
    def id(self) -> int:
        """OpenGL framebuffer id (0 once unloaded)."""

    @property
    def texture(self) -> Texture:
        """Colour buffer (a new Texture record). It names this render texture's
        texture for as long as that is loaded: once the render texture is
        unloaded, every record of it raises ValueError, whatever GL gives the
        next texture."""

    @property
    def depth(self) -> Texture:
        """Depth buffer (a new Texture record). It is no texture: drawing or
        reading it raises ValueError, unload_texture of it does nothing."""

class ConfigFlags(IntEnum):
    """Window options for set_config_flags, combined with |."""

    FLAG_VSYNC_HINT = ...
    FLAG_FULLSCREEN_MODE = ...
    FLAG_WINDOW_RESIZABLE = ...
    FLAG_WINDOW_UNDECORATED = ...
    FLAG_WINDOW_HIDDEN = ...
    FLAG_WINDOW_MINIMIZED = ...
    FLAG_WINDOW_MAXIMIZED = ...
    FLAG_WINDOW_UNFOCUSED = ...
    FLAG_WINDOW_TOPMOST = ...
    FLAG_WINDOW_ALWAYS_RUN = ...
    FLAG_WINDOW_TRANSPARENT = ...
    FLAG_WINDOW_HIGHDPI = ...
    FLAG_MSAA_4X_HINT = ...
    FLAG_INTERLACED_HINT = ...

class BlendMode(IntEnum):
    """How drawn colours combine with the target (begin_blend_mode)."""

    BLEND_ALPHA = ...
    BLEND_ADDITIVE = ...
    BLEND_MULTIPLIED = ...
    BLEND_ADD_COLORS = ...
    BLEND_SUBTRACT_COLORS = ...
    BLEND_ALPHA_PREMULTIPLY = ...
    BLEND_CUSTOM = ...
    BLEND_CUSTOM_SEPARATE = ...

class TraceLogLevel(IntEnum):
    """raylib's log levels (set_trace_log_level)."""

    LOG_ALL = ...
    LOG_TRACE = ...
    LOG_DEBUG = ...
    LOG_INFO = ...
    LOG_WARNING = ...
    LOG_ERROR = ...
    LOG_FATAL = ...
    LOG_NONE = ...

class rlGlVersion(IntEnum):
    """The GL backend raylib was built for (rl_get_version)."""

    RL_OPENGL_SOFTWARE = ...
    RL_OPENGL_11 = ...
    RL_OPENGL_21 = ...
    RL_OPENGL_33 = ...
    RL_OPENGL_43 = ...
    RL_OPENGL_ES_20 = ...
    RL_OPENGL_ES_30 = ...

class MouseButton(IntEnum):
    """Mouse buttons (is_mouse_button_pressed)."""

    MOUSE_BUTTON_LEFT = ...
    MOUSE_BUTTON_RIGHT = ...
    MOUSE_BUTTON_MIDDLE = ...

class KeyboardKey(IntEnum):
    """Keyboard keys (is_key_pressed)."""

    KEY_SPACE = ...
    KEY_ESCAPE = ...
    KEY_ENTER = ...
    KEY_TAB = ...
    KEY_BACKSPACE = ...
    KEY_RIGHT = ...
    KEY_LEFT = ...
    KEY_DOWN = ...
    KEY_UP = ...
    KEY_ZERO = ...
    KEY_ONE = ...
    KEY_TWO = ...
    KEY_THREE = ...
    KEY_FOUR = ...
    KEY_FIVE = ...
    KEY_SIX = ...
    KEY_SEVEN = ...
    KEY_EIGHT = ...
    KEY_NINE = ...
    KEY_A = ...
    KEY_B = ...
    KEY_C = ...
    KEY_D = ...
    KEY_E = ...
    KEY_F = ...
    KEY_G = ...
    KEY_H = ...
    KEY_I = ...
    KEY_J = ...
    KEY_K = ...
    KEY_L = ...
    KEY_M = ...
    KEY_N = ...
    KEY_O = ...
    KEY_P = ...
    KEY_Q = ...
    KEY_R = ...
    KEY_S = ...
    KEY_T = ...
    KEY_U = ...
    KEY_V = ...
    KEY_W = ...
    KEY_X = ...
    KEY_Y = ...
    KEY_Z = ...

FLAG_VSYNC_HINT: ConfigFlags
FLAG_FULLSCREEN_MODE: ConfigFlags
FLAG_WINDOW_RESIZABLE: ConfigFlags
FLAG_WINDOW_UNDECORATED: ConfigFlags
FLAG_WINDOW_HIDDEN: ConfigFlags
FLAG_WINDOW_MINIMIZED: ConfigFlags
FLAG_WINDOW_MAXIMIZED: ConfigFlags
FLAG_WINDOW_UNFOCUSED: ConfigFlags
FLAG_WINDOW_TOPMOST: ConfigFlags
FLAG_WINDOW_ALWAYS_RUN: ConfigFlags
FLAG_WINDOW_TRANSPARENT: ConfigFlags
FLAG_WINDOW_HIGHDPI: ConfigFlags
FLAG_MSAA_4X_HINT: ConfigFlags
FLAG_INTERLACED_HINT: ConfigFlags
BLEND_ALPHA: BlendMode
BLEND_ADDITIVE: BlendMode
BLEND_MULTIPLIED: BlendMode
BLEND_ADD_COLORS: BlendMode
BLEND_SUBTRACT_COLORS: BlendMode
BLEND_ALPHA_PREMULTIPLY: BlendMode
BLEND_CUSTOM: BlendMode
BLEND_CUSTOM_SEPARATE: BlendMode
LOG_ALL: TraceLogLevel
LOG_TRACE: TraceLogLevel
LOG_DEBUG: TraceLogLevel
LOG_INFO: TraceLogLevel
LOG_WARNING: TraceLogLevel
LOG_ERROR: TraceLogLevel
LOG_FATAL: TraceLogLevel
LOG_NONE: TraceLogLevel
RL_OPENGL_SOFTWARE: rlGlVersion
RL_OPENGL_11: rlGlVersion
RL_OPENGL_21: rlGlVersion
RL_OPENGL_33: rlGlVersion
RL_OPENGL_43: rlGlVersion
RL_OPENGL_ES_20: rlGlVersion
RL_OPENGL_ES_30: rlGlVersion

# Each rlGlVersion (the keys are its members) mapped to what raylib is then
# built for ("OpenGL 3.3", "its software renderer") and whether that has
# programmable shaders. Read-only.
GL_BACKENDS: Mapping[int, tuple[str, bool]]
MOUSE_BUTTON_LEFT: MouseButton
MOUSE_BUTTON_RIGHT: MouseButton
MOUSE_BUTTON_MIDDLE: MouseButton
KEY_SPACE: KeyboardKey
KEY_ESCAPE: KeyboardKey
KEY_ENTER: KeyboardKey
KEY_TAB: KeyboardKey
KEY_BACKSPACE: KeyboardKey
KEY_RIGHT: KeyboardKey
KEY_LEFT: KeyboardKey
KEY_DOWN: KeyboardKey
KEY_UP: KeyboardKey
KEY_ZERO: KeyboardKey
KEY_ONE: KeyboardKey
KEY_TWO: KeyboardKey
KEY_THREE: KeyboardKey
KEY_FOUR: KeyboardKey
KEY_FIVE: KeyboardKey
KEY_SIX: KeyboardKey
KEY_SEVEN: KeyboardKey
KEY_EIGHT: KeyboardKey
KEY_NINE: KeyboardKey
KEY_A: KeyboardKey
KEY_B: KeyboardKey
KEY_C: KeyboardKey
KEY_D: KeyboardKey
KEY_E: KeyboardKey
KEY_F: KeyboardKey
KEY_G: KeyboardKey
KEY_H: KeyboardKey
KEY_I: KeyboardKey
KEY_J: KeyboardKey
KEY_K: KeyboardKey
KEY_L: KeyboardKey
KEY_M: KeyboardKey
KEY_N: KeyboardKey
KEY_O: KeyboardKey
KEY_P: KeyboardKey
KEY_Q: KeyboardKey
KEY_R: KeyboardKey
KEY_S: KeyboardKey
KEY_T: KeyboardKey
KEY_U: KeyboardKey
KEY_V: KeyboardKey
KEY_W: KeyboardKey
KEY_X: KeyboardKey
KEY_Y: KeyboardKey
KEY_Z: KeyboardKey

# raylib's colours, (r, g, b, a).
LIGHTGRAY: _Color
GRAY: _Color
DARKGRAY: _Color
YELLOW: _Color
GOLD: _Color
ORANGE: _Color
PINK: _Color
RED: _Color
MAROON: _Color
GREEN: _Color
LIME: _Color
DARKGREEN: _Color
SKYBLUE: _Color
BLUE: _Color
DARKBLUE: _Color
PURPLE: _Color
VIOLET: _Color
DARKPURPLE: _Color
BEIGE: _Color
BROWN: _Color
DARKBROWN: _Color
WHITE: _Color
BLACK: _Color
BLANK: _Color
MAGENTA: _Color
RAYWHITE: _Color

# --- window and frames ---------------------------------------------------------------

def set_config_flags(flags: int, /) -> None:
    """Sets the ConfigFlags (combined with |) for the next init_window."""

def set_trace_log_level(level: int, /) -> None:
    """Sets the TraceLogLevel below which raylib stays quiet."""

def init_window(width: int, height: int, title: str, /) -> None:
    """Opens the window, width x height pixels, and its GL context.

    GPU calls then belong to the calling thread. Raises RuntimeError when
    raylib cannot open a window (no display, for instance).
    """

def close_window() -> None:
    """Closes the window. GPU objects made for it (textures, render textures,
    shaders) raise RuntimeError from then on; gradients make their shader
    again in the next window."""

def is_window_ready() -> bool:
    """Whether a window is open."""

def window_should_close() -> bool:
    """Whether the user asked to close the window (or pressed Escape)."""

def set_target_fps(fps: int, /) -> None:
    """Caps the frame rate of end_drawing at fps frames per second."""

def get_frame_time() -> float:
    """Seconds the last frame took."""

def get_screen_width() -> int:
    """The window's width in pixels."""

def get_screen_height() -> int:
    """The window's height in pixels."""

def is_window_resized() -> bool:
    """Whether the window was resized since the previous frame (by the user,
    the window manager or set_window_size): the time to generate textures
    sized to the window again. RuntimeError without a window or off its
    thread."""

def set_window_size(width: int, height: int, /) -> None:
    """Resizes the window to width x height pixels (positive, else
    ValueError); is_window_resized says so after the next frame."""

def get_fps() -> int:
    """Frames per second, averaged over the last frames."""

def begin_drawing() -> None:
    """Starts a frame on the window's screen: texture and blend modes left
    open are ended first. RuntimeError without a window or off its
    thread."""

def end_drawing() -> None:
    """Ends the frame and shows it."""

def clear_background(color: _ColorLike, /) -> None:
    """Fills the current target with color, (r, g, b, a) 0..255."""

# --- input ---------------------------------------------------------------------------

def get_mouse_position() -> tuple[float, float]:
    """The pointer's (x, y) in the window, pixels from its top left."""

def get_mouse_wheel_move() -> float:
    """The wheel's movement this frame, in notches (positive: away from the user)."""

def is_mouse_button_pressed(button: int, /) -> bool:
    """Whether the MouseButton went down this frame."""

def is_key_pressed(key: int, /) -> bool:
    """Whether the KeyboardKey went down this frame."""

# --- images --------------------------------------------------------------------------

def gen_image_color(width: int, height: int, color: _ColorLike, /) -> Image:
    """A new width x height Image filled with color, (r, g, b, a) 0..255."""

def unload_image(image: Image, /) -> None:
    """Frees an image's pixels."""

def image_flip_vertical(image: Image, /) -> None:
    """Flips an image upside down, in place."""

def get_image_color(image: Image, x: int, y: int, /) -> _Color:
    """The (r, g, b, a) colour of the pixel at column x, row y (row 0 first in
    memory: the bottom row for an image of a render texture)."""

def export_image(image: Image, path: str | PathLike[str], /) -> bool:
    """Writes an image file, its format from the extension (.png, ...);
    returns whether that worked."""

# --- textures ------------------------------------------------------------------------

def load_texture_from_image(image: Image, /) -> Texture:
    """A new Texture with the image's pixels. ValueError for an image larger
    than the GPU's texture limit."""

def unload_texture(texture: Texture, /) -> None:
    """Frees a texture on the GPU. A record of a texture unloaded already (or
    of a depth buffer) frees nothing; ValueError for a render texture's own
    texture (unload the render texture)."""

def load_image_from_texture(texture: Texture, /) -> Image:
    """A texture's pixels as a new Image (a render texture's come bottom-up:
    image_flip_vertical turns them upright)."""

def load_render_texture(width: int, height: int, /) -> RenderTexture:
    """A new width x height RenderTexture to draw into (begin_texture_mode).
    ValueError for a side beyond the GPU's texture limit."""

def unload_render_texture(target: RenderTexture, /) -> None:
    """Frees a render texture on the GPU; its records and texture records
    are refused from then on. ValueError for a KsRenderTexture's own (call
    its unload())."""

# --- drawing -------------------------------------------------------------------------

def draw_texture(texture: Texture, x: int, y: int, tint: _ColorLike, /) -> None:
    """Draws a texture with its top-left corner at pixel (x, y), its colours
    multiplied by tint ((r, g, b, a) 0..255; WHITE leaves them). ValueError
    for an unloaded texture; RuntimeError for one of a closed window."""

def draw_texture_v(texture: Texture, position: _Vector2Like, tint: _ColorLike, /) -> None:
    """Draws a texture with its top-left corner at position (x, y), pixels."""

def draw_texture_rec(
    texture: Texture, source: _RectangleLike, position: _Vector2Like, tint: _ColorLike, /
) -> None:
    """Draws the source rectangle (x, y, width, height; texture pixels) of a
    texture at position (x, y). A negative source height flips it, which draws
    a render texture (stored bottom-up) upright."""

def draw_texture_pro(
    texture: Texture,
    source: _RectangleLike,
    dest: _RectangleLike,
    origin: _Vector2Like,
    rotation: float,
    tint: _ColorLike,
    /,
) -> None:
    """Draws the source rectangle of a texture stretched over the dest
    rectangle (x, y, width, height), rotated by rotation degrees (clockwise)
    about origin, a point relative to dest's top left."""

def draw_rectangle(x: int, y: int, width: int, height: int, color: _ColorLike, /) -> None:
    """Fills a rectangle, pixels, with color (r, g, b, a) 0..255."""

def draw_text(text: str, x: int, y: int, font_size: int, color: _ColorLike, /) -> None:
    """Draws text in raylib's default font, its top left at (x, y), font_size
    pixels high. text must be a str (TypeError otherwise); ValueError for
    text containing a NUL character."""

# --- modes ---------------------------------------------------------------------------

def begin_texture_mode(target: RenderTexture, /) -> None:
    """Draws into target until the matching end_texture_mode. Texture modes
    nest; ValueError for an unloaded target."""

def end_texture_mode() -> None:
    """Returns drawing to the target active before the matching
    begin_texture_mode (the screen when there was none)."""

def begin_blend_mode(mode: int, /) -> None:
    """Blends what is drawn next with a BlendMode, until the matching
    end_blend_mode. Blend modes nest."""

def end_blend_mode() -> None:
    """Returns to the blend mode active before the matching begin_blend_mode
    (alpha blending, BLEND_ALPHA, when there was none)."""

# --- the GPU -------------------------------------------------------------------------

def rl_get_version() -> int:
    """The rlGlVersion raylib was built for; known without a window."""

def get_max_fragment_uniform_vectors() -> int:
    """How many vec4 uniforms a fragment shader may use on the window's GPU
    (it bounds a gradient's colours: GradientShader.fragment_shader)."""
