// The command line of peer-normalize.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace normalize {

struct Options {
  enum class Action { normalize, help, version, usage_error };
  Action action = Action::normalize;
  // -d DIR: each input goes to DIR under its own file name; otherwise one input, and the
  // output named by `output` ("" or "-": standard output).
  bool to_directory = false;
  std::string directory;
  std::vector<std::string> inputs;  // "-": standard input
  std::string output;
  std::string error;  // for a usage error: what is wrong
};

// Reads the arguments after the program name. Options may come before, between or after
// the file names; "--" ends them, and "-" is a file name (a standard stream). The first of
// --help and --version ends the reading.
Options parse_command_line(const std::vector<std::string_view>& arguments);

// The text --help prints.
std::string_view help_text();

}  // namespace normalize
