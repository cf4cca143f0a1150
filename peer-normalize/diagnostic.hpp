// A message about an input: where in the file, and what.
#pragma once

#include <string>
#include <string_view>

namespace normalize {

struct Diagnostic {
  enum class Severity { error, warning };
  Severity severity;
  long line;    // from 1
  long column;  // from 1; 0 when the message concerns the line as a whole
  std::string text;
};

// The message as compilers write theirs: "FILE:LINE:[COLUMN:] [warning: ]TEXT".
inline std::string diagnostic_line(std::string_view file, const Diagnostic& d) {
  std::string line(file);
  line += ':' + std::to_string(d.line) + ':';
  if (d.column > 0) line += std::to_string(d.column) + ':';
  line += d.severity == Diagnostic::Severity::warning ? " warning: " : " ";
  return line + d.text;
}

}  // namespace normalize
