// List-directed input on unit 5: five reals per statement, as the sample records are read.
#include <array>
#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.hpp"
#include "record_io/format.hpp"
#include "record_io/formatted_read.hpp"
#include "record_io/list_read.hpp"

namespace record_io {
namespace {

using Five = std::array<float, 5>;
constexpr float S = -99.0f;  // an element the statement left as it was
constexpr std::size_t chunks[] = {65536, 1, 3};

// The first statement on a unit reads its lines from the channel, a line at a time; once the
// input is buffered, statements take their values straight from the whole lines buffered. So
// every case runs as it stands and after a first line of its own.
std::string after_a_line(const std::string& input, bool first_line) {
  return first_line ? "0\n" + input : input;
}

void start(testing::Console& console, std::size_t chunk, bool first_line) {
  console.input().set_read_chunk(chunk);
  if (first_line) ListRead(console.io(), 5).end();
}

Five read_five(testing::Console& console) {
  Five v;
  v.fill(S);
  ListRead(console.io(), 5).reals(v.data(), v.size()).end();
  return v;
}

struct StatementsCase {
  std::string input;
  std::vector<Five> statements;  // what each statement in turn leaves in its five elements
};

TEST(ListInput, ReadsFiveValuesPerStatement) {
  const StatementsCase cases[] = {
      {"1 2 3 4 5\n6 7 8 9 10\n", {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
      {"1 2 3 4 5 6\n7 8 9 10 11\n", {{1, 2, 3, 4, 5}, {7, 8, 9, 10, 11}}},  // sixth ignored
      {"1 2 3\n4 5 6\n7 8 9 10 11\n", {{1, 2, 3, 4, 5}, {7, 8, 9, 10, 11}}},
      {"\n  \t\n1\n\n2 3\n 4\t5\n", {{1, 2, 3, 4, 5}}},  // blank lines and tabs skipped
      {"1,2 ,3\t, 4 ,5\n", {{1, 2, 3, 4, 5}}},
      {"1,,3 4 5\n", {{1, S, 3, 4, 5}}},
      {"1,,,4 5\n", {{1, S, S, 4, 5}}},
      {",2 3 4 5\n", {{S, 2, 3, 4, 5}}},
      {"1\n,3 4 5 6\n", {{1, S, 3, 4, 5}}},  // a comma starting the next line
      {"1, ,3 4 5\n", {{1, S, 3, 4, 5}}},
      {"+,2 3 4 5\n", {{S, 2, 3, 4, 5}}},  // a lone sign before a comma
      {"1 2 /\n6 7 8 9 10\n", {{1, 2, S, S, S}, {6, 7, 8, 9, 10}}},
      {"/ 1 2 3 4 5\n6 7 8 9 10\n", {{S, S, S, S, S}, {6, 7, 8, 9, 10}}},
      {"1,/\n", {{1, S, S, S, S}}},
      {"2*0.5 3*7\n", {{0.5f, 0.5f, 7, 7, 7}}},
      {"3* 4 5\n", {{S, S, S, 4, 5}}},
      {"1 2*,4 5\n", {{1, S, S, 4, 5}}},
      {"4*1 3*2 9\n6 7 8 9 10\n", {{1, 1, 1, 1, 2}, {6, 7, 8, 9, 10}}},  // the rest dropped
      {"9*1\n2 3 4 5 6\n", {{1, 1, 1, 1, 1}, {2, 3, 4, 5, 6}}},
      {"1 2 3 4 5 abc\n", {{1, 2, 3, 4, 5}}},  // text after the fifth value is never read
      {"1 2 3 4 5/\n", {{1, 2, 3, 4, 5}}},
      {".1234E-02-.5678E-02 1.2.3 5\n", {{0.1234e-2f, -0.5678e-2f, 1.2f, 0.3f, 5}}},
      {"1 2 3 4 5\r\n6 7 8 9 10\r\n", {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
      {"1 2 3 4 5\r\r\n6 7 8 9 10\r\n", {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
      {"1 2 3 4 5\r6\n7 8 9 10 11", {{1, 2, 3, 4, 5}, {7, 8, 9, 10, 11}}},  // no final LF
      {"1" + std::string(600, ' ') + "2 3 4 5 " + std::string(600, '9') + "\n6 7 8 9 10\n",
       {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
      {"-0 0.0 1e39 -1e39 1.0-3\n", {{0, 0, HUGE_VALF, -HUGE_VALF, 0.001f}}},
      // Signs; exponents of a letter, a sign and two digits, and of the other forms.
      {"+2.5 -1.5 +.25 -.5 -2\n", {{2.5f, -1.5f, 0.25f, -0.5f, -2}}},
      {"1E+02 1e-02 1D+12 1d-12 -2.5E+10\n", {{100, 0.01f, 1e12f, 1e-12f, -2.5e10f}}},
      {"5e2 5D-1 5-1 5+1 2.5d12\n", {{500, 0.5f, 0.5f, 50, 2.5e12f}}},
      // The records' own field, and next to it shapes that other paths read.
      {".1234567E+0 .1234567E+012 .1234567D-01 -.1234567E-15 .1234567E-16\n",
       {{0.1234567f, 0.1234567e12f, 0.1234567e-1f, -0.1234567e-15f, 0.1234567e-16f}}},
      {"1 2 /1234567E+01 5\n", {{1, 2, S, S, S}}},
      {"-.1234567E+01/ 2\n.1234567E+01,.1234567E-01,,3 4\n",
       {{-1.234567f, S, S, S, S}, {1.234567f, 0.01234567f, S, 3, 4}}},
      {"1 5E+012 1.5E-019 1e-22 1E+23\n", {{1, 5e12f, 1.5e-19f, 1e-22f, 1e23f}}},
      // Exponents that only look like the usual one: what ends the value is dropped with the
      // rest of the line.
      {"1 2 3 4 5E+0:\n", {{1, 2, 3, 4, 5}}},
      {"1 2 3 4 5E+1/\n", {{1, 2, 3, 4, 50}}},
      {"1 2 3 4 5F+01\n", {{1, 2, 3, 4, 5}}},
      {"1 2 3 4 5f2\n", {{1, 2, 3, 4, 5}}},
      // Runs of digits that fill a word, or end within one at a character just past '9'.
      {"12345678 -87654321 1234567.8 1.23456789 1234567:9\n",
       {{12345678, -87654321.0f, 1234567.8f, 1.23456789f, 1234567}}},
  };
  for (std::size_t chunk : chunks) {
    for (bool first_line : {false, true}) {
      for (const StatementsCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "chunk " << chunk << (first_line ? " after a line: " : ": ") << c.input);
        testing::Console console(after_a_line(c.input, first_line));
        start(console, chunk, first_line);
        for (const Five& expected : c.statements) {
          Five got = read_five(console);
          EXPECT_EQ(got, expected);
          for (float v : got) EXPECT_TRUE(v != 0 || !std::signbit(v));
        }
      }
    }
  }
}

struct FailureCase {
  std::string input;
  int statements;  // that succeed before the failing one
  const char* error;
};

TEST(ListInput, ReportsEveryFailure) {
  const char* invalid = "invalid number: incomprehensible list input";
  const char* exponent = "exponent field: incomprehensible list input";
  const char* count = "bad repetition count: incomprehensible list input";
  const FailureCase cases[] = {
      {"", 0, "list in: end of file"},
      {"1 2 3", 0, "list in: end of file"},
      {"1 2 3\n", 0, "list in: end of file"},
      {"1 2 3\n\n  \n", 0, "list in: end of file"},
      {"1 2 3 4 5\n", 1, "list in: end of file"},  // the next statement starts at the end
      {"1 2 3 4 5", 1, "read start: end of file"},
      {"1 2 3 4 5 6", 1, "read start: end of file"},
      {"abc\n", 0, invalid},
      {"1 2 abc 4 5\n", 0, invalid},
      {"1 2 3 4 abc 5\n", 0, invalid},  // text before the fifth value
      {"1 2\r 3 4 5\n", 0, invalid},    // a CR where a value is sought
      {"1 2 3 4\r\r\n5\n", 0, invalid},
      {"1 + 3 4 5\n", 0, invalid},
      {"1 . 3 4 5\n", 0, invalid},
      {"1 2 3 4 2*", 0, invalid},  // r* at the end of the input
      {"2*+ 3 4 5\n", 0, invalid},
      {"2*x 3 4 5\n", 0, invalid},
      {"1q5 2 3 4 5\n", 0, invalid},
      {"1e 2 3 4 5\n", 0, exponent},
      {"1 2 3 4 5d+\n", 0, exponent},
      {"1 2 3 4 1e100000000\n", 0, exponent},
      {"1 2 3 4 5+x\n", 0, exponent},
      {"-2*1 2 3 4 5\n", 0, count},
      {"0*1 2 3 4 5\n", 0, count},
      {"1 *2 3 4 5\n", 0, count},
      {"1 2 3 4 " + std::string(41, '9') + "*1\n", 0, count},
      {"1 2 3 4 5\nx\n", 1, invalid},
      {"1 2 3 4 5E,01\n", 0, exponent},
      {"1 2 3 4 5E+:1\n", 0, exponent},
      // Bytes one bit away from a blank or a tab, after blanks and tabs that fill a word.
      {"1 2 3 4\t \t \t \t \xA0 5 6 7 8\n", 0, invalid},
      {"1 2 3 4\t \t \t \t \x89 5 6 7 8\n", 0, invalid},
  };
  for (std::size_t chunk : chunks) {
    for (bool first_line : {false, true}) {
      for (const FailureCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "chunk " << chunk << (first_line ? " after a line: " : ": ") << c.input);
        testing::Console console(after_a_line(c.input, first_line));
        start(console, chunk, first_line);
        for (int i = 0; i < c.statements; ++i) read_five(console);
        EXPECT_EQ(console.fatal([&] { read_five(console); }),
                  testing::stdin_report(c.error, "list io"));
      }
    }
  }
}

// A value in one of the forms a list item may take: sign, whole digits, point, decimals
// (now and then more than fit 64 bits), an exponent with a letter or a bare sign.
std::string random_value(std::mt19937& rng) {
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto digits = [&](int n) {
    std::string d;
    for (int i = 0; i < n; ++i) d += static_cast<char>('0' + pick(10));
    return d;
  };
  const char* signs[] = {"", "", "-", "+"};
  std::string v = signs[pick(4)];
  int whole = pick(8) == 0 ? 8 + pick(14) : pick(3);
  int decimals = pick(8) == 0 ? 8 + pick(14) : pick(9);
  v += digits(whole);
  if (whole == 0 || pick(2) == 0) v += '.' + digits(whole == 0 ? 1 + decimals : decimals);
  const char* exponents[] = {"", "", "E-", "E+", "e", "D-", "d+", "-", "+"};
  std::string e = exponents[pick(9)];
  if (!e.empty()) v += e + digits(pick(8) == 0 ? 5 : 1 + pick(3));
  return v;
}

// Lines of items: mostly values, now and then a null, a repetition, a slash or something
// that is no number, between blanks, tabs, commas, blank lines and CR LF line ends.
std::string random_list_text(std::mt19937& rng) {
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const char* separators[] = {" ", "  ", "   ", "\t", " , ", ","};
  std::string text;
  for (int line = 0, lines = 2 + pick(30); line < lines; ++line) {
    for (int item = 0, items = 1 + pick(7); item < items; ++item) {
      text += separators[pick(6)];
      switch (pick(40)) {
        case 0:
          text += ",";
          break;
        case 1:
          text += std::to_string(1 + pick(4)) + "*" + random_value(rng);
          break;
        case 2:
          text += std::to_string(1 + pick(4)) + "*";
          break;
        case 3:
          text += pick(4) == 0 ? "/" : "1.2.3";
          break;
        case 4:
          text += pick(8) == 0 ? "x" : "";
          break;
        default:
          text += random_value(rng);
      }
    }
    text += pick(4) == 0 ? "\r\n" : pick(10) == 0 ? "\n\n" : "\n";
  }
  return text;
}

// Statements of five values read to the end of the input, as their bits, then the report
// that ended the run.
std::string read_to_the_end(const std::string& text, std::size_t chunk) {
  testing::Console console(text);
  console.input().set_read_chunk(chunk);
  std::string values;
  std::string report = console.fatal([&] {
    for (;;) {
      for (float v : read_five(console))
        values += std::to_string(std::bit_cast<std::uint32_t>(v)) + ' ';
      values += '\n';
    }
  });
  return values + report;
}

// Read in one piece, statements take their values straight from the lines buffered; a byte
// or a few at a time, mostly a line at a time. Both read the same.
TEST(ListInput, ReadsTheSameWhateverPiecesTheInputComesIn) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::string text = random_list_text(rng);
    std::string whole = read_to_the_end(text, 65536);
    ASSERT_EQ(read_to_the_end(text, 1), whole) << text;
    ASSERT_EQ(read_to_the_end(text, 7), whole) << text;
  }
}

// The separator after the last value of one item list belongs to it, not to the next.
TEST(ListInput, ReadsOnAcrossTheItemListsOfAStatement) {
  for (std::size_t chunk : chunks) {
    SCOPED_TRACE(chunk);
    testing::Console console("0\n1, 2 ,,4\n");
    console.input().set_read_chunk(chunk);
    ListRead(console.io(), 5).end();  // the first line, so that the next is buffered whole
    float v[4] = {S, S, S, S};
    ListRead(console.io(), 5).reals(v, 1).reals(v + 1, 1).reals(v + 2, 2).end();
    EXPECT_EQ((std::array<float, 4>{1, 2, S, 4}), (std::array<float, 4>{v[0], v[1], v[2], v[3]}));
  }
}

// A statement takes the rest of its last line with it, line end and all: a formatted read
// after it reads the next line, whether the statement ended at the line end or before it.
TEST(ListInput, TakesTheRestOfItsLastLine) {
  const Format line_format("(a4)");
  for (std::size_t chunk : chunks) {
    for (const char* eol : {"\n", "\r\n"}) {
      SCOPED_TRACE(::testing::Message() << "chunk " << chunk << (eol[0] == '\r' ? " CR LF" : ""));
      testing::Console console("0\n1 2 3 4 5" + std::string(eol) + "next\n6 7 8 9 10 11" + eol +
                               "last\n");
      start(console, chunk, true);
      std::string next, last;
      read_five(console);
      FormattedRead(console.io(), 5, line_format).text(next).end();
      read_five(console);
      FormattedRead(console.io(), 5, line_format).text(last).end();
      EXPECT_EQ(next + last, "nextlast");
    }
  }
}

TEST(ListInput, AStatementMayReadFewerElements) {
  testing::Console console("1 2 3 4\n5 6\n");
  float v[3] = {S, S, S};
  ListRead(console.io(), 5).reals(v, 3).end();
  EXPECT_EQ(v[2], 3.0f);
  ListRead(console.io(), 5).reals(v, 1).end();
  EXPECT_EQ(v[0], 5.0f);
}

}  // namespace
}  // namespace record_io
