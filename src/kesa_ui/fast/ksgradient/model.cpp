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

}  // namespace

bool Model::place() noexcept {
    const size_t n = colors.rgba.size();
    try {
        stops.resize(n);
    } catch (const std::bad_alloc &) {
        return false;
    }
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
    // Each inner colour counts once, the two ends half each.
    double sum[4] = {0, 0, 0, 0}, total = 0.0;
    for (size_t i = 0; i < n; i++) {
        const Rgba &c = colors.rgba[i];
        double weight = n > 1 && (i == 0 || i == n - 1) ? 0.5 : 1.0;
        double a = unit(c.a);
        sum[0] += weight * unit(c.r) * a;
        sum[1] += weight * unit(c.g) * a;
        sum[2] += weight * unit(c.b) * a;
        sum[3] += weight * a;
        total += weight;
    }
    for (int k = 0; k < 4; k++) average[k] = static_cast<float>(sum[k] / (total > 1.0 ? total : 1.0));
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
