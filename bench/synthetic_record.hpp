// Synthetic single-component acceleration records for measurements: a seeded ground motion
// and its text in the PEER-type layout the program reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// What a synthetic component looks like.
struct MotionShape {
  std::size_t points = 33000;
  double dt = 0.005;    // seconds
  double peak = 0.35;   // largest magnitude, in g
  double corner = 3.0;  // dominant frequency of the ground, Hz
  std::uint64_t seed = 1;
};

// A ground acceleration in g: filtered noise under a build-up, strong-shaking and decay
// envelope, scaled to the peak. The same shape always gives the same values.
std::vector<double> synthetic_motion(const MotionShape& shape);

// Appends v as one 15-column data field: seven significant digits in E notation with the
// point first (".4089674E-02", "-.4086960E-02"), right-aligned. Zero is ".0000000E+00".
void append_sample_field(std::string& out, double v);

// The whole text of a component file: three title lines, the header
// ("NPTS= 33000, DT= .00500 SEC", the count in columns 6-11 and the step in 17-23), then
// the samples five to a line, each line ended by a line feed.
std::string component_text(const MotionShape& shape, const std::string& title,
                           const std::vector<double>& samples);

// The data lines alone (no title or header) for the samples.
std::string data_lines(const std::vector<double>& samples);

// The three components of one synthetic event: two horizontal and one vertical, each with
// its own seed derived from `seed`.
std::vector<MotionShape> event_components(std::size_t points, std::uint64_t seed);

}  // namespace bench
