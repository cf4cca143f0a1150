#include "record_io/diagnostic.hpp"

#include <cstring>

namespace record_io {

std::string diagnostic_text(const Failure& failure, const StatementState& state) {
  std::string out = failure.context;
  out += ": ";
  if (failure.number == end_of_file) {
    out += "end of file";
  } else if (failure.number >= 0 && failure.number < 100) {
    out += std::strerror(failure.number);
  } else if (const char* text = message_text(failure.number)) {
    out += text;
  } else {
    out += "illegal error number ";
    out += std::to_string(failure.number);
  }
  out += '\n';
  if (state.unit >= 0) {
    out += "apparent state: unit ";
    out += std::to_string(state.unit);
    out += ' ';
    if (state.unit_named) {
      out += "named ";
      out += state.unit_name.substr(0, state.unit_name.find('\0'));  // as a C string
    } else {
      out += "(unnamed)";
    }
    out += '\n';
  }
  if (state.format_recorded) {
    out += "last format: ";
    out += state.format;
    out += '\n';
  }
  out += "lately ";
  out += state.reading ? "reading" : "writing";
  out += " sequential formatted external IO\n";
  return out;
}

}  // namespace record_io
