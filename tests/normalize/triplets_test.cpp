// The grouping of downloaded records into three-component sets by their names, in each
// database's style, with stray files and incomplete sets; and the units the third title line
// names, renamed and converted.
#include "triplets.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "record_io/list_read.hpp"
#include "units.hpp"

namespace normalize {
namespace {

struct Grouped {
  const char* what;
  std::vector<std::string> files;
  std::vector<TripletSet> sets;
  std::vector<std::string> left_over;
};

TEST(Triplets, GroupedByTheNamesTheDatabasesGive) {
  const Grouped cases[] = {
      {"azimuths and UP, vertical given first",
       {"d/RSN960_NORTHR_LOSUP.AT2", "d/RSN960_NORTHR_LOS270.AT2", "d/RSN960_NORTHR_LOS000.AT2"},
       {{"RSN960_NORTHR_LOS",
         {"d/RSN960_NORTHR_LOS000.AT2", "d/RSN960_NORTHR_LOS270.AT2",
          "d/RSN960_NORTHR_LOSUP.AT2"}}},
       {}},
      {"-L/-T/-V",
       {"RSN1633_MANJIL_ABBAR--V.AT2", "RSN1633_MANJIL_ABBAR--T.AT2",
        "RSN1633_MANJIL_ABBAR--L.AT2"},
       {{"RSN1633_MANJIL_ABBAR",
         {"RSN1633_MANJIL_ABBAR--L.AT2", "RSN1633_MANJIL_ABBAR--T.AT2",
          "RSN1633_MANJIL_ABBAR--V.AT2"}}},
       {}},
      {"E/N/UP and FN/FP/V side by side",
       {"RSN1_EV_STAE.AT2", "RSN1_EV_STAUP.AT2", "RSN1_EV_STAN.AT2", "RSN2_EV_XFP.at2",
        "RSN2_EV_XV.at2", "RSN2_EV_XFN.at2"},
       {{"RSN1_EV_STA", {"RSN1_EV_STAN.AT2", "RSN1_EV_STAE.AT2", "RSN1_EV_STAUP.AT2"}},
        {"RSN2_EV_X", {"RSN2_EV_XFN.at2", "RSN2_EV_XFP.at2", "RSN2_EV_XV.at2"}}},
       {}},
      {"the older database's STATION000/090/UP, any azimuth",
       {"old/SCS142.AT2", "old/SCSUP.AT2", "old/SCS052.AT2", "old/H-E12140.at2"},
       {{"SCS", {"old/SCS052.AT2", "old/SCS142.AT2", "old/SCSUP.AT2"}}},
       {"old/H-E12140.at2"}},
      {"velocities apart from accelerations",
       {"RSN1_EV_STAE.AT2", "RSN1_EV_STAUP.AT2", "RSN1_EV_STAN.AT2", "RSN1_EV_STAE.VT2"},
       {{"RSN1_EV_STA", {"RSN1_EV_STAN.AT2", "RSN1_EV_STAE.AT2", "RSN1_EV_STAUP.AT2"}}},
       {"RSN1_EV_STAE.VT2"}},
      {"the same names in two folders are two sets",
       {"a/TAP000.AT2", "a/TAP090.AT2", "a/TAPUP.AT2", "b/TAP000.AT2", "b/TAP090.AT2"},
       {{"TAP", {"a/TAP000.AT2", "a/TAP090.AT2", "a/TAPUP.AT2"}}},
       {"b/TAP000.AT2", "b/TAP090.AT2"}},
      {"strays, an incomplete set, a set of four, one without a vertical",
       {"README.txt", "elCentro.AT2", "HAD-NS.AT2", "HAD-EW.AT2", "K000.AT2", "K090.AT2",
        "K180.AT2", "KUP.AT2", "Q000.AT2", "Q090.AT2", "Q180.AT2"},
       {},
       {"README.txt", "elCentro.AT2", "HAD-NS.AT2", "HAD-EW.AT2", "K000.AT2", "K090.AT2",
        "K180.AT2", "KUP.AT2", "Q000.AT2", "Q090.AT2", "Q180.AT2"}},
  };
  for (const Grouped& c : cases) {
    SCOPED_TRACE(c.what);
    const Grouping g = group_triplets(c.files);
    ASSERT_EQ(g.sets.size(), c.sets.size());
    for (std::size_t k = 0; k < g.sets.size(); ++k) {
      EXPECT_EQ(g.sets[k].name, c.sets[k].name);
      EXPECT_EQ(g.sets[k].files, c.sets[k].files);
    }
    std::vector<std::string> left;
    for (const LeftOver& l : g.left_over) left.push_back(l.file);
    EXPECT_EQ(left, c.left_over);
  }
}

TEST(Triplets, LeftOverFilesSayWhy) {
  const Grouping g = group_triplets({"data.csv", "K000.AT2", "K090.AT2", "KEW.AT2"});
  ASSERT_EQ(g.left_over.size(), 4U);
  EXPECT_EQ(g.left_over[0].reason,
            "no component (000, 090, UP, L, T, V, ...) at the end of its name");
  EXPECT_EQ(g.left_over[1].reason, "set K has 0 vertical components, not one");
}

struct Named {
  const char* line;
  const char* unit;  // "" for none
  const char* renamed;
};

TEST(Units, TheThirdTitleLineNamesTheUnit) {
  const Named cases[] = {
      {"ACCELERATION TIME HISTORY IN UNITS OF G. FILTER POINTS: HP=0.6 Hz", "g",
       "ACCELERATION TIME HISTORY IN UNITS OF CM/S2. FILTER POINTS: HP=0.6 Hz"},
      {"The units are (g)", "g", "The units are (cm/s2)"},
      {"ACCELERATION IN CM/SEC/SEC", "cm/s2", "ACCELERATION IN CM/S2"},
      {"accel. (cm/s^2)", "cm/s2", "accel. (cm/s2)"},
      {"UNITS: GAL", "cm/s2", "UNITS: CM/S2"},
      {"ACCELERATION, M/S2", "m/s2", "ACCELERATION, CM/S2"},
      {"VELOCITY IN CM/SEC", "", ""},
      {"IN G OR CM/S2", "", ""},
  };
  for (const Named& c : cases) {
    SCOPED_TRACE(c.line);
    const NamedUnit named = unit_named(c.line);
    if (*c.unit == '\0') {
      EXPECT_FALSE(named.unit);
      EXPECT_NE(named.problem, "");
      continue;
    }
    ASSERT_TRUE(named.unit) << named.problem;
    EXPECT_EQ(unit_name(*named.unit), c.unit);
    EXPECT_EQ(line_renamed(c.line, AccelerationUnit::cm_s2), c.renamed);
  }
}

TEST(Units, ConvertedTextReadsBackAsTheConvertedSingle) {
  const double g_to_cm = unit_factor(AccelerationUnit::g, AccelerationUnit::cm_s2);
  EXPECT_EQ(g_to_cm, 980.665);
  EXPECT_EQ(unit_factor(AccelerationUnit::m_s2, AccelerationUnit::cm_s2), 100.0);
  EXPECT_EQ(converted_text(0.5F, g_to_cm), "490.3325");
  EXPECT_EQ(converted_text(-0.0F, g_to_cm), "0.");
  EXPECT_EQ(converted_text(3e38F, g_to_cm), "");
  // Across the whole range of sizes: the text is read back to the same single.
  std::uint32_t bits = 0x2f000000U;  // about 1e-10
  for (int k = 0; k < 200000; ++k, bits += 0x1234U) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    for (const double factor : {g_to_cm, 1 / g_to_cm, 100.0}) {
      const std::string text = converted_text(v, factor);
      const float read =
          record_io::scan_list_item(text.data(), text.data() + text.size(), true).value;
      ASSERT_EQ(read, static_cast<float>(static_cast<double>(v) * factor)) << text;
      ASSERT_LE(text.size(), 15U) << text;
    }
  }
}

}  // namespace
}  // namespace normalize
