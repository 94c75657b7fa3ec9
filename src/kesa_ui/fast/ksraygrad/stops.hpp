// Colour stops: where each colour sits along the gradient.
#pragma once

#include <cstddef>
#include <vector>

namespace ksraygrad {

// Fills `stops` (cleared first) from `weights`: false with MemoryError set
// when no room could be made.
bool compute_stops(const float *weights, size_t n, std::vector<float> &stops);

}  // namespace ksraygrad
