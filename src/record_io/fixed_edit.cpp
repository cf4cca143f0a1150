#include "record_io/fixed_edit.hpp"

#include "record_io/decimal.hpp"
#include "record_io/digits.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace record_io {

namespace {

// The widest field edited without the general conversion.
constexpr int max_fast_width = 32;

// "00", "01", ... "99".
constexpr auto digit_pairs_table = [] {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    t[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return t;
}();
constexpr const char* digit_pairs = digit_pairs_table.data();

// q / 10^d for d in 0..9, each a division by a constant.
std::uint64_t divide_by_power_of_ten(std::uint64_t q, int d) {
  switch (d) {
    case 0:
      return q;
    case 1:
      return q / 10;
    case 2:
      return q / 100;
    case 3:
      return q / 1000;
    case 4:
      return q / 10000;
    case 5:
      return q / 100000;
    case 6:
      return q / 1000000;
    case 7:
      return q / 10000000;
    case 8:
      return q / 100000000;
    default:
      return q / 1000000000;
  }
}

// Fills out[0..w) with blanks, w at most 32: whole words where they fit, the last one
// overlapping.
void fill_blanks(char* out, int w) {
  constexpr std::uint64_t blanks = 0x2020202020202020ull;
  if (w >= 8) {
    int i = 0;
    for (; i + 8 <= w; i += 8) std::memcpy(out + i, &blanks, 8);
    if (i < w) std::memcpy(out + w - 8, &blanks, 8);
  } else {
    for (int i = 0; i < w; ++i) out[i] = ' ';
  }
}

// Right-aligns text[0..len) in a field of width w, or fills it with asterisks.
char* place(char* out, const char* text, std::size_t len, int w) {
  auto width = static_cast<std::size_t>(w);
  if (len > width) {
    std::memset(out, '*', width);
  } else {
    std::memset(out, ' ', width - len);
    std::memcpy(out + (width - len), text, len);
  }
  return out + width;
}

// The magnitude of v rounded to d decimals (ties to even) and scaled by 10^d, for
// |v| < 2^31 and d <= 9; false for other values. |v| * 10^d is exact in double
// precision (24 significant bits times at most 21 for the odd part of 10^d), and adding
// 2^52 rounds it once to an integer, which then fills the low bits of the sum.
bool scaled_magnitude(float v, int d, std::uint64_t* scaled) {
  double magnitude = std::fabs(static_cast<double>(v));
  if (d < 0 || d > 9 || !(magnitude < 0x1p31)) return false;  // NaN fails too
  double x = magnitude * exact_powers_of_ten[d];
  if (!(x < 0x1p52)) return false;
  *scaled = std::bit_cast<std::uint64_t>(x + 0x1p52) & ((std::uint64_t{1} << 52) - 1);
  return true;
}

// Any value: the exact conversion of the standard library, then the sign and point rules.
char* edit_fixed_general(char* out, float v, int w, int d) {
  char text[400];
  auto [end, ec] = std::to_chars(text, text + sizeof text - 1, static_cast<double>(v),
                                 std::chars_format::fixed, d);
  if (ec != std::errc()) {  // longer than any field
    std::memset(out, '*', static_cast<std::size_t>(w));
    return out + w;
  }
  const char* begin = text;
  const char* magnitude = text[0] == '-' ? text + 1 : text;
  bool finite = *magnitude >= '0' && *magnitude <= '9';
  if (finite) {
    if (d == 0) *end++ = '.';
    bool zero = std::all_of(magnitude, static_cast<const char*>(end),
                            [](char c) { return c == '0' || c == '.'; });
    if (zero) begin = magnitude;
  }
  return place(out, begin, static_cast<std::size_t>(end - begin), w);
}

}  // namespace

char* edit_fixed(char* out, float v, int w, int d) {
  std::uint64_t q = 0;
  if (w > max_fast_width || !scaled_magnitude(v, d, &q)) return edit_fixed_general(out, v, w, d);
  bool minus = std::signbit(v) && q != 0;
  // |v| < 2^31, so both parts fit in 32 bits.
  std::uint64_t whole_part = divide_by_power_of_ten(q, d);
  auto whole = static_cast<std::uint32_t>(whole_part);
  auto fraction = static_cast<std::uint32_t>(q - whole_part * integer_powers_of_ten[d]);
  int whole_digits = 1;
  while (whole_digits < 10 && whole >= integer_powers_of_ten[whole_digits]) ++whole_digits;
  int length = static_cast<int>(minus) + whole_digits + 1 + d;
  if (length > w) {  // it does not fit
    std::memset(out, '*', static_cast<std::size_t>(w));
    return out + w;
  }
  // Blanks, then right to left the decimals, the point, the whole digits and the sign,
  // all stored straight into the field.
  fill_blanks(out, w);
  char* p = out + w;
  for (int n = d; n > 0; n -= 2) {
    if (n == 1) {
      *--p = static_cast<char>('0' + fraction);
      break;
    }
    p -= 2;
    std::memcpy(p, digit_pairs + 2 * (fraction % 100), 2);
    fraction /= 100;
  }
  *--p = '.';
  while (whole >= 100) {
    p -= 2;
    std::memcpy(p, digit_pairs + 2 * (whole % 100), 2);
    whole /= 100;
  }
  if (whole >= 10) {
    p -= 2;
    std::memcpy(p, digit_pairs + 2 * whole, 2);
  } else {
    *--p = static_cast<char>('0' + whole);
  }
  if (p > out) p[-1] = minus ? '-' : ' ';  // no branch: the data decides the sign at random
  return out + w;
}

}  // namespace record_io
