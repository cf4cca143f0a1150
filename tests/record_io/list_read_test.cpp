// List-directed input on unit 5: five reals per statement, as the sample records are read.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.hpp"
#include "record_io/list_read.hpp"

namespace record_io {
namespace {

using Five = std::array<float, 5>;
constexpr float S = -99.0f;  // an element the statement left as it was
constexpr std::size_t chunks[] = {65536, 1, 3};

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
  };
  for (std::size_t chunk : chunks) {
    for (const StatementsCase& c : cases) {
      SCOPED_TRACE(::testing::Message() << "chunk " << chunk << ": " << c.input);
      testing::Console console(c.input);
      console.input().set_read_chunk(chunk);
      for (const Five& expected : c.statements) {
        Five got = read_five(console);
        EXPECT_EQ(got, expected);
        for (float v : got) EXPECT_TRUE(v != 0 || !std::signbit(v));
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
  };
  for (std::size_t chunk : chunks) {
    for (const FailureCase& c : cases) {
      SCOPED_TRACE(::testing::Message() << "chunk " << chunk << ": " << c.input);
      testing::Console console(c.input);
      console.input().set_read_chunk(chunk);
      for (int i = 0; i < c.statements; ++i) read_five(console);
      EXPECT_EQ(console.fatal([&] { read_five(console); }),
                testing::stdin_report(c.error, "list io"));
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
