// Rounding a double to single precision, safely at any magnitude.
#pragma once

#include <cmath>
#include <limits>

namespace record_io {

// Rounds a double to single precision, to nearest with ties to even; beyond the single
// range the result is an infinity (a NaN stays a NaN).
inline float round_to_single(double value) {
  // Halfway between the largest single and 2^128 rounds up, to the infinity.
  constexpr double overflow = 0x1.ffffffp127;
  if (std::fabs(value) < overflow) return static_cast<float>(value);  // usually: one test
  if (value >= overflow) return std::numeric_limits<float>::infinity();
  if (value <= -overflow) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);  // a NaN stays a NaN
}

}  // namespace record_io
