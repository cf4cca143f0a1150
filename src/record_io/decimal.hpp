// Decimal numbers as read from text, and their conversion to single precision.
#pragma once

#include <cstdint>

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
  // No significant digit: the number is zero, whatever its sign.
  bool is_zero() const { return count_ == 0; }
  int significant_digits() const { return count_; }
  // The nearest double, rounded again to single precision (ties to even both times).
  // Zero is always +0.0.
  float to_single(bool negative) const;

 private:
  void push(char c) {
    digits_[count_++] = c;
    if (count_ <= 19) mantissa_ = mantissa_ * 10 + static_cast<unsigned>(c - '0');
  }
  double magnitude() const;

  char digits_[max_significant] = {};
  int count_ = 0;
  std::uint64_t mantissa_ = 0;  // the first 19 digits as an integer
  std::int64_t exponent_ = 0;   // value = digits (as an integer) * 10^exponent_
};

// Rounds a double to single precision, to nearest with ties to even; beyond the single
// range the result is an infinity.
float round_to_single(double value);

}  // namespace record_io
