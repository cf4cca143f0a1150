// Formatted input on unit 5: name, title and header lines.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include <gtest/gtest.h>

#include "harness.hpp"
#include "record_io/format.hpp"
#include "record_io/formatted_read.hpp"
#include "record_io/list_read.hpp"

namespace record_io {
namespace {

const Format line_format("(a80)");
const Format header_format("(5X,I6,5X,F7.0)");

// Read-chunk sizes: whole input at once, and refills inside every line and line end.
constexpr std::size_t chunks[] = {65536, 1, 2};

std::string read_title(testing::Console& console) {
  char title[78];
  FormattedRead(console.io(), 5, line_format).text(title, sizeof title).end();
  return std::string(title, sizeof title);
}

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

TEST(TitleLine, KeepsColumnsThreeToEighty) {
  struct Case {
    std::string line;  // without its line feed
    std::string title;
  };
  const Case cases[] = {
      {"AB" + std::string(78, 'x'), std::string(78, 'x')},
      {"AB", blanks(78)},
      {"", blanks(78)},
      {"12Title", "Title" + blanks(73)},
      {"12" + std::string(78, 'y') + "cut off", std::string(78, 'y')},
      {"ab\tc\rd", "\tc\rd" + blanks(74)},
      {"abc\r", "c" + blanks(77)},      // CR LF is one line end
      {"abc\r\r", "c\r" + blanks(76)},  // only the CR before the LF belongs to it
      {"\r", blanks(78)},
      {"  \xe9t\xe9", "\xe9t\xe9" + blanks(75)},
      {"12" + std::string(1000, 'z'), std::string(78, 'z')},
  };
  for (std::size_t chunk : chunks) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "chunk " << chunk << ": " << c.line);
      testing::Console console(c.line + "\n..next\n");
      console.input().set_read_chunk(chunk);
      EXPECT_EQ(read_title(console), c.title);
      EXPECT_EQ(read_title(console), "next" + blanks(74));  // the rest of the line was dropped
    }
  }
}

TEST(NameLine, IsTakenWholeIntoAGrowableText) {
  struct Case {
    std::string input;
    std::string name;
  };
  const Case cases[] = {
      {"comp1.txt\n", "comp1.txt" + blanks(71)},
      {"  lead \r\n", "  lead " + blanks(73)},
      {"\n", blanks(80)},
      {std::string(100, 'n') + "\n", std::string(100, 'n')},
      {std::string(85, 'n'), std::string(85, 'n')},  // the last line, long enough
  };
  for (std::size_t chunk : chunks) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "chunk " << chunk << ": " << c.input);
      testing::Console console(c.input);
      console.input().set_read_chunk(chunk);
      std::string name = "old";
      FormattedRead(console.io(), 5, line_format).text(name).end();
      EXPECT_EQ(name, c.name);
    }
  }
}

// A header line written with "|" between its column groups (1-5, 6-11, 12-16, 17-23, rest).
std::string header_line(std::string_view parts) {
  std::string line;
  for (char c : parts) {
    if (c != '|') line += c;
  }
  return line;
}

void read_header(testing::Console& console, std::int32_t& nt, float& dt) {
  FormattedRead(console.io(), 5, header_format).integer(nt).real(dt).end();
}

TEST(HeaderLine, ReadsPointsAndTimeStep) {
  struct Case {
    const char* parts;  // the line without its line feed
    std::int32_t nt;
    float dt;
  };
  const Case cases[] = {
      {"     |  3000|     |  0.005", 3000, 0.005f},
      {"xxxxx|  3000|yyyyy|  0.005| and more", 3000, 0.005f},
      {"     | 3 0 0|     |  1 . 5", 300, 1.5f},  // blanks inside are ignored
      {"     |-   12", -12, 0.0f},
      {"     |999999|     |   -2.5|   ", 999999, -2.5f},
      {"", 0, 0.0f},  // the line end zeroes every later field
      {"     |   100", 100, 0.0f},
      {"     |  3000|     |   .01", 3000, 0.01f},
      {"x,x,x|    12|  ,  |   0.25", 12, 0.25f},  // skipped columns may hold anything
      {"     |12,|ABCDE|  0.25", 12, 0.25f},      // a comma ends the field, later ones shift
      {"     |     1|     |0.5,9", 1, 0.5f},
      {"     |+     |     |      -", 0, 0.0f},    // lone signs
      {"  123|45    |     |   0.01", 45, 0.01f},  // digits left in the skipped columns
      {"     |    12\r", 12, 0.0f},
      {"     |     1|     |      5", 1, 5.0f},  // no point: taken at face value
      {"     |     1|     |   1234", 1, 1234.0f},
      {"     |     1|     |  1.0-3", 1, 0.001f},
      {"     |     1|     | 1.0E-2", 1, 0.01f},
      {"     |     1|     |  2.5d1", 1, 25.0f},
      {"     |     1|     |  1 E 2", 1, 100.0f},
      {"     |     1|     |  1.0+3", 1, 1000.0f},
      {"     |     1|     |     .5", 1, 0.5f},
      {"     |     1|     |  -0.00", 1, 0.0f},
      {"     |     1|     |   1e39", 1, HUGE_VALF},
      {"     |     1|     |  -1d39", 1, -HUGE_VALF},
  };
  for (std::size_t chunk : chunks) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "chunk " << chunk << ": '" << c.parts << "'");
      testing::Console console(header_line(c.parts) + "\n");
      console.input().set_read_chunk(chunk);
      std::int32_t nt = -1;
      float dt = -1;
      read_header(console, nt, dt);
      EXPECT_EQ(nt, c.nt);
      EXPECT_EQ(dt, c.dt);
      EXPECT_EQ(std::signbit(dt), std::signbit(c.dt));
    }
  }
}

// Fw.d: d decimals implied by a field without a point; one with a point is taken as it is.
TEST(RealField, ImpliesItsDecimalsOnlyWithoutAPoint) {
  const Format f52("(F5.2)");
  const std::pair<const char*, float> cases[] = {{"  150", 1.5f},  {" -375", -3.75f},
                                                 {" 15E1", 1.5f},  {" 1.50", 1.5f},
                                                 {"  15.", 15.0f}, {"1.5E1", 15.0f}};
  for (const auto& [field, value] : cases) {
    SCOPED_TRACE(field);
    testing::Console console(std::string(field) + "\n");
    float v = 0;
    FormattedRead(console.io(), 5, f52).real(v).end();
    EXPECT_EQ(v, value);
  }
}

TEST(HeaderLine, RefusesCharactersOutsideANumber) {
  const char* cases[] = {
      "     |  12.5",
      "     |    1a",
      "     |\t    5",
      "     |  +-5",
      "     |    5-",
      "     |  12\r5",
      "     |     1|     |  1.0E",
      "     |     1|     |  1.0E |x",
      "     |     1|     |  1.0-",
      "     |     1|     |  1.2.3",
      "     |     1|     |   1Q5",
      "     |     1|     |  0.01x",
      "     |     1|     | 0.01 x",
      "     |     1|     |   --5",
      "     |     1|     |1.0E2-1",
      "     |     1|     |  1e2.5",
      "     |     1|     |   \t1",
  };
  for (const char* parts : cases) {
    SCOPED_TRACE(parts);
    testing::Console console(header_line(parts) + "\n");
    std::int32_t nt = 0;
    float dt = 0;
    EXPECT_EQ(console.fatal([&] { read_header(console, nt, dt); }),
              testing::stdin_report("fmt: read unexpected character", "(5X,I6,5X,F7.0)"));
  }
}

TEST(FormattedInput, EndsAtTheEndOfTheInput) {
  struct Case {
    std::string input;
    int reads;  // statements that succeed before the failing one
    const char* error;
    const Format* format;  // of the failing statement
  };
  const Case cases[] = {
      {"", 0, "fmt: end of file", &line_format},
      {"abc", 0, "fmt: end of file", &line_format},  // a last line too short for the field
      {"title\n", 1, "fmt: end of file", &line_format},
      {std::string(80, 'x'), 1, "read start: end of file", &line_format},
      {"", 0, "fmt: end of file", &header_format},
      {header_line("     |   100"), 0, "fmt: end of file", &header_format},
      {header_line("     |     1|     |   0.5"), 0, "fmt: end of file", &header_format},
      {header_line("     |   100|     |   0.01"), 1, "read start: end of file", &header_format},
  };
  for (std::size_t chunk : chunks) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "chunk " << chunk << ": '" << c.input << "'");
      testing::Console console(c.input);
      console.input().set_read_chunk(chunk);
      auto read = [&] {
        std::int32_t nt;
        float dt;
        if (c.format == &header_format) {
          read_header(console, nt, dt);
        } else {
          read_title(console);
        }
      };
      for (int i = 0; i < c.reads; ++i) read();
      EXPECT_EQ(console.fatal(read), testing::stdin_report(c.error, c.format->text()));
    }
  }
}

TEST(FormattedInput, AShortLastLineEndsANameRead) {
  testing::Console console("comp1");
  std::string name;
  EXPECT_EQ(console.fatal([&] { FormattedRead(console.io(), 5, line_format).text(name).end(); }),
            testing::stdin_report("fmt: end of file", "(a80)"));
}

TEST(FormattedInput, ListReadAfterTheEndOfAFileWithoutLineFeed) {
  testing::Console console(header_line("     |     5|     |   0.01"));
  std::int32_t nt = 0;
  float dt = 0;
  read_header(console, nt, dt);
  EXPECT_EQ(nt, 5);
  float v[5];
  EXPECT_EQ(console.fatal([&] { ListRead(console.io(), 5).reals(v, 5).end(); }),
            testing::stdin_report("read start: end of file", "list io"));
}

TEST(FormattedInput, MoreItemsThanEditsContinueOnTheNextLine) {
  testing::Console console("  1 99\n  2\n  3\n  5  6\n");
  const Format one("(I3)");
  const Format two("(I3,I3)");
  std::int32_t a = 0, b = 0, c = 0, d = 0;
  FormattedRead(console.io(), 5, one).integer(a).integer(b).end();
  FormattedRead(console.io(), 5, two).integer(c).integer(d).end();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(d, 0);  // the line ended before the second field
  FormattedRead(console.io(), 5, two).integer(c).integer(d).end();
  EXPECT_EQ(c, 5);
  EXPECT_EQ(d, 6);
}

}  // namespace
}  // namespace record_io
