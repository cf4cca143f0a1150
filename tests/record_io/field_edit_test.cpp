// Output fields: the fixed-point field Fw.d, the real console item, and whole records
// written under a format.
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "combined_records.hpp"
#include "fixed_edit.hpp"
#include "harness.hpp"
#include "real_item.hpp"
#include "record_io/format.hpp"
#include "record_io/formatted_write.hpp"
#include "record_io/list_write.hpp"

namespace record_io {
namespace {

std::string fixed(float v, int w, int d) {
  std::string field(static_cast<std::size_t>(w), '?');
  char* end = edit_fixed(field.data(), v, w, d);
  EXPECT_EQ(end, field.data() + w);
  return field;
}

// The C runtime's fixed-point conversion of the same value, with the field's sign and
// width rules.
std::string reference_fixed(float v, int w, int d) {
  char text[512];
  std::snprintf(text, sizeof text, "%#.*f", d, static_cast<double>(v));
  std::string s = text;
  if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
  auto width = static_cast<std::size_t>(w);
  if (s.size() > width) return std::string(width, '*');
  return std::string(width - s.size(), ' ') + s;
}

struct FixedCase {
  float v;
  int w, d;
  const char* field;
};

TEST(FixedField, WritesCombinedFileFields) {
  // The fields of the combined file's sample records: F7.3, then three F10.3 after commas.
  for (const test_tables::CombinedRecord& row : test_tables::combined_records) {
    SCOPED_TRACE(row.record);
    std::string_view record = row.record;
    EXPECT_EQ(fixed(row.t, 7, 3), record.substr(0, 7));
    EXPECT_EQ(fixed(row.x, 10, 3), record.substr(8, 10));
    EXPECT_EQ(fixed(row.y, 10, 3), record.substr(19, 10));
    EXPECT_EQ(fixed(row.z, 10, 3), record.substr(30, 10));
  }
  const FixedCase cases[] = {
      {-0.0f, 7, 3, "  0.000"},
      {329.99f, 7, 3, "329.990"},
      {0.03125f, 7, 4, " 0.0312"},
      {2.5f, 4, 0, "  2."},
      {3.5f, 4, 0, "  4."},
      {-0.5f, 4, 0, "  0."},
      // Beyond the integer range of the quick path.
      {3.0e9f, 20, 3, "      3000000000.000"},
      {-1.0e10f, 16, 2, " -10000000000.00"},
      {3.0e9f, 12, 0, " 3000000000."},
      {HUGE_VALF, 10, 3, "       inf"},
      {-HUGE_VALF, 10, 3, "      -inf"},
      {std::numeric_limits<float>::quiet_NaN(), 7, 3, "    nan"},
      {std::numeric_limits<float>::quiet_NaN(), 10, 3, "       nan"},
  };
  for (const FixedCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.v << " F" << c.w << "." << c.d);
    EXPECT_EQ(fixed(c.v, c.w, c.d), c.field);
  }
}

TEST(FixedField, AgreesWithTheRuntimeConversion) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::uint32_t> bits;
  std::uniform_real_distribution<float> samples(-2000.0f, 2000.0f), small(-0.01f, 0.01f);
  const int decimals[] = {0, 1, 2, 3, 5, 9, 12};
  for (int n = 0; n < 20000; ++n) {
    float v = std::bit_cast<float>(bits(rng));
    if (!std::isfinite(v)) continue;
    int d = decimals[n % 7];
    ASSERT_EQ(fixed(v, 60, d), reference_fixed(v, 60, d)) << std::hexfloat << v << " d=" << d;
    for (float u : {samples(rng), small(rng)}) {
      ASSERT_EQ(fixed(u, 7, 3), reference_fixed(u, 7, 3)) << std::hexfloat << u;
      ASSERT_EQ(fixed(u, 10, 3), reference_fixed(u, 10, 3)) << std::hexfloat << u;
      int w = 1 + n % 9;  // narrow fields, down to asterisks only
      ASSERT_EQ(fixed(u, w, n % 4), reference_fixed(u, w, n % 4))
          << std::hexfloat << u << " F" << w << "." << n % 4;
    }
  }
}

// Every shape of the quick fields (up to 16 columns and 7 decimals), and the fields of 8 and
// 9 decimals beside them: values of each length that such a field holds or overflows, either
// sign, those whose magnitude times 10^d lies next to 10^8 or next to 10^6 - 0.5, where the
// quick conversions hand over to the general one, and infinities and NaNs.
TEST(FixedField, QuickFieldsAgreeWithTheRuntimeConversion) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::bernoulli_distribution negative;
  for (int d = 0; d <= 9; ++d) {
    auto edge = static_cast<float>(1e8 / std::pow(10.0, d));
    auto thousand = static_cast<float>(999999.5 / std::pow(10.0, d));
    const float edges[] = {edge,
                           std::nextafter(edge, 0.0f),
                           std::nextafter(edge, HUGE_VALF),
                           -edge,
                           thousand,
                           std::nextafter(thousand, 0.0f),
                           -std::nextafter(thousand, HUGE_VALF),
                           0.5f / static_cast<float>(std::pow(10.0, d)),
                           0.0f,
                           -0.0f,
                           HUGE_VALF,
                           -HUGE_VALF,
                           std::numeric_limits<float>::quiet_NaN(),
                           -std::numeric_limits<float>::quiet_NaN()};
    for (int w = 1; w <= 17; ++w) {
      for (float v : edges) {
        ASSERT_EQ(fixed(v, w, d), reference_fixed(v, w, d)) << std::hexfloat << v;
      }
      for (int exponent = -d - 2; exponent <= 9 - d; ++exponent) {
        for (int n = 0; n < 16; ++n) {
          auto v = static_cast<float>(mantissa(rng) * std::pow(10.0, exponent));
          if (negative(rng)) v = -v;
          ASSERT_EQ(fixed(v, w, d), reference_fixed(v, w, d))
              << std::hexfloat << v << " F" << w << "." << d;
        }
      }
    }
  }
}

std::string real_item(float v) {
  char out[40];
  std::size_t n = real_item_text(v, out);
  return std::string(out, n);
}

// "%.9G" of the magnitude, with a point added before the exponent or at the end.
std::string reference_real_item(float v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9G", std::fabs(static_cast<double>(v)));
  std::string s = text;
  if (s.find('.') == std::string::npos) {
    std::size_t e = s.find('E');
    s.insert(e == std::string::npos ? s.size() : e, ".");
  }
  return (std::signbit(v) ? " -" : "  ") + s;
}

TEST(RealItem, WritesNineSignificantDigitsWithAPoint) {
  struct Case {
    float v;
    const char* text;
  };
  const Case cases[] = {
      {0.01f, "  0.00999999978"},
      {-0.01f, " -0.00999999978"},
      {1.0f, "  1."},
      {100.0f, "  100."},
      {0.0f, "  0."},
      {-0.0f, "  0."},
      {1e-6f, "  9.99999997E-07"},
      {1e10f, "  1.E+10"},
      {1e9f, "  1.E+09"},
      {123456789.0f, "  123456792."},
      {99999999.0f, "  100000000."},
      {0.0001f, "  9.99999975E-05"},
      {0.001f, "  0.00100000005"},
      {0.5f, "  0.5"},
      {-3.25f, " -3.25"},
      {0x1p-149f, "  1.40129846E-45"},
      {FLT_MAX, "  3.40282347E+38"},
      {HUGE_VALF, "  INF"},
      {-HUGE_VALF, " -INF"},
      {NAN, "  NAN"},
  };
  for (const Case& c : cases) EXPECT_EQ(real_item(c.v), c.text) << std::hexfloat << c.v;
}

TEST(RealItem, AgreesWithTheRuntimeConversion) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<std::uint32_t> bits;
  for (int n = 0; n < 100000; ++n) {
    float v = std::bit_cast<float>(bits(rng));
    if (!std::isfinite(v) || v == 0) continue;
    ASSERT_EQ(real_item(v), reference_real_item(v)) << std::hexfloat << v;
  }
}

// Records written on unit 6 under a format, each handed over whole to a console as its
// statement ends, or built in the output buffer of a redirected output, whichever its line
// end.
struct Output {
  bool console;
  bool crlf;
};

class FormattedRecords : public ::testing::TestWithParam<Output> {
 protected:
  FormattedRecords() : console("", GetParam().console) {
    console.output_channel().set_crlf(GetParam().crlf);
  }
  // What unit 6 wrote: a console sees each record at once, a redirected output at the end.
  std::string output() {
    if (!GetParam().console) console.io().shutdown();
    return console.output();
  }
  // text with the channel's line ends.
  std::string lines(std::string_view text) const {
    std::string out;
    for (char c : text) out += c == '\n' && GetParam().crlf ? "\r\n" : std::string(1, c);
    return out;
  }
  testing::Console console;
};

INSTANTIATE_TEST_SUITE_P(Outputs, FormattedRecords,
                         ::testing::Values(Output{true, false}, Output{false, false},
                                           Output{false, true}),
                         [](const ::testing::TestParamInfo<Output>& p) {
                           return p.param.console ? "Console"
                                  : p.param.crlf  ? "BufferedCrLf"
                                                  : "Buffered";
                         });

TEST_P(FormattedRecords, WritesCombinedFileRecords) {
  const Format combined("(F7.3,3(\x02,\x02,F10.3))");
  std::string expected;
  for (const test_tables::CombinedRecord& row : test_tables::combined_records) {
    FormattedWrite(console.io(), 6, combined).real(row.t).real(row.x).real(row.y).real(row.z).end();
    expected = expected + row.record + "\n";
  }
  // Fewer items than fields, then more: the format starts again at its group.
  FormattedWrite(console.io(), 6, combined).real(1).real(2).end();
  FormattedWrite(console.io(), 6, combined).real(1).real(2).real(3).real(4).real(5).end();
  FormattedWrite(console.io(), 6, combined).real(1).real(2).real(3).real(4).real(5).real(6).end();
  EXPECT_EQ(output(), lines(expected + "  1.000,     2.000,\n"
                                       "  1.000,     2.000,     3.000,     4.000\n"
                                       ",     5.000,\n"
                                       "  1.000,     2.000,     3.000,     4.000\n"
                                       ",     5.000,     6.000,\n"));
}

// A layout of 17 to 64 characters is copied in pieces of 16: each of its literals is kept,
// the last one to the end of the record (after a first record, so that the second one does
// not stand where the same test wrote it before, in a buffer reused). A format without a
// fixed layout after it builds its record aside as before.
TEST_P(FormattedRecords, KeepsTheLiteralsOfALayout) {
  const Format text("(A)");
  const Format f("(F7.3,' and ',F10.3,' last literal')");
  const std::string first(100, 'x');
  FormattedWrite(console.io(), 6, text).text(first).end();
  FormattedWrite(console.io(), 6, f).real(1.5f).real(-2.25f).end();
  FormattedWrite(console.io(), 6, text).text("after").end();
  EXPECT_EQ(output(), lines(first + "\n  1.500 and     -2.250 last literal\nafter\n"));
}

TEST_P(FormattedRecords, StartsTheFormatAgainOnANewRecord) {
  const Format group("(I2,(I3,'|'))");
  FormattedWrite(console.io(), 6, group).integer(1).integer(2).integer(3).integer(4).end();
  EXPECT_EQ(output(), lines(" 1  2|\n  3|\n  4|\n"));
}

TEST_P(FormattedRecords, StartsAgainFromTheLastGroupWithItsLiterals) {
  const Format whole("(I3)");
  FormattedWrite(console.io(), 6, whole).integer(5).integer(-6).end();
  const Format group("(I2,'a',('b',I3))");
  FormattedWrite(console.io(), 6, group).integer(1).integer(2).integer(3).end();
  EXPECT_EQ(output(), lines("  5\n -6\n 1ab  2\nb  3\n"));
}

TEST_P(FormattedRecords, EndsAfterTheLiteralsBeforeTheNextField) {
  const Format f("(I2,'|',I3,2X,'|',I3,5X)");
  FormattedWrite(console.io(), 6, f).integer(1).end();
  FormattedWrite(console.io(), 6, f).integer(1).integer(2).end();
  FormattedWrite(console.io(), 6, f).integer(1).integer(2).integer(3).end();
  EXPECT_EQ(output(), lines(" 1|\n 1|  2  |\n 1|  2  |  3\n"));
}

// Only the F fields of three decimals take the quick path; the others of a fixed layout
// are edited by their own decimals, in the first record and in those like it after it.
TEST_P(FormattedRecords, EditsEachFieldOfAFixedLayoutByItsOwnDecimals) {
  const Format f("(F10.3,F5.1,F6.2,F10.3)");
  for (int k = 0; k < 2; ++k)
    FormattedWrite(console.io(), 6, f).real(3.5f).real(1.5f).real(-2.25f).real(4).end();
  EXPECT_EQ(output(), lines("     3.500  1.5 -2.25     4.000\n     3.500  1.5 -2.25     4.000\n"));
}

TEST_P(FormattedRecords, FitsTextAndNumbersToTheirFields) {
  const Format f("(A5,1X,A3,I3,I3,I3,A,F5.1)");
  FormattedWrite(console.io(), 6, f)
      .text("ab")
      .text("abcdef")
      .integer(1234)
      .integer(-12)
      .integer(-123)
      .text("as is")
      .real(-2.25f)
      .end();
  EXPECT_EQ(output(), lines("   ab abc***-12***as is -2.2\n"));
}

}  // namespace
}  // namespace record_io
