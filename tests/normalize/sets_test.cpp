// peer-normalize --triplets on a folder of records made here: sets padded or cut and said,
// refused sets, files that form no set, the answers each set's merge reads; and -d onto a
// folder that is not there.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

Outcome normalize(const Sandbox& box, std::vector<std::string> arguments) {
  return box.run("", Launch{program_path("peer-normalize"), std::move(arguments)});
}

// A record of `points` values 0.001 * (k + 1) * scale.
std::string record(int points, std::string_view dt, int scale,
                   std::string_view header_layout = "") {
  std::string text = "RECORD\nMANJIL IRAN, 6/20/1990, ABBAR, L\nACCELERATION IN UNITS OF G\n";
  text += header_layout.empty()
              ? header(points, dt)
              : "NPTS=   " + std::to_string(points) + ", DT=   " + std::string(dt) + " SEC";
  text += "\n";
  char number[32];
  for (int k = 0; k < points; ++k) {
    std::snprintf(number, sizeof number, "%.6E", 0.001 * (k + 1) * scale);
    text += number;
    text += k % 5 == 4 || k + 1 == points ? "\n" : "  ";
  }
  return text;
}

std::vector<float> values(const std::string& rec, std::size_t length) {
  std::vector<float> v = sample_values(lines_of(rec));
  v.resize(length, 0.0F);
  return v;
}

TEST(TripletSets, SetsArePaddedCheckedAndGivenTheirAnswers) {
  Sandbox box;
  std::filesystem::create_directories(box.path("dl"));
  std::filesystem::create_directories(box.path("out"));
  const std::string l = record(2676, ".0200", 1, "nga");
  const std::string t = record(2300, ".0200", 2, "nga");
  const std::string v = record(2671, ".0200", 3, "nga");
  box.write("dl/RSN1_MANJIL_ABBAR--L.AT2", l);
  box.write("dl/RSN1_MANJIL_ABBAR--T.AT2", t);
  box.write("dl/RSN1_MANJIL_ABBAR--V.AT2", v);
  box.write("dl/RSN2_EV_ST000.AT2", record(10, ".01000", 1));
  box.write("dl/RSN2_EV_ST090.AT2", record(10, ".00500", 1));
  box.write("dl/RSN2_EV_STUP.AT2", record(10, ".01000", 1));
  box.write("dl/RSN3_EV_Q000.AT2", record(10, ".01000", 1));
  const Outcome o = normalize(
      box, {"--triplets", "-d", "out", "dl/RSN1_MANJIL_ABBAR--V.AT2", "dl/RSN1_MANJIL_ABBAR--T.AT2",
            "dl/RSN1_MANJIL_ABBAR--L.AT2", "dl/RSN2_EV_ST000.AT2", "dl/RSN2_EV_ST090.AT2",
            "dl/RSN2_EV_STUP.AT2", "dl/RSN3_EV_Q000.AT2"});
  EXPECT_EQ(o.exit_status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err,
            "peer-normalize: RSN1_MANJIL_ABBAR: dl/RSN1_MANJIL_ABBAR--T.AT2 padded with 376 "
            "zeros from 46.000 s on, to 2676 points\n"
            "peer-normalize: RSN1_MANJIL_ABBAR: dl/RSN1_MANJIL_ABBAR--V.AT2 padded with 5 zeros "
            "from 53.420 s on, to 2676 points\n"
            "peer-normalize: RSN1_MANJIL_ABBAR: out/RSN1_MANJIL_ABBAR.answers merges it into "
            "out/RSN1_MANJIL_ABBAR.csv\n"
            "peer-normalize: RSN2_EV_ST: time steps differ (dl/RSN2_EV_ST000.AT2 0.01 s, "
            "dl/RSN2_EV_ST090.AT2 0.005 s, dl/RSN2_EV_STUP.AT2 0.01 s); not resampled, no set "
            "made\n"
            "peer-normalize: dl/RSN3_EV_Q000.AT2: forms no set: set RSN3_EV_Q has 1 of its three "
            "components\n"
            "peer-normalize: 1 set made, 1 refused, 1 file left over\n");
  EXPECT_EQ(box.read_output("out/RSN1_MANJIL_ABBAR.answers"),
            "out/RSN1_MANJIL_ABBAR--L.AT2\nout/RSN1_MANJIL_ABBAR--T.AT2\n"
            "out/RSN1_MANJIL_ABBAR--V.AT2\nout/RSN1_MANJIL_ABBAR.csv\n");
  EXPECT_FALSE(box.exists("out/RSN2_EV_ST.answers"));
  EXPECT_FALSE(box.exists("out/RSN2_EV_ST000.AT2"));

  // What `peer-merge < out/RSN1_MANJIL_ABBAR.answers` reads: the set, every sample at its time.
  const Outcome merged = box.run(box.read("out/RSN1_MANJIL_ABBAR.answers"));
  ASSERT_TRUE(ended_normally(merged)) << merged.err;
  EXPECT_TRUE(same_lines(box.read_output("out/RSN1_MANJIL_ABBAR.csv"),
                         combined(2676, 0.02F, values(l, 2676), values(t, 2676), values(v, 2676))));
}

TEST(TripletSets, CutToTheShortestAndInAnotherUnit) {
  Sandbox box;
  std::filesystem::create_directories(box.path("out"));
  box.write("SCS052.AT2", record(12, ".00500", 1));
  box.write("SCS142.AT2", record(10, ".00500", 2));
  box.write("SCSUP.AT2", record(11, ".00500", 3));
  const Outcome o = normalize(box, {"--triplets", "--cut", "--units", "cm/s2", "-dout", "SCSUP.AT2",
                                    "SCS142.AT2", "SCS052.AT2"});
  EXPECT_EQ(o.exit_status, 0);
  EXPECT_EQ(o.err,
            "peer-normalize: SCS: SCS052.AT2 cut to 10 points: its last 2 samples, from 0.050 s "
            "on, left out\n"
            "peer-normalize: SCS: SCSUP.AT2 cut to 10 points: its last 1 sample, from 0.050 s on, "
            "left out\n"
            "peer-normalize: SCS: out/SCS.answers merges it into out/SCS.csv\n"
            "peer-normalize: 1 set made, 0 refused, 0 files left over\n");
  const std::vector<std::string> lines = lines_of(box.read("out/SCS052.AT2"));
  ASSERT_GE(lines.size(), 5U);
  EXPECT_EQ(lines[2], "ACCELERATION IN UNITS OF CM/S2");
  EXPECT_EQ(lines[3], "NPTS=    10, DT= .00500 SEC");
  EXPECT_EQ(lines[4],
            "       0.980665        1.96133      2.9419951        3.92266       4.903325");
}

TEST(TripletSets, NeedAFolderThatIsThere) {
  Sandbox box;
  box.write("a.at2", record(5, ".01000", 1));
  for (const char* option : {"", "--triplets"}) {
    SCOPED_TRACE(option);
    std::vector<std::string> arguments = {"-d", "nosuchdir", "a.at2", "b.at2"};
    if (*option != '\0') arguments.insert(arguments.begin(), option);
    const Outcome o = normalize(box, arguments);
    EXPECT_EQ(o.exit_status, 1);
    EXPECT_EQ(o.err, "peer-normalize: nosuchdir: no such folder\n");
  }
  const Outcome file = normalize(box, {"-d", "a.at2", "a.at2"});
  EXPECT_EQ(file.err, "peer-normalize: a.at2: Not a directory\n");
}

}  // namespace
}  // namespace e2e
