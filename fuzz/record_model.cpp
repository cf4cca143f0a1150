#include "record_model.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace model {

namespace {

constexpr const char* end_of_file = "end of file";
constexpr const char* unexpected_character = "read unexpected character";
constexpr const char* incomprehensible = "incomprehensible list input";

constexpr std::size_t title_field = 80;
constexpr std::size_t title_kept = 78;
constexpr std::int64_t max_list_exponent = 99999999;
constexpr std::size_t max_count_digits = 40;
constexpr std::uint64_t count_cap = 1000000;  // far above any statement's length

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_sign(char c) {
  return c == '+' || c == '-';
}
bool is_exponent_letter(char c) {
  return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}
bool is_blank_or_tab(char c) {
  return c == ' ' || c == '\t';
}

float to_single(double d) {
  // Halfway between the largest single and 2^128 already rounds to infinity.
  if (std::fabs(d) >= 0x1.ffffffp127) {
    return d < 0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(d);
}

// --- Header fields ---

// The characters of one fixed-width field, read left to right.
struct Field {
  std::string chars;        // blanks left out
  bool file_ended = false;  // the file ended before the field was complete
};

// Walks the columns of one header record.
class Columns {
 public:
  explicit Columns(const TextFile::Line& line) : line_(line) {}

  // nX: only counts columns. False when the file ends first.
  bool skip(std::size_t n) {
    std::size_t left = line_.text.size() - pos_;
    pos_ += std::min(n, left);
    return n <= left || line_.terminated;
  }
  // A field of w columns, ended early by the line end or by a comma (which it consumes).
  Field field(std::size_t w) {
    Field f;
    for (std::size_t i = 0; i < w; ++i) {
      if (pos_ == line_.text.size()) {
        f.file_ended = !line_.terminated;
        break;
      }
      char c = line_.text[pos_++];
      if (c == ',') break;
      if (c != ' ') f.chars += c;
    }
    return f;
  }

 private:
  const TextFile::Line& line_;
  std::size_t pos_ = 0;
};

enum class FieldCheck { value, bad, incomplete, open };

// Iw: an optional sign first, then digits.
FieldCheck integer_field(std::string_view s, std::int64_t& value) {
  value = 0;
  bool negative = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i == 0 && is_sign(s[i])) {
      negative = s[i] == '-';
    } else if (is_digit(s[i])) {
      value = value * 10 + (s[i] - '0');
    } else {
      return FieldCheck::bad;
    }
  }
  if (negative) value = -value;
  return FieldCheck::value;
}

// Fw.0: [sign] [digits] [. [digits]] [exponent], the exponent being a letter E, D (either
// case) with an optional sign, or a bare sign after the digits, then digits.
FieldCheck real_field(std::string_view s, float& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && is_sign(s[i])) negative = s[i++] == '-';
  std::string digits;
  std::int64_t fraction = 0;
  while (i < s.size() && is_digit(s[i])) digits += s[i++];
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && is_digit(s[i]); ++i) {
      digits += s[i];
      ++fraction;
    }
  }
  std::int64_t exponent = 0;
  if (i < s.size()) {
    bool letter = is_exponent_letter(s[i]);
    if (!letter && !is_sign(s[i])) return FieldCheck::bad;
    // A bare exponent sign must follow digits; after an empty mantissa it is left open.
    if (!letter && digits.empty()) return FieldCheck::open;
    if (letter) ++i;
    bool exponent_negative = false;
    if (i < s.size() && is_sign(s[i])) exponent_negative = s[i++] == '-';
    if (i == s.size()) return FieldCheck::incomplete;
    for (; i < s.size(); ++i) {
      if (!is_digit(s[i])) return FieldCheck::bad;
      exponent = std::min<std::int64_t>(exponent * 10 + (s[i] - '0'), 1'000'000'000'000);
    }
    if (exponent_negative) exponent = -exponent;
  }
  value = decimal_to_single(digits, exponent - fraction, negative);
  return FieldCheck::value;
}

// What a field's characters come to, the file's end included: a bad character and the
// end of the file in one field leave it open which of the two is reported.
Ending settle(FieldCheck check, bool file_ended) {
  if (check == FieldCheck::bad) {
    return file_ended ? Ending::left_open() : Ending::fail("fmt", unexpected_character);
  }
  if (check == FieldCheck::open) return Ending::left_open();
  if (file_ended) return Ending::fail("fmt", end_of_file);
  if (check == FieldCheck::incomplete) return Ending::fail("fmt", unexpected_character);
  return Ending::ok();
}

// --- List items ---

struct Item {
  enum Kind : std::uint8_t {
    number,
    null,
    repeated_number,
    repeated_null,
    invalid,
    bad_exponent,
    bad_count,
    open,
  };
  Kind kind;
  float value = 0;
  std::uint64_t count = 0;
  std::size_t next = 0;  // where the item ends within the line
};

Item scan_value(std::string_view t, std::size_t i, bool terminated) {
  const std::size_t start = i;
  bool negative = false;
  if (i < t.size() && is_sign(t[i])) negative = t[i++] == '-';
  std::string digits;
  std::int64_t fraction = 0;
  bool point = false;
  while (i < t.size() && is_digit(t[i])) digits += t[i++];
  if (i < t.size() && t[i] == '.') {
    point = true;
    for (++i; i < t.size() && is_digit(t[i]); ++i) {
      digits += t[i];
      ++fraction;
    }
  }
  if (digits.empty()) {
    if (i == start) return {Item::invalid};
    if (i == t.size() && !terminated) return {Item::open};  // a lone sign at the file's end
    if (i < t.size() && (t[i] == ',' || t[i] == '/')) {
      // A lone sign or a lone point is a null; a sign with a point is left open.
      return {point && i - start == 2 ? Item::open : Item::null, 0, 0, i};
    }
    return {Item::invalid};
  }
  std::int64_t exponent = 0;
  if (i < t.size() && (is_exponent_letter(t[i]) || is_sign(t[i]))) {
    if (!is_sign(t[i])) ++i;
    bool exponent_negative = false;
    if (i < t.size() && is_sign(t[i])) exponent_negative = t[i++] == '-';
    if (i == t.size() || !is_digit(t[i])) return {Item::bad_exponent};
    for (; i < t.size() && is_digit(t[i]); ++i) {
      exponent = exponent * 10 + (t[i] - '0');
      if (exponent > max_list_exponent) return {Item::bad_exponent};
    }
    if (exponent_negative) exponent = -exponent;
  }
  return {Item::number, decimal_to_single(digits, exponent - fraction, negative), 0, i};
}

// An item: a value, or r*c / r* with a repetition count r.
Item scan_item(std::string_view t, std::size_t i, bool terminated) {
  std::size_t q = i;
  if (q < t.size() && is_sign(t[q])) ++q;
  const std::size_t count_begin = q;
  while (q < t.size() && is_digit(t[q])) ++q;
  if (q == t.size() || t[q] != '*') return scan_value(t, i, terminated);
  if (q == count_begin) return {Item::open};  // "*" with no digits before it
  if (t[i] == '-') return {Item::bad_count};
  std::size_t first = count_begin;
  while (first < q && t[first] == '0') ++first;
  if (first == q || q - first > max_count_digits) return {Item::bad_count};
  std::uint64_t count = 0;
  for (std::size_t d = first; d < q; ++d) {
    count = std::min(count * 10 + static_cast<unsigned>(t[d] - '0'), count_cap);
  }
  const std::size_t after = q + 1;
  if (after == t.size()) {
    return terminated ? Item{Item::repeated_null, 0, count, after} : Item{Item::open};
  }
  char c = t[after];
  if (c == ' ' || c == '\t' || c == ',' || c == '/') {
    return {Item::repeated_null, 0, count, after};
  }
  Item v = scan_value(t, after, terminated);
  if (v.kind == Item::number) return {Item::repeated_number, v.value, count, v.next};
  if (v.kind == Item::null) return {Item::open};
  return v;
}

}  // namespace

TextFile::Line TextFile::line_at(std::size_t from) const {
  std::size_t lf = bytes_.find('\n', from);
  if (lf == std::string_view::npos) return {bytes_.substr(from), false, bytes_.size()};
  std::size_t end = lf;
  if (end > from && bytes_[end - 1] == '\r') --end;
  return {bytes_.substr(from, end - from), true, lf + 1};
}

void TextFile::finish_record(const Line& line) {
  pos_ = line.next;
  if (!line.terminated) at_end_ = true;
}

float decimal_to_single(std::string_view digits, std::int64_t exponent, bool negative) {
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return 0.0f;
  std::string_view significant = digits.substr(first);
  if (significant.size() > max_count_digits) {
    exponent += static_cast<std::int64_t>(significant.size() - max_count_digits);
    significant = significant.substr(0, max_count_digits);
  }
  char text[96];
  std::snprintf(text, sizeof text, "%.*se%lld", static_cast<int>(significant.size()),
                significant.data(), static_cast<long long>(exponent));
  double d = std::strtod(text, nullptr);
  return to_single(negative ? -d : d);
}

std::string real_item(float v) {
  std::string s = " ";
  s += std::signbit(v) && v != 0 ? '-' : ' ';
  if (v == 0) return s + "0.";
  char text[40];
  std::snprintf(text, sizeof text, "%.9G", std::fabs(static_cast<double>(v)));
  std::string m = text;
  if (std::isfinite(v) && m.find('.') == std::string::npos) {
    std::size_t e = std::min(m.find('E'), m.size());
    m = m.substr(0, e) + "." + m.substr(e);
  }
  return s + m;
}

Ending read_title(TextFile& file, std::string& title) {
  if (file.at_end()) return Ending::fail("read start", end_of_file);
  TextFile::Line line = file.line_at(file.position());
  if (!line.terminated && line.text.size() < title_field) {
    return Ending::fail("fmt", end_of_file);
  }
  std::string field(line.text.substr(0, title_field));
  field.resize(title_field, ' ');
  title = field.substr(title_field - title_kept);
  file.finish_record(line);
  return Ending::ok();
}

Ending read_header(TextFile& file, std::int32_t& nt, float& dt) {
  if (file.at_end()) return Ending::fail("read start", end_of_file);
  TextFile::Line line = file.line_at(file.position());
  Columns columns(line);
  if (!columns.skip(5)) return Ending::fail("fmt", end_of_file);
  Field points = columns.field(6);
  std::int64_t count = 0;
  Ending e = settle(integer_field(points.chars, count), points.file_ended);
  if (e.kind != Ending::completed) return e;
  nt = static_cast<std::int32_t>(count);
  if (!columns.skip(5)) return Ending::fail("fmt", end_of_file);
  Field step = columns.field(7);
  float value = 0;
  e = settle(real_field(step.chars, value), step.file_ended);
  if (e.kind != Ending::completed) return e;
  dt = value;
  file.finish_record(line);
  return Ending::ok();
}

Ending read_list(TextFile& file, float* v, std::size_t n) {
  if (file.at_end()) return Ending::fail("read start", end_of_file);
  TextFile::Line line = file.line_at(file.position());
  std::size_t i = 0;
  auto skip_separator = [&] {
    while (i < line.text.size() && is_blank_or_tab(line.text[i])) ++i;
    if (i < line.text.size() && line.text[i] == ',') ++i;
  };
  std::size_t k = 0;
  while (k < n) {
    for (;;) {  // seek the next item across blanks, tabs and line ends
      while (i < line.text.size() && is_blank_or_tab(line.text[i])) ++i;
      if (i < line.text.size()) break;
      if (!line.terminated) return Ending::fail("list in", end_of_file);
      line = file.line_at(line.next);
      i = 0;
    }
    char c = line.text[i];
    if (c == ',') {
      ++i;
      ++k;
      continue;
    }
    if (c == '/') break;
    Item item = scan_item(line.text, i, line.terminated);
    switch (item.kind) {
      case Item::number:
        v[k++] = item.value;
        i = item.next;
        skip_separator();
        break;
      case Item::null:
        ++k;
        i = item.next;
        skip_separator();
        break;
      case Item::repeated_number:
      case Item::repeated_null: {
        i = item.next;
        std::uint64_t left = item.count;
        for (; left > 0 && k < n; --left, ++k) {
          if (item.kind == Item::repeated_number) v[k] = item.value;
        }
        if (left == 0) skip_separator();
        break;
      }
      case Item::invalid:
        return Ending::fail("invalid number", incomprehensible);
      case Item::bad_exponent:
        return Ending::fail("exponent field", incomprehensible);
      case Item::bad_count:
        return Ending::fail("bad repetition count", incomprehensible);
      case Item::open:
        return Ending::left_open();
    }
  }
  file.finish_record(line);
  return Ending::ok();
}

std::size_t statement_length(std::int32_t nt, std::size_t at) {
  const auto n = static_cast<std::int64_t>(nt);
  const auto i = static_cast<std::int64_t>(at);
  return i < n ? static_cast<std::size_t>(std::min<std::int64_t>(5, n - i)) : 0;
}

Component read_component(std::string_view bytes, float fill) {
  Component c;
  TextFile file(bytes);
  for (std::string* title : {&c.line1, &c.line2, &c.line3}) {
    c.ending = read_title(file, *title);
    if (c.ending.kind != Ending::completed) return c;
    ++c.titles_read;
  }
  c.ending = read_header(file, c.nt, c.dt);
  if (c.ending.kind != Ending::completed) return c;
  c.header_read = true;
  // The array grows with the statements (a large count in a short file fails early),
  // and takes its full length when the reading completes.
  std::size_t at = 0;
  for (std::size_t n; (n = statement_length(c.nt, at)) > 0; at += n) {
    c.samples.resize(at + n, fill);
    c.ending = read_list(file, c.samples.data() + at, n);
    if (c.ending.kind != Ending::completed) return c;
  }
  c.samples.resize(static_cast<std::size_t>(std::max(c.nt, 0)), fill);
  return c;
}

}  // namespace model
