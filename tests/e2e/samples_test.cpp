// Free-form sample records: how values, separators, repetitions and line ends fill the sample
// arrays, and which malformed data ends the run.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

const std::string kSameFileThrice = "c.at2\nc.at2\nc.at2\nout.csv\n";

Component with_data(int nt, std::string data) {
  Component c;
  c.header = header(nt, "1.0");
  c.data = std::move(data);
  return c;
}

// Merges the component given three times in the sandbox.
Outcome merge_thrice(const Sandbox& box, const Component& c) {
  box.write("c.at2", c.text());
  return box.run(kSameFileThrice);
}

TEST(Samples, FreeFormValuesFillTheArray) {
  struct Row {
    const char* what;
    int nt;
    std::string data;
    std::vector<float> values;
  };
  const Row rows[] = {
      {"five to a line", 10, "1 2 3 4 5\n6 7 8 9 10\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"one sample", 1, "7\n", {7}},
      {"last line shorter than five", 6, "1 2 3 4 5\n6\n", {1, 2, 3, 4, 5, 6}},
      {"sixth value on a line ignored", 7, "1 2 3 4 5 6 7\n8 9\n", {1, 2, 3, 4, 5, 8, 9}},
      {"statement spans lines, rest of its last line dropped",
       10,
       "1 2 3\n4 5 99\n6 7 8 9 10\n",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"text after the fifth value",
       10,
       "1 2 3 4 5 end of line, 7 ,/\n6 7 8 9 10 x\n",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"blank and empty lines skipped", 5, "\n   \n1\n\n2 3\n\t4\t5\n", {1, 2, 3, 4, 5}},
      {"commas as separators", 5, "1,2 , 3\t,4,5\n", {1, 2, 3, 4, 5}},
      {"two commas leave an element unchanged", 5, "1,,3,4,5\n", {1, 0, 3, 4, 5}},
      {"comma first in the statement", 5, ",2,3,4,5\n", {0, 2, 3, 4, 5}},
      {"comma first on the next line", 5, "1 2 3\n,4,5\n", {1, 2, 3, 0, 4}},
      {"slash ends the statement", 10, "1 2 /\n6 7 8 9 10\n", {1, 2, 0, 0, 0, 6, 7, 8, 9, 10}},
      {"repetition", 5, "2*0.5 3 4 5\n", {0.5F, 0.5F, 3, 4, 5}},
      {"repetition with plus sign", 5, "+2*1.5 3 4 5\n", {1.5F, 1.5F, 3, 4, 5}},
      {"repeated nulls", 5, "2* 3 4 5\n", {0, 0, 3, 4, 5}},
      {"repetition past the fifth element dropped",
       10,
       "3*1 3*2 9\n6 7 8 9 10\n",
       {1, 1, 1, 2, 2, 6, 7, 8, 9, 10}},
      {"values written together",
       5,
       ".1234E-02-.5678E-02 1.2.3 7\n",
       {0.001234F, -0.005678F, 1.2F, 0.3F, 7}},
      {"exponent forms", 5, "1.5d2 1.5D-1 2.5e1 2.5E+1 1.5+2\n", {150, 0.15F, 25, 25, 150}},
      {"signs and points", 5, "-.5 +.25 -3. 5.e0 -0\n", {-0.5F, 0.25F, -3, 5, 0}},
      {"lone sign or point before a comma is null", 5, "1,-,.,4,5\n", {1, 0, 0, 4, 5}},
      {"lone sign before a slash", 5, "1 2 3 4 -/\n", {1, 2, 3, 4, 0}},
      {"last line without line feed", 7, "1 2 3 4 5\n6 7", {1, 2, 3, 4, 5, 6, 7}},
      {"no sample for a count of zero", 0, "", {}},
      {"no sample for a negative count", -3, "junk\n", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sandbox box;
    const Outcome run = merge_thrice(box, with_data(row.nt, row.data));
    EXPECT_TRUE(ended_normally(run));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(box.read_output("out.csv"),
              combined(row.nt, 1.0F, row.values, row.values, row.values));
  }
}

TEST(Samples, HundredPointsReadAllTwentyLines) {
  std::vector<float> values;
  for (int k = 1; k <= 100; ++k) values.push_back(static_cast<float>(k) / 8);
  Sandbox box;
  const Outcome run = merge_thrice(box, with_data(100, data_lines(values)));
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(box.read_output("out.csv"), combined(100, 1.0F, values, values, values));
}

TEST(Samples, MalformedDataIsFatal) {
  const std::string eof = "list in: end of file";
  const std::string number = "invalid number: incomprehensible list input";
  const std::string exponent = "exponent field: incomprehensible list input";
  const std::string count = "bad repetition count: incomprehensible list input";
  struct Row {
    const char* what;
    int nt;
    std::string data;
    const std::string& error;
  };
  const Row rows[] = {
      {"no data at all", 5, "", eof},
      {"fewer values than the count", 10, "1 2 3 4 5\n6 7\n", eof},
      {"count one above the values", 6, "1 2 3 4 5\n", eof},
      {"statement after the last value ended the file", 10, "1 2 3 4 5", "read start: end of file"},
      {"statement after its rest of line ended the file", 10, "1 2 3 4 5 6",
       "read start: end of file"},
      {"letters before the fifth value", 5, "1 2 abc 4 5\n", number},
      {"q is no exponent letter", 5, "1.5q3 2 3 4 5\n", number},
      {"repetition followed by a letter", 5, "2*x 3 4 5\n", number},
      {"lone sign followed by a blank", 5, "1 - 3 4 5\n", number},
      {"lone point followed by a blank", 5, "1 . 3 4 5\n", number},
      {"byte above 0x7F", 5, "1 2 \xB0 4 5\n", number},
      {"exponent letter without digits", 5, "1 2 3E 4 5\n", exponent},
      {"exponent sign without digits", 5, "1 2 3e+ 4 5\n", exponent},
      {"exponent too large", 5, "1 2 1e100000000 4 5\n", exponent},
      {"repetition count of zero", 5, "0*1 2 3 4 5\n", count},
      {"negative repetition count", 5, "-2*1 3 4 5\n", count},
      {"repetition count of 41 digits", 5, std::string(41, '1') + "*1 2 3 4 5\n", count},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sandbox box;
    const Component c = with_data(row.nt, row.data);
    const Outcome run = merge_thrice(box, c);
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, std::string(kOpening) + label(1) + c.echo(std::to_string(row.nt) + "  1."));
    EXPECT_EQ(run.err, fatal(row.error, "unit 11 named c.at2", kListIo, Lately::reading));
    EXPECT_FALSE(box.exists("out.csv"));
  }
}

}  // namespace
}  // namespace e2e
