// Colour stops from weights: where each colour sits along a gradient (0 at
// its start, 1 at its end), shared by the gradient modules so that they
// place weighted colours identically.
//
// The weights divide 0..1 into consecutive bands, one per colour, each as
// wide as its share of the total weight. Inner colours sit at the centres of
// their bands; the first and last sit at the ends of the range unless their
// band is more than half of it. The rounding is part of the result: band
// boundaries are accumulated as 32-bit floats from double quotients, the end
// stops are computed in double and rounded, the inner centres are computed
// in float arithmetic (the CPU renderer's compute_stops takes the same steps).
#pragma once

#include <cstddef>

#include "kesa_ui/native/number.hpp"

namespace ks {

// Fills out[0..n) from weights[0..n).
inline void weight_stops(const float *weights, size_t n, float *out) {
    if (n == 0) return;
    if (n == 1) {
        out[0] = 0.0f;
        return;
    }
    // Python's min and max: the first argument unless the second is
    // strictly smaller / larger.
    auto py_min = [](double a, double b) { return b < a ? b : a; };
    auto py_max = [](double a, double b) { return b > a ? b : a; };
    double total = 0.0;
    for (size_t i = 0; i < n; i++) total += static_cast<double>(weights[i]);
    if (total <= 0.0) total = 1.0;
    // Boundaries b[0..n] are produced one at a time: b[k+1] is the running
    // share of the first k+1 weights; `left` is b[i] and `right` b[i+1].
    auto next = [&](float left, size_t i) {
        return narrow(static_cast<double>(left) + static_cast<double>(weights[i]) / total);
    };
    float left = next(0.0f, 0);
    double rb = left;
    out[0] = narrow(py_max(0.0, rb - py_min(rb, 1.0 - rb)));
    for (size_t i = 1; i + 1 < n; i++) {
        float right = next(left, i);
        out[i] = (left + right) * 0.5f;
        left = right;
    }
    double lb = left;
    out[n - 1] = narrow(py_min(1.0, lb + py_min(lb, 1.0 - lb)));
}

}  // namespace ks
