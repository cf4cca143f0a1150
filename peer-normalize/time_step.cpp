#include "time_step.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "record_io/list_read.hpp"

namespace normalize {

namespace {

constexpr int max_significant_digits = 9;  // enough for any single-precision value
constexpr std::size_t old_layout_decimals = 5;

// digits * 10^exponent, digits without trailing zeros.
struct Decimal {
  std::uint64_t digits;
  int exponent;
};

Decimal trimmed(std::uint64_t digits, int exponent) {
  while (digits != 0 && digits % 10 == 0) {
    digits /= 10;
    ++exponent;
  }
  return {digits, exponent};
}

// The decimal of `significant` digits nearest to v (v > 0).
Decimal nearest_decimal(double v, int significant) {
  char text[64];
  auto written =
      std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, significant - 1);
  // text holds d[.ddd]e<sign><digits>.
  std::uint64_t digits = 0;
  int count = 0;
  const char* p = text;
  for (; *p != 'e'; ++p) {
    if (*p == '.') continue;
    digits = digits * 10 + static_cast<unsigned>(*p - '0');
    ++count;
  }
  ++p;
  const bool negative = *p == '-';
  int exponent = 0;
  std::from_chars(p + 1, written.ptr, exponent);
  if (negative) exponent = -exponent;
  return {digits, exponent - (count - 1)};
}

std::string digit_text(std::uint64_t digits) {
  char text[24];
  return std::string(text, std::to_chars(text, text + sizeof text, digits).ptr);
}

// Without an exponent: "12.5", ".0025", "300".
std::string fixed_text(Decimal d) {
  std::string s = digit_text(d.digits);
  if (d.exponent >= 0) return s + std::string(static_cast<std::size_t>(d.exponent), '0');
  const auto fraction = static_cast<std::size_t>(-d.exponent);
  if (s.size() > fraction) return s.insert(s.size() - fraction, ".");
  return "." + std::string(fraction - s.size(), '0') + s;
}

// With an exponent: the point after the first digit ("1.5E-7", "2E-8"), or no point
// ("15E-8"); empty where the exponent would be zero.
std::string exponent_text(Decimal d, bool point) {
  std::string s = digit_text(d.digits);
  const int exponent = point ? d.exponent + static_cast<int>(s.size()) - 1 : d.exponent;
  if (exponent == 0) return {};
  if (point && s.size() > 1) s.insert(1, ".");
  char text[16];
  return s + "E" + std::string(text, std::to_chars(text, text + sizeof text, exponent).ptr);
}

// Trailing zeros up to five decimals, as the old layout writes the time step, where the
// columns hold them.
std::string old_layout_text(std::string text) {
  std::size_t point = text.find('.');
  if (point == std::string::npos) {
    point = text.size();
    text += '.';
  }
  const std::size_t decimals = text.size() - point - 1;
  if (decimals >= old_layout_decimals) return text;
  std::string padded = text + std::string(old_layout_decimals - decimals, '0');
  if (padded.size() <= time_step_columns) return padded;
  if (text.back() == '.') text.pop_back();
  return text;
}

// What the merge reads from a text of digits, a point and an exponent.
float read_back(std::string_view text) {
  return record_io::scan_list_item(text.data(), text.data() + text.size(), true).value;
}

// How a candidate writes its value, the more readable first.
enum class Form { fixed, exponent_after_point, exponent_after_digits };

struct Candidate {
  std::string text;
  float value = 0;
  Form form = Form::fixed;
};

// Better for the header: reads back as dt, then the more readable form, then shorter; among
// those that do not read back as dt, the closer first.
bool better(const Candidate& a, const Candidate& b, float dt) {
  const bool a_exact = a.value == dt;
  const bool b_exact = b.value == dt;
  if (a_exact != b_exact) return a_exact;
  if (!a_exact) {
    const double a_off = std::fabs(static_cast<double>(a.value) - static_cast<double>(dt));
    const double b_off = std::fabs(static_cast<double>(b.value) - static_cast<double>(dt));
    if (a_off != b_off) return a_off < b_off;
  }
  if (a.form != b.form) return a.form < b.form;
  return a.text.size() < b.text.size();
}

}  // namespace

TimeStepText time_step_text(float dt) {
  Candidate best;
  bool have = false;
  const auto consider = [&](std::string text, Form form) {
    if (text.empty() || text.size() > time_step_columns) return;
    Candidate c{std::move(text), 0, form};
    c.value = read_back(c.text);
    if (!have || better(c, best, dt)) best = std::move(c);
    have = true;
  };
  for (int significant = 1; significant <= max_significant_digits; ++significant) {
    const Decimal nearest = nearest_decimal(static_cast<double>(dt), significant);
    // The decimals of this many digits on either side of dt: the nearest one and its
    // neighbours (dt's preimage need not lie evenly around it).
    for (std::uint64_t digits : {nearest.digits - 1, nearest.digits, nearest.digits + 1}) {
      if (digits == 0) continue;
      const Decimal d = trimmed(digits, nearest.exponent);
      consider(fixed_text(d), Form::fixed);
      consider(exponent_text(d, true), Form::exponent_after_point);
      consider(exponent_text(d, false), Form::exponent_after_digits);
    }
  }
  if (best.form == Form::fixed) best.text = old_layout_text(std::move(best.text));
  return {best.text, best.value, best.value == dt};
}

}  // namespace normalize
