// Real strong-motion records kept outside the project, when they are present: each one,
// normalised and then merged, gives the values its own file writes, whichever layout it
// comes in; those the merge reads as they are give the same combined file either way, and
// only those pass the check. Converted to cm/s2, each merges to its converted values; the
// real sets pass the check, after --triplets where they need it.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expect.hpp"
#include "harness.hpp"

namespace e2e {
namespace {

using RealRecords = RealDataTest;

struct Real {
  const char* file;
  long points;  // its header's count
  float dt;
  bool merged_as_is;  // its header fits the merge's columns and its lines hold five values:
                      // the check passes
};

const Real kRecords[] = {
    {"NORTHR_SCS/SCS052.AT2", 8000, 0.005F, true},
    {"NORTHR_SCS/SCS142.AT2", 8000, 0.005F, true},
    {"NORTHR_SCS/SCSUP.AT2", 8000, 0.005F, true},
    {"CHICHI_CHY023/CHY023-N.AT2", 37000, 0.004F, true},
    {"CHICHI_CHY023/CHY023-W.AT2", 37000, 0.004F, true},
    {"CHY067-W/CHY067-W.AT2", 52250, 0.004F, true},
    {"ARL360_crcrlf/ARL360.at2", 2000, 0.02F, true},
    {"ARL360_lf/ARL360.at2", 2000, 0.02F, true},
    {"A-BPL160/A-BPL160.AT2", 7996, 0.005F, true},
    {"B-ZAK360/B-ZAK360.AT2", 7973, 0.005F, true},
    {"H-E12140/H-E12140.at2", 7802, 0.005F, true},
    {"TVY045/TVY045.AT2", 2044, 0.005F, true},
    {"IELC180/IELC180.AT2", 4000, 0.01F, true},
    {"TAN350/TAN350.AT2", 3970, 0.01F, false},
    {"ISE-WE/ISE-WE.AT2", 6557, 0.00244F, false},
    {"HAD-NS/HAD-NS.AT2", 12000, 0.005F, false},
    {"ANLA196/ANLA196.AT2", 1451, 0.02F, false},
    {"elCentro/elCentro.AT2", 1559, 0.02F, false},
    {"nga/NIS000.AT2", 4096, 0.01F, false},
    {"nga/RSN1633_MANJIL_ABBAR--L.AT2", 2676, 0.02F, false},
    {"nga/RSN1633_MANJIL_ABBAR--T.AT2", 2300, 0.02F, false},
    {"nga/RSN1633_MANJIL_ABBAR--V.AT2", 2671, 0.02F, false},
    {"nga/RSN960_NORTHR_LOS270.AT2", 1999, 0.01F, false},
};

Outcome normalize(const Sandbox& box, const std::filesystem::path& in, const std::string& out) {
  return box.run("", Launch{program_path("peer-normalize"), {in.string(), out}});
}

Outcome check(const Sandbox& box, std::vector<std::string> names) {
  names.insert(names.begin(), "--check");
  return box.run("", Launch{program_path("peer-normalize"), std::move(names)});
}

Outcome merge(const Sandbox& box, const std::string& a, const std::string& b, const std::string& c,
              const std::string& out) {
  return box.run(a + "\n" + b + "\n" + c + "\n" + out + "\n");
}

TEST_F(RealRecords, NormalisedThenMergedGiveTheirOwnValues) {
  for (const Real& r : kRecords) {
    SCOPED_TRACE(r.file);
    const std::filesystem::path path = realdata_dir() / r.file;
    std::vector<float> values = sample_values(lines_of(read_file(path)));
    ASSERT_GE(values.size(), static_cast<std::size_t>(r.points));
    const std::size_t extra = values.size() - static_cast<std::size_t>(r.points);
    values.resize(static_cast<std::size_t>(r.points));

    Sandbox box;
    const Outcome normalized = normalize(box, path, "n.at2");
    EXPECT_TRUE(ended_normally(normalized));
    EXPECT_EQ(normalized.out, "");
    if (extra == 0) {
      EXPECT_EQ(normalized.err, "");
    } else {
      EXPECT_NE(normalized.err.find(": warning: " + std::to_string(extra)), std::string::npos)
          << normalized.err;
    }
    const Outcome merged = merge(box, "n.at2", "n.at2", "n.at2", "after.csv");
    ASSERT_TRUE(ended_normally(merged)) << merged.err;
    const std::string after = box.read_output("after.csv");
    EXPECT_TRUE(same_lines(after, combined(r.points, r.dt, values, values, values)));
    if (r.merged_as_is) {
      const std::string original = path.string();
      EXPECT_TRUE(ended_normally(merge(box, original, original, original, "before.csv")));
      EXPECT_EQ(box.read("before.csv"), box.read("after.csv"));
    }
    const Outcome checked = check(box, {path.string()});
    EXPECT_EQ(checked.exit_status, r.merged_as_is ? 0 : 1) << checked.out;
    EXPECT_EQ(check(box, {"n.at2", "n.at2", "n.at2", "after.csv"}).exit_status, 0);
  }
}

TEST_F(RealRecords, ConvertedAndMergedGiveTheirConvertedValues) {
  for (const Real& r : kRecords) {
    SCOPED_TRACE(r.file);
    const std::filesystem::path path = realdata_dir() / r.file;
    std::vector<float> values = sample_values(lines_of(read_file(path)));
    values.resize(static_cast<std::size_t>(r.points));
    for (float& v : values) v = static_cast<float>(static_cast<double>(v) * 980.665);
    Sandbox box;
    const Outcome normalized = box.run(
        "", Launch{program_path("peer-normalize"), {"--units=cm/s2", path.string(), "n.at2"}});
    ASSERT_TRUE(ended_normally(normalized)) << normalized.err;
    ASSERT_TRUE(ended_normally(merge(box, "n.at2", "n.at2", "n.at2", "cm.csv")));
    EXPECT_TRUE(
        same_lines(box.read_output("cm.csv"), combined(r.points, r.dt, values, values, values)));
  }
}

TEST_F(RealRecords, SetsPassTheCheckAfterTriplets) {
  const std::string scs = (realdata_dir() / "NORTHR_SCS").string();
  Sandbox box;
  EXPECT_EQ(check(box, {scs + "/SCS052.AT2", scs + "/SCS142.AT2", scs + "/SCSUP.AT2", "scs.csv"})
                .exit_status,
            0);
  const std::string manjil = (realdata_dir() / "nga/RSN1633_MANJIL_ABBAR-").string();
  const std::vector<std::string> set = {manjil + "-L.AT2", manjil + "-T.AT2", manjil + "-V.AT2"};
  EXPECT_EQ(check(box, set).exit_status, 1);
  std::filesystem::create_directory(box.path("out"));
  const Outcome made = box.run("", Launch{program_path("peer-normalize"),
                                          {"--triplets", "-d", "out", set[2], set[0], set[1]}});
  ASSERT_TRUE(ended_normally(made)) << made.err;
  const std::string answers = box.read_output("out/RSN1633_MANJIL_ABBAR.answers");
  EXPECT_EQ(answers,
            "out/RSN1633_MANJIL_ABBAR--L.AT2\nout/RSN1633_MANJIL_ABBAR--T.AT2\n"
            "out/RSN1633_MANJIL_ABBAR--V.AT2\nout/RSN1633_MANJIL_ABBAR.csv\n");
  EXPECT_EQ(check(box, {"out/RSN1633_MANJIL_ABBAR--L.AT2", "out/RSN1633_MANJIL_ABBAR--T.AT2",
                        "out/RSN1633_MANJIL_ABBAR--V.AT2", "out/RSN1633_MANJIL_ABBAR.csv"})
                .exit_status,
            0);
  ASSERT_TRUE(ended_normally(box.run(answers)));
  // Every sample of all three, at its time.
  std::vector<float> columns[3];
  for (int k = 0; k < 3; ++k) {
    columns[k] = sample_values(lines_of(read_file(set[static_cast<std::size_t>(k)])));
    EXPECT_LE(columns[k].size(), 2676U);
  }
  EXPECT_TRUE(same_lines(box.read_output("out/RSN1633_MANJIL_ABBAR.csv"),
                         combined(2676, 0.02F, columns[0], columns[1], columns[2])));
}

}  // namespace
}  // namespace e2e
