// Runs of decimal digits gathered eight at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "record_io/characters.hpp"

namespace record_io {

// The word-at-a-time scans load eight bytes as one number and take the first of them as its
// lowest byte.
static_assert(std::endian::native == std::endian::little);

// 10^0 .. 10^9.
inline constexpr std::uint64_t integer_powers_of_ten[] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// The value of a digit, and above 9 for any other character.
inline unsigned digit_value(char c) {
  return static_cast<unsigned>(static_cast<unsigned char>(c)) - unsigned{'0'};
}

// The number written by eight digit values (0..9), one per byte, the first digit in the
// lowest byte: the bytes are paired, then the pairs, then the quadruples.
inline std::uint64_t eight_digit_value(std::uint64_t v) {
  v = v * 10 + (v >> 8);
  return (((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
          (((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
         32;
}

// Gathers the run of digits at p into mantissa (mantissa * 10^n + the run, wrapping after
// 19 digits: callers look at the count), moves p past it and returns its length n.
inline std::size_t take_digits(const char*& p, const char* end, std::uint64_t& mantissa) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  const char* start = p;
  if (p == end || !is_digit(*p)) return 0;
  while (end - p >= 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    // A byte is a digit when its high half is 3 both as it is and with 6 added. A carry
    // out of a byte only disturbs later bytes, so the first non-digit is found exactly.
    std::uint64_t other = ((v & (0xF0 * ones)) ^ (0x30 * ones)) |
                          (((v + 0x06 * ones) & (0xF0 * ones)) ^ (0x30 * ones));
    std::size_t n = other == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(other)) / 8;
    if (n == 0) break;
    // Keep the first n digit values, moved up so that zeros stand before them.
    std::uint64_t values = (v - 0x30 * ones) << (8 * (8 - n));
    mantissa = mantissa * integer_powers_of_ten[n] + eight_digit_value(values);
    p += n;
    if (n < 8) return static_cast<std::size_t>(p - start);
  }
  for (; p < end && is_digit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  return static_cast<std::size_t>(p - start);
}

// take_digits with no end to watch: a byte that is not a digit follows the run, and the
// seven bytes after that one can be read too (their content does not matter).
inline std::size_t take_digits_ahead(const char*& p, std::uint64_t& mantissa) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  const char* start = p;
  for (;;) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    // The bytes less '0', digit values up to the first byte that is not a digit; that one
    // comes out below 0 or above 9, and so has its high bit set as it is or with 0x76
    // added. Its borrow or carry only disturbs the bytes after it.
    std::uint64_t values = v - 0x30 * ones;
    std::uint64_t other = ((values + 0x76 * ones) | values) & (0x80 * ones);
    if (other == 0) {
      mantissa = mantissa * integer_powers_of_ten[8] + eight_digit_value(values);
      p += 8;
      continue;
    }
    auto high_bit = static_cast<unsigned>(std::countr_zero(other));  // 8n + 7 for n digits
    if (high_bit > 7) {
      // The n digit values moved up so that zeros stand before them.
      mantissa = mantissa * integer_powers_of_ten[high_bit / 8] +
                 eight_digit_value(values << (71 - high_bit));
      p += high_bit / 8;
    }
    return static_cast<std::size_t>(p - start);
  }
}

// The first character at or after p that is neither a blank nor a tab, where one is sure
// to come (a line feed) and the seven bytes after it can be read. In a word, the bytes
// that differ from a blank are the non-zero bytes of the word xor blanks.
inline const char* skip_blanks_ahead(const char* p) {
  for (;;) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    std::uint64_t other = v ^ 0x2020202020202020ull;
    if (other == 0) {
      p += 8;
      continue;
    }
    p += static_cast<unsigned>(std::countr_zero(other)) / 8;
    if (*p != '\t') return p;
    ++p;
  }
}

// The first character at or after p that is not a blank, where one is sure to come (a line
// feed) and the seven bytes after it can be read: skip_blanks_ahead for the gap after a
// value, where a tab is so rare that a caller leaves it to a slower path.
inline const char* skip_spaces_ahead(const char* p) {
  for (;;) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    std::uint64_t other = v ^ 0x2020202020202020ull;
    if (other != 0) return p + static_cast<unsigned>(std::countr_zero(other)) / 8;
    p += 8;
  }
}

// The first character at or after p that is neither a blank nor a tab, or end.
inline const char* skip_blanks(const char* p, const char* end) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  constexpr std::uint64_t low7 = 0x7F * ones;
  if (p < end && *p != ' ' && *p != '\t') return p;  // often there is nothing to skip
  while (end - p >= 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    // The high bit of each byte: set where the byte differs from a blank, and from a tab
    // (exact per byte: adding 0x7F to seven bits never carries into the next byte).
    std::uint64_t x = v ^ (0x20 * ones);
    std::uint64_t y = v ^ (0x09 * ones);
    std::uint64_t other = (((x & low7) + low7) | x) & (((y & low7) + low7) | y) & (0x80 * ones);
    if (other != 0) return p + std::countr_zero(other) / 8;
    p += 8;
  }
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  return p;
}

}  // namespace record_io
