// Real strong-motion records kept outside the project, when they are present: each one,
// normalised and then merged, gives the values its own file writes, whichever layout it
// comes in; those the merge reads as they are give the same combined file either way.
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
  bool merged_as_is;  // its header fits the merge's columns and its lines hold five values
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
  }
}

}  // namespace
}  // namespace e2e
