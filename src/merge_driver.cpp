#include "merge_driver.hpp"

#include <string_view>

#include "combined_writer.hpp"
#include "record_io/formatted_read.hpp"
#include "record_io/list_write.hpp"
#include "sample_reader.hpp"
#include "units.hpp"

using record_io::ListWrite;

namespace {

void say(record_io::Runtime& io, std::string_view text) {
  ListWrite(io, console).text(text).end();
}

void blank_line(record_io::Runtime& io) {
  ListWrite(io, console).end();
}

void ask(record_io::Runtime& io, std::string_view prompt, std::string& answer) {
  say(io, prompt);
  record_io::FormattedRead(io, keyboard, line_format()).text(answer).end();
}

}  // namespace

void MAIN__(record_io::Runtime& io) {
  MergeStorage s;
  s.x = zero_samples(min_samples);
  s.y = zero_samples(min_samples);
  s.z = zero_samples(min_samples);

  say(io, "Program for Reading PEER-Type Strong Motion Data");
  blank_line(io);
  ask(io, "Enter 1st File Name of 3 Components", s.infile1);
  ask(io, "Enter 2nd File Name of 3 Components", s.infile2);
  ask(io, "Enter 3rd File Name of 3 Components", s.infile3);

  blank_line(io);
  say(io, "First Component:");
  read_component(io, s.infile1, s.header, s.x);
  blank_line(io);
  say(io, "Second Component:");
  read_component(io, s.infile2, s.header, s.y);
  blank_line(io);
  say(io, "Third Component:");
  read_component(io, s.infile3, s.header, s.z);

  blank_line(io);
  ask(io, "Enter Output Acceleration File Name (CSV format)", s.infile1);
  // The third component decides the length: every array is made at least that long.
  extend_samples(s.x, s.header.nt);
  extend_samples(s.y, s.header.nt);
  extend_samples(s.z, s.header.nt);
  write_combined(io, s.infile1, s.header.nt, s.header.dt, s.x, s.y, s.z);
  io.stop();
}
