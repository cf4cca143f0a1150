// The header line (line 4): its point count and time step in any of the layouts records
// come in, and the same two values written in the old layout's fixed columns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace normalize {

// The largest point count the six columns of the old layout hold.
inline constexpr std::int64_t max_points = 999999;

struct HeaderLine {
  bool ok = false;
  // When ok: the two values, and the time step's text as the line writes it.
  std::int64_t points = 0;
  float time_step = 0;
  std::string time_step_text;
  long points_column = 0;  // where the count's text starts, from 1
  // When not ok: what is wrong, and the column (from 1) of the text at fault, 0 when no
  // text in particular is.
  std::string problem;
  long column = 0;
};

// Finds the point count and the time step in a header line. Labels NPTS (or NPT, NP) and DT, in any
// letter case, either stand before their value with an equals sign ("NPTS=  2676, dt= .02")
// or follow the values, in the same order ("4096  0.0100  NPTS, DT"); any other text is
// passed over. The point count is a whole number from 0 to 999999, the time step a number
// above zero.
HeaderLine recognize_header(std::string_view line);

// The header in the old layout: "NPTS=" in columns 1-5, the point count right-aligned in
// 6-11, ", DT=" in 12-16, the time step text (at most seven characters) right-aligned in
// 17-23, then " SEC".
std::string old_layout_header(std::int64_t points, std::string_view time_step_text);

}  // namespace normalize
