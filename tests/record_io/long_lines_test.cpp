// Lines longer than the reader's buffer are read in pieces: every statement gives what it
// gives on a short line, and memory stays the buffer's.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "harness.hpp"
#include "record_io/format.hpp"
#include "record_io/formatted_read.hpp"
#include "record_io/list_read.hpp"
#include "record_io/list_write.hpp"
#include "record_io/text_writer.hpp"

namespace record_io {
namespace {

using Five = std::array<float, 5>;
constexpr std::size_t piece = TextReader::transfer_size;  // what the reader's buffer holds

Five read_five(testing::Console& console) {
  Five v{};
  ListRead(console.io(), 5).reals(v.data(), v.size()).end();
  return v;
}

// The blanks that put `at` characters of a line before its next text.
std::string blanks(std::size_t at) {
  return std::string(at, ' ');
}

TEST(LongLine, ValuesAreReadAcrossThePiecesOfALine) {
  const Five expected = {0.1234e-2f, -2.5f, 3e10f, 4, 4};
  const std::string values = ".1234E-02 -2.5,3D10 2*4 5 6";  // 5 and 6 are dropped
  // The line's text starts at every offset around the end of the first piece, so that each
  // kind of item and separator is cut by it, and also far into later pieces.
  for (std::size_t at = piece - 24; at <= piece + 2; ++at) {
    SCOPED_TRACE("values from column " + std::to_string(at));
    testing::Console console(blanks(at) + values + "\n7 8 9 10 11\n");
    EXPECT_EQ(read_five(console), expected);
    EXPECT_EQ(read_five(console), (Five{7, 8, 9, 10, 11}));
  }
  testing::Console far(blanks(5 * piece + 7) + "1 2 3 4 5" + blanks(3 * piece) +
                       "6\n7 8 9 10 11\n");
  EXPECT_EQ(read_five(far), (Five{1, 2, 3, 4, 5}));
  EXPECT_EQ(read_five(far), (Five{7, 8, 9, 10, 11}));
}

TEST(LongLine, ALineEndCutByAPieceIsStillALineEnd) {
  // The carriage return of a CR LF line end falls last in the first piece.
  std::string line = blanks(piece - 6) + "1 2 3";
  line.resize(piece - 1, ' ');
  testing::Console console(line + "\r\n4 5\n6 7 8 9 10\n");
  EXPECT_EQ(read_five(console), (Five{1, 2, 3, 4, 5}));
  EXPECT_EQ(read_five(console), (Five{6, 7, 8, 9, 10}));
  // A carriage return alone there is an ordinary character, where a value is sought.
  testing::Console alone(blanks(piece - 1) + "\r7 8 9 10 11\n");
  EXPECT_EQ(alone.fatal([&] { read_five(alone); }),
            testing::stdin_report("invalid number: incomprehensible list input", "list io"));
}

TEST(LongLine, AValueLongerThanTheBufferIsRefused) {
  const std::string report =
      testing::stdin_report("invalid number: incomprehensible list input", "list io");
  for (const std::string& value :
       {std::string(piece + 10, '1'), "0." + std::string(2 * piece, '0')}) {
    testing::Console console(value + " 2 3 4 5\n");
    EXPECT_EQ(console.fatal([&] { read_five(console); }), report);
  }
}

TEST(LongLine, FormattedFieldsComeFromTheFirstColumns) {
  const Format title("(a80)");
  const Format header("(5X,I6,5X,F7.0)");
  std::string line = "ABTITLE" + std::string(3 * piece, 'x');
  testing::Console console(line + "\nNPTS=  1234, DT= .01000 SEC" + std::string(piece, '#') + "\n" +
                           std::string(2 * piece, ' ') + "\n");
  std::array<char, 78> text{};
  FormattedRead(console.io(), 5, title).text(text.data(), text.size()).end();
  EXPECT_EQ(std::string(text.data(), text.size()), line.substr(2, 78));
  std::int32_t nt = 0;
  float dt = 0;
  FormattedRead(console.io(), 5, header).integer(nt).real(dt).end();
  EXPECT_EQ(nt, 1234);
  EXPECT_EQ(dt, 0.01f);
  FormattedRead(console.io(), 5, header).integer(nt).real(dt).end();  // a line of blanks
  EXPECT_EQ(nt, 0);
  EXPECT_EQ(dt, 0.0f);
  // A field after skipped columns that reach past the first piece.
  testing::Console far(std::string(piece + 10, ' ') + "  42\n");
  FormattedRead(far.io(), 5, Format("(" + std::to_string(piece + 10) + "X,I4)")).integer(nt).end();
  EXPECT_EQ(nt, 42);
}

TEST(LongLine, ANameIsKeptToTheLongestAFileOpensBy) {
  const Format format("(a80)");
  struct Case {
    std::string line;
    std::string kept;  // the name as opened
  };
  const Case cases[] = {
      {"a" + blanks(3 * piece), "a"},  // trailing blanks, however many, are no part of it
      {std::string(max_name_length, 'n'), std::string(max_name_length, 'n')},
      {std::string(max_name_length, 'n') + blanks(piece) + "z",
       std::string(max_name_length, 'n') + "z"},  // longer than any name: refused at open
  };
  for (const Case& c : cases) {
    testing::Console console(c.line + "\n");
    std::string name;
    FormattedRead(console.io(), 5, format).text(name).end();
    std::size_t last = name.find_last_not_of(' ');
    EXPECT_EQ(name.substr(0, last + 1), c.kept);
  }
  testing::Console console;
  ListWrite(console.io(), 6).text("Third Component:").end();
  const std::string too_long(max_name_length + 1, 'n');
  const std::string report =
      console.fatal([&] { console.io().open(11, too_long, OpenStatus::old); });
  EXPECT_EQ(report.substr(0, report.find('\n')),
            std::string("open: ") + std::strerror(ENAMETOOLONG));
}

// Takes `room` bytes, then refuses more with ENOSPC; counts the bytes it is moved back over.
class FillingChannel final : public ByteChannel {
 public:
  explicit FillingChannel(std::size_t room) : room_(room) {}
  long read(char*, std::size_t) override { return 0; }
  std::size_t write(const char* data, std::size_t size) override {
    std::size_t n = std::min(size, room_ - taken_.size());
    taken_.append(data, n);
    if (n < size) errno = ENOSPC;
    return n;
  }
  bool unread(std::size_t n) override {
    taken_.resize(taken_.size() - n);
    return true;
  }
  const std::string& taken() const { return taken_; }

 private:
  std::size_t room_;
  std::string taken_;
};

TEST(FailedWrite, LeavesTheChannelAfterTheLastWholeRecord) {
  for (std::size_t room :
       {std::size_t{0}, std::size_t{3}, std::size_t{4}, std::size_t{5}, std::size_t{6}}) {
    FillingChannel channel(room);
    TextWriter writer(channel);
    writer.put("abc");
    writer.put("de");
    EXPECT_FALSE(writer.flush());
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(channel.taken(), std::string("abc\nde\n").substr(0, room < 4 ? 0 : 4)) << room;
  }
}

}  // namespace
}  // namespace record_io
