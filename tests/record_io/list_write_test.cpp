// List-directed console records on unit 6.
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "harness.hpp"
#include "record_io/list_write.hpp"

namespace record_io {
namespace {

class ListRecords : public ::testing::Test {
 protected:
  ListWrite write() { return ListWrite(console.io(), 6); }
  testing::Console console;
};

std::string chars(std::size_t n, char c = 'x') {
  return std::string(n, c);
}

TEST_F(ListRecords, AStatementWithoutItemsWritesAnEmptyRecord) {
  write().end();
  write().text("First Component:").end();
  write().end();
  EXPECT_EQ(console.output(), "\n First Component:\n\n");
}

TEST_F(ListRecords, TextIsWrittenAsStored) {
  std::string title = "  Title\twith tab" + chars(62, ' ');
  ASSERT_EQ(title.size(), 78u);
  write().text(title).end();
  write().text("ab").text("cd").text("").end();
  EXPECT_EQ(console.output(), " " + title + "\n abcd\n");
}

TEST_F(ListRecords, WritesTheHeaderEcho) {
  write().text("Number of Points & Dt (s) =").integer(3000).real(0.01f).end();
  write().text("Number of Points & Dt (s) =").integer(0).real(0.0f).end();
  write().text("Number of Points & Dt (s) =").integer(-5).real(-0.01f).end();
  write().integer(std::numeric_limits<std::int32_t>::min()).integer(7).real(1.0f).end();
  EXPECT_EQ(console.output(),
            " Number of Points & Dt (s) = 3000  0.00999999978\n"
            " Number of Points & Dt (s) = 0  0.\n"
            " Number of Points & Dt (s) = -5 -0.00999999978\n"
            " -2147483648 7  1.\n");
}

// p characters already in the record, then an item: a new record starts when it would
// reach column 80 (text: p + length, integer: p + digits, real: p + its whole text).
TEST(ListRecordLength, AnItemThatWouldReachColumnEightyStartsANewRecord) {
  struct Case {
    std::size_t first;  // a text item of this length starts the record: p = first + 1
    char kind;          // 't': a text of `length` y's, 'i': `integer`, 'r': the real 0.01
    std::size_t length;
    std::int32_t integer;
    const char* rest;  // what follows the first item
  };
  const Case cases[] = {
      {70, 't', 8, 0, "yyyyyyyy\n"},           // p + L = 79
      {70, 't', 9, 0, "\n yyyyyyyyy\n"},       // p + L = 80
      {77, 'i', 0, 5, " 5\n"},                 // p + d = 79, the blank not counted
      {77, 'i', 0, 10, "\n 10\n"},             // p + d = 80
      {76, 'i', 0, -10, " -10\n"},             // nor the sign
      {78, 'i', 0, 5, "\n 5\n"},               // p + d = 80
      {63, 'r', 0, 0, "  0.00999999978\n"},    // p + R = 79
      {64, 'r', 0, 0, "\n  0.00999999978\n"},  // p + R = 80
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.first << c.kind << c.integer);
    testing::Console console;
    ListWrite w(console.io(), 6);
    w.text(chars(c.first));
    if (c.kind == 't') w.text(chars(c.length, 'y'));
    if (c.kind == 'i') w.integer(c.integer);
    if (c.kind == 'r') w.real(0.01f);
    w.end();
    EXPECT_EQ(console.output(), " " + chars(c.first) + c.rest);
  }
}

TEST_F(ListRecords, LongTextStandsAloneAndIsNeverSplit) {
  write().text(chars(79)).end();                         // 80 columns, one record
  write().text("abc").text(chars(85)).integer(1).end();  // 85 chars on a record of its own
  write().text(chars(90)).end();
  EXPECT_EQ(console.output(),
            " " + chars(79) + "\n abc\n " + chars(85) + "\n 1\n " + chars(90) + "\n");
}

}  // namespace
}  // namespace record_io
