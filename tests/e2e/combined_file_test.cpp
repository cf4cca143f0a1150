// The combined acceleration file: its 40-character records, which header governs its length
// and time step, what happens to an existing file, and failures to write it.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "combined_records.hpp"
#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

// Writes three components named x.at2, y.at2 and z.at2.
void write_components(const Sandbox& box, const Component& x, const Component& y,
                      const Component& z) {
  box.write("x.at2", x.text());
  box.write("y.at2", y.text());
  box.write("z.at2", z.text());
}

Component component(int nt, std::string_view dt, const std::vector<float>& values) {
  Component c;
  c.header = header(nt, dt);
  c.data = data_lines(values);
  return c;
}

// Values zero everywhere except the last of `n`.
std::vector<float> last_of(std::size_t n, float value) {
  std::vector<float> v(n, 0.0F);
  v.back() = value;
  return v;
}

// Each sample record as the last record of a merge, whose headers give its number and time
// step.
TEST(CombinedFile, RecordsAreFixedPointFieldsSeparatedByCommas) {
  for (const test_tables::CombinedRecord& row : test_tables::combined_records) {
    SCOPED_TRACE(row.record);
    Sandbox box;
    const auto n = static_cast<std::size_t>(row.i);
    write_components(box, component(row.i, row.dt, last_of(n, row.x)),
                     component(row.i, row.dt, last_of(n, row.y)),
                     component(row.i, row.dt, last_of(n, row.z)));
    const Outcome run = box.run("x.at2\ny.at2\nz.at2\nout.csv\n");
    EXPECT_TRUE(ended_normally(run));
    const std::string file = box.read_output("out.csv");
    ASSERT_EQ(file.size(), n * 41);
    EXPECT_EQ(file.substr(file.size() - 41), std::string(row.record) + "\n");
  }
}

TEST(CombinedFile, TimeColumnOf33000PointsEndsAt329Seconds) {
  std::vector<float> values(33000);
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<float>(k % 97) - 48.5F;
  Sandbox box;
  box.write("c.at2", component(33000, ".01000", values).text());
  const Outcome run = box.run("c.at2\nc.at2\nc.at2\nout.csv\n");
  EXPECT_TRUE(ended_normally(run));
  const std::string file = box.read_output("out.csv");
  ASSERT_EQ(file.size(), 33000U * 41);
  EXPECT_EQ(file.substr(0, 8), "  0.000,");
  EXPECT_EQ(file.substr(file.size() - 41, 8), "329.990,");
  EXPECT_TRUE(same_lines(file, combined(33000, 0.01F, values, values, values)));
}

TEST(CombinedFile, ThirdHeaderGivesLengthAndTimeStep) {
  const std::vector<float> x = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::vector<float> y = {-1, -2, -3};
  const std::vector<float> z = {0.5F, 1.5F, 2.5F, 3.5F, 4.5F, 5.5F, 6.5F};
  Sandbox box;
  const Component cx = component(10, "0.5", x);
  const Component cy = component(3, "2.0", y);
  const Component cz = component(7, ".25", z);
  write_components(box, cx, cy, cz);
  const Outcome run = box.run("x.at2\ny.at2\nz.at2\nout.csv\n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(run.out, transcript(cx.echo("10  0.5"), cy.echo("3  2."), cz.echo("7  0.25")));
  EXPECT_EQ(box.read_output("out.csv"), combined(7, 0.25F, x, y, z));
}

// The first and second components shorter than the third, the first below the arrays'
// smallest size.
TEST(CombinedFile, CountsAbove33000AreReadWholeAndShortColumnsAreZero) {
  const std::vector<float> x = {9, 8, 7, 6, 5};
  std::vector<float> y(34000);
  std::vector<float> z(35000);
  for (std::size_t k = 0; k < y.size(); ++k) y[k] = static_cast<float>(k) / 4;
  for (std::size_t k = 0; k < z.size(); ++k) z[k] = -static_cast<float>(k) / 8;
  Sandbox box;
  write_components(box, component(5, ".00500", x), component(34000, ".00500", y),
                   component(35000, ".00500", z));
  const Outcome run = box.run("x.at2\ny.at2\nz.at2\nout.csv\n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(same_lines(box.read_output("out.csv"), combined(35000, 0.005F, x, y, z)));
}

TEST(CombinedFile, LongerComponentsBeforeShortThirdAreCutToItsLength) {
  std::vector<float> x(40000, 1.5F);
  const std::vector<float> z = {1, 2, 3};
  Sandbox box;
  write_components(box, component(40000, "0.01", x), component(40000, "0.01", x),
                   component(3, "0.01", z));
  const Outcome run = box.run("x.at2\ny.at2\nz.at2\nout.csv\n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(box.read_output("out.csv"), combined(3, 0.01F, x, x, z));
}

TEST(CombinedFile, ExistingLongerFileIsCutToNewRecords) {
  Sandbox box;
  const std::vector<float> v = {1, 2, 3};
  box.write("c.at2", component(3, "0.1", v).text());
  std::string old;
  for (int k = 0; k < 100; ++k) old += "an older and much longer combined file line\n";
  box.write("out.csv", old);
  const Outcome run = box.run("c.at2\nc.at2\nc.at2\nout.csv\n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(box.read_output("out.csv"), combined(3, 0.1F, v, v, v));
}

TEST(CombinedFile, NoRecordLeavesExistingFileAndCreatesMissingOneEmpty) {
  for (const int nt : {0, -5}) {
    SCOPED_TRACE(nt);
    Sandbox box;
    box.write("c.at2", component(nt, "0.1", {}).text());
    box.write("old.csv", "kept as it was\n");
    const Outcome kept = box.run("c.at2\nc.at2\nc.at2\nold.csv\n");
    EXPECT_TRUE(ended_normally(kept));
    EXPECT_EQ(box.read("old.csv"), "kept as it was\n");
    const Outcome created = box.run("c.at2\nc.at2\nc.at2\nnew.csv\n");
    EXPECT_TRUE(ended_normally(created));
    ASSERT_TRUE(box.exists("new.csv"));
    EXPECT_EQ(box.read_output("new.csv"), "");
  }
}

TEST(CombinedFile, FailureToOpenOrWriteIsFatal) {
  struct Row {
    const char* name;
    std::string err;
  };
  const Row rows[] = {
      {"   ", fatal("open: null file name", "unit 11 named ", "", Lately::reading)},
      {"nodir/out.csv", fatal("open: No such file or directory", "unit 11 named nodir/out.csv", "",
                              Lately::reading)},
      {"sub", fatal("open: Is a directory", "unit 11 named sub", "", Lately::reading)},
      {"/dev/full",
       fatal("write: No space left on device", "unit 11 named /dev/full", "", Lately::writing)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Sandbox box;
    std::filesystem::create_directory(box.path("sub"));
    const Component c = component(3, "0.1", {1, 2, 3});
    box.write("c.at2", c.text());
    const Outcome run = box.run("c.at2\nc.at2\nc.at2\n" + std::string(row.name) + "\n");
    EXPECT_TRUE(aborted(run));
    const std::string stage = c.echo("3  0.100000001");
    EXPECT_EQ(run.out, transcript(stage, stage, stage));
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(box.read("c.at2"), c.text());
  }
}

TEST(CombinedFile, ReadOnlyFileIsFatalAtFirstWrite) {
  if (target().windows && ::geteuid() == 0) {
    GTEST_SKIP() << "Wine lets root open a read-only file for writing, and it runs no Windows "
                    "program for another user of root's Wine set-up";
  }
  Sandbox box;
  const Component c = component(3, "0.1", {1, 2, 3});
  box.write("c.at2", c.text());
  box.write("out.csv", "read-only content\n");
  ASSERT_EQ(::chmod(box.path("out.csv").c_str(), 0444), 0);
  Launch launch;
  launch.unprivileged = true;
  const Outcome run = box.run("c.at2\nc.at2\nc.at2\nout.csv\n", launch);
  EXPECT_TRUE(aborted(run));
  const std::string stage = c.echo("3  0.100000001");
  EXPECT_EQ(run.out, transcript(stage, stage, stage));
  EXPECT_EQ(run.err, fatal("write start: can't write file", "unit 11 named out.csv", kRecordFormat,
                           Lately::writing));
  EXPECT_EQ(box.read("out.csv"), "read-only content\n");
}

}  // namespace
}  // namespace e2e
