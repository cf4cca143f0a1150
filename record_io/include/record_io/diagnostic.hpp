// The fatal diagnostic: the four-line report of a failed statement.
#pragma once

#include <string>
#include <string_view>

#include "record_io/errors.hpp"

namespace record_io {

// What the layer knows of the statement that ran last when a failure is reported.
struct StatementState {
  int unit = -1;                 // the unit of that statement or open; -1: none yet
  bool unit_named = false;       // the unit is (being) connected to a named file
  std::string_view unit_name;    // that file's name
  bool format_recorded = false;  // a format is recorded ("list io" for list-directed)
  std::string_view format;
  bool reading = false;  // the direction of the last statement
};

// The report:
//   the error line ("<context>: <system text>", "<context>: end of file" or
//   "<context>: <message>"), "apparent state: unit N named NAME" (or "(unnamed)"),
//   "last format: FORMAT" while one is recorded, and
//   "lately reading|writing sequential formatted external IO".
// The lines end with line_end.
std::string diagnostic_text(const Failure& failure, const StatementState& state,
                            std::string_view line_end = "\n");

}  // namespace record_io
