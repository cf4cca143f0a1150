#include "record_io/list_read.hpp"

#include "record_io/decimal.hpp"

namespace record_io {

namespace {

constexpr std::int64_t max_exponent = 99999999;
constexpr std::uint64_t count_limit = std::uint64_t{1} << 40;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_sign(char c) {
  return c == '+' || c == '-';
}

// A value (or a lone sign or point before a comma or slash) at p.
ListScan scan_value(const char* p, const char* end) {
  const char* start = p;
  bool negative = false;
  if (p < end && is_sign(*p)) negative = *p++ == '-';
  DecimalDigits digits;
  bool any_digit = false;
  for (; p < end && is_digit(*p); ++p) {
    digits.integer_digit(*p);
    any_digit = true;
  }
  if (p < end && *p == '.') {
    for (++p; p < end && is_digit(*p); ++p) {
      digits.fraction_digit(*p);
      any_digit = true;
    }
  }
  if (!any_digit) {
    bool lone = p != start && p < end && (*p == ',' || *p == '/');
    return {lone ? ListScan::null : ListScan::invalid_number, 0, 0, p};
  }
  if (p < end && (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D' || is_sign(*p))) {
    bool exponent_negative = false;
    if (!is_sign(*p)) ++p;
    if (p < end && is_sign(*p)) exponent_negative = *p++ == '-';
    if (p == end || !is_digit(*p)) return {ListScan::bad_exponent, 0, 0, p};
    std::int64_t exponent = 0;
    for (; p < end && is_digit(*p); ++p) {
      exponent = exponent * 10 + (*p - '0');
      if (exponent > max_exponent) return {ListScan::bad_exponent, 0, 0, p};
    }
    digits.scale(exponent_negative ? -exponent : exponent);
  }
  return {ListScan::number, digits.to_single(negative), 0, p};
}

}  // namespace

ListScan scan_list_item(const char* p, const char* end, bool line_end) {
  // A repetition count is [sign] digits directly before "*".
  const char* q = p;
  if (q < end && is_sign(*q)) ++q;
  const char* digits = q;
  while (q < end && is_digit(*q)) ++q;
  if (q == end || *q != '*') return scan_value(p, end);

  const char* first = digits;
  while (first < q && *first == '0') ++first;
  if (*p == '-' || first == q || q - first > 40) {
    return {ListScan::bad_repetition_count, 0, 0, q};
  }
  std::uint64_t count = 0;
  for (const char* d = first; d < q && count < count_limit; ++d) {
    count = count * 10 + static_cast<unsigned>(*d - '0');
  }
  const char* after = q + 1;
  if (after == end) {
    return {line_end ? ListScan::repeated_null : ListScan::invalid_number, 0, count, after};
  }
  if (*after == ' ' || *after == '\t' || *after == ',' || *after == '/') {
    return {ListScan::repeated_null, 0, count, after};
  }
  ListScan s = scan_value(after, end);
  if (s.kind == ListScan::number) s.kind = ListScan::repeated_number;
  if (s.kind == ListScan::null) s.kind = ListScan::repeated_null;
  s.count = count;
  return s;
}

ListRead::ListRead(Runtime& io, int unit)
    : io_(io),
      unit_(io.begin_statement(unit, true, nullptr)),
      reader_(io.reader(unit_)),
      line_(reader_.line()),
      pos_(line_.begin) {}

void ListRead::input_ended() {
  if (reader_.error() != 0) io_.fail(reader_.error(), "list in");
  unit_.at_end = true;
  io_.fail(end_of_file, "list in");
}

void ListRead::skip_separator() {
  while (pos_ < line_.end && (*pos_ == ' ' || *pos_ == '\t')) ++pos_;
  if (pos_ < line_.end && *pos_ == ',') ++pos_;
}

ListRead& ListRead::reals(float* v, std::size_t n) {
  for (std::size_t k = 0; k < n && !slash_; ++k) {
    if (repeat_left_ == 0) {
      // Seek the next item across blanks, tabs and line ends.
      for (;;) {
        while (pos_ < line_.end && (*pos_ == ' ' || *pos_ == '\t')) ++pos_;
        if (pos_ < line_.end) break;
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
      ListScan s = scan_list_item(pos_, line_.end, line_.terminated);
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
  return *this;
}

void ListRead::end() {
  reader_.consume_to(pos_);
  if (!reader_.skip_line()) {
    if (reader_.error() != 0) io_.fail(reader_.error(), "list in");
    unit_.at_end = true;
  }
}

}  // namespace record_io
