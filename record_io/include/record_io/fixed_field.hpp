// The fixed-point field (Fw.d) as a formatted write statement edits it in place: inline, so
// that a statement's fields are edited without a call. The layer's own; programs name none
// of this.
#pragma once

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace record_io::detail {

// Fills out[0..width) with asterisks and returns out + width: up to 16 in two overlapping
// stores of eight or four bytes, without a call.
inline char* asterisks(char* out, std::size_t width) {
  constexpr std::uint64_t row = 0x2A2A2A2A2A2A2A2Aull;
  constexpr auto half_row = static_cast<std::uint32_t>(row);
  if (width >= 8 && width <= 16) {
    std::memcpy(out, &row, 8);
    std::memcpy(out + width - 8, &row, 8);
  } else if (width >= 4 && width < 8) {
    std::memcpy(out, &half_row, 4);
    std::memcpy(out + width - 4, &half_row, 4);
  } else {
    std::memset(out, '*', width);
  }
  return out + width;
}

// The fixed-point field of width w with d decimals, for the fields edit_fixed does not take
// on its quick path (below).
char* edit_fixed_other(char* out, float v, int w, int d);

namespace three_decimals {

// For n below 1000: the text ".ddd" of n / 1000, its first character in the lowest byte.
inline constexpr std::array<std::uint32_t, 1000> point_and_digits = [] {
  std::array<std::uint32_t, 1000> t{};
  for (std::uint32_t n = 0; n < 1000; ++n) {
    t[n] = '.' | (('0' + n / 100) << 8) | (('0' + n / 10 % 10) << 16) | (('0' + n % 10) << 24);
  }
  return t;
}();

// For n below 1000, without a sign (at 2n) and with a minus (at 2n + 1): n right-aligned in
// four columns, at least one digit, the sign directly before the first digit.
inline constexpr std::array<std::uint32_t, 2000> signed_whole = [] {
  std::array<std::uint32_t, 2000> t{};
  for (std::uint32_t n = 0; n < 1000; ++n) {
    for (std::uint32_t minus = 0; minus < 2; ++minus) {
      char text[4] = {' ', ' ', ' ', ' '};
      int k = 3;
      std::uint32_t rest = n;
      do {
        text[k--] = static_cast<char>('0' + rest % 10);
        rest /= 10;
      } while (rest != 0);
      if (minus) text[k] = '-';
      std::uint32_t packed = 0;
      for (int i = 0; i < 4; ++i) {
        packed |= std::uint32_t{static_cast<std::uint8_t>(text[i])} << (8 * i);
      }
      t[2 * n + minus] = packed;
    }
  }
  return t;
}();

}  // namespace three_decimals

// The F fields edit_three_decimals writes: three decimals and a width of 1 to 16, such as
// the combined file's.
constexpr bool is_three_decimals(int w, int d) {
  return d == 3 && static_cast<unsigned>(w - 1) < 16;
}

// Writes v into out[0..w) as a fixed-point field of width w with 3 decimals, w from 1 to 16:
// see edit_fixed. Its quick path, inline: a magnitude below 999.9995. |v| * 1000 is exact
// in double precision (24 significant bits times 1000), and adding 2^52 rounds it once,
// ties to even, to an integer q below 10^6, which then fills the low bits of the sum. Its
// whole part, with the sign, and its decimals, with the point, are eight characters from
// two tables.
inline char* edit_three_decimals(char* out, float v, int w) {
  double x = std::fabs(static_cast<double>(v)) * 1000.0;
  if (x < 999999.5) {
    auto q = static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x + 0x1p52));
    std::uint32_t whole = q / 1000;
    // The sign when the rounded magnitude is not zero: 0 - q has its top bit set then.
    auto minus = static_cast<std::uint32_t>((std::bit_cast<std::uint32_t>(v) >> 31) &
                                            ((std::uint64_t{0} - q) >> 63));
    std::uint64_t text = three_decimals::signed_whole[2 * whole + minus] |
                         std::uint64_t{three_decimals::point_and_digits[q - whole * 1000]} << 32;
    constexpr std::uint64_t blanks = 0x2020202020202020ull;
    auto width = static_cast<unsigned>(w);
    if (width >= 8) {  // blanks, then the eight characters
      std::memcpy(out, &blanks, 8);
      std::memcpy(out + width - 8, &text, 8);
      return out + width;
    }
    // Its first 8 - w characters must be blanks; the field is the rest, its last four
    // characters those of the text.
    if (((text ^ blanks) << (8 * width)) != 0) return asterisks(out, width);
    if (width >= 4) {
      auto first = static_cast<std::uint32_t>(text >> (64 - 8 * width));
      auto last = static_cast<std::uint32_t>(text >> 32);
      std::memcpy(out, &first, 4);
      std::memcpy(out + width - 4, &last, 4);
    } else {
      text >>= 64 - 8 * width;
      for (unsigned i = 0; i < width; ++i) out[i] = static_cast<char>(text >> (8 * i));
    }
    return out + width;
  }
  // 1000 or more, finite: at least eight characters.
  if (w < 8 && x <= DBL_MAX) return asterisks(out, static_cast<std::size_t>(w));
  return edit_fixed_other(out, v, w, 3);
}

// Writes v into out[0..w) as a fixed-point field of width w with d decimals: the stored
// value rounded exactly to d decimals (ties to even), a digit always before the point, a
// "-" only when the rounded magnitude is not zero, right-aligned with blanks; w asterisks
// when the text does not fit. Infinities and NaNs are written as the C library's fixed
// conversion writes them (glibc: "inf", "-inf", "nan", "-nan"), right-aligned (asterisks when
// they do not fit). Returns out + w.
inline char* edit_fixed(char* out, float v, int w, int d) {
  if (is_three_decimals(w, d)) return edit_three_decimals(out, v, w);
  return edit_fixed_other(out, v, w, d);
}

}  // namespace record_io::detail
