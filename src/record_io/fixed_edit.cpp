#include "record_io/fixed_edit.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace record_io {

namespace {

constexpr std::uint64_t powers_of_ten[] = {1ull,
                                           10ull,
                                           100ull,
                                           1000ull,
                                           10000ull,
                                           100000ull,
                                           1000000ull,
                                           10000000ull,
                                           100000000ull,
                                           1000000000ull,
                                           10000000000ull,
                                           100000000000ull,
                                           1000000000000ull,
                                           10000000000000ull,
                                           100000000000000ull,
                                           1000000000000000ull,
                                           10000000000000000ull,
                                           100000000000000000ull,
                                           1000000000000000000ull,
                                           10000000000000000000ull};

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

// The exact value rounded to d decimals, for |v| < 2^31 and d <= 9: true and the
// magnitude scaled by 10^d in *scaled, or false when v is outside that range.
bool scaled_magnitude(float v, int d, std::uint64_t* scaled) {
  auto bits = std::bit_cast<std::uint32_t>(v);
  unsigned biased = (bits >> 23) & 0xffu;
  std::uint64_t m = bits & 0x7fffffu;
  int e = -149;  // |v| = m * 2^e
  if (biased != 0) {
    m |= 0x800000u;
    e = static_cast<int>(biased) - 150;
  }
  if (biased == 0xffu || e > 7 || d < 0 || d > 9) return false;
  std::uint64_t n = m * powers_of_ten[d];  // below 2^54
  if (e >= 0) {
    *scaled = n << e;
    return true;
  }
  int shift = -e;
  if (shift >= 64) {
    *scaled = 0;
    return true;
  }
  std::uint64_t q = n >> shift;
  std::uint64_t rest = n & ((std::uint64_t{1} << shift) - 1);
  std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  *scaled = q;
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
  if (!scaled_magnitude(v, d, &q)) return edit_fixed_general(out, v, w, d);
  bool minus = std::signbit(v) && q != 0;
  // Right to left: the decimals, the point, the whole digits, the sign, the blanks. The
  // decimals and the point always fit when "0." and the decimals do.
  char* p = out + w;
  if (w >= d + 2) {
    for (int i = 0; i < d; ++i) {
      *--p = static_cast<char>('0' + q % 10);
      q /= 10;
    }
    *--p = '.';
    do {
      *--p = static_cast<char>('0' + q % 10);
      q /= 10;
    } while (q != 0 && p > out);
    if (minus && q == 0 && p > out) {
      *--p = '-';
      minus = false;
    }
  }
  if (q != 0 || minus || p == out + w) {  // it does not fit
    std::memset(out, '*', static_cast<std::size_t>(w));
    return out + w;
  }
  while (p > out) *--p = ' ';
  return out + w;
}

void append_fixed(std::string& record, float v, int w, int d) {
  std::size_t at = record.size();
  record.resize(at + static_cast<std::size_t>(w));
  edit_fixed(record.data() + at, v, w, d);
}

}  // namespace record_io
