// The run of peer-normalize: its command line, its files, its messages and its exit status.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "record_io/byte_channel.hpp"
#include "record_io/file_replacement.hpp"

namespace normalize {

struct Streams {
  record_io::ByteChannel& input;
  record_io::ByteChannel& output;
  record_io::ByteChannel& error;
  // The files standard input and output reach, where they are files: standard output is
  // written in place, and must not be the input.
  std::optional<record_io::FileIdentity> input_identity;
  std::optional<record_io::FileIdentity> output_identity;
};

inline constexpr int exit_success = 0;
inline constexpr int exit_refused = 1;  // an input refused, or a file not read or written
inline constexpr int exit_usage = 2;

// Runs peer-normalize with the arguments after the program name; `version` is what
// --version prints after the program's name. Each input is read once to check it and
// again to write it, so that nothing is written for a refused input; an output file is
// replaced whole or left as it was (record_io::FileReplacement); with -d, the inputs after
// a refused one are still done. Returns the exit status.
int run(const std::vector<std::string_view>& arguments, Streams streams, std::string_view version);

}  // namespace normalize
