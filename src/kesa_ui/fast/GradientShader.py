"""GLSL sources of the gradient shader shared by every GPU gradient.

The gradient module compiles VERTEX_SHADER and FRAGMENT_SHADER once per
process and looks up the eight uniforms below by name; it uploads, before
each draw:

    gradientType  int     0 linear, anything else radial
    angle         float   direction of a linear gradient, degrees clockwise
                          from +x (y points down)
    centerPos     vec2    centre of a radial gradient, normalised to the
                          drawn rectangle ((0, 0) top left, (1, 1) bottom right)
    colors        vec4[]  the colours, components nominally 0..1
    stops         float[] the position of each colour along the gradient
    colorCount    int     number of colours used
    alpha         float   overall opacity
    size          vec2    size of the drawn rectangle in pixels

Each pixel, with its centre at p (pixels from the rectangle's top-left
corner, y down):

- Linear: t = dot(p - size/2, d) / (|w cos a| + |h sin a|) + 0.5 with
  d = (cos a, sin a), so the two corners at the ends of the gradient line
  sit at 0 and 1.
- Radial: t = |p - c| / (distance from c to the farthest corner), with
  c = centerPos * size (a circle reaching that corner, which may lie outside).
- The first colour i (1 <= i < n) whose stop exceeds t decides: the mix of
  colours i-1 and i at (t - stop[i-1]) / (stop[i] - stop[i-1]), clamped to
  0..1 (0 when the two stops are equal); past every stop, the last colour.
  Equal stops make a hard edge; stops out of order still pick one colour.
  No colours draw nothing; one colour is flat.
- Colours and `alpha` are clamped to 0..1 (NaN counts as 0) and mixed in
  premultiplied alpha, so a fade to a transparent colour keeps its hue.
- The result is straight (not premultiplied) colour, times the tint (the
  module draws with white), with alpha also times `alpha`; a pixel below
  half a level of alpha is (0, 0, 0, 0). The colour channels carry an ordered dither of under half a
  level, which breaks up banding and leaves exact colours exact.

Blending. The output is straight alpha, which suits both ways the module
draws. generate_texture draws under BLEND_ALPHA_PREMULTIPLY (ONE,
ONE_MINUS_SRC_ALPHA) onto a target cleared to (0, 0, 0, 0), which stores the
fragment unchanged, so the texture holds straight colour like any texture
raylib loads, and draws correctly later under the default BLEND_ALPHA.
ClickGradient.draw keeps the caller's blend mode; under the default
BLEND_ALPHA (SRC_ALPHA, ONE_MINUS_SRC_ALPHA) straight colour composites
correctly over what is already there. (Under BLEND_ALPHA_PREMULTIPLY over
a non-empty target, draw would add unweighted colour: draw expects
straight-alpha blending.)

GLSL drops uniforms that do not reach the output (their locations would read
-1), so every one of them takes part in the colour.

Dialects. FRAGMENT_SHADER is read when the gradient module builds its shader
for a window, and answers in the GLSL of the GL that raylib was built for:
330 for OpenGL 3.3 and 4.3, 120 for 2.1, 100 for OpenGL ES 2.0 and 300 es for
ES 3.0. One source serves them all, behind a few lines of preamble per
dialect: it keeps to what GLSL 1.00 allows (loops with constant bounds,
arrays indexed by loop indices, no integer bit operations, NaN told by
comparisons), so every backend computes the same pixels. Under ES the
fragment stage runs in highp where the GPU has it (GL_FRAGMENT_PRECISION_HIGH,
always in ES 3.0) and in mediump otherwise, where colours can drift by a level
on large targets. The arrays hold MAX_COLORS entries, or fewer on a GPU whose
fragment stage holds fewer uniforms (kesa_raylib then refuses a gradient with
more colours, saying how many the shader holds). raylib built for OpenGL 1.1
or its software renderer has no programmable shaders: reading
FRAGMENT_SHADER then raises RuntimeError, before anything touches the GPU.
"""

__all__ = ["FRAGMENT_SHADER", "MAX_COLORS", "VERTEX_SHADER", "fragment_shader", "preamble"]

# Declared, not bound: the module's __getattr__ makes it when it is read.
FRAGMENT_SHADER: str

# Entries of the colors and stops arrays on a GPU with room for them.
# kesa_raylib's array setters refuse longer uploads, so a gradient with more
# colours fails instead of drawing wrong.
MAX_COLORS = 64

# Vectors the fragment stage spends on the other six uniforms (each fits in
# one), besides one per colour and one per stop.
_OTHER_UNIFORMS = 6

# None: raylib's default vertex shader, which passes fragTexCoord (0..1 over
# the drawn rectangle, (0, 0) at its top left) and fragColor (the tint), in
# the dialect of its own build.
VERTEX_SHADER: str | None = None

_PRECISION_ES2 = """\
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
precision highp int;
#else
precision mediump float;
#endif
"""

# The lines each dialect starts with, by the name of the backend's rlGlVersion
# member (kesa_ui.core.rl, which says which backends have shaders: GL_BACKENDS).
_GLSL_330 = "#version 330\n#define VARYING in\nout vec4 finalColor;\n#define FRAG_COLOR finalColor\n"
_PREAMBLES = {
    "RL_OPENGL_21": "#version 120\n#define VARYING varying\n#define FRAG_COLOR gl_FragColor\n",
    "RL_OPENGL_33": _GLSL_330,
    "RL_OPENGL_43": _GLSL_330,
    "RL_OPENGL_ES_20": ("#version 100\n" + _PRECISION_ES2
                        + "#define VARYING varying\n#define FRAG_COLOR gl_FragColor\n"),
    "RL_OPENGL_ES_30": ("#version 300 es\nprecision highp float;\nprecision highp int;\n"
                        "#define VARYING in\nout vec4 finalColor;\n#define FRAG_COLOR finalColor\n"),
}


def _without_shaders(gl_version: int) -> str | None:
    """What raylib is built for on backend `gl_version`, if that has no
    programmable shaders; else None."""
    from kesa_ui.core import rl

    built_for, shaders = rl.GL_BACKENDS.get(gl_version, ("", True))
    return None if shaders else built_for

# The fragment shader in pieces, which the richer gradients' shader
# (GeometryShader) shares: its inputs, its uniforms, clamping and
# premultiplying, the position along the gradient, the colour at a position
# among the stops, the dither, and main(), whose end (from the tint on) is
# _FINISH.
_INPUTS = """
VARYING vec2 fragTexCoord;
VARYING vec4 fragColor;
"""

# The colours, their stops, the opacity and the size: the uniforms shade()
# and main() read, which the richer gradients' shader declares too.
_RAMP_UNIFORMS = """uniform vec4 colors[%(max)d];
uniform float stops[%(max)d];
uniform int colorCount;
uniform float alpha;
uniform vec2 size;
"""

_UNIFORMS = """
uniform int gradientType;
uniform float angle;
uniform vec2 centerPos;
""" + _RAMP_UNIFORMS

_HELPERS = """
// x clamped to 0..1, NaN read as 0 (a NaN fails every comparison).
float unit(float x) { return x >= 0.0 ? min(x, 1.0) : 0.0; }
vec4 unit4(vec4 v) { return vec4(unit(v.x), unit(v.y), unit(v.z), unit(v.w)); }

// A colour clamped and premultiplied.
vec4 premultiplied(vec4 colour)
{
    vec4 c = unit4(colour);
    return vec4(c.rgb * c.a, c.a);
}
"""

_POSITION = """
// Position along the gradient of the pixel centred at p.
float position(vec2 p)
{
    float t;
    if (gradientType == 0) {
        float a = radians(angle);
        vec2 d = vec2(cos(a), sin(a));
        float len = abs(size.x * d.x) + abs(size.y * d.y);
        t = len > 0.0 ? dot(p - 0.5 * size, d) / len + 0.5 : 0.0;
    } else {
        vec2 c = centerPos * size;
        float far = length(max(abs(c), abs(size - c)));
        t = far > 0.0 ? length(p - c) / far : 0.0;
    }
    // Infinities and NaN (which fails the comparison) count as 0.
    return abs(t) <= 3.4028235e38 ? t : 0.0;
}
"""

_SHADE = """
// Premultiplied colour at position t of n >= 1 colours. Arrays are indexed
// by the loop's index only, which every dialect allows.
vec4 shade(float t, int n)
{
    if (n == 1)
        return premultiplied(colors[0]);
    for (int i = 1; i < %(max)d; i++) {
        if (stops[i] > t) {
            float span = stops[i] - stops[i - 1];
            float f = span != 0.0 ? unit((t - stops[i - 1]) / span) : 0.0;
            return mix(premultiplied(colors[i - 1]), premultiplied(colors[i]), f);
        }
        if (i == n - 1)
            return premultiplied(colors[i]);
    }
    return vec4(0.0);
}
"""

_BAYER = """
// Ordered 4x4 (Bayer) threshold of a pixel, in -0.5..0.5 (exclusive): with
// bits x1 x0 and y1 y0 of its place in the 4x4 tile, 8 (x0 xor y0) + 4 y0 +
// 2 (x1 xor y1) + y1, in float arithmetic (exact on these small integers).
float bayer(vec2 pixel)
{
    vec2 q = mod(floor(pixel), 4.0);
    vec2 low = mod(q, 2.0);
    vec2 high = floor(q * 0.5);
    float b = 8.0 * abs(low.x - low.y) + 4.0 * low.y + 2.0 * abs(high.x - high.y) + high.y;
    return (b + 0.5) / 16.0 - 0.5;
}
"""

_MAIN = """
void main()
{
    int n = colorCount < 0 ? 0 : (colorCount > %(max)d ? %(max)d : colorCount);
    vec4 pm = n > 0 ? shade(position(fragTexCoord * size), n) : vec4(0.0);
"""

_FINISH = """    vec4 tint = unit4(fragColor);
    float a = pm.a * unit(alpha) * tint.a;
    if (!(a >= 0.5 / 255.0)) {
        FRAG_COLOR = vec4(0.0);
        return;
    }
    vec3 rgb = clamp(pm.rgb / pm.a, 0.0, 1.0) * tint.rgb;
    // Under half a level either way: rounding undoes it on exact levels.
    rgb += bayer(gl_FragCoord.xy) * (0.98 / 255.0);
    FRAG_COLOR = vec4(rgb, a);
}
"""

_BODY = _INPUTS + _UNIFORMS + _HELPERS + _POSITION + _SHADE + _BAYER + _MAIN + _FINISH


def preamble(gl_version: int) -> str:
    """The lines a fragment shader for raylib's `gl_version` starts with: the
    #version line (and precision, under ES), then VARYING (the qualifier of
    an input from the vertex stage) and FRAG_COLOR (the output colour) for
    the body to use. RuntimeError for a backend without shaders."""
    from kesa_ui.core import rl

    built_for = _without_shaders(gl_version)
    if built_for is not None:
        raise RuntimeError(
            f"this raylib was built for {built_for}, without programmable "
            "shaders, so it cannot draw GPU gradients; GradientPygame "
            "(kesa_ui.rendering.pygame.gradient) draws the same gradients on the CPU")
    try:
        return _PREAMBLES[rl.rlGlVersion(gl_version).name]
    except (ValueError, KeyError):
        raise RuntimeError(f"no gradient shader for raylib's GL version {gl_version}") from None


def fragment_shader(gl_version: int, uniform_vectors: int | None = None) -> str:
    """The fragment shader for raylib's `gl_version` (an rlGlVersion) on a GPU
    whose fragment stage holds `uniform_vectors` vec4 uniforms (None: room
    for MAX_COLORS colours). RuntimeError when the backend has no
    programmable shaders or the GPU too few uniforms for a gradient."""
    lines = preamble(gl_version)
    capacity = MAX_COLORS
    if uniform_vectors is not None:
        capacity = min(capacity, (uniform_vectors - _OTHER_UNIFORMS) // 2)
        if capacity < 2:
            raise RuntimeError(
                f"the GPU's fragment shaders hold {uniform_vectors} uniform vectors, too few "
                "for a gradient of two colours")
    return lines + _BODY % {"max": capacity}


def __getattr__(name: str) -> str:
    # FRAGMENT_SHADER depends on the raylib in use and on the window's GPU,
    # so it is made when it is read.
    if name == "FRAGMENT_SHADER":
        from kesa_ui.core import rl

        version = rl.rl_get_version()
        if _without_shaders(version) is not None or not rl.is_window_ready():
            return fragment_shader(version)
        return fragment_shader(version, rl.get_max_fragment_uniform_vectors())
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
