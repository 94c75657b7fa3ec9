// Colour stops: where each colour sits along the gradient, by the weights
// (kesa_ui/native/stops.hpp says how).
#include "kesa_ui/fast/ksraygrad/stops.hpp"

#include "kesa_ui/fast/ksraygrad/convert.hpp"
#include "kesa_ui/native/stops.hpp"

namespace ksraygrad {

bool compute_stops(const float *weights, size_t n, std::vector<float> &stops) {
    if (!resize(stops, n)) return false;
    ks::weight_stops(weights, n, stops.data());
    return true;
}

}  // namespace ksraygrad
