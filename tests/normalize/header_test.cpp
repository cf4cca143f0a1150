// The header line: the layouts it is found in, what is refused, and the old-layout line
// written back, read with the merge's own header statement.
#include "header_line.hpp"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "harness.hpp"
#include "record_io/formatted_read.hpp"
#include "time_step.hpp"

namespace normalize {
namespace {

struct Found {
  const char* line;
  std::int64_t points;
  const char* time_step;
};

TEST(Header, FoundInEveryLayout) {
  const Found cases[] = {
      {"NPTS=  8000, DT= .00500 SEC", 8000, ".00500"},
      {"NPTS=   1451, dt=  .02000", 1451, ".02000"},
      {"NPTS=   3970, dt=   .0100 SEC", 3970, ".0100"},
      {"NPTS=   1999, DT=   .0100 SEC,   0 POLE @    30.00000 HZ,   0 POLE @      .00000", 1999,
       ".0100"},
      {"4096    0.0100    NPTS, DT", 4096, "0.0100"},
      {"0.005 12 dt npts", 12, "0.005"},
      {"title 7  3 0.5 NPTS DT", 3, "0.5"},
      {"npts = 12 , Dt = 1.5e-3", 12, "1.5e-3"},
      {"DT=0.01 NPTS=+5", 5, "0.01"},
      {"WIDTH= 5, NPTS=0, DT=2", 0, "2"},
      {"NPTS=999999,DT=.01", 999999, ".01"},
      {"NPTS=\t12\tDT=\t.01D0", 12, ".01D0"},
      {"NP= 12000, DT= .00500 SEC", 12000, ".00500"},
      {"npt=7 dt=.1", 7, ".1"},
      {"NPTS= 5, DT= .01, ORIGINAL NPTS= 80, DT= 1", 5, ".01"},  // the first labels
  };
  for (const Found& c : cases) {
    SCOPED_TRACE(c.line);
    const HeaderLine h = recognize_header(c.line);
    ASSERT_TRUE(h.ok) << h.problem;
    EXPECT_EQ(h.points, c.points);
    EXPECT_EQ(h.time_step_text, c.time_step);
  }
}

struct Refused {
  const char* line;
  long column;
  const char* problem;
};

TEST(Header, RefusedWithWhatIsMissing) {
  const Refused cases[] = {
      {"DT= .01", 0, "no point count (NPTS) in the header line"},
      {"NPTS= 100", 0, "no time step (DT) in the header line"},
      {"4096 NPTS, DT", 0, "no point count (NPTS) in the header line"},
      {"NPTS=, DT=.01", 6, "expected the point count after 'NPTS='"},
      {"NPTS=10, DT= SEC", 13, "expected the time step after 'DT='"},
      {"NPTS= 10.5, DT=.01", 7, "expected a whole number of points (NPTS), found '10.5'"},
      {"NPTS= -3, DT=.01", 7, "expected a whole number of points (NPTS), found '-3'"},
      {"NPTS=1000000, DT=.01", 6,
       "the point count 1000000 does not fit the six columns of the header (at most 999999)"},
      {"NPTS=12, DT=0.0", 13, "expected a time step (DT) above zero, found '0.0'"},
      {"NPTS=12, DT=-.01", 13, "expected a time step (DT) above zero, found '-.01'"},
      {"NPTS=12, DT=1e99", 13, "expected a time step (DT) above zero, found '1e99'"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.line);
    const HeaderLine h = recognize_header(c.line);
    ASSERT_FALSE(h.ok);
    EXPECT_EQ(h.problem, c.problem);
    EXPECT_EQ(h.column, c.column);
  }
}

// What the merge's header statement reads from a line.
struct HeaderRead {
  std::int32_t nt = -1;
  float dt = -1;
};

HeaderRead read_like_the_merge(const std::string& line) {
  static const record_io::Format format("(5X,I6,5X,F7.0)");
  record_io::testing::Console console(line + "\n");
  HeaderRead r;
  record_io::FormattedRead(console.io(), record_io::Runtime::input_unit, format)
      .integer(r.nt)
      .real(r.dt)
      .end();
  return r;
}

struct Step {
  float dt;
  const char* text;
  bool exact;
};

TEST(TimeStep, ShortestTextThatReadsBackInTheOldLayoutsForm) {
  const Step cases[] = {
      {0.005F, ".00500", true},
      {0.02F, ".02000", true},
      {0.00244F, ".00244", true},
      {0.0001F, ".00010", true},
      {0.000125F, ".000125", true},
      {1.5F, "1.50000", true},
      {12.5F, "12.5", true},
      {1234567.0F, "1234567", true},
      {1e-7F, "1E-7", true},
      {1.5e-7F, "1.5E-7", true},
      {0.0123456F, ".012346", false},
      {1.23456789e-5F, "1235E-8", false},
      {123456789.0F, "12346E4", false},
  };
  for (const Step& c : cases) {
    SCOPED_TRACE(c.text);
    const TimeStepText t = time_step_text(c.dt);
    EXPECT_EQ(t.text, c.text);
    EXPECT_EQ(t.exact, c.exact);
    const HeaderRead r = read_like_the_merge(old_layout_header(999999, t.text));
    EXPECT_EQ(r.nt, 999999);
    EXPECT_EQ(r.dt, t.value);
    EXPECT_EQ(r.dt == c.dt, c.exact);
  }
}

// Every time step of up to five decimals, and every one of six digits near 1 ms, comes back
// exactly from seven columns.
TEST(TimeStep, EveryShortDecimalComesBackExactly) {
  for (std::int64_t k = 1; k < 200000; k += 7) {
    const float dt = static_cast<float>(static_cast<double>(k) / 100000.0);
    const TimeStepText t = time_step_text(dt);
    ASSERT_TRUE(t.exact) << k;
    ASSERT_LE(t.text.size(), time_step_columns);
    if (k % 71 == 0) {
      ASSERT_EQ(read_like_the_merge(old_layout_header(k, t.text)).dt, dt) << k;
    }
  }
}

}  // namespace
}  // namespace normalize
