// peer-normalize --check on small records made here: the exact line for each way the
// combined file would not hold every value, its exit status, and its agreement with what the
// merge then writes.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

Outcome check(const Sandbox& box, std::vector<std::string> names) {
  names.insert(names.begin(), "--check");
  return box.run("", Launch{program_path("peer-normalize"), std::move(names)});
}

// A record of `points` values (k-th: value * (k % 7 + 1)), `per_line` a line.
std::string record(int points, std::string_view dt, int per_line = 5, double value = 0.5,
                   std::string_view station = "STATION") {
  std::string text = "RECORD\nEVENT 1/2/3, " + std::string(station) +
                     ", 090\nACCELERATION IN UNITS OF G\n" + header(points, dt) + "\n";
  char number[32];
  for (int k = 0; k < points; ++k) {
    std::snprintf(number, sizeof number, "%.7E", value * (k % 7 + 1));
    text += number;
    text += (k % per_line == per_line - 1 || k + 1 == points) ? "\n" : " ";
  }
  return text;
}

// Peaks of 0.0137 g, and three samples in ten of 0.0003 g, which print as 0.000.
std::string quiet_record() {
  std::string text = "RECORD\nEV, ST, NS\nUNITS OF G\n" + header(700, ".00500") + "\n";
  for (int k = 0; k < 700; ++k) text += k % 10 < 3 ? ".0003\n" : "-.0137\n";
  return text;
}

struct Case {
  const char* what;
  std::vector<std::pair<const char*, std::string>> files;
  std::vector<std::string> names;  // as given to --check
  int status;
  std::string out;
};

const std::string kProblems = ": the combined file would not hold every value at its time\n";

std::vector<Case> cases() {
  const std::string rec = record(10, ".01000");
  return {
      {"a clean set",
       {{"a.at2", rec}, {"b.at2", rec}, {"c.at2", record(10, ".01000", 5, 0.25)}},
       {"a.at2", "b.at2", "c.at2", "out.csv"},
       0,
       "peer-normalize: no problem: the combined file holds every value of every record at its "
       "time\n"},
      {"a header whose words and columns differ",
       {{"np.at2", "RECORD\nEV, ST, 090\nUNITS OF G\nNP= 12000, DT= .00500 SEC\n" +
                       [] {
                         std::string d;
                         for (int k = 0; k < 2400; ++k) d += ".1 .2 .3 .4 .5\n";
                         return d;
                       }()}},
       {"np.at2"},
       1,
       "np.at2:4:5: the header says 12000 points (NPTS), but the merge reads 2000 from columns "
       "6-11; peer-normalize rewrites the header in those columns\n"
       "np.at2:405: 10000 values past the 2000 points the merge reads, from this line on: "
       "ignored\n"
       "peer-normalize: 2 problems: the merge would not read every value of this record\n"},
      {"eight values a line",
       {{"e.at2", record(16, ".01000", 8)}},
       {"e.at2"},
       1,
       "e.at2:6: the merge stops here with 'list in: end of file': it reads 16 points from the "
       "header but finds 6 values fewer; peer-normalize rewrites the record in the layout the "
       "merge reads\n"
       "e.at2:5: this line holds 8 values; the merge takes five a statement and passes over "
       "the rest of its last line: 6 values dropped in all, and the samples after each moved "
       "to earlier times\n"
       "peer-normalize: 2 problems: the merge would not read every value of this record\n"},
      {"values past the point count",
       {{"x.at2", record(10, ".01000") + "1. 2.\n"}},
       {"x.at2"},
       1,
       "x.at2:7: 2 values past the 10 points the merge reads, from this line on: ignored\n"
       "peer-normalize: 1 problem: the merge would not read every value of this record\n"},
      {"an empty value",
       {{"null.at2",
         "RECORD\nEV, ST, 090\nUNITS OF G\n" + header(5, ".01000") + "\n1.,,3. 4. 5.\n"}},
       {"null.at2"},
       1,
       "null.at2:5:4: expected a number before the comma, found ',': the merge takes it for an "
       "empty value or the end of a statement, not for a sample\n"
       "peer-normalize: 1 problem: the merge would not read every value of this record\n"},
      {"2676/2300/2671 points",
       {{"l.at2", record(2676, ".02000")},
        {"t.at2", record(2300, ".02000")},
        {"v.at2", record(2671, ".02000")}},
       {"l.at2", "t.at2", "v.at2"},
       1,
       "l.at2:4: 2676 points, the third component 2671: the combined file keeps its first 2671 "
       "and loses 5 samples from 53.420 s on; --triplets pads the shorter records to the "
       "longest\n"
       "t.at2:4: 2300 points, the third component 2671: the combined file gives it zeros from "
       "46.000 s on (371 samples); --triplets pads the shorter records to the longest\n"
       "peer-normalize: 2 problems" +
           kProblems},
      {"dt 0.01 with 0.005",
       {{"a.at2", rec}, {"f.at2", record(10, ".00500")}},
       {"a.at2", "f.at2", "f.at2"},
       1,
       "a.at2:4: its time step 0.01 s differs from the third component's 0.005 s: the combined "
       "file's time column, which follows the third, puts its samples at wrong times; "
       "peer-normalize does not resample\n"
       "f.at2: note: the same file as f.at2 (given twice)\n"
       "peer-normalize: 1 problem, 1 note" +
           kProblems},
      {"different stations",
       {{"a.at2", rec}, {"s.at2", record(10, ".01000", 5, 0.5, "OTHER")}},
       {"a.at2", "s.at2", "a.at2"},
       1,
       "s.at2:2: its title names 'EVENT 1/2/3, OTHER', the first component's 'EVENT 1/2/3, "
       "STATION': records of different events or stations\n"
       "a.at2: note: the same file as a.at2 (given twice)\n"
       "peer-normalize: 1 problem, 1 note" +
           kProblems},
      {"samples in different units",
       {{"a.at2", rec},
        {"cm.at2", "RECORD\nEVENT 1/2/3, STATION, UP\nACCELERATION IN CM/SEC/SEC\n" +
                       header(10, ".01000") + "\n1 2 3 4 5\n6 7 8 9 10\n"}},
       {"a.at2", "a.at2", "cm.at2"},
       1,
       "cm.at2:3: its samples are in cm/s2, the first component's in g: --units g writes them "
       "in one unit\n"
       "a.at2: note: the same file as a.at2 (given twice)\n"
       "peer-normalize: 1 problem, 1 note" +
           kProblems},
      {"the output is an input through another path",
       {{"a.at2", rec}, {"b.at2", rec}},
       {"a.at2", "b.at2", "a.at2", "./b.at2"},
       1,
       "./b.at2: is b.at2 itself: the merge would write the combined file over that record\n"
       "a.at2: note: the same file as a.at2 (given twice)\n"
       "peer-normalize: 1 problem, 1 note" +
           kProblems},
      {"the output is not a combined file",
       {{"a.at2", rec}, {"notes.txt", "  0.000,     0.002,    -0.500,     0.000\nmy notes\n"}},
       {"a.at2", "a.at2", "a.at2", "notes.txt"},
       1,
       "notes.txt:2: exists and is not a combined file (this line is not one of its "
       "40-character records): the merge would write over it\n"
       "a.at2: note: the same file as a.at2 (given twice)\n"
       "a.at2: note: the same file as a.at2 (given twice)\n"
       "peer-normalize: 1 problem, 2 notes" +
           kProblems},
      {"a 0.0137 g record",
       {{"small.at2", quiet_record()}},
       {"small.at2"},
       0,
       "small.at2:3: note: 210 of 700 nonzero samples (30%) print as 0.000, and the rounding to 3 "
       "decimals is 2.6% of the signal (RMS); --units cm/s2 keeps them\n"
       "peer-normalize: no problem: the merge reads every value of this record (1 note)\n"},
      {"a time step the time column cannot show",
       {{"ise.at2", record(10, ".00244")}},
       {"ise.at2"},
       0,
       "ise.at2:4:18: note: the time step 0.00244 s has more decimals than the 3 of the time "
       "column: its times are rounded (0.002 s, 0.005 s, ...)\n"
       "peer-normalize: no problem: the merge reads every value of this record (1 note)\n"},
      {"a record in a newer layout",
       {{"new.at2", "RECORD\nEV, ST, 090\nUNITS OF G\nNPTS=   2676, DT=   .0200 SEC\n1 2 3\n"}},
       {"new.at2"},
       1,
       "new.at2:4: the merge stops here with 'fmt: read unexpected character': the header's "
       "count and time step are not in its columns 6-11 and 17-23\n"
       "peer-normalize: 1 problem: the merge would not read every value of this record\n"},
      {"a file that is not there",
       {},
       {"gone.at2"},
       1,
       "gone.at2: the merge cannot open it: open: No such file or directory\n"
       "peer-normalize: 1 problem: the merge would not read every value of this record\n"},
  };
}

TEST(Check, SaysEachWayTheCombinedFileWouldLoseValues) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    Sandbox box;
    for (const auto& [name, text] : c.files) box.write(name, text);
    if (std::string(c.what) == "the output is an input through another path") {
      std::filesystem::create_symlink("a.at2", box.path("link.at2"));
    }
    const Outcome o = check(box, c.names);
    EXPECT_EQ(o.exit_status, c.status);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, "");
  }
}

TEST(Check, OutputThroughALinkIsTheInput) {
  Sandbox box;
  box.write("a.at2", record(10, ".01000"));
  box.write("c.at2", record(10, ".01000"));
  std::filesystem::create_symlink("c.at2", box.path("link.csv"));
  const Outcome o = check(box, {"a.at2", "a.at2", "c.at2", "link.csv"});
  EXPECT_EQ(o.exit_status, 1);
  EXPECT_EQ(o.out.substr(0, o.out.find('\n')),
            "link.csv: is c.at2 itself: the merge would write the combined file over that record");
}

TEST(Check, ACombinedFileGivenAsARecordIsNoRecord) {
  Sandbox box;
  const std::string rec = record(20, ".00400");
  box.write("a.at2", rec);
  box.write("b.at2", record(20, ".00400", 5, 0.25));
  ASSERT_TRUE(ended_normally(box.run("a.at2\nb.at2\na.at2\nab.csv\n")));
  const Outcome o = check(box, {"a.at2", "ab.csv", "b.at2"});
  EXPECT_EQ(o.exit_status, 1);
  EXPECT_EQ(o.out,
            "ab.csv:4: not a single-component record: line 4 gives no point count and time step "
            "(NPTS, DT); it is a combined file (a time and three components a line); the merge "
            "would read 12 points at 2 s from its columns\n"
            "peer-normalize: 1 problem" +
                kProblems);
}

TEST(Check, ReadsOnly) {
  Sandbox box;
  box.write("a.at2", record(10, ".01000"));
  const Outcome o = check(box, {"a.at2", "a.at2", "a.at2", "out.csv"});
  EXPECT_EQ(o.exit_status, 0);
  EXPECT_FALSE(box.exists("out.csv"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.dir()), {}), 1);
}

// The check passes exactly when the merge's combined file holds every value of the three
// at its time.
TEST(Check, AgreesWithWhatTheMergeWrites) {
  struct Set {
    int points[3];
    const char* dt[3];
    int per_line[3];
  };
  const Set sets[] = {
      {{12, 12, 12}, {".01000", ".01000", ".01000"}, {5, 5, 5}},
      {{12, 12, 12}, {".01000", ".01000", ".01000"}, {5, 4, 5}},
      {{12, 12, 12}, {".01000", ".01000", ".01000"}, {5, 5, 8}},
      {{12, 12, 12}, {".01000", ".00500", ".01000"}, {5, 5, 5}},
      {{12, 11, 12}, {".01000", ".01000", ".01000"}, {5, 5, 5}},
      {{12, 12, 13}, {".01000", ".01000", ".01000"}, {5, 5, 5}},
      {{15, 15, 15}, {".02000", ".02000", ".02000"}, {3, 15, 1}},
  };
  for (const Set& s : sets) {
    Sandbox box;
    std::vector<float> values[3];
    const char* names[3] = {"x.at2", "y.at2", "z.at2"};
    for (int i = 0; i < 3; ++i) {
      const std::string rec = record(s.points[i], s.dt[i], s.per_line[i], 0.125 * (i + 1));
      box.write(names[i], rec);
      values[i] = sample_values(lines_of(rec));
    }
    SCOPED_TRACE(box.read("x.at2").substr(0, 0) + std::to_string(s.points[1]) + " " + s.dt[1]);
    const Outcome merged = box.run("x.at2\ny.at2\nz.at2\nout.csv\n");
    const float dt = std::stof(s.dt[2]);
    const bool holds_all =
        ended_normally(merged) && s.points[0] == s.points[2] && s.points[1] == s.points[2] &&
        std::string(s.dt[0]) == s.dt[2] && std::string(s.dt[1]) == s.dt[2] &&
        box.read_output("out.csv") == combined(s.points[2], dt, values[0], values[1], values[2]);
    const Outcome o = check(box, {"x.at2", "y.at2", "z.at2", "out.csv"});
    EXPECT_EQ(o.exit_status == 0, holds_all) << o.out << o.err;
  }
}

}  // namespace
}  // namespace e2e
