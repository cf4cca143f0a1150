// The statements' fast paths where their edge cases lie: values read straight from the
// lines buffered whole, against strtod and against the line scanner, and records built in
// the output buffer up to its end.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "combined_records.hpp"
#include "harness.hpp"
#include "record_io/format.hpp"
#include "record_io/formatted_write.hpp"
#include "record_io/list_read.hpp"
#include "record_io/text_writer.hpp"
#include "string_channel.hpp"

// Every array allocated with new[], the layer's read and write buffers among them, is
// followed by guard bytes that are checked when it is freed: a statement that writes past
// the end of a buffer ends the test program there, whatever the build.
namespace {

constexpr std::size_t guard_size = 16;  // before the array too: it stays aligned for any type
constexpr unsigned char guard_byte = 0xA5;

}  // namespace

void* operator new[](std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + 2 * guard_size));
  if (!block) throw std::bad_alloc();
  std::memcpy(block, &size, sizeof size);
  std::memset(block + guard_size + size, guard_byte, guard_size);
  return block + guard_size;
}

void operator delete[](void* array) noexcept {
  if (!array) return;
  unsigned char* block = static_cast<unsigned char*>(array) - guard_size;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  for (std::size_t k = 0; k < guard_size; ++k) {
    if (block[guard_size + size + k] != guard_byte) {
      std::fputs("an array was written past its end\n", stderr);
      std::abort();
    }
  }
  std::free(block);
}

void operator delete[](void* array, std::size_t) noexcept {
  operator delete[](array);
}

namespace record_io {
namespace {

// Adds one to the last of the decimal digits; false when they are all nines.
bool increment(std::string& digits) {
  for (std::size_t k = digits.size(); k-- > 0;) {
    if (digits[k] != '9') {
      ++digits[k];
      return true;
    }
    digits[k] = '0';
  }
  return false;
}

// The number d.ddd * 10^exponent of the digits in one of the forms a value takes: with a
// letter, a sign and two digits (1.5E+02), the same after the point (.15E+03), without an
// exponent (150.), or as an integer with a D or a bare sign (15D1, 15+1).
std::string value_text(const std::string& digits, int exponent, int form) {
  auto signed_exponent = [](int e, bool two_digits) {
    char text[16];
    std::snprintf(text, sizeof text, two_digits ? "%+03d" : "%+d", e);
    return std::string(text);
  };
  switch (form) {
    case 0:
      return digits.substr(0, 1) + "." + digits.substr(1) + "E" + signed_exponent(exponent, true);
    case 1:
      return "." + digits + "E" + signed_exponent(exponent + 1, true);
    case 2:
      if (exponent < 0)
        return "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
      return digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
             digits.substr(static_cast<std::size_t>(exponent) + 1);
    default: {
      int scale = exponent - static_cast<int>(digits.size()) + 1;
      return digits + (form == 3 ? "D" + std::to_string(scale) : signed_exponent(scale, false));
    }
  }
}

// Decimals of 15 to 20 significant digits just below and just above the midpoint between a
// single and the next one up, in every form of value, and a few that sit at the fast path's
// limits (the largest mantissa and power of ten it converts exactly, and just beyond). The
// fast path takes values of up to 15 digits, the line scanner the others; both must round
// to the double first, as strtod does, and only then to single precision.
TEST(FastPaths, ReadDecimalsNearHalfwayBetweenSinglesAsStrtodDoes) {
  std::vector<std::string> texts, c_texts;  // what the statements read, what strtod reads
  for (const char* edge :
       {"228.74414825439454 228.74414825439454", "1.0000000596046448 1.0000000596046448",
        "999999999999999E-22 999999999999999e-22", "1E+22 1e22", "1E+23 1e23", "1D-22 1e-22",
        "-1-23 -1e-23", "9007199254740993 9007199254740993",
        "-900719925474099.3 -900719925474099.3"}) {
    const char* blank = std::strchr(edge, ' ');
    texts.emplace_back(edge, blank);
    c_texts.emplace_back(blank + 1);
  }
  std::mt19937 rng(29);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  std::uniform_real_distribution<float> mantissa(1, 2);
  std::uniform_real_distribution<double> nines(9.01, 9.99);  // 16 digits of these pass 2^53
  while (texts.size() < 1500) {
    float f = 0;
    if (pick(2) == 0) {
      float m = mantissa(rng);
      f = std::ldexp(m, pick(48) - 24);
    } else {
      double m = nines(rng);
      f = static_cast<float>(m * std::pow(10.0, pick(14) - 7));
    }
    double midpoint =
        (static_cast<double>(f) + static_cast<double>(std::nextafter(f, HUGE_VALF))) / 2;
    char exact[64];  // d.ddd...e-xx, exact to far more digits than are kept
    std::snprintf(exact, sizeof exact, "%.39e", midpoint);
    int exponent = std::atoi(std::strchr(exact, 'e') + 1);
    std::string digits = exact[0] + std::string(exact + 2, static_cast<std::size_t>(14 + pick(6)));
    if (pick(2) == 0 && !increment(digits)) continue;  // just above rather than just below
    std::string sign = pick(7) == 0 ? "-" : "";
    texts.push_back(sign + value_text(digits, exponent, pick(5)));
    c_texts.push_back(sign + digits.substr(0, 1) + "." + digits.substr(1) + "e" +
                      std::to_string(exponent));
  }
  const char* separators[] = {" ", "  ", "\t", ", ", " ,", "   "};
  std::string lines;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    lines += texts[k] + (k % 5 == 4 ? "\n" : separators[k % 6]);
  }
  for (std::size_t chunk : {65536u, 1u}) {
    std::vector<float> values = testing::list_values(lines, texts.size(), chunk);
    for (std::size_t k = 0; k < texts.size(); ++k) {
      ASSERT_EQ(values[k], static_cast<float>(std::strtod(c_texts[k].c_str(), nullptr)))
          << texts[k] << ", chunk " << chunk;
    }
  }
}

// The values of the records' own shapes, which the straight-line scanner takes: a sign or
// none, a digit or none, a point, 0 to 9 digits, and an exponent of a letter, a sign and two
// digits or of another form or none; each as strtod reads it, rounded to single precision,
// zeros as +0.0. The exponents run past the powers of ten the scanner divides by exactly
// (10^22), where it hands the value over; 8 or 9 digits after the point and other exponents
// are handed over too.
TEST(FastPaths, ReadTheRecordsShapesAsStrtodDoes) {
  std::mt19937 rng(41);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const char* signs[] = {"", "-", "+"};
  const char* letters[] = {"E", "e", "D", "d"};
  std::vector<std::string> texts, c_texts;
  for (const char* edge :
       {"0.0", "-.0000000E+00", "-0.", "5.", "5.E+03", "-9.E-22", ".5", "+.25d-01", "1.5-3",
        "1.5E+003", "1.5E5", "-.9999999E-15", ".9999999E-16", ".1234567E+07", "-.1234567E+08",
        ".1234567D-01", ".1234567E-1", ".1234567E+012"}) {
    texts.emplace_back(edge);
  }
  while (texts.size() < 4000) {
    std::string text = signs[pick(3)];
    // One in three of the records' own field: no digit before the point, seven after it.
    bool field = pick(3) == 0;
    int lead = field ? -1 : pick(11) - 1;  // -1: none
    int fraction = field ? 7 : lead < 0 ? 1 + pick(9) : pick(10);
    if (lead >= 0) text += static_cast<char>('0' + lead);
    text += '.';
    for (int i = 0; i < fraction; ++i) text += static_cast<char>('0' + pick(10));
    int exponent = pick(61) - 30;
    switch (pick(4)) {
      case 0:
        break;
      case 1:  // another form of exponent
        text += (pick(2) ? "E" : "") + std::to_string(exponent);
        if (exponent >= 0) text.insert(text.size() - std::to_string(exponent).size(), "+");
        break;
      default:
        char two[16];
        std::snprintf(two, sizeof two, "%+03d", exponent);
        text += letters[pick(4)] + std::string(two);
    }
    texts.push_back(text);
  }
  std::string lines;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    std::string c_text = texts[k];
    std::size_t letter = c_text.find_first_of("EeDd");
    if (letter != std::string::npos) c_text[letter] = 'e';
    std::size_t sign = c_text.find_first_of("+-", 1);
    if (letter == std::string::npos && sign != std::string::npos) c_text.insert(sign, "e");
    c_texts.push_back(c_text);
    lines += texts[k] + (k % 5 == 4 ? "\n" : "  ");
  }
  for (std::size_t chunk : {65536u, 1u}) {
    std::vector<float> values = testing::list_values(lines, texts.size(), chunk);
    for (std::size_t k = 0; k < texts.size(); ++k) {
      float expected = static_cast<float>(std::strtod(c_texts[k].c_str(), nullptr));
      if (expected == 0) expected = 0.0f;  // +0.0 for every zero
      ASSERT_EQ(std::bit_cast<std::uint32_t>(values[k]), std::bit_cast<std::uint32_t>(expected))
          << texts[k] << ", chunk " << chunk;
    }
  }
}

// What statements read from lines, handed over `chunk` bytes at a time: the bits of ten
// elements (-7 where no value reached one), or the report that ended the run. The
// statements: two of five values, or one of three and one of five, or one that reads five
// and then five more.
enum class Statements { five_five, three_five, ten_in_one };

struct Reading {
  std::array<std::uint32_t, 10> bits{};
  std::string report;
  bool operator==(const Reading&) const = default;
};

Reading read_statements(const std::string& lines, std::size_t chunk, Statements shape) {
  testing::Console console("0\n" + lines);
  console.input().set_read_chunk(chunk);
  ListRead(console.io(), 5).end();
  std::array<float, 10> v;
  v.fill(-7.0f);
  Reading reading;
  try {
    if (shape == Statements::ten_in_one) {
      ListRead(console.io(), 5).reals(v.data(), 5).reals(v.data() + 5, 5).end();
    } else {
      ListRead(console.io(), 5).reals(v.data(), shape == Statements::three_five ? 3 : 5).end();
      ListRead(console.io(), 5).reals(v.data() + 5, 5).end();
    }
  } catch (const testing::Aborted&) {
    reading.report = console.diagnostic();
  }
  for (std::size_t k = 0; k < v.size(); ++k) reading.bits[k] = std::bit_cast<std::uint32_t>(v[k]);
  return reading;
}

// Lines of the records' layout, five fields of 15 columns ("  -.1234567E-02"), which a
// statement of five values reads in one straight line: each value as strtod reads it, the
// exponents running past the powers of ten divided exactly. Then one line changed a byte
// at a time (every column, the line end and the byte after it; a byte put in, a byte taken
// out): whether it keeps the layout or not, the statements read the same as a line at a
// time, in values, in where the next value or statement begins, and in the report of a
// bad value.
TEST(FastPaths, ReadLinesOfTheRecordsLayoutAsTheLineScannerDoes) {
  std::mt19937 rng(53);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const char* letters[] = {"E", "e", "D", "d"};
  auto field = [&](std::string& c_text) {
    std::string digits;
    for (int i = 0; i < 7; ++i) digits += static_cast<char>('0' + pick(10));
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "%+03d", pick(40) - 25);
    std::string sign = pick(2) ? "-" : " ";
    c_text = (sign == "-" ? "-." : ".") + digits + "e" + exponent;
    return "  " + sign + "." + digits + letters[pick(4)] + exponent;
  };
  std::string lines;
  std::vector<std::string> c_texts(5 * 400);
  for (std::size_t k = 0; k < c_texts.size(); ++k) {
    lines += field(c_texts[k]) + (k % 5 == 4 ? (k % 3 == 0 ? "\r\n" : "\n") : "");
  }
  std::vector<float> values = testing::list_values(lines, c_texts.size(), 65536);
  for (std::size_t k = 0; k < c_texts.size(); ++k) {
    float expected = static_cast<float>(std::strtod(c_texts[k].c_str(), nullptr));
    if (expected == 0) expected = 0.0f;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(values[k]), std::bit_cast<std::uint32_t>(expected))
        << c_texts[k];
  }

  const std::string line =
      "  -.4262360E-05   .2927105E+01  -.2494910D-05   .1991659e-05  -.1129973E-05";
  const std::string next =
      "\n   .5000000E+00   .6000000E+00   .7000000E+00   .8000000E+00   .9000000E+00\n";
  auto same = [](const std::string& text) {
    SCOPED_TRACE(text);
    for (Statements shape :
         {Statements::five_five, Statements::three_five, Statements::ten_in_one}) {
      EXPECT_EQ(read_statements(text, 65536, shape), read_statements(text, 1, shape));
    }
  };
  same(line + next);
  same(line + "\r" + next);
  for (std::size_t at = 0; at <= line.size() + 1; ++at) {
    std::string text = line + next;
    for (char c : std::string(" -+.09EdF,/*\t\r\nx")) {
      text[at] = c;
      same(text);
    }
    text = line + next;
    same(text.substr(0, at) + " " + text.substr(at));
    same(text.substr(0, at) + text.substr(at + 1));
  }
}

// Whole lines buffered end where a line still on its way begins: its values are read once it
// is there, never from what lies beyond the last line end.
TEST(FastPaths, ReadNothingPastTheLastLineBufferedWhole) {
  testing::Console console("0\n1 2\n34 5 6 7\n");
  console.input().set_read_chunk(7);  // "0\n1 2\n3", then "4 5 6 7"
  ListRead(console.io(), 5).end();
  std::array<float, 5> v{};
  ListRead(console.io(), 5).reals(v.data(), v.size()).end();
  EXPECT_EQ(v, (std::array<float, 5>{1, 2, 34, 5, 6}));
}

// A record built in the output buffer needs room for itself and its line end; without it,
// the record is built aside and handed over after the buffer is written out. Either way the
// same text, and nothing written past the buffer (see operator delete[] above), at each
// distance from its end where the one turns into the other (a string channel's output
// buffer holds TextWriter::transfer_size bytes).
TEST(FastPaths, WriteRecordsUpToTheEndOfTheOutputBuffer) {
  const Format combined("(F7.3,3(\x02,\x02,F10.3))");
  const Format text("(A)");
  const test_tables::CombinedRecord& row = test_tables::combined_records[1];
  for (bool crlf : {false, true}) {
    const std::string eol = crlf ? "\r\n" : "\n";
    for (std::size_t room = 39; room <= 44; ++room) {
      SCOPED_TRACE(::testing::Message() << room << " bytes left" << (crlf ? ", CR LF" : ""));
      testing::Console console("", false);
      console.output_channel().set_crlf(crlf);
      std::string expected;
      for (std::size_t fill = TextWriter::transfer_size - room; fill > 0;) {
        std::size_t length = fill >= 2000 ? 1000 : fill;  // with its line end
        std::string record(length - eol.size(), 'x');
        FormattedWrite(console.io(), 6, text).text(record).end();
        expected += record + eol;
        fill -= length;
      }
      for (int k = 0; k < 2; ++k) {
        FormattedWrite(console.io(), 6, combined)
            .real(row.t)
            .real(row.x)
            .real(row.y)
            .real(row.z)
            .end();
        expected += row.record + eol;
      }
      console.io().shutdown();
      EXPECT_EQ(console.output(), expected);
    }
  }
}

// Reads land at multiples of 64 whatever the part of a line the buffer keeps across a read
// (the system copies slowly to an address a few bytes past such a multiple), and the values
// come out the same: lines of every length from 1 to 90 characters, some ending with a CR LF,
// read 997 bytes at a time.
TEST(FastPaths, ReadsLandAlignedWhateverTheLineKept) {
  std::string text = "0\n";
  std::vector<float> expected;
  for (int i = 0; i < 3000; ++i) {
    text += std::string(static_cast<std::size_t>(i % 85), ' ') + std::to_string(i) +
            (i % 7 == 0 ? "\r\n" : "\n");
    expected.push_back(static_cast<float>(i));
  }
  testing::Console console(text);
  console.input().set_read_chunk(997);
  ListRead(console.io(), 5).end();
  std::vector<float> values(expected.size());
  for (float& v : values) ListRead(console.io(), 5).reals(&v, 1).end();
  EXPECT_EQ(values, expected);
  EXPECT_EQ(console.input().unaligned_reads(), 0);
}

// A hidden channel (a temporary file nobody sees before it replaces another) is handed whole
// pages by every write but the last; any other, such as a unit's file written in place, whole
// records. The bytes are the same either way.
TEST(FastPaths, AHiddenFileIsWrittenInWholePagesAnyOtherInWholeRecords) {
  std::string expected;
  for (int i = 0; i < 40000; ++i) {
    expected += std::string(static_cast<std::size_t>(i % 61), static_cast<char>('a' + i % 26));
    expected += '\n';
  }
  auto each_record = [&expected](auto put) {
    for (std::size_t at = 0, end = 0; at < expected.size(); at = end + 1) {
      end = expected.find('\n', at);
      put(std::string_view(expected).substr(at, end - at));
    }
  };
  StringChannel hidden;
  {
    TextWriter writer(hidden, true);
    each_record([&writer](std::string_view record) { ASSERT_TRUE(writer.put(record)); });
    ASSERT_TRUE(writer.flush());
  }
  testing::Console console("", false);
  const Format text("(A)");
  each_record([&console, &text](std::string_view record) {
    FormattedWrite(console.io(), 6, text).text(record).end();
  });
  console.io().shutdown();

  for (const StringChannel* channel : {&hidden, &console.output_channel()}) {
    SCOPED_TRACE(channel == &hidden ? "hidden" : "a unit's file");
    EXPECT_EQ(channel->output(), expected);
    const std::vector<std::size_t>& sizes = channel->write_sizes();
    ASSERT_GT(sizes.size(), 3u);
    std::size_t at = 0;
    for (std::size_t k = 0; k + 1 < sizes.size(); ++k) {
      at += sizes[k];
      if (channel == &hidden) {
        EXPECT_EQ(sizes[k] % TextWriter::page_size, 0u) << "write " << k;
      } else {
        EXPECT_EQ(expected[at - 1], '\n') << "write " << k;
      }
    }
  }
}

}  // namespace
}  // namespace record_io
