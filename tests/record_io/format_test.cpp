// Parsing format texts into edit descriptors.
#include <string>

#include <gtest/gtest.h>

#include "format_internals.hpp"
#include "harness.hpp"
#include "record_io/format.hpp"
#include "record_io/formatted_read.hpp"

namespace record_io {
namespace {

using detail::Edit;
using Internals = detail::FormatInternals;

// The edits as "X5 I6 X5 F7.0", literals quoted with apostrophes.
std::string describe(const Format& f) {
  std::string out;
  for (const Edit& e : Internals::edits(f)) {
    if (!out.empty()) out += ' ';
    switch (e.kind) {
      case Edit::Kind::text:
        out += "A" + std::to_string(e.width);
        break;
      case Edit::Kind::integer:
        out += "I" + std::to_string(e.width);
        break;
      case Edit::Kind::real:
        out += "F" + std::to_string(e.width) + "." + std::to_string(e.decimals);
        break;
      case Edit::Kind::skip:
        out += "X" + std::to_string(e.width);
        break;
      case Edit::Kind::literal:
        out += "'" + std::string(Internals::literal(f, e)) + "'";
        break;
    }
  }
  return out;
}

TEST(Format, ParsesTheProgramsFormats) {
  Format line("(a80)");
  ASSERT_TRUE(line.valid());
  EXPECT_EQ(describe(line), "A80");

  Format header("(5X,I6,5X,F7.0)");
  ASSERT_TRUE(header.valid());
  EXPECT_EQ(describe(header), "X5 I6 X5 F7.0");

  Format combined("(F7.3,3(\x02,\x02,F10.3))");
  ASSERT_TRUE(combined.valid());
  EXPECT_EQ(describe(combined), "F7.3 ',' F10.3 ',' F10.3 ',' F10.3");
  EXPECT_EQ(combined.text(), "(F7.3,3(\x02,\x02,F10.3))");
  EXPECT_EQ(Internals::reversion(combined), 1u);
}

TEST(Format, ParsesCaseBlanksLiteralsAndGroups) {
  struct Case {
    const char* text;
    const char* edits;
    std::size_t reversion;
  };
  const Case cases[] = {
      {"(f7.3, 3 ( ',' , f 1 0 . 3 ) )", "F7.3 ',' F10.3 ',' F10.3 ',' F10.3", 1},
      {"( 5x , i6 , A )", "X5 I6 A0", 0},
      {"(X,3A2,I4.2)", "X1 A2 A2 A2 I4", 0},
      {"('it''s',\"a\"\"b\",'x\"y',\x02q\x02)", "'it's' 'a\"b' 'x\"y' 'q'", 0},
      {"('a,(b)')", "'a,(b)'", 0},
      {"(2(I2,2(F3.1)))", "I2 F3.1 F3.1 I2 F3.1 F3.1", 0},
      {"(I2,(F3.1,I1))", "I2 F3.1 I1", 1},
      {"(2(I1),3(F3.1))", "I1 I1 F3.1 F3.1 F3.1", 2},
      {"(I1,2(I2,(I3)),I4)", "I1 I2 I3 I2 I3 I4", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Format f(c.text);
    ASSERT_TRUE(f.valid());
    EXPECT_EQ(describe(f), c.edits);
    EXPECT_EQ(Internals::reversion(f), c.reversion);
  }
  EXPECT_TRUE(Internals::has_data_edit(Format("(I2,'a')")));
  Format literal_only("('abc')");
  EXPECT_TRUE(literal_only.valid());
  EXPECT_FALSE(Internals::has_data_edit(literal_only));
}

TEST(Format, RejectsMalformedTexts) {
  for (const char* text :
       {"",
        "a80",
        "(a80",
        "(a80))",
        "(F7)",
        "(F.3)",
        "(F7.)",
        "(I)",
        "(0X)",
        "(3)",
        "(I6,3)",
        "('abc)",
        "(2'ab')",
        "(Q5)",
        "(I6) x",
        "(0(I2))",
        "(F7.3,3(',',F10.3)",
        "(F7,3)",
        "I2)",
        "(1000(1000I1))",
        "(((((((((((((((((((((((((((((((((((I1)))))))))))))))))))))))))))))))))))",
        "(A20000001X)",
        "(A2000000)",
        "(20000001X)",
        "(F7.20000001X)",
        "(I2.20000001X)"}) {
    SCOPED_TRACE(text);
    Format f(text);
    EXPECT_FALSE(f.valid());
    EXPECT_TRUE(Internals::edits(f).empty());
  }
}

TEST(Format, AStatementUnderAMalformedFormatFails) {
  Format bad("(I6");
  testing::Console console("12\n");
  std::int32_t n = 0;
  EXPECT_EQ(console.fatal([&] { FormattedRead(console.io(), 5, bad).integer(n).end(); }),
            testing::stdin_report("fmt: error in format", "(I6"));
}

}  // namespace
}  // namespace record_io
