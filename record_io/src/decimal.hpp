// Decimal numbers as read from text, and their conversion to single precision.
#pragma once

#include <cstdint>

#include "record_io/rounding.hpp"

namespace record_io {

// The significant digits of a decimal number and its power of ten, gathered digit by digit.
// At most 40 significant digits count: further integer digits only raise the exponent,
// further fraction digits are dropped. Leading zeros are not significant.
class DecimalDigits {
 public:
  static constexpr int max_significant = 40;

  void integer_digit(char c) {
    if (count_ == 0 && c == '0') return;
    if (count_ < max_significant) {
      push(c);
    } else {
      ++exponent_;
    }
  }
  void fraction_digit(char c) {
    if (count_ == 0 && c == '0') {
      --exponent_;
    } else if (count_ < max_significant) {
      push(c);
      --exponent_;
    }
  }
  // Scales the number by 10^e (an explicit exponent, or implied decimals).
  void scale(std::int64_t e) { exponent_ += e; }
  int significant_digits() const { return count_; }
  // The nearest double, rounded again to single precision (ties to even both times).
  // Zero is always +0.0.
  float to_single(bool negative) const;

 private:
  void push(char c) {
    digits_[count_++] = c;
    if (count_ <= 19) mantissa_ = mantissa_ * 10 + static_cast<unsigned>(c - '0');
  }

  char digits_[max_significant];  // [0, count_) in use
  int count_ = 0;
  std::uint64_t mantissa_ = 0;  // the first 19 digits as an integer
  std::int64_t exponent_ = 0;   // value = digits (as an integer) * 10^exponent_
};

inline constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The nearest double to mantissa * 10^exponent, for any mantissa and exponent.
double scaled_to_double_exact(std::uint64_t mantissa, std::int64_t exponent);

// decimal_to_single (below) for a mantissa of at most 2^53, as 15 digits always are.
inline float short_decimal_to_single(std::uint64_t mantissa, std::int64_t exponent, bool negative) {
  if (exponent >= -22 && exponent <= 22) {
    // The common case, with the shortest chain of dependent steps: the signed mantissa
    // and the power of ten are exact doubles, so one division or multiplication rounds
    // correctly, and below 2^53 * 10^22 the result is within the single range.
    // The sign without a branch (the data decides it at random); -0 is no integer: +0.0.
    auto m = static_cast<std::int64_t>(mantissa);
    std::int64_t minus = -static_cast<std::int64_t>(negative);
    auto signed_mantissa = static_cast<double>((m ^ minus) - minus);
    double nearest = exponent < 0 ? signed_mantissa / exact_powers_of_ten[-exponent]
                                  : signed_mantissa * exact_powers_of_ten[exponent];
    return static_cast<float>(nearest);
  }
  if (mantissa == 0) return 0.0f;
  double magnitude = scaled_to_double_exact(mantissa, exponent);
  return round_to_single(negative ? -magnitude : magnitude);
}

// The decimal number (negative or not) mantissa * 10^exponent, mantissa of at most 19
// digits, converted to the nearest double and then rounded to single precision; +0.0 for
// a zero mantissa.
inline float decimal_to_single(std::uint64_t mantissa, std::int64_t exponent, bool negative) {
  if (mantissa <= (std::uint64_t{1} << 53)) {
    return short_decimal_to_single(mantissa, exponent, negative);
  }
  double magnitude = scaled_to_double_exact(mantissa, exponent);
  return round_to_single(negative ? -magnitude : magnitude);
}

}  // namespace record_io
