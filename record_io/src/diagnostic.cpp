#include "record_io/diagnostic.hpp"

#include <cstring>

namespace record_io {

std::string diagnostic_text(const Failure& failure, const StatementState& state,
                            std::string_view line_end) {
  std::string out = failure.context;
  out += ": ";
  if (failure.system) {
    out += std::strerror(failure.number);
  } else if (failure.number == end_of_file) {
    out += "end of file";
  } else if (const char* text = message_text(failure.number)) {
    out += text;
  } else {
    out += "illegal error number ";
    out += std::to_string(failure.number);
  }
  out += line_end;
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
    out += line_end;
  }
  if (state.format_recorded) {
    out += "last format: ";
    out += state.format;
    out += line_end;
  }
  out += "lately ";
  out += state.reading ? "reading" : "writing";
  out += " sequential formatted external IO";
  out += line_end;
  return out;
}

}  // namespace record_io
