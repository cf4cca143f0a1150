// The check: everything in one to three records, and in the output's name, that would keep
// the merge's combined file from holding every value of every record at its time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace normalize {

struct Finding {
  // A problem: the merge would refuse, drop, pad, cut or misplace values, or destroy a
  // file. A note: worth knowing, nothing lost.
  enum class Kind { problem, note };
  Kind kind;
  int rank;          // the more serious the lower; problems rank below notes
  std::size_t file;  // the input it concerns (its index; the output is after the inputs)
  long line;         // from 1; 0 for the file as a whole
  long column;       // from 1; 0 for the line as a whole
  std::string text;
};

struct CheckReport {
  std::vector<std::string> files;  // as named: the inputs, then the output if any
  std::size_t inputs = 0;
  std::vector<Finding> findings;  // the most serious first
  int problems = 0;
  int notes = 0;
};

// Checks the records named by `inputs` (one to three, in the order the merge is given them)
// and, when `output` is not empty, the output's name. Reads only.
CheckReport check(const std::vector<std::string>& inputs, const std::string& output);

// "FILE:LINE:COL: TEXT", "FILE:LINE: note: TEXT", "FILE: TEXT".
std::string finding_line(const CheckReport& report, const Finding& finding);
// The one line after the findings.
std::string summary_line(const CheckReport& report);

}  // namespace normalize
