"""GLSL source of the richer gradients' shader: linear, radial (circles and
ellipses, a focal point) and conic gradients, pad / repeat / reflect, over
stops at any positions. Each pixel gets the position that
kesa_ui.rendering.pygame.geometry gives it, and the colour GradientShader's
shade() gives that position (premultiplied mixing, the same cutoff and
dither); the extents and the focal point's move inside the ending shape are
worked out on the CPU, per draw, so the shader takes them ready:

    kind        int     0 linear, 1 radial, 2 conic
    angle       float   degrees clockwise from +x (y down): a linear
                        gradient's direction, where a conic one starts
    centerPos   vec2    centre, normalised to the drawn rectangle
    radii       vec2    the ending shape's radii in pixels (radial); a zero
                        radius puts every pixel past the last stop
    focal       vec4    the focal point (inside the ending shape) in the
                        ellipse's own coordinates, where the ending shape is
                        the unit circle about 0, and 1 - x^2 - y^2 of it
                        (worked out in double precision), and 0; (0, 0, 1, 0)
                        for none
    spreadMode  int     0 pad, 1 repeat, 2 reflect
    period      vec2    the first and last stop positions
    average     vec4    the premultiplied average colour, drawn where a
                        repeating period has no length
    colors, stops, colorCount, alpha, size: as GradientShader's.

GLSL drops uniforms that do not reach the output, so a kind leaves some
unused (their locations read -1, which GL ignores). The source keeps to GLSL
1.00, as GradientShader's does, and is served in each backend's dialect.
"""

from kesa_ui.fast import GradientShader as _base

__all__ = ["OTHER_UNIFORMS", "fragment_shader"]

# Vectors the fragment stage spends on the uniforms other than the arrays.
OTHER_UNIFORMS = 11

_UNIFORMS = """
uniform int kind;
uniform float angle;
uniform vec2 centerPos;
uniform vec2 radii;
uniform vec4 focal;
uniform int spreadMode;
uniform vec2 period;
uniform vec4 average;
""" + _base._RAMP_UNIFORMS

# A position past every stop, for a degenerate ending shape.
_POSITION = """
const float BEYOND = 1.0e30;

// Position along the gradient of the pixel centred at p.
float position(vec2 p)
{
    vec2 c = centerPos * size;
    if (kind == 0) {
        float a = radians(angle);
        vec2 d = vec2(cos(a), sin(a));
        float len = abs(size.x * d.x) + abs(size.y * d.y);
        return len > 0.0 ? dot(p - 0.5 * size, d) / len + 0.5 : 0.0;
    }
    vec2 v = p - c;
    if (kind == 2) {
        float turn = (v.x == 0.0 && v.y == 0.0) ? 0.0 : degrees(atan(v.y, v.x));
        return mod(turn - angle, 360.0) / 360.0;
    }
    if (!(radii.x > 0.0 && radii.y > 0.0))
        return BEYOND;
    // In the ellipse's own coordinates p lies at the positive root t of
    // a t^2 - 2 b t - c = 0 (for no focal point, the distance from the
    // centre), taken in the form that cancels no digits.
    vec2 e = v / radii - focal.xy;
    float a = focal.z;
    float b = dot(e, focal.xy);
    float cc = dot(e, e);
    float s = sqrt(b * b + a * cc);
    return b >= 0.0 ? (b + s) / a : cc / (s - b);
}

// t folded into the period from period.x to period.y: repeat starts it
// over, reflect mirrors every other one.
float spread(float t)
{
    float len = period.y - period.x;
    float u = (t - period.x) / len;
    float whole = floor(u);
    float f = u - whole;
    if (spreadMode == 2 && mod(whole, 2.0) == 1.0)
        f = 1.0 - f;
    return period.x + f * len;
}
"""

_MAIN = """
void main()
{
    int n = colorCount < 0 ? 0 : (colorCount > %(max)d ? %(max)d : colorCount);
    float t = position(fragTexCoord * size);
    bool averaged = spreadMode != 0 && (!(period.y - period.x > 0.0) || t >= BEYOND);
    vec4 pm = n == 0 ? vec4(0.0) : (averaged ? average : shade(spreadMode == 0 ? t : spread(t), n));
"""

_BODY = (_base._INPUTS + _UNIFORMS + _base._HELPERS + _POSITION + _base._SHADE + _base._BAYER
         + _MAIN + _base._FINISH)


def fragment_shader(gl_version: int, capacity: int = _base.MAX_COLORS) -> str:
    """The fragment shader for raylib's `gl_version` (an rlGlVersion), with
    arrays of `capacity` colours and stops: the GPU must hold OTHER_UNIFORMS
    vec4 uniforms besides two per colour. RuntimeError when the backend has
    no programmable shaders."""
    return _base.preamble(gl_version) + _BODY % {"max": capacity}
