#include "resolution.hpp"

#include <cmath>

namespace normalize {

void count_sample(Resolution& r, float v) {
  if (v != 0) ++r.nonzero;
  if (v != 0 && prints_as_zero(v)) ++r.printed_zero;
  if (!fits_field(v)) {
    ++r.asterisks;
    return;
  }
  const double d = static_cast<double>(v);
  const double printed = std::nearbyint(d * 1000.0) / 1000.0;
  r.signal_squares += d * d;
  r.error_squares += (d - printed) * (d - printed);
}

bool prints_as_zero(float v) {
  // |v| * 1000 is exact in double precision; the field rounds ties to even, as nearbyint.
  return std::nearbyint(std::fabs(static_cast<double>(v)) * 1000.0) == 0;
}

bool fits_field(float v) {
  if (!std::isfinite(v)) return false;
  const double q = std::nearbyint(std::fabs(static_cast<double>(v)) * 1000.0);
  // "999999.999" and "-99999.999" fill the ten columns.
  return v < 0 && q != 0 ? q < 1e8 : q < 1e9;
}

}  // namespace normalize
