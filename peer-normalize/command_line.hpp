// The command line of peer-normalize.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "units.hpp"

namespace normalize {

struct Options {
  enum class Action { normalize, check, triplets, help, version, usage_error };
  Action action = Action::normalize;
  // -d DIR: each input goes to DIR under its own file name; otherwise one input, and the
  // output named by `output` ("" or "-": standard output).
  bool to_directory = false;
  std::string directory;
  std::vector<std::string> inputs;  // "-": standard input
  std::string output;
  // --units: the unit the values are written in.
  std::optional<AccelerationUnit> unit;
  // --cut: a set's records are cut to the shortest (otherwise padded to the longest).
  bool cut = false;
  std::string error;  // for a usage error: what is wrong
};

// --check takes one record, or three and optionally the output's name, as the merge is
// given them (in `inputs`); --triplets takes -d DIR and the records.
//
// Reads the arguments after the program name. Options may come before, between or after
// the file names; "--" ends them, and "-" is a file name (a standard stream). The first of
// --help and --version ends the reading.
Options parse_command_line(const std::vector<std::string_view>& arguments);

// The text --help prints.
std::string_view help_text();

}  // namespace normalize
