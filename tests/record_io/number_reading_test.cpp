// Reading numbers: the significant-digit gathering of DecimalDigits and the list item
// scanner (values, nulls, repetition counts), and the values statements read against strtod.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "decimal.hpp"
#include "harness.hpp"
#include "record_io/list_read.hpp"

namespace record_io {
namespace {

struct Scanned {
  ListScan scan;
  std::size_t taken;  // characters the scan consumed
};

Scanned scan(std::string_view s, bool line_end = true) {
  ListScan r = scan_list_item(s.data(), s.data() + s.size(), line_end);
  return {r, static_cast<std::size_t>(r.next - s.data())};
}

// The same bits, so that the sign of zero and infinities count.
::testing::AssertionResult same_float(float expected, float actual) {
  if (std::memcmp(&expected, &actual, sizeof(float)) == 0 ||
      (std::isnan(expected) && std::isnan(actual))) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << std::hexfloat << "expected " << expected << ", got " << actual;
}

float via_double(const char* c_text) {
  return static_cast<float>(std::strtod(c_text, nullptr));
}

struct ValueCase {
  const char* text;
  const char* c_text;  // the same number as strtod reads it
  std::size_t taken;   // 0: the whole text
};

TEST(ListValue, ReadsEveryFormOfValue) {
  const ValueCase cases[] = {
      {"1.5", "1.5", 3},
      {"-2", "-2", 2},
      {"+.5", ".5", 3},
      {"5.", "5", 2},
      {"-.25e1", "-2.5", 6},
      {"2E1", "20", 3},
      {"2e+1", "20", 4},
      {"2d2", "200", 3},
      {"2D-1", "0.2", 4},
      {"1.0-3", "1e-3", 5},
      {"1.0+3", "1e3", 5},
      {"7-0", "7", 3},
      {".1234E-02-.5678E-02", ".1234e-2", 9},
      {"1.2.3", "1.2", 3},
      {"1q5", "1", 1},
      {"1Q5", "1", 1},
      {"7,8", "7", 1},
      {"7/", "7", 1},
      {"3.25\t4", "3.25", 4},
      {"0.01", "0.01", 4},
      {"16777217", "16777217", 8},
      {"16777219", "16777219", 8},
      {"3.4028235e38", "3.4028235e38", 12},
      {"3.4028236e38", "3.4028236e38", 12},
      {"1e39", "1e39", 4},
      {"-1d40", "-1e40", 5},
      {"1e99999999", "1e999", 10},
      {"1e-99999999", "0", 11},
      {"1.4e-45", "1.4e-45", 7},
      {"1234567890123456789012.5", "1234567890123456789012.5", 24},
      {"0.00000000000000000000000012345678901234567890123", "1.2345678901234567890123e-25", 0},
      {"123456789012345678901234567890123456789", "123456789012345678901234567890123456789", 0},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    Scanned s = scan(c.text);
    EXPECT_EQ(s.scan.kind, ListScan::number);
    EXPECT_TRUE(same_float(via_double(c.c_text), s.scan.value));
    EXPECT_EQ(s.taken, c.taken != 0 ? c.taken : std::string_view(c.text).size());
  }
}

TEST(ListValue, NeedsNoSeparatorAfterAValue) {
  std::string_view line = ".1234E-02-.5678E-02 1.2.3";
  float expected[] = {0.1234e-2f, -0.5678e-2f, 1.2f, 0.3f};
  const char* p = line.data();
  const char* end = line.data() + line.size();
  for (float value : expected) {
    while (*p == ' ') ++p;
    ListScan s = scan_list_item(p, end, true);
    ASSERT_EQ(s.kind, ListScan::number);
    EXPECT_TRUE(same_float(value, s.value));
    p = s.next;
  }
  EXPECT_EQ(p, end);
}

TEST(ListValue, ZeroInAnyFormIsPositive) {
  for (const char* text : {"0", "-0", "+0.0", "-.0", "-0.", "0e5", "-0d-3", "-0000.0000e99999999",
                           "-0.0-7", "-00000000000000000000000000000000000000000000000000"}) {
    SCOPED_TRACE(text);
    Scanned s = scan(text);
    EXPECT_EQ(s.scan.kind, ListScan::number);
    EXPECT_TRUE(same_float(0.0f, s.scan.value));
  }
}

// 1152921573326323840 is a double exactly halfway between two doubles, the lower of which
// lies exactly halfway between two singles: the digits beyond it decide the single.
TEST(ListValue, CountsFortySignificantDigits) {
  struct Case {
    const char* text;
    float value;
  };
  const Case cases[] = {
      {"1152921573326323840.000000000000000000001", 0x1.000002p60f},     // 40 digits
      {"1152921573326323840.0000000000000000000001", 0x1p60f},           // 41st dropped
      {"1152921573326323840000000000000000000001e-21", 0x1.000002p60f},  // 40 digits
      {"11529215733263238400000000000000000000001e-22", 0x1p60f},        // 41st a zero
      {"1152921573326323840000000000000000000000000000e-27", 0x1p60f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Scanned s = scan(c.text);
    EXPECT_EQ(s.scan.kind, ListScan::number);
    EXPECT_TRUE(same_float(c.value, s.scan.value));
    EXPECT_EQ(s.taken, std::string_view(c.text).size());
  }
}

TEST(ListValue, RoundsToDoubleThenToSingle) {
  // Just above halfway between 1 and the next single, but nearest to that halfway double.
  const char* text = "1.000000059604644775390625000000001";
  ASSERT_EQ(std::strtof(text, nullptr), 0x1.000002p0f);  // rounded once, it would go up
  EXPECT_TRUE(same_float(1.0f, scan(text).scan.value));
  EXPECT_TRUE(same_float(1.0f, via_double(text)));
}

// Each value alone, as the line scanner reads it, then all of them five to a line, as
// statements read them from whole lines and a byte at a time.
TEST(ListValue, AgreesWithStrtodForRandomValues) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> digit(0, 9), length(1, 30), exponent(-60, 50), coin(0, 3);
  std::string lines;
  std::vector<float> values;
  for (int n = 0; n < 5000; ++n) {
    std::string text;
    if (coin(rng) == 0) text += '-';
    int digits = length(rng);
    int point = std::uniform_int_distribution<int>(0, digits)(rng);
    for (int i = 0; i < digits; ++i) {
      if (i == point) text += '.';
      text += static_cast<char>('0' + digit(rng));
    }
    std::string c_text = text;
    switch (coin(rng)) {
      case 0:
        break;
      case 1:
        text += "D" + std::to_string(exponent(rng));
        c_text += "e" + text.substr(text.find('D') + 1);
        break;
      default: {
        int e = exponent(rng);
        std::string exp_text = (e < 0 ? "-" : "+") + std::to_string(std::abs(e));
        text += exp_text;  // a bare-sign exponent
        c_text += "e" + exp_text;
      }
    }
    float expected = via_double(c_text.c_str());
    lines += text + (n % 5 == 4 ? "\n" : " ");
    values.push_back(expected);
    std::size_t value_length = text.size();
    const char* stops[] = {"", " 1", ",2", "/", "\t", "x", ":", "?", "\x80", "\xfa"};
    text += stops[n % 10];  // what ends the value is not part of it
    SCOPED_TRACE(text);
    Scanned s = scan(text);
    ASSERT_EQ(s.scan.kind, ListScan::number);
    if (expected == 0) {  // all zeros (+0.0), or too small for single precision
      ASSERT_EQ(s.scan.value, 0.0f);
      continue;
    }
    ASSERT_TRUE(same_float(expected, s.scan.value));
    ASSERT_EQ(s.taken, value_length);
  }
  for (std::size_t chunk : {65536u, 1u}) {
    std::vector<float> read = testing::list_values(lines, values.size(), chunk);
    for (std::size_t k = 0; k < values.size(); ++k) {
      SCOPED_TRACE(::testing::Message() << "value " << k << ", chunk " << chunk);
      if (values[k] == 0) {
        ASSERT_EQ(read[k], 0.0f);
      } else {
        ASSERT_TRUE(same_float(values[k], read[k]));
      }
    }
  }
}

struct ItemCase {
  const char* text;
  bool line_end;  // a line feed follows the text
  ListScan::Kind kind;
  std::size_t taken;
  std::uint64_t count = 0;
  float value = 0;
};

TEST(ListItem, ScansNullsRepetitionsAndErrors) {
  const ItemCase cases[] = {
      {"+,", true, ListScan::null, 1},
      {"-/", true, ListScan::null, 1},
      {".,", true, ListScan::null, 1},
      {"+ 1", true, ListScan::invalid_number, 0},
      {"+", true, ListScan::invalid_number, 0},
      {".", true, ListScan::invalid_number, 0},
      {". 5", true, ListScan::invalid_number, 0},
      {"abc", true, ListScan::invalid_number, 0},
      {"\r", true, ListScan::invalid_number, 0},
      {"\x80", true, ListScan::invalid_number, 0},
      {"q5", true, ListScan::invalid_number, 0},
      {"1e", true, ListScan::bad_exponent, 0},
      {"1e+", true, ListScan::bad_exponent, 0},
      {"1E-x", true, ListScan::bad_exponent, 0},
      {"1+", true, ListScan::bad_exponent, 0},
      {"1.5d,", true, ListScan::bad_exponent, 0},
      {"1e100000000", true, ListScan::bad_exponent, 0},
      {"0e100000000", true, ListScan::bad_exponent, 0},
      {"3*2.5", true, ListScan::repeated_number, 5, 3, 2.5f},
      {"+3*-1e1", true, ListScan::repeated_number, 7, 3, -10.0f},
      {"0003*1", true, ListScan::repeated_number, 6, 3, 1.0f},
      {"2*1.0-3", true, ListScan::repeated_number, 7, 2, 0.001f},
      {"3* 4", true, ListScan::repeated_null, 2, 3},
      {"3*\t", true, ListScan::repeated_null, 2, 3},
      {"3*,", true, ListScan::repeated_null, 2, 3},
      {"3*/", true, ListScan::repeated_null, 2, 3},
      {"3*", true, ListScan::repeated_null, 2, 3},
      {"3*", false, ListScan::invalid_number, 0},
      {"3*+,", true, ListScan::repeated_null, 3, 3},
      {"3*+ 1", true, ListScan::invalid_number, 0},
      {"3*x", true, ListScan::invalid_number, 0},
      {"3**", true, ListScan::invalid_number, 0},
      {"3*1e", true, ListScan::bad_exponent, 0},
      {"-3*1", true, ListScan::bad_repetition_count, 0},
      {"0*1", true, ListScan::bad_repetition_count, 0},
      {"000*1", true, ListScan::bad_repetition_count, 0},
      {"*1", true, ListScan::bad_repetition_count, 0},
      {"+*1", true, ListScan::bad_repetition_count, 0},
      {"-*", true, ListScan::bad_repetition_count, 0},
  };
  for (const ItemCase& c : cases) {
    SCOPED_TRACE(c.text);
    Scanned s = scan(c.text, c.line_end);
    EXPECT_EQ(s.scan.kind, c.kind);
    bool error = c.kind == ListScan::invalid_number || c.kind == ListScan::bad_exponent ||
                 c.kind == ListScan::bad_repetition_count;
    if (error) continue;  // the statement ends; where the scan stopped does not matter
    EXPECT_EQ(s.taken, c.taken);
    if (c.kind == ListScan::repeated_number || c.kind == ListScan::repeated_null) {
      EXPECT_EQ(s.scan.count, c.count);
    }
    if (c.kind == ListScan::repeated_number) {
      EXPECT_TRUE(same_float(c.value, s.scan.value));
    }
  }
}

TEST(ListItem, RepetitionCountHasAtMostFortySignificantDigits) {
  std::string forty = "1" + std::string(39, '0');
  Scanned s = scan("000" + forty + "*7");
  EXPECT_EQ(s.scan.kind, ListScan::repeated_number);
  EXPECT_GE(s.scan.count, std::uint64_t{1} << 40);  // far above any statement's length
  EXPECT_EQ(scan(forty + "0*7").scan.kind, ListScan::bad_repetition_count);
  EXPECT_EQ(scan("+12345678901234567890*").scan.kind, ListScan::repeated_null);
}

// Feeds the digits of a mantissa such as "-012.50" to DecimalDigits.
float decimal(std::string_view mantissa, std::int64_t scale = 0) {
  DecimalDigits digits;
  bool negative = !mantissa.empty() && mantissa[0] == '-';
  bool fraction = false;
  for (char c : mantissa) {
    if (c == '.') fraction = true;
    if (c < '0' || c > '9') continue;
    fraction ? digits.fraction_digit(c) : digits.integer_digit(c);
  }
  digits.scale(scale);
  return digits.to_single(negative);
}

TEST(DecimalDigits, KeepsFortySignificantDigits) {
  DecimalDigits digits;
  for (char c : std::string_view("000123")) digits.integer_digit(c);
  for (char c : std::string_view("000")) digits.fraction_digit(c);
  EXPECT_EQ(digits.significant_digits(), 6);
  for (int i = 0; i < 50; ++i) digits.fraction_digit('7');
  EXPECT_EQ(digits.significant_digits(), DecimalDigits::max_significant);

  EXPECT_TRUE(same_float(0x1p60f, decimal("1152921573326323840.0000000000000000000001")));
  EXPECT_TRUE(same_float(0x1.000002p60f, decimal("1152921573326323840.000000000000000000001")));
  EXPECT_TRUE(same_float(0x1p60f, decimal("11529215733263238400000000000000000000001", -22)));
  EXPECT_TRUE(same_float(1.0f, decimal("1.000000059604644775390625000000001")));
}

TEST(DecimalDigits, ConvertsToSinglePrecision) {
  EXPECT_TRUE(same_float(0.0f, decimal("-0.000")));
  EXPECT_TRUE(same_float(-2.5f, decimal("-25", -1)));
  EXPECT_TRUE(same_float(0.01f, decimal("1", -2)));
  EXPECT_TRUE(same_float(1234.0f, decimal("1234")));
  EXPECT_TRUE(same_float(HUGE_VALF, decimal("1", 39)));
  EXPECT_TRUE(same_float(-HUGE_VALF, decimal("-1", 99999999)));
  EXPECT_TRUE(same_float(0.0f, decimal("1", -99999999)));
}

TEST(RoundToSingle, RoundsToNearestEvenAndOverflowsToInfinity) {
  EXPECT_EQ(round_to_single(0x1.000001p0), 1.0f);
  EXPECT_EQ(round_to_single(0x1.000003p0), 0x1.000004p0f);
  EXPECT_EQ(round_to_single(0x1.fffffefffffffp127), 0x1.fffffep127f);
  EXPECT_EQ(round_to_single(0x1.ffffffp127), HUGE_VALF);
  EXPECT_EQ(round_to_single(-1e300), -HUGE_VALF);
}

}  // namespace
}  // namespace record_io
