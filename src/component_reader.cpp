#include "component_reader.hpp"

#include "record_io/formatted_read.hpp"
#include "record_io/list_write.hpp"
#include "sample_reader.hpp"
#include "units.hpp"

using record_io::FormattedRead;
using record_io::ListWrite;

namespace {

void read_title(record_io::Runtime& io, TitleLine& line) {
  FormattedRead(io, file_unit, line_format()).text(line.data(), line.size()).end();
}

void echo_title(record_io::Runtime& io, const TitleLine& line) {
  ListWrite(io, console).text(std::string_view(line.data(), line.size())).end();
}

}  // namespace

const record_io::Format& line_format() {
  static const record_io::Format format("(a80)");
  return format;
}

const record_io::Format& header_format() {
  static const record_io::Format format("(5X,I6,5X,F7.0)");
  return format;
}

void read_component(record_io::Runtime& io, std::string_view name, ComponentHeader& header,
                    Samples& target) {
  io.open(file_unit, name, record_io::OpenStatus::old);
  read_title(io, header.line1);
  read_title(io, header.line2);
  read_title(io, header.line3);
  echo_title(io, header.line1);
  echo_title(io, header.line2);
  echo_title(io, header.line3);
  FormattedRead(io, file_unit, header_format()).integer(header.nt).real(header.dt).end();
  ListWrite(io, console)
      .text("Number of Points & Dt (s) =")
      .integer(header.nt)
      .real(header.dt)
      .end();
  read_samples(io, file_unit, header.nt, target);
  io.close(file_unit);
}
