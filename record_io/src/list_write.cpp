#include "record_io/list_write.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include "real_item.hpp"
#include "runtime_core.hpp"

namespace record_io {

namespace {

constexpr std::size_t record_length = 80;
constexpr int significant_digits = 9;

// Drops trailing zeros after a decimal point, and the point when nothing follows it.
char* trim_fraction(char* begin, char* end) {
  if (!std::memchr(begin, '.', static_cast<std::size_t>(end - begin))) return end;
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  return end;
}

// Adds a decimal point at `at` (shifting the rest) when [begin, end) has none.
char* ensure_point(char* begin, char* at, char* end) {
  if (std::memchr(begin, '.', static_cast<std::size_t>(end - begin))) return end;
  std::memmove(at + 1, at, static_cast<std::size_t>(end - at));
  *at = '.';
  return end + 1;
}

}  // namespace

std::size_t real_item_text(float v, char* out) {
  char* p = out;
  *p++ = ' ';
  *p++ = std::signbit(v) && v != 0 ? '-' : ' ';
  double magnitude = std::fabs(static_cast<double>(v));
  if (magnitude == 0) {
    std::memcpy(p, "0.", 2);
    return static_cast<std::size_t>(p + 2 - out);
  }
  if (!std::isfinite(magnitude)) {
    std::memcpy(p, std::isinf(magnitude) ? "INF" : "NAN", 3);
    return static_cast<std::size_t>(p + 3 - out);
  }
  // The decimal exponent after rounding to 9 significant digits decides the form.
  char sci[32];
  auto sci_end = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific,
                               significant_digits - 1)
                     .ptr;
  char* e = static_cast<char*>(std::memchr(sci, 'e', static_cast<std::size_t>(sci_end - sci)));
  int exponent = 0;
  std::from_chars(e + 2, sci_end, exponent);
  if (e[1] == '-') exponent = -exponent;
  if (exponent >= -4 && exponent < significant_digits) {
    char* end = std::to_chars(p, p + 24, magnitude, std::chars_format::fixed,
                              significant_digits - 1 - exponent)
                    .ptr;
    end = trim_fraction(p, end);
    return static_cast<std::size_t>(ensure_point(p, end, end) - out);
  }
  char* mantissa_end = trim_fraction(sci, e);
  std::size_t mantissa = static_cast<std::size_t>(mantissa_end - sci);
  std::memcpy(p, sci, mantissa);
  char* end = ensure_point(p, p + mantissa, p + mantissa);
  *end++ = 'E';
  std::size_t exponent_text = static_cast<std::size_t>(sci_end - (e + 1));
  std::memcpy(end, e + 1, exponent_text);
  return static_cast<std::size_t>(end + exponent_text - out);
}

ListWrite::ListWrite(Runtime& io, int unit)
    : io_(io.core()), unit_(io_.begin_statement(unit, false, nullptr)), record_(io_.record()) {
  record_.clear();
}

void ListWrite::make_room(std::size_t length) {
  if (!record_.empty() && record_.size() + length >= record_length) {
    io_.put_record(unit_, record_.view());
    record_.clear();
  }
}

ListWrite& ListWrite::text(std::string_view s) {
  make_room(s.size());
  if (record_.empty()) record_.append(1, ' ');
  record_.append(s);
  return *this;
}

ListWrite& ListWrite::integer(std::int32_t v) {
  char digits[16];
  auto magnitude = v < 0 ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
  char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  std::size_t count = static_cast<std::size_t>(end - digits);
  make_room(count);
  record_.append(v < 0 ? " -" : " ");
  record_.append(std::string_view(digits, count));
  return *this;
}

ListWrite& ListWrite::real(float v) {
  char text[40];
  std::size_t length = real_item_text(v, text);
  make_room(length);
  record_.append(std::string_view(text, length));
  return *this;
}

void ListWrite::end() {
  io_.put_record(unit_, record_.view());
}

}  // namespace record_io
