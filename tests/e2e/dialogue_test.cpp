// The console dialogue: banner, prompts, echoes of titles and header values, the names read
// from standard input, and the runs that end because standard input ran out.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

const std::filesystem::path kFixtures = PEER_E2E_FIXTURES;

// A small component with `nt` samples of ones, whose stage echoes `Component::echo(points)`.
Component ones(int nt, std::string_view dt) {
  Component c;
  c.header = header(nt, dt);
  c.data = data_lines(std::vector<float>(static_cast<std::size_t>(nt > 0 ? nt : 0), 1.0F));
  return c;
}

TEST(Dialogue, GoldenRunWritesTranscriptAndCombinedFile) {
  Sandbox box;
  for (const char* name : {"north.at2", "east.at2", "up.at2"}) {
    box.write(name, read_file(kFixtures / "basic" / name));
  }
  const Outcome run = box.run(read_file(kFixtures / "basic" / "stdin.txt"));
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(run.out, read_file(kFixtures / "basic" / "stdout.txt"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(box.read_output("merged.csv"), read_file(kFixtures / "basic" / "combined.csv"));
}

TEST(Dialogue, PointsRecordShowsCountAndTimeStep) {
  struct Row {
    int nt;
    const char* dt;
    const char* shown;
  };
  const Row rows[] = {
      {3000, ".01000", "3000  0.00999999978"},
      {0, "0.0", "0  0."},
      {-5, "-.01", "-5 -0.00999999978"},
      {-99999, "0", "-99999  0."},
      {2, "1.0", "2  1."},
      {2, "100", "2  100."},
      {2, "0.5", "2  0.5"},
      {0, "12345.6", "0  12345.5996"},
      {0, "0.001", "0  0.00100000005"},
      {0, "1.0E-4", "0  9.99999975E-05"},
      {0, "1.0E-6", "0  9.99999997E-07"},
      {0, "1.0E8", "0  100000000."},
      {0, "1.0E9", "0  1.E+09"},
      {0, "-1.0E10", "0 -1.E+10"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.shown);
    Sandbox box;
    const Component c = ones(row.nt, row.dt);
    box.write("c.at2", c.text());
    const Outcome run = box.run("c.at2\nc.at2\nc.at2\nout.csv\n");
    EXPECT_TRUE(ended_normally(run));
    const std::string stage = c.echo(row.shown);
    EXPECT_EQ(run.out, transcript(stage, stage, stage));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(box.read_output("out.csv").size(),
              static_cast<std::size_t>(row.nt > 0 ? row.nt : 0) * 41);
  }
}

TEST(Dialogue, SameFileMayBeGivenThreeTimes) {
  Sandbox box;
  Component c;
  c.header = header(7, "0.5");
  const std::vector<float> v = {0.5F, -1.25F, 2.0F, 3.5F, -4.0F, 5.125F, 6.0F};
  c.data = data_lines(v);
  box.write("c.at2", c.text());
  const Outcome run = box.run("c.at2\nc.at2\nc.at2\nout.csv\n");
  EXPECT_TRUE(ended_normally(run));
  const std::string stage = c.echo("7  0.5");
  EXPECT_EQ(run.out, transcript(stage, stage, stage));
  EXPECT_EQ(box.read_output("out.csv"), combined(7, 0.5F, v, v, v));
}

TEST(Dialogue, NameKeepsLeadingBlanksAndDropsTrailingOnes) {
  Sandbox box;
  const Component c = ones(3, "1.0");
  box.write("  lead.at2", c.text());
  const Outcome run = box.run("  lead.at2   \n  lead.at2\n  lead.at2 \nout.csv    \n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(box.exists("out.csv"));
  EXPECT_FALSE(box.exists("out.csv    "));
}

TEST(Dialogue, NameWithLeadingBlankIsAnotherFile) {
  Sandbox box;
  box.write("lead.at2", ones(3, "1.0").text());
  const Outcome run = box.run(" lead.at2\nlead.at2\nlead.at2\nout.csv\n");
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.out, std::string(kOpening) + label(1));
  EXPECT_EQ(run.err, fatal("open: No such file or directory", "unit 11 named  lead.at2", kListIo,
                           Lately::writing));
}

TEST(Dialogue, NamesLongerThanEightyCharactersAreTakenWhole) {
  Sandbox box;
  const std::string input_name = std::string(90, 'i') + ".at2";
  const std::string output_name = std::string(100, 'o') + ".csv";
  const Component c = ones(4, "1.0");
  box.write(input_name, c.text());
  box.write(std::string(80, 'i'), "a decoy holding the first 80 characters of the name\n");
  const Outcome run =
      box.run(input_name + "\n" + input_name + "\n" + input_name + "\n" + output_name + "\n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(run.err, "");
  const std::vector<float> v(4, 1.0F);
  EXPECT_EQ(box.read_output(output_name), combined(4, 1.0F, v, v, v));
}

TEST(Dialogue, NameLinesEndedByCarriageReturnAndLineFeed) {
  Sandbox box;
  const Component c = ones(2, "1.0");
  box.write("c.at2", c.text());
  const Outcome run = box.run("c.at2\r\nc.at2\r\nc.at2\r\nout.csv\r\n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(box.exists("out.csv"));
}

TEST(Dialogue, NameHoldingNulByteIsRefused) {
  Sandbox box;
  box.write("ab", ones(2, "1.0").text());
  const Outcome run = box.run(std::string("ab\0cd\nab\nab\nout.csv\n", 20));
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.out, std::string(kOpening) + label(1));
  // The name is shown as far as the NUL byte, where the system would have cut it.
  EXPECT_EQ(run.err,
            "open: Invalid argument\napparent state: unit 11 named ab\nlast format: list io\n"
            "lately writing sequential formatted external IO\n");
}

TEST(Dialogue, OutputNameMayOverwriteAnInputFile) {
  Sandbox box;
  Component c;
  c.header = header(6, "0.25");
  const std::vector<float> v = {1.0F, 2.0F, 3.0F, 4.0F, 5.0F, 6.0F};
  c.data = data_lines(v);
  box.write("c.at2", c.text());
  const Outcome run = box.run("c.at2\nc.at2\nc.at2\nc.at2\n");
  EXPECT_TRUE(ended_normally(run));
  EXPECT_EQ(box.read_output("c.at2"), combined(6, 0.25F, v, v, v));
}

// Standard input that runs out before a name is complete ends the run at that read.
TEST(Dialogue, StandardInputEndingBeforeNameIsFatal) {
  const std::string eof =
      fatal("fmt: end of file", "unit 5 (unnamed)", kNameFormat, Lately::reading);
  const std::string read_start =
      fatal("read start: end of file", "unit 5 (unnamed)", kNameFormat, Lately::reading);
  const Component c = ones(2, "1.0");
  const std::string stage = c.echo("2  1.");
  const std::string banner = " Program for Reading PEER-Type Strong Motion Data\n\n";
  const std::string first = banner + " Enter 1st File Name of 3 Components\n";
  const std::string second = first + " Enter 2nd File Name of 3 Components\n";
  const std::string third(kOpening);
  const std::string all = transcript(stage, stage, stage);
  struct Row {
    const char* what;
    std::string input;
    const std::string& out;
    const std::string& err;
  };
  const Row rows[] = {
      {"empty input", "", first, eof},
      {"one name", "c.at2\n", second, eof},
      {"two names", "c.at2\nc.at2\n", third, eof},
      {"third name without line feed", "c.at2\nc.at2\nc.at2", third, eof},
      {"79 characters without line feed", "c.at2\nc.at2\nc.at2" + std::string(74, ' '), third, eof},
      {"no output name", "c.at2\nc.at2\nc.at2\n", all, eof},
      {"80 characters without line feed, then a read", "c.at2\nc.at2\nc.at2" + std::string(75, ' '),
       all, read_start},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sandbox box;
    box.write("c.at2", c.text());
    const Outcome run = box.run(row.input);
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, row.err);
    EXPECT_FALSE(box.exists("out.csv"));
  }
}

}  // namespace
}  // namespace e2e
