// Colour stops: where each colour sits along the gradient (0 at its start, 1
// at its end).
//
// The weights divide 0..1 into consecutive bands, one per colour, each as
// wide as its share of the total weight. Inner colours sit at the centres of
// their bands; the first and last sit at the ends of the range unless their
// band is more than half of it. The rounding is part of the result: band
// boundaries are accumulated as 32-bit floats from double quotients, the end
// stops are computed in double and rounded, the inner centres are computed
// in float arithmetic.
#include "kesa_ui/fast/ksraygrad/stops.hpp"

#include "kesa_ui/fast/ksraygrad/convert.hpp"

namespace ksraygrad {

namespace {

// Python's min and max: the first argument unless the second is strictly
// smaller / larger.
inline double py_min(double a, double b) { return b < a ? b : a; }
inline double py_max(double a, double b) { return b > a ? b : a; }

}  // namespace

bool compute_stops(const float *weights, size_t n, std::vector<float> &stops) {
    if (!resize(stops, n)) return false;
    if (n == 0) return true;
    float *out = stops.data();
    if (n == 1) {
        out[0] = 0.0f;
        return true;
    }
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
    return true;
}

}  // namespace ksraygrad
