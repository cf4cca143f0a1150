#include "decimal.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

#if PEER_MERGE_HAVE_FAST_FLOAT
#include <fast_float/fast_float.h>
#endif

namespace record_io {

namespace {

// Parses "<digits>e<exponent>" with correct rounding; beyond the double range the decimal
// exponent of the leading digit decides between infinity and zero.
double parse_scientific(char* text, char* digits_end, int count, std::int64_t exponent) {
  *digits_end++ = 'e';
  char* end = std::to_chars(digits_end, digits_end + 24, exponent).ptr;
  double value = 0;
#if PEER_MERGE_HAVE_FAST_FLOAT
  // Beyond the double range the result is already the infinity or the zero.
  fast_float::from_chars(text, end, value);
  (void)count;
#else
  if (std::from_chars(text, end, value).ec == std::errc::result_out_of_range) {
    return exponent + count > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
#endif
  return value;
}

}  // namespace

double scaled_to_double_exact(std::uint64_t mantissa, std::int64_t exponent) {
  char text[64];
  char* digits_end = std::to_chars(text, text + 24, mantissa).ptr;
  return parse_scientific(text, digits_end, static_cast<int>(digits_end - text), exponent);
}

float DecimalDigits::to_single(bool negative) const {
  if (count_ == 0) return 0.0f;
  if (count_ <= 19) return decimal_to_single(mantissa_, exponent_, negative);
  char text[max_significant + 32];
  std::copy(digits_, digits_ + count_, text);
  double magnitude = parse_scientific(text, text + count_, count_, exponent_);
  return round_to_single(negative ? -magnitude : magnitude);
}

}  // namespace record_io
