// Runs on real strong-motion records kept outside the project, when they are present: every
// record whose header fits the columns is merged and checked value by value against an
// independent reading of the file; the others must end with the header diagnostic.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

using RealData = RealDataTest;

// A record as an independent reader sees it: its lines and every number after line 4.
struct Record {
  std::filesystem::path path;
  std::vector<std::string> lines;
  std::vector<float> values;

  explicit Record(const std::string& relative)
      : path(realdata_dir() / relative),
        lines(lines_of(read_file(path))),
        values(sample_values(lines)) {}

  std::string titles() const {
    return title_echo(lines.at(0)) + title_echo(lines.at(1)) + title_echo(lines.at(2));
  }
};

struct Part {
  const char* file;
  const char* shown;  // point count and time step as the console shows them
};

const Part kScs052 = {"NORTHR_SCS/SCS052.AT2", "8000  0.00499999989"};
const Part kScs142 = {"NORTHR_SCS/SCS142.AT2", "8000  0.00499999989"};
const Part kScsUp = {"NORTHR_SCS/SCSUP.AT2", "8000  0.00499999989"};
const Part kChy023N = {"CHICHI_CHY023/CHY023-N.AT2", "37000  0.00400000019"};
const Part kChy023W = {"CHICHI_CHY023/CHY023-W.AT2", "37000  0.00400000019"};
const Part kChy067W = {"CHY067-W/CHY067-W.AT2", "52250  0.00400000019"};
const Part kArlCrCrLf = {"ARL360_crcrlf/ARL360.at2", "2000  0.0199999996"};
const Part kArlLf = {"ARL360_lf/ARL360.at2", "2000  0.0199999996"};
const Part kBpl160 = {"A-BPL160/A-BPL160.AT2", "7996  0.00499999989"};
const Part kZak360 = {"B-ZAK360/B-ZAK360.AT2", "7973  0.00499999989"};
const Part kE12140 = {"H-E12140/H-E12140.at2", "7802  0.00499999989"};
const Part kTvy045 = {"TVY045/TVY045.AT2", "2044  0.00499999989"};
const Part kIelc180 = {"IELC180/IELC180.AT2", "4000  0.00999999978"};

struct Merge {
  Part parts[3];
  long nt;  // from the third header
  float dt;
};

TEST_F(RealData, RecordsWithFittingHeadersMergeValueByValue) {
  const Merge merges[] = {
      {{kScs052, kScs142, kScsUp}, 8000, 0.005F},
      {{kChy023N, kChy023W, kChy023N}, 37000, 0.004F},
      {{kChy067W, kChy067W, kChy067W}, 52250, 0.004F},
      {{kArlCrCrLf, kArlCrCrLf, kArlCrCrLf}, 2000, 0.02F},
      {{kArlLf, kArlLf, kArlLf}, 2000, 0.02F},
      {{kBpl160, kZak360, kE12140}, 7802, 0.005F},
      {{kE12140, kTvy045, kIelc180}, 4000, 0.01F},
  };
  for (const Merge& merge : merges) {
    SCOPED_TRACE(merge.parts[2].file);
    std::vector<Record> records;
    std::string input;
    std::string stages[3];
    for (int k = 0; k < 3; ++k) {
      records.emplace_back(merge.parts[k].file);
      input += records.back().path.string() + "\n";
      stages[k] = records.back().titles() + points_echo(merge.parts[k].shown);
    }
    ASSERT_EQ(records[2].values.size(), static_cast<std::size_t>(merge.nt));
    Sandbox box;
    const Outcome run = box.run(input + "merged.csv\n");
    EXPECT_TRUE(ended_normally(run));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, transcript(stages[0], stages[1], stages[2]));
    EXPECT_TRUE(same_lines(
        box.read_output("merged.csv"),
        combined(merge.nt, merge.dt, records[0].values, records[1].values, records[2].values)));
  }
}

// Eight values to a line and no final line feed: five are read from each line, so the line
// ending the file is reached while samples are still due.
TEST_F(RealData, EightValuesToALineRunOutOfLines) {
  const Record record("elCentro/elCentro.AT2");
  Sandbox box;
  const std::string name = record.path.string();
  const Outcome run = box.run(name + "\n" + name + "\n" + name + "\nmerged.csv\n");
  EXPECT_TRUE(aborted(run));
  EXPECT_EQ(run.out,
            std::string(kOpening) + label(1) + record.titles() + points_echo("1559  0.0199999996"));
  EXPECT_EQ(run.err,
            fatal("read start: end of file", "unit 11 named " + name, kListIo, Lately::reading));
}

TEST_F(RealData, HeadersOutsideTheColumnsAreFatal) {
  const char* const files[] = {
      "ANLA196/ANLA196.AT2",
      "HAD-NS/HAD-NS.AT2",
      "TAN350/TAN350.AT2",
      "ISE-WE/ISE-WE.AT2",
      "nga/NIS000.AT2",
      "nga/RSN1633_MANJIL_ABBAR--L.AT2",
      "nga/RSN1633_MANJIL_ABBAR--T.AT2",
      "nga/RSN1633_MANJIL_ABBAR--V.AT2",
      "nga/RSN960_NORTHR_LOS270.AT2",
  };
  for (const char* file : files) {
    SCOPED_TRACE(file);
    const Record record(file);
    Sandbox box;
    const std::string name = record.path.string();
    const Outcome run = box.run(name + "\n" + kScs052.file + "\n" + kScs052.file + "\nm.csv\n");
    EXPECT_TRUE(aborted(run));
    EXPECT_EQ(run.out, std::string(kOpening) + label(1) + record.titles());
    EXPECT_EQ(run.err, fatal("fmt: read unexpected character", "unit 11 named " + name,
                             kHeaderFormat, Lately::reading));
    EXPECT_FALSE(box.exists("m.csv"));
  }
}

}  // namespace
}  // namespace e2e
