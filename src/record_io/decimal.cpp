#include "record_io/decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace record_io {

namespace {

constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

double DecimalDigits::magnitude() const {
  // Both the mantissa and the power of ten are exact doubles here, so one multiplication
  // or division rounds correctly.
  if (count_ <= 19 && mantissa_ <= (std::uint64_t{1} << 53) && exponent_ >= -22 &&
      exponent_ <= 22) {
    auto m = static_cast<double>(mantissa_);
    return exponent_ < 0 ? m / exact_powers_of_ten[-exponent_] : m * exact_powers_of_ten[exponent_];
  }
  // The full conversion: digits, then the exponent, parsed with correct rounding.
  char text[max_significant + 24];
  char* p = text;
  for (int i = 0; i < count_; ++i) *p++ = digits_[i];
  *p++ = 'e';
  auto [end, ec] = std::to_chars(p, text + sizeof text, exponent_);
  double value = 0;
  auto result = std::from_chars(text, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Out of the double range: decided by the decimal exponent of the leading digit.
    return exponent_ + count_ > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

float DecimalDigits::to_single(bool negative) const {
  if (count_ == 0) return 0.0f;
  double m = magnitude();
  return round_to_single(negative ? -m : m);
}

float round_to_single(double value) {
  // Halfway between the largest single and 2^128 rounds up, to the infinity.
  constexpr double overflow = 0x1.ffffffp127;
  if (std::fabs(value) >= overflow) {
    return std::signbit(value) ? -std::numeric_limits<float>::infinity()
                               : std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(value);
}

}  // namespace record_io
