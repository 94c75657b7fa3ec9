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
"""

__all__ = ["FRAGMENT_SHADER", "MAX_COLORS", "VERTEX_SHADER"]

# Entries of the colors and stops arrays. kesa_raylib's array setters refuse
# longer uploads, so a gradient with more colours fails instead of drawing
# wrong.
MAX_COLORS = 64

# None: raylib's default vertex shader, which passes fragTexCoord (0..1 over
# the drawn rectangle, (0, 0) at its top left) and fragColor (the tint).
VERTEX_SHADER = None

FRAGMENT_SHADER = """\
#version 330

in vec2 fragTexCoord;
in vec4 fragColor;

uniform int gradientType;
uniform float angle;
uniform vec2 centerPos;
uniform vec4 colors[%(max)d];
uniform float stops[%(max)d];
uniform int colorCount;
uniform float alpha;
uniform vec2 size;

out vec4 finalColor;

// x clamped to 0..1, NaN read as 0.
float unit(float x) { return isnan(x) ? 0.0 : clamp(x, 0.0, 1.0); }
vec4 unit4(vec4 v) { return vec4(unit(v.x), unit(v.y), unit(v.z), unit(v.w)); }

// Colour i, clamped and premultiplied.
vec4 premultiplied(int i)
{
    vec4 c = unit4(colors[i]);
    return vec4(c.rgb * c.a, c.a);
}

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
    return isnan(t) || isinf(t) ? 0.0 : t;
}

// Premultiplied colour at position t.
vec4 shade(float t, int n)
{
    if (n == 1)
        return premultiplied(0);
    for (int i = 1; i < n; i++) {
        if (stops[i] > t) {
            float span = stops[i] - stops[i - 1];
            float f = span != 0.0 ? unit((t - stops[i - 1]) / span) : 0.0;
            return mix(premultiplied(i - 1), premultiplied(i), f);
        }
    }
    return premultiplied(n - 1);
}

// Ordered 4x4 (Bayer) threshold of a pixel, in -0.5..0.5 (exclusive).
float bayer(vec2 pixel)
{
    ivec2 q = ivec2(mod(floor(pixel), 4.0));
    int b = ((q.x ^ q.y) & 1) * 8 + (q.y & 1) * 4 + ((q.x ^ q.y) & 2) + ((q.y >> 1) & 1);
    return (float(b) + 0.5) / 16.0 - 0.5;
}

void main()
{
    int n = clamp(colorCount, 0, %(max)d);
    vec4 pm = n > 0 ? shade(position(fragTexCoord * size), n) : vec4(0.0);
    vec4 tint = unit4(fragColor);
    float a = pm.a * unit(alpha) * tint.a;
    if (!(a >= 0.5 / 255.0)) {
        finalColor = vec4(0.0);
        return;
    }
    vec3 rgb = clamp(pm.rgb / pm.a, 0.0, 1.0) * tint.rgb;
    // Under half a level either way: rounding undoes it on exact levels.
    rgb += bayer(gl_FragCoord.xy) * (0.98 / 255.0);
    finalColor = vec4(rgb, a);
}
""" % {"max": MAX_COLORS}
