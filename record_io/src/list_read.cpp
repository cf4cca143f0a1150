#include "record_io/list_read.hpp"

#include <array>
#include <bit>
#include <cstring>

#include "decimal.hpp"
#include "digits.hpp"
#include "runtime_core.hpp"

namespace record_io {

namespace {

constexpr std::int64_t max_exponent = 99999999;
constexpr std::uint64_t count_limit = std::uint64_t{1} << 40;

bool is_sign(char c) {
  return c == '+' || c == '-';
}

// The exact value of a mantissa with more than 19 significant digits in [begin, end).
DecimalDigits long_mantissa(const char* begin, const char* end) {
  DecimalDigits digits;
  bool fraction = false;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      fraction = true;
    } else if (fraction) {
      digits.fraction_digit(*p);
    } else {
      digits.integer_digit(*p);
    }
  }
  return digits;
}

// The mantissa of a value: [sign] digits [. digits], as an integer and a power of ten
// while it has at most 19 significant digits.
struct Mantissa {
  const char* begin;        // after the sign
  const char* end;          // after the last digit (or the point)
  const char* integer_end;  // after the digits before the point
  std::uint64_t value;
  std::int64_t scale;
  std::size_t significant;
  bool negative;
  bool point;
  bool any_digit;
};

[[gnu::always_inline]] inline Mantissa scan_mantissa(const char* p, const char* end) {
  Mantissa m{};
  if (p < end) {  // the sign without a branch: the data decides it at random
    m.negative = *p == '-';
    p += static_cast<int>(m.negative | (*p == '+'));
  }
  m.begin = p;
  while (p < end && *p == '0') ++p;
  m.significant = take_digits(p, end, m.value);
  m.integer_end = p;
  m.point = p < end && *p == '.';
  if (m.point) {
    ++p;
    if (m.significant == 0) {
      const char* zeros = p;
      while (p < end && *p == '0') ++p;
      m.scale -= p - zeros;
    }
    std::size_t fraction = take_digits(p, end, m.value);
    m.significant += fraction;
    m.scale -= static_cast<std::int64_t>(fraction);
  }
  m.end = p;
  m.any_digit = p - m.begin > (m.point ? 1 : 0);
  return m;
}

// The value whose mantissa is m: its exponent, if any, and the conversion. A mantissa
// without digits is a lone sign or point: a null before a comma or slash.
[[gnu::always_inline]] inline ListScan finish_value(const char* start, const Mantissa& m,
                                                    const char* end) {
  const char* p = m.end;
  if (!m.any_digit) {
    bool lone = p != start && p < end && (*p == ',' || *p == '/');
    return {lone ? ListScan::null : ListScan::invalid_number, 0, 0, p};
  }
  std::int64_t exponent = 0;
  if (p < end && (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D' || is_sign(*p))) {
    bool exponent_negative = false;
    if (!is_sign(*p)) ++p;
    if (p < end && is_sign(*p)) exponent_negative = *p++ == '-';
    if (p == end || !is_digit(*p)) return {ListScan::bad_exponent, 0, 0, p};
    for (; p < end && is_digit(*p); ++p) {
      exponent = exponent * 10 + (*p - '0');
      if (exponent > max_exponent) return {ListScan::bad_exponent, 0, 0, p};
    }
    if (exponent_negative) exponent = -exponent;
  }
  float value = 0.0f;
  if (m.significant > 19) {
    DecimalDigits digits = long_mantissa(m.begin, m.end);
    digits.scale(exponent);
    value = digits.to_single(m.negative);
  } else {
    value = decimal_to_single(m.value, m.scale + exponent, m.negative);
  }
  return {ListScan::number, value, 0, p};
}

// A value read at p in whole lines: it cannot run past the line feed that ends them, and
// the bytes after that can be read (see take_digits_ahead).
struct PlainValue {
  float value;
  const char* end;
};

// The usual exponent at p, a letter, a sign and two digits not followed by a third, tested
// as one word: with 0x20 set in its first byte (E and D become e and d) and less 'd', '+',
// '0' and '0', its bytes must be 0 or 1, 0 or 2, and two digit values. A byte below its low
// end borrows from the next, but then its own test fails. True with its magnitude in
// *value and its sign in *negative.
[[gnu::always_inline]] inline bool usual_exponent(const char* p, unsigned* value, bool* negative) {
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  std::uint32_t x = (word | 0x20) - 0x30302B64;
  if (((x & 0xFDFE) | (((x + 0x76760000) | x) & 0x80800000)) == 0 && digit_value(p[4]) > 9) {
    // The two digit values d1 + 256 d2, times 256 * 10 + 1: 10 d1 + d2 in the second byte.
    *value = ((x >> 16) * 0xA01u >> 8) & 0xFF;
    *negative = (x & 0x200) != 0;  // bit 9: '-' less '+'
    return true;
  }
  return false;
}

// The mantissa, below 10^9, over 10^k (k at most 22), with its sign: both are exact doubles,
// so the division rounds correctly, then the conversion to single precision.
[[gnu::always_inline]] inline float signed_quotient(std::uint64_t mantissa, bool negative,
                                                    unsigned k) {
  auto m = static_cast<std::int64_t>(mantissa);
  std::int64_t minus = -static_cast<std::int64_t>(negative);  // no branch: -0 is +0.0
  return static_cast<float>(static_cast<double>((m ^ minus) - minus) / exact_powers_of_ten[k]);
}

// At twice the two digit characters of an exponent less "00" (the first in the low byte),
// plus one for a minus: the power of ten a seven-digit mantissa is divided by, 10^(7 -+ the
// exponent), where it is an exact double; 0xFF for any other pair of bytes or power.
constexpr std::uint32_t field_powers_size = 0x0909 + 1;
constexpr auto field_powers = [] {
  std::array<std::uint8_t, 2 * field_powers_size> t{};
  for (std::uint8_t& k : t) k = 0xFF;
  for (int minus = 0; minus < 2; ++minus) {
    for (int d1 = 0; d1 < 10; ++d1) {
      for (int d2 = 0; d2 < 10; ++d2) {
        int k = minus ? 7 + (10 * d1 + d2) : 7 - (10 * d1 + d2);
        if (k >= 0 && k <= 22) {
          t[2 * static_cast<std::size_t>(d1 + 256 * d2) + static_cast<std::size_t>(minus)] =
              static_cast<std::uint8_t>(k);
        }
      }
    }
  }
  return t;
}();

// The records' own field from its point on: a point, seven digits and an exponent of a
// letter, a sign and two digits (.1234567E-02), as one word of the point and the digits and
// one of the exponent. The point less '.' and the digits less '0' are eight digit values,
// the point's a leading zero; the value is the seven-digit mantissa over 10^(7 -+ exponent),
// the same quotient record_value divides, with the sign `negative`. At point in whole lines;
// stores the value at *out and returns where it ends, or nullptr for any other shape (and
// then stores nothing). A third exponent digit is refused unless the caller tests the byte
// after the field itself (`ends_checked`).
template <bool ends_checked = false>
[[gnu::always_inline]] inline const char* record_field_at(const char* point, bool negative,
                                                          float* out) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  std::uint64_t word;
  std::memcpy(&word, point, 8);
  std::uint64_t values = word - (0x30 * ones - 0x30 + '.');
  std::uint64_t other = ((values + 0x76 * ones) | values) & (0x80 * ones);
  if (other != 0 || (values & 0xFF) != 0) return nullptr;
  // The exponent: a letter and a sign tested as in usual_exponent, then the two digits
  // and the sign give the power of ten from a table.
  std::uint32_t exponent;
  std::memcpy(&exponent, point + 8, 4);
  std::uint32_t x = (exponent | 0x20) - 0x2B64;
  std::uint32_t digits = (exponent >> 16) - 0x3030;
  if ((x & 0xFDFE) != 0 || digits >= field_powers_size ||
      (!ends_checked && digit_value(point[12]) <= 9)) {
    return nullptr;
  }
  unsigned k = field_powers[2 * digits + (x >> 9 & 1)];
  if (k > 22) return nullptr;
  *out = signed_quotient(eight_digit_value(values), negative, k);
  return point + 12;
}

// The records' own field with its sign, a minus or none (-.1234567E-02), at p.
template <bool ends_checked = false>
[[gnu::always_inline]] inline const char* record_field_value(const char* p, float* out) {
  bool negative = *p == '-';
  return record_field_at<ends_checked>(p + static_cast<int>(negative), negative, out);
}

// Where one of the records' fields ends, the start of the next in their layout: two blanks
// and a blank or a minus before its point. True with the sign in *negative.
[[gnu::always_inline]] inline bool record_field_follows(const char* end, bool* negative) {
  std::uint32_t lead;
  std::memcpy(&lead, end, 4);
  std::uint32_t minus = lead - 0x2E202020u;  // "   ." less itself; "  -." leaves 0x0D0000
  *negative = minus != 0;
  return minus == 0 || minus == 0x000D0000u;
}

// A line of the records' layout: five of their fields 15 columns apart, each after two
// blanks and a blank or a minus ("  -.1234567E-02   .7654321E+01 ..."). At p, the first
// field's sign or point (where plain_values' loop begins), the five values are read as the
// loop reads them, in a straight line: the blanks before each later field are those the
// loop skips (and, being blanks, end the field before them), and each field is one
// record_field_value takes. Returns the end of the fifth field, or nullptr where the line
// leaves the layout; the values before that point may have been stored, and the loop then
// stores the same ones again.
[[gnu::always_inline]] inline const char* five_record_fields(const char* p, float* v) {
  const char* end = record_field_value<true>(p, v);
  bool negative = false;
  for (int f = 1; f < 4; ++f) {
    if (end == nullptr || !record_field_follows(end, &negative)) return nullptr;
    end = record_field_at<true>(end + 3, negative, v + f);
  }
  if (end == nullptr || !record_field_follows(end, &negative)) return nullptr;
  return record_field_at(end + 3, negative, v + 4);
}

// The shape of the records' values, read in a straight line of word operations:
// [sign] [digit] . digits, with 1 to 7 digits after the point (or a digit and a point
// alone), then a letter, a sign and two digits (E-02, d+11), or nothing that could start
// an exponent. The 8 bytes after the point are taken as one word: its first n bytes are
// the digits, those after them are cleared, so that they give the digits times 10^(8 - n).
// At p in whole lines; stores the value at *out and returns where it ends, or nullptr for
// any other shape (and then stores nothing), which plain_value then reads.
[[gnu::always_inline]] inline const char* record_value(const char* p, float* out) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  char c = *p;
  bool negative = c == '-';
  p += static_cast<int>(negative | (c == '+'));
  unsigned lead = digit_value(*p);
  bool has_lead = lead <= 9;
  const char* point = p + static_cast<int>(has_lead);
  if (*point != '.') return nullptr;
  std::uint64_t word;
  std::memcpy(&word, point + 1, 8);
  // As in take_digits_ahead: the first byte that is not a digit has its high bit set as it
  // is or with 0x76 added; what its borrow or carry does to later bytes does not matter.
  std::uint64_t values = word - 0x30 * ones;
  std::uint64_t other = ((values + 0x76 * ones) | values) & (0x80 * ones);
  auto high_bit = static_cast<unsigned>(std::countr_zero(other));  // 8n + 7 for n digits
  // Eight digits or more, or a point without a digit before or after it.
  if (other == 0 || (high_bit < 8 && !has_lead)) return nullptr;
  std::uint64_t digits = values & ((std::uint64_t{1} << (high_bit & 56)) - 1);
  std::uint64_t mantissa =
      (has_lead ? lead : 0) * std::uint64_t{100000000} + eight_digit_value(digits);
  const char* end = point + 1 + high_bit / 8;
  // value = mantissa / 10^k: 10^-8 with no exponent.
  unsigned k = 8;
  unsigned exponent = 0;
  bool exponent_negative = false;
  if (usual_exponent(end, &exponent, &exponent_negative)) {
    k = exponent_negative ? 8 + exponent : 8 - exponent;
    end += 4;
  } else if (static_cast<unsigned char>((*end | 0x20) - 'd') <= 1 || is_sign(*end)) {
    return nullptr;  // an exponent of another form
  }
  if (k > 22) return nullptr;  // a negative k wraps
  *out = signed_quotient(mantissa, negative, k);
  return end;
}

// Any other value of the common shape, [sign] digits [. digits] [exponent] with 1 to 15
// digits and an exponent of 1 to 4 digits, read at p in whole lines; the value and where it
// ends, or a null end for anything else, which the line scanner then reads (or reports).
// Like record_value, the same value as scan_item reads: the digits and power of ten it
// converts are the same.
[[gnu::noinline]] PlainValue plain_value(const char* p) {
  bool negative = *p == '-';
  p += static_cast<int>(negative | (*p == '+'));
  const char* first = p;
  std::uint64_t mantissa = 0;
  if (*p != '.') {  // the whole digits
    take_digits_ahead(p, mantissa);
    if (*p == '*') return {0, nullptr};  // a repetition count
  }
  std::ptrdiff_t digits = p - first;
  std::int64_t scale = 0;
  if (*p == '.') {
    const char* fraction = ++p;
    take_digits_ahead(p, mantissa);
    scale = fraction - p;
    digits -= scale;
  }
  // None, or more than the 15 that are always below 2^53.
  if (static_cast<std::size_t>(digits - 1) >= 15) return {0, nullptr};
  unsigned exponent = 0;
  bool exponent_negative = false;
  if (usual_exponent(p, &exponent, &exponent_negative)) {
    scale += exponent_negative ? -std::int64_t{exponent} : std::int64_t{exponent};
    return {short_decimal_to_single(mantissa, scale, negative), p + 4};
  }
  // Any other exponent: e, E, d or D and an optional sign, or a sign alone, then digits.
  char c = *p;
  bool letter = static_cast<unsigned char>((c | 0x20) - 'd') <= 1;
  if (letter || is_sign(c)) {
    if (letter) c = *++p;
    exponent_negative = c == '-';
    p += static_cast<int>(is_sign(c));
    exponent = digit_value(*p);
    if (exponent > 9) return {0, nullptr};
    for (unsigned next = digit_value(*++p); next <= 9; next = digit_value(*++p)) {
      exponent = exponent * 10 + next;
      if (exponent > 9999) return {0, nullptr};
    }
    scale += exponent_negative ? -std::int64_t{exponent} : std::int64_t{exponent};
  }
  return {short_decimal_to_single(mantissa, scale, negative), p};
}

[[gnu::always_inline]] inline ListScan scan_item(const char* p, const char* end, bool line_end) {
  Mantissa m = scan_mantissa(p, end);
  const char* star = m.integer_end;
  if (m.point || star == end || *star != '*') return finish_value(p, m, end);

  // A repetition count: [sign] digits directly before "*".
  const char* first = m.begin;
  while (first < star && *first == '0') ++first;
  if (*p == '-' || first == star || star - first > 40) {
    return {ListScan::bad_repetition_count, 0, 0, star};
  }
  std::uint64_t count = 0;
  for (const char* d = first; d < star && count < count_limit; ++d) {
    count = count * 10 + static_cast<unsigned>(*d - '0');
  }
  const char* after = star + 1;
  if (after == end) {
    return {line_end ? ListScan::repeated_null : ListScan::invalid_number, 0, count, after};
  }
  if (*after == ' ' || *after == '\t' || *after == ',' || *after == '/') {
    return {ListScan::repeated_null, 0, count, after};
  }
  ListScan s = finish_value(after, scan_mantissa(after, end), end);
  if (s.kind == ListScan::number) s.kind = ListScan::repeated_number;
  if (s.kind == ListScan::null) s.kind = ListScan::repeated_null;
  s.count = count;
  return s;
}

}  // namespace

ListScan scan_list_item(const char* p, const char* end, bool line_end) {
  return scan_item(p, end, line_end);
}

ListRead::Start ListRead::start(Runtime& io, int unit) {
  RuntimeCore& core = io.core();
  Unit& u = core.begin_statement(unit, true, nullptr);
  TextReader& reader = core.reader(u);
  core.remember_quick_read(unit, u, reader);
  return {&core, &u, &reader};
}

void ListRead::read_by_lines() {
  reader_.consume_to(pos_);
  line_ = reader_.line();
  pos_ = line_.begin;
  limit_ = nullptr;
  repeat_left_ = 0;
  repeat_value_ = 0;
  repeat_has_value_ = false;
  slash_ = false;
}

std::size_t ListRead::plain_values(float* v, std::size_t n) {
  // pos_ < limit_, and limit_[-1] is a line feed: no scan below passes it.
  const char* p = skip_blanks_ahead(pos_);
  if (separator_pending_ && *p == ',') p = skip_blanks_ahead(p + 1);
  separator_pending_ = false;
  if (n == 5) {  // usually one line of the records' layout
    if (const char* end = five_record_fields(p, v)) {
      pos_ = end;
      separator_pending_ = true;
      return n;
    }
  }
  std::size_t k = 0;
  while (k != n) {
    if (static_cast<unsigned char>(*p) <= '\r') {  // a line end, or no item
      if (*p == '\n') {
        ++p;
      } else if (*p == '\r' && p[1] == '\n') {
        p += 2;
      } else {
        // A tab here stops the blanks after a value: the line scanner skips the rest of
        // its separator.
        separator_pending_ = *p == '\t';
        break;
      }
      if (p == limit_) break;
      p = skip_blanks_ahead(p);
      continue;
    }
    const char* end = record_field_value(p, v + k);
    if (!end) end = record_value(p, v + k);
    if (!end) {
      PlainValue value = plain_value(p);
      if (!value.end) break;
      v[k] = value.value;
      end = value.end;
    }
    if (++k == n) {  // often the statement's last value: its line is done with
      p = end;
      separator_pending_ = true;
      break;
    }
    // The separator, blanks and tabs with at most one comma, and the blanks to the next item
    // (a tab after blanks stops the scan, and then the line scanner reads on).
    p = skip_spaces_ahead(end);
    if (*p == ',') p = skip_blanks_ahead(p + 1);
  }
  pos_ = p;
  return k;
}

void ListRead::input_ended() {
  io_.input_ended(unit_, "list in");
}

bool ListRead::next_piece() {
  if (!reader_.next_piece(line_)) return false;
  pos_ = line_.begin;
  return true;
}

void ListRead::skip_separator() {
  do {
    pos_ = skip_blanks(pos_, line_.end);
  } while (pos_ == line_.end && next_piece());
  if (pos_ < line_.end && *pos_ == ',') ++pos_;
}

ListScan ListRead::scan_whole_item() {
  ListScan s = scan_item(pos_, line_.end, line_.terminated);
  // An item that runs to the end of a piece of a long line may go on in the next piece:
  // it is scanned again from the start of a piece.
  if (s.next != line_.end || !line_.more) return s;
  if (pos_ != line_.begin) {
    reader_.consume_to(pos_);
    line_ = reader_.line();
    pos_ = line_.begin;
    s = scan_item(pos_, line_.end, line_.terminated);
    if (s.next != line_.end || !line_.more) return s;
  }
  // An item longer than the buffer: no number is written so.
  return {ListScan::invalid_number, 0, 0, pos_};
}

void ListRead::reals_by_lines(float* v, std::size_t n, std::size_t k) {
  if (limit_) read_by_lines();
  if (separator_pending_) {
    skip_separator();
    separator_pending_ = false;
  }
  for (; k < n && !slash_; ++k) {
    if (repeat_left_ == 0) {
      // Seek the next item across blanks, tabs and line ends.
      for (;;) {
        pos_ = skip_blanks(pos_, line_.end);
        if (pos_ < line_.end) break;
        if (next_piece()) continue;
        if (!line_.terminated) input_ended();
        reader_.consume_to(pos_);
        reader_.skip_line();
        line_ = reader_.line();
        pos_ = line_.begin;
      }
      if (*pos_ == ',') {
        ++pos_;
        continue;
      }
      if (*pos_ == '/') {
        ++pos_;
        slash_ = true;
        break;
      }
      ListScan s = scan_whole_item();
      pos_ = s.next;
      switch (s.kind) {
        case ListScan::number:
          v[k] = s.value;
          skip_separator();
          continue;
        case ListScan::null:
          skip_separator();
          continue;
        case ListScan::repeated_number:
        case ListScan::repeated_null:
          repeat_left_ = s.count;
          repeat_value_ = s.value;
          repeat_has_value_ = s.kind == ListScan::repeated_number;
          break;
        case ListScan::invalid_number:
          io_.fail(incomprehensible_list_input, "invalid number");
        case ListScan::bad_exponent:
          io_.fail(incomprehensible_list_input, "exponent field");
        case ListScan::bad_repetition_count:
          io_.fail(incomprehensible_list_input, "bad repetition count");
      }
    }
    if (repeat_has_value_) v[k] = repeat_value_;
    if (--repeat_left_ == 0) skip_separator();
  }
}

void ListRead::end_line() {
  if (limit_) {
    // The rest of the line, in whole lines: its line feed comes before limit_.
    const auto* lf =
        static_cast<const char*>(std::memchr(pos_, '\n', static_cast<std::size_t>(limit_ - pos_)));
    reader_.consume_to(lf + 1);
    return;
  }
  reader_.consume_to(pos_);
  if (!reader_.skip_line()) io_.reached_end(unit_, "list in");
}

}  // namespace record_io
