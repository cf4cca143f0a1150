// A whole record: titles, header and values written in the merge's layout, the values read
// back with the merge's own list-directed statements, and the records refused.
#include "record.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.hpp"
#include "record_io/list_read.hpp"
#include "record_io/text_reader.hpp"

namespace normalize {
namespace {

const std::string kTitles = "TITLE ONE\nTITLE TWO\nTITLE THREE\n";

struct Normalized {
  RecordResult result;
  std::string text;
};

Normalized normalize_text(const std::string& input, bool crlf = false) {
  record_io::StringChannel in(input);
  in.set_read_chunk(7);  // lines and values across buffer refills
  record_io::StringChannel out;
  out.set_crlf(crlf);
  Normalized n{normalize_record(in, &out), {}};
  n.text = out.output();
  return n;
}

// The values the merge reads after the header: statements of five, as its sample reader.
std::vector<float> merge_reads(const std::string& record, std::size_t count) {
  record_io::testing::Console console(record);
  record_io::Runtime& io = console.io();
  for (int k = 0; k < 4; ++k) {
    record_io::ListRead(io, record_io::Runtime::input_unit).end();  // titles and header
  }
  std::vector<float> values(count, -99.0F);
  for (std::size_t i = 0; i < count; i += 5) {
    record_io::ListRead(io, record_io::Runtime::input_unit)
        .reals(values.data() + i, std::min<std::size_t>(5, count - i))
        .end();
  }
  return values;
}

struct Values {
  const char* name;
  std::string data;  // after the header "NPTS= n, DT= .01"
  std::vector<float> expected;
};

TEST(Record, EveryValueComesBackAsTheMergeReadsIt) {
  const Values cases[] = {
      {"eight to a line, no final line end",
       "1 2 3 4 5 6 7 8\n9 10 11 12 13 14 15 16",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
      {"carriage returns, tabs, commas",
       "\t.5E-01,-2.5d0 , 3\r\r\n4.,+5\r\n",
       {0.05F, -2.5F, 3, 4, 5}},
      {"exponents without a letter, long texts",
       "1.5-3 0.1000000000000000055511151231257827",
       {1.5e-3F, 0.1F}},
      {"repetition counts", "3*0.25 2*-1 7", {0.25F, 0.25F, 0.25F, -1, -1, 7}},
      {"blank lines", "\n1\n\n2 3\n\n", {1, 2, 3}},
  };
  for (const Values& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string header = "NPTS=" + std::to_string(c.expected.size()) + ", DT=.01\n";
    const Normalized n = normalize_text(kTitles + header + c.data);
    ASSERT_TRUE(n.result.ok());
    EXPECT_TRUE(n.result.diagnostics.empty());
    EXPECT_EQ(merge_reads(n.text, c.expected.size()), c.expected);
  }
}

TEST(Record, TitlesKeptHeaderRewrittenValuesFiveToALine) {
  const Normalized n = normalize_text(
      "PEER NGA\r\n Event, 270 \r\r\r\nG\nNPTS=   7, dt=   .0100 SEC, 0 POLE\r\n"
      "  .1  -.2E-01 3 4 5 6 0.1000000000000000055511151231257827\r\n",
      true);
  ASSERT_TRUE(n.result.ok());
  EXPECT_EQ(n.text,
            "PEER NGA\r\n Event, 270 \r\nG\r\nNPTS=     7, DT= .01000 SEC\r\n"
            "             .1        -.2E-01              3              4              5\r\n"
            "              6 0.1000000000000000055511151231257827\r\n");
}

// What the reader's buffer holds: a longer line comes in pieces.
constexpr std::size_t kPiece = record_io::TextReader::transfer_size;

// n values "k.25", on one line.
std::string values_line(int n) {
  std::string line;
  for (int k = 0; k < n; ++k) line += std::to_string(k % 1000) + ".25 ";
  return line;
}

struct Problem {
  const char* name;
  std::string input;
  Diagnostic expected;
};

TEST(Record, RefusedAtTheLineAndColumnAtFault) {
  using S = Diagnostic::Severity;
  const std::string header = "NPTS=3, DT=.01\n";
  const std::string values = values_line(100000);  // far past the end of a piece
  const Problem cases[] = {
      {"not a number far into a line",
       kTitles + header + values + "7x 8\n",
       {S::error, 5, static_cast<long>(values.size()) + 1, "expected a number, found '7x'"}},
      {"a value longer than a piece",
       kTitles + header + "1 2 " + std::string(kPiece, '3') + "\n",
       {S::error, 5, 5,
        "expected a number no longer than " + std::to_string(kPiece - 1) +
            " characters, found '333333333333333333333333...'"}},
      {"not a number",
       kTitles + header + "1 2\n  3x\n",
       {S::error, 6, 3, "expected a number, found '3x'"}},
      {"values run together",
       kTitles + header + "1 -0.5-0.25\n",
       {S::error, 5, 3, "expected a number, found '-0.5-0.25'"}},
      {"a carriage return inside a line",
       kTitles + header + "1\r2 3\n",
       {S::error, 5, 1, "expected a number, found '1\\r2'"}},
      {"an empty value",
       kTitles + header + "1,,2 3\n",
       {S::error, 5, 3, "expected a number before the comma, found ','"}},
      {"a comma opening a line",
       kTitles + header + "1 2\n,3\n",
       {S::error, 6, 1, "expected a number before the comma, found ','"}},
      {"a slash", kTitles + header + "1 2 / 3\n", {S::error, 5, 5, "expected a number, found '/'"}},
      {"a repetition without a value",
       kTitles + header + "3*\n",
       {S::error, 5, 1, "expected a value after the repetition count, found '3*'"}},
      {"too few values",
       kTitles + header + "1\n2\n",
       {S::error, 6, 0, "2 values, fewer than the 3 the header counts (NPTS)"}},
      {"no header",
       "ONE\r\nTWO\r\n",
       {S::error, 2, 0, "the record ends before its header line (line 4)"}},
      {"an empty file", "", {S::error, 1, 0, "the record ends before its header line (line 4)"}},
      {"a header without a time step",
       kTitles + "NPTS=3\n1 2 3\n",
       {S::error, 4, 0, "no time step (DT) in the header line"}},
  };
  for (const Problem& c : cases) {
    SCOPED_TRACE(c.name);
    record_io::StringChannel in(c.input);
    const RecordResult r = normalize_record(in, nullptr);
    EXPECT_TRUE(r.refused);
    ASSERT_EQ(r.diagnostics.size(), 1U);
    const Diagnostic& d = r.diagnostics[0];
    EXPECT_EQ(d.severity, c.expected.severity);
    EXPECT_EQ(d.line, c.expected.line);
    EXPECT_EQ(d.column, c.expected.column);
    EXPECT_EQ(d.text, c.expected.text);
  }
}

TEST(Record, ValuesBeyondThePointCountAreLeftOutWithAWarning) {
  const Normalized n = normalize_text(kTitles + "NPTS=2, DT=.0000123456789\n1\n2\n3\n4*5\n");
  ASSERT_TRUE(n.result.ok());
  ASSERT_EQ(n.result.diagnostics.size(), 2U);
  EXPECT_EQ(diagnostic_line("r.AT2", n.result.diagnostics[0]),
            "r.AT2:4:12: warning: the time step .0000123456789 does not fit the seven columns of "
            "the header; written as 1235E-8");
  EXPECT_EQ(diagnostic_line("r.AT2", n.result.diagnostics[1]),
            "r.AT2:7: warning: 5 values beyond the 2 the header counts (NPTS); left out");
  EXPECT_EQ(n.text, kTitles + "NPTS=     2, DT=1235E-8 SEC\n              1              2\n");
  const Normalized one = normalize_text(kTitles + "NPTS=5, DT=.01\n1 2 3 4 5 6\n");
  ASSERT_EQ(one.result.diagnostics.size(), 1U);
  EXPECT_EQ(diagnostic_line("r.AT2", one.result.diagnostics[0]),
            "r.AT2:5: warning: 1 value beyond the 5 the header counts (NPTS); left out");
  EXPECT_EQ(one.text, kTitles + "NPTS=     5, DT= .01000 SEC\n" + std::string(14, ' ') + "1" +
                          std::string(14, ' ') + "2" + std::string(14, ' ') + "3" +
                          std::string(14, ' ') + "4" + std::string(14, ' ') + "5\n");
}

// Lines longer than the reader's buffer come in pieces; what is written is what the same
// record gives on short lines.

struct LongLine {
  const char* name;
  std::string input;
  std::string expected;  // the record normalised
};

TEST(Record, LinesLongerThanTheBufferAreReadInPieces) {
  const std::string a(kPiece - 1, 'A');
  const std::string header = "NPTS=2, DT=.01\n";
  const std::string values = "1 2\n";
  const std::string written = "NPTS=     2, DT= .01000 SEC\n              1              2\n";
  const LongLine cases[] = {
      {"a title, a carriage return at the end of a piece", a + "\rB\nT2\nT3\n" + header + values,
       a + "\rB\nT2\nT3\n" + written},
      {"a title, its line end across two pieces",
       a.substr(1) + "\r\r\r\nT2\nT3\n" + header + values, a.substr(1) + "\nT2\nT3\n" + written},
      {"a title, carriage returns as data across two pieces",
       a.substr(1) + "\r\rC\r\nT2\nT3\n" + header + values,
       a.substr(1) + "\r\rC\nT2\nT3\n" + written},
      {"a title, more carriage returns at the end of a piece than are written at once",
       a.substr(17) + std::string(18, '\r') + "C\nT2\nT3\n" + header + values,
       a.substr(17) + std::string(18, '\r') + "C\nT2\nT3\n" + written},
      {"a title, carriage returns as data across the first of three pieces",
       a.substr(1) + "\r\rC" + a + "\nT2\nT3\n" + header + values,
       a.substr(1) + "\r\rC" + a + "\nT2\nT3\n" + written},
      {"a title of several pieces, the last line of the record without its end",
       kTitles.substr(0, 20) + std::string(3 * kPiece, 'T') + "\n" + header + "1\n2",
       kTitles.substr(0, 20) + std::string(3 * kPiece, 'T') + "\n" + written},
      {"a header longer than the buffer",
       kTitles + "NPTS=2, DT=.01 " + std::string(2 * kPiece, '-') + "\n" + values,
       kTitles + written},
  };
  for (const LongLine& c : cases) {
    SCOPED_TRACE(c.name);
    const Normalized n = normalize_text(c.input);
    ASSERT_TRUE(n.result.ok());
    EXPECT_TRUE(n.text == c.expected) << n.text.size() << " characters, not " << c.expected.size();
  }
  // Values across the ends of pieces, commas among them, are the values of short lines.
  const int count = 120000;
  std::string line;
  std::string lines;
  for (int k = 0; k < count; ++k) {
    const std::string value = std::to_string(k) + (k % 7 == 0 ? ".5E-1, " : " ");
    line += value;
    lines += value + (k % 8 == 7 ? "\n" : "");
  }
  const std::string head = kTitles + "NPTS=" + std::to_string(count) + ", DT=.01\n";
  const Normalized long_line = normalize_text(head + line + "\r\n");
  const Normalized short_lines = normalize_text(head + lines);
  ASSERT_TRUE(long_line.result.ok());
  ASSERT_TRUE(short_lines.result.ok());
  EXPECT_TRUE(long_line.text == short_lines.text);
}
}  // namespace
}  // namespace normalize
