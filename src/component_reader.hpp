// The component stage: one single-component record file read on unit 11.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "record_io/format.hpp"
#include "record_io/runtime.hpp"
#include "samples.hpp"

// A title line as kept: columns 3 to 80 of the file's line.
inline constexpr std::size_t title_length = 78;
using TitleLine = std::array<char, title_length>;

// What a component stage leaves behind: the title lines and the header values of the
// file it read last.
struct ComponentHeader {
  TitleLine line1{}, line2{}, line3{};
  std::int32_t nt = 0;  // number of points
  float dt = 0;         // time step, seconds
};

// "(a80)": the first 80 columns of a line (title lines), or, read into a text as long as
// the line, the whole line (file names).
const record_io::Format& line_format();
// "(5X,I6,5X,F7.0)": the header, points in columns 6-11 and the time step in 17-23.
const record_io::Format& header_format();

// Opens the named file on unit 11, reads its three title lines and its header into
// `header` and echoes them on the console, loads its samples into `target`, and closes
// it. Any failure ends the run with the fatal diagnostic.
void read_component(record_io::Runtime& io, std::string_view name, ComponentHeader& header,
                    Samples& target);
