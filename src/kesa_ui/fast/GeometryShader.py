"""GLSL source of the richer gradients' shader: linear, radial (circles and
ellipses, a focal point) and conic gradients, pad / repeat / reflect, over
stops at any positions, mixed in premultiplied sRGB, linear sRGB, Oklab or
OkLCh, with transition hints. Each pixel gets the position that
kesa_ui.rendering.pygame.geometry gives it, and the colour
kesa_ui.rendering.pygame.interpolation gives that position (in sRGB,
GradientShader's shade(): premultiplied mixing, the same cutoff and
dither); the extents, the focal point's move inside the ending shape and
the colours in the other spaces are worked out on the CPU, so the shader
takes them ready:

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
    space       int     0 sRGB, 1 linear sRGB, 2 Oklab, 3 OkLCh
    colors      vec4[]  in sRGB the straight colours, as GradientShader's;
                        in the other spaces each colour's components there,
                        premultiplied (OkLCh: L and C, then the hue, in
                        degrees, that the gap after the colour starts on,
                        not premultiplied), and alpha
    gaps        vec2[]  for the gap ending at colour i: its hint (where the
                        colour is half way, 0..1; 0.5 mixes evenly) and the
                        hue it ends on (OkLCh)
    stops, colorCount, alpha, size: as GradientShader's.

GLSL drops uniforms that do not reach the output, so a kind leaves some
unused (their locations read -1, which GL ignores). The source keeps to GLSL
1.00, as GradientShader's does, and is served in each backend's dialect.
"""

from kesa_ui.fast import GradientShader as _base

__all__ = ["OTHER_UNIFORMS", "VECTORS_PER_COLOR", "fragment_shader"]

# Vectors the fragment stage spends on the uniforms other than the arrays,
# and on the arrays per colour (colors, stops, gaps).
OTHER_UNIFORMS = 12
VECTORS_PER_COLOR = 3

_UNIFORMS = """
uniform int kind;
uniform float angle;
uniform vec2 centerPos;
uniform vec2 radii;
uniform vec4 focal;
uniform int spreadMode;
uniform vec2 period;
uniform vec4 average;
uniform int space;
uniform vec2 gaps[%(max)d];
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

# The colour at a position among the stops: in sRGB, GradientShader's
# shade() with a hint's bend; in the other spaces the same mix of the
# colours as uploaded, then back to premultiplied sRGB, clipped per channel.
_SHADE = """
// The weight of the second colour at progress p through a gap whose
// colour is half way at h (CSS's transition hint; 0.5 mixes evenly).
float bend(float p, float h)
{
    if (h == 0.5)
        return p;
    if (h <= 0.0)
        return p > 0.0 ? 1.0 : 0.0;
    if (h >= 1.0)
        return p >= 1.0 ? 1.0 : 0.0;
    return p > 0.0 ? pow(p, -0.6931471805599453 / log(h)) : 0.0;
}

// Colour i as it ends the gap before it: in OkLCh, on that gap's hue.
vec4 ending(vec4 c, vec2 gap)
{
    return space == 0 ? premultiplied(c) : (space == 3 ? vec4(c.xy, gap.y, c.w) : c);
}

// The mixed colour at position t of n >= 1 colours, premultiplied in the
// gradient's space. Arrays are indexed by the loop's index only, which
// every dialect allows.
vec4 mixStops(float t, int n)
{
    if (n == 1)
        return space == 0 ? premultiplied(colors[0]) : colors[0];
    for (int i = 1; i < %(max)d; i++) {
        if (stops[i] > t) {
            float span = stops[i] - stops[i - 1];
            float f = bend(span != 0.0 ? unit((t - stops[i - 1]) / span) : 0.0, gaps[i].x);
            vec4 start = space == 0 ? premultiplied(colors[i - 1]) : colors[i - 1];
            return mix(start, ending(colors[i], gaps[i]), f);
        }
        if (i == n - 1)
            return ending(colors[i], gaps[i]);
    }
    return vec4(0.0);
}

// Linear sRGB, clipped, encoded.
vec3 encoded(vec3 linear)
{
    vec3 c = clamp(linear, 0.0, 1.0);
    return mix(12.92 * c, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(0.0031308, c));
}

// Oklab to linear sRGB.
vec3 fromOklab(vec3 lab)
{
    vec3 lms = vec3(lab.x + 0.3963377774 * lab.y + 0.2158037573 * lab.z,
                    lab.x - 0.1055613458 * lab.y - 0.0638541728 * lab.z,
                    lab.x - 0.0894841775 * lab.y - 1.2914855480 * lab.z);
    lms = lms * lms * lms;
    return vec3(4.0767416621 * lms.x - 3.3077115913 * lms.y + 0.2309699292 * lms.z,
                -1.2684380046 * lms.x + 2.6097574011 * lms.y - 0.3413193965 * lms.z,
                -0.0041960863 * lms.x - 0.7034186147 * lms.y + 1.7076147010 * lms.z);
}

// A colour mixed in the gradient's space as premultiplied sRGB.
vec4 inSrgb(vec4 pm)
{
    if (space == 0)
        return pm;
    float a = pm.w;
    if (!(a > 0.0))
        return vec4(0.0);
    vec3 v = vec3(pm.xy / a, space == 3 ? pm.z : pm.z / a);
    if (space == 3) {
        float h = radians(v.z);
        v = vec3(v.x, v.y * cos(h), v.y * sin(h));
    }
    return vec4(encoded(space == 1 ? v : fromOklab(v)) * a, a);
}
"""

_MAIN = """
void main()
{
    int n = colorCount < 0 ? 0 : (colorCount > %(max)d ? %(max)d : colorCount);
    float t = position(fragTexCoord * size);
    bool averaged = spreadMode != 0 && (!(period.y - period.x > 0.0) || t >= BEYOND);
    vec4 pm = n == 0 ? vec4(0.0)
                     : (averaged ? average : inSrgb(mixStops(spreadMode == 0 ? t : spread(t), n)));
"""

_BODY = (_base._INPUTS + _UNIFORMS + _base._HELPERS + _POSITION + _SHADE + _base._BAYER + _MAIN
         + _base._FINISH)


def fragment_shader(gl_version: int, capacity: int = _base.MAX_COLORS) -> str:
    """The fragment shader for raylib's `gl_version` (an rlGlVersion), with
    arrays of `capacity` colours: the GPU must hold OTHER_UNIFORMS vec4
    uniforms besides VECTORS_PER_COLOR per colour. RuntimeError when the backend has
    no programmable shaders."""
    return _base.preamble(gl_version) + _BODY % {"max": capacity}
