// The fuzz targets judge the readers by the model, so the model is checked here against
// hand-worked cases of the record rules.
#include "record_model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float fill = 0.25f;
constexpr float inf = std::numeric_limits<float>::infinity();
const std::string eof = "end of file";
const std::string unexpected = "read unexpected character";
const std::string incomprehensible = "incomprehensible list input";

std::string ending_text(const model::Ending& e) {
  switch (e.kind) {
    case model::Ending::completed:
      return "completed";
    case model::Ending::failed:
      return e.error_line();
    case model::Ending::unspecified:
      return "open";
  }
  return "?";
}

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

// A header record: columns 1-5 blank, the count field (columns 6-11), columns 12-16 blank,
// then the time step field from column 17.
std::string columns(const std::string& count, const std::string& step) {
  return blanks(5) + count + blanks(5) + step;
}

struct HeaderCase {
  const char* name;
  std::string line;  // the header record, line end included
  std::string ending;
  std::int32_t nt;
  float dt;
};

TEST(RecordModel, HeaderRecord) {
  const std::string ok = "completed";
  const HeaderCase cases[] = {
      {"usual header", "NPTS=  3000, DT= .01000 SEC\n", ok, 3000, 0.01f},
      {"blanks inside the fields", columns("1 2 3 ", "1 . 5") + "\n", ok, 123, 1.5f},
      {"cut after column 11", "     123456\n", ok, 123456, 0},
      {"empty line", "\n", ok, 0, 0},
      {"comma ends the count early", "     12,xxxxx2.5\n", ok, 12, 2.5f},
      {"time step without a point", columns("    10", "      5") + "\n", ok, 10, 5},
      {"bare exponent sign", columns("    10", "  1.0-3") + "\n", ok, 10, 0.001f},
      {"exponent letter D", columns("    10", "  25D-1") + "\n", ok, 10, 2.5f},
      {"count starting before column 6", "   1234     \n", ok, 34, 0},
      {"lone sign as the count", "     -          \n", ok, 0, 0},
      {"negative count", "     -99999\n", ok, -99999, 0},
      {"carriage return before the line feed", columns("    10", "    0.5") + "\r\n", ok, 10, 0.5f},
      {"huge exponent", columns("     1", "1.0E+99") + "\n", ok, 1, inf},
      {"tiny exponent", columns("     1", "1.0E-99") + "\n", ok, 1, 0},
      {"point in the count", "     1.5\n", "fmt: " + unexpected, 0, 0},
      {"tab in the count", "     1\t5\n", "fmt: " + unexpected, 0, 0},
      {"second sign in the count", "     +-5\n", "fmt: " + unexpected, 0, 0},
      {"text reaching into the time step", columns("   100", "0.005SEC") + "\n",
       "fmt: " + unexpected, 0, 0},
      {"exponent letter without digits", columns("    10", "   1.0E") + "\n", "fmt: " + unexpected,
       0, 0},
      {"q is no exponent letter", columns("    10", "  1.0Q2") + "\n", "fmt: " + unexpected, 0, 0},
      {"second point", columns("    10", "  1.2.3") + "\n", "fmt: " + unexpected, 0, 0},
      {"carriage return inside the time step", columns("    10", "  1.5") + "\r\r\n",
       "fmt: " + unexpected, 0, 0},
      {"file ends inside the count", "     12", "fmt: " + eof, 0, 0},
      {"file ends inside the time step", columns("    12", "  1."), "fmt: " + eof, 0, 0},
      {"no header record", "", "fmt: " + eof, 0, 0},
      {"bad character and the end of the file in one field", "     1x", "open", 0, 0},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    model::TextFile file(c.line);
    std::int32_t nt = 0;
    float dt = 0;
    model::Ending e = model::read_header(file, nt, dt);
    EXPECT_EQ(ending_text(e), c.ending);
    if (e.kind == model::Ending::completed) {
      EXPECT_EQ(nt, c.nt);
      EXPECT_EQ(dt, c.dt);
    }
  }
}

TEST(RecordModel, TitleRecords) {
  const std::string bytes = "AB\nABCDEF\r\n" + std::string(85, 'x') + "\n" + std::string(80, 'y');
  model::TextFile file(bytes);
  std::string title;
  ASSERT_EQ(model::read_title(file, title).kind, model::Ending::completed);
  EXPECT_EQ(title, blanks(78));
  ASSERT_EQ(model::read_title(file, title).kind, model::Ending::completed);
  EXPECT_EQ(title, "CDEF" + blanks(74));
  ASSERT_EQ(model::read_title(file, title).kind, model::Ending::completed);
  EXPECT_EQ(title, std::string(78, 'x'));
  // A last line without line feed, long enough for the field: read, and the file is at
  // its end for the next statement.
  ASSERT_EQ(model::read_title(file, title).kind, model::Ending::completed);
  EXPECT_EQ(title, std::string(78, 'y'));
  EXPECT_EQ(ending_text(model::read_title(file, title)), "read start: " + eof);

  model::TextFile short_last("title");
  EXPECT_EQ(ending_text(model::read_title(short_last, title)), "fmt: " + eof);
}

struct ListCase {
  const char* name;
  std::string data;
  std::string ending;
  std::vector<float> values;  // after the statement of five values (fill: kept)
};

TEST(RecordModel, ListStatement) {
  const std::string ok = "completed";
  const ListCase cases[] = {
      {"five values", "1 2 3 4 5\n", ok, {1, 2, 3, 4, 5}},
      {"sixth value ignored", "1 2 3 4 5 6\n", ok, {1, 2, 3, 4, 5}},
      {"across lines", "1 2 3\n\n  4 5 6\n", ok, {1, 2, 3, 4, 5}},
      {"repetition", "2*0.5 3 4 5\n", ok, {0.5f, 0.5f, 3, 4, 5}},
      {"repetition past the fifth", "3*1 3*2 9\n", ok, {1, 1, 1, 2, 2}},
      {"repeated nulls", "2* 3 4 5\n", ok, {fill, fill, 3, 4, 5}},
      {"two commas", "1,,3,4,5\n", ok, {1, fill, 3, 4, 5}},
      {"comma first", ",2,3,4,5\n", ok, {fill, 2, 3, 4, 5}},
      {"comma starting the next line", "1 2\n,4 5\n", ok, {1, 2, fill, 4, 5}},
      {"slash", "1 2 /\n", ok, {1, 2, fill, fill, fill}},
      {"lone sign and point", "1,-,.,4,5\n", ok, {1, fill, fill, 4, 5}},
      {"values without separators",
       ".1234E-02-.5678E-02 1 2 3\n",
       ok,
       {0.1234e-2f, -0.5678e-2f, 1, 2, 3}},
      {"second point starts a value", "1.2.3 4 5 6\n", ok, {1.2f, 0.3f, 4, 5, 6}},
      {"exponent forms", "1.5d2 1.5D-1 2.5e1 2.5E+1 1.5+2\n", ok, {150, 0.15f, 25, 25, 150}},
      {"text after the fifth value", "1 2 3 4 5 junk\n", ok, {1, 2, 3, 4, 5}},
      {"carriage returns after the fifth", "1 2 3 4 5\r\r\n", ok, {1, 2, 3, 4, 5}},
      {"leading zeros are not significant",
       "0." + std::string(60, '0') + "1e70 " + std::string(50, '0') + "2 3 4 5\n",
       ok,
       {1e9f, 2, 3, 4, 5}},
      {"beyond single range", "1e39 -1e39 1e99999999 1e-99999999 5\n", ok, {inf, -inf, inf, 0, 5}},
      {"text before the fifth", "1 2 junk\n", "invalid number: " + incomprehensible, {}},
      {"carriage return where a value is sought",
       "1 2\r\r\n3 4 5\n",
       "invalid number: " + incomprehensible,
       {}},
      {"lone point before a blank", "1 . 3 4 5\n", "invalid number: " + incomprehensible, {}},
      {"q is no exponent letter", "1.5q3 2 3 4 5\n", "invalid number: " + incomprehensible, {}},
      {"exponent letter without digits", "1 2 3E 4 5\n", "exponent field: " + incomprehensible, {}},
      {"exponent sign without digits", "1 2 3e+ 4 5\n", "exponent field: " + incomprehensible, {}},
      {"exponent too large", "1e100000000\n", "exponent field: " + incomprehensible, {}},
      {"count of zero", "0*1 2 3 4 5\n", "bad repetition count: " + incomprehensible, {}},
      {"negative count", "-2*1 3 4 5\n", "bad repetition count: " + incomprehensible, {}},
      {"count of 41 digits",
       std::string(41, '1') + "*1\n",
       "bad repetition count: " + incomprehensible,
       {}},
      {"count of 40 digits", std::string(40, '1') + "*7\n", ok, {7, 7, 7, 7, 7}},
      {"file ends while a value is sought", "1 2 3\n", "list in: " + eof, {}},
      {"file ends without line feed", "1 2 3", "list in: " + eof, {}},
      {"lone sign at the end of the file", "1 2 -", "open", {}},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.name);
    model::TextFile file(c.data);
    std::vector<float> v(5, fill);
    model::Ending e = model::read_list(file, v.data(), v.size());
    EXPECT_EQ(ending_text(e), c.ending);
    if (e.kind == model::Ending::completed) {
      EXPECT_EQ(v, c.values);
    }
  }
}

TEST(RecordModel, ZeroIsPositive) {
  model::TextFile file("-0.0 -0 -.0e5 +0 -1e-50\n");
  std::vector<float> v(5, fill);
  ASSERT_EQ(model::read_list(file, v.data(), v.size()).kind, model::Ending::completed);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_FALSE(std::signbit(v[i])) << i;
  EXPECT_TRUE(std::signbit(v[4]));  // not a zero as written: rounds to -0.0
}

TEST(RecordModel, StatementsRunOnFromLineToLine) {
  model::TextFile file("1 2 3 4 5 6\n7 8 9 10 11");
  std::vector<float> v(10, fill);
  ASSERT_EQ(model::read_list(file, v.data(), 5).kind, model::Ending::completed);
  ASSERT_EQ(model::read_list(file, v.data() + 5, 5).kind, model::Ending::completed);
  EXPECT_EQ(v, (std::vector<float>{1, 2, 3, 4, 5, 7, 8, 9, 10, 11}));
  EXPECT_EQ(ending_text(model::read_list(file, v.data(), 5)), "read start: " + eof);
}

TEST(RecordModel, StatementLengths) {
  using V = std::vector<std::size_t>;
  auto lengths = [](std::int32_t nt) {
    V all;
    for (std::size_t at = 0, n; (n = model::statement_length(nt, at)) > 0; at += n) {
      all.push_back(n);
    }
    return all;
  };
  EXPECT_EQ(lengths(100), V(20, 5));
  EXPECT_EQ(lengths(12), (V{5, 5, 2}));
  EXPECT_EQ(lengths(6), (V{5, 1}));
  EXPECT_EQ(lengths(1), V{1});
  EXPECT_EQ(lengths(0), V{});
  EXPECT_EQ(lengths(-9), V{});
}

TEST(RecordModel, WholeComponentReadsEveryPoint) {
  std::string file = "t1\nt2\nt3\n     7     0.01\n1 2 3 4 5 99\n6 7\n";
  model::Component c = model::read_component(file, fill);
  ASSERT_EQ(ending_text(c.ending), "completed");
  EXPECT_EQ(c.nt, 7);
  EXPECT_EQ(c.samples, (std::vector<float>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(RecordModel, RealItemText) {
  EXPECT_EQ(model::real_item(0.01f), "  0.00999999978");
  EXPECT_EQ(model::real_item(1.0f), "  1.");
  EXPECT_EQ(model::real_item(100.0f), "  100.");
  EXPECT_EQ(model::real_item(-0.0f), "  0.");
  EXPECT_EQ(model::real_item(-0.01f), " -0.00999999978");
  EXPECT_EQ(model::real_item(1.0e-6f), "  9.99999997E-07");
}

}  // namespace
