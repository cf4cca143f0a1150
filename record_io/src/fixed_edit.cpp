#include "fixed_edit.hpp"

#include "decimal.hpp"
#include "digits.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
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

// The eight digits of q < 10^8, the first in the lowest byte: four digit pairs.
std::uint64_t eight_digits(std::uint32_t q) {
  std::uint32_t high = q / 10000;
  std::uint32_t low = q - high * 10000;
  std::uint32_t parts[4] = {high / 100, high % 100, low / 100, low % 100};
  std::uint64_t text = 0;
  for (int i = 0; i < 4; ++i) {
    std::uint16_t pair = 0;
    std::memcpy(&pair, digit_pairs + 2 * parts[i], 2);
    text |= std::uint64_t{pair} << (16 * i);
  }
  return text;
}

void store_word(char* p, std::uint64_t v) {
  std::memcpy(p, &v, 8);
}

// out[0..w) = from[0..w), 1 <= w <= 16, without a call: two overlapping copies of eight
// or of four bytes.
void copy_short(char* out, const char* from, int w) {
  auto n = static_cast<std::size_t>(w);
  if (n >= 8) {
    std::memcpy(out, from, 8);
    std::memcpy(out + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(out, from, 4);
    std::memcpy(out + n - 4, from + n - 4, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) out[i] = from[i];
  }
}

// The field of x = |v| * 10^d below 99999999.5, d <= 7, 1 <= w <= 16: x is exact (a
// single's 24 significant bits times the odd part of 10^d, at most 17 bits), and adding
// 2^52 rounds it once to an integer q < 10^8, which then fills the low bits of the sum.
// The eight digits of q, their leading zeros but the last whole one turned into blanks, go
// into a scratch text whose last w characters are the field: blanks, the sign, the whole
// digits, the point, the decimals.
[[gnu::always_inline]] inline char* edit_short(char* out, float v, double x, int w, int d) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  auto width = static_cast<std::size_t>(w);
  auto decimals = static_cast<std::size_t>(d);
  auto q = static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x + 0x1p52));
  std::uint64_t text = eight_digits(q);
  // Leading zeros shown as blanks: all but the last whole digit (the top bit stops the
  // count at 7 for q = 0).
  std::uint64_t nonzero = (text ^ 0x30 * ones) | (std::uint64_t{1} << 63);
  std::size_t lead =
      std::min(static_cast<std::size_t>(std::countr_zero(nonzero)) / 8, 7 - decimals);
  bool minus = std::signbit(v) && q != 0;
  if (static_cast<std::size_t>(minus) + 9 - lead > width) {
    return asterisks(out, width);
  }
  text ^= ((std::uint64_t{1} << (8 * lead)) - 1) & (0x10 * ones);  // '0' ^ 0x10 is a blank
  // t[23, 31 - d) the whole digits, t[31 - d] the point, t[32 - d, 32) the decimals, the
  // sign or a blank before the first digit kept.
  char t[40];
  store_word(t + 15, 0x20 * ones);
  store_word(t + 23, text);
  store_word(t + 32 - decimals, (text >> (8 * (7 - decimals))) >> 8);  // no shift by 64
  t[31 - decimals] = '.';
  t[22 + lead] = minus ? '-' : ' ';  // no branch: the data decides the sign at random
  copy_short(out, t + 32 - width, w);
  return out + w;
}

// The magnitude of v rounded to d decimals (ties to even) and scaled by 10^d, for
// |v| < 2^31 and d <= 9; false for other values. |v| * 10^d is exact in double
// precision (24 significant bits times the odd part of 10^d, at most 21 bits), and adding
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
  auto width = static_cast<std::size_t>(w);
  if (!std::isfinite(v)) {  // the C library's own text ("inf", "-nan", ...), on each system
    char name[32];
    int length = std::snprintf(name, sizeof name, "%.0f", static_cast<double>(v));
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof name)
      return asterisks(out, width);
    return place_right(out, name, static_cast<std::size_t>(length), width);
  }
  char text[400];
  auto [end, ec] = std::to_chars(text, text + sizeof text - 1, static_cast<double>(v),
                                 std::chars_format::fixed, d);
  if (ec != std::errc()) return asterisks(out, width);  // longer than any field
  const char* begin = text;
  const char* magnitude = text[0] == '-' ? text + 1 : text;
  if (d == 0) *end++ = '.';
  bool zero = std::all_of(magnitude, static_cast<const char*>(end),
                          [](char c) { return c == '0' || c == '.'; });
  if (zero) begin = magnitude;
  return place_right(out, begin, static_cast<std::size_t>(end - begin), width);
}

// The field of v scaled to q (|v| < 2^31, d <= 9), w <= 32: digit pairs right to left.
char* edit_digit_pairs(char* out, float v, int w, int d, std::uint64_t q) {
  bool minus = std::signbit(v) && q != 0;
  // |v| < 2^31, so both parts fit in 32 bits.
  std::uint64_t whole_part = divide_by_power_of_ten(q, d);
  auto whole = static_cast<std::uint32_t>(whole_part);
  auto fraction = static_cast<std::uint32_t>(q - whole_part * integer_powers_of_ten[d]);
  int whole_digits = 1;
  while (whole_digits < 10 && whole >= integer_powers_of_ten[whole_digits]) ++whole_digits;
  int length = static_cast<int>(minus) + whole_digits + 1 + d;
  if (length > w) {  // it does not fit
    return asterisks(out, static_cast<std::size_t>(w));
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

// A field edit_short does not take: digit pairs for |v| < 2^31 and d <= 9 in fields up to
// 32 columns, the general conversion beyond. Kept apart so that the common path stays
// short.
[[gnu::noinline]] char* edit_long(char* out, float v, int w, int d) {
  std::uint64_t q = 0;
  if (w > max_fast_width || !scaled_magnitude(v, d, &q)) return edit_fixed_general(out, v, w, d);
  return edit_digit_pairs(out, v, w, d, q);
}

}  // namespace

char* place_right(char* out, const char* text, std::size_t length, std::size_t width) {
  if (length > width) return asterisks(out, width);
  std::memset(out, ' ', width - length);
  std::memcpy(out + (width - length), text, length);
  return out + width;
}

char* detail::edit_fixed_other(char* out, float v, int w, int d) {
  if (static_cast<unsigned>(d) <= 7 && static_cast<unsigned>(w - 1) < 16) {
    double x = std::fabs(static_cast<double>(v)) * exact_powers_of_ten[d];
    if (x < 99999999.5) return edit_short(out, v, x, w, d);  // NaN goes on
  }
  return edit_long(out, v, w, d);
}

}  // namespace record_io
