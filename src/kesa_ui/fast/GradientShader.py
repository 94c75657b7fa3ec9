"""GLSL sources of the gradient shader shared by every GPU gradient.

The gradient module compiles VERTEX_SHADER and FRAGMENT_SHADER once per
process and looks up the eight uniforms below by name; it uploads, before
each draw:

    gradientType  int    0 linear, anything else radial
    angle         float  direction of a linear gradient, degrees clockwise
                         from +x (y points down)
    centerPos     vec2   centre of a radial gradient, normalised to the target
    colors        vec4[] the colours, components 0..1
    stops         float[] the stop position (0..1, ascending) of each colour
    colorCount    int    number of colours used
    alpha         float  overall opacity
    size          vec2   target size in pixels

GLSL drops uniforms that do not reach the output (their locations would read
-1), so every one of them takes part in the colour. The output is
premultiplied, for raylib's BLEND_ALPHA_PREMULTIPLY.
"""

__all__ = ["FRAGMENT_SHADER", "VERTEX_SHADER"]

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
uniform vec4 colors[64];
uniform float stops[64];
uniform int colorCount;
uniform float alpha;
uniform vec2 size;

out vec4 finalColor;

void main()
{
    int count = clamp(colorCount, 0, 64);
    if (count == 0) {
        finalColor = vec4(0.0);
        return;
    }

    // Position along the gradient, 0 at its start and 1 at its end.
    vec2 p = fragTexCoord * size;
    float t;
    if (gradientType == 0) {
        // Linear: project onto the direction; the corners at either end of
        // the target map to 0 and 1.
        float a = radians(angle);
        vec2 dir = vec2(cos(a), sin(a));
        float extent = abs(dir.x) * size.x + abs(dir.y) * size.y;
        t = dot(p - 0.5 * size, dir) / max(extent, 1e-6) + 0.5;
    } else {
        // Radial: distance from the centre, 1 at the farthest corner.
        vec2 c = centerPos * size;
        vec2 far = max(c, size - c);
        t = length(p - c) / max(length(far), 1e-6);
    }
    t = clamp(t, 0.0, 1.0);

    // Piecewise linear between consecutive stops.
    vec4 color = colors[0];
    for (int i = 1; i < count; i++) {
        float span = max(stops[i] - stops[i - 1], 1e-6);
        color = mix(color, colors[i], clamp((t - stops[i - 1]) / span, 0.0, 1.0));
    }

    float a = color.a * alpha;
    finalColor = vec4(color.rgb * a, a) * fragColor;
}
"""
