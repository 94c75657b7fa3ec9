// The model's derived values and a draw's geometry, computed in double
// precision as the CPU renderer (kesa_ui.rendering.pygame.geometry)
// computes them, then narrowed to the shader's floats.
#include "kesa_ui/fast/ksgradient/model.hpp"

#include <cmath>
#include <new>

#include "kesa_ui/native/number.hpp"
#include "kesa_ui/native/stops.hpp"

namespace ksgradient {

namespace {

// Python's min and max: the first argument unless the second is strictly
// smaller / larger, so ties pick the same side the CPU renderer picks.
double pick(bool closest, double a, double b) { return closest ? (b < a ? b : a) : (b > a ? b : a); }

float unit(float x) { return x >= 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

// The ending shape's radii in pixels for a centre at (cx, cy) of a w x h
// rectangle, with CSS Images 4's meanings: the sides or corners closest to
// or farthest from the centre; a corner extent of an ellipse keeps the
// aspect ratio of the matching side extent.
void ending_radii(const Model &m, double cx, double cy, double w, double h, double &rx,
                  double &ry) {
    if (m.extent == kRadii) {
        rx = m.radii[0] * w;
        ry = m.radii[1] * h;
        return;
    }
    if (m.extent == kRadius) {
        rx = ry = m.radii[0] * w;
        return;
    }
    const double dx[2] = {std::fabs(cx), std::fabs(w - cx)};
    const double dy[2] = {std::fabs(cy), std::fabs(h - cy)};
    const bool closest = m.extent == kClosestSide || m.extent == kClosestCorner;
    const double sx = pick(closest, dx[0], dx[1]), sy = pick(closest, dy[0], dy[1]);
    if (m.extent == kClosestSide || m.extent == kFarthestSide) {
        if (m.shape == kCircle) {
            rx = ry = pick(closest, sx, sy);
        } else {
            rx = sx;
            ry = sy;
        }
        return;
    }
    // The corner closest to (farthest from) the centre: the first of the
    // four, in the CPU renderer's order, at the least (greatest) distance.
    double kx = dx[0], ky = dy[0], best = std::hypot(kx, ky);
    for (int i = 0; i < 2; i++) {
        for (int j = 0; j < 2; j++) {
            double d = std::hypot(dx[i], dy[j]);
            if (closest ? d < best : d > best) {
                best = d;
                kx = dx[i];
                ky = dy[j];
            }
        }
    }
    if (m.shape == kCircle) {
        rx = ry = best;
        return;
    }
    if (sx == 0.0 || sy == 0.0) {  // the side ellipse is degenerate: so is this one
        rx = ry = 0.0;
        return;
    }
    rx = std::hypot(kx, ky * sx / sy);  // the ellipse of aspect sx : sy through the corner
    ry = rx * sy / sx;
}

// --- colour spaces, in double precision ------------------------------------------

double to_linear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

double from_linear(double c) {
    double a = std::fabs(c);
    return std::copysign(a <= 0.0031308 ? 12.92 * a : 1.055 * std::pow(a, 1.0 / 2.4) - 0.055, c);
}

// An Oklab colour as OkLCh: (L, C, hue in degrees, or NaN where it is
// powerless). `out` may be `lab`.
void to_lch(const double lab[3], double out[3]) {
    double chroma = std::hypot(lab[1], lab[2]);
    double hue = std::fmod(std::atan2(lab[2], lab[1]) * (180.0 / M_PI) + 360.0, 360.0);
    out[0] = lab[0];
    out[1] = chroma;
    out[2] = chroma <= kPowerlessChroma ? NAN : hue;
}

// Straight sRGB (0..1) in `space`; OkLCh as (L, C, hue in degrees, or NaN
// where it is powerless).
void to_space(const double rgb[3], int space, double out[3]) {
    if (space == kSrgb) {
        for (int k = 0; k < 3; k++) out[k] = rgb[k];
        return;
    }
    double lin[3] = {to_linear(rgb[0]), to_linear(rgb[1]), to_linear(rgb[2])};
    if (space == kSrgbLinear) {
        for (int k = 0; k < 3; k++) out[k] = lin[k];
        return;
    }
    double l = std::cbrt(0.4122214708 * lin[0] + 0.5363325363 * lin[1] + 0.0514459929 * lin[2]);
    double m = std::cbrt(0.2119034982 * lin[0] + 0.6806995451 * lin[1] + 0.1073969566 * lin[2]);
    double s = std::cbrt(0.0883024619 * lin[0] + 0.2817188376 * lin[1] + 0.6299787005 * lin[2]);
    out[0] = 0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s;
    out[1] = 1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s;
    out[2] = 0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s;
    if (space == kOklch) to_lch(out, out);
}

// A colour of a rectangular space (sRGB, linear sRGB, Oklab) back in sRGB,
// clipped per channel.
void from_space(const double v[3], int space, double rgb[3]) {
    double lin[3];
    if (space == kSrgb) {
        for (int k = 0; k < 3; k++) rgb[k] = std::fmin(std::fmax(v[k], 0.0), 1.0);
        return;
    }
    if (space == kSrgbLinear) {
        for (int k = 0; k < 3; k++) lin[k] = v[k];
    } else {
        double l = v[0] + 0.3963377774 * v[1] + 0.2158037573 * v[2];
        double m = v[0] - 0.1055613458 * v[1] - 0.0638541728 * v[2];
        double s = v[0] - 0.0894841775 * v[1] - 1.2914855480 * v[2];
        l *= l * l;
        m *= m * m;
        s *= s * s;
        lin[0] = 4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s;
        lin[1] = -1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s;
        lin[2] = -0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s;
    }
    for (int k = 0; k < 3; k++) rgb[k] = std::fmin(std::fmax(from_linear(lin[k]), 0.0), 1.0);
}

// The hues a gap runs between, fixed up for `method` as CSS Color 4 does:
// a powerless hue takes the other's; two powerless ones are 0.
void hue_pair(double h1, double h2, int method, double &start, double &end) {
    if (std::isnan(h1)) h1 = h2;
    if (std::isnan(h2)) h2 = h1;
    if (std::isnan(h1)) h1 = h2 = 0.0;
    double d = h2 - h1;
    switch (method) {
        case kShorter:
            if (d > 180.0) h1 += 360.0;
            else if (d < -180.0) h2 += 360.0;
            break;
        case kLonger:
            if (d > 0.0 && d < 180.0) h1 += 360.0;
            else if (d > -180.0 && d <= 0.0) h2 += 360.0;
            break;
        case kIncreasing:
            if (d < 0.0) h2 += 360.0;
            break;
        default:
            if (d > 0.0) h1 += 360.0;
    }
    start = h1;
    end = h2;
}

// Each inner colour counts once, the two ends half each.
double end_weight(size_t i, size_t n) { return n > 1 && (i == 0 || i == n - 1) ? 0.5 : 1.0; }

}  // namespace

constexpr std::array<std::array<float, 2>, Model::kMaxColors> even_gaps() {
    std::array<std::array<float, 2>, Model::kMaxColors> gaps{};
    for (auto &gap : gaps) gap = {0.5f, 0.0f};
    return gaps;
}
const std::array<std::array<float, 2>, Model::kMaxColors> Model::kEvenGaps = even_gaps();

void Model::place_stops() noexcept {
    const size_t n = colors.rgba.size();
    if (positioned) {
        // CSS's fix-up: a position below one before it moves up to the
        // largest of those.
        double top = 0.0;
        for (size_t i = 0; i < n; i++) {
            top = i == 0 || positions[i] > top ? positions[i] : top;
            stops[i] = ks::narrow(top);
        }
    } else {
        ks::weight_stops(colors.weights.data(), n, stops.data());
    }
}

bool Model::place() noexcept {
    const size_t n = colors.rgba.size();
    try {
        stops.resize(n);
        shaded.resize(space == kSrgb ? 0 : n);
        gaps.resize(space == kSrgb && !hinted ? 0 : n);
    } catch (const std::bad_alloc &) {
        return false;
    }
    place_stops();
    // The average in the mixing space (Oklab for OkLCh, whose hues have no
    // mean), premultiplied.
    const int rect = space == kOklch ? kOklab : space;
    double sum[3] = {0, 0, 0}, alpha = 0.0, total = 0.0;
    double hues[2] = {0, 0};  // the previous colour's hue, this one's
    for (size_t i = 0; i < n; i++) {
        const Rgba &c = colors.rgba[i];
        const double rgb[3] = {unit(c.r), unit(c.g), unit(c.b)};
        const double a = unit(c.a);
        double v[3];
        to_space(rgb, rect, v);
        double weight = end_weight(i, n);
        for (int k = 0; k < 3; k++) sum[k] += weight * v[k] * a;
        alpha += weight * a;
        total += weight;
        if (!gaps.empty())
            gaps[i] = {static_cast<float>(hinted && i > 0 ? hints[i - 1] : 0.5), 0.0f};
        if (space == kSrgb) {
            // The shader takes the straight colours themselves.
        } else if (space != kOklch) {
            shaded[i] = Rgba{static_cast<float>(v[0] * a), static_cast<float>(v[1] * a),
                             static_cast<float>(v[2] * a), static_cast<float>(a)};
        } else {
            double lch[3];
            to_lch(v, lch);  // v is the colour in Oklab
            shaded[i] = Rgba{static_cast<float>(lch[0] * a), static_cast<float>(lch[1] * a), 0.0f,
                             static_cast<float>(a)};
            hues[1] = lch[2];
            if (i == 0) {
                shaded[0].b = static_cast<float>(std::isnan(lch[2]) ? 0.0 : lch[2]);
            } else {
                double start, end;
                hue_pair(hues[0], hues[1], hue, start, end);
                shaded[i - 1].b = static_cast<float>(start);
                gaps[i][1] = static_cast<float>(end);
                shaded[i].b = static_cast<float>(end);  // the last colour keeps it
            }
            hues[0] = hues[1];
        }
    }
    if (n > 0 && space != kSrgb) gaps[0][1] = shaded[0].b;
    total = total > 1.0 ? total : 1.0;
    alpha /= total;
    double rgb[3] = {0, 0, 0};
    if (alpha > 0.0) {
        const double mean[3] = {sum[0] / total / alpha, sum[1] / total / alpha, sum[2] / total / alpha};
        from_space(mean, rect, rgb);
    }
    for (int k = 0; k < 3; k++) average[k] = static_cast<float>(rgb[k] * alpha);
    average[3] = static_cast<float>(alpha);
    return true;
}

void draw_geometry(const Model &m, double w, double h, DrawGeometry &out) noexcept {
    const double cx = m.center[0] * w, cy = m.center[1] * h;
    double rx = 0.0, ry = 0.0, scale;
    double gx = 0.0, gy = 0.0, room = 1.0;
    if (m.kind == kLinear) {
        double a = m.angle * (M_PI / 180.0);
        scale = std::fabs(w * std::cos(a)) + std::fabs(h * std::sin(a));
    } else if (m.kind == kConic) {
        scale = 2.0 * M_PI * std::hypot(std::fmax(cx, w - cx), std::fmax(cy, h - cy));
    } else {
        ending_radii(m, cx, cy, w, h, rx, ry);
        scale = std::fmax(rx, ry);
        if (m.has_focal && rx > 0.0 && ry > 0.0) {
            // In the ellipse's own coordinates the ending shape is the unit
            // circle about 0; a focal point on it or beyond moves inside.
            gx = (m.focal[0] * w - cx) / rx;
            gy = (m.focal[1] * h - cy) / ry;
            double d = std::hypot(gx, gy);
            if (d >= kFocalLimit) {
                gx = gx / d * kFocalLimit;
                gy = gy / d * kFocalLimit;
            }
            room = 1.0 - (gx * gx + gy * gy);
        }
    }
    out.radii[0] = ks::narrow(rx);
    out.radii[1] = ks::narrow(ry);
    out.focal[0] = ks::narrow(gx);
    out.focal[1] = ks::narrow(gy);
    out.focal[2] = ks::narrow(room);
    out.focal[3] = 0.0f;
    const size_t n = m.stops.size();
    float first = n > 0 ? m.stops[0] : 0.0f, last = n > 0 ? m.stops[n - 1] : 0.0f;
    const double length = static_cast<double>(last) - static_cast<double>(first);
    // Shorter than a pixel, a period is finer than the pixels that sample it.
    out.period[0] = first;
    out.period[1] = length * scale >= 1.0 ? last : first;
}

}  // namespace ksgradient
