// The synthetic component files must be what the program reads: fields in the right
// columns, a header it parses, values that read back as written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "component_reader.hpp"
#include "record_io/byte_channel.hpp"
#include "record_io/formatted_read.hpp"
#include "record_io/runtime.hpp"
#include "sample_reader.hpp"
#include "string_channel.hpp"
#include "synthetic_record.hpp"

namespace {

TEST(SampleField, FifteenColumnsSevenDigitsPointFirst) {
  struct Case {
    double value;
    const char* field;
  };
  const Case cases[] = {
      {0.004089674, "   .4089674E-02"}, {-0.00408696, "  -.4086960E-02"}, {0.5, "   .5000000E+00"},
      {0.0, "   .0000000E+00"},         {-0.0, "   .0000000E+00"},        {1.0, "   .1000000E+01"},
      {0.099999996, "   .1000000E+00"},  // the mantissa rounds up into the next decade
      {1.5e-12, "   .1500000E-11"},     {-2.5e-7, "  -.2500000E-06"},
  };
  for (const Case& c : cases) {
    std::string out;
    bench::append_sample_field(out, c.value);
    EXPECT_EQ(out, c.field) << c.value;
  }
}

TEST(SyntheticMotion, SeededAndScaledToItsPeak) {
  bench::MotionShape shape;
  shape.points = 4000;
  std::vector<double> a = bench::synthetic_motion(shape);
  EXPECT_EQ(a, bench::synthetic_motion(shape));
  double largest = 0;
  for (double v : a) largest = std::max(largest, std::fabs(v));
  EXPECT_DOUBLE_EQ(largest, shape.peak);
  shape.seed = 2;
  EXPECT_NE(a, bench::synthetic_motion(shape));
}

// The file text read back through the program's own component and sample statements.
TEST(ComponentText, ReadsBackThroughTheProgramsStatements) {
  bench::MotionShape shape;
  shape.points = 12;  // two full data lines and one of two values
  shape.dt = 0.01;
  std::vector<double> samples = bench::synthetic_motion(shape);
  std::string text = bench::component_text(shape, "TITLE TWO", samples);

  std::vector<std::string> lines;
  for (std::size_t from = 0, lf; (lf = text.find('\n', from)) != std::string::npos; from = lf + 1) {
    lines.push_back(text.substr(from, lf - from));
  }
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[3], "NPTS=    12, DT= .01000 SEC");
  EXPECT_EQ(lines[4].size(), 75u);
  EXPECT_EQ(lines[5].size(), 75u);
  EXPECT_EQ(lines[6].size(), 30u);

  record_io::Runtime io(std::make_unique<record_io::StringChannel>(text),
                        std::make_unique<record_io::StringChannel>(),
                        std::make_unique<record_io::StringChannel>(),
                        {[] { std::abort(); }, [] { std::abort(); }});
  TitleLine title{};
  for (int i = 0; i < 3; ++i) {
    record_io::FormattedRead(io, record_io::Runtime::input_unit, line_format())
        .text(title.data(), title.size())
        .end();
  }
  std::int32_t nt = 0;
  float dt = 0;
  record_io::FormattedRead(io, record_io::Runtime::input_unit, header_format())
      .integer(nt)
      .real(dt)
      .end();
  EXPECT_EQ(nt, 12);
  EXPECT_EQ(dt, 0.01f);

  Samples read;
  read_samples(io, record_io::Runtime::input_unit, nt, read);
  // The first ten are read whatever the statement count for the last partial group.
  for (std::size_t i = 0; i < 10; ++i) {
    std::string field;
    bench::append_sample_field(field, samples[i]);
    EXPECT_EQ(read[i], std::strtof(field.c_str(), nullptr)) << field;
    EXPECT_NEAR(read[i], samples[i], std::fabs(samples[i]) * 1e-6) << field;
  }
}

}  // namespace
