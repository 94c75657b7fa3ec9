// The model of a Gradient: its parameters as native values, the stops and
// average colour they imply, and the geometry a draw works out from them.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace ksgradient {

enum Kind : int { kLinear, kRadial, kConic };
enum Shape : int { kCircle, kEllipse };
enum Spread : int { kPad, kRepeat, kReflect };
// Where colours mix: premultiplied sRGB, linear sRGB, Oklab, OkLCh; and how
// OkLCh's hues run from one colour to the next.
enum Space : int { kSrgb, kSrgbLinear, kOklab, kOklch };
enum Hue : int { kShorter, kLonger, kIncreasing, kDecreasing };
// The keyword extents, in the order of their names; then the explicit ones:
// one radius (a circle, a fraction of the width) or two (an ellipse,
// fractions of the width and the height).
enum Extent : int { kClosestSide, kClosestCorner, kFarthestSide, kFarthestCorner, kRadius, kRadii };

inline constexpr int kKinds = 3, kShapes = 2, kSpreads = 3, kExtentNames = 4, kSpaces = 4,
                     kHues = 4;

// Below this chroma an OkLCh colour's hue is powerless: it takes the hue of
// the colour it mixes with (the CPU renderer's interpolation module has the
// same bound).
inline constexpr double kPowerlessChroma = 4e-6;

// A colour on 0..1 (straight alpha), as the shader takes it.
struct Rgba {
    float r, g, b, a;
};

// The colours and where they sit: by weight (one per colour, 1 unless
// given) or by explicit positions. `weighted` says which colours were given
// (or later set) a weight, so the colour list reads back as it was given.
struct Colors {
    std::vector<Rgba> rgba;
    std::vector<std::array<double, 4>> levels;  // the components as given, on 0..255
    std::vector<float> weights;
    std::vector<bool> weighted;
};

struct Model {
    Colors colors;
    bool positioned = false;
    std::vector<double> positions;  // as given, when positioned
    int kind = kLinear;
    double angle = 0.0;
    double center[2] = {0.5, 0.5};
    int shape = kCircle;
    int extent = kFarthestCorner;
    double radii[2] = {0.0, 0.0};   // the explicit extent's numbers
    bool has_focal = false;
    double focal[2] = {0.5, 0.5};
    int spread = kPad;
    int transparency = 255;
    bool hinted = false;
    std::vector<double> hints;      // one per gap between colours, when hinted
    int space = kSrgb;
    int hue = kShorter;

    // Derived by place(): the stops (from the weights, or the positions
    // fixed up); the colours as the shader takes them (in sRGB none: the
    // shader takes the straight colours; in the other spaces their components there, premultiplied,
    // an OkLCh hue being the one the gap after the colour starts on); per
    // gap ending at each colour its hint (0.5: none) and the hue it ends
    // on; and the premultiplied sRGB average colour of the ramp with its
    // stops equally spaced, drawn where a repeating period has no length.
    // Gaps are kept only with hints or in another space than sRGB.
    std::vector<float> stops;
    std::vector<Rgba> shaded;
    std::vector<std::array<float, 2>> gaps;
    float average[4] = {0, 0, 0, 0};

    // Works out the derived fields; false only when memory runs out (no
    // exception set: the caller raises MemoryError).
    bool place() noexcept;
    // Works out the stops again, the colours keeping their number: all
    // that a change of weight changes.
    void place_stops() noexcept;

    // The colours and gaps as the shader takes them.
    const Rgba *shader_colors() const {
        return space == kSrgb ? colors.rgba.data() : shaded.data();
    }
    const std::array<float, 2> *shader_gaps() const {
        return gaps.empty() ? kEvenGaps.data() : gaps.data();
    }

    // The gaps of a gradient mixed in sRGB without hints: as many as the
    // shader ever holds (it holds at most kMaxColors colours).
    static constexpr int kMaxColors = 64;
    static const std::array<std::array<float, 2>, kMaxColors> kEvenGaps;
};

// A focal point on or outside the ending shape is moved onto the line from
// the centre, to this fraction of the way to the shape (on the shape itself
// the two circles touch and half the plane has no position).
inline constexpr double kFocalLimit = 1.0 - 1.0 / 1024.0;

// What a draw of a w x h rectangle uploads besides the colours: the ending
// shape's radii in pixels, the focal point in the ellipse's own coordinates
// with 1 - |f|^2, and the repeating period (first and last stop; a period
// of no length, or one shorter than a pixel, is drawn as the average, so
// it is sent as first == last).
struct DrawGeometry {
    float radii[2];
    float focal[4];
    float period[2];
};

void draw_geometry(const Model &m, double w, double h, DrawGeometry &out) noexcept;

}  // namespace ksgradient
